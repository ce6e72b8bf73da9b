#include <gtest/gtest.h>

#include "cli/nullspan_values.h"
#include "cli/stamp_values.h"
#include "ops/journal_filter.h"

namespace kelvt::cli {
namespace {

struct ClampCase {
  const char* text;
  int min;
  int max;
  bool valid;
  int value;
  bool clamped;
};

class NullSpanArgumentTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(NullSpanArgumentTest, ClampsLikeLeavingTheDialogField) {
  const ClampCase& c = GetParam();
  const NullSpanArgument a = ClampNullSpanArgument(c.text, c.min, c.max);
  EXPECT_EQ(a.valid, c.valid) << c.text;
  if (!c.valid) return;
  EXPECT_EQ(a.value, c.value) << c.text;
  EXPECT_EQ(a.clamped, c.clamped) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NullSpanArgumentTest,
    ::testing::Values(
        ClampCase{"250", 0, 1000, true, 250, false}, ClampCase{"0", 0, 1000, true, 0, false},
        ClampCase{"1000", 0, 1000, true, 1000, false},
        ClampCase{"1001", 0, 1000, true, 1000, true},
        ClampCase{"9999", 0, 1000, true, 1000, true},
        ClampCase{"12345", 0, 1000, true, 1000, true},
        ClampCase{"0000250", 0, 1000, true, 250, false},
        ClampCase{"1500", 2000, 4095, true, 2000, true},
        ClampCase{"2000", 2000, 4095, true, 2000, false},
        ClampCase{"4095", 2000, 4095, true, 4095, false},
        ClampCase{"4096", 2000, 4095, true, 4095, true},
        ClampCase{"0", 2000, 4095, true, 2000, true},
        ClampCase{"99999999999999999999", 2000, 4095, true, 4095, true},
        ClampCase{"", 0, 1000, false, 0, false}, ClampCase{"-5", 0, 1000, false, 0, false},
        ClampCase{"12a", 0, 1000, false, 0, false}, ClampCase{"1.5", 0, 1000, false, 0, false}));

TEST(NullSpanRangesTest, NullsAndSpansAlternateInFrameOrder) {
  EXPECT_EQ(NullSpanMin(0), 0);
  EXPECT_EQ(NullSpanMax(0), 1000);
  EXPECT_EQ(NullSpanMin(1), 2000);
  EXPECT_EQ(NullSpanMax(1), 4095);
  EXPECT_EQ(NullSpanMin(2), 0);
  EXPECT_EQ(NullSpanMax(3), 4095);
  EXPECT_STREQ(NullSpanName(3), "Span 2");
  EXPECT_STREQ(NullSpanName(4), "");
}

struct DateCase {
  const char* text;
  bool valid;
};

class DateCodeTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateCodeTest, FourDigitsWithAWeekOfTheYear) {
  EXPECT_EQ(IsValidDateCode(GetParam().text), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, DateCodeTest,
                         ::testing::Values(DateCase{"2649", true}, DateCase{"0001", true},
                                           DateCase{"9953", true}, DateCase{"2600", false},
                                           DateCase{"2654", false}, DateCase{"264", false},
                                           DateCase{"26490", false}, DateCase{"26a9", false},
                                           DateCase{"", false}, DateCase{"-101", false}));

TEST(PartNumberTest, SixCharactersOrAnEntryOfTheSettings) {
  const std::vector<std::pair<std::string, std::string>> entries{
      {"P1", "123456"}, {"Short", "12345"}, {"Model A", "ABCDEF"}};
  EXPECT_EQ(ResolvePartNumber("654321", entries), "654321");
  EXPECT_EQ(ResolvePartNumber("P1", entries), "123456");
  EXPECT_EQ(ResolvePartNumber("model a", entries), "ABCDEF");
  EXPECT_EQ(ResolvePartNumber("Short", entries), "");  // its value is not six characters
  EXPECT_EQ(ResolvePartNumber("P9", entries), "");
  EXPECT_EQ(ResolvePartNumber("1234567", entries), "");
  EXPECT_EQ(ResolvePartNumber("", entries), "");
}

TEST(JournalSinceTest, DatesTimesAndAges) {
  const std::time_t now = LocalTimeOf("2026-12-09 12:00:00");
  ASSERT_NE(now, -1);
  const struct {
    const char* text;
    std::time_t want;  // -1: refused
  } rows[] = {
      {"2026-12-09", now - 12 * 3600},
      {"2026-12-09 11:30", now - 1800},
      {"2026-12-09T11:59:30", now - 30},
      {"30m", now - 1800},
      {"12h", now - 12 * 3600},
      {"7d", now - 7 * 86400},
      {"2026-02-30", -1},
      {"2026-12-09 25:00", -1},
      {"2026-12-9", -1},
      {"7w", -1},
      {"d", -1},
      {"", -1},
  };
  for (const auto& row : rows) {
    std::time_t since = 0;
    EXPECT_EQ(ParseSince(row.text, now, since), row.want != -1) << row.text;
    if (row.want != -1) {
      EXPECT_EQ(since, row.want) << row.text;
    }
  }
  EXPECT_EQ(LocalTimeOf("2026-12-09"), -1);  // the journal always writes the time
}

}  // namespace
}  // namespace kelvt::cli
