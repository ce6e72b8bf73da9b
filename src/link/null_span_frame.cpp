#include "link/null_span_frame.h"

#include <algorithm>

#include "link/controller_link.h"

namespace kelvt {
namespace {

constexpr char kEscByte = 0x1B;
constexpr char kLfByte = 0x0A;
constexpr int kValuesAt = 4;
constexpr int kMaxFourDigits = 9999;

void PutFourDigits(char* out, int value) {
  value = std::clamp(value, 0, kMaxFourDigits);
  for (int i = kNullSpanDigits - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

int FourDigitValue(const char* in) {
  int value = 0;
  for (int i = 0; i < kNullSpanDigits; ++i) {
    value = value * 10 + (static_cast<unsigned char>(in[i]) & 0x0F);
  }
  return value;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int& NullSpanValues::operator[](int i) {
  switch (i) {
    case 0: return null1;
    case 1: return span1;
    case 2: return null2;
    default: return span2;
  }
}

int NullSpanValues::operator[](int i) const {
  switch (i) {
    case 0: return null1;
    case 1: return span1;
    case 2: return null2;
    default: return span2;
  }
}

void BuildNullSpanFrame(char* buffer, char controller_letter, char function,
                        const NullSpanValues& values) {
  buffer[0] = kEscByte;
  buffer[1] = controller_letter;
  buffer[2] = 'K';
  buffer[3] = function;
  for (int i = 0; i < 4; ++i) {
    PutFourDigits(buffer + kValuesAt + i * kNullSpanDigits, values[i]);
  }
  buffer[kNullSpanFrameSize - 1] = kLfByte;
  buffer[kNullSpanFrameSize] = '\0';
}

void BuildNullSpanReadRequest(char* buffer) {
  BuildNullSpanFrame(buffer, 'A', kNullSpanRead, NullSpanValues{});
}

NullSpanValues DecodeNullSpanValues(const char* frame) {
  NullSpanValues values;
  for (int i = 0; i < 4; ++i) {
    values[i] = FourDigitValue(frame + kValuesAt + i * kNullSpanDigits);
  }
  return values;
}

bool IsNullSpanReply(const char* reply, char controller_letter, char function) {
  if (reply[0] != kEscByte || reply[1] != controller_letter || reply[2] != 'K' ||
      reply[3] != function || reply[kNullSpanFrameSize - 1] != kLfByte) {
    return false;
  }
  return std::all_of(reply + kValuesAt, reply + kValuesAt + 4 * kNullSpanDigits, IsDigit);
}

bool IsNullSpanUpdateAcknowledged(const char* reply, char controller_letter,
                                  const NullSpanValues& sent) {
  return IsNullSpanReply(reply, controller_letter, kNullSpanUpdated) &&
         DecodeNullSpanValues(reply) == sent;
}

int ReadNullSpanFrame(ControllerLink& link, char* frame) {
  BuildNullSpanReadRequest(frame);
  if (!link.ExchangeFrame21(frame)) return 0;
  return IsNullSpanReply(frame, link.ControllerId(), kNullSpanRead) ? 1 : 0;
}

NullSpanUpdateResult SendNullSpanUpdate(ControllerLink& link, char* frame,
                                        const NullSpanValues& sent) {
  const char letter = frame[1];
  if (link.SendEscapeCommand(frame) != 0) return NullSpanUpdateResult::kNotSent;
  if (link.ReplyFlagged() || !IsNullSpanUpdateAcknowledged(frame, letter, sent)) {
    return NullSpanUpdateResult::kNotAcknowledged;
  }
  return NullSpanUpdateResult::kAcknowledged;
}

std::string FilterNullSpanText(std::string_view text) {
  std::string digits;
  const std::string_view head = text.substr(0, kNullSpanDigits);
  for (char c : head) {
    if (IsDigit(c)) digits.push_back(c);
  }
  if (digits.size() > 1 && digits.front() == '0') digits.erase(0, 1);
  return digits;
}

int NullSpanFieldValue(std::string_view text) {
  int value = 0;
  const std::string_view head = text.substr(0, kNullSpanDigits);
  for (char c : head) {
    if (!IsDigit(c)) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

NullSpanLeave ClampNullSpanField(std::string_view text, int min, int max) {
  const int value = NullSpanFieldValue(text);
  if (value > max) return {max, true};
  if (value <= min) return {min, true};
  return {value, false};
}

ScrollOutcome ApplyScroll(ScrollAction action, int current, int thumb, int min, int max) {
  switch (action) {
    case ScrollAction::kLineLeft:
      return {true, std::max(current - 1, min), true};
    case ScrollAction::kLineRight:
      return {true, std::min(current + 1, max), true};
    case ScrollAction::kThumbTrack:
      return {true, std::clamp(thumb, min, max), false};
    case ScrollAction::kThumbRelease:
      // After tracking, the bar already stands at the released position.
      return {true, std::clamp(thumb, min, max), true};
    case ScrollAction::kOther:
      break;
  }
  return {false, current, false};
}

}  // namespace kelvt
