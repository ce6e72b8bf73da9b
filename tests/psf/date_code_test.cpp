#include "psf/date_code.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvt {
namespace {

struct DateCase {
  int year, month, day;
  const char* expected;
};

class DateCodeForDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateCodeForDateTest, GivesYearWithinCenturyAndWeekOfYear) {
  const DateCase& c = GetParam();
  char code[kDateCodeSize] = "xxxx";
  ASSERT_TRUE(DateCodeForDate(c.year, c.month, c.day, code));
  EXPECT_STREQ(code, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateCodeForDateTest,
    ::testing::Values(DateCase{2026, 1, 1, "2601"},     // first day
                      DateCase{2026, 1, 7, "2601"},     // last day of week 1
                      DateCase{2026, 1, 8, "2602"},     // first day of week 2
                      DateCase{2026, 12, 31, "2653"},   // common year
                      DateCase{2024, 12, 31, "2453"},   // leap year: day 365
                      DateCase{2024, 12, 30, "2453"},
                      DateCase{2023, 12, 30, "2352"},   // day 363 of a common year
                      DateCase{2024, 3, 1, "2409"},     // day 60 after 29 February
                      DateCase{2023, 3, 1, "2309"},     // day 59
                      DateCase{2000, 6, 15, "0024"},    // year 2000 gives 00
                      DateCase{1999, 1, 1, "9901"},
                      DateCase{2026, 12, 6, "2649"},
                      DateCase{2100, 1, 1, "0001"},     // past 2099: still four characters
                      DateCase{2105, 2, 1, "0505"}));

TEST(DateCodeForDate, RejectsDaysTheYearDoesNotHave) {
  struct {
    int year, month, day;
  } bad[] = {{2023, 2, 29}, {2024, 2, 30}, {2026, 0, 1}, {2026, 13, 1},
             {2026, 4, 31}, {2026, 1, 0},  {2026, 1, 32}};
  for (const auto& b : bad) {
    char code[kDateCodeSize] = "xxxx";
    EXPECT_FALSE(DateCodeForDate(b.year, b.month, b.day, code)) << b.year << "-" << b.month << "-" << b.day;
    EXPECT_STREQ(code, "");
  }
  char code[kDateCodeSize];
  EXPECT_TRUE(DateCodeForDate(2024, 2, 29, code));
  EXPECT_STREQ(code, "2409");
}

TEST(DateCodeFromTm, UsesYearsSince1900AndDayOfYear) {
  struct {
    int tm_year, tm_yday;
    const char* expected;
  } cases[] = {{126, 339, "2649"}, {100, 0, "0001"}, {99, 364, "9953"},
               {200, 6, "0001"},   {201, 7, "0102"}, {-1, 0, "9901"}};
  for (const auto& c : cases) {
    std::tm date{};
    date.tm_year = c.tm_year;
    date.tm_yday = c.tm_yday;
    char code[kDateCodeSize];
    DateCodeFromTm(date, code);
    EXPECT_STREQ(code, c.expected) << c.tm_year << "/" << c.tm_yday;
  }
}

TEST(TodayDateCode, MatchesTheLocalDate) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ASSERT_NE(localtime_r(&now, &local), nullptr);
  char expected[kDateCodeSize];
  ASSERT_TRUE(DateCodeForDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, expected));
  char today[kDateCodeSize];
  TodayDateCode(today);
  // Midnight could pass between the two readings; then only the day moved.
  if (std::string(today) != expected) {
    std::tm again{};
    const std::time_t later = std::time(nullptr);
    ASSERT_NE(localtime_r(&later, &again), nullptr);
    EXPECT_NE(again.tm_yday, local.tm_yday);
  }
  EXPECT_EQ(std::string(today).size(), 4u);
}

}  // namespace
}  // namespace kelvt
