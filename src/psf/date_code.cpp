#include "psf/date_code.h"

#include <cstdio>

namespace kelvt {

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

}  // namespace

void DateCodeFor(int year, int day_of_year, char (&out)[kDateCodeSize]) {
  // Past 2099 the plain "years since 1900, less 100" would need three
  // digits; the year within its century keeps the field four characters.
  int yy = year % 100;
  if (yy < 0) yy += 100;
  if (day_of_year < 0) day_of_year = 0;
  if (day_of_year > 365) day_of_year = 365;
  const int week = day_of_year / 7 + 1;  // 1 to 53
  std::snprintf(out, sizeof out, "%2.2d%2.2d", yy, week);
}

bool DateCodeForDate(int year, int month, int day, char (&out)[kDateCodeSize]) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    out[0] = '\0';
    return false;
  }
  int day_of_year = day - 1;
  for (int m = 1; m < month; ++m) day_of_year += DaysInMonth(year, m);
  DateCodeFor(year, day_of_year, out);
  return true;
}

void DateCodeFromTm(const std::tm& date, char (&out)[kDateCodeSize]) {
  // tm_year counts from 1900, a whole century, so its remainder is the year's.
  DateCodeFor(date.tm_year % 100 + 2000, date.tm_yday, out);
}

void TodayDateCode(char (&out)[kDateCodeSize]) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) {
    out[0] = '\0';
    return;
  }
  DateCodeFromTm(local, out);
}

}  // namespace kelvt
