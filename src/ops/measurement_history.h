#pragma once
// The trend plot's scans: up to two measurements over the last ten minutes
// since Run, oldest first, in a ring sized once (recording never allocates).
// A reader pointing at the plot finds the scan nearest a time here.

#include <cstdint>
#include <vector>

namespace kelvt {

class MeasurementHistory {
 public:
  static constexpr uint32_t kWindowMs = 10 * 60 * 1000;
  // Ten minutes at the protocol's fastest scan rate (under seven a second)
  // fit; a faster source loses its oldest scans sooner.
  static constexpr int kCapacity = 4800;

  MeasurementHistory();
  void Clear();
  // One scan `ms` after the start; a measurement that is not enabled is
  // recorded as absent. Scans more than kWindowMs older fall out.
  void Record(uint32_t ms, bool has1, uint16_t value1, bool has2, uint16_t value2);

  int Size() const { return size_; }
  // Scans recorded since Clear, including those that fell out.
  int64_t Recorded() const { return recorded_; }
  // i from 0 (oldest kept) to Size() - 1 (newest).
  uint32_t Time(int i) const;
  uint16_t Value(int series, int i) const;
  bool Has(int series, int i) const;
  // Lowest and highest value present among the kept scans; false when none.
  bool Range(uint16_t& low, uint16_t& high) const;
  // The kept scan nearest `ms` (the earlier of two as near), among those up
  // to index `last` (-1: all); -1 when none is kept.
  int Nearest(double ms, int last = -1) const;

 private:
  struct Entry {
    uint32_t ms;
    uint16_t value[2];
    bool has[2];
  };
  int Slot(int i) const { return (head_ + kCapacity - size_ + i) % kCapacity; }

  std::vector<Entry> ring_;  // kCapacity entries, sized once
  int head_ = 0;             // next slot to write
  int size_ = 0;
  int64_t recorded_ = 0;
};

}  // namespace kelvt
