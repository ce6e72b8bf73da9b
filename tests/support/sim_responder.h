#pragma once
// kelvt-sim's own controller (sim::SimController) answering a ScriptedPort on
// the installed tick source, so that scripted tests meet the same controller
// as the pseudo-terminal tests, faults included, in microseconds.
//
// Timing follows kelvt-sim's host: a reply is complete at the tool when the
// request has crossed the line, the controller has taken its reply delay,
// and the reply has crossed back, both at the rate the request came at. The
// controller hears only a port at its rate with two stop bits. A lone wake
// byte becomes a wake-up after the controller's silence gap, and an
// unfinished frame is dropped after its gap: the port calls back only on
// writes, so that silence is assumed to follow each write (the link always
// waits for an answer before it writes again). When the controller vanishes
// the port vanishes with it, like a pulled adapter.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_controller.h"
#include "support/scripted_port.h"

namespace kelvt::test {

class SimResponder {
 public:
  explicit SimResponder(sim::SimConfig config, uint32_t reply_delay_ms = 2);
  SimResponder(const SimResponder&) = delete;
  SimResponder& operator=(const SimResponder&) = delete;

  // Answers the port's writes from now on (the port must not outlive it answering).
  void Attach(ScriptedPort& port);
  void OnWrite(ScriptedPort& port, const char* data, int count, long baud);

  const sim::SimController& Controller() const { return controller_; }
  const sim::Image& Psf() const { return controller_.Psf(); }
  int RepliesSent() const { return controller_.RepliesSent(); }
  bool Vanished() const { return controller_.Vanished(); }
  int Ignored() const { return ignored_; }   // requests heard and left unanswered
  int Dropped() const { return dropped_; }   // byte runs that formed no request
  int NotHeard() const { return not_heard_; }  // writes at another rate or stop bits
  int PsfsTaken() const { return psfs_taken_; }  // parameter sets taken and acknowledged
  // Requests heard, answered or not, by command letter: 'D' PSF read, 'C'
  // PSF write, 'H' diagnostics, 'K' null/span, 'S' scan, 0 wake-up.
  int Heard(char command) const;
  // What the controller did, one line an event ("12 ms: PSF read"), for failure messages.
  const std::string& Log() const { return log_; }

 private:
  void Handle(ScriptedPort& port, uint64_t at_ms, long baud);
  uint64_t Now();

  sim::SimController controller_;
  uint32_t reply_delay_ms_;
  std::vector<sim::SimEvent> events_;
  uint32_t last_tick_ = 0;
  uint64_t now_ms_ = 0;
  bool started_ = false;
  int ignored_ = 0;
  int dropped_ = 0;
  int not_heard_ = 0;
  int psfs_taken_ = 0;
  std::string heard_;  // the command letter of every request heard
  std::string log_;
};

}  // namespace kelvt::test
