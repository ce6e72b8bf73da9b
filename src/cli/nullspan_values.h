#pragma once
// Null and span values given on the command line, brought into the ranges
// the calibration dialog allows, the way the dialog does when a field is left.

#include <string>
#include <string_view>

#include "link/null_span_frame.h"

namespace kelvt::cli {

struct NullSpanArgument {
  bool valid = false;     // decimal digits only
  int value = 0;          // after clamping
  bool clamped = false;   // the value given was outside the range
};

// `text` must be decimal digits. Leading zeros do not count toward the
// field's four digits; a number of more than four digits is above any range.
NullSpanArgument ClampNullSpanArgument(std::string_view text, int min, int max);

// Range of value i in frame order (null 1, span 1, null 2, span 2).
int NullSpanMin(int i);
int NullSpanMax(int i);
// "Null 1", "Span 1", "Null 2", "Span 2".
const char* NullSpanName(int i);

}  // namespace kelvt::cli
