#pragma once
// A controller's faults, each described once as the SimConfig fields that
// make it: SimResponder takes them on a scripted port, and sim::FaultArgs
// turns them into kelvt-sim's options for a pseudo-terminal. Requests are
// counted as kelvt-sim counts them: a request a fault leaves unanswered is
// not counted, and one the controller does not answer it has not taken.

#include <string>

#include "sim/sim_controller.h"
#include "sim/sim_options.h"

namespace kelvt::test {

inline sim::SimConfig Silent() {
  sim::SimConfig c;
  c.silent = true;
  return c;
}
// Answers `n` requests, then nothing.
inline sim::SimConfig StopAfter(int n) {
  sim::SimConfig c;
  c.stop_after = n;
  return c;
}
// Answers `after` requests cleanly, then with bit 5 of every byte flipped.
inline sim::SimConfig Corrupt(int after = 0) {
  sim::SimConfig c;
  if (after == 0) {
    c.corrupt = true;
  } else {
    c.corrupt_after = after;
  }
  return c;
}
// Never takes or acknowledges a PSF; answers everything else.
inline sim::SimConfig NoAck() {
  sim::SimConfig c;
  c.no_ack = true;
  return c;
}
// Answers `n` requests; the next one makes the device vanish.
inline sim::SimConfig VanishAfter(int n) {
  sim::SimConfig c;
  c.vanish_after = n;
  return c;
}

// `config` with the faults of `faults` (and nothing else of it).
inline sim::SimConfig WithFaults(sim::SimConfig config, const sim::SimConfig& faults) {
  config.silent = faults.silent;
  config.no_ack = faults.no_ack;
  config.corrupt = faults.corrupt;
  config.corrupt_after = faults.corrupt_after;
  config.corrupt_psf_reads = faults.corrupt_psf_reads;
  config.garble_rate = faults.garble_rate;
  config.seed = faults.seed;
  config.stop_after = faults.stop_after;
  config.vanish_after = faults.vanish_after;
  return config;
}

// The controller kelvt-sim runs when started without options, with `options`.
inline sim::SimConfig SimDefaults(const sim::SimOptions& options = {}) {
  sim::SimConfig config;
  std::string error;
  (void)sim::BuildConfig(options, config, error);
  return config;
}

}  // namespace kelvt::test
