#pragma once
// Rows of a scan recording as CSV (RFC 4180: comma separated, fields with a
// comma, quote or line break quoted, CRLF line ends). Every function writes
// into a caller's buffer and returns the length written, or -1 when the row
// does not fit (the buffer then holds an empty string). Nothing allocates, so
// a row can be made for every scan.

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "link/measurement_statistics.h"
#include "link/scan_record.h"

namespace kelvt {

// A local time to the millisecond and its offset from UTC.
struct WallTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int utc_offset_minutes = 0;  // east of UTC positive
};

// The local time of `seconds` and `milliseconds` since the epoch.
WallTime LocalWallTime(std::time_t seconds, int milliseconds);
// The present local time.
WallTime NowWallTime();

// "2026-12-07T20:05:53.123+01:00" (ISO 8601).
inline constexpr std::size_t kIsoTimeSize = 40;
int FormatIsoTime(const WallTime& t, char* out, std::size_t size);

// "20261207-200553", for file names.
int FormatFileStamp(const WallTime& t, char* out, std::size_t size);

// Appends `field` at out[at], quoted when it holds a comma, quote, CR or LF
// (quotes doubled). Returns the new length, or -1 when it does not fit.
int AppendCsvField(const char* field, char* out, std::size_t size, int at);

// Room for an alignment row of `beams` beams.
std::size_t AlignmentCsvRowSize(int beams);
int AlignmentCsvHeader(char* out, std::size_t size);
// time, scan, broken, made, first/last broken, first/last made (1-based,
// empty when none), beams as a 0/1 string (1 broken, beam 1 first).
int AlignmentCsvRow(const WallTime& t, int64_t scan, const BeamScan& map, char* out,
                    std::size_t size);

// Rows of the measurement views: present, low and high value of every
// measurement the mode reports (0: only 1, 1: only 2, 2: both).
inline constexpr std::size_t kMeasurementCsvRowSize = 160;
int MeasurementCsvHeader(int mode, char* out, std::size_t size);
// A low value not yet seen is written empty.
int MeasurementCsvRow(const WallTime& t, int64_t scan, int mode, const MeasurementStatistics& m1,
                      const MeasurementStatistics& m2, char* out, std::size_t size);

// The trend plot's points: seconds since Run to the millisecond, then a
// column for each measurement in `shown` (bit 0 measurement 1, bit 1
// measurement 2), headed by its name. A row leaves a shown measurement that
// has no value (its bit clear in `has`) empty.
inline constexpr std::size_t kTrendCsvRowSize = 48;
int TrendCsvHeader(int shown, const char* name1, const char* name2, char* out, std::size_t size);
int TrendCsvRow(uint32_t ms, int shown, int has, uint16_t value1, uint16_t value2, char* out,
                std::size_t size);

}  // namespace kelvt
