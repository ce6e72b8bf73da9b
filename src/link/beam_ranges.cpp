#include "link/beam_ranges.h"

#include <cstdio>

namespace kelvt {

bool NextBeamRun(const BeamScan& scan, int from, BeamRun& run) {
  const int n = scan.ChannelCount();
  if (from < 0 || from >= n) return false;
  const int state = scan.BeamState(from);
  int last = from;
  while (last + 1 < n && scan.BeamState(last + 1) == state) ++last;
  run.first = from;
  run.last = last;
  run.state = state;
  return true;
}

bool FilterShows(ChannelFilter filter, int state) {
  switch (filter) {
    case ChannelFilter::Both:
      return true;
    case ChannelFilter::Broken:
      return state == kBeamBroken;
    case ChannelFilter::Made:
      return state == kBeamMade;
  }
  return false;
}

void FormatRunChannels(const BeamRun& run, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  if (run.first == run.last) {
    std::snprintf(out, size, "%d", run.first + 1);
  } else {
    std::snprintf(out, size, "%d - %d", run.first + 1, run.last + 1);
  }
}

const char* BeamStateText(int state) { return state == kBeamBroken ? "Broken" : "Made"; }

namespace {

void PutNumber(char (&cell)[16], int value) { std::snprintf(cell, sizeof cell, "%d", value); }

// One column of the summary: a count and, when there is any beam of the
// kind, its first and last beam shown 1-based.
void FillColumn(BeamSummaryCells& cells, int column, int count, int first, int last) {
  PutNumber(cells.text[0][column], count);
  if (count > 0) {
    PutNumber(cells.text[1][column], first + 1);
    PutNumber(cells.text[2][column], last + 1);
  } else {
    cells.text[1][column][0] = '\0';
    cells.text[2][column][0] = '\0';
  }
}

}  // namespace

void FillBeamSummary(const BeamStatistics& s, BeamSummaryCells& cells) {
  FillColumn(cells, 0, s.broken_count, s.first_broken, s.last_broken);
  FillColumn(cells, 1, s.made_count, s.first_made, s.last_made);
}

}  // namespace kelvt
