// The tool's real port and link against kelvt-sim on a pseudo-terminal:
// everything here crosses a real line, with the protocol's real waits.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/null_span_frame.h"
#include "link/scan_record.h"
#include "psf/psf_image.h"
#include "serial/posix_serial_port.h"
#include "support/sim_process.h"

namespace kelvt {
namespace {

using Clock = std::chrono::steady_clock;
using test::SimProcess;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A simulator and the tool's link to it, opened as an operation opens it:
// 9600 baud, even parity, 8 bits, two stop bits, no handshaking.
class Bench {
 public:
  explicit Bench(const std::vector<std::string>& args) : sim_(KELVT_SIM_PATH, args) {
    if (!sim_.ok()) return;
    auto* port = new PosixSerialPort(sim_.path(), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    status_ = port->ErrorStatus();
    link_ = std::make_unique<ControllerLink>(port);
  }
  bool ok() const { return sim_.ok() && link_ && status_ == 0; }
  std::string why() const { return sim_.ok() ? "port status " + std::to_string(status_) : sim_.error(); }
  ControllerLink& link() { return *link_; }
  SimProcess& sim() { return sim_; }

 private:
  SimProcess sim_;
  int status_ = -1;
  std::unique_ptr<ControllerLink> link_;
};

#define ASSERT_BENCH(b) ASSERT_TRUE((b).ok()) << (b).why()

// ---------------------------------------------------------------- baud search

TEST(SimIntegration, BaudSearchFindsAControllerAt38400) {
  Bench b({"--baud", "38400", "--id", "F"});
  ASSERT_BENCH(b);
  SyncReply reply;
  ASSERT_EQ(b.link().Synchronize(reply), 1);
  EXPECT_EQ(b.link().BaudIndex(), 2);
  EXPECT_EQ(reply.controller_id, 'F');
  EXPECT_EQ(b.link().ControllerId(), 'F');
  EXPECT_EQ(b.link().Port()->Settings().baud, 38400);

  // The next command starts at 38400 and succeeds with the first wake-up.
  const auto start = Clock::now();
  ASSERT_EQ(b.link().Synchronize(reply), 1);
  EXPECT_LT(MsSince(start), 500);
}

TEST(SimIntegration, OneStopBitIsNotHeardAtAnyRate) {
  Bench b({});
  ASSERT_BENCH(b);
  ASSERT_EQ(b.link().Port()->SetLineParameters(-1, -1, -1, 0), 0);
  SyncReply reply;
  EXPECT_EQ(b.link().Synchronize(reply), 0);
  // With two stop bits again the controller answers.
  ASSERT_EQ(b.link().Port()->SetLineParameters(-1, -1, -1, 1), 0);
  EXPECT_EQ(b.link().Synchronize(reply), 1);
}

// ---------------------------------------------------------------- PSF

TEST(SimIntegration, ReadChangeSendAndReadBackThePsf) {
  Bench b({"--part-number", "PN0815", "--date-code", "2607"});
  ASSERT_BENCH(b);
  PsfImage psf;
  ASSERT_EQ(b.link().InputPsf(psf), 1);
  EXPECT_EQ(psf[0], 'A');
  EXPECT_EQ(psf[1], 'C');
  EXPECT_EQ(std::string(&psf[66], 6), "PN0815");

  psf.SetMeasurementMode('G', true);   // CBB
  psf.SetMeasurementMode('J', false);  // VHS
  psf.SetScanControl('c');
  psf[20] = '0';
  psf[21] = '4';
  psf[22] = '2';
  ASSERT_EQ(b.link().OutputPsf(psf), 1);

  PsfImage back;
  ASSERT_EQ(b.link().InputPsf(back), 1);
  EXPECT_EQ(back, psf);  // same bytes, check sum included
  EXPECT_EQ(back[3], 'G');
  EXPECT_EQ(back[4], 'J');
  EXPECT_EQ(std::string(&back[20], 3), "042");
}

TEST(SimIntegration, NewRateAndLetterTakeEffectAfterTheAcknowledgement) {
  Bench b({});
  ASSERT_BENCH(b);
  PsfImage psf;
  ASSERT_EQ(b.link().InputPsf(psf), 1);
  psf[5] = 'B';   // 19200
  psf[65] = 'D';  // answer to D from now on
  ASSERT_EQ(b.link().OutputPsf(psf), 1);
  EXPECT_EQ(b.link().ControllerId(), 'D');
  // As the editor does: switch the port right after the acknowledgement.
  ASSERT_EQ(b.link().SelectBaudIndex(1), 1);

  PsfImage back;
  const auto start = Clock::now();
  ASSERT_EQ(b.link().InputPsf(back), 1);
  EXPECT_LT(MsSince(start), 900);  // found at the first rate tried
  EXPECT_EQ(back[0], 'D');
  EXPECT_EQ(back[5], 'B');
  EXPECT_EQ(b.link().BaudIndex(), 1);
}

TEST(SimIntegration, ControllerThatNeverAcknowledgesFailsTheSend) {
  Bench b({"--no-ack"});
  ASSERT_BENCH(b);
  PsfImage psf;
  ASSERT_EQ(b.link().InputPsf(psf), 1);
  psf[3] = 'E';
  EXPECT_EQ(b.link().OutputPsf(psf), 0);
  PsfImage back;
  ASSERT_EQ(b.link().InputPsf(back), 1);
  EXPECT_NE(back[3], 'E');  // nothing was taken
}

// ---------------------------------------------------------------- diagnostics

TEST(SimIntegration, DiagnosticsWithMixedBoardsAndErrors) {
  Bench b({"--boards", "E8,E8:2,RG,RG:J,R4", "--part-number", "KT4711", "--date-code", "2552"});
  ASSERT_BENCH(b);
  DiagnosticRecord d;
  ASSERT_EQ(b.link().InputDiagnostics(d), 1);
  EXPECT_EQ(d.emitter_count, 2);
  EXPECT_EQ(d.receiver_count, 3);
  EXPECT_EQ(d.total_channels, 48);
  EXPECT_EQ(d.system_state, kEmitRcvErrors);
  EXPECT_STREQ(DiagnosticRecord::ErrorCodeName(d.emitter_boards[1].error_code), "2 Channel 2");
  EXPECT_STREQ(DiagnosticRecord::ErrorCodeName(d.receiver_boards[1].error_code),
               "Invalid Error Code");
  EXPECT_STREQ(DiagnosticRecord::ChannelCountText(d.receiver_boards[2]), "??");
  EXPECT_STREQ(DiagnosticRecord::ChannelCountText(d.receiver_boards[0]), "16");
  EXPECT_STREQ(d.part_number, "KT4711");
  EXPECT_STREQ(d.date_code, "2552");
}

// ---------------------------------------------------------------- scans

TEST(SimIntegration, BeamScanAfterTheAlignmentSetIsSent) {
  Bench b({"--boards", "EG,EG,RG,RG", "--beams", "4-6,20"});
  ASSERT_BENCH(b);
  DiagnosticRecord d;
  ASSERT_EQ(b.link().InputDiagnostics(d), 1);
  ASSERT_EQ(d.system_state, kOperational);
  PsfImage psf;
  ASSERT_EQ(b.link().InputPsf(psf), 1);
  psf.SetMeasurementMode('I', true);
  psf.SetMeasurementMode('K', false);
  psf.SetScanControl('c');
  psf.SetSerialTransmission('c');
  psf.SetScanningMethod('a');
  ASSERT_EQ(b.link().OutputPsf(psf), 1);

  BeamBitmapScan scan(d.total_channels / 2);
  ASSERT_EQ(b.link().Scan(scan), 1);
  EXPECT_EQ(scan.statistics.broken_count, 4);
  EXPECT_EQ(scan.statistics.made_count, 28);
  EXPECT_EQ(scan.statistics.first_broken, 3);
  EXPECT_EQ(scan.statistics.last_broken, 19);
  EXPECT_EQ(scan.statistics.first_made, 0);
  EXPECT_EQ(scan.statistics.last_made, 31);
}

TEST(SimIntegration, MovingObjectChangesTheBeamMapFromScanToScan) {
  Bench b({"--boards", "EG,EG,RG,RG", "--meas1", "ALL", "--moving", "3", "--speed", "40"});
  ASSERT_BENCH(b);
  SyncReply reply;
  ASSERT_EQ(b.link().Synchronize(reply), 1);
  BeamBitmapScan first(32);
  BeamBitmapScan second(32);
  ASSERT_EQ(b.link().Scan(first), 1);
  ASSERT_EQ(b.link().Scan(second), 1);
  EXPECT_FALSE(first.Equals(second));
}

struct MeasureCase {
  const char* name;
  const char* meas1;
  const char* meas2;
  int mode;
  uint16_t value1;
  uint16_t value2;
};

class MeasurementScanTest : public ::testing::TestWithParam<MeasureCase> {};

// 16 beams, broken: 3-5 and 9.
TEST_P(MeasurementScanTest, ValuesOfEachMode) {
  Bench b({"--boards", "E8,E8,R8,R8", "--beams", "3-5,9", "--meas1", GetParam().meas1, "--meas2",
           GetParam().meas2});
  ASSERT_BENCH(b);
  SyncReply reply;
  ASSERT_EQ(b.link().Synchronize(reply), 1);
  MeasurementScan scan(GetParam().mode);
  ASSERT_EQ(b.link().Scan(scan), 1);
  EXPECT_EQ(scan.value1, GetParam().value1);
  EXPECT_EQ(scan.value2, GetParam().value2);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MeasurementScanTest,
    ::testing::Values(MeasureCase{"first_only", "FBB", "None", 0, 3, 0},
                      MeasureCase{"second_only", "None", "TBB", 1, 0, 4},
                      MeasureCase{"vhs_first_counts_as_off", "VHS", "LBB", 1, 0, 9},
                      MeasureCase{"both", "CBB", "VHS", 2, 3, 7},
                      MeasureCase{"both_made", "FBM", "CBM", 2, 1, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- null/span

TEST(SimIntegration, NullSpanReadAndUpdate) {
  Bench b({"--id", "B", "--null-span", "250,4000,0,2047"});
  ASSERT_BENCH(b);
  char frame[kNullSpanBufferSize];
  BuildNullSpanReadRequest(frame);
  ASSERT_EQ(b.link().ExchangeFrame21(frame), 1);
  EXPECT_EQ(frame[1], 'B');
  EXPECT_EQ(frame[3], 'T');
  EXPECT_EQ(DecodeNullSpanValues(frame), (NullSpanValues{250, 4000, 0, 2047}));

  const NullSpanValues trimmed{300, 3900, 12, 2100};
  char update[kNullSpanBufferSize];
  BuildNullSpanFrame(update, frame[1], kNullSpanNullUpdate, trimmed);
  ASSERT_EQ(b.link().SendEscapeCommand(update), 0);
  EXPECT_TRUE(IsNullSpanUpdateAcknowledged(update, frame[1], trimmed));

  BuildNullSpanReadRequest(frame);
  ASSERT_EQ(b.link().ExchangeFrame21(frame), 1);
  EXPECT_EQ(DecodeNullSpanValues(frame), trimmed);
}

// ---------------------------------------------------------------- faults

TEST(SimIntegration, SilentControllerIsNotFoundAtAnyRate) {
  Bench b({"--silent"});
  ASSERT_BENCH(b);
  SyncReply reply;
  const auto start = Clock::now();
  EXPECT_EQ(b.link().Synchronize(reply), 0);
  const long ms = MsSince(start);
  EXPECT_GE(ms, 600);   // one wake-up window per rate
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(b.link().BaudIndex(), 0);
  EXPECT_EQ(b.link().ControllerId(), 0);
}

TEST(SimIntegration, CorruptRepliesAreNoAnswer) {
  Bench b({"--corrupt"});
  ASSERT_BENCH(b);
  SyncReply reply;
  EXPECT_EQ(b.link().Synchronize(reply), 0);
}

TEST(SimIntegration, ControllerThatStopsAnsweringFailsTheNextCommand) {
  Bench b({"--stop-after", "2"});
  ASSERT_BENCH(b);
  PsfImage psf;
  ASSERT_EQ(b.link().InputPsf(psf), 1);  // wake-up and PSF: two replies
  PsfImage again;
  EXPECT_EQ(b.link().InputPsf(again), 0);
}

TEST(SimIntegration, ControllerThatVanishesMidCommandFailsAtOnce) {
  Bench b({"--vanish-after", "1"});
  ASSERT_BENCH(b);
  PsfImage psf;
  auto start = Clock::now();
  // The wake-up is answered; the PSF request finds the line gone.
  EXPECT_EQ(b.link().InputPsf(psf), 0);
  // Wake-up window and settle delay, then the read fails at once instead of
  // waiting its 1000 ms.
  EXPECT_LT(MsSince(start), 800);
  int status = -1;
  EXPECT_TRUE(b.sim().WaitExit(2000, &status));
  EXPECT_EQ(status, 0);

  // Every later command fails quickly too: nothing hangs or spins.
  start = Clock::now();
  SyncReply reply;
  EXPECT_EQ(b.link().Synchronize(reply), 0);
  DiagnosticRecord d;
  EXPECT_EQ(b.link().InputDiagnostics(d), 0);
  BeamBitmapScan scan(16);
  EXPECT_EQ(b.link().Scan(scan), 0);
  EXPECT_LT(MsSince(start), 1000);
}

}  // namespace
}  // namespace kelvt
