// kelvt-sim: a simulated light-curtain controller on a pseudo-terminal.
// Prints the terminal's path on the first line of standard output, then
// answers the tool until SIGINT or SIGTERM.

#include <signal.h>

#include <cstdio>
#include <string>

#include "sim/pty_host.h"
#include "sim/sim_controller.h"
#include "sim/sim_options.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  kelvt::sim::SimOptions options;
  const int parsed = kelvt::sim::ParseCommandLine(argc, argv, options);
  if (parsed >= 0) return parsed;

  kelvt::sim::SimConfig config;
  std::string error;
  if (!kelvt::sim::BuildConfig(options, config, error)) {
    std::fprintf(stderr, "kelvt-sim: %s\n", error.c_str());
    return kelvt::sim::kExitUsage;
  }
  kelvt::sim::SimController controller(std::move(config));

  // Stop signals are only let through while the host waits, so a stop can
  // never fall between its check and its wait.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigset_t wait_mask;
  sigprocmask(SIG_BLOCK, &stop_signals, &wait_mask);
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  kelvt::sim::PtyHost host;
  if (!host.Open(controller.Baud(), error)) {
    std::fprintf(stderr, "kelvt-sim: %s\n", error.c_str());
    return 1;
  }
  if (!options.link.empty() && !host.Link(options.link, error)) {
    // The path given is refused (not a link, or not ours to make): the
    // command line has to change, as for any bad value.
    std::fprintf(stderr, "kelvt-sim: %s\n", error.c_str());
    return kelvt::sim::kExitUsage;
  }
  std::printf("%s\n", host.Path().c_str());
  std::fflush(stdout);
  if (options.verbose) {
    std::fprintf(stderr, "kelvt-sim: controller %c at %ld baud on %s\n", controller.Id(),
                 controller.Baud(), host.Path().c_str());
  }

  kelvt::sim::HostOptions host_options;
  host_options.reply_delay_ms = options.reply_delay_ms;
  host_options.verbose = options.verbose;
  return host.Serve(controller, host_options, g_stop, &wait_mask);
}
