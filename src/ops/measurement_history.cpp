#include "ops/measurement_history.h"

#include <algorithm>

namespace kelvt {

MeasurementHistory::MeasurementHistory() : ring_(kCapacity) {}

void MeasurementHistory::Clear() {
  head_ = 0;
  size_ = 0;
  recorded_ = 0;
}

void MeasurementHistory::Record(uint32_t ms, bool has1, uint16_t value1, bool has2,
                                uint16_t value2) {
  ring_[head_] = Entry{ms, {value1, value2}, {has1, has2}};
  head_ = (head_ + 1) % kCapacity;
  if (size_ < kCapacity) ++size_;
  ++recorded_;
  // Oldest first, so what is too old is at the front.
  while (size_ > 1 && ms - ring_[Slot(0)].ms > kWindowMs) --size_;
}

uint32_t MeasurementHistory::Time(int i) const {
  return i < 0 || i >= size_ ? 0 : ring_[Slot(i)].ms;
}

uint16_t MeasurementHistory::Value(int series, int i) const {
  if (series < 0 || series > 1 || i < 0 || i >= size_) return 0;
  return ring_[Slot(i)].value[series];
}

bool MeasurementHistory::Has(int series, int i) const {
  if (series < 0 || series > 1 || i < 0 || i >= size_) return false;
  return ring_[Slot(i)].has[series];
}

bool MeasurementHistory::Range(uint16_t& low, uint16_t& high) const {
  bool any = false;
  for (int s = 0; s < 2; ++s) {
    for (int i = 0; i < size_; ++i) {
      if (!Has(s, i)) continue;
      const uint16_t v = Value(s, i);
      if (!any) {
        low = high = v;
        any = true;
      } else {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  return any;
}

int MeasurementHistory::Nearest(double ms, int last) const {
  const int n = last < 0 || last >= size_ ? size_ : last + 1;
  if (n <= 0) return -1;
  // Times only grow: the first scan at or after ms, or the one before it.
  int lo = 0;
  int hi = n;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (Time(mid) < ms) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo == n) return n - 1;
  if (lo > 0 && ms - Time(lo - 1) <= Time(lo) - ms) return lo - 1;
  return lo;
}

}  // namespace kelvt
