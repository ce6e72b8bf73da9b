#include "psf/trial_run.h"

#include <gtest/gtest.h>

#include <string>

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
