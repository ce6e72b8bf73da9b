#pragma once
// Lowest, highest and present value of one measurement over a run of scans.

#include <cstdint>

namespace kelvt {

struct MeasurementStatistics {
  static constexpr uint32_t kLowReset = 0xFFFFFFFFu;

  MeasurementStatistics() { Reset(); }

  void Reset();
  // A 0 that comes before any non-zero value does not stick as the low value
  // (the next value replaces it); a 0 after non-zero values is the low value
  // for good.
  void Update(uint16_t value);

  bool operator==(const MeasurementStatistics&) const = default;

  uint32_t low;
  uint32_t high;
  uint32_t present;
  uint32_t low_frozen;
};

// Which measurements a scan of the given mode reports
// (0: only measurement 1, 1: only measurement 2, 2: both).
inline bool ReportsMeasurement1(int mode) { return mode == 0 || mode == 2; }
inline bool ReportsMeasurement2(int mode) { return mode == 1 || mode == 2; }

}  // namespace kelvt
