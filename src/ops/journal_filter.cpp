#include "ops/journal_filter.h"

#include <cctype>
#include <string>

namespace kelvt {
namespace {

// Reads `width` digits at `at`; -1 when they are not all digits.
int DigitsAt(std::string_view text, std::size_t at, std::size_t width) {
  if (at + width > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::time_t FromParts(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      minute > 59 || second > 60) {
    return -1;
  }
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;  // whatever the local rule says for that day
  const std::tm asked = t;
  const std::time_t moment = std::mktime(&t);
  // mktime moves 31 February to March: such a date names nothing.
  if (moment == -1 || t.tm_mday != asked.tm_mday || t.tm_mon != asked.tm_mon) return -1;
  return moment;
}

// "YYYY-MM-DD", then optionally ' ' or 'T' and "HH:MM" or "HH:MM:SS".
std::time_t ParseLocal(std::string_view text) {
  const int year = DigitsAt(text, 0, 4);
  const int month = DigitsAt(text, 5, 2);
  const int day = DigitsAt(text, 8, 2);
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || year < 0 || month < 0 || day < 0) {
    return -1;
  }
  if (text.size() == 10) return FromParts(year, month, day, 0, 0, 0);
  if ((text[10] != ' ' && text[10] != 'T') || (text.size() != 16 && text.size() != 19) ||
      text[13] != ':' || (text.size() == 19 && text[16] != ':')) {
    return -1;
  }
  const int hour = DigitsAt(text, 11, 2);
  const int minute = DigitsAt(text, 14, 2);
  const int second = text.size() == 19 ? DigitsAt(text, 17, 2) : 0;
  if (hour < 0 || minute < 0 || second < 0) return -1;
  return FromParts(year, month, day, hour, minute, second);
}

}  // namespace

std::time_t LocalTimeOf(std::string_view text) {
  return text.size() == 19 ? ParseLocal(text) : -1;
}

bool ParseSince(std::string_view text, std::time_t now, std::time_t& since) {
  if (text.size() >= 2 && text.size() <= 8) {
    const char unit = text.back();
    const long per = unit == 'm' ? 60L : unit == 'h' ? 3600L : unit == 'd' ? 86400L : 0L;
    const int count = DigitsAt(text, 0, text.size() - 1);
    if (per != 0 && count >= 0) {
      since = now - static_cast<std::time_t>(count * per);
      return true;
    }
  }
  const std::time_t moment = ParseLocal(text);
  if (moment == -1) return false;
  since = moment;
  return true;
}

}  // namespace kelvt
