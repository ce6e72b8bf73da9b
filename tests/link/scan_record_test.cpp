// Scan records: framing, beam statistics, measurement values, comparisons and copies.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "link/scan_record.h"

namespace kelvt {
namespace {

// Hands the record exactly `bytes` in a buffer of that size, so that any read
// past `count` is caught by the address sanitizer.
template <typename Record>
int DecodeExact(Record& record, const std::string& bytes) {
  std::unique_ptr<char[]> exact(new char[bytes.size() + (bytes.empty() ? 1 : 0)]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return record.Decode(exact.get(), static_cast<int>(bytes.size()));
}

std::string Frame(const std::string& payload) { return "\x1c" "A" + payload + "\n"; }

TEST(BeamReplyLength, OneBitPerBeamInWholeBytesPlusTheFrame) {
  const std::pair<int, int> cases[] = {{0, 3},  {-8, 3}, {1, 4},  {7, 4},    {8, 4},
                                       {9, 5},  {12, 5}, {16, 5}, {24, 6},   {384, 51},
                                       {385, 52}, {INT_MAX, INT_MAX / 8 + 4}};
  for (const auto& [n, length] : cases) {
    SCOPED_TRACE(n);
    EXPECT_EQ(BeamReplyLength(n), length);
    if (n > 0 && n % 8 == 0) {
      EXPECT_EQ(length, n / 8 + 3);
    }
  }
}

TEST(BeamBitmapScan, NoBeamsIsAThreeByteFrameWithBothCountsZero) {
  BeamBitmapScan scan(0);
  EXPECT_EQ(scan.ExpectedLength(), 3);
  ASSERT_EQ(DecodeExact(scan, Frame("")), 1);
  EXPECT_EQ(scan.statistics.broken_count, 0);
  EXPECT_EQ(scan.statistics.made_count, 0);
  EXPECT_EQ(scan.statistics, BeamStatistics());
}

TEST(BeamBitmapScan, SixteenBeamsWithTheFirstAndLastBroken) {
  BeamBitmapScan scan(16);
  EXPECT_EQ(scan.ExpectedLength(), 5);
  ASSERT_EQ(DecodeExact(scan, Frame("\x01\x80")), 1);
  const BeamStatistics& s = scan.statistics;
  EXPECT_EQ(s.broken_count, 2);
  EXPECT_EQ(s.first_broken, 0);
  EXPECT_EQ(s.last_broken, 15);
  EXPECT_EQ(s.made_count, 14);
  EXPECT_EQ(s.first_made, 1);
  EXPECT_EQ(s.last_made, 14);
  EXPECT_EQ(scan.BeamState(0), 1);
  EXPECT_EQ(scan.BeamState(7), 0);
  EXPECT_EQ(scan.BeamState(15), 1);
}

struct StatCase {
  int n;
  std::string payload;
  BeamStatistics expected;  // broken, made, first/last broken, first/last made
};

BeamStatistics Stats(int broken, int made, int fb, int lb, int fm, int lm) {
  BeamStatistics s;
  s.broken_count = broken;
  s.made_count = made;
  s.first_broken = fb;
  s.last_broken = lb;
  s.first_made = fm;
  s.last_made = lm;
  return s;
}

TEST(BeamBitmapScan, StatisticsCountEveryBeamOnce) {
  const StatCase cases[] = {
      {8, std::string("\x00", 1), Stats(0, 8, INT32_MAX, INT32_MIN, 0, 7)},
      {8, "\xff", Stats(8, 0, 0, 7, INT32_MAX, INT32_MIN)},
      {16, "\x10\x01", Stats(2, 14, 4, 8, 0, 15)},
      {24, std::string("\x00\x00\x80", 3), Stats(1, 23, 23, 23, 0, 22)},
      // 12 beams: the second byte carries beams 8..11; its high bits belong to nobody.
      {12, "\xff\xff", Stats(12, 0, 0, 11, INT32_MAX, INT32_MIN)},
      {12, std::string("\x00\xf8", 2), Stats(1, 11, 11, 11, 0, 10)},
      {1, "\x01", Stats(1, 0, 0, 0, INT32_MAX, INT32_MIN)},
  };
  for (const StatCase& c : cases) {
    SCOPED_TRACE(c.n);
    BeamBitmapScan scan(c.n);
    ASSERT_EQ(DecodeExact(scan, Frame(c.payload)), 1);
    EXPECT_EQ(scan.statistics, c.expected);
    EXPECT_EQ(scan.statistics.broken_count + scan.statistics.made_count, c.n);
  }
}

TEST(BeamBitmapScan, BeamStateOutsideTheBeamsIsMadeAndNeverReadsTheFrame) {
  BeamBitmapScan scan(16);
  // The LF (0x0A) has bits 1 and 3 set: reading it as beams 17 and 19 would say "broken".
  ASSERT_EQ(DecodeExact(scan, Frame(std::string("\x00\x00", 2))), 1);
  for (const int i : {-1, 16, 17, 19, 23, 24, 1000, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(scan.BeamState(i), 0);
  }
}

TEST(BeamBitmapScan, NegativeBeamCountIsNoBeams) {
  BeamBitmapScan scan(-5);
  EXPECT_EQ(scan.ChannelCount(), 0);
  EXPECT_EQ(scan.ExpectedLength(), 3);
  EXPECT_EQ(DecodeExact(scan, Frame("")), 1);
}

struct FrameCase {
  const char* name;
  std::string reply;
};

TEST(BeamBitmapScan, WrongFramesAreRejectedAndResetOnlyTheStatistics) {
  BeamBitmapScan scan(16);
  ASSERT_EQ(DecodeExact(scan, Frame(std::string("\x0f\x00", 2))), 1);
  const std::string accepted(scan.Reply(), 5);
  const FrameCase cases[] = {
      {"one byte short", std::string("\x1c" "A\x01\n")},
      {"one byte long", std::string("\x1c" "A\x01\x02\x03\n")},
      {"wrong first byte", std::string("\x1b" "A\x01\x02\n")},
      {"wrong last byte", std::string("\x1c" "A\x01\x02\r")},
      {"empty", std::string()},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeExact(scan, c.reply), 0);
    EXPECT_EQ(scan.statistics, BeamStatistics());
    EXPECT_EQ(std::string(scan.Reply(), 5), accepted);
  }
  EXPECT_EQ(scan.Decode(nullptr, 5), 0);
}

TEST(BeamBitmapScan, EqualsComparesCountsLengthsAndEveryReplyByte) {
  BeamBitmapScan a(16), b(16), c(15), d(24);
  ASSERT_EQ(DecodeExact(a, Frame("\x01\x02")), 1);
  ASSERT_EQ(DecodeExact(b, Frame("\x01\x02")), 1);
  EXPECT_EQ(a.Equals(b), 1);
  ASSERT_EQ(DecodeExact(b, std::string("\x1c" "Z\x01\x02\n")), 1);
  EXPECT_EQ(a.Equals(b), 0) << "the identifier byte counts too";
  ASSERT_EQ(DecodeExact(c, Frame("\x01\x02")), 1);
  EXPECT_EQ(c.ExpectedLength(), a.ExpectedLength());
  EXPECT_EQ(a.Equals(c), 0) << "same length, other beam count";
  EXPECT_EQ(a.Equals(d), 0);
  EXPECT_EQ(a.SameChannelCount(b), 1);
  EXPECT_EQ(a.SameChannelCount(c), 0);
}

TEST(BeamBitmapScan, AssignCopiesEverythingAndResizesWhenNeeded) {
  BeamBitmapScan big(40), small(8);
  ASSERT_EQ(DecodeExact(big, Frame(std::string("\x01\x00\x00\x00\x80", 5))), 1);
  small.Assign(big);
  EXPECT_EQ(small.ExpectedLength(), 8);
  EXPECT_EQ(small.ChannelCount(), 40);
  EXPECT_EQ(small.statistics, big.statistics);
  EXPECT_EQ(small.Equals(big), 1);
  EXPECT_EQ(small.BeamState(39), 1);
  // The copy now takes replies of its new length.
  EXPECT_EQ(DecodeExact(small, Frame(std::string(5, '\xff'))), 1);
  EXPECT_EQ(small.statistics.broken_count, 40);

  small.Assign(small);
  EXPECT_EQ(small.statistics.broken_count, 40);
}

// CopySummary and CopyLength take over a length without touching the buffer;
// the record must then refuse what its buffer cannot hold.
TEST(BeamBitmapScan, CopiedLengthLargerThanTheBufferIsNeverOverrun) {
  BeamBitmapScan big(64), small(8);
  ASSERT_EQ(DecodeExact(big, Frame(std::string(8, '\xff'))), 1);
  small.CopySummary(big);
  EXPECT_EQ(small.ExpectedLength(), 11);
  EXPECT_EQ(small.ChannelCount(), 64);
  EXPECT_EQ(small.statistics.broken_count, 64);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(small.BeamState(i), 0) << i;
  EXPECT_EQ(DecodeExact(small, Frame(std::string(8, '\xff'))), 0);
  EXPECT_EQ(small.Equals(big), 0);
  big.Assign(small);  // copies what the smaller buffer holds, no more
  EXPECT_EQ(big.ExpectedLength(), 11);

  BeamBitmapScan other(8);
  other.CopyLength(big);
  EXPECT_EQ(other.ExpectedLength(), 11);
  other.CopyLength(other);
  EXPECT_EQ(other.ExpectedLength(), 11);
}

struct MeasurementCase {
  int mode;
  std::string payload;
  uint16_t value1;
  uint16_t value2;
};

TEST(MeasurementScan, ValuesByMode) {
  const MeasurementCase cases[] = {
      {0, "\x01\x2c", 300, 7},
      {1, "\x01\x2c", 0, 300},
      {2, std::string("\x01\x2c\xff\xff", 4), 300, 65535},
      {2, std::string("\x00\x00\x80\x00", 4), 0, 32768},
      {5, std::string("\x00\x01\x00\x02", 4), 1, 2},  // any other mode reads both, as its length says
  };
  for (const MeasurementCase& c : cases) {
    SCOPED_TRACE(c.mode);
    MeasurementScan scan(c.mode);
    EXPECT_EQ(scan.ExpectedLength(), c.mode == 0 || c.mode == 1 ? 5 : 7);
    scan.value1 = 9;
    scan.value2 = 7;
    ASSERT_EQ(DecodeExact(scan, Frame(c.payload)), 1);
    EXPECT_EQ(scan.value1, c.value1);
    EXPECT_EQ(scan.value2, c.value2);
  }
}

TEST(MeasurementScan, RejectedReplyClearsValue1AndKeepsValue2) {
  MeasurementScan scan(2);
  ASSERT_EQ(DecodeExact(scan, Frame(std::string("\x00\x05\x00\x06", 4))), 1);
  EXPECT_EQ(DecodeExact(scan, Frame("\x00\x05")), 0);
  EXPECT_EQ(scan.value1, 0);
  EXPECT_EQ(scan.value2, 6);
}

TEST(MeasurementScan, CopiedLengthNeverMakesItReadPastItsBuffer) {
  MeasurementScan five(0), seven(2);
  five.CopyLength(seven);
  EXPECT_EQ(five.ExpectedLength(), 7);
  EXPECT_EQ(DecodeExact(five, Frame(std::string("\x00\x05\x00\x06", 4))), 0);
  MeasurementValues values(2);
  EXPECT_EQ(values.Decode("\x1c" "A\x00\x01\x00\x02\n", 7), 0) << "no buffer, nothing accepted";
}

TEST(MeasurementValues, EqualityIgnoresTheModeAndCopyTakesItAll) {
  MeasurementScan a(0), b(1);
  a.value1 = 12;
  b.value1 = 12;
  EXPECT_EQ(a.Equals(b), 1) << "same length and values, only the mode differs";
  EXPECT_EQ(a.Differs(b), 0);
  b.value2 = 1;
  EXPECT_EQ(a.Equals(b), 0);
  EXPECT_EQ(a.Differs(b), 1);
  MeasurementScan c(2);
  c.value1 = 12;
  EXPECT_EQ(a.Equals(c), 0) << "lengths differ";

  MeasurementValues copy(0);
  copy.CopyValues(c);
  EXPECT_EQ(copy.mode, 2);
  EXPECT_EQ(copy.ExpectedLength(), 7);
  EXPECT_EQ(copy.value1, 12);
  EXPECT_EQ(copy.Equals(c), 1);
  copy.CopyValues(copy);
  EXPECT_EQ(copy.value1, 12);
}

}  // namespace
}  // namespace kelvt
