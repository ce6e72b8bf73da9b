// Arbitrary replies into the scan records, for any beam count and mode: the
// records stay within their buffers and their statistics stay consistent.
//
// Input: two bytes beam count (little end first, 0..2047), one byte mode,
// then the reply.

#include <cstddef>
#include <cstdint>

#include "link/scan_record.h"

namespace {
void Check(bool ok) {
  if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvt;
  if (size < 3) return 0;
  const int n = (data[0] | (data[1] << 8)) & 0x7FF;
  const int mode = static_cast<int8_t>(data[2]);
  const char* reply = reinterpret_cast<const char*>(data + 3);
  const int count = static_cast<int>(size - 3);

  BeamBitmapScan beams(n);
  Check(beams.ExpectedLength() == BeamReplyLength(n));
  const int ok = beams.Decode(reply, count);
  const BeamStatistics& s = beams.statistics;
  if (ok) {
    Check(count == beams.ExpectedLength());
    Check(s.broken_count + s.made_count == n);
    if (s.broken_count > 0) Check(s.first_broken <= s.last_broken && s.last_broken < n);
    if (s.made_count > 0) Check(s.first_made <= s.last_made && s.last_made < n);
  } else {
    Check(s == BeamStatistics());
  }
  int broken = 0;
  for (int i = -9; i < n + 9; ++i) {
    const int state = beams.BeamState(i);
    Check(state == 0 || state == 1);
    if (i < 0 || i >= n) Check(state == 0);
    broken += state;
  }
  if (ok) Check(broken == s.broken_count);

  // Copies between records of other sizes never overrun either buffer.
  BeamBitmapScan other(n / 2 + 1);
  other.CopySummary(beams);
  (void)other.Decode(reply, count);
  for (int i = 0; i < n; i += 7) (void)other.BeamState(i);
  other.Assign(beams);
  Check(other.Equals(beams) == 1);

  MeasurementScan values(mode);
  const int vok = values.Decode(reply, count);
  if (vok) Check(count == values.ExpectedLength());
  MeasurementValues previous(0);
  previous.CopyValues(values);
  Check(previous.Equals(values) == 1);
  MeasurementScan shorter(0);
  shorter.CopyLength(values);
  (void)shorter.Decode(reply, count);
  return 0;
}
