// kelvt-sim: a simulated light-curtain controller on a pseudo-terminal.
// Prints the terminal's path on the first line of standard output, then
// answers the tool until SIGINT or SIGTERM.

#include <signal.h>

#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "sim/pty_host.h"
#include "sim/sim_controller.h"
#include "sim/sim_options.h"

#ifndef KELVT_VERSION
#define KELVT_VERSION "2.0"
#endif

namespace {

// Usage errors end with 2, as kelvt-cli's do; help and version with 0.
constexpr int kExitUsage = 2;

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void AddOptions(CLI::App& app, kelvt::sim::SimOptions& o) {
  app.add_option("--link", o.link,
                 "Also make the terminal reachable as PATH (a symbolic link, removed on exit)")
      ->type_name("PATH");
  app.add_option("--baud", o.baud,
                 "Rate the controller runs at: 9600, 19200 or 38400 (default: the PSF's, else "
                 "9600). The controller hears only a tool at this rate with two stop bits")
      ->type_name("RATE");
  app.add_option("--id", o.id, "Controller letter A..O (default: the PSF's, else A)")
      ->type_name("LETTER");
  app.add_option("--psf", o.psf_file,
                 "Start from the parameter set in this .PSF file instead of the defaults")
      ->type_name("FILE");
  app.add_option("--meas1", o.meas1,
                 "Measurement mode 1: FBB LBB TBB CBB FBM LBM TBM CBM ALL VHS None "
                 "(ALL makes scans answer with a beam map)")
      ->type_name("MODE");
  app.add_option("--meas2", o.meas2, "Measurement mode 2, same names")->type_name("MODE");
  app.add_option("--part-number", o.part_number,
                 std::string("Part number, 6 characters (default ") +
                     kelvt::sim::kDefaultPartNumber + ")")
      ->type_name("TEXT");
  app.add_option("--date-code", o.date_code,
                 std::string("Date code YYWW, 4 characters (default ") +
                     kelvt::sim::kDefaultDateCode + ")")
      ->type_name("TEXT");
  app.add_option("--null-span", o.null_span,
                 "Null and span of both analog outputs: null1,span1,null2,span2")
      ->type_name("N1,S1,N2,S2")
      ->capture_default_str();
  app.add_option("--boards", o.boards,
                 "Boards reported by diagnostics, comma-separated; each is KIND SIZE [:ERROR] "
                 "[*COUNT] with KIND E (emitter) or R (receiver), SIZE 8, G or 16 (another "
                 "character makes a board the tool cannot size), ERROR one character ('0' none, "
                 "'1'..'9', 'A'..'I', anything else invalid), COUNT 1..24; at most 24 boards; "
                 "'none' for no boards. Example: EG*2,R8,R8:3. The curtain has half of all "
                 "channels as beams")
      ->type_name("LIST")
      ->capture_default_str();
  app.add_option("--beams", o.beams,
                 "Beams that stay broken, numbered from 1: e.g. 4-6,10, or all, or none "
                 "(default none)")
      ->type_name("LIST");
  app.add_option("--moving", o.moving,
                 "Width in beams of an object that keeps passing through the curtain "
                 "(default 0: nothing moves)")
      ->type_name("WIDTH");
  app.add_option("--flicker", o.flicker,
                 "Beams that break in a share of the scans: BEAM:PERCENT, comma-separated, "
                 "e.g. 17:2,42:0.5 (percent 0..100, decimals allowed); --seed picks the scans")
      ->type_name("LIST");
  app.add_option("--speed", o.speed, "Speed of the moving object in beams per second")
      ->type_name("BEAMS/S")
      ->capture_default_str();
  app.add_option("--reply-delay", o.reply_delay_ms,
                 "The controller's own time to answer, in ms; the time the bytes take on a "
                 "line at the rate (12 bits a byte) is added")
      ->type_name("MS")
      ->capture_default_str();
  app.add_flag("--silent", o.silent, "Never answer anything");
  app.add_flag("--no-ack", o.no_ack, "Never acknowledge (nor take) a PSF that is sent");
  app.add_option("--stop-after", o.stop_after,
                 "Answer N requests, then stay silent")
      ->type_name("N");
  app.add_flag("--corrupt", o.corrupt,
               "Garble every reply (one bit flipped in every byte)");
  app.add_option("--garble-rate", o.garble_rate,
                 "A noisy line: a share P (0..1) of the replies has one byte inverted at a "
                 "random position")
      ->type_name("P")
      ->capture_default_str();
  app.add_option("--seed", o.seed, "Seed for --garble-rate and --flicker; the same seed garbles the same replies and "
                 "flickers the same scans")
      ->type_name("N")
      ->capture_default_str();
  app.add_option("--vanish-after", o.vanish_after,
                 "Answer N requests, then close the terminal and exit when the next one comes, "
                 "like a pulled adapter")
      ->type_name("N");
  app.add_flag("-v,--verbose", o.verbose, "Log every frame heard and sent on standard error");
}

}  // namespace

int main(int argc, char** argv) {
  kelvt::sim::SimOptions options;
  CLI::App app{
      "kelvt-sim: a simulated light-curtain controller on a pseudo-terminal.\n"
      "Prints the terminal's device path on the first line of standard output and answers\n"
      "wake-up, PSF read and write, diagnostics, scans and null/span frames until it gets\n"
      "SIGINT or SIGTERM. Point the tool at the path (or at --link)."};
  app.set_version_flag("--version", std::string("kelvt-sim ") + KELVT_VERSION);
  AddOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitUsage;
  }

  kelvt::sim::SimConfig config;
  std::string error;
  if (!kelvt::sim::BuildConfig(options, config, error)) {
    std::fprintf(stderr, "kelvt-sim: %s\n", error.c_str());
    return kExitUsage;
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
    return kExitUsage;
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
