// The simulated controller as a pure state machine. Replies are checked
// with the tool's own decoders, so the two sides of the protocol are held
// against each other.

#include "sim/sim_controller.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/diagnostic_record.h"
#include "link/null_span_frame.h"
#include "link/scan_record.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "sim/scan_reply.h"
#include "sim/sim_options.h"

namespace kelvt::sim {
namespace {

constexpr char kWakeByte = static_cast<char>(0xF8);

SimConfig Config(const std::string& extra_boards = "EG,EG,RG,RG") {
  SimOptions o;
  o.boards = extra_boards;
  SimConfig c;
  std::string error;
  EXPECT_TRUE(BuildConfig(o, c, error)) << error;
  return c;
}

class Controller {
 public:
  explicit Controller(SimConfig c) : sim_(std::move(c)) {}

  // Feeds bytes at `t` and returns the events.
  std::vector<SimEvent> Hear(const std::vector<char>& bytes, uint64_t t = 1000) {
    std::vector<SimEvent> events;
    sim_.Receive(bytes.data(), bytes.size(), t, events);
    return events;
  }
  std::vector<SimEvent> Wait(uint64_t t) {
    std::vector<SimEvent> events;
    sim_.Poll(t, events);
    return events;
  }
  // A request that must get exactly one reply.
  std::vector<char> Ask(const std::vector<char>& bytes, uint64_t t = 1000) {
    std::vector<SimEvent> events = Hear(bytes, t);
    if (events.empty() && !bytes.empty() && bytes[0] == kWakeByte) events = Wait(t + 10);
    EXPECT_EQ(events.size(), 1u);
    if (events.size() != 1 || events[0].kind != SimEvent::kReply) {
      ADD_FAILURE() << "no reply" << (events.empty() ? "" : ": " + events[0].note);
      return {};
    }
    return events[0].reply;
  }
  SimController& sim() { return sim_; }

 private:
  SimController sim_;
};

std::vector<char> Wake() { return {kWakeByte}; }
std::vector<char> Req(char id, char cmd) { return {0x1B, id, cmd, 0x0D}; }
std::vector<char> ScanReq(char id) { return {kWakeByte, id, 'S'}; }

std::vector<char> PsfFrame(const Image& image, char letter) {
  PsfImage psf;
  psf.FromBytes(image.data(), 0);
  char frame[kPsfFrameSize];
  psf.BuildOutputFrame(frame, letter);
  return std::vector<char>(frame, frame + kPsfFrameSize);
}

std::vector<char> NullSpan(char id, char function, const NullSpanValues& v) {
  char buf[kNullSpanBufferSize];
  BuildNullSpanFrame(buf, id, function, v);
  return std::vector<char>(buf, buf + kNullSpanFrameSize);
}

// ---------------------------------------------------------------- wake-up

TEST(SimController, LoneWakeByteIsAnsweredOnceTheLineIsQuiet) {
  Controller c(Config());
  EXPECT_TRUE(c.Hear(Wake(), 1000).empty());  // could be the start of a scan
  uint64_t when = 0;
  ASSERT_TRUE(c.sim().NextDeadline(&when));
  EXPECT_EQ(when, 1000 + SimController::kWakeGapMs);
  EXPECT_TRUE(c.Wait(1002).empty());
  const auto events = c.Wait(1005);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].reply, (std::vector<char>{0x1C, 'A', '0', 0x0A}));
  EXPECT_FALSE(c.sim().NextDeadline(&when));
}

TEST(SimController, WakeBytesInARowAreEachAnswered) {
  Controller c(Config());
  const auto events = c.Hear({kWakeByte, kWakeByte, kWakeByte});
  EXPECT_EQ(events.size(), 2u);  // the third waits for quiet
  EXPECT_EQ(c.Wait(1010).size(), 1u);
  EXPECT_EQ(c.sim().RepliesSent(), 3);
}

TEST(SimController, WakeFollowedByNoiseIsAWakeAndTheNoiseIsDropped) {
  Controller c(Config());
  const auto events = c.Hear({kWakeByte, '#', 'x'});
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, SimEvent::kReply);
  EXPECT_EQ(events[1].kind, SimEvent::kDropped);
  EXPECT_EQ(events[1].request, (std::vector<char>{'#', 'x'}));
}

TEST(SimController, LineMustRunAtItsRateWithTwoStopBits) {
  SimOptions o;
  o.baud = 38400;
  SimConfig cfg;
  std::string error;
  ASSERT_TRUE(BuildConfig(o, cfg, error));
  SimController sim(std::move(cfg));
  EXPECT_TRUE(sim.LineMatches(38400, true));
  EXPECT_FALSE(sim.LineMatches(38400, false));
  EXPECT_FALSE(sim.LineMatches(9600, true));
  EXPECT_FALSE(sim.LineMatches(19200, true));
}

// ---------------------------------------------------------------- PSF

TEST(SimController, PsfReadSendsTheImageWithEInTheCommandByte) {
  Controller c(Config());
  const std::vector<char> reply = c.Ask(Req('A', 'D'));
  ASSERT_EQ(reply.size(), 83u);
  PsfImage psf;
  ASSERT_TRUE(psf.FromControllerReply(reply.data()));
  EXPECT_EQ(reply[2], 'E');
  EXPECT_EQ(psf[0], 'A');
  EXPECT_EQ(psf[1], 'C');
  EXPECT_EQ(std::string(&psf[66], 6), kDefaultPartNumber);
  EXPECT_EQ(std::string(&psf[72], 4), kDefaultDateCode);
  char sum[6];
  std::snprintf(sum, sizeof sum, "%05ld", PsfCheckSum(psf.Data()));
  EXPECT_EQ(std::string(&psf[76], 5), sum);
}

TEST(SimController, AcceptedPsfIsAcknowledgedAndTaken) {
  Controller c(Config());
  Image image = c.sim().Psf();
  image[3] = kModeAll;  // measurement mode 1: ALL
  const std::vector<char> ack = c.Ask(PsfFrame(image, 'A'));
  EXPECT_EQ(ack, (std::vector<char>{0x1C, 'A', 'J', 0x0D}));
  EXPECT_EQ(c.sim().Psf()[3], kModeAll);
  EXPECT_TRUE(CheckSumValid(c.sim().Psf()));
}

TEST(SimController, NewLetterAndRateAreAdoptedAndTheAckCarriesTheNewLetter) {
  Controller c(Config());
  Image image = c.sim().Psf();
  image[65] = 'C';
  image[5] = 'C';  // 38400
  const auto events = c.Hear(PsfFrame(image, 'A'));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].reply, (std::vector<char>{0x1C, 'C', 'J', 0x0D}));
  EXPECT_EQ(events[0].new_baud, 38400);
  EXPECT_EQ(c.sim().Id(), 'C');
  EXPECT_EQ(c.sim().Baud(), 38400);
  EXPECT_EQ(c.sim().Psf()[0], 'C');
  // The old letter is no longer answered to; the new one is.
  EXPECT_EQ(c.Hear(Req('A', 'H'))[0].kind, SimEvent::kIgnored);
  EXPECT_EQ(c.Ask(Req('C', 'D'))[1], 'C');
}

TEST(SimController, SameRateMeansNoSwitch) {
  Controller c(Config());
  const auto events = c.Hear(PsfFrame(c.sim().Psf(), 'A'));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].new_baud, 0);
}

TEST(SimController, KeepMarkersLeavePartNumberAndDateCode) {
  Controller c(Config());
  PsfRecord record;  // the editor's set carries 0x01 in both fields
  char encoded[82];
  record.Encode(encoded);
  Image image;
  std::copy_n(encoded, kImageSize, image.begin());
  ASSERT_EQ(c.Ask(PsfFrame(image, 'A'))[2], 'J');
  EXPECT_EQ(std::string(&c.sim().Psf()[66], 6), kDefaultPartNumber);
  EXPECT_EQ(std::string(&c.sim().Psf()[72], 4), kDefaultDateCode);

  // A real part number and date code replace them.
  std::copy_n("PN4321", 6, image.begin() + 66);
  std::copy_n("2611", 4, image.begin() + 72);
  ASSERT_EQ(c.Ask(PsfFrame(image, 'A'))[2], 'J');
  EXPECT_EQ(std::string(&c.sim().Psf()[66], 6), "PN4321");
  EXPECT_EQ(std::string(&c.sim().Psf()[72], 4), "2611");
}

struct RefusedCase {
  const char* name;
  int byte;     // frame byte to change
  char value;
  bool fix_sum;  // recompute the check sum after the change
  const char* note_part;
};

class RefusedPsfTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedPsfTest, IsNotAnsweredAndNotTaken) {
  Controller c(Config());
  const Image before = c.sim().Psf();
  Image image = before;
  image[3] = kModeTbb;
  std::vector<char> frame = PsfFrame(image, 'A');
  frame[GetParam().byte] = GetParam().value;
  if (GetParam().fix_sum) {
    Image changed;
    std::copy(frame.begin() + 1, frame.begin() + 82, changed.begin());
    WriteCheckSum(changed);
    std::copy(changed.begin(), changed.end(), frame.begin() + 1);
  }
  const auto events = c.Hear(frame);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kIgnored);
  EXPECT_NE(events[0].note.find(GetParam().note_part), std::string::npos) << events[0].note;
  EXPECT_EQ(c.sim().Psf(), before);
  EXPECT_EQ(c.sim().RepliesSent(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, RefusedPsfTest,
    ::testing::Values(RefusedCase{"command_byte", 2, 'E', true, "command byte"},
                      RefusedCase{"check_sum", 81, 'x', false, "check sum"},
                      RefusedCase{"changed_after_sum", 10, 'z', false, "check sum"},
                      RefusedCase{"other_letter", 1, 'B', true, "addressed to controller B"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimController, NoAckFaultNeverAcknowledgesNorTakes) {
  SimConfig cfg = Config();
  cfg.no_ack = true;
  Controller c(std::move(cfg));
  Image image = c.sim().Psf();
  image[3] = kModeAll;
  const auto events = c.Hear(PsfFrame(image, 'A'));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kIgnored);
  EXPECT_NE(c.sim().Psf()[3], kModeAll);
  // Everything else is still answered.
  EXPECT_EQ(c.Ask(Req('A', 'D')).size(), 83u);
}

// ---------------------------------------------------------------- diagnostics

TEST(SimController, DiagnosticsListTheBoardsAndDecodeInTheTool) {
  Controller c(Config("E8,E8,RG,RG:3"));
  const std::vector<char> reply = c.Ask(Req('A', 'H'));
  ASSERT_EQ(reply.size(), 15u + 4u * 4u);
  DiagnosticRecord d;
  ASSERT_EQ(d.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  EXPECT_EQ(d.emitter_count, 2);
  EXPECT_EQ(d.receiver_count, 2);
  EXPECT_EQ(d.total_channels, 48);
  EXPECT_EQ(d.system_state, kReceiverError);
  EXPECT_EQ(d.receiver_boards[1].error_code, '3');
  EXPECT_EQ(d.emitter_boards[1].board_tag, '2');
  EXPECT_STREQ(d.part_number, kDefaultPartNumber);
  EXPECT_STREQ(d.date_code, kDefaultDateCode);
}

TEST(SimController, DiagnosticsWithoutBoardsIsFifteenBytes) {
  Controller c(Config("none"));
  const std::vector<char> reply = c.Ask(Req('A', 'H'));
  ASSERT_EQ(reply.size(), 15u);
  DiagnosticRecord d;
  EXPECT_EQ(d.Decode(reply.data(), 15), 1);
  EXPECT_EQ(d.total_channels, 0);
}

TEST(SimController, TwentyFourBoardsFitTheLongestReply) {
  Controller c(Config("E8*12,R8*12"));
  EXPECT_EQ(c.Ask(Req('A', 'H')).size(), 111u);
}

// ---------------------------------------------------------------- scans

TEST(SimController, BeamScanFollowsThePatternAndThePsf) {
  SimConfig cfg = Config("EG,EG,RG,RG");
  std::string error;
  ASSERT_TRUE(cfg.beams.SetFixed("4-6,32", error));
  cfg.psf[3] = kModeAll;
  Controller c(std::move(cfg));
  const std::vector<char> reply = c.Ask(ScanReq('A'));
  BeamBitmapScan scan(32);
  ASSERT_EQ(static_cast<int>(reply.size()), scan.ExpectedLength());
  ASSERT_EQ(scan.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  EXPECT_EQ(scan.statistics.broken_count, 4);
  EXPECT_EQ(scan.statistics.first_broken, 3);
  EXPECT_EQ(scan.statistics.last_broken, 31);
}

TEST(SimController, MeasurementScanUsesBothModes) {
  SimConfig cfg = Config("E8,R8");  // 8 beams
  std::string error;
  ASSERT_TRUE(cfg.beams.SetFixed("2-3", error));
  cfg.psf[3] = kModeFbb;
  cfg.psf[4] = kModeTbm;
  Controller c(std::move(cfg));
  const std::vector<char> reply = c.Ask(ScanReq('A'));
  MeasurementScan scan(2);
  ASSERT_EQ(scan.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  EXPECT_EQ(scan.value1, 2);
  EXPECT_EQ(scan.value2, 6);
}

TEST(SimController, MovingObjectChangesTheScanOverTime) {
  SimConfig cfg = Config("E8,R8");
  cfg.beams.SetMoving(1, 10.0);
  cfg.psf[3] = kModeFbb;
  Controller c(std::move(cfg));
  MeasurementScan scan(0);
  auto r = c.Ask(ScanReq('A'), 0);
  ASSERT_EQ(scan.Decode(r.data(), 5), 1);
  EXPECT_EQ(scan.value1, 1);
  r = c.Ask(ScanReq('A'), 300);
  ASSERT_EQ(scan.Decode(r.data(), 5), 1);
  EXPECT_EQ(scan.value1, 4);
}

TEST(SimController, ScanForAnotherLetterIsIgnored) {
  Controller c(Config());
  const auto events = c.Hear(ScanReq('B'));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kIgnored);
}

// ---------------------------------------------------------------- null/span

TEST(SimController, NullSpanReadAndUpdatesEchoWithU) {
  SimConfig cfg = Config();
  cfg.null_span = {250, 4000, 0, 2047};
  Controller c(std::move(cfg));

  char read[kNullSpanBufferSize];
  BuildNullSpanReadRequest(read);
  read[1] = 'A';
  std::vector<char> reply = c.Ask(std::vector<char>(read, read + kNullSpanFrameSize));
  ASSERT_EQ(reply.size(), 21u);
  EXPECT_EQ(std::string(reply.begin(), reply.end()),
            std::string("\x1b" "AKT0250400000002047\n"));
  EXPECT_EQ(DecodeNullSpanValues(reply.data()), (NullSpanValues{250, 4000, 0, 2047}));

  for (char f : {'N', 'S', 'E'}) {
    const NullSpanValues sent{100 + f, 3000, 12, 4095};
    reply = c.Ask(NullSpan('A', f, sent));
    ASSERT_EQ(reply.size(), 21u) << f;
    EXPECT_EQ(reply[3], 'U');
    EXPECT_TRUE(IsNullSpanUpdateAcknowledged(reply.data(), 'A', sent)) << f;
    EXPECT_EQ(c.sim().NullSpan(), (std::array<int, 4>{100 + f, 3000, 12, 4095}));
  }
}

TEST(SimController, UnknownNullSpanFunctionIsNotAnswered) {
  Controller c(Config());
  const auto events = c.Hear(NullSpan('A', 'Q', {}));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kIgnored);
}

// ---------------------------------------------------------------- framing

TEST(SimController, RequestSplitAcrossReadsIsAssembled) {
  Controller c(Config());
  const std::vector<char> frame = PsfFrame(c.sim().Psf(), 'A');
  EXPECT_TRUE(c.Hear(std::vector<char>(frame.begin(), frame.begin() + 40), 1000).empty());
  const auto events = c.Hear(std::vector<char>(frame.begin() + 40, frame.end()), 1010);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].reply[2], 'J');
}

TEST(SimController, UnfinishedFrameIsDroppedAfterSilenceAndTheLineRecovers) {
  Controller c(Config());
  EXPECT_TRUE(c.Hear({0x1B, 'A', 'C', 'a'}, 1000).empty());
  EXPECT_TRUE(c.Wait(1050).empty());
  const auto dropped = c.Wait(1000 + SimController::kFrameGapMs);
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].kind, SimEvent::kDropped);
  EXPECT_EQ(c.Ask(Req('A', 'D'), 1200).size(), 83u);
}

TEST(SimController, FrameWithTheWrongEndByteIsDroppedByteByByte) {
  Controller c(Config());
  const auto events = c.Hear({0x1B, 'A', 'D', 0x0A});
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].kind, SimEvent::kDropped);
  for (const SimEvent& e : events) EXPECT_NE(e.kind, SimEvent::kReply);
}

TEST(SimController, EscWithoutLetterDoesNotSwallowAWake) {
  Controller c(Config());
  auto events = c.Hear({0x1B, kWakeByte}, 1000);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kDropped);
  events = c.Wait(1010);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kReply);
}

TEST(SimController, BackToBackRequestsInOneReadAreAllAnswered) {
  Controller c(Config());
  std::vector<char> bytes = Req('A', 'D');
  const std::vector<char> h = Req('A', 'H');
  bytes.insert(bytes.end(), h.begin(), h.end());
  const std::vector<char> s = ScanReq('A');
  bytes.insert(bytes.end(), s.begin(), s.end());
  const auto events = c.Hear(bytes);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].reply.size(), 83u);
  EXPECT_EQ(events[1].reply[2], 'I');
  EXPECT_EQ(events[2].reply.size(), 5u);
}

// ---------------------------------------------------------------- faults

TEST(SimController, SilentControllerHearsButNeverAnswers) {
  SimConfig cfg = Config();
  cfg.silent = true;
  Controller c(std::move(cfg));
  for (const auto& req : {Req('A', 'D'), Req('A', 'H'), ScanReq('A')}) {
    const auto events = c.Hear(req);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, SimEvent::kIgnored);
  }
  EXPECT_EQ(c.sim().RepliesSent(), 0);
}

TEST(SimController, StopAfterAnswersThatManyThenNothing) {
  SimConfig cfg = Config();
  cfg.stop_after = 2;
  Controller c(std::move(cfg));
  EXPECT_EQ(c.Hear(Req('A', 'D'))[0].kind, SimEvent::kReply);
  EXPECT_EQ(c.Hear(Req('A', 'H'))[0].kind, SimEvent::kReply);
  EXPECT_EQ(c.Hear(Req('A', 'D'))[0].kind, SimEvent::kIgnored);
  EXPECT_EQ(c.sim().RepliesSent(), 2);
}

TEST(SimController, CorruptAfterAnswersThatManyCleanlyThenGarblesEveryReply) {
  SimConfig cfg = Config();
  cfg.corrupt_after = 1;
  Controller c(std::move(cfg));
  std::vector<char> first = c.Ask(Wake());
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0], 0x1C);
  for (int i = 0; i < 2; ++i) {
    std::vector<char> later = c.Ask(Wake());
    ASSERT_EQ(later.size(), 4u);
    EXPECT_EQ(later[0], 0x1C ^ 0x20);
    EXPECT_EQ(later[3], 0x0A ^ 0x20);
  }
}

TEST(SimController, CorruptPsfReadsGarblesOnlyThatManyPsfReads) {
  SimConfig cfg = Config();
  cfg.corrupt_psf_reads = 2;
  Controller c(std::move(cfg));
  PsfImage image;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(c.Ask(Wake())[0], 0x1C);  // everything else answers cleanly
    EXPECT_FALSE(image.FromControllerReply(c.Ask(Req('A', 'D')).data()));
  }
  EXPECT_TRUE(image.FromControllerReply(c.Ask(Req('A', 'D')).data()));
}

TEST(SimController, VanishAfterGoesAwayOnTheNextRequestAndHearsNothingMore) {
  SimConfig cfg = Config();
  cfg.vanish_after = 1;
  Controller c(std::move(cfg));
  EXPECT_EQ(c.Hear(Req('A', 'H'))[0].kind, SimEvent::kReply);
  const auto events = c.Hear(Req('A', 'D'));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, SimEvent::kVanish);
  EXPECT_TRUE(c.sim().Vanished());
  EXPECT_TRUE(c.Hear(Req('A', 'D')).empty());
}

TEST(SimController, CorruptRepliesFailTheToolsChecks) {
  SimConfig cfg = Config();
  cfg.corrupt = true;
  cfg.psf[3] = kModeAll;
  Controller c(std::move(cfg));

  std::vector<char> wake = c.Ask(Wake());
  ASSERT_EQ(wake.size(), 4u);
  EXPECT_NE(wake[0], 0x1C);
  EXPECT_NE(wake[3], 0x0A);

  std::vector<char> psf = c.Ask(Req('A', 'D'));
  PsfImage image;
  EXPECT_FALSE(image.FromControllerReply(psf.data()));

  std::vector<char> diag = c.Ask(Req('A', 'H'));
  DiagnosticRecord d;
  EXPECT_EQ(d.Decode(diag.data(), static_cast<int>(diag.size())), 0);

  std::vector<char> scan = c.Ask(ScanReq('A'));
  BeamBitmapScan beams(32);
  EXPECT_EQ(beams.Decode(scan.data(), static_cast<int>(scan.size())), 0);
}

// A noisy line: about the given share of replies differs from the clean one
// in exactly one byte, inverted; the same seed garbles the same replies.
std::vector<std::vector<char>> NoisyPsfReads(double rate, uint32_t seed, int n) {
  SimConfig cfg = Config();
  cfg.garble_rate = rate;
  cfg.seed = seed;
  Controller c(std::move(cfg));
  std::vector<std::vector<char>> replies;
  for (int i = 0; i < n; ++i) replies.push_back(c.Ask(Req('A', 'D')));
  return replies;
}

TEST(SimController, GarbleRateInvertsOneByteInAShareOfReplies) {
  const std::vector<char> clean = NoisyPsfReads(0, 1, 1)[0];
  for (double rate : {0.0, 0.2, 1.0}) {
    const auto replies = NoisyPsfReads(rate, 7, 500);
    int garbled = 0;
    for (const auto& r : replies) {
      ASSERT_EQ(r.size(), clean.size());
      int differ = 0;
      for (size_t i = 0; i < r.size(); ++i) {
        if (r[i] == clean[i]) continue;
        ++differ;
        EXPECT_EQ(static_cast<char>(~r[i]), clean[i]);
      }
      EXPECT_LE(differ, 1);
      garbled += differ;
    }
    EXPECT_NEAR(garbled / 500.0, rate, 0.06) << rate;
  }
  EXPECT_EQ(NoisyPsfReads(0.2, 7, 50), NoisyPsfReads(0.2, 7, 50));
  EXPECT_NE(NoisyPsfReads(0.2, 7, 50), NoisyPsfReads(0.2, 8, 50));
}

// ---------------------------------------------------------------- helpers

struct TransferCase {
  size_t bytes;
  long baud;
  uint32_t ms;
};

class TransferTest : public ::testing::TestWithParam<TransferCase> {};

TEST_P(TransferTest, TwelveBitsAByteRoundedUp) {
  EXPECT_EQ(TransferMs(GetParam().bytes, GetParam().baud), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(Lines, TransferTest,
                         ::testing::Values(TransferCase{83, 9600, 104}, TransferCase{5, 38400, 2},
                                           TransferCase{800, 9600, 1000}, TransferCase{0, 9600, 0},
                                           TransferCase{4, 19200, 3}, TransferCase{10, 0, 0}));

TEST(BaudBytes, MapBothWays) {
  const std::vector<std::pair<char, long>> table = {{'A', 9600}, {'B', 19200}, {'C', 38400}};
  for (const auto& [code, rate] : table) {
    EXPECT_EQ(RateOfBaudByte(code), rate);
    EXPECT_EQ(BaudByteOfRate(rate), code);
  }
  EXPECT_EQ(RateOfBaudByte('D'), 0);
  EXPECT_EQ(BaudByteOfRate(57600), 0);
}

}  // namespace
}  // namespace kelvt::sim
