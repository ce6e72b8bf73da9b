#pragma once
// A small simulated controller that answers a ScriptedPort, for link, tool
// and UI tests. Attach it to a port and it reads every raw write as one frame
// (the link writes each request in one call):
//
//   WAKE                         -> FS id aux LF
//   WAKE id S                    -> FS id <scan payload> LF
//   ESC id D CR                  -> FS <81 PSF bytes, 'E' in byte 1> LF
//   ESC id H CR                  -> the diagnostics reply (as set)
//   ESC <81 bytes, 'C' at 1> CR  -> FS id J CR, then takes the new rate and letter
//   ESC id K <T|N|S|E> ... LF    -> 21-byte null/span frame (T reads, others update and answer U)
//
// It hears and answers only when the port is at its own rate; at another rate
// it optionally emits some noise instead. Its replies are sent at its rate, so
// a port that changes rate before reading them gets garbage. Every field is
// public so that a test can shape the behaviour (silence, delays, stray bytes,
// wrong terminators, truncated replies, scans left unanswered) or intercept a
// frame altogether. Answering allocates nothing.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "support/scripted_port.h"

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

  // --- behaviour -------------------------------------------------------------
  bool mute = false;                  // hears everything, answers nothing
  uint32_t reply_delay_ms = 0;        // processing time before a reply starts
  std::string noise_at_wrong_rate;    // what the port sees when spoken to at another rate
  std::string stray_before_wake;      // bytes sent just before the wake reply
  char wake_terminator = 0x0A;
  char ack_terminator = 0x0D;
  char ack_id = 0;                    // 0: acknowledge with its own (new) letter
  bool accept_psf = true;             // false: no acknowledgement
  bool verify_psf_checksum = true;    // a wrong check sum gets no acknowledgement
  bool adopt_psf_settings = true;     // after the ack take the PSF's rate and letter
  bool check_address = true;          // ignore commands for another letter
  int truncate_replies = -1;          // >= 0: send only that many bytes of each reply
  int scans_unanswered = 0;           // the next n scan requests get no reply
  // Sees every frame first; returning true means it was handled.
  std::function<bool(ScriptedController&, ScriptedPort&, const char*, int)> intercept;

  // --- what it heard ---------------------------------------------------------
  int wakes = 0;
  int scans = 0;
  int psf_reads = 0;
  int psf_writes = 0;        // accepted PSF frames
  int psf_rejected = 0;      // PSF frames not acknowledged
  int diag_reads = 0;
  int null_span_frames = 0;
  int unknown_frames = 0;
  int wrong_rate = 0;        // writes heard at another rate
  int misaddressed = 0;

 private:
  void Send(ScriptedPort& port, const char* data, int count);
  char reply_[4096];
};

}  // namespace kelvt::test
