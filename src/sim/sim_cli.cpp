// kelvt-sim's command line, kept beside FaultArgs so that the two cannot drift
// apart. The only file of the simulator that includes CLI11, so that its
// parser code is generated once.

#include <cstdio>
#include <string>

#include <CLI/CLI.hpp>

#include "sim/sim_options.h"

namespace kelvt::sim {

namespace {

void AddOptions(CLI::App& app, SimOptions& o) {
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
                     kDefaultPartNumber + ")")
      ->type_name("TEXT");
  app.add_option("--date-code", o.date_code,
                 std::string("Date code YYWW, 4 characters (default ") +
                     kDefaultDateCode + ")")
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
  app.add_option("--corrupt-after", o.corrupt_after,
                 "Answer N requests cleanly, then garble every reply as --corrupt does")
      ->type_name("N");
  app.add_option("--corrupt-psf-reads", o.corrupt_psf_reads,
                 "Garble the replies to the first N PSF reads as --corrupt does, answering "
                 "everything else cleanly: a controller whose own set cannot be read")
      ->type_name("N");
  app.add_option("--garble-rate", o.garble_rate,
                 "A noisy line: a share P (0..1) of the replies has one byte inverted at a "
                 "random position")
      ->type_name("P")
      ->capture_default_str();
  app.add_option("--seed", o.seed,
                 "Seed for --garble-rate and --flicker; the same seed garbles the same replies "
                 "and flickers the same scans")
      ->type_name("N")
      ->capture_default_str();
  app.add_option("--vanish-after", o.vanish_after,
                 "Answer N requests, then close the terminal and exit when the next one comes, "
                 "like a pulled adapter")
      ->type_name("N");
  app.add_flag("-v,--verbose", o.verbose, "Log every frame heard and sent on standard error");
}

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, SimOptions& options) {
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
  return -1;
}

std::vector<std::string> FaultArgs(const SimConfig& config) {
  std::vector<std::string> args;
  if (config.silent) args.push_back("--silent");
  if (config.no_ack) args.push_back("--no-ack");
  if (config.corrupt) args.push_back("--corrupt");
  const auto count = [&args](const char* option, int n) {
    if (n < 0) return;
    args.push_back(option);
    args.push_back(std::to_string(n));
  };
  count("--corrupt-after", config.corrupt_after);
  if (config.corrupt_psf_reads > 0) count("--corrupt-psf-reads", config.corrupt_psf_reads);
  count("--stop-after", config.stop_after);
  count("--vanish-after", config.vanish_after);
  if (config.garble_rate > 0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.17g", config.garble_rate);
    args.insert(args.end(), {"--garble-rate", rate, "--seed", std::to_string(config.seed)});
  }
  return args;
}

}  // namespace kelvt::sim
