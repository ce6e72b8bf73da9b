// The test helper that runs kelvt-sim, and the simulator's life cycle.

#include "support/sim_process.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace kelvt::test {
namespace {

bool IsCharacterDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(SimProcess, StartsPrintsATerminalAndStopsCleanly) {
  SimProcess sim(KELVT_SIM_PATH, {});
  ASSERT_TRUE(sim.ok()) << sim.error();
  EXPECT_EQ(sim.path().rfind("/dev/pts/", 0), 0u) << sim.path();
  EXPECT_TRUE(IsCharacterDevice(sim.path()));
  EXPECT_TRUE(sim.Running());
  EXPECT_EQ(sim.Stop(), 0);  // SIGTERM is a normal end
  EXPECT_FALSE(sim.Running());
  EXPECT_EQ(sim.Stop(), 0);  // stopping twice is harmless
}

TEST(SimProcess, LinkPointsAtTheTerminalWhileItRuns) {
  const std::string link = ::testing::TempDir() + "kelvt-sim-link-" + std::to_string(getpid());
  {
    SimProcess sim(KELVT_SIM_PATH, {"--link", link});
    ASSERT_TRUE(sim.ok()) << sim.error();
    char target[256] = {};
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(target, static_cast<size_t>(n)), sim.path());
    EXPECT_TRUE(IsCharacterDevice(link));
  }
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "link left behind";
}

TEST(SimProcess, RefusesToReplaceSomethingThatIsNotALink) {
  const std::string file = ::testing::TempDir() + "kelvt-sim-file-" + std::to_string(getpid());
  FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  SimProcess sim(KELVT_SIM_PATH, {"--link", file});
  EXPECT_FALSE(sim.ok());
  EXPECT_FALSE(sim.error().empty());
  struct stat st {};
  ASSERT_EQ(::lstat(file.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  std::remove(file.c_str());
}

TEST(SimProcess, BadOptionsEndTheSimulatorWithoutAPath) {
  SimProcess sim(KELVT_SIM_PATH, {"--boards", "X8"});
  EXPECT_FALSE(sim.ok());
  EXPECT_NE(sim.error().find("ended before"), std::string::npos) << sim.error();
  EXPECT_FALSE(sim.Running());
}

TEST(SimProcess, MissingExecutableIsReported) {
  SimProcess sim("/nonexistent/kelvt-sim", {});
  EXPECT_FALSE(sim.ok());
  EXPECT_NE(sim.error().find("cannot start"), std::string::npos) << sim.error();
}

TEST(SimProcess, NoPathWithinTheTimeLimitIsReportedAndTheChildReaped) {
  // A program that runs but never prints: the helper gives up and kills it.
  SimProcess sim("/bin/sleep", {"10"}, 200);
  EXPECT_FALSE(sim.ok());
  EXPECT_NE(sim.error().find("within 200 ms"), std::string::npos) << sim.error();
  EXPECT_FALSE(sim.Running());
}

// Runs the simulator to its end; its exit status and what it printed.
int RunToEnd(const std::string& args, std::string& output) {
  const std::string cmd = std::string(KELVT_SIM_PATH) + " " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return -1;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) output.append(buf, n);
  const int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SimProcess, CommandLineEndsWithTheUsageStatusOrTheVersion) {
  const std::string file = ::testing::TempDir() + "kelvt-sim-plain-" + std::to_string(getpid());
  std::fclose(std::fopen(file.c_str(), "w"));
  struct Case {
    std::string args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"--no-such-option", 2, "--no-such-option"},
      {"--moving wide", 2, "--moving"},
      {"--boards X8", 2, "kelvt-sim:"},
      {"--link " + file, 2, file.c_str()},
      {"--version", 0, "kelvt-sim 2."},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(RunToEnd(c.args, output), c.status) << c.args << ": " << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << c.args << ": " << output;
  }
  std::remove(file.c_str());
}

TEST(SimProcess, HelpDocumentsEveryOption) {
  // --help exits at once without a terminal path; run it through the shell
  // to capture the text.
  const std::string cmd = std::string(KELVT_SIM_PATH) + " --help";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string text;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
  EXPECT_EQ(::pclose(p), 0);
  for (const char* option :
       {"--link", "--baud", "--id", "--psf", "--meas1", "--meas2", "--part-number", "--date-code",
        "--null-span", "--boards", "--beams", "--moving", "--speed", "--reply-delay", "--silent",
        "--no-ack", "--stop-after", "--corrupt", "--corrupt-after", "--garble-rate", "--seed", "--vanish-after",
        "--verbose"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace kelvt::test
