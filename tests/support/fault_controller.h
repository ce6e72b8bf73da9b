#pragma once
// A controller with one fault, for fault-injection tests on virtual time: the
// faults of kelvt-sim (silent, stops answering, corrupts, never acknowledges
// a PSF, vanishes) on top of the sound ScriptedController, so that every
// operation's failure paths run in microseconds. kelvt-sim's --stop-after,
// --vanish-after and --corrupt count answered requests the same way: a
// request the fault leaves unanswered is not counted, and a request the
// controller does not answer was not taken either.

#include <cstdint>
#include <string>

#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt::test {

enum class Fault {
  kNone,
  kSilent,       // never answers
  kStopAfter,    // answers `after` requests, then nothing
  kCorrupt,      // answers `after` requests cleanly, then with bit 5 of every byte flipped
  kNoAck,        // never takes or acknowledges a PSF; answers everything else
  kVanishAfter,  // answers `after` requests; the next one makes the device vanish
};

struct FaultPlan {
  Fault fault = Fault::kNone;
  int after = 0;
};

// "silent", "stop-after 4", ...: for test names and failure messages.
std::string Describe(const FaultPlan& plan);

class FaultyController {
 public:
  explicit FaultyController(FaultPlan plan = {}, long baud = 9600, char id = 'A');
  FaultyController(const FaultyController&) = delete;
  FaultyController& operator=(const FaultyController&) = delete;

  // Answers the port's writes from now on.
  void Attach(ScriptedPort& port);
  void OnWrite(ScriptedPort& port, const char* data, int count, long baud);

  // Changes the fault from the next request on (e.g. while a dialog is up).
  void SetPlan(FaultPlan plan);
  const FaultPlan& Plan() const { return plan_; }

  // The sound controller underneath: its state (PSF held, diagnostics, scan
  // payload) and its counters. Its own reply delay must stay 0; use
  // reply_delay_ms here instead.
  ScriptedController inner;
  uint32_t reply_delay_ms = 0;

  int replies = 0;   // requests answered
  int ignored = 0;   // requests heard and left unanswered because of the fault
  bool vanished = false;

 private:
  FaultPlan plan_;
  ScriptedPort scratch_;  // catches the sound reply so it can be withheld or garbled
};

}  // namespace kelvt::test
