#pragma once
// The simulated controller's side of the protocol as a pure state machine:
// bytes in, replies out, no device and no clock of its own. The caller
// passes the time (milliseconds since start) with every call; the host
// program (pty_host) moves the bytes and sends the replies when they are due.
//
// Requests it understands:
//   F8                       wake-up            -> FS id aux LF
//   F8 id S                  scan               -> beam map or values
//   ESC id D CR              PSF read           -> FS image('E' in byte 1) LF
//   ESC image(81) CR         PSF write          -> FS id J CR
//   ESC id H CR              diagnostics        -> FS id I boards sep part date CR
//   ESC id K f v(16) LF      null/span          -> 'T': ESC id K T values LF
//                                                  'N','S','E': ESC id K U values LF
// A request for another controller letter gets no answer; bytes that form
// no request are dropped.

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim/beam_pattern.h"
#include "sim/board_list.h"

namespace kelvt::sim {

inline constexpr int kImageSize = 81;
using Image = std::array<char, kImageSize>;

struct SimConfig {
  Image psf{};                       // initial parameter set (byte 0 = letter, byte 5 = rate)
  std::vector<SimBoard> boards;
  BeamPattern beams;
  std::array<int, 4> null_span{0, 4095, 0, 4095};  // null 1, span 1, null 2, span 2
  char aux = '0';                    // third byte of the wake-up reply
  // Faults.
  bool silent = false;               // never answer
  bool no_ack = false;               // never acknowledge (nor take) a PSF
  bool corrupt = false;              // garble every reply
  int corrupt_after = -1;            // answer this many cleanly, then garble every reply
  int corrupt_psf_reads = 0;         // garble the replies to this many PSF reads (first ones)
  double garble_rate = 0;            // share of replies with one byte inverted, 0..1
  uint32_t seed = 1;                 // picks those replies and bytes, repeatably
  int stop_after = -1;               // answer this many requests, then stay silent
  int vanish_after = -1;             // answer this many, vanish on the next
};

// One thing the controller did with the bytes it was given.
struct SimEvent {
  enum Kind {
    kReply,    // send `reply`
    kIgnored,  // a request it chose not to answer (other letter, fault, rejected PSF)
    kDropped,  // bytes that formed no request
    kVanish,   // close the line and go away
  };
  Kind kind = kReply;
  std::vector<char> request;
  std::vector<char> reply;
  std::string note;      // what happened, for the frame log
  long new_baud = 0;     // non-zero: the rate to take once the reply is out
};

// The parameter set's check sum field (bytes 76-80) for bytes 0-75.
void WriteCheckSum(Image& psf);
bool CheckSumValid(const Image& psf);

// Rate of a parameter set's baud byte ('A' 9600, 'B' 19200, 'C' 38400); 0 for another.
long RateOfBaudByte(char code);
char BaudByteOfRate(long rate);  // 0 for a rate the controller cannot run

// Bytes take 12 bit times on the line (start, 8 data, parity, 2 stop).
uint32_t TransferMs(size_t bytes, long baud);

class SimController {
 public:
  explicit SimController(SimConfig config);

  // The controller hears the line only when the tool runs it at the
  // controller's rate with two stop bits.
  bool LineMatches(long line_baud, bool two_stop_bits) const;

  // Bytes heard at `now_ms`.
  void Receive(const char* data, size_t n, uint64_t now_ms, std::vector<SimEvent>& events);
  // Lets time pass: a lone wake byte followed by silence is a wake-up, and
  // an unfinished frame followed by a long silence is dropped.
  void Poll(uint64_t now_ms, std::vector<SimEvent>& events);
  // When Poll next has something to do; false when nothing waits.
  bool NextDeadline(uint64_t* when) const;

  char Id() const { return psf_[0]; }
  long Baud() const { return baud_; }
  const Image& Psf() const { return psf_; }
  const std::array<int, 4>& NullSpan() const { return null_span_; }
  int RepliesSent() const { return replies_; }
  bool Vanished() const { return vanished_; }

  // Silence that turns a lone wake byte into a wake-up: the scan request
  // that also begins with it arrives in one piece.
  static constexpr uint32_t kWakeGapMs = 5;
  // Silence after which an unfinished frame is given up.
  static constexpr uint32_t kFrameGapMs = 100;

 private:
  void Parse(uint64_t now_ms, bool quiet, std::vector<SimEvent>& events);
  void Consume(size_t n, std::vector<char>& request);
  void Answer(std::vector<char> request, std::vector<char> reply, std::string note,
              long new_baud, std::vector<SimEvent>& events);
  void Ignore(std::vector<char> request, std::string note, std::vector<SimEvent>& events);
  // False when a fault keeps the controller from answering (and taking) the
  // request; the event saying so is already added.
  bool Answerable(std::vector<SimEvent>& events);

  void OnWake(std::vector<SimEvent>& events);
  void OnScan(uint64_t now_ms, std::vector<SimEvent>& events);
  void OnPsfRead(std::vector<SimEvent>& events);
  void OnPsfWrite(std::vector<SimEvent>& events);
  void OnDiagnostics(std::vector<SimEvent>& events);
  void OnNullSpan(std::vector<SimEvent>& events);

  Image psf_;
  long baud_;
  std::vector<SimBoard> boards_;
  BeamPattern beams_;
  std::array<int, 4> null_span_;
  char aux_;
  bool silent_;
  bool no_ack_;
  bool corrupt_;
  int corrupt_after_;
  int corrupt_psf_reads_;
  uint32_t garble_threshold_;  // a draw below this garbles the reply
  std::mt19937 noise_;
  int stop_after_;
  int vanish_after_;

  std::vector<char> buffer_;   // bytes heard and not yet part of a request
  std::vector<char> request_;  // the request being answered
  uint64_t last_byte_ms_ = 0;
  int replies_ = 0;
  bool vanished_ = false;
  std::vector<uint8_t> broken_;  // scratch beam states
  uint64_t scans_answered_ = 0;  // numbers the scans for the flickering beams
};

}  // namespace kelvt::sim
