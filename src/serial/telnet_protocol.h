#pragma once
// Telnet (RFC 854/855/856) and its COM-PORT-OPTION (RFC 2217) as pure
// pieces: escaping and filtering IAC, the state of one option, the state of
// one COM-PORT setting. No sockets here: the network port feeds them bytes
// and sends what they hand back, so every piece is tested and fuzzed alone.

#include <cstddef>
#include <cstdint>

namespace kelvt::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kEcho = 1;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPort = 44;

// COM-PORT-OPTION commands from the client; the server answers with the
// same code plus kServerOffset.
enum ComPortCommand : uint8_t {
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kNotifyLineState = 6,
  kNotifyModemState = 7,
  kSetLineStateMask = 10,
  kPurgeData = 12,
};
inline constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values.
inline constexpr uint8_t kControlNoFlow = 1;
inline constexpr uint8_t kControlXonXoff = 2;
inline constexpr uint8_t kControlBreakOn = 5;
inline constexpr uint8_t kControlBreakOff = 6;
inline constexpr uint8_t kControlDtrOn = 8;
inline constexpr uint8_t kControlDtrOff = 9;
inline constexpr uint8_t kControlRtsOn = 11;
inline constexpr uint8_t kControlRtsOff = 12;

// PURGE-DATA: the server's receive buffer.
inline constexpr uint8_t kPurgeReceive = 1;

// NOTIFY-LINESTATE bits the port turns into line errors.
inline constexpr uint8_t kLineOverrun = 0x02;
inline constexpr uint8_t kLineParity = 0x04;
inline constexpr uint8_t kLineFraming = 0x08;
inline constexpr uint8_t kLineBreak = 0x10;
inline constexpr uint8_t kLineErrorMask = kLineOverrun | kLineParity | kLineFraming | kLineBreak;

// Copies data from `in` to `out`, doubling every IAC; never splits a pair.
// Returns how many bytes of `in` went out; `*out_len` is what was written.
size_t EscapeIac(const uint8_t* in, size_t n, uint8_t* out, size_t out_cap, size_t* out_len);

// What the filter found besides data.
class TelnetSink {
 public:
  virtual ~TelnetSink() = default;
  // DO, DONT, WILL or WONT and the option.
  virtual void OnOption(uint8_t command, uint8_t option) = 0;
  // A whole subnegotiation between IAC SB and IAC SE, IAC IAC undoubled.
  virtual void OnSubnegotiation(const uint8_t* data, size_t size) = 0;
};

// Where the filter stands between calls: a command or subnegotiation may be
// split across reads.
struct FilterState {
  enum class Mode : uint8_t { kData, kIac, kOption, kSub, kSubIac };
  static constexpr size_t kMaxSub = 64;  // longer subnegotiations are dropped whole
  Mode mode = Mode::kData;
  uint8_t command = 0;
  uint8_t sub[kMaxSub] = {};
  size_t sub_len = 0;
  bool sub_overflow = false;
};

// Takes bytes from the server: data (IAC IAC undoubled) goes to `data`
// while there is room, commands and subnegotiations to `sink`. Returns how
// many bytes of `in` were taken; it stops early only when `data` is full.
size_t FilterIac(FilterState& state, const uint8_t* in, size_t n, uint8_t* data,
                 size_t data_cap, size_t* data_len, TelnetSink& sink);

// One Telnet option as a small state machine (RFC 1143's essentials): our
// request, the peer's answer, and the peer's own requests, answered so
// that no exchange loops.
class TelnetOption {
 public:
  enum class State : uint8_t { kRequested, kActive, kInactive, kRefused };

  // `local`: we perform the option (we send WILL, the peer answers DO);
  // else the peer does (we send DO, it answers WILL). `initial`:
  // kRequested asks for it at the start, kInactive takes it when the peer
  // asks, kRefused declines it whenever the peer asks.
  TelnetOption(uint8_t option, bool local, State initial);

  uint8_t Option() const { return option_; }
  // The request to send at the start: IAC WILL/DO option (3 bytes).
  void Request(uint8_t out[3]);
  // Whether `command` is an answer for this object (DO/DONT for a local
  // option, WILL/WONT for a remote one).
  bool Handles(uint8_t command) const;
  // Takes the peer's command; writes a reply to `out` and returns its
  // length (0 or 3).
  int Process(uint8_t command, uint8_t out[3]);
  State GetState() const { return state_; }
  bool Active() const { return state_ == State::kActive; }
  bool Settled() const { return state_ != State::kRequested; }

 private:
  uint8_t option_;
  bool local_;
  State state_;
};

// Writes IAC SB COM-PORT-OPTION command value IAC SE (value IAC-doubled)
// into `out`; returns the length, or 0 when it does not fit.
size_t ComPortRequest(uint8_t command, const uint8_t* value, size_t size, uint8_t* out,
                      size_t cap);

// One COM-PORT setting sent and the server's acknowledgement waited for.
// A server that once left the setting unanswered is not waited for again
// (ser2net on a terminal never acknowledges some of them).
class ComPortSetting {
 public:
  enum class State : uint8_t { kIdle, kRequested, kAcknowledged, kDiffers, kUnanswered };
  static constexpr size_t kMaxValue = 4;

  explicit ComPortSetting(uint8_t command) : command_(command) {}
  uint8_t Command() const { return command_; }
  // Records the value sent; the request itself comes from ComPortRequest.
  void Sent(const uint8_t* value, size_t size);
  // Takes the server's answer (the command's value without the code).
  void Answer(const uint8_t* value, size_t size);
  // The wait ran out while the request was open.
  void Expire();
  bool Pending() const { return state_ == State::kRequested; }
  bool Unanswered() const { return unanswered_; }
  State GetState() const { return state_; }

 private:
  uint8_t command_;
  State state_ = State::kIdle;
  uint8_t value_[kMaxValue] = {};
  size_t size_ = 0;
  bool unanswered_ = false;
};

}  // namespace kelvt::telnet
