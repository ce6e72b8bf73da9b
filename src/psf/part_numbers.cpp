#include "psf/part_numbers.h"

namespace kelvt {

namespace {

constexpr std::string_view kLead = "Warning: Ini value: '";
constexpr std::string_view kMiddle = "' for entry '";
constexpr std::string_view kTail = "' must be six characters";
static_assert(kLead.size() + kMiddle.size() + kTail.size() + 2 * kWarningFieldMax <= kWarningMax);

// At most kWarningFieldMax characters of `text`, marked "..." when cut.
std::string_view Shortened(std::string_view text, std::string& scratch) {
  if (text.size() <= kWarningFieldMax) return text;
  scratch.assign(text.substr(0, kWarningFieldMax - 3));
  scratch += "...";
  return scratch;
}

}  // namespace

bool IsValidPartNumber(std::string_view value) {
  if (value.size() != kPartNumberLength) return false;
  // An embedded NUL would end the text early on the controller.
  return value.find('\0') == std::string_view::npos;
}

std::string PartNumberWarning(std::string_view value, std::string_view name) {
  std::string value_scratch;
  std::string name_scratch;
  std::string text(kLead);
  text += Shortened(value, value_scratch);
  text += kMiddle;
  text += Shortened(name, name_scratch);
  text += kTail;
  return text;
}

PartNumberChoice ChoosePartNumbers(
    const std::vector<std::pair<std::string, std::string>>& entries) {
  PartNumberChoice choice;
  for (const auto& [name, value] : entries) {
    if (IsValidPartNumber(value)) {
      choice.part_numbers.push_back(value);
    } else {
      choice.warnings.push_back(PartNumberWarning(value, name));
    }
  }
  return choice;
}

}  // namespace kelvt
