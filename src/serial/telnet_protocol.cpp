#include "serial/telnet_protocol.h"

#include <cstring>

namespace kelvt::telnet {

size_t EscapeIac(const uint8_t* in, size_t n, uint8_t* out, size_t out_cap, size_t* out_len) {
  size_t taken = 0;
  size_t written = 0;
  while (taken < n) {
    const size_t need = in[taken] == kIac ? 2 : 1;
    if (written + need > out_cap) break;
    out[written++] = in[taken];
    if (need == 2) out[written++] = kIac;
    ++taken;
  }
  *out_len = written;
  return taken;
}

size_t FilterIac(FilterState& s, const uint8_t* in, size_t n, uint8_t* data, size_t data_cap,
                 size_t* data_len, TelnetSink& sink) {
  using Mode = FilterState::Mode;
  size_t taken = 0;
  size_t out = 0;
  auto add_sub = [&s](uint8_t b) {
    if (s.sub_len < FilterState::kMaxSub) {
      s.sub[s.sub_len++] = b;
    } else {
      s.sub_overflow = true;
    }
  };
  // The byte after an IAC that is neither a doubled IAC nor, in a
  // subnegotiation, its SE.
  auto command = [&s](uint8_t b) {
    if (b == kSb) {
      s.sub_len = 0;
      s.sub_overflow = false;
      s.mode = Mode::kSub;
    } else if (b >= kWill && b <= kDont) {
      s.command = b;
      s.mode = Mode::kOption;
    } else {
      s.mode = Mode::kData;  // NOP, GA, a stray SE and the like carry nothing for us
    }
  };
  for (; taken < n; ++taken) {
    const uint8_t b = in[taken];
    switch (s.mode) {
      case Mode::kData:
        if (b == kIac) {
          s.mode = Mode::kIac;
        } else {
          if (out >= data_cap) {
            *data_len = out;
            return taken;
          }
          data[out++] = b;
        }
        break;
      case Mode::kIac:
        if (b == kIac) {
          if (out >= data_cap) {
            *data_len = out;
            return taken;  // the IAC before it is taken; this one comes again
          }
          data[out++] = b;
          s.mode = Mode::kData;
        } else {
          command(b);
        }
        break;
      case Mode::kOption:
        sink.OnOption(s.command, b);
        s.mode = Mode::kData;
        break;
      case Mode::kSub:
        if (b == kIac) {
          s.mode = Mode::kSubIac;
        } else {
          add_sub(b);
        }
        break;
      case Mode::kSubIac:
        if (b == kIac) {
          add_sub(b);
          s.mode = Mode::kSub;
        } else if (b == kSe) {
          if (!s.sub_overflow) sink.OnSubnegotiation(s.sub, s.sub_len);
          s.sub_len = 0;
          s.mode = Mode::kData;
        } else {
          // A command inside a subnegotiation: the subnegotiation was cut
          // short. Drop it and read the command as one of its own.
          s.sub_len = 0;
          command(b);
        }
        break;
    }
  }
  // The IAC of a doubled pair whose second half did not fit stays in kIac:
  // the caller passes the rest again.
  *data_len = out;
  return taken;
}

TelnetOption::TelnetOption(uint8_t option, bool local, State initial)
    : option_(option), local_(local), state_(initial) {}

void TelnetOption::Request(uint8_t out[3]) {
  out[0] = kIac;
  out[1] = local_ ? kWill : kDo;
  out[2] = option_;
}

bool TelnetOption::Handles(uint8_t command) const {
  return local_ ? (command == kDo || command == kDont) : (command == kWill || command == kWont);
}

int TelnetOption::Process(uint8_t command, uint8_t out[3]) {
  const uint8_t ack_yes = local_ ? kDo : kWill;
  const uint8_t ack_no = local_ ? kDont : kWont;
  const uint8_t send_yes = local_ ? kWill : kDo;
  const uint8_t send_no = local_ ? kWont : kDont;
  uint8_t reply = 0;
  if (command == ack_yes) {
    switch (state_) {
      case State::kRequested: state_ = State::kActive; break;
      case State::kActive: break;
      case State::kInactive:
        state_ = State::kActive;
        reply = send_yes;
        break;
      case State::kRefused: reply = send_no; break;
    }
  } else if (command == ack_no) {
    switch (state_) {
      case State::kRequested: state_ = State::kInactive; break;
      case State::kActive:
        state_ = State::kInactive;
        reply = send_no;
        break;
      case State::kInactive:
      case State::kRefused: break;
    }
  }
  if (reply == 0) return 0;
  out[0] = kIac;
  out[1] = reply;
  out[2] = option_;
  return 3;
}

size_t ComPortRequest(uint8_t command, const uint8_t* value, size_t size, uint8_t* out,
                      size_t cap) {
  if (cap < 6) return 0;
  size_t len = 0;
  out[len++] = kIac;
  out[len++] = kSb;
  out[len++] = kComPort;
  out[len++] = command;
  size_t escaped = 0;
  if (EscapeIac(value, size, out + len, cap - len - 2, &escaped) != size) return 0;
  len += escaped;
  if (len + 2 > cap) return 0;
  out[len++] = kIac;
  out[len++] = kSe;
  return len;
}

void ComPortSetting::Sent(const uint8_t* value, size_t size) {
  size_ = size < kMaxValue ? size : kMaxValue;
  std::memcpy(value_, value, size_);
  state_ = State::kRequested;
}

void ComPortSetting::Answer(const uint8_t* value, size_t size) {
  if (state_ != State::kRequested && state_ != State::kUnanswered) return;
  const bool same = size == size_ && std::memcmp(value, value_, size_) == 0;
  state_ = same ? State::kAcknowledged : State::kDiffers;
  unanswered_ = false;
}

void ComPortSetting::Expire() {
  if (state_ != State::kRequested) return;
  state_ = State::kUnanswered;
  unanswered_ = true;
}

}  // namespace kelvt::telnet
