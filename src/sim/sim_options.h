#pragma once
// The simulator's command-line choices and the controller they describe.
// main.cpp binds these fields to options; BuildConfig checks them and turns
// them into the controller's starting state.

#include <string>
#include <vector>

#include "sim/sim_controller.h"

namespace kelvt::sim {

struct SimOptions {
  // Line and identity. 0 / "" take the value from the parameter set.
  long baud = 0;
  std::string id;
  std::string psf_file;     // a .PSF file to start from
  std::string meas1;        // measurement mode names: FBB ... VHS, ALL, None
  std::string meas2;
  std::string part_number;  // 6 characters
  std::string date_code;    // 4 characters
  std::string null_span = "0,4095,0,4095";

  // What the curtain looks like.
  std::string boards = "EG,EG,RG,RG";
  std::string beams;          // fixed broken beams, e.g. "4-6,10"
  int moving = 0;             // width of a passing object in beams
  double speed = 10.0;        // its speed in beams per second
  std::string flicker;        // beams broken in a share of scans, e.g. "17:2,42:0.5"

  // Behaviour.
  int reply_delay_ms = 2;     // the controller's own time to answer
  bool silent = false;
  bool no_ack = false;
  bool corrupt = false;
  int corrupt_after = -1;
  int corrupt_psf_reads = 0;
  double garble_rate = 0;     // share of replies with one byte inverted
  long seed = 1;              // for the garbled replies and bytes, and the flicker
  int stop_after = -1;
  int vanish_after = -1;
  bool verbose = false;
  std::string link;           // a symbolic link to create to the terminal
};

// Defaults of a simulator started without a parameter set.
inline constexpr const char kDefaultPartNumber[] = "KT1000";
inline constexpr const char kDefaultDateCode[] = "2601";

// Fills `config` from `options`. False with a message for the user when an
// option is out of range or a file cannot be used.
bool BuildConfig(const SimOptions& options, SimConfig& config, std::string& error);

// The options that give a controller `config`'s faults (silent, no-ack,
// corrupt, garbled replies and their seed, stop, vanish), so a test can
// describe a fault once for the scripted controller and for kelvt-sim.
std::vector<std::string> FaultArgs(const SimConfig& config);

}  // namespace kelvt::sim

namespace kelvt::sim {

// Usage errors end with 2, as kelvt-cli's do; help and version with 0.
constexpr int kExitUsage = 2;

// Parses kelvt-sim's command line into `options`. Returns -1 to go on, else
// the status to exit with, once help, the version or the error is printed.
int ParseCommandLine(int argc, const char* const* argv, SimOptions& options);

}  // namespace kelvt::sim
