#include "cli/nullspan_values.h"

namespace kelvt::cli {

NullSpanArgument ClampNullSpanArgument(std::string_view text, int min, int max) {
  NullSpanArgument result;
  if (text.empty()) return result;
  for (const char c : text) {
    if (c < '0' || c > '9') return result;
  }
  result.valid = true;
  while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
  if (text.size() > static_cast<std::size_t>(kNullSpanDigits)) {
    result.value = max;
    result.clamped = true;
    return result;
  }
  const NullSpanLeave leave = ClampNullSpanField(text, min, max);
  result.value = leave.value;
  // The dialog also rewrites a value that sits exactly on the minimum; that
  // is no change of the number.
  result.clamped = leave.rewrite && NullSpanFieldValue(text) != leave.value;
  return result;
}

int NullSpanMin(int i) { return i % 2 == 0 ? kNullMin : kSpanMin; }
int NullSpanMax(int i) { return i % 2 == 0 ? kNullMax : kSpanMax; }

const char* NullSpanName(int i) {
  static constexpr const char* kNames[4] = {"Null 1", "Span 1", "Null 2", "Span 2"};
  return i >= 0 && i < 4 ? kNames[i] : "";
}

}  // namespace kelvt::cli
