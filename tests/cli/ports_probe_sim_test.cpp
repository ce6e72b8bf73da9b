// kelvt-cli ports --probe end to end: two simulated controllers and a silent
// line mapped in [Devices], found through the real serial port.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/exit_codes.h"
#include "json_lines.h"
#include "cli_process.h"
#include "support/sim_process.h"

namespace kelvt::cli {
namespace {

using test_support::CliProcess;
using test_support::WithoutTime;

class PortsProbeSimTest : public ::testing::Test {
 protected:
  PortsProbeSimTest() {
    char pattern[] = "/tmp/kelvt-probe-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made != nullptr ? made : "/tmp";
  }
  ~PortsProbeSimTest() override { std::filesystem::remove_all(dir_); }

  std::unique_ptr<kelvt::test::SimProcess> Sim(const std::vector<std::string>& args) {
    auto sim = std::make_unique<kelvt::test::SimProcess>(KELVT_SIM_PATH, args);
    EXPECT_TRUE(sim->ok()) << sim->error();
    return sim;
  }

  std::string dir_;
};

TEST_F(PortsProbeSimTest, FindsEachControllerWithItsRateAndLetter) {
  const auto a = Sim({});
  const auto d = Sim({"--baud", "38400", "--id", "D"});
  const auto silent = Sim({"--silent"});
  ASSERT_TRUE(a->ok() && d->ok() && silent->ok());
  std::ofstream(dir_ + "/kelvt.INI") << "[Devices]\nCOM1=" << a->path() << "\nCOM2=" << d->path()
                                     << "\nCOM3=" << silent->path()
                                     << "\nCOM4=/dev/serial/by-id/usb-kelvt-unplugged\n";

  const auto start = std::chrono::steady_clock::now();
  CliProcess json(KELVT_CLI_PATH, {"ports", "--probe", "--json"}, dir_);
  EXPECT_EQ(json.Finish(30000), kExitOk) << json.err();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  const std::string out = WithoutTime(json.out());
  const auto line_of = [&](const std::string& path) {
    const size_t at = out.find("{\"path\":\"" + path + "\"");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
  };
  EXPECT_EQ(line_of(a->path()), "{\"path\":\"" + a->path() +
                                    "\",\"by_id\":null,\"port\":\"COM1\","
                                    "\"controller\":{\"rate\":9600,\"letter\":\"A\"}}");
  EXPECT_NE(line_of(d->path()).find("\"port\":\"COM2\",\"controller\":{\"rate\":38400,\"letter\":\"D\"}"),
            std::string::npos)
      << out;
  EXPECT_NE(line_of(silent->path()).find("\"port\":\"COM3\",\"controller\":null}"),
            std::string::npos)
      << out;
  EXPECT_NE(line_of("/dev/serial/by-id/usb-kelvt-unplugged").find("\"skipped\":\"not plugged in\""),
            std::string::npos)
      << out;

  // The silent one alone: no controller, exit 4; the text names it.
  std::ofstream(dir_ + "/kelvt.INI") << "[Devices]\nCOM3=" << silent->path() << "\n";
  CliProcess text(KELVT_CLI_PATH, {"ports", "--probe"}, dir_);
  const int status = text.Finish(30000);
  if (text.out().find("controller ") == std::string::npos) {  // no real controller on this machine
    EXPECT_EQ(status, kExitNoAnswer) << text.out();
  }
  const size_t at = text.out().find(silent->path() + " ");
  ASSERT_NE(at, std::string::npos) << text.out();
  const std::string line = text.out().substr(at, text.out().find('\n', at) - at);
  EXPECT_NE(line.find(" COM3 "), std::string::npos) << line;
  EXPECT_NE(line.find("no controller"), std::string::npos) << line;
}

}  // namespace
}  // namespace kelvt::cli
