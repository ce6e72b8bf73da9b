#pragma once
// The controller's date code: four digits YYWW, the year within its century
// and the week of the year counted in blocks of seven days from 1 January.

#include <ctime>

namespace kelvt {

inline constexpr int kDateCodeSize = 5;  // four digits and the NUL

// From a year (e.g. 2026) and the 0-based day of that year. Any year keeps
// the code at four characters: only the year within its century is written.
void DateCodeFor(int year, int day_of_year, char (&out)[kDateCodeSize]);

// From a calendar date (month 1-12, day 1-31). False, with "" in `out`, for a
// month or day that the year does not have.
bool DateCodeForDate(int year, int month, int day, char (&out)[kDateCodeSize]);

// From a broken-down local time (tm_year, tm_yday).
void DateCodeFromTm(const std::tm& date, char (&out)[kDateCodeSize]);

// Today's date code from the local date.
void TodayDateCode(char (&out)[kDateCodeSize]);

}  // namespace kelvt
