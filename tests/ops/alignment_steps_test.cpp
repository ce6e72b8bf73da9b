#include "ops/alignment_steps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "platform/tick.h"
#include "support/counting_front_end.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::DiagBoard;
using test::ScriptedController;
using test::ScriptedPort;

class SequenceTest : public ::testing::Test {
 protected:
  SequenceTest() : ticks_(1000), scope_(&ticks_), port_(new ScriptedPort(0, 9600)), link_(port_) {
    line_.Attach(*port_);
    std::memcpy(original_, controller_.psf, kPsfSize);
  }

  std::string HeldPsf() const { return std::string(line_.HeldPsf(), kPsfSize); }
  SavedSetGuard& Guard() {
    if (!guard_) guard_ = std::make_unique<SavedSetGuard>(link_, front_, nullptr, JournalTag{});
    return *guard_;
  }

  VirtualTickSource ticks_;
  ScopedTickSource scope_;
  ScriptedController controller_;
  test::FaultSwitch line_{controller_};
  ScriptedPort* port_;  // owned by the link
  ControllerLink link_;
  char original_[kPsfSize];
  test::CountingFrontEnd front_;
  std::unique_ptr<SavedSetGuard> guard_;  // destroyed before the link
};

TEST_F(SequenceTest, PreparesAnOperationalControllerForAlignment) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'E', '2', '8', '0'}, {'R', '1', 'G', '0'}, {'R', '2', '8', '0'}});
  PsfImage working;
  const PsfImage& saved = Guard().Own();
  AlignmentSetup setup;
  const uint32_t start = TickCount();
  ASSERT_EQ(PrepareAlignment(link_, Guard(), working, setup), AlignmentStatus::Ready);
  EXPECT_EQ(setup.channel_count, 24);  // 48 channels on both bars
  EXPECT_GE(TickCount() - start, 1000u);  // the settle before the PSF is read
  EXPECT_EQ(std::memcmp(saved.Data() + 2, original_ + 2, kPsfSize - 2), 0);
  EXPECT_EQ(controller_.psf_writes, 1);
  const std::string held = HeldPsf();
  EXPECT_EQ(held[2], 'a');
  EXPECT_EQ(held[3], 'I');
  EXPECT_EQ(held[4], 'K');
  EXPECT_EQ(held[6], 'c');
  EXPECT_EQ(held[64], 'c');
  EXPECT_EQ(held.substr(7, 57), std::string(original_ + 7, 57));
}

struct FailureCase {
  const char* name;
  AlignmentStatus expected;
  int diag_reads, psf_reads;
  void (*arrange)(ScriptedController&);
  sim::SimConfig (*fault)() = nullptr;  // then kelvt-sim's controller answers
};

class PrepareFailureTest : public SequenceTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PrepareFailureTest, StopsWithoutChangingTheController) {
  const FailureCase& c = GetParam();
  c.arrange(controller_);
  const test::SimResponder* sim = c.fault ? &line_.Fault(c.fault()) : nullptr;
  PsfImage working;
  AlignmentSetup setup;
  EXPECT_EQ(PrepareAlignment(link_, Guard(), working, setup), c.expected);
  EXPECT_EQ(setup.channel_count, 0);
  EXPECT_EQ(sim ? sim->Heard('H') : controller_.diag_reads, c.diag_reads);
  EXPECT_EQ(sim ? sim->Heard('D') : controller_.psf_reads, c.psf_reads);
  EXPECT_EQ(sim ? sim->PsfsTaken() : controller_.psf_writes, 0);
  EXPECT_EQ(HeldPsf(), std::string(original_, kPsfSize));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PrepareFailureTest,
    ::testing::Values(
        FailureCase{"NoDiagnostics", AlignmentStatus::DiagnosticsFailed, 1, 0,
                    [](ScriptedController& c) { c.diagnostics.clear(); }},
        FailureCase{"ReceiverError", AlignmentStatus::NotOperational, 1, 0,
                    [](ScriptedController& c) {
                      c.diagnostics = ScriptedController::DiagnosticsReply(
                          'A', {{'E', '1', '8', '0'}, {'R', '1', '8', '3'}});
                    }},
        FailureCase{"EmitterError", AlignmentStatus::NotOperational, 1, 0,
                    [](ScriptedController& c) {
                      c.diagnostics = ScriptedController::DiagnosticsReply(
                          'A', {{'E', '1', '8', 'J'}, {'R', '1', '8', '0'}});
                    }},
        FailureCase{"NoReceiverBoards", AlignmentStatus::NotOperational, 1, 0,
                    [](ScriptedController& c) {
                      c.diagnostics = ScriptedController::DiagnosticsReply('A', {{'E', '1', '8', '0'}});
                    }},
        FailureCase{"PsfNotRead", AlignmentStatus::InputPsfFailed, 1, 1,
                    [](ScriptedController& c) {
                      c.intercept = [](ScriptedController& self, ScriptedPort&, const char* d, int n) {
                        if (n == 4 && d[0] == 0x1B && d[2] == 'D') {
                          ++self.psf_reads;
                          return true;  // heard, never answered
                        }
                        return false;
                      };
                    }},
        // Refused: the set is read back once more to be sure nothing changed.
        FailureCase{"AlignmentSetRefused", AlignmentStatus::OutputPsfFailed, 1, 2,
                    [](ScriptedController&) {}, test::NoAck}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(SequenceTest, ASetTakenWithAGarbledAcknowledgementMustGoBack) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', '8', '0'}, {'R', '1', '8', '0'}});
  controller_.ack_terminator = 0x0A;  // takes every set, acknowledges it wrongly
  PsfImage working;
  AlignmentSetup setup;
  EXPECT_EQ(PrepareAlignment(link_, Guard(), working, setup),
            AlignmentStatus::OutputPsfUnconfirmed);
  EXPECT_EQ(controller_.psf_reads, 2);
  EXPECT_NE(HeldPsf(), std::string(original_, kPsfSize));
}

TEST_F(SequenceTest, StampsPartNumberAndDateCodeAndNothingElse) {
  PsfImage image;
  ASSERT_EQ(StampPartNumber(link_, Guard(), "ABC123", "2649", image), StampStatus::Stamped);
  const std::string held = HeldPsf();
  EXPECT_EQ(held.substr(66, 10), "ABC1232649");
  EXPECT_EQ(held.substr(2, 64), std::string(original_ + 2, 64));
  char sum[6];
  std::snprintf(sum, sizeof sum, "%05ld", PsfCheckSum(held.data()));
  EXPECT_EQ(held.substr(76, 5), sum);
  EXPECT_EQ(controller_.psf_reads, 1);
  EXPECT_EQ(controller_.psf_writes, 1);
}

struct StampCase {
  const char* name;
  const char* part;
  const char* date;
  StampStatus expected;
  int psf_reads;
};

class StampRefusalTest : public SequenceTest, public ::testing::WithParamInterface<StampCase> {};

TEST_P(StampRefusalTest, NeverTouchesTheControllerWithoutAWholePartNumberAndDateCode) {
  const StampCase& c = GetParam();
  PsfImage image;
  EXPECT_EQ(StampPartNumber(link_, Guard(), c.part, c.date, image), c.expected);
  EXPECT_EQ(controller_.psf_reads, c.psf_reads);
  EXPECT_EQ(controller_.psf_writes, 0);
  EXPECT_EQ(controller_.wakes, 0);
  EXPECT_EQ(HeldPsf(), std::string(original_, kPsfSize));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StampRefusalTest,
    ::testing::Values(StampCase{"EmptyPartNumber", "", "2649", StampStatus::BadPartNumber, 0},
                      StampCase{"NullPartNumber", nullptr, "2649", StampStatus::BadPartNumber, 0},
                      StampCase{"ShortPartNumber", "12345", "2649", StampStatus::BadPartNumber, 0},
                      StampCase{"LongPartNumber", "1234567", "2649", StampStatus::BadPartNumber, 0},
                      StampCase{"EmptyDateCode", "123456", "", StampStatus::BadDateCode, 0},
                      StampCase{"LongDateCode", "123456", "10049", StampStatus::BadDateCode, 0}),
    [](const ::testing::TestParamInfo<StampCase>& info) { return std::string(info.param.name); });

TEST_F(SequenceTest, StampReportsAnUnreadablePsfAndSendsNothing) {
  const test::SimResponder& sim = line_.Fault(test::Silent());
  PsfImage image;
  EXPECT_EQ(StampPartNumber(link_, Guard(), "123456", "2649", image), StampStatus::InputPsfFailed);
  EXPECT_EQ(sim.PsfsTaken(), 0);
  EXPECT_EQ(sim.Heard('C'), 0);
  EXPECT_EQ(port_->Written().find('\x1b'), std::string::npos);  // no command frame went out
}

TEST_F(SequenceTest, StampReportsAnUnacknowledgedSend) {
  const test::SimResponder& sim = line_.Fault(test::NoAck());
  PsfImage image;
  EXPECT_EQ(StampPartNumber(link_, Guard(), "123456", "2649", image), StampStatus::OutputPsfFailed);
  EXPECT_EQ(sim.Heard('D'), 2);  // the set, then the read-back after the refusal
  EXPECT_EQ(sim.Heard('C'), 3);  // three tries
  EXPECT_EQ(std::string(image.Data() + 66, 10), "1234562649");
  EXPECT_EQ(HeldPsf(), std::string(original_, kPsfSize));
}

}  // namespace
}  // namespace kelvt
