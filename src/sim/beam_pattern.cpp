#include "sim/beam_pattern.h"

#include <cctype>
#include <cmath>

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

}  // namespace

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
