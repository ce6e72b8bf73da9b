#include "link/scan_record.h"

#include <climits>
#include <cstring>

namespace kelvt {
namespace {

constexpr char kScanStart = 0x1C;
constexpr char kScanEnd = 0x0A;

int MeasurementLength(int mode) { return (mode == 0 || mode == 1) ? 5 : 7; }

}  // namespace

int BeamReplyLength(int n) {
  if (n <= 0) return 3;
  return n / 8 + (n % 8 != 0 ? 1 : 0) + 3;
}

// ---- ScanRecord ------------------------------------------------------------

void ScanRecord::Allocate(int length) {
  if (length < 0) length = 0;
  reply.reset(length > 0 ? new char[static_cast<size_t>(length)]() : nullptr);
  reply_size = length;
}

int ScanRecord::Decode(const char* data, int count) {
  const int length = expected_length;
  if (data == nullptr || !reply || length < 2 || length > reply_size || count != length) return 0;
  if (data[0] != kScanStart || data[length - 1] != kScanEnd) return 0;
  std::memcpy(reply.get(), data, static_cast<size_t>(length));
  return 1;
}

void ScanRecord::CopyLength(const ScanRecord& other) {
  if (this == &other) return;
  expected_length = other.expected_length;
}

// ---- measurement records -----------------------------------------------------

int MeasurementValues::Equals(const MeasurementValues& other) const {
  return expected_length == other.expected_length && value1 == other.value1 &&
         value2 == other.value2;
}

void MeasurementValues::CopyValues(const MeasurementValues& other) {
  if (this == &other) return;
  expected_length = other.expected_length;
  value1 = other.value1;
  value2 = other.value2;
  mode = other.mode;
}

MeasurementScan::MeasurementScan(int m) : MeasurementValues(m) {
  expected_length = MeasurementLength(m);
  Allocate(expected_length);
}

int MeasurementScan::Decode(const char* data, int count) {
  value1 = 0;
  if (!ScanRecord::Decode(data, count)) return 0;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(reply.get());
  const int payload_end = expected_length - 1;  // index of the LF
  // A value is read only from payload bytes, never from the frame.
  auto word = [&](int at) -> uint16_t {
    if (at + 1 >= payload_end) return 0;
    return static_cast<uint16_t>(b[at] * 256u + b[at + 1]);
  };
  switch (mode) {
    case 0: value1 = word(2); break;
    case 1: value2 = word(2); break;
    default:  // both measurements, as the 7-byte length says
      value1 = word(2);
      value2 = word(4);
      break;
  }
  return 1;
}

// ---- beam records --------------------------------------------------------------

void BeamStatistics::Reset() {
  broken_count = 0;
  made_count = 0;
  first_broken = INT32_MAX;
  last_broken = INT32_MIN;
  first_made = INT32_MAX;
  last_made = INT32_MIN;
}

BeamScan::BeamScan(int n) : channel_count(n < 0 ? 0 : n) {}

void BeamScan::ComputeStatistics() {
  statistics.Reset();
  BeamStatistics& s = statistics;
  for (int i = 0; i < channel_count; ++i) {
    if (BeamState(i) == 1) {
      ++s.broken_count;
      if (i < s.first_broken) s.first_broken = i;
      if (i > s.last_broken) s.last_broken = i;
    } else {
      ++s.made_count;
      if (i < s.first_made) s.first_made = i;
      if (i > s.last_made) s.last_made = i;
    }
  }
}

void BeamScan::CopySummary(const BeamScan& other) {
  if (this == &other) return;
  expected_length = other.expected_length;
  channel_count = other.channel_count;
  statistics = other.statistics;
}

BeamBitmapScan::BeamBitmapScan(int n) : BeamScan(n) {
  expected_length = BeamReplyLength(channel_count);
  Allocate(expected_length);
}

int BeamBitmapScan::Decode(const char* data, int count) {
  statistics.Reset();
  if (!ScanRecord::Decode(data, count)) return 0;
  ComputeStatistics();
  return 1;
}

int BeamBitmapScan::BeamState(int index) const {
  if (index < 0 || index >= channel_count || !reply) return 0;
  const int at = 2 + index / 8;
  const int length = expected_length < reply_size ? expected_length : reply_size;
  if (at >= length - 1) return 0;  // never the LF, never past the buffer
  return (static_cast<unsigned char>(reply[static_cast<size_t>(at)]) >> (index % 8)) & 1;
}

int BeamBitmapScan::Equals(const BeamBitmapScan& other) const {
  if (channel_count != other.channel_count || expected_length != other.expected_length) return 0;
  const int length = expected_length;
  if (length > reply_size || length > other.reply_size) return 0;
  if (length <= 0) return 1;
  return std::memcmp(reply.get(), other.reply.get(), static_cast<size_t>(length)) == 0 ? 1 : 0;
}

void BeamBitmapScan::Assign(const BeamBitmapScan& other) {
  if (this == &other) return;
  const int length = other.expected_length < 0 ? 0 : other.expected_length;
  if (expected_length != length || reply_size < length) Allocate(length);
  CopySummary(other);
  const int available = length < other.reply_size ? length : other.reply_size;
  if (available > 0) std::memcpy(reply.get(), other.reply.get(), static_cast<size_t>(available));
  if (length > available) std::memset(reply.get() + available, 0, static_cast<size_t>(length - available));
}

}  // namespace kelvt
