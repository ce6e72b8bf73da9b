// kelvt-cli end to end: the real executable, through the real serial port,
// against kelvt-sim on a pseudo-terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/exit_codes.h"
#include "json_lines.h"
#include "cli_process.h"
#include "link/controller_link.h"
#include "ops/set_journal.h"
#include "psf/psf_file.h"
#include "serial/posix_serial_port.h"
#include "psf/psf_record.h"
#include "support/sim_process.h"

namespace kelvt::cli {
namespace {

using test_support::CliProcess;
using test_support::WithoutTime;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class CliSimTest : public ::testing::Test {
 protected:
  CliSimTest() {
    char pattern[] = "/tmp/kelvt-cli-sim-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
  }
  ~CliSimTest() override { std::filesystem::remove_all(dir_); }

  void StartSim(const std::vector<std::string>& args) {
    sim_ = std::make_unique<kelvt::test::SimProcess>(KELVT_SIM_PATH, args);
    ASSERT_TRUE(sim_->ok()) << sim_->error();
  }

  // Runs kelvt-cli on the simulator's terminal.
  Result Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--device", sim_->path()});
    return CliWithout(args);
  }
  // Runs kelvt-cli with exactly these arguments.
  Result CliWithout(const std::vector<std::string>& args) {
    CliProcess process(KELVT_CLI_PATH, args, dir_);
    const int status = process.Finish(30000);
    return {status, process.out(), process.err()};
  }
  std::unique_ptr<CliProcess> Start(std::vector<std::string> args) {
    args.insert(args.begin(), {"--device", sim_->path()});
    return std::make_unique<CliProcess>(KELVT_CLI_PATH, args, dir_);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string WriteSet(const std::string& name, const char* mode1, const char* mode2) {
    PsfRecord record;
    SetField(record.meas1_mode, mode1);
    SetField(record.meas2_mode, mode2);
    const std::string path = Path(name);
    EXPECT_EQ(WritePsfFile(record, path.c_str()), 1);
    return path;
  }

  // The controller holds the set of `file` (compared field by field).
  void ExpectControllerHolds(const std::string& file) {
    const Result diff = Cli({"psf", "diff", file, "controller"});
    EXPECT_EQ(diff.status, kExitOk) << WithoutTime(diff.out) << diff.err;
  }

  // The simulator's set, its 81 bytes as read.
  bool ReadHeld(PsfImage& image) {
    ControllerLink link(new PosixSerialPort(sim_->path(), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
    return link.Port()->ErrorStatus() == 0 && link.InputPsf(image) != 0;
  }

  std::string dir_;
  std::unique_ptr<kelvt::test::SimProcess> sim_;
};

TEST_F(CliSimTest, DiagTextAndJson) {
  StartSim({"--boards", "EG,R8:3", "--part-number", "654321", "--date-code", "2649"});
  const Result text = Cli({"diag"});
  ASSERT_EQ(text.status, kExitOk) << text.err;
  EXPECT_EQ(WithoutTime(text.out),
            "System State:               Reciever Error\n"
            "Number Of Emitter Boards:   1\n"
            "Number Of Receiver Boards:  1\n"
            "\n"
            "Board  Num Channels  Type  State\n"
            "    1  16            E     0 No Errors\n"
            "    1  8             R     3 Channel 3\n"
            "\n"
            "Part Number:  654321\n"
            "Date Code:    2649\n");
  const Result json = Cli({"diag", "--json", "--check"});
  EXPECT_EQ(json.status, kExitRefused);
  EXPECT_EQ(WithoutTime(json.out),
            "{\"system_state\":\"Reciever Error\",\"operational\":false,\"emitter_count\":1,"
            "\"receiver_count\":1,\"total_channels\":24,\"boards\":["
            "{\"type\":\"E\",\"board\":1,\"channels\":16,\"error_code\":0,"
            "\"error\":\"0 No Errors\"},"
            "{\"type\":\"R\",\"board\":1,\"channels\":8,\"error_code\":3,"
            "\"error\":\"3 Channel 3\"}],\"part_number\":\"654321\",\"date_code\":\"2649\"}\n");
  EXPECT_NE(json.err.find("not operational"), std::string::npos) << json.err;
}

TEST_F(CliSimTest, PsfGetSendDiffAndShow) {
  StartSim({"--meas1", "LBB", "--meas2", "TBM"});
  const std::string saved = Path("saved.PSF");
  const Result get = Cli({"-v", "psf", "get", saved});
  ASSERT_EQ(get.status, kExitOk) << get.err;
  EXPECT_EQ(WithoutTime(get.out), "PSF written to " + saved + "\n");
  EXPECT_NE(get.err.find("-> F8"), std::string::npos) << get.err;  // the frame log
  EXPECT_NE(get.err.find("<- 1C 41 45"), std::string::npos) << get.err;

  const Result show = Cli({"psf", "show", saved});
  ASSERT_EQ(show.status, kExitOk) << show.err;
  EXPECT_NE(WithoutTime(show.out).find("Measurement Mode #1                         LBB\n"
                          "Measurement Mode #2                         TBM\n"),
            std::string::npos)
      << show.out;
  const Result show_json = Cli({"--json", "psf", "show", saved});
  EXPECT_NE(WithoutTime(show_json.out).find("\"meas1_mode\":\"LBB\",\"meas2_mode\":\"TBM\""),
            std::string::npos)
      << show_json.out;

  const std::string other = WriteSet("other.PSF", "FBM", "None");
  const Result send = Cli({"psf", "send", other});
  ASSERT_EQ(send.status, kExitOk) << send.err;
  EXPECT_EQ(WithoutTime(send.out), "PSF Accepted\n");
  const Result differs = Cli({"--json", "psf", "diff", saved, "controller"});
  EXPECT_EQ(differs.status, kExitDifferent);
  EXPECT_NE(WithoutTime(differs.out).find("{\"key\":\"meas1_mode\",\"label\":\"Measurement Mode #1\","
                             "\"a\":\"LBB\",\"b\":\"FBM\"}"),
            std::string::npos)
      << differs.out;

  // The round trip: what was read goes back and reads back the same.
  ASSERT_EQ(Cli({"psf", "send", saved}).status, kExitOk);
  ExpectControllerHolds(saved);
  const Result send_json = Cli({"--json", "psf", "send", saved});
  EXPECT_EQ(WithoutTime(send_json.out).rfind("{\"file\":\"" + saved + "\",\"accepted\":true,\"entry\":\"", 0), 0u)
      << send_json.out;
}

constexpr char kScanBlock[] =
    "(32 beams)\n"
    "Channel   Broken    Made\n"
    "Total          3      29\n"
    "First          4       1\n"
    "Last           6      32\n"
    "Channel        Status\n"
    "4 - 6          Broken\n"
    "\n";

TEST_F(CliSimTest, BeamsCountThreeThenTheControllersOwnSet) {
  StartSim({"--beams", "4-6", "--meas1", "LBB"});
  const std::string before = Path("before.PSF");
  ASSERT_EQ(Cli({"psf", "get", before}).status, kExitOk);
  const Result beams = Cli({"beams", "--count", "3"});
  ASSERT_EQ(beams.status, kExitOk) << beams.err;
  EXPECT_EQ(WithoutTime(beams.out), std::string("Scan 1 ") + kScanBlock + "Scan 2 " + kScanBlock + "Scan 3 " +
                           kScanBlock);
  ExpectControllerHolds(before);
}

TEST_F(CliSimTest, CsvRowsReachAPipeWhileTheScanRuns) {
  StartSim({"--beams", "4-6"});
  auto watch = Start({"beams", "--watch", "--csv"});
  // The second row arrives while the command still runs: each row is flushed.
  ASSERT_TRUE(watch->WaitForOutput(",2,3,29,4,6,1,32,000111", 15000)) << watch->err();
  watch->Signal(SIGINT);
  EXPECT_EQ(watch->Finish(15000), kExitOk) << watch->err();
  EXPECT_EQ(watch->out().find("time,scan,broken,made,first broken,last broken,first made,last "
                              "made,beams\r\n"),
            0u);
}

TEST_F(CliSimTest, SummaryNamesTheBeamTheSimulatorFlickersAsItsSeedSays) {
  // Seed 7 breaks beam 9 in one of the first 60 scans: 2 changes, flickering.
  StartSim({"--beams", "4-6", "--flicker", "9:2", "--seed", "7", "--reply-delay", "0"});
  const Result beams = Cli({"beams", "--count", "60", "--summary"});
  ASSERT_EQ(beams.status, kExitOk) << beams.err;
  ASSERT_NE(beams.out.rfind("Summary of "), std::string::npos) << beams.out;
  const std::string summary = beams.out.substr(beams.out.rfind("Summary of "));
  EXPECT_EQ(summary,
            "Summary of 60 scans (32 beams)\n"
            "Beam      Changes\n"
            "9               2\n"
            "flickering: 9 (2)\n");
}

TEST_F(CliSimTest, BeamsWatchStopsOnCtrlCAndRestores) {
  StartSim({"--beams", "4-6", "--meas1", "TBB"});
  const std::string before = Path("before.PSF");
  ASSERT_EQ(Cli({"psf", "get", before}).status, kExitOk);
  auto watch = Start({"--json", "beams", "--watch"});
  ASSERT_TRUE(watch->WaitForOutput("\n", 15000)) << watch->err();
  watch->Signal(SIGINT);
  EXPECT_EQ(watch->Finish(15000), kExitOk) << watch->err();
  EXPECT_EQ(WithoutTime(watch->out()),
            "{\"scan\":1,\"beams\":32,\"broken\":{\"count\":3,\"first\":4,\"last\":6},"
            "\"made\":{\"count\":29,\"first\":1,\"last\":32},\"filter\":\"broken\",\"ranges\":["
            "{\"channels\":\"4 - 6\",\"first\":4,\"last\":6,\"state\":\"Broken\"}]}\n");
  ExpectControllerHolds(before);
}

TEST_F(CliSimTest, CtrlCBeforeTheCountEndsWith130AndRestores) {
  StartSim({"--beams", "4-6", "--meas1", "CBM"});
  const std::string before = Path("before.PSF");
  ASSERT_EQ(Cli({"psf", "get", before}).status, kExitOk);
  auto beams = Start({"beams", "--count", "1000"});
  ASSERT_TRUE(beams->WaitForOutput("Scan 1 ", 15000)) << beams->err();
  beams->Signal(SIGINT);
  EXPECT_EQ(beams->Finish(15000), kExitInterrupted) << beams->err();
  EXPECT_NE(beams->err().find("putting the controller's own PSF back"), std::string::npos);
  ExpectControllerHolds(before);
}

// Killed outright, a watch leaves the alignment or trial set on the
// controller; the journal still holds the controller's own set, and recover
// puts it back (once: the entry is finished then).
TEST_F(CliSimTest, KilledWatchLeavesTheOwnSetInTheJournalForRecover) {
  StartSim({"--beams", "4-6", "--meas1", "LBM"});
  const std::string before = Path("before.PSF");
  ASSERT_EQ(Cli({"psf", "get", before}).status, kExitOk);
  const std::string trial = WriteSet("trial.PSF", "FBB", "TBB");
  const struct {
    const char* operation;
    std::vector<std::string> args;
  } rows[] = {
      {"alignment", {"--json", "beams", "--watch"}},
      {"trial run", {"--json", "measure", trial, "--watch"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.operation);
    auto watch = Start(row.args);
    // The first scan line: the command's own set is on the controller.
    ASSERT_TRUE(watch->WaitForOutput("\n", 15000)) << watch->err();
    watch->Signal(SIGKILL);
    EXPECT_EQ(watch->Finish(15000), -1);
    EXPECT_EQ(Cli({"psf", "diff", before, "controller"}).status, kExitDifferent);

    const Result journal = CliWithout({"journal"});
    EXPECT_NE(journal.out.find(std::string("UNFINISHED  ") + row.operation), std::string::npos)
        << journal.out;
    const Result recover = Cli({"recover"});
    ASSERT_EQ(recover.status, kExitOk) << recover.err;
    EXPECT_NE(recover.out.find("The controller's own PSF is back on " + sim_->path() + " (1 set"),
              std::string::npos)
        << recover.out;
    ExpectControllerHolds(before);
    EXPECT_EQ(Cli({"recover"}).out, "Nothing to put back on " + sim_->path() + "\n");
  }
}

// Killed outright on a controller whose part number and date code hold '-'
// and '/': recover, through the link's target and through a COM number
// mapped to it, gives the simulator its own set back byte for byte. Another
// controller on the same link is refused (exit 5, both named, its set
// unchanged) unless --force, and the set it held is journaled first.
TEST_F(CliSimTest, RecoverPutsTheExactSetBackOnlyOnItsOwnController) {
  const std::string link = Path("ttyKT");
  StartSim({"--link", link, "--part-number", "KT-100", "--date-code", "26/1", "--beams", "4-6"});
  SetJournal journal(Path("kelvt"));  // the children's XDG_STATE_HOME is dir_
  const auto kill_watch = [&] {  // through the link
    auto watch = std::make_unique<CliProcess>(
        KELVT_CLI_PATH, std::vector<std::string>{"--device", link, "--json", "beams", "--watch"},
        dir_);
    ASSERT_TRUE(watch->WaitForOutput("\n", 15000)) << watch->err();
    watch->Signal(SIGKILL);
    watch->Finish(15000);
  };
  const auto newest_set = [&] {
    PsfImage set;
    EXPECT_EQ(journal.Load(journal.Entries().front(), set), LoadResult::kOk);
    return std::string(set.Data(), kPsfSize);
  };
  std::ofstream(Path("kelvt.INI")) << "[Devices]\nCOM7=" << sim_->path() << "\n";
  kill_watch();
  ASSERT_EQ(journal.Unfinished().size(), 1u);
  EXPECT_EQ(journal.Entries().front().part_number, "KT-100");
  EXPECT_EQ(journal.Entries().front().date_code, "26/1");
  EXPECT_EQ(journal.Entries().front().tag.device, link);
  const std::string own = newest_set();
  // The entry names the link; recover goes through its target, then through COM7.
  const std::vector<std::vector<std::string>> routes = {{"--device", sim_->path()},
                                                        {"--port", "COM7"}};
  for (std::vector<std::string> route : routes) {
    SCOPED_TRACE(route[1]);
    if (journal.Unfinished().empty()) kill_watch();
    route.push_back("recover");
    const Result recover = CliWithout(route);
    ASSERT_EQ(recover.status, kExitOk) << recover.err;
    EXPECT_TRUE(journal.Unfinished().empty());
    const Result diag = Cli({"--json", "diag"});
    EXPECT_NE(diag.out.find("\"part_number\":\"KT-100\",\"date_code\":\"26/1\""),
              std::string::npos)
        << diag.out;
    // What the controller holds now, read and journaled exactly by a command.
    ASSERT_EQ(Cli({"beams"}).status, kExitOk);
    EXPECT_EQ(newest_set(), own);
  }

  kill_watch();
  sim_.reset();
  StartSim({"--link", link, "--part-number", "KT-200", "--meas1", "LBM"});
  const std::string other = Path("other.PSF");
  ASSERT_EQ(Cli({"psf", "get", other}).status, kExitOk);
  const Result refused = CliWithout({"--device", link, "recover"});
  EXPECT_EQ(refused.status, kExitRefused);
  EXPECT_NE(refused.err.find("part number KT-200, date code 2601; the journal's set is from "
                             "controller A, part number KT-100, date code 26/1"),
            std::string::npos)
      << refused.err;
  ExpectControllerHolds(other);
  EXPECT_EQ(journal.Unfinished().size(), 1u);
  const Result forced = CliWithout({"--device", link, "recover", "--force"});
  ASSERT_EQ(forced.status, kExitOk) << forced.err;
  EXPECT_EQ(Cli({"psf", "diff", other, "controller"}).status, kExitDifferent);
  const JournalEntry replaced = journal.Entries().front();
  EXPECT_EQ(replaced.tag.operation, "recover");
  EXPECT_EQ(replaced.part_number, "KT-200");
  EXPECT_TRUE(journal.Unfinished().empty());
}

TEST_F(CliSimTest, MeasureTrialRun) {
  StartSim({"--beams", "4-6", "--meas1", "LBM"});
  const std::string before = Path("before.PSF");
  ASSERT_EQ(Cli({"psf", "get", before}).status, kExitOk);
  const std::string trial = WriteSet("trial.PSF", "FBB", "TBB");
  const Result json = Cli({"--json", "measure", trial, "--count", "2"});
  ASSERT_EQ(json.status, kExitOk) << json.err;
  const std::string line =
      "\"measurements\":[{\"measurement\":1,\"label\":\"FBB\",\"enabled\":true,\"low\":4,"
      "\"high\":4,\"present\":4},{\"measurement\":2,\"label\":\"TBB\",\"enabled\":true,"
      "\"low\":3,\"high\":3,\"present\":3}]}\n";
  EXPECT_EQ(WithoutTime(json.out), "{\"scan\":1," + line + "{\"scan\":2," + line);
  const Result text = Cli({"measure", trial});
  ASSERT_EQ(text.status, kExitOk) << text.err;
  EXPECT_EQ(WithoutTime(text.out),
            "Scan 1\n"
            "Measurement       Low      High   Present\n"
            "FBB                 4         4         4\n"
            "TBB                 3         3         3\n"
            "\n");
  ExpectControllerHolds(before);
}

TEST_F(CliSimTest, NullSpanGetAndSet) {
  StartSim({"--null-span", "100,3000,200,4000"});
  const Result get = Cli({"nullspan", "get"});
  ASSERT_EQ(get.status, kExitOk) << get.err;
  EXPECT_EQ(WithoutTime(get.out),
            "Analog Output#1  Null 100  Span 3000\n"
            "Analog Output#2  Null 200  Span 4000\n");
  const Result set = Cli({"nullspan", "set", "50", "1500", "0", "4095", "--update", "span"});
  ASSERT_EQ(set.status, kExitOk) << set.err;
  EXPECT_NE(set.err.find("Span 1 1500 is outside 2000-4095; 2000 is sent"), std::string::npos);
  const Result after = Cli({"--json", "nullspan", "get"});
  EXPECT_EQ(WithoutTime(after.out),
            "{\"values\":{\"null1\":50,\"span1\":2000,\"null2\":0,\"span2\":4095}}\n");
}

// Through the real port on a line that garbles half the replies: a value
// shown is the one held (the in-process test covers 200 seeds).
TEST_F(CliSimTest, NullSpanGetOnAGarblingLineShowsTheHeldValuesOrNone) {
  StartSim({"--null-span", "0,4095,0,4095", "--garble-rate", "0.5", "--seed", "7"});
  for (int run = 0; run < 6; ++run) {
    const Result get = Cli({"nullspan", "get"});
    if (get.status == kExitOk) {
      EXPECT_EQ(WithoutTime(get.out),
                "Analog Output#1  Null 0  Span 4095\n"
                "Analog Output#2  Null 0  Span 4095\n");
    } else {
      EXPECT_EQ(get.status, kExitNoAnswer) << get.err;
      EXPECT_EQ(get.out, "");
    }
  }
}

TEST_F(CliSimTest, StampThroughAPortMappedInTheSettingsFile) {
  StartSim({});
  std::ofstream(Path("kelvt.INI")) << "[Devices]\nCOM5=" << sim_->path() << "\n";
  const Result stamp =
      CliWithout({"--port", "COM5", "stamp", "--part", "777777", "--date-code", "2610"});
  ASSERT_EQ(stamp.status, kExitOk) << stamp.err;
  EXPECT_EQ(WithoutTime(stamp.out), "Part Number and Date Code Set.\nPart Number:  777777\nDate Code:    2610\n");
  const Result diag = CliWithout({"--port", "COM5", "--json", "diag"});
  EXPECT_NE(WithoutTime(diag.out).find("\"part_number\":\"777777\",\"date_code\":\"2610\""), std::string::npos)
      << diag.out << diag.err;
  const Result ports = CliWithout({"--port", "COM5", "ports"});
  EXPECT_NE(WithoutTime(ports.out).find("COM5  * " + sim_->path()), std::string::npos) << WithoutTime(ports.out);
}

TEST_F(CliSimTest, ErrorStatuses) {
  StartSim({"--silent"});
  const Result missing = CliWithout({"--device", Path("no-such-tty"), "diag"});
  EXPECT_EQ(missing.status, kExitPortOpen);
  EXPECT_NE(missing.err.find("Port not found"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;

  const Result silent = Cli({"diag"});
  EXPECT_EQ(silent.status, kExitNoAnswer);
  EXPECT_NE(silent.err.find("Error reading diagnostics"), std::string::npos) << silent.err;
  EXPECT_NE(silent.err.find("No controller answered on " + sim_->path()), std::string::npos);

  EXPECT_EQ(CliWithout({"diag", "--bogus"}).status, kExitUsage);
  const std::string bad = Path("bad.PSF");
  std::ofstream(bad) << "not a parameter set\n";
  EXPECT_EQ(Cli({"psf", "send", bad}).status, kExitFileRejected);
  EXPECT_EQ(Cli({"psf", "get", Path("missing/dir/x.PSF")}).status, kExitNoAnswer);
}

TEST_F(CliSimTest, RefusalsAndFileWrites) {
  StartSim({"--no-ack", "--boards", "EG:2,RG"});
  const std::string set = WriteSet("set.PSF", "FBB", "None");
  const Result send = Cli({"psf", "send", set});
  EXPECT_EQ(send.status, kExitRefused);
  EXPECT_NE(send.err.find("PSF Not Accepted"), std::string::npos) << send.err;
  const Result beams = Cli({"beams"});
  EXPECT_EQ(beams.status, kExitRefused);
  EXPECT_NE(beams.err.find("not in an operational state"), std::string::npos) << beams.err;
  const Result unwritable = Cli({"psf", "get", Path("missing/dir/x.PSF")});
  EXPECT_EQ(unwritable.status, kExitFileWrite);
  EXPECT_NE(unwritable.err.find("Unable to save the PSF file."), std::string::npos);
}

// Each change to the simulator leaves exactly one entry: the set (or values)
// before is what the simulator held, byte for byte, and its changed fields
// are the difference between that and what was sent.
TEST_F(CliSimTest, EveryChangeLeavesOneEntryOfWhatTheControllerHeld) {
  StartSim({"--beams", "4-6", "--meas1", "LBM", "--null-span", "0,4095,0,4095"});
  const std::string trial = WriteSet("trial.PSF", "FBB", "TBB");
  SetJournal journal(dir_ + "/kelvt");
  const auto interrupt = [this] {
    auto watch = Start({"--json", "beams", "--watch"});
    ASSERT_TRUE(watch->WaitForOutput("\n", 15000)) << watch->err();
    watch->Signal(SIGKILL);
    watch->Finish(15000);
  };
  const struct {
    const char* operation;
    std::vector<std::string> args;
    std::string change;  // one of the entry's changes
  } rows[] = {
      {"send", {"psf", "send", trial}, "\"key\":\"meas1_mode\",\"label\":\"Measurement Mode #1\",\"before\":\"LBM\",\"after\":\"FBB\""},
      {"stamp", {"stamp", "--part", "ABC123", "--date-code", "2650"}, "\"key\":\"part_number\",\"label\":\"Part Number\",\"before\":\"KT1000\",\"after\":\"ABC123\""},
      {"alignment", {"beams"}, "\"key\":\"meas1_mode\",\"label\":\"Measurement Mode #1\",\"before\":\"FBB\",\"after\":\"ALL\""},
      {"trial run", {"measure", trial}, "\"key\":\"scan_control\",\"label\":\"Scan Control\",\"before\":\"Continuous\",\"after\":\"Host Mode\""},
      {"recover", {"recover"}, "\"key\":\"meas1_mode\",\"label\":\"Measurement Mode #1\",\"before\":\"ALL\",\"after\":\"FBB\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.operation);
    if (std::string(row.operation) == "recover") interrupt();
    PsfImage held;
    ASSERT_TRUE(ReadHeld(held));
    const std::size_t count = journal.Entries().size();
    const Result run = Cli(row.args);
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const std::vector<JournalEntry> entries = journal.Entries();
    ASSERT_EQ(entries.size(), count + 1);
    EXPECT_EQ(entries.front().tag.operation, row.operation);
    PsfImage before;
    ASSERT_EQ(journal.Load(entries.front(), before), LoadResult::kOk);
    EXPECT_EQ(before, held);  // byte for byte
    const Result listed = CliWithout({"--json", "journal"});
    const std::string first = WithoutTime(listed.out).substr(0, WithoutTime(listed.out).find("},{\"time\""));
    EXPECT_NE(first.find(row.change), std::string::npos) << first;
  }

  // Null/span: a small entry of the four values.
  const Result set = Cli({"nullspan", "set", "10", "3000", "0", "4095"});
  ASSERT_EQ(set.status, kExitOk) << set.err;
  const JournalEntry values = journal.Entries().front();
  EXPECT_EQ(values.kind, EntryKind::kNullSpan);
  const Result shown = CliWithout({"--json", "journal", "show", values.id});
  EXPECT_EQ(WithoutTime(shown.out), "{\"values\":{\"null1\":0,\"span1\":4095,\"null2\":0,\"span2\":4095}}\n");
  const Result listed = CliWithout({"--json", "journal", "--since", "1h", "--device", sim_->path()});
  EXPECT_NE(listed.out.find("\"changes\":[{\"key\":\"null1\",\"label\":\"Analog Output#1 Null\",\"before\":\"0\",\"after\":\"10\"},{\"key\":\"span1\",\"label\":\"Analog Output#1 Span\",\"before\":\"4095\",\"after\":\"3000\"}]"), std::string::npos) << listed.out;

  // Put back the first send: the stamp made this controller another one
  // (part number), so only --force does; then it holds its first set again.
  const std::string first_send = journal.Entries().back().id;
  PsfImage original;
  ASSERT_EQ(journal.Load(journal.Entries().back(), original), LoadResult::kOk);
  const Result refused = CliWithout({"journal", "put-back", first_send});
  EXPECT_EQ(refused.status, kExitRefused) << refused.err;
  EXPECT_NE(refused.err.find("part number ABC123"), std::string::npos) << refused.err;
  const Result put = CliWithout({"journal", "put-back", "--force", first_send});
  ASSERT_EQ(put.status, kExitOk) << put.err;
  PsfImage now;
  ASSERT_TRUE(ReadHeld(now));
  EXPECT_EQ(now, original);
}

// The controller's own set cannot be read: nothing is sent without a copy,
// unless --no-backup says so.
TEST_F(CliSimTest, PsfSendWithoutACopyOnlyWithNoBackup) {
  const std::string set = WriteSet("set.PSF", "FBB", "None");
  StartSim({"--meas1", "LBM", "--corrupt-psf-reads", "1"});
  const Result refused = Cli({"psf", "send", set});
  EXPECT_EQ(refused.status, kExitNoAnswer);
  EXPECT_NE(refused.err.find("The controller's own PSF could not be read."), std::string::npos)
      << refused.err;
  EXPECT_EQ(Cli({"psf", "diff", set, "controller"}).status, kExitDifferent);  // nothing sent

  StartSim({"--meas1", "LBM", "--corrupt-psf-reads", "1"});
  const Result sent = Cli({"psf", "send", set, "--no-backup"});
  EXPECT_EQ(sent.status, kExitOk) << sent.err;
  EXPECT_NE(sent.err.find("without a copy"), std::string::npos) << sent.err;
  ExpectControllerHolds(set);
  EXPECT_TRUE(SetJournal(dir_ + "/kelvt").Entries().empty());
}

}  // namespace
}  // namespace kelvt::cli
