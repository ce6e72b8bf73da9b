// kelvt-cli through a real serial device server: Debian's ser2net on
// 127.0.0.1 (free ports each run) in front of kelvt-sim, reached as
// rfc2217:// and tcp://. Few runs, because each costs seconds: one probe
// for the baud search at the three rates, one table of commands, the
// server killed mid-scan and the set recovered through it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "cli/exit_codes.h"
#include "cli_process.h"
#include "json_lines.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "support/ser2net_process.h"
#include "support/sim_process.h"

namespace kelvt::cli {
namespace {

using kelvt::test::Ser2netProcess;
using kelvt::test::SimProcess;
using test_support::CliProcess;
using test_support::WithoutTime;

struct NetResult {
  int status;
  std::string out;
  std::string err;
};

class NetworkSimTest : public ::testing::Test {
 protected:
  NetworkSimTest() {
    char pattern[] = "/tmp/kelvt-net-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
  }
  ~NetworkSimTest() override { std::filesystem::remove_all(dir_); }

  void SetUp() override {
    std::string reason;
    if (!Ser2netProcess::Installed(&reason)) GTEST_SKIP() << "SKIP (no real server): " << reason;
  }

  std::unique_ptr<SimProcess> Sim(const std::vector<std::string>& args) {
    auto sim = std::make_unique<SimProcess>(KELVT_SIM_PATH, args);
    EXPECT_TRUE(sim->ok()) << sim->error();
    return sim;
  }

  NetResult Cli(const std::vector<std::string>& args) {
    CliProcess process(KELVT_CLI_PATH, args, dir_);
    const int status = process.Finish(60000);
    return {status, process.out(), process.err()};
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(NetworkSimTest, BaudSearchAtEachRateAndRawTcpAtTheServersRate) {
  const auto a = Sim({"--baud", "9600", "--id", "A"});
  const auto b = Sim({"--baud", "19200", "--id", "B"});
  const auto c = Sim({"--baud", "38400", "--id", "C"});
  ASSERT_TRUE(a->ok() && b->ok() && c->ok());
  Ser2netProcess server({{a->path()}, {b->path()}, {c->path()}, {b->path(), false, "19200e82"}});
  ASSERT_TRUE(server.ok()) << server.error();
  std::ofstream(Path("kelvt.INI")) << "[Devices]\nCOM1=" << server.Url(0) << "\nCOM2="
                                   << server.Url(1) << "\nCOM3=" << server.Url(2)
                                   << "\nCOM4=" << server.Url(3) << "\n";

  const NetResult probe = Cli({"ports", "--probe", "--json"});
  const std::string out = WithoutTime(probe.out);
  const struct {
    size_t line;
    const char* port;
    const char* found;
  } rows[] = {
      {0, "COM1", "{\"rate\":9600,\"letter\":\"A\"}"},
      {1, "COM2", "{\"rate\":19200,\"letter\":\"B\"}"},
      {2, "COM3", "{\"rate\":38400,\"letter\":\"C\"}"},
      // Raw: the server's own rate, whatever the search asked for; the
      // first rate tried is the one reported.
      {3, "COM4", "{\"rate\":9600,\"letter\":\"B\"}"},
  };
  for (const auto& row : rows) {
    EXPECT_NE(out.find("{\"path\":\"" + server.Url(row.line) + "\",\"by_id\":null,\"port\":\"" +
                       row.port + "\",\"controller\":" + row.found + "}"),
              std::string::npos)
        << row.port << "\n"
        << out << probe.err;
  }

  // Raw TCP cannot set the line: a server at another rate than the
  // controller's hides it, and the message says why.
  Ser2netProcess wrong_rate({{a->path(), false, "38400e82"}});
  ASSERT_TRUE(wrong_rate.ok()) << wrong_rate.error();
  const NetResult silent = Cli({"--device", wrong_rate.Url(0), "diag"});
  EXPECT_EQ(silent.status, kExitNoAnswer);
  EXPECT_NE(silent.err.find("server's own fixed line settings"), std::string::npos) << silent.err;

  // No server there: the port does not open, and the advice is a network's.
  const NetResult refused = Cli({"--device", "rfc2217://127.0.0.1:1", "diag"});
  EXPECT_EQ(refused.status, kExitPortOpen);
  EXPECT_NE(refused.err.find("Port not found"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("listens on that port"), std::string::npos) << refused.err;
}

TEST_F(NetworkSimTest, EveryCommandThroughRfc2217) {
  const auto sim = Sim({"--baud", "38400", "--beams", "4-6", "--boards", "EG,EG,RG,RG"});
  ASSERT_TRUE(sim->ok());
  Ser2netProcess server({{sim->path()}});
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string url = server.Url(0);
  const std::string saved = Path("saved.PSF");
  PsfRecord trial;
  SetField(trial.meas1_mode, "TBB");
  SetField(trial.meas2_mode, "None");
  const std::string trial_file = Path("trial.PSF");
  ASSERT_EQ(WritePsfFile(trial, trial_file.c_str()), 1);

  const struct {
    std::vector<std::string> args;
    int status;
    const char* out;  // a piece of standard output (standard error for -v)
  } rows[] = {
      {{"-v", "diag"}, kExitOk, "network round trip"},
      {{"diag", "--check"}, kExitOk, "Operational"},
      {{"psf", "get", saved}, kExitOk, "PSF written to"},
      {{"psf", "show", "controller"}, kExitOk, "Measurement Mode #1"},
      {{"psf", "diff", saved, "controller"}, kExitOk, ""},
      {{"psf", "send", saved}, kExitOk, "PSF Accepted"},
      {{"beams", "--count", "2"}, kExitOk, "Total          3      29"},
      {{"measure", trial_file, "--count", "2"}, kExitOk, "3"},
      {{"nullspan", "get"}, kExitOk, "4095"},
      {{"nullspan", "set", "12", "4000", "8", "4010"}, kExitOk, "4010"},
      {{"stamp", "--part", "123456", "--date-code", "2650"}, kExitOk, "123456"},
      {{"journal"}, kExitOk, url.c_str()},
      {{"recover"}, kExitOk, ""},
      {{"ports"}, kExitOk, "COM1"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> args = {"--device", url};
    args.insert(args.end(), row.args.begin(), row.args.end());
    const NetResult r = Cli(args);
    const std::string& where = row.args[0] == "-v" ? r.err : r.out;
    EXPECT_EQ(r.status, row.status) << row.args[0] << " " << row.args.back() << "\n" << r.err;
    EXPECT_NE(where.find(row.out), std::string::npos) << row.args[0] << "\n" << r.out << r.err;
  }
  // Every change went back: the controller holds the set read first (the
  // stamp's part number and date code are no fields of the comparison).
  const NetResult diff = Cli({"--device", url, "psf", "diff", saved, "controller"});
  EXPECT_EQ(diff.status, kExitOk) << diff.out << diff.err;
}

TEST_F(NetworkSimTest, ServerKilledMidScanLeavesTheSetInTheJournalAndRecoverPutsItBack) {
  const auto sim = Sim({"--beams", "4-6", "--meas1", "LBB"});
  ASSERT_TRUE(sim->ok());
  Ser2netProcess server({{sim->path()}});
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string url = server.Url(0);
  const std::string own = Path("own.PSF");
  ASSERT_EQ(Cli({"--device", url, "psf", "get", own}).status, kExitOk);

  auto watch = std::make_unique<CliProcess>(
      KELVT_CLI_PATH, std::vector<std::string>{"--device", url, "--json", "beams", "--watch"},
      dir_);
  ASSERT_TRUE(watch->WaitForOutput("\"scan\":1", 20000)) << watch->err();
  server.Kill();
  // A vanished device: the restore fails, the set stays in the journal.
  EXPECT_EQ(watch->Finish(30000), kExitNoAnswer) << watch->err();
  const NetResult journal = Cli({"--json", "journal"});
  EXPECT_NE(journal.out.find("\"finished\":false"), std::string::npos) << journal.out;

  ASSERT_TRUE(server.Restart()) << server.error();
  const NetResult recover = Cli({"--device", url, "recover"});
  EXPECT_EQ(recover.status, kExitOk) << recover.out << recover.err;
  const NetResult diff = Cli({"--device", url, "psf", "diff", own, "controller"});
  EXPECT_EQ(diff.status, kExitOk) << diff.out << diff.err;
  EXPECT_EQ(Cli({"--json", "journal"}).out.find("\"finished\":false"), std::string::npos);
}

}  // namespace
}  // namespace kelvt::cli

namespace kelvt::cli {
namespace {

TEST_F(NetworkSimTest, BackupSavesEveryControllerFoundOnceAndNeverOverAFile) {
  const auto a = Sim({"--baud", "19200", "--id", "A", "--part-number", "NET001"});
  const auto b = Sim({"--baud", "38400", "--id", "B", "--part-number", "NET/02"});
  const auto c = Sim({"--id", "C", "--part-number", "TTY003", "--date-code", "2611"});
  const auto silent = Sim({"--silent"});
  ASSERT_TRUE(a->ok() && b->ok() && c->ok() && silent->ok());
  Ser2netProcess server({{a->path()}, {b->path()}});
  ASSERT_TRUE(server.ok()) << server.error();
  std::ofstream(Path("kelvt.INI")) << "[Devices]\nCOM5=" << server.Url(0) << "\nCOM6="
                                   << server.Url(1) << "\nCOM7=" << c->path() << "\nCOM8="
                                   << silent->path() << "\n";
  const std::string folder = Path("fleet");
  ASSERT_EQ(c->path().rfind("/dev/pts/", 0), 0u) << c->path();
  const std::string taken = folder + "/C-TTY003-2611-pts-" + c->path().substr(9) + ".PSF";
  std::filesystem::create_directories(folder);
  std::ofstream(taken) << "the user's own file\n";

  const NetResult r = Cli({"--json", "backup", folder});
  const std::string out = WithoutTime(r.out);
  const auto line_of = [&](const std::string& device) {
    const size_t at = out.find("{\"device\":\"" + device + "\"");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
  };
  // The machine's own ports are searched too; one that another test holds
  // at the moment cannot be opened, and rightly fails the backup.
  bool other_failed = false;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const bool ours = line.find(server.Url(0)) != std::string::npos ||
                      line.find(server.Url(1)) != std::string::npos ||
                      line.find(c->path()) != std::string::npos ||
                      line.find(silent->path()) != std::string::npos;
    if (!ours && line.find("\"error\":\"") != std::string::npos) other_failed = true;
  }
  EXPECT_EQ(r.status, other_failed ? kExitNoAnswer : kExitOk) << r.out << r.err;
  const std::string port_a = std::to_string(server.Port(0));
  EXPECT_EQ(line_of(server.Url(0)),
            "{\"device\":\"" + server.Url(0) + "\",\"port\":\"COM5\",\"controller\":{\"letter\":\"A\","
            "\"part_number\":\"NET001\",\"date_code\":\"2601\"},\"file\":\"" + folder +
                "/A-NET001-2601-rfc2217-127.0.0.1-" + port_a + ".PSF\",\"error\":null}");
  EXPECT_NE(line_of(server.Url(1)).find("/B-NET-02-2601-rfc2217-127.0.0.1-"), std::string::npos) << out;
  // The name in use is kept; the backup takes the next.
  EXPECT_NE(line_of(c->path()).find(taken.substr(0, taken.size() - 4) + "-2.PSF"), std::string::npos)
      << out;
  EXPECT_NE(line_of(silent->path()).find("\"controller\":null,\"file\":null,\"error\":null"),
            std::string::npos)
      << out;
  std::ifstream kept(taken);
  std::string first;
  std::getline(kept, first);
  EXPECT_EQ(first, "the user's own file");
  // Each file is a set the tool reads back as the controller's own.
  const NetResult same = Cli({"--device", server.Url(0), "psf", "diff",
                              folder + "/A-NET001-2601-rfc2217-127.0.0.1-" + port_a + ".PSF",
                              "controller"});
  EXPECT_EQ(same.status, kExitOk) << same.out << same.err;
}

}  // namespace
}  // namespace kelvt::cli
