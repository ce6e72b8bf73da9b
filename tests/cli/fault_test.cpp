// Every kelvt-cli command that talks to the controller, against a controller
// with each fault (silent, stopping mid-command, corrupting, never taking a
// PSF, vanishing), in-process on virtual time: the message on standard
// error, the exit status, a bounded run, and for beams and measure, which
// change the controller's set, the restore tried and the own set saved to a
// rescue file that holds it.

#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli_harness.h"
#include "ops/status_messages.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "support/sim_faults.h"
#include "support/sim_responder.h"
#include "support/watchdog.h"

namespace kelvt::cli {
namespace {

using kelvt::test::Corrupt;
using kelvt::test::NoAck;
using kelvt::test::ScriptedPort;
using kelvt::test::Silent;
using kelvt::test::SimResponder;
using kelvt::test::StopAfter;
using kelvt::test::VanishAfter;

enum class Rescue { kNone, kOwnSet };

struct CliFaultCase {
  const char* name;
  std::vector<std::string> args;  // FILE stands for a .PSF file of the trial set
  sim::SimConfig faults;
  int status;
  std::vector<std::string> errors;  // the "kelvt-cli: " lines of standard error, in order
  Rescue rescue = Rescue::kNone;
  // Test failures name the case, not its bytes.
  friend void PrintTo(const CliFaultCase& c, std::ostream* os) { *os << c.name; }
};

class CliFaultTest : public test_support::CliHarness,
                     public ::testing::WithParamInterface<CliFaultCase> {
 protected:
  CliFaultTest() {
    // As the harness's controller: two 16-channel boards, beams 4 to 6 broken.
    sim::SimOptions o;
    o.boards = "EG,RG";
    o.beams = "4-6";
    config_ = kelvt::test::SimDefaults(o);
    // The controller's own set: CBB, unlike the trial set (TBB).
    PsfRecord own;
    SetField(own.meas1_mode, "CBB");
    char bytes[kPsfSize + 1];
    own.Encode(bytes);
    std::memcpy(config_.psf.data(), bytes, kPsfSize);
    ctx.SetPortOpener([this](const PortTarget&) {
      auto port = std::make_unique<ScriptedPort>(0, 9600);
      Faulty().Attach(*port);
      return std::unique_ptr<RS232>(std::move(port));
    });
  }

  // The "kelvt-cli: ..." lines of standard error.
  std::vector<std::string> ErrorLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err.str());
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("kelvt-cli: ", 0) == 0) lines.push_back(line.substr(11));
    }
    return lines;
  }

  std::vector<std::string> RescueFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("kelvt-restore-", 0) == 0) files.push_back(entry.path().string());
    }
    return files;
  }

  // The controller every port of the test reaches, with the faults given
  // to Fault, made when first needed.
  SimResponder& Faulty() {
    if (!faulty_) faulty_ = std::make_unique<SimResponder>(kelvt::test::WithFaults(config_, faults_));
    return *faulty_;
  }
  void Fault(const sim::SimConfig& faults) { faults_ = faults; }

  sim::SimConfig config_;
  sim::SimConfig faults_;
  std::unique_ptr<SimResponder> faulty_;
};

TEST_P(CliFaultTest, MessageStatusAndNothingLost) {
  const CliFaultCase& c = GetParam();
  kelvt::test::Watchdog watchdog(60, c.name);
  PsfRecord trial;
  SetField(trial.meas1_mode, "TBB");
  const std::string file = Path("trial.PSF");
  ASSERT_EQ(WritePsfFile(trial, file.c_str()), 1);
  PsfImage own;
  Fault(c.faults);
  own.FromBytes(Faulty().Psf().data(), 0);

  std::vector<std::string> argv{"kelvt-cli"};
  for (const std::string& a : c.args) argv.push_back(a == "FILE" ? file : a);
  out.str("");
  err.str("");
  const uint32_t t0 = ticks.Now();
  const int status = RunCli(argv, ctx);
  // Preparation, a few scans and a restore, each failing after all its tries.
  EXPECT_LE(ticks.Now() - t0, 30000u);

  EXPECT_EQ(status, c.status) << err.str();
  EXPECT_EQ(ErrorLines(), c.errors) << err.str();

  const std::vector<std::string> rescued = RescueFiles();
  if (c.rescue == Rescue::kOwnSet) {
    ASSERT_EQ(rescued.size(), 1u) << err.str();
    EXPECT_NE(err.str().find("kelvt-cli psf send '" + rescued[0] + "'"), std::string::npos)
        << err.str();
    PsfRecord saved;
    ASSERT_EQ(ReadPsfFile(saved, rescued[0].c_str()), 1);
    PsfRecord expected;
    expected.Decode(own.Data());
    char a[kPsfSize + 1], b[kPsfSize + 1];
    saved.Encode(a);
    expected.Encode(b);
    EXPECT_EQ(std::string(a + 1, 75), std::string(b + 1, 75));
    EXPECT_STREQ(saved.meas1_mode, "CBB");
  } else {
    EXPECT_TRUE(rescued.empty());
  }
}


// Requests per command: diag a wake-up and the read; psf get/show/diff a
// wake-up and the read; psf send a wake-up, then a wake-up and the set per
// try; beams wake-up, diagnostics, wake-up, read, wake-up, the alignment
// set, one per scan, and the restore; measure wake-up, read, wake-up, the
// trial set, one per scan, and the restore; nullspan a wake-up and the read
// frame (set: then the update); stamp wake-up, read, wake-up, the set.
INSTANTIATE_TEST_SUITE_P(
    Faults, CliFaultTest,
    ::testing::Values(
        CliFaultCase{"DiagSilent", {"diag"}, Silent(), kExitNoAnswer, {"Error reading diagnostics"}},
        CliFaultCase{"DiagStops", {"diag"}, StopAfter(1), kExitNoAnswer, {"Error reading diagnostics"}},
        CliFaultCase{"DiagCorrupt", {"diag"}, Corrupt(), kExitNoAnswer, {"Error reading diagnostics"}},
        CliFaultCase{"DiagVanishes", {"diag"}, VanishAfter(1), kExitNoAnswer,
                     {"Error reading diagnostics"}},
        CliFaultCase{"DiagNoAckIsHarmless", {"diag", "--check"}, NoAck(), kExitOk, {}},

        CliFaultCase{"PsfGetSilent", {"psf", "get"}, Silent(), kExitNoAnswer, {"Unable to input psf."}},
        CliFaultCase{"PsfGetStops", {"psf", "get"}, StopAfter(1), kExitNoAnswer,
                     {"Unable to input psf."}},
        CliFaultCase{"PsfGetCorruptReply", {"psf", "get"}, Corrupt(1), kExitNoAnswer,
                     {"Unable to input psf."}},
        CliFaultCase{"PsfGetVanishes", {"psf", "get"}, VanishAfter(1), kExitNoAnswer,
                     {"Unable to input psf."}},
        CliFaultCase{"PsfShowControllerSilent", {"psf", "show", "controller"}, Silent(),
                     kExitNoAnswer, {"Unable to input psf."}},
        CliFaultCase{"PsfDiffControllerCorrupt", {"psf", "diff", "FILE", "controller"}, Corrupt(),
                     kExitNoAnswer, {"Unable to input psf."}},

        CliFaultCase{"PsfSendSilent", {"psf", "send", "FILE"}, Silent(), kExitNoAnswer,
                     {"Unable to output psf."}},
        CliFaultCase{"PsfSendCorrupt", {"psf", "send", "FILE"}, Corrupt(), kExitNoAnswer,
                     {"Unable to output psf."}},
        // Its own set unread, the controller keeps it: nothing is sent without a copy.
        CliFaultCase{"PsfSendStopsAfterTheWakeUp", {"psf", "send", "FILE"}, StopAfter(1),
                     kExitNoAnswer, {"The controller's own PSF could not be read."}},
        CliFaultCase{"PsfSendNoAck", {"psf", "send", "FILE"}, NoAck(), kExitRefused,
                     {"PSF Not Accepted"}},
        // Wake-up, the own set read (wake-up, read), wake-up: the set goes out into nothing.
        CliFaultCase{"PsfSendVanishes", {"psf", "send", "FILE"}, VanishAfter(4), kExitRefused,
                     {"PSF Not Accepted"}},

        CliFaultCase{"BeamsSilent", {"beams"}, Silent(), kExitNoAnswer,
                     {"Unable to input Diagnostics."}},
        CliFaultCase{"BeamsStopsBeforeThePsf", {"beams"}, StopAfter(2), kExitNoAnswer,
                     {"Unable to input psf."}},
        CliFaultCase{"BeamsNoAck", {"beams"}, NoAck(), kExitRefused, {"Unable to output psf."}},
        // The set went out unacknowledged and nothing can be read back: the own
        // set is put back, and failing that, rescued to a file.
        CliFaultCase{"BeamsVanishesAtTheAlignmentSet", {"beams"}, VanishAfter(5), kExitNoAnswer,
                     {"Unable to output psf.", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"BeamsCorruptsTheAcknowledgement", {"beams"}, Corrupt(5), kExitNoAnswer,
                     {"Unable to output psf.", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"BeamsStopsInTheLoop", {"beams", "--count", "3"}, StopAfter(7), kExitNoAnswer,
                     {"Unable to Input Scan.", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"BeamsCorruptsInTheLoop", {"beams", "--count", "3"}, Corrupt(6),
                     kExitNoAnswer, {"Unable to Input Scan.", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"BeamsVanishesInTheLoop", {"beams", "--count", "3"}, VanishAfter(8),
                     kExitNoAnswer, {"Unable to Input Scan.", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"BeamsStopsAtTheRestore", {"beams", "--count", "2"}, StopAfter(8),
                     kExitNoAnswer, {kRestoreFailedMessage}, Rescue::kOwnSet},

        CliFaultCase{"MeasureSilent", {"measure", "FILE"}, Silent(), kExitNoAnswer,
                     {"Unable to input existing controller's psf."}},
        CliFaultCase{"MeasureCorrupt", {"measure", "FILE"}, Corrupt(), kExitNoAnswer,
                     {"Unable to input existing controller's psf."}},
        CliFaultCase{"MeasureNoAck", {"measure", "FILE"}, NoAck(), kExitRefused,
                     {"Unable to output psf."}},
        CliFaultCase{"MeasureStopsInTheLoop", {"measure", "FILE", "--count", "3"}, StopAfter(5),
                     kExitNoAnswer, {"Could not input scan", kRestoreFailedMessage}, Rescue::kOwnSet},
        CliFaultCase{"MeasureVanishesInTheLoop", {"measure", "FILE", "--count", "3"},
                     VanishAfter(4), kExitNoAnswer, {"Could not input scan", kRestoreFailedMessage},
                     Rescue::kOwnSet},
        CliFaultCase{"MeasureCorruptsTheRestore", {"measure", "FILE"}, Corrupt(5), kExitNoAnswer,
                     {kRestoreFailedMessage}, Rescue::kOwnSet},

        CliFaultCase{"NullSpanGetSilent", {"nullspan", "get"}, Silent(), kExitNoAnswer,
                     {"Serial interface is not active"}},
        CliFaultCase{"NullSpanGetVanishes", {"nullspan", "get"}, VanishAfter(1), kExitNoAnswer,
                     {"Serial interface is not active"}},
        CliFaultCase{"NullSpanSetStops", {"nullspan", "set", "10", "3000", "20", "4000"},
                     StopAfter(2), kExitNoAnswer, {"We are unable to establish the Serial Interface"}},
        CliFaultCase{"NullSpanSetVanishes", {"nullspan", "set", "10", "3000", "20", "4000"},
                     VanishAfter(2), kExitNoAnswer,
                     {"We are unable to establish the Serial Interface"}},
        CliFaultCase{"NullSpanSetCorruptEcho", {"nullspan", "set", "10", "3000", "20", "4000"},
                     Corrupt(2), kExitRefused, {"The Serial Interface is not functioning properly"}},
        CliFaultCase{"NullSpanSetNoAckIsHarmless", {"nullspan", "set", "10", "3000", "20", "4000"},
                     NoAck(), kExitOk, {}},

        CliFaultCase{"StampSilent", {"stamp", "--part", "QX7723"}, Silent(), kExitNoAnswer,
                     {"Unable to input PSF."}},
        CliFaultCase{"StampCorrupt", {"stamp", "--part", "QX7723"}, Corrupt(), kExitNoAnswer,
                     {"Unable to input PSF."}},
        CliFaultCase{"StampStops", {"stamp", "--part", "QX7723"}, StopAfter(2), kExitNoAnswer,
                     {"Unable to output PSF."}},
        CliFaultCase{"StampNoAck", {"stamp", "--part", "QX7723"}, NoAck(), kExitRefused,
                     {"Unable to output PSF."}},
        // The stamped set went out unconfirmed and the controller is gone: its own set is kept.
        CliFaultCase{"StampVanishes", {"stamp", "--part", "QX7723"}, VanishAfter(3), kExitNoAnswer,
                     {"Unable to output PSF.", kRestoreFailedMessage}, Rescue::kOwnSet}),
    [](const ::testing::TestParamInfo<CliFaultCase>& info) { return std::string(info.param.name); });

// The port list opens nothing, so no controller fault can touch it.
TEST_F(CliFaultTest, PortsNeverOpensThePort) {
  Fault(VanishAfter(0));
  EXPECT_EQ(Run({"ports"}), kExitOk) << err.str();
  EXPECT_EQ(Faulty().RepliesSent() + Faulty().Ignored(), 0);
  EXPECT_FALSE(Faulty().Vanished());
}

}  // namespace
}  // namespace kelvt::cli
