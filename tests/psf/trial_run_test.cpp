#include "psf/trial_run.h"

#include <gtest/gtest.h>

#include <string>

#include "link/controller_link.h"
#include "ops/trial_run_steps.h"
#include "platform/tick.h"
#include "support/counting_front_end.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

TEST(TrialRunTest, MeasurementModeRule) {
  struct Case {
    const char* meas1;
    const char* meas2;
    int mode;
  };
  const Case cases[] = {
      {"VHS", "LBB", 1}, {"TBB", "None", 0}, {"None", "FBB", 1}, {"None", "None", 1},
      {"VHS", "None", 1}, {"FBB", "LBB", 2}, {"CBM", "ALL", 2},  {"LBB", "None", 0},
      // Only the exact names count: "Non" is not "None".
      {"Non", "FBB", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrialMeasurementMode(c.meas1, c.meas2), c.mode) << c.meas1 << "/" << c.meas2;
  }
}

TEST(TrialRunTest, LabelsAreTheFirstFourCharacters) {
  EXPECT_STREQ(TrialMeasurementLabel("FBB").text, "FBB");
  EXPECT_STREQ(TrialMeasurementLabel("None").text, "None");
  EXPECT_STREQ(TrialMeasurementLabel("Nonesuch").text, "None");
  EXPECT_STREQ(TrialMeasurementLabel("").text, "");
  EXPECT_STREQ(TrialMeasurementLabel(nullptr).text, "");
}

TEST(TrialRunTest, ValidBaudIndexFallsBackTo9600) {
  const int cases[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {-1, 0}, {-65, 0}, {190, 0}};
  for (const auto& c : cases) EXPECT_EQ(ValidBaudIndex(c[0]), c[1]) << c[0];
}

// The trial image is the record's own encoding except for Scan Control and
// Serial Transmission (and the check sum, which the link recomputes).
TEST(TrialRunTest, TrialImageForcesHostModeAndBinary) {
  struct Case {
    const char* name;
    void (*edit)(PsfRecord&);
  };
  const Case cases[] = {
      {"continuous+ascii",
       [](PsfRecord& r) {
         r.no_serial = kNotSelected;
         r.ascii_tx = kSelected;
       }},
      {"gate+binary options",
       [](PsfRecord& r) {
         r.continuous = kNotSelected;
         r.gate = kSelected;
         r.no_serial = kNotSelected;
         r.binary_tx = kSelected;
         r.binary_compress = kSelected;
         r.binary_suppress_header = kSelected;
       }},
      {"defaults", [](PsfRecord&) {}},
      {"38400, LBB/TBB",
       [](PsfRecord& r) {
         r.baud_index = 2;
         SetField(r.meas1_mode, "LBB");
         SetField(r.meas2_mode, "TBB");
       }},
  };
  for (const Case& c : cases) {
    PsfRecord record;
    c.edit(record);
    char encoded[kPsfSize + 1];
    record.Encode(encoded);

    const PsfImage image = BuildTrialImage(record);
    EXPECT_EQ(image[6], 'c') << c.name;
    EXPECT_EQ(image[64], 'c') << c.name;
    for (int i = 0; i < 76; ++i) {
      if (i == 6 || i == 64) continue;
      EXPECT_EQ(image[i], encoded[i]) << c.name << " byte " << i;
    }
  }
}

TEST(TrialRunTest, TrialImageNeverCarriesAnUnknownBaudByte) {
  for (int index : {-1, 3, 7, 60}) {
    PsfRecord record;
    record.baud_index = index;
    EXPECT_EQ(BuildTrialImage(record)[5], 'A') << index;
  }
  PsfRecord record;
  record.baud_index = 1;
  EXPECT_EQ(BuildTrialImage(record)[5], 'B');
}

}  // namespace
}  // namespace kelvt

namespace kelvt {
namespace {

// The controller-side sequence against a scripted controller.
class StartTrialRunTest : public ::testing::Test {
 protected:
  StartTrialRunTest() : ticks_(&clock_), port_(new test::ScriptedPort), link_(port_) {
    controller_.Attach(*port_);
    original_ = std::string(controller_.psf, kPsfSize);
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  test::ScriptedController controller_{9600, 'A'};
  test::ScriptedPort* port_;
  ControllerLink link_;
  std::string original_;
};

TEST_F(StartTrialRunTest, SavesTheOwnSetSendsTheTrialSetAndFollowsItsRate) {
  PsfRecord record;
  SetField(record.meas1_mode, "TBB");
  record.baud_index = 2;
  record.no_serial = kNotSelected;
  record.ascii_tx = kSelected;
  test::CountingFrontEnd front;
  SavedSetGuard guard(link_, front, nullptr, {});
  EXPECT_EQ(StartTrialRun(link_, record, guard), TrialRunStatus::kStarted);
  PsfImage saved = guard.Own();
  guard.Release();
  EXPECT_EQ(std::string(saved.Data(), kPsfSize), original_);
  EXPECT_EQ(controller_.psf_writes, 1);
  EXPECT_EQ(controller_.psf[3], 'E');
  EXPECT_EQ(controller_.psf[5], 'C');
  EXPECT_EQ(controller_.psf[6], 'c');
  EXPECT_EQ(controller_.psf[64], 'c');
  EXPECT_EQ(link_.BaudIndex(), 2);
  EXPECT_EQ(controller_.baud, 38400);
  // The saved set goes back at the new rate without a search miss.
  EXPECT_EQ(link_.OutputPsf(saved), 1);
  EXPECT_EQ(std::string(controller_.psf, kPsfSize), original_);
}

TEST_F(StartTrialRunTest, FailuresLeaveTheControllerAsItWas) {
  struct Case {
    const char* name;
    sim::SimConfig (*fault)();
    TrialRunStatus status;
  };
  const Case cases[] = {
      {"silent", test::Silent, TrialRunStatus::kSavedPsfNotRead},
      {"refuses the set", test::NoAck, TrialRunStatus::kTrialPsfNotAccepted},
  };
  for (const Case& c : cases) {
    test::SimResponder fresh(test::WithFaults(test::SimDefaults(), c.fault()));
    fresh.Attach(*port_);
    const std::string before(fresh.Psf().data(), kPsfSize);
    test::CountingFrontEnd front;
    SavedSetGuard guard(link_, front, nullptr, {});
    EXPECT_EQ(StartTrialRun(link_, PsfRecord(), guard), c.status) << c.name;
    EXPECT_EQ(fresh.PsfsTaken(), 0) << c.name;
    EXPECT_EQ(std::string(fresh.Psf().data(), kPsfSize), before) << c.name;
    EXPECT_EQ(link_.BaudIndex(), 0) << c.name;
    controller_.Attach(*port_);
  }
}

}  // namespace
}  // namespace kelvt
