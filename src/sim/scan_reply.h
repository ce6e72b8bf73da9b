#pragma once
// What the simulated controller answers to a scan request: a beam map when
// its first measurement mode is "ALL", else one or two 16-bit measurement
// values computed from the beams by the configured modes.
//
// Meanings of the modes (beam numbers count from 1; 0 means "none"):
//   FBB / LBB  first / last broken beam     FBM / LBM  first / last made beam
//   TBB        number of broken beams       TBM        number of made beams
//   CBB        longest run of broken beams  CBM        longest run of made beams
//   VHS        extent of the obstruction: last broken - first broken + 1
//   ALL, None  no value (0)

#include <cstdint>
#include <vector>

namespace kelvt::sim {

// Measurement-mode code letters as the parameter set stores them.
inline constexpr char kModeFbb = 'A';
inline constexpr char kModeFbm = 'B';
inline constexpr char kModeLbb = 'C';
inline constexpr char kModeLbm = 'D';
inline constexpr char kModeTbb = 'E';
inline constexpr char kModeTbm = 'F';
inline constexpr char kModeCbb = 'G';
inline constexpr char kModeCbm = 'H';
inline constexpr char kModeAll = 'I';
inline constexpr char kModeVhs = 'J';
inline constexpr char kModeNone = 'K';

// The value of mode `code` for the beam states (1 broken, 0 made).
uint16_t MeasureBeams(char code, const std::vector<uint8_t>& broken);

enum class ScanLayout {
  kBeamMap,     // FS id, n/8 bytes of beam bits, LF
  kFirstOnly,   // FS id, measurement 1 (2 bytes), LF
  kSecondOnly,  // FS id, measurement 2 (2 bytes), LF
  kBoth,        // FS id, measurement 1, measurement 2, LF
};

// The layout the tool expects for these modes: the first mode counts only
// when it is one of the eight beam modes (the tool treats "None" and "VHS"
// there as off); a second mode of "None" is off. With both off the reply
// still carries one (zero) value.
ScanLayout LayoutFor(char mode1, char mode2);

// The complete reply: FS, id, payload, LF. A beam map holds n / 8 bytes;
// beam i is bit i % 8 of byte i / 8, set when broken.
void BuildScanReply(char id, char mode1, char mode2, const std::vector<uint8_t>& broken,
                    std::vector<char>& out);

}  // namespace kelvt::sim
