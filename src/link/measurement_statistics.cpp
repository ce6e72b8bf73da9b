#include "link/measurement_statistics.h"

namespace kelvt {

void MeasurementStatistics::Reset() {
  low = kLowReset;
  high = 0;
  present = 0;
  low_frozen = 0;
}

void MeasurementStatistics::Update(uint16_t value) {
  present = value;
  if (low_frozen == 0 && (value < low || low == 0)) {
    if (value == 0 && low != 0 && low != kLowReset) low_frozen = 1;
    low = value;
  }
  if (value > high) high = value;
}

}  // namespace kelvt
