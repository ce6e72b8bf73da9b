#pragma once
// Runs the kelvt-cli command line in-process against a scripted controller on
// virtual time, or kelvt-sim's controller once a test gives the line a fault:
// every subcommand and error path in microseconds.

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/cli_app.h"
#include "cli/cli_context.h"
#include "cli/interrupt.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt::cli::test_support {

class CliHarness : public ::testing::Test {
 public:
  CliHarness() {
    char pattern[] = "/tmp/kelvt-cli-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made != nullptr ? made : "/tmp";
    ctx.SetSettings(Profile());
    ctx.SetRescueDirectories({dir});
    ctx.SetPortOpener([this](const PortTarget& target) {
      targets.push_back(target);
      auto port = std::make_unique<kelvt::test::ScriptedPort>(
          target.port_number < 0 ? 0 : target.port_number, 9600);
      if (port_error != 0) port->SetErrorStatus(port_error);
      line.Attach(*port);
      return std::unique_ptr<RS232>(std::move(port));
    });
    // Two 16-channel boards: 16 beams, beams 4 to 6 broken.
    controller.diagnostics = kelvt::test::ScriptedController::DiagnosticsReply(
        'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});
    controller.scan_payload = kelvt::test::ScriptedController::BeamPayload(16, {3, 4, 5});
    std::memcpy(original_psf, controller.psf, kPsfSize);
    ClearInterrupt();
  }

  ~CliHarness() override {
    ClearInterrupt();
    std::filesystem::remove_all(dir);
  }

  int Run(std::initializer_list<std::string> args) {
    std::vector<std::string> argv{"kelvt-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    out.str("");
    err.str("");
    return RunCli(argv, ctx);
  }

  std::string Path(const std::string& name) const { return dir + "/" + name; }

  bool ControllerHoldsItsOwnSet() const {
    return std::memcmp(line.HeldPsf(), original_psf, kPsfSize) == 0;
  }

  // Calls `action` when the controller receives its n-th scan request.
  void OnScan(int n, std::function<void()> action) {
    controller.intercept = [this, n, action, seen = 0](kelvt::test::ScriptedController&,
                                                      kelvt::test::ScriptedPort&,
                                                      const char* data, int count) mutable {
      if (count == 3 && data[0] == kWake && data[2] == 'S' && ++seen == n) action();
      return false;
    };
  }

  VirtualTickSource ticks;
  ScopedTickSource scoped{&ticks};
  kelvt::test::ScriptedController controller;
  kelvt::test::FaultSwitch line{controller};
  char original_psf[kPsfSize];
  std::ostringstream out;
  std::ostringstream err;
  CliContext ctx{out, err};
  std::vector<PortTarget> targets;
  int port_error = 0;
  std::string dir;
};

}  // namespace kelvt::cli::test_support
