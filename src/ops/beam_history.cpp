#include "ops/beam_history.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace kelvt {

bool IsFlickering(int64_t changes, int64_t scans) {
  return changes > 0 && scans > 0 && changes * 100 < scans * 5;
}

BeamHistory::BeamHistory(int beams)
    : beams_(beams < 0 ? 0 : beams),
      ring_(new uint8_t[static_cast<std::size_t>(kBeamHistoryDepth) * (beams < 0 ? 0 : beams) + 1]()),
      changes_(new int64_t[static_cast<std::size_t>(beams < 0 ? 0 : beams) + 1]()),
      times_(new int64_t[kBeamHistoryDepth]()) {}

void BeamHistory::Reset() {
  depth_ = 0;
  newest_ = -1;
  scans_ = 0;
  std::memset(changes_.get(), 0, sizeof(int64_t) * static_cast<std::size_t>(beams_));
}

void BeamHistory::Add(const BeamScan& map, int64_t time_ms) {
  if (map.ChannelCount() != beams_) return;
  const uint8_t* previous =
      depth_ > 0 ? ring_.get() + static_cast<std::size_t>(newest_) * beams_ : nullptr;
  int slot = (newest_ + 1) % kBeamHistoryDepth;
  uint8_t* row = ring_.get() + static_cast<std::size_t>(slot) * beams_;
  for (int i = 0; i < beams_; ++i) {
    uint8_t state = map.BeamState(i) ? 1 : 0;
    // The slot about to be written may be the previous one only with a depth
    // of 1, which kBeamHistoryDepth is not.
    if (previous && previous[i] != state) ++changes_[i];
    row[i] = state;
  }
  times_[slot] = time_ms;
  newest_ = slot;
  if (depth_ < kBeamHistoryDepth) ++depth_;
  ++scans_;
}

int BeamHistory::State(int age, int beam) const {
  if (age < 0 || age >= depth_ || beam < 0 || beam >= beams_) return 0;
  int slot = (newest_ - age + kBeamHistoryDepth) % kBeamHistoryDepth;
  return ring_[static_cast<std::size_t>(slot) * beams_ + beam];
}

int64_t BeamHistory::Time(int age) const {
  if (age < 0 || age >= depth_) return 0;
  return times_[(newest_ - age + kBeamHistoryDepth) % kBeamHistoryDepth];
}

int64_t BeamHistory::Changes(int beam) const {
  return beam < 0 || beam >= beams_ ? 0 : changes_[beam];
}

int BeamHistory::FlickeringCount() const {
  int n = 0;
  for (int i = 0; i < beams_; ++i) n += Flickering(i);
  return n;
}

int FormatFlickeringList(const BeamHistory& history, char* out, std::size_t size) {
  if (size == 0) return 0;
  out[0] = '\0';
  std::size_t at = 0;
  for (int i = 0; i < history.Beams(); ++i) {
    if (!history.Flickering(i)) continue;
    char item[48];
    int n = std::snprintf(item, sizeof item, "%s%d (%" PRId64 ")", at ? ", " : "", i + 1,
                          history.Changes(i));
    // Keep room for ", ..." after the last item that fits.
    if (at + static_cast<std::size_t>(n) + 6 > size) {
      const char* more = at ? ", ..." : "...";
      if (at + std::strlen(more) + 1 <= size) {
        std::memcpy(out + at, more, std::strlen(more) + 1);
        at += std::strlen(more);
      }
      break;
    }
    std::memcpy(out + at, item, static_cast<std::size_t>(n) + 1);
    at += static_cast<std::size_t>(n);
  }
  return static_cast<int>(at);
}

}  // namespace kelvt
