#pragma once
// A hand-written controller that answers a ScriptedPort, for what kelvt-sim's
// controller does not do: stray bytes before a wake-up reply or noise at
// another rate, truncated replies, wrong terminators and letters, scans left
// unanswered while the rest is answered, and frames a test intercepts to
// answer itself. Faults the simulator models (silence, a PSF not
// acknowledged, stopping, vanishing) come from a SimResponder instead;
// FaultSwitch hands a port over to one. Attach it to a port and it reads
// every raw write as one frame (the link writes each request in one call):
//
//   WAKE                         -> FS id aux LF
//   WAKE id S                    -> FS id <scan payload> LF
//   ESC id D CR                  -> FS <81 PSF bytes, 'E' in byte 1> LF
//   ESC id H CR                  -> the diagnostics reply (as set)
//   ESC <81 bytes, 'C' at 1> CR  -> FS id J CR if the check sum holds, then
//                                   takes the new rate and letter
//   ESC id K <T|N|S|E> ... LF    -> 21-byte null/span frame (T reads, others update and answer U)
//
// It hears and answers only when the port is at its own rate; at another rate
// it optionally emits some noise instead. Its replies are sent at its rate, so
// a port that changes rate before reading them gets garbage. Answering
// allocates nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/scripted_port.h"
#include "support/sim_faults.h"
#include "support/sim_responder.h"

namespace kelvt::test {

struct DiagBoard {
  char kind;     // 'E' emitter, 'R' receiver
  char tag;      // stored, not interpreted
  char channel;  // '8' or 'G'
  char error;    // '0' no error
};

class ScriptedController {
 public:
  explicit ScriptedController(long baud = 9600, char id = 'A');

  // Makes this controller the port's responder (the port must not outlive it
  // answering: detach by setting another responder).
  void Attach(ScriptedPort& port);

  // The frame handler; public so a custom responder can chain to it.
  void OnWrite(ScriptedPort& port, const char* data, int count, long baud);

  // Builds a diagnostics reply: FS id 'I' boards... separator part date CR.
  static std::string DiagnosticsReply(char id, const std::vector<DiagBoard>& boards,
                                      std::string_view part = "123456",
                                      std::string_view date = "0124");
  // A beam-map payload for n beams with the given beams broken.
  static std::string BeamPayload(int n, const std::vector<int>& broken);

  // --- state ---------------------------------------------------------------
  long baud;
  char id;
  char aux = '0';
  char psf[81];                 // the PSF as held, 'C' in byte 1
  std::string diagnostics;      // whole reply frame; empty: no answer
  std::string scan_payload;     // bytes between "FS id" and LF
  int null_span[4] = {250, 3000, 100, 4000};

  // --- tricks --------------------------------------------------------------
  std::string noise_at_wrong_rate;    // what the port sees when spoken to at another rate
  std::string stray_before_wake;      // bytes sent just before the wake reply
  char wake_terminator = 0x0A;
  char ack_terminator = 0x0D;
  char ack_id = 0;                    // 0: acknowledge with its own (new) letter
  int truncate_replies = -1;          // >= 0: send only that many bytes of each reply
  // The next n scan requests get no reply while everything else is answered
  // (kelvt-sim's controller stops answering altogether, and for good).
  int scans_unanswered = 0;
  // Sees every frame first; returning true means it was handled.
  std::function<bool(ScriptedController&, ScriptedPort&, const char*, int)> intercept;

  // --- what it heard ---------------------------------------------------------
  int wakes = 0;
  int scans = 0;
  int psf_reads = 0;
  int psf_writes = 0;        // accepted PSF frames
  int psf_rejected = 0;      // PSF frames with a wrong check sum
  int diag_reads = 0;
  int null_span_frames = 0;
  int unknown_frames = 0;
  int wrong_rate = 0;        // writes heard at another rate
  int misaddressed = 0;

 private:
  void Send(ScriptedPort& port, const char* data, int count);
  char reply_[4096];
};

// The controller a test's ports reach: a ScriptedController until the test
// gives the line a fault the simulator models, from then on kelvt-sim's
// controller holding what the scripted one held (its set, letter, rate,
// wake-up byte, boards and null/span values), also in the middle of an
// operation.
class FaultSwitch {
 public:
  explicit FaultSwitch(ScriptedController& scripted) : scripted_(scripted) {}
  void Attach(ScriptedPort& port);
  SimResponder& Fault(const sim::SimConfig& faults);
  // The scripted controller answers again, as it was before the fault.
  void Mend() { sim_.reset(); }
  SimResponder* Sim() { return sim_.get(); }
  // The set the controller answering now holds.
  const char* HeldPsf() const { return sim_ ? sim_->Psf().data() : scripted_.psf; }

 private:
  ScriptedController& scripted_;
  std::unique_ptr<SimResponder> sim_;
};

}  // namespace kelvt::test
