#include "cli/stamp_values.h"

#include "platform/profile.h"
#include "psf/part_numbers.h"

namespace kelvt::cli {

bool IsValidDateCode(std::string_view text) {
  if (text.size() != 4) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const int week = (text[2] - '0') * 10 + (text[3] - '0');
  return week >= 1 && week <= 53;
}

std::string ResolvePartNumber(std::string_view given,
                              const std::vector<std::pair<std::string, std::string>>& entries) {
  if (IsValidPartNumber(given)) return std::string(given);
  for (const auto& [name, value] : entries) {
    if (SameName(name, given)) return IsValidPartNumber(value) ? value : std::string();
  }
  return {};
}

}  // namespace kelvt::cli
