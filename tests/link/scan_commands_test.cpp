// InputDiagnostics and Scan against a scripted controller, in virtual milliseconds.

#include <gtest/gtest.h>

#include <string>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::DiagBoard;
using test::ScriptedController;
using test::ScriptedPort;
using Kind = ScriptedPort::EventKind;

constexpr uint32_t kWakeMs = 285;       // 200 ms window in 95 ms attempts
constexpr uint32_t kLongWindowMs = 1045;  // 1000 ms window, unfilled

class ScanCommands : public ::testing::Test {
 protected:
  ScanCommands() : port(new ScriptedPort), link(port) { line.Attach(*port); }

  // A wake-up so that Scan has a letter and a rate.
  void Wake() {
    SyncReply reply;
    ASSERT_EQ(link.Synchronize(reply), 1);
    port->ClearEvents();
    port->ClearWritten();
    start = clock.Now();
  }
  uint32_t Elapsed() { return clock.Now() - start; }

  VirtualTickSource clock{777};
  ScopedTickSource scoped{&clock};
  uint32_t start = clock.Now();
  ScriptedController controller{9600, 'B'};
  test::FaultSwitch line{controller};
  ScriptedPort* port;
  ControllerLink link;
};

// A reply of exactly `length` bytes: FS id 'I', boards, separator, part, date, CR.
std::string DiagnosticsOfLength(int length) {
  std::string r = "\x1c" "BI";
  const int boards = (length - 15) / 4;
  for (int k = 0; k < boards; ++k) r += k % 2 ? "R18" "0" : "E1G0";
  r += "*654321" "0923" "\r";
  r.resize(static_cast<size_t>(length), '\r');
  return r;
}

struct DiagLengthCase {
  int length;
  int result;
  bool decoded;
};

TEST_F(ScanCommands, DiagnosticsRepliesFrom15To111BytesAreDecoded) {
  const DiagLengthCase cases[] = {
      {0, 0, false},   {4, 0, false},  {14, 0, false},  {15, 1, true},
      {19, 1, true},   {111, 1, true},
      {112, 1, true},  // only 111 bytes are read; the rest stays unread
  };
  for (const DiagLengthCase& c : cases) {
    SCOPED_TRACE(c.length);
    std::string reply = c.length >= 15 ? DiagnosticsOfLength(c.length) : std::string("\x1c" "BI" "*123456789012", 15);
    reply.resize(static_cast<size_t>(c.length), '0');
    controller.diagnostics = reply;
    DiagnosticRecord diag;
    diag.emitter_count = 99;  // Decode resets the counts: 99 survives only if it was not called
    EXPECT_EQ(link.InputDiagnostics(diag), c.result);
    EXPECT_EQ(diag.emitter_count != 99, c.decoded);
  }
}

TEST_F(ScanCommands, DiagnosticsRequestAndTiming) {
  controller.diagnostics = ScriptedController::DiagnosticsReply(
      'B', {{'E', '1', '8', '0'}, {'E', '2', '8', '0'}, {'R', '1', 'G', '0'}}, "ABCDEF", "1299");
  DiagnosticRecord diag;
  ASSERT_EQ(link.InputDiagnostics(diag), 1);
  EXPECT_EQ(port->Written(), std::string("\xF8\x1b" "BH\r"));
  EXPECT_EQ(diag.emitter_count, 2);
  EXPECT_EQ(diag.receiver_count, 1);
  EXPECT_EQ(diag.total_channels, 32);
  EXPECT_STREQ(diag.part_number, "ABCDEF");
  EXPECT_STREQ(diag.date_code, "1299");
  EXPECT_EQ(diag.system_state, kOperational);
  // Wake window, 100 ms settle, then the 111-byte read runs out its window.
  EXPECT_EQ(Elapsed(), kWakeMs + 100 + kLongWindowMs);
}

TEST_F(ScanCommands, DiagnosticsFailures) {
  DiagnosticRecord diag;
  line.Fault(test::Silent());
  EXPECT_EQ(link.InputDiagnostics(diag), 0);
  EXPECT_EQ(line.Sim()->Heard('H'), 0);

  line.Mend();
  controller.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
    if (n == 1) p.FailWrites(1, -200);
    return false;
  };
  diag.emitter_count = 99;
  EXPECT_EQ(link.InputDiagnostics(diag), 0);
  EXPECT_EQ(diag.emitter_count, 99);

  controller.intercept = nullptr;
  controller.diagnostics[controller.diagnostics.size() - 1] = '\n';
  EXPECT_EQ(link.InputDiagnostics(diag), 0) << "decoded but not complete";
  EXPECT_EQ(diag.emitter_count, 1);
}

TEST_F(ScanCommands, ScanTakesOneBeamMapAtThePaceOfTheProtocol) {
  controller.scan_payload = ScriptedController::BeamPayload(16, {0, 15});
  Wake();
  BeamBitmapScan scan(16);
  ASSERT_EQ(link.Scan(scan), 1);
  EXPECT_EQ(port->Written(), std::string("\xF8" "BS"));
  EXPECT_EQ(port->EventString(), "wr") << "no wake-up, no purge";
  EXPECT_EQ(Elapsed(), 50u + 100u);
  EXPECT_EQ(scan.statistics.broken_count, 2);
  EXPECT_EQ(scan.statistics.last_broken, 15);

  start = clock.Now();
  ASSERT_EQ(link.Scan(scan), 1);
  EXPECT_EQ(Elapsed(), 150u) << "the 50 ms lead comes once per scan, before the first try";
}

TEST_F(ScanCommands, ScanUsesTheLetterAndRateOfTheLastWakeUp) {
  controller.baud = 38400;
  Wake();
  EXPECT_EQ(link.BaudIndex(), 2);
  MeasurementScan scan(2);
  controller.scan_payload = std::string("\x01\x2c\xff\xfe", 4);
  ASSERT_EQ(link.Scan(scan), 1);
  EXPECT_EQ(scan.value1, 300);
  EXPECT_EQ(scan.value2, 65534);
  EXPECT_EQ(port->CountEvents(Kind::kSetLine), 0);
}

TEST_F(ScanCommands, IncompleteExchangesAreTriedThreeTimesWithBothBuffersCleared) {
  line.Fault(test::StopAfter(1));  // the wake-up, then nothing
  Wake();
  BeamBitmapScan scan(16);
  EXPECT_EQ(link.Scan(scan), 0);
  EXPECT_EQ(line.Sim()->Heard('S'), 3);
  const std::string try_events = "w" + std::string(11, 'r') + "XT";
  EXPECT_EQ(port->EventString(), try_events + try_events + try_events);
  EXPECT_EQ(port->CountEvents(Kind::kClearRx), 3);
  EXPECT_EQ(port->CountEvents(Kind::kClearTx), 3);
  EXPECT_EQ(Elapsed(), 50u + 3 * (100u + kLongWindowMs));
}

TEST_F(ScanCommands, ATimedOutTryIsFollowedByAnotherThatSucceeds) {
  Wake();
  controller.scans_unanswered = 2;
  BeamBitmapScan scan(16);
  EXPECT_EQ(link.Scan(scan), 1);
  EXPECT_EQ(controller.scans, 3);
  EXPECT_EQ(port->CountEvents(Kind::kClearRx), 2);
  EXPECT_EQ(port->CountEvents(Kind::kClearTx), 2);
  EXPECT_EQ(Elapsed(), 50u + 2 * (100u + kLongWindowMs) + 100u);
}

TEST_F(ScanCommands, AFailedWriteIsAFailedTry) {
  Wake();
  port->FailWrites(1, -200);
  BeamBitmapScan scan(16);
  EXPECT_EQ(link.Scan(scan), 1);
  EXPECT_EQ(port->EventString(), "wXTwr");
}

TEST_F(ScanCommands, ATruncatedReplyIsRetriedAndThePurgeDropsItsRest) {
  Wake();
  controller.truncate_replies = 3;
  BeamBitmapScan scan(16);
  EXPECT_EQ(link.Scan(scan), 0);
  EXPECT_EQ(controller.scans, 3);
  EXPECT_EQ(port->CountEvents(Kind::kClearRx), 3);
}

TEST_F(ScanCommands, ACompleteReplyThatTheRecordRejectsIsNotRetried) {
  Wake();
  controller.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
    if (n != 3) return false;
    p.QueueReply(std::string("\x1c" "B\x01\x80\r"));  // CR where LF belongs
    return true;
  };
  BeamBitmapScan scan(16);
  EXPECT_EQ(link.Scan(scan), 0);
  EXPECT_EQ(port->EventString(), "wr");
  EXPECT_EQ(port->CountEvents(Kind::kClearRx), 0);
  EXPECT_EQ(Elapsed(), 150u);
}

TEST_F(ScanCommands, AScanWithoutWakeUpIsUnanswered) {
  BeamBitmapScan scan(8);
  EXPECT_EQ(link.Scan(scan), 0);
  EXPECT_EQ(port->Written(), std::string("\xF8\0S\xF8\0S\xF8\0S", 9));
  EXPECT_EQ(controller.misaddressed, 3);
}

TEST_F(ScanCommands, AReplyThatCouldNotFitTheBufferIsNeverAskedFor) {
  Wake();
  BeamBitmapScan huge(8 * ControllerLink::kRxSize);
  EXPECT_EQ(link.Scan(huge), 0);
  BeamBitmapScan fits(8 * (ControllerLink::kRxSize - 3));
  controller.scan_payload = std::string(ControllerLink::kRxSize - 3, '\x55');
  EXPECT_EQ(link.Scan(fits), 1);
  EXPECT_EQ(fits.statistics.broken_count, 4 * (ControllerLink::kRxSize - 3));
  EXPECT_EQ(port->CountEvents(Kind::kWrite), 1);
}

}  // namespace
}  // namespace kelvt
