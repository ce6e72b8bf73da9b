// The controller link against a scripted controller, in virtual milliseconds.
//
// Timing reference: an unfilled raw read costs 95 ms, so a wake-up read
// window of 200 ms lasts three attempts, 285 ms, whether or not the
// controller answered; a 1000 ms window 1045 ms; a filled read nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/idle.h"
#include "link/null_span_frame.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;
using test::Silent;
using Kind = ScriptedPort::EventKind;

constexpr uint32_t kWakeMs = 285;

class LinkTest : public ::testing::Test {
 protected:
  explicit LinkTest(long controller_baud = 9600) : controller(controller_baud, 'A') {
    port = new ScriptedPort(0, 9600);
    link = std::make_unique<ControllerLink>(port);
    line.Attach(*port);
  }
  uint32_t Elapsed() { return clock.Now() - start; }
  void Restart() { start = clock.Now(); }
  std::vector<long> Rates() const { return port->RateHistory(); }

  VirtualTickSource clock{100000};
  ScopedTickSource scoped{&clock};
  uint32_t start = clock.Now();
  ScriptedController controller;
  test::FaultSwitch line{controller};
  ScriptedPort* port;  // owned by the link
  std::unique_ptr<ControllerLink> link;
};

class LinkAt38400 : public LinkTest {
 protected:
  LinkAt38400() : LinkTest(38400) {}
};

TEST_F(LinkTest, ConstructionStartsAtTheFirstRateWithNoIdentifier) {
  EXPECT_EQ(link->BaudIndex(), 0);
  EXPECT_EQ(link->ControllerId(), 0);
  EXPECT_EQ(link->Port(), port);
  for (int i = 0; i < ControllerLink::kRxSize; ++i) ASSERT_EQ(link->RxBuffer()[i], 0);
  for (int i = 0; i < ControllerLink::kTxSize; ++i) ASSERT_EQ(link->TxBuffer()[i], 0);
}

TEST_F(LinkAt38400, FindsTheControllerOnTheThirdRateAndStartsThereNextTime) {
  controller.aux = 'x';
  SyncReply reply;
  ASSERT_EQ(link->Synchronize(reply), 1);
  EXPECT_EQ(reply.controller_id, 'A');
  EXPECT_EQ(reply.aux, 'x');
  EXPECT_EQ(link->BaudIndex(), 2);
  EXPECT_EQ(link->ControllerId(), 'A');
  EXPECT_EQ(Rates(), (std::vector<long>{9600, 19200, 38400}));
  EXPECT_EQ(controller.wrong_rate, 2);
  EXPECT_EQ(controller.wakes, 1);
  EXPECT_EQ(Elapsed(), 3 * kWakeMs) << "every wake-up lasts its whole window";
  EXPECT_EQ(port->ClearRxCalls(), 1) << "the receive buffer is cleared once, not per rate";

  // The next command of the same operation is answered at the first rate tried.
  Restart();
  PsfImage image;
  ASSERT_EQ(link->InputPsf(image), 1);
  EXPECT_EQ(Rates(), (std::vector<long>{9600, 19200, 38400, 38400}));
  EXPECT_EQ(Elapsed(), kWakeMs + 200);
  EXPECT_EQ(controller.wrong_rate, 2);
}

TEST_F(LinkAt38400, NoiseHeardAtTheWrongRatesDoesNotMatter) {
  controller.noise_at_wrong_rate = std::string("\x1c\xff\x00", 3);
  SyncReply reply;
  ASSERT_EQ(link->Synchronize(reply), 1);
  EXPECT_EQ(link->BaudIndex(), 2);
}

TEST_F(LinkTest, NoControllerCostsEachRateOnceInCyclicOrder) {
  line.Fault(Silent());
  SyncReply reply;
  reply.controller_id = '?';
  EXPECT_EQ(link->Synchronize(reply), 0);
  EXPECT_EQ(Rates(), (std::vector<long>{9600, 19200, 38400}));
  EXPECT_EQ(Elapsed(), 3 * kWakeMs);
  EXPECT_GE(Elapsed(), 600u);
  EXPECT_EQ(port->Written(), "\xF8\xF8\xF8");
  EXPECT_EQ(link->BaudIndex(), 0);
  EXPECT_EQ(link->ControllerId(), 0);
  EXPECT_EQ(reply.controller_id, '?') << "a failed search hands nothing back";
  EXPECT_EQ(port->Baud(), 38400) << "the port stays at the last rate tried";
}

TEST_F(LinkTest, SearchStartsFromTheLastRateThatWorked) {
  controller.baud = 19200;
  SyncReply reply;
  ASSERT_EQ(link->Synchronize(reply), 1);
  ASSERT_EQ(link->BaudIndex(), 1);
  line.Fault(Silent());
  port->ClearEvents();
  const size_t before = Rates().size();
  EXPECT_EQ(link->Synchronize(reply), 0);
  const std::vector<long> rates = Rates();
  const std::vector<long> tried(rates.begin() + static_cast<long>(before), rates.end());
  EXPECT_EQ(tried, (std::vector<long>{19200, 38400, 9600}));
  EXPECT_EQ(link->BaudIndex(), 1);
  EXPECT_EQ(link->ControllerId(), 'A');
}

TEST_F(LinkTest, OutputPsfWithoutControllerRepeatsTheSearchThreeTimes) {
  line.Fault(Silent());
  PsfImage image;
  EXPECT_EQ(link->OutputPsf(image), 0);
  EXPECT_EQ(Elapsed(), 9 * kWakeMs);
  EXPECT_EQ(port->Written(), std::string(9, '\xF8')) << "no frame goes out without a wake-up reply";
  EXPECT_EQ(Rates(), (std::vector<long>{9600, 19200, 38400, 9600, 19200, 38400, 9600, 19200, 38400}));
}

struct WakeCase {
  const char* name;
  std::string reply;
  int found;
  char id;
};

TEST_F(LinkTest, OnlyTheLastFourBytesOfTheWakeWindowCount) {
  const WakeCase cases[] = {
      {"plain", std::string("\x1c" "B" "7" "\n"), 1, 'B'},
      {"stray bytes first", std::string("\x00\x1c\xff" "xx\r\x1c" "C" "1" "\n", 10), 1, 'C'},
      {"CR instead of LF", std::string("\x1c" "B" "7" "\r"), 0, 0},
      {"three bytes", std::string("\x1c" "B" "\n"), 0, 0},
      {"noise after the reply", std::string("\x1c" "B" "7" "\n" "z"), 0, 0},
      {"wrong lead byte", std::string("\x1d" "B" "7" "\n"), 0, 0},
      {"NUL id", std::string("\x1c\x00\x00\n", 4), 1, '\0'},
  };
  for (const WakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* p = new ScriptedPort;
    ControllerLink l(p);
    const std::string reply = c.reply;
    p->SetResponder([&reply](ScriptedPort& sp, const char* d, int n, long) {
      if (n == 1 && d[0] == kWake) sp.QueueReply(reply, 30);
    });
    SyncReply sync;
    EXPECT_EQ(l.Synchronize(sync), c.found);
    if (c.found) {
      EXPECT_EQ(sync.controller_id, c.id);
      EXPECT_EQ(l.ControllerId(), c.id);
      EXPECT_EQ(p->RateHistory().size(), 1u);
    } else {
      EXPECT_EQ(p->RateHistory().size(), 3u);
    }
  }
}

TEST_F(LinkTest, WakeRepliesPrecededByStrayBytesAreAccepted) {
  controller.stray_before_wake = std::string("\x00\x13\x1c", 3);
  controller.id = 'D';
  SyncReply reply;
  EXPECT_EQ(link->Synchronize(reply), 1);
  EXPECT_EQ(reply.controller_id, 'D');
}

struct SyncFault {
  const char* name;
  void (*arrange)(ScriptedPort&);
  const char* events;  // raw calls made before giving up
};

TEST_F(LinkTest, SearchStopsAtOnceOnAPortFailure) {
  const SyncFault faults[] = {
      {"rate not applied", [](ScriptedPort& p) { p.FailSetLine(-97); }, "XB"},
      {"wake byte not written", [](ScriptedPort& p) { p.FailWrites(1, -200); }, "XBw"},
      {"device gone after the wake byte",
       [](ScriptedPort& p) {
         p.SetResponder([](ScriptedPort& sp, const char*, int, long) { sp.Vanish(-200); });
       },
       "XBwr"},
  };
  for (const SyncFault& f : faults) {
    SCOPED_TRACE(f.name);
    auto* p = new ScriptedPort;
    ControllerLink l(p);
    f.arrange(*p);
    SyncReply reply;
    EXPECT_EQ(l.Synchronize(reply), 0);
    EXPECT_EQ(p->EventString(), f.events);
    EXPECT_EQ(l.BaudIndex(), 0);
  }
}

TEST_F(LinkTest, StalledWakeByteIsTriedOnceAndEndsTheSearch) {
  port->FailWrites(1);
  SyncReply reply;
  EXPECT_EQ(link->Synchronize(reply), 0);
  EXPECT_EQ(port->RawWrites(), 1);
  EXPECT_EQ(Elapsed(), 200u);
}

TEST_F(LinkTest, SelectBaudIndex) {
  EXPECT_EQ(link->SelectBaudIndex(0), 1);
  EXPECT_EQ(port->CountEvents(Kind::kSetLine), 0) << "the current index does not touch the port";

  EXPECT_EQ(link->SelectBaudIndex(2), 1);
  EXPECT_EQ(link->BaudIndex(), 2);
  EXPECT_EQ(port->Baud(), 38400);
  EXPECT_EQ(port->Settings().parity, 'E') << "only the rate changes";
  EXPECT_EQ(port->Settings().stop_bits, 2);

  for (const int bad : {-1, 3, 100}) {
    EXPECT_EQ(link->SelectBaudIndex(bad), 0);
    EXPECT_EQ(link->BaudIndex(), 2);
  }
  port->FailSetLine(-97);
  EXPECT_EQ(link->SelectBaudIndex(1), 0);
  EXPECT_EQ(link->BaudIndex(), 2);
  EXPECT_EQ(link->SelectBaudIndex(2), 1);
}

TEST_F(LinkTest, SendWakeByte) {
  EXPECT_EQ(link->SendWakeByte(), 1);
  EXPECT_EQ(port->Written(), "\xF8");
  port->FailWrites(1);
  EXPECT_EQ(link->SendWakeByte(), 0);
  EXPECT_EQ(port->RawWrites(), 2) << "one attempt only";
}

TEST_F(LinkTest, OutputPsfSendsTheFramedImageAndTakesTheAcknowledgement) {
  controller.id = 'C';
  char out[kPsfSize];
  std::memcpy(out, controller.psf, kPsfSize);
  out[0] = 'Z';  // replaced by the letter the wake-up returned
  out[20] = '7';
  out[65] = 'C';  // the controller keeps its letter
  PsfImage image;
  image.FromBytes(out, 0);

  ASSERT_EQ(link->OutputPsf(image), 1);
  EXPECT_EQ(Elapsed(), kWakeMs + 200);
  const std::string& w = port->Written();
  ASSERT_EQ(w.size(), 1u + kPsfFrameSize);
  EXPECT_EQ(w[1], kEsc);
  EXPECT_EQ(w[2], 'C');
  EXPECT_EQ(w.back(), kCr);
  EXPECT_EQ(std::memcmp(w.data() + 2, image.Data(), kPsfSize), 0);
  EXPECT_EQ(image[0], 'C');
  EXPECT_EQ(controller.psf_writes, 1) << "the check sum was right";
  EXPECT_EQ(controller.psf[20], '7');
  EXPECT_EQ(link->ControllerId(), 'C');
}

TEST_F(LinkTest, AcknowledgementIdentifierReplacesTheWakeIdentifier) {
  controller.ack_id = 'K';
  PsfImage image;
  image.FromBytes(controller.psf, 0);
  ASSERT_EQ(link->OutputPsf(image), 1);
  EXPECT_EQ(link->ControllerId(), 'K');
  EXPECT_EQ(image[0], 'A') << "the frame carried the wake-up's letter";
}

struct AckCase {
  const char* name;
  std::string ack;
  int result;
};

TEST_F(LinkTest, AcknowledgementIsCheckedByteForByte) {
  const AckCase cases[] = {
      {"good", std::string("\x1c" "A" "J" "\r"), 1},
      {"LF instead of CR", std::string("\x1c" "A" "J" "\n"), 0},
      {"not J", std::string("\x1c" "A" "K" "\r"), 0},
      {"wrong lead", std::string("\x1b" "A" "J" "\r"), 0},
      {"short", std::string("\x1c" "A" "J"), 0},
  };
  for (const AckCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto* p = new ScriptedPort;
    ControllerLink l(p);
    int frames = 0;
    const std::string ack = c.ack;
    p->SetResponder([&](ScriptedPort& sp, const char*, int n, long) {
      if (n == 1) sp.QueueReply(std::string("\x1c" "A" "0" "\n"));
      if (n == kPsfFrameSize) {
        ++frames;
        sp.QueueReply(ack);
      }
    });
    const uint32_t t0 = clock.Now();
    PsfImage image;
    EXPECT_EQ(l.OutputPsf(image), c.result);
    EXPECT_EQ(frames, c.result ? 1 : 3) << "a bad acknowledgement is a failed try";
    // Each try: wake window, 200 ms settle, then the 250 ms ack window (3 attempts when short).
    const uint32_t per_try = kWakeMs + 200 + (c.ack.size() < 4 ? 285 : 0);
    EXPECT_EQ(clock.Now() - t0, (c.result ? 1 : 3) * per_try);
  }
}

TEST_F(LinkTest, OutputPsfRetriesAfterAFailedTryAndSucceeds) {
  int frames = 0;  // the first set is lost on the line
  controller.intercept = [&frames](ScriptedController&, ScriptedPort&, const char*, int n) {
    return n == kPsfFrameSize && frames++ == 0;
  };
  PsfImage image;
  image.FromBytes(controller.psf, 0);
  EXPECT_EQ(link->OutputPsf(image), 1);
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(controller.psf_writes, 1);
}

TEST_F(LinkTest, OutputPsfFrameWriteFailureIsAFailedTry) {
  controller.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
    if (n == 1) p.FailWrites(1, -200);
    return false;
  };
  PsfImage image;
  EXPECT_EQ(link->OutputPsf(image), 0);
  EXPECT_EQ(controller.wakes, 3);
  EXPECT_EQ(controller.psf_writes + controller.psf_rejected, 0);
}

TEST_F(LinkTest, InputPsfReadsTheControllersImage) {
  PsfImage image;
  ASSERT_EQ(link->InputPsf(image), 1);
  EXPECT_EQ(std::memcmp(image.Data(), controller.psf, kPsfSize), 0);
  EXPECT_EQ(image[1], 'C');
  EXPECT_EQ(port->Written(), std::string("\xF8\x1b" "AD\r"));
  EXPECT_EQ(controller.psf_reads, 1);
  EXPECT_EQ(Elapsed(), kWakeMs + 200);
}

TEST_F(LinkTest, InputPsfFailuresLeaveTheImageUnchanged) {
  struct Fault {
    const char* name;
    void (*arrange)(ScriptedController&);
    sim::SimConfig (*sim_fault)() = nullptr;
  };
  const Fault faults[] = {
      {"no controller", [](ScriptedController&) {}, Silent},
      {"reply one byte short", [](ScriptedController& c) { c.truncate_replies = 82; }},
      {"request not written",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
           if (n == 1) p.FailWrites(1);
           return false;
         };
       }},
      {"wrong command byte",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
           if (n != 4) return false;
           std::string r(83, 'x');
           r[0] = kFs;
           r[2] = 'C';
           r[82] = kLf;
           p.QueueReply(r);
           return true;
         };
       }},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.name);
    auto* p = new ScriptedPort;
    ControllerLink l(p);
    ScriptedController c;
    test::FaultSwitch on_line(c);
    on_line.Attach(*p);
    f.arrange(c);
    if (f.sim_fault) on_line.Fault(f.sim_fault());
    PsfImage image;
    image.bytes.fill('q');
    const PsfImage before = image;
    EXPECT_EQ(l.InputPsf(image), 0);
    EXPECT_TRUE(image == before);
    int requests = 0;
    for (const auto& e : p->Events()) requests += e.kind == Kind::kWrite && e.requested == 4;
    EXPECT_LE(requests, 1) << "no retries";
    EXPECT_LE(p->RateHistory().size(), 3u) << "one search";
  }
}

TEST_F(LinkTest, ExchangeFrame21PutsTheLetterInAndTheReplyBack) {
  controller.id = 'E';
  controller.null_span[0] = 250;
  char frame[22] = "\x1b" "AKT0000000000000000\n";
  ASSERT_EQ(link->ExchangeFrame21(frame), 1);
  const std::string& w = port->Written();
  ASSERT_EQ(w.size(), 22u);
  EXPECT_EQ(w.substr(1), std::string("\x1b" "EKT0000000000000000\n"));
  EXPECT_EQ(std::string(frame, 21), std::string("\x1b" "EKT0250300001004000\n"));
  EXPECT_EQ(Elapsed(), kWakeMs + 100);
}

TEST_F(LinkTest, ExchangeFrame21FailsOnAnIncompleteReply) {
  controller.truncate_replies = 20;
  char frame[22] = "\x1b" "AKT0000000000000000\n";
  controller.intercept = [](ScriptedController& c, ScriptedPort&, const char*, int n) {
    if (n == 1) c.truncate_replies = -1;  // the wake-up gets through whole
    if (n == 21) c.truncate_replies = 20;
    return false;
  };
  EXPECT_EQ(link->ExchangeFrame21(frame), 0);
  EXPECT_EQ(std::string(frame, 21), std::string("\x1b" "AKT0000000000000000\n"));
  EXPECT_EQ(Elapsed(), kWakeMs + 100 + 1045);
  line.Fault(Silent());
  EXPECT_EQ(link->ExchangeFrame21(frame), 0);
}

// A whole reply that came while the port flagged a parity error is not the
// controller's: the exchange fails, and an escape command's reply is marked.
TEST_F(LinkTest, AReplyDuringALineErrorCountsForNothing) {
  controller.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
    if (n == 21) p.SetLineErrors(true, false, false, false);
    return false;
  };
  char frame[22] = "\x1b" "AKT0000000000000000\n";
  EXPECT_EQ(link->ExchangeFrame21(frame), 0);
  EXPECT_EQ(std::string(frame, 21), std::string("\x1b" "AKT0000000000000000\n"));
  EXPECT_TRUE(link->ReplyFlagged());
  char text[32] = "\x1b" "AKN0100250001003000\n";
  ASSERT_EQ(link->SendEscapeCommand(text), 0);
  EXPECT_TRUE(link->ReplyFlagged());
  // Flags raised before the request (the wake-up at other rates) do not count.
  controller.intercept = [](ScriptedController&, ScriptedPort& p, const char*, int n) {
    if (n == 1) p.SetLineErrors(false, false, true, false);
    return false;
  };
  EXPECT_EQ(link->ExchangeFrame21(frame), 1);
  EXPECT_FALSE(link->ReplyFlagged());
  const NullSpanValues values{100, 2500, 100, 3000};
  BuildNullSpanFrame(text, 'A', kNullSpanNullUpdate, values);
  EXPECT_EQ(SendNullSpanUpdate(*link, text, values), NullSpanUpdateResult::kAcknowledged);
}

TEST_F(LinkTest, SendEscapeCommandRefusesBadTextsAndSendsNothing) {
  std::string hundred(100, '0');
  hundred[0] = kEsc;
  std::string ninety_nine(99, '0');
  ninety_nine[0] = kEsc;
  const std::string texts[] = {"", "\x1b", hundred, "AK" "T0000000000000000\n", "\x1c" "AKT"};
  for (const std::string& t : texts) {
    SCOPED_TRACE(t.size());
    std::vector<char> text(t.begin(), t.end());
    text.resize(std::max<size_t>(t.size() + 1, 22), '\0');
    const std::vector<char> before = text;
    EXPECT_EQ(link->SendEscapeCommand(text.data()), kEscapeRefused);
    EXPECT_NE(kEscapeRefused, 0) << "a refusal is never reported as success";
    EXPECT_EQ(text, before);
  }
  EXPECT_EQ(link->SendEscapeCommand(nullptr), kEscapeRefused);
  EXPECT_TRUE(port->Events().empty()) << port->EventString();
  EXPECT_EQ(Elapsed(), 0u);

  // 99 characters are still sent (the controller does not answer them).
  std::vector<char> text(ninety_nine.begin(), ninety_nine.end());
  text.push_back('\0');
  EXPECT_EQ(link->SendEscapeCommand(text.data()), kTimeout);
  EXPECT_EQ(port->Written(), ninety_nine);
}

TEST_F(LinkTest, SendEscapeCommandSendsWithoutWakeUpAndReturnsTheReply) {
  char text[32] = "\x1b" "AKN0100250001003000\n";
  ASSERT_EQ(link->SendEscapeCommand(text), 0);
  EXPECT_EQ(port->Written(), std::string("\x1b" "AKN0100250001003000\n"));
  EXPECT_EQ(std::string(text, 21), std::string("\x1b" "AKU0100250001003000\n"));
  EXPECT_EQ(controller.null_span[1], 2500);
  EXPECT_EQ(Elapsed(), 200u);
  EXPECT_EQ(text[21], '\0') << "only 21 bytes are overwritten";
}

TEST_F(LinkTest, SendEscapeCommandPassesSerialCodesThrough) {
  char text[32] = "\x1b" "AKS0100250001003000\n";
  line.Fault(Silent());
  EXPECT_EQ(link->SendEscapeCommand(text), -98);
  EXPECT_EQ(Elapsed(), 200u + 2565u);
  EXPECT_EQ(text[3], 'S') << "nothing copied back";

  port->FailWrites(1, -200);
  EXPECT_EQ(link->SendEscapeCommand(text), -200);
}

ControllerLink* g_busy_link = nullptr;
int (*g_nested_command)(ControllerLink&) = nullptr;
std::vector<int> g_nested_results;

// Every command waits, and a handler that runs meanwhile may start another:
// it is refused, and the command on the line gets exactly its own frames.
TEST_F(LinkTest, ACommandStartedDuringAnotherIsRefusedAndTheFirstCompletes) {
  struct Case {
    const char* name;
    int (*command)(ControllerLink&);
    int refused;  // what the nested command returns
  };
  static char text[32];
  const Case cases[] = {
      {"Scan", [](ControllerLink& l) { BeamBitmapScan scan(32); return l.Scan(scan); }, 0},
      {"InputPsf", [](ControllerLink& l) { PsfImage i; return l.InputPsf(i); }, 0},
      {"OutputPsf", [](ControllerLink& l) { PsfImage i; return l.OutputPsf(i); }, 0},
      {"Synchronize", [](ControllerLink& l) { SyncReply r; return l.Synchronize(r); }, 0},
      {"SendWakeByte", [](ControllerLink& l) { return l.SendWakeByte(); }, 0},
      {"SelectBaudIndex", [](ControllerLink& l) { return l.SelectBaudIndex(2); }, 0},
      {"InputDiagnostics", [](ControllerLink& l) { DiagnosticRecord d; return l.InputDiagnostics(d); }, 0},
      {"ExchangeFrame21", [](ControllerLink& l) { std::strcpy(text, "\x1b" "AKT0000000000000000\n"); return l.ExchangeFrame21(text); }, 0},
      {"SendEscapeCommand", [](ControllerLink& l) { std::strcpy(text, "\x1b" "AT\r"); return l.SendEscapeCommand(text); }, kLinkBusy},
  };
  g_busy_link = link.get();
  SetIdleHook([] { g_nested_results.push_back(g_nested_command(*g_busy_link)); });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_nested_command = c.command;
    g_nested_results.clear();
    const size_t written = port->Written().size();
    const int refused = link->RefusedCommands();
    PsfImage image;
    ASSERT_EQ(link->InputPsf(image), 1);
    EXPECT_EQ(std::memcmp(image.Data(), controller.psf, kPsfSize), 0);
    EXPECT_EQ(port->Written().substr(written), std::string("\xF8\x1b" "AD\r"));
    ASSERT_FALSE(g_nested_results.empty());
    for (const int r : g_nested_results) EXPECT_EQ(r, c.refused);
    EXPECT_EQ(link->RefusedCommands() - refused, static_cast<int>(g_nested_results.size()));
    EXPECT_EQ(link->BaudIndex(), 0);
    EXPECT_FALSE(link->CommandOnLine());
  }
  SetIdleHook(nullptr);
  EXPECT_EQ(link->SelectBaudIndex(1), 1) << "the line is free again once the command ended";
}

TEST(ControllerLinkBuffers, ZeroFillAndRequestBuilders) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  ControllerLink::ZeroFill(buffer, 0);
  ControllerLink::ZeroFill(buffer, -4);
  ControllerLink::ZeroFill(nullptr, 8);
  EXPECT_EQ(std::string(buffer, 8), "xxxxxxxx");
  ControllerLink::ZeroFill(buffer, 5);
  EXPECT_EQ(std::string(buffer, 8), std::string("\0\0\0\0\0xxx", 8));

  VirtualTickSource clock(0);
  ScopedTickSource scoped(&clock);
  auto* port = new ScriptedPort;
  ControllerLink link(port);
  char text[32] = "\x1b" "AKN0100250001003000\n";
  port->QueueReply(std::string(21, 'r'));
  ASSERT_EQ(link.SendEscapeCommand(text), 0);  // leaves the frame in the transmit buffer

  struct Builder {
    void (ControllerLink::*build)(char);
    char letter;
  };
  for (const Builder b : {Builder{&ControllerLink::BuildPsfRequest, 'D'},
                          Builder{&ControllerLink::BuildDiagnosticsRequest, 'H'}}) {
    (link.*b.build)('F');
    const char* tx = link.TxBuffer();
    EXPECT_EQ(std::string(tx, 4), std::string("\x1b" "F") + b.letter + "\r");
    for (int i = 4; i < ControllerLink::kTxSize; ++i) ASSERT_EQ(tx[i], 0) << i;
  }
}

TEST(ControllerLinkWithoutPort, EveryCommandFailsSafely) {
  ControllerLink link(nullptr);
  SyncReply reply;
  PsfImage image;
  char frame[32] = "\x1b" "AKT0000000000000000\n";
  EXPECT_EQ(link.Synchronize(reply), 0);
  EXPECT_EQ(link.SendWakeByte(), 0);
  EXPECT_EQ(link.SelectBaudIndex(1), 0);
  EXPECT_EQ(link.OutputPsf(image), 0);
  EXPECT_EQ(link.InputPsf(image), 0);
  EXPECT_EQ(link.ExchangeFrame21(frame), 0);
  EXPECT_NE(link.SendEscapeCommand(frame), 0);
}

}  // namespace
}  // namespace kelvt
