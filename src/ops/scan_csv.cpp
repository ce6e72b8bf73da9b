#include "ops/scan_csv.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace kelvt {
namespace {

int Fail(char* out, std::size_t size) {
  if (size > 0) out[0] = '\0';
  return -1;
}

// Appends text unquoted (numbers and the fixed header names).
int AppendRaw(const char* text, char* out, std::size_t size, int at) {
  if (at < 0) return -1;
  std::size_t n = std::strlen(text);
  if (static_cast<std::size_t>(at) + n + 1 > size) return -1;
  std::memcpy(out + at, text, n + 1);
  return at + static_cast<int>(n);
}

int AppendSeparated(const char* field, char* out, std::size_t size, int at) {
  at = AppendRaw(",", out, size, at);
  return AppendCsvField(field, out, size, at);
}

int AppendNumber(int64_t value, char* out, std::size_t size, int at) {
  char text[24];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return AppendSeparated(text, out, size, at);
}

// 1-based beam number, or empty when there is no beam of that kind.
int AppendBeam(int32_t count, int32_t beam, char* out, std::size_t size, int at) {
  if (count <= 0) return AppendSeparated("", out, size, at);
  return AppendNumber(static_cast<int64_t>(beam) + 1, out, size, at);
}

int Finish(int at, char* out, std::size_t size) {
  at = AppendRaw("\r\n", out, size, at);
  return at < 0 ? Fail(out, size) : at;
}

int AppendTimeAndScan(const WallTime& t, int64_t scan, char* out, std::size_t size) {
  char time[kIsoTimeSize];
  if (FormatIsoTime(t, time, sizeof time) < 0) return -1;
  int at = AppendCsvField(time, out, size, 0);
  return AppendNumber(scan, out, size, at);
}

}  // namespace

WallTime LocalWallTime(std::time_t seconds, int milliseconds) {
  WallTime t;
  std::tm local{};
  if (!localtime_r(&seconds, &local)) return t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = milliseconds < 0 ? 0 : milliseconds % 1000;
  t.utc_offset_minutes = static_cast<int>(local.tm_gmtoff / 60);
  return t;
}

WallTime NowWallTime() {
  std::timespec now{};
  std::timespec_get(&now, TIME_UTC);
  return LocalWallTime(now.tv_sec, static_cast<int>(now.tv_nsec / 1000000));
}

int FormatIsoTime(const WallTime& t, char* out, std::size_t size) {
  int offset = t.utc_offset_minutes;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  int n = std::snprintf(out, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year,
                        t.month, t.day, t.hour, t.minute, t.second, t.millisecond, sign,
                        offset / 60, offset % 60);
  if (n < 0 || static_cast<std::size_t>(n) >= size) return Fail(out, size);
  return n;
}

int FormatFileStamp(const WallTime& t, char* out, std::size_t size) {
  int n = std::snprintf(out, size, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                        t.minute, t.second);
  if (n < 0 || static_cast<std::size_t>(n) >= size) return Fail(out, size);
  return n;
}

int AppendCsvField(const char* field, char* out, std::size_t size, int at) {
  if (at < 0) return -1;
  bool quote = std::strpbrk(field, ",\"\r\n") != nullptr;
  std::size_t need = std::strlen(field);
  if (quote) {
    need += 2;
    for (const char* c = field; *c; ++c) need += *c == '"';
  }
  if (static_cast<std::size_t>(at) + need + 1 > size) return -1;
  char* p = out + at;
  if (quote) *p++ = '"';
  for (const char* c = field; *c; ++c) {
    if (quote && *c == '"') *p++ = '"';
    *p++ = *c;
  }
  if (quote) *p++ = '"';
  *p = '\0';
  return static_cast<int>(p - out);
}

std::size_t AlignmentCsvRowSize(int beams) {
  return 128 + static_cast<std::size_t>(beams < 0 ? 0 : beams);
}

int AlignmentCsvHeader(char* out, std::size_t size) {
  int at = AppendRaw("time,scan,broken,made,first broken,last broken,first made,last made,beams",
                     out, size, 0);
  return Finish(at, out, size);
}

int AlignmentCsvRow(const WallTime& t, int64_t scan, const BeamScan& map, char* out,
                    std::size_t size) {
  const BeamStatistics& s = map.statistics;
  int at = AppendTimeAndScan(t, scan, out, size);
  at = AppendNumber(s.broken_count, out, size, at);
  at = AppendNumber(s.made_count, out, size, at);
  at = AppendBeam(s.broken_count, s.first_broken, out, size, at);
  at = AppendBeam(s.broken_count, s.last_broken, out, size, at);
  at = AppendBeam(s.made_count, s.first_made, out, size, at);
  at = AppendBeam(s.made_count, s.last_made, out, size, at);
  at = AppendRaw(",", out, size, at);
  int n = map.ChannelCount();
  if (at < 0 || static_cast<std::size_t>(at) + static_cast<std::size_t>(n) + 1 > size) {
    return Fail(out, size);
  }
  for (int i = 0; i < n; ++i) out[at++] = map.BeamState(i) ? '1' : '0';
  out[at] = '\0';
  return Finish(at, out, size);
}

int MeasurementCsvHeader(int mode, char* out, std::size_t size) {
  int at = AppendRaw("time,scan", out, size, 0);
  if (ReportsMeasurement1(mode)) {
    at = AppendRaw(",measurement 1,measurement 1 low,measurement 1 high", out, size, at);
  }
  if (ReportsMeasurement2(mode)) {
    at = AppendRaw(",measurement 2,measurement 2 low,measurement 2 high", out, size, at);
  }
  return Finish(at, out, size);
}

namespace {
int AppendMeasurement(const MeasurementStatistics& m, char* out, std::size_t size, int at) {
  at = AppendNumber(m.present, out, size, at);
  if (m.low == MeasurementStatistics::kLowReset) {
    at = AppendSeparated("", out, size, at);
  } else {
    at = AppendNumber(m.low, out, size, at);
  }
  return AppendNumber(m.high, out, size, at);
}
}  // namespace

int MeasurementCsvRow(const WallTime& t, int64_t scan, int mode, const MeasurementStatistics& m1,
                      const MeasurementStatistics& m2, char* out, std::size_t size) {
  int at = AppendTimeAndScan(t, scan, out, size);
  if (ReportsMeasurement1(mode)) at = AppendMeasurement(m1, out, size, at);
  if (ReportsMeasurement2(mode)) at = AppendMeasurement(m2, out, size, at);
  return Finish(at, out, size);
}

int TrendCsvHeader(int shown, const char* name1, const char* name2, char* out, std::size_t size) {
  int at = AppendRaw("time (s)", out, size, 0);
  if (shown & 1) at = AppendSeparated(name1 ? name1 : "", out, size, at);
  if (shown & 2) at = AppendSeparated(name2 ? name2 : "", out, size, at);
  return Finish(at, out, size);
}

int TrendCsvRow(uint32_t ms, int shown, int has, uint16_t value1, uint16_t value2, char* out,
                std::size_t size) {
  char time[24];
  std::snprintf(time, sizeof time, "%" PRIu32 ".%03" PRIu32, ms / 1000, ms % 1000);
  int at = AppendRaw(time, out, size, 0);
  const uint16_t values[2] = {value1, value2};
  for (int s = 0; s < 2; ++s) {
    if (!(shown & (1 << s))) continue;
    at = (has & (1 << s)) ? AppendNumber(values[s], out, size, at) : AppendSeparated("", out, size, at);
  }
  return Finish(at, out, size);
}

}  // namespace kelvt
