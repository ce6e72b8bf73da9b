#pragma once
// The curtain over time: the last kBeamHistoryDepth beam maps in a ring (for
// the waterfall) and, per beam, how often it changed state since Run. A beam
// that changed in some but fewer than 5 % of the scans is flickering: the
// sign of a dirty lens or a loose board that no single scan shows. Each map
// keeps the time of its scan, for a reader pointing at it. Storage is sized
// once for the beam count; Add never allocates.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "link/scan_record.h"

namespace kelvt {

inline constexpr int kBeamHistoryDepth = 300;

// Changed in more than 0 and fewer than 5 % of `scans`.
bool IsFlickering(int64_t changes, int64_t scans);

class BeamHistory {
 public:
  explicit BeamHistory(int beams);

  // Forgets every map and count (a new Run).
  void Reset();
  // A map of another beam count is ignored. `time_ms`: when it was scanned
  // (milliseconds since the epoch).
  void Add(const BeamScan& map, int64_t time_ms = 0);

  int Beams() const { return beams_; }
  // Maps held, at most kBeamHistoryDepth.
  int Depth() const { return depth_; }
  // State (1 broken, 0 made) of `beam` in the map `age` scans back (0 the
  // newest); 0 outside what is held.
  int State(int age, int beam) const;
  // The scan time of the map `age` scans back; 0 outside what is held.
  int64_t Time(int age) const;
  int64_t Scans() const { return scans_; }
  int64_t Changes(int beam) const;
  bool Flickering(int beam) const { return IsFlickering(Changes(beam), scans_); }
  int FlickeringCount() const;

 private:
  int beams_;
  int depth_ = 0;
  int newest_ = -1;
  int64_t scans_ = 0;
  std::unique_ptr<uint8_t[]> ring_;     // kBeamHistoryDepth rows of beams_ states
  std::unique_ptr<int64_t[]> changes_;  // per beam
  std::unique_ptr<int64_t[]> times_;    // per slot of the ring
};

// "17 (3), 42 (1)": the flickering beams (1-based) and their change counts;
// empty when none. Truncated at a beam boundary with "..." when it does not
// fit. Returns the length.
int FormatFlickeringList(const BeamHistory& history, char* out, std::size_t size);

}  // namespace kelvt
