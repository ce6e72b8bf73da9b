// kelvt-cli, the real executable through the real port, against kelvt-sim
// closing its pseudo-terminal mid-command (and, once each, silent and
// corrupting): the message and exit status, no hang, and for beams and
// measure the controller's own set in a rescue file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli_process.h"
#include "ops/status_messages.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "support/sim_process.h"
#include "support/watchdog.h"

namespace kelvt::cli {
namespace {

using test_support::CliProcess;

struct SimFaultCase {
  const char* name;
  std::vector<std::string> sim_args;
  std::vector<std::string> cli_args;  // FILE stands for a .PSF file of a trial set
  int status;
  std::vector<std::string> messages;  // each must appear on standard error, in order
  bool rescue;                        // the own set must be in a rescue file
  // Test failures name the case, not its bytes.
  friend void PrintTo(const SimFaultCase& c, std::ostream* os) { *os << c.name; }
};

class CliSimFaultTest : public ::testing::TestWithParam<SimFaultCase> {
 protected:
  CliSimFaultTest() {
    char pattern[] = "/tmp/kelvt-cli-fault-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
  }
  ~CliSimFaultTest() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::vector<std::string> RescueFiles() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("kelvt-restore-", 0) == 0) files.push_back(entry.path().string());
    }
    return files;
  }

  std::string dir_;
};

TEST_P(CliSimFaultTest, MessageStatusAndRescue) {
  const SimFaultCase& c = GetParam();
  kelvt::test::Watchdog watchdog(60, c.name);
  PsfRecord trial;
  SetField(trial.meas1_mode, "TBB");
  const std::string file = Path("trial.PSF");
  ASSERT_EQ(WritePsfFile(trial, file.c_str()), 1);

  std::vector<std::string> sim_args = c.sim_args;
  sim_args.insert(sim_args.end(), {"--meas1", "CBB", "--boards", "EG,RG"});
  kelvt::test::SimProcess sim(KELVT_SIM_PATH, sim_args);
  ASSERT_TRUE(sim.ok()) << sim.error();

  std::vector<std::string> args{"--device", sim.path()};
  for (const std::string& a : c.cli_args) args.push_back(a == "FILE" ? file : a);
  CliProcess cli(KELVT_CLI_PATH, args, dir_);
  const int status = cli.Finish(30000);
  EXPECT_EQ(status, c.status) << cli.err();
  size_t at = 0;
  for (const std::string& m : c.messages) {
    const size_t found = cli.err().find("kelvt-cli: " + m + "\n", at);
    EXPECT_NE(found, std::string::npos) << m << " in:\n" << cli.err();
    if (found != std::string::npos) at = found;
  }

  const std::vector<std::string> rescued = RescueFiles();
  if (c.rescue) {
    ASSERT_EQ(rescued.size(), 1u) << cli.err();
    PsfRecord own;
    ASSERT_EQ(ReadPsfFile(own, rescued[0].c_str()), 1);
    EXPECT_STREQ(own.meas1_mode, "CBB");
    EXPECT_STREQ(own.meas2_mode, "None");
  } else {
    EXPECT_TRUE(rescued.empty());
  }
}


INSTANTIATE_TEST_SUITE_P(
    Faults, CliSimFaultTest,
    ::testing::Values(
        SimFaultCase{"DiagSilent", {"--silent"}, {"diag"}, kExitNoAnswer,
                     {"Error reading diagnostics"}, false},
        SimFaultCase{"PsfGetCorrupt", {"--corrupt"}, {"psf", "get"}, kExitNoAnswer,
                     {"Unable to input psf."}, false},
        SimFaultCase{"DiagVanishes", {"--vanish-after", "1"}, {"diag"}, kExitNoAnswer,
                     {"Error reading diagnostics"}, false},
        SimFaultCase{"PsfSendVanishes", {"--vanish-after", "4"}, {"psf", "send", "FILE"},
                     kExitRefused, {"PSF Not Accepted"}, false},
        // Six requests prepare the alignment; the second scan finds the terminal closed.
        SimFaultCase{"BeamsVanishInTheLoop", {"--vanish-after", "7"}, {"beams", "--count", "5"},
                     kExitNoAnswer, {"Unable to Input Scan.", kRestoreFailedMessage}, true},
        // Four requests start the trial; the first scan finds the terminal closed.
        SimFaultCase{"MeasureVanishesInTheLoop", {"--vanish-after", "4"},
                     {"measure", "FILE", "--count", "5"}, kExitNoAnswer,
                     {"Could not input scan", kRestoreFailedMessage}, true},
        SimFaultCase{"MeasureStopsAtTheRestore", {"--stop-after", "5"},
                     {"measure", "FILE", "--count", "1"}, kExitNoAnswer, {kRestoreFailedMessage}, true},
        SimFaultCase{"NullSpanSetVanishes", {"--vanish-after", "2"},
                     {"nullspan", "set", "10", "3000", "20", "4000"}, kExitNoAnswer,
                     {"We are unable to establish the Serial Interface"}, false},
        SimFaultCase{"StampVanishes", {"--vanish-after", "3"}, {"stamp", "--part", "QX7723"},
                     kExitNoAnswer, {"Unable to output PSF.", kRestoreFailedMessage}, true}),
    [](const ::testing::TestParamInfo<SimFaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt::cli
