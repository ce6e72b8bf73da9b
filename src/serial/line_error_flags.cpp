#include "serial/line_error_flags.h"

namespace kelvt {

void LineErrorFlags::Start(const int (&counts)[kCount]) {
  for (int i = 0; i < kCount; ++i) last_[i] = counts[i];
}

void LineErrorFlags::Merge(const int (&counts)[kCount]) {
  for (int i = 0; i < kCount; ++i) {
    if (counts[i] != last_[i]) bits_ |= 1u << i;
    last_[i] = counts[i];
  }
}

int LineErrorFlags::Query(int bit, int clear) {
  if (bit < 0 || bit >= kCount) return 0;
  const int seen = static_cast<int>((bits_ >> bit) & 1u);
  if (clear != 0 && clear != -1) bits_ &= ~(1u << bit);
  return seen;
}

}  // namespace kelvt
