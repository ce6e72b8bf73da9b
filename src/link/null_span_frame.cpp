#include "link/null_span_frame.h"

#include <algorithm>

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

bool IsNullSpanUpdateAcknowledged(const char* reply, const NullSpanValues& sent) {
  return reply[3] == kNullSpanUpdated && DecodeNullSpanValues(reply) == sent;
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
