#pragma once
// The line-error flags a port keeps between queries: bit 0 receive-queue
// overflow, bit 1 overrun, bit 2 parity error, bit 3 framing error, bit 4
// break. The driver reports running counts; a count that moved since the
// last look raises its flag, and the flag stays up until a query clears it.

#include <cstdint>

namespace kelvt {

enum LineErrorBit : int {
  kRxOverflowBit = 0,
  kOverrunBit = 1,
  kParityBit = 2,
  kFramingBit = 3,
  kBreakBit = 4,
};

class LineErrorFlags {
 public:
  static constexpr int kCount = 5;

  // Takes the driver's first counts without raising anything.
  void Start(const int (&counts)[kCount]);
  // Raises the flag of every count that changed since the last look.
  void Merge(const int (&counts)[kCount]);
  // 1 when the flag is up, else 0; a `clear` other than 0 and -1 lowers it
  // after reading.
  int Query(int bit, int clear);
  uint32_t Bits() const { return bits_; }

 private:
  uint32_t bits_ = 0;
  int last_[kCount] = {};
};

}  // namespace kelvt
