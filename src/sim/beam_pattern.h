#pragma once
// Which beams of the simulated curtain are broken at a given moment: a fixed
// set (an obstruction that stays) and, optionally, an object that passes
// through the curtain again and again, entering at beam 1 and leaving past
// the last beam; and beams that flicker, breaking in a share of the scans.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvt::sim {

class BeamPattern {
 public:
  // Fixed broken beams, numbered from 1 as the tool shows them: "4-6,10",
  // "all", or "none"/"" for a clear curtain. Beams beyond the curtain are
  // ignored. On failure returns false, keeps the previous set and says why.
  bool SetFixed(std::string_view pattern, std::string& error);
  // An object `width` beams wide moving at `beams_per_second`; width 0 or a
  // non-positive speed means nothing moves.
  void SetMoving(int width, double beams_per_second);

  // State of each of `n` beams `t_ms` milliseconds after the start:
  // broken[i] is 1 when beam i (0-based) is broken.
  void Fill(int n, uint64_t t_ms, std::vector<uint8_t>& broken) const;

  bool Moving() const { return width_ > 0 && speed_ > 0; }

  // Flickering beams: "17:2,42:0.5" breaks beam 17 in 2 % and beam 42 in
  // 0.5 % of the scans ("" for none). Which scans is drawn from `seed`: the
  // same seed flickers the same scans. On failure keeps the previous list.
  bool SetFlicker(std::string_view list, uint32_t seed, std::string& error);
  // Also breaks the flickering beams drawn for scan number `scan`.
  void AddFlicker(uint64_t scan, std::vector<uint8_t>& broken) const;

 private:
  struct Range {
    int first;  // 1-based, inclusive
    int last;
  };
  std::vector<Range> fixed_;
  bool all_ = false;
  struct Flicker {
    int beam;             // 1-based
    uint32_t threshold;   // broken when the scan's draw is below
  };
  std::vector<Flicker> flicker_;
  uint32_t seed_ = 0;
  int width_ = 0;
  double speed_ = 0;
};

}  // namespace kelvt::sim
