#pragma once
// What the alignment views show of one beam map: the maximal runs of beams
// in the same state, which of them a filter lets through, their row texts,
// and the summary cells. Nothing here allocates, so it can run scan after
// scan in a loop.

#include <cstddef>

#include "link/scan_record.h"

namespace kelvt {

enum class ChannelFilter { Broken, Made, Both };

inline constexpr int kBeamBroken = 1;
inline constexpr int kBeamMade = 0;

// Beams first..last (0-based, inclusive), all in `state`.
struct BeamRun {
  int first = 0;
  int last = -1;
  int state = kBeamMade;
};

// Finds the maximal run that starts at beam `from`. False when `from` is past
// the last beam (or negative): there is no further run.
bool NextBeamRun(const BeamScan& scan, int from, BeamRun& run);

bool FilterShows(ChannelFilter filter, int state);

// Calls visit(run) for every run the filter shows, in beam order; returns how
// many were visited.
template <typename Visit>
int ForEachShownRun(const BeamScan& scan, ChannelFilter filter, Visit&& visit) {
  int shown = 0;
  BeamRun run;
  for (int from = 0; NextBeamRun(scan, from, run); from = run.last + 1) {
    if (!FilterShows(filter, run.state)) continue;
    visit(run);
    ++shown;
  }
  return shown;
}

// Room for "%d - %d" of two ints and the NUL.
inline constexpr std::size_t kRunTextSize = 32;

// "a + 1" for a single beam, "a + 1 - b + 1" for a longer run (1-based, as
// the user counts beams). Always NUL-terminated within `size`.
void FormatRunChannels(const BeamRun& run, char* out, std::size_t size);

// "Broken" or "Made".
const char* BeamStateText(int state);

// The summary table: rows Total, First, Last; columns Broken, Made. First
// and Last are 1-based and empty when the count of their kind is 0.
inline constexpr int kSummaryRows = 3;
inline constexpr int kSummaryColumns = 2;
inline constexpr const char* kSummaryRowLabels[kSummaryRows] = {"Total", "First", "Last"};

struct BeamSummaryCells {
  // [row][column]: row 0 Total, 1 First, 2 Last; column 0 Broken, 1 Made.
  char text[kSummaryRows][kSummaryColumns][16];
};

void FillBeamSummary(const BeamStatistics& s, BeamSummaryCells& cells);

}  // namespace kelvt
