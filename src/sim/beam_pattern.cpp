#include "sim/beam_pattern.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace kelvt::sim {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// A beam number 1..9999; false for anything else.
bool ParseNumber(std::string_view s, int& out) {
  s = Trim(s);
  if (s.empty() || s.size() > 4) return false;
  int v = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1) return false;
  out = v;
  return true;
}

// A percentage 0..100, decimals allowed.
bool ParsePercent(std::string_view s, double& out) {
  s = Trim(s);
  if (s.empty() || s.size() > 12) return false;
  const std::string text(s);
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !(v >= 0 && v <= 100) ||
      !std::isdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  out = v;
  return true;
}

// splitmix64: a draw per (seed, scan, beam) that needs no state, so a scan's
// flicker does not depend on what was asked before it.
uint32_t Draw(uint32_t seed, uint64_t scan, int beam) {
  uint64_t z = (static_cast<uint64_t>(seed) << 32) ^ (scan * 0x9E3779B97F4A7C15ull) ^
               static_cast<uint64_t>(beam);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

}  // namespace

bool BeamPattern::SetFlicker(std::string_view list, uint32_t seed, std::string& error) {
  list = Trim(list);
  std::vector<Flicker> beams;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    const size_t colon = item.find(':');
    int beam = 0;
    double percent = 0;
    if (colon == std::string_view::npos || !ParseNumber(item.substr(0, colon), beam) ||
        !ParsePercent(item.substr(colon + 1), percent)) {
      error = "flicker: \"" + std::string(item) +
              "\" is not BEAM:PERCENT, a beam from 1 and a percentage 0..100 (e.g. 17:2)";
      return false;
    }
    // Compared as integers, as the garbled replies are, so a seed means the
    // same scans on every machine.
    const uint32_t threshold =
        percent >= 100 ? UINT32_MAX : static_cast<uint32_t>(percent / 100.0 * 4294967296.0);
    beams.push_back({beam, threshold});
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
    if (Trim(list).empty()) {
      error = "flicker: a comma with nothing after it";
      return false;
    }
  }
  flicker_ = std::move(beams);
  seed_ = seed;
  return true;
}

void BeamPattern::AddFlicker(uint64_t scan, std::vector<uint8_t>& broken) const {
  const int n = static_cast<int>(broken.size());
  for (const Flicker& f : flicker_) {
    if (f.beam <= n && Draw(seed_, scan, f.beam) < f.threshold) broken[f.beam - 1] = 1;
  }
}

bool BeamPattern::SetFixed(std::string_view pattern, std::string& error) {
  pattern = Trim(pattern);
  if (pattern.empty() || pattern == "none") {
    fixed_.clear();
    all_ = false;
    return true;
  }
  if (pattern == "all") {
    fixed_.clear();
    all_ = true;
    return true;
  }
  std::vector<Range> ranges;
  while (true) {
    const size_t comma = pattern.find(',');
    const std::string_view item = Trim(pattern.substr(0, comma));
    const size_t dash = item.find('-');
    Range r{};
    const bool ok = dash == std::string_view::npos
                        ? ParseNumber(item, r.first) && ParseNumber(item, r.last)
                        : ParseNumber(item.substr(0, dash), r.first) &&
                              ParseNumber(item.substr(dash + 1), r.last);
    if (!ok || r.last < r.first) {
      error = "beams: \"" + std::string(item) +
              "\" is not a beam number (from 1) or a range such as 4-6";
      return false;
    }
    ranges.push_back(r);
    if (comma == std::string_view::npos) break;
    pattern.remove_prefix(comma + 1);
  }
  fixed_ = std::move(ranges);
  all_ = false;
  return true;
}

void BeamPattern::SetMoving(int width, double beams_per_second) {
  width_ = width > 0 ? width : 0;
  speed_ = beams_per_second > 0 ? beams_per_second : 0;
}

void BeamPattern::Fill(int n, uint64_t t_ms, std::vector<uint8_t>& broken) const {
  broken.assign(n > 0 ? static_cast<size_t>(n) : 0, all_ ? 1 : 0);
  if (n <= 0) return;
  for (const Range& r : fixed_) {
    for (int b = r.first; b <= r.last && b <= n; ++b) broken[b - 1] = 1;
  }
  if (!Moving()) return;
  // The object's leading edge runs from beam 0 to n + width - 1, so that it
  // enters from below, crosses and has fully left before it comes again.
  const int64_t cycle = static_cast<int64_t>(n) + width_;
  const auto travelled = static_cast<int64_t>(std::floor(speed_ * static_cast<double>(t_ms) / 1000.0));
  const int64_t lead = travelled % cycle;
  for (int64_t b = lead - width_ + 1; b <= lead; ++b) {
    if (b >= 0 && b < n) broken[static_cast<size_t>(b)] = 1;
  }
}

}  // namespace kelvt::sim
