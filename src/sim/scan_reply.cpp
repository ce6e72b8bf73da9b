#include "sim/scan_reply.h"

#include <algorithm>

namespace kelvt::sim {
namespace {

constexpr char kFs = 0x1C;
constexpr char kLf = 0x0A;

int First(const std::vector<uint8_t>& broken, uint8_t state) {
  for (size_t i = 0; i < broken.size(); ++i) {
    if (broken[i] == state) return static_cast<int>(i) + 1;
  }
  return 0;
}

int Last(const std::vector<uint8_t>& broken, uint8_t state) {
  for (size_t i = broken.size(); i > 0; --i) {
    if (broken[i - 1] == state) return static_cast<int>(i);
  }
  return 0;
}

int Total(const std::vector<uint8_t>& broken, uint8_t state) {
  return static_cast<int>(std::count(broken.begin(), broken.end(), state));
}

int LongestRun(const std::vector<uint8_t>& broken, uint8_t state) {
  int best = 0;
  int run = 0;
  for (uint8_t b : broken) {
    run = b == state ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

void PutValue(uint16_t v, std::vector<char>& out) {
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v & 0xFF));
}

bool IsBeamMode(char code) { return code >= kModeFbb && code <= kModeCbm; }

}  // namespace

uint16_t MeasureBeams(char code, const std::vector<uint8_t>& broken) {
  int v = 0;
  switch (code) {
    case kModeFbb: v = First(broken, 1); break;
    case kModeFbm: v = First(broken, 0); break;
    case kModeLbb: v = Last(broken, 1); break;
    case kModeLbm: v = Last(broken, 0); break;
    case kModeTbb: v = Total(broken, 1); break;
    case kModeTbm: v = Total(broken, 0); break;
    case kModeCbb: v = LongestRun(broken, 1); break;
    case kModeCbm: v = LongestRun(broken, 0); break;
    case kModeVhs: {
      const int first = First(broken, 1);
      v = first == 0 ? 0 : Last(broken, 1) - first + 1;
      break;
    }
    default: break;
  }
  return static_cast<uint16_t>(std::min(v, 0xFFFF));
}

ScanLayout LayoutFor(char mode1, char mode2) {
  if (mode1 == kModeAll) return ScanLayout::kBeamMap;
  const bool second = mode2 >= kModeFbb && mode2 <= kModeVhs;
  if (!IsBeamMode(mode1)) return ScanLayout::kSecondOnly;
  return second ? ScanLayout::kBoth : ScanLayout::kFirstOnly;
}

void BuildScanReply(char id, char mode1, char mode2, const std::vector<uint8_t>& broken,
                    std::vector<char>& out) {
  out.clear();
  out.push_back(kFs);
  out.push_back(id);
  switch (LayoutFor(mode1, mode2)) {
    case ScanLayout::kBeamMap: {
      const size_t bytes = broken.size() / 8;
      for (size_t k = 0; k < bytes; ++k) {
        unsigned bits = 0;
        for (size_t b = 0; b < 8; ++b) {
          if (broken[k * 8 + b] != 0) bits |= 1u << b;
        }
        out.push_back(static_cast<char>(bits));
      }
      break;
    }
    case ScanLayout::kFirstOnly: PutValue(MeasureBeams(mode1, broken), out); break;
    case ScanLayout::kSecondOnly: PutValue(MeasureBeams(mode2, broken), out); break;
    case ScanLayout::kBoth:
      PutValue(MeasureBeams(mode1, broken), out);
      PutValue(MeasureBeams(mode2, broken), out);
      break;
  }
  out.push_back(kLf);
}

}  // namespace kelvt::sim
