#include "psf/part_numbers.h"

namespace kelvt {

namespace {

constexpr std::string_view kLead = "Warning: Ini value: '";
constexpr std::string_view kMiddle = "' for entry '";
constexpr std::string_view kTail = "' must be six characters";
constexpr std::string_view kPrintableTail = "' must be printable characters";
static_assert(kLead.size() + kMiddle.size() + kTail.size() + 2 * kWarningFieldMax <= kWarningMax);
static_assert(kPrintableTail.size() <= kTail.size() + 8);

bool Printable(char c) { return c >= 0x20 && c <= 0x7E; }

// At most kWarningFieldMax characters of `text`, marked "..." when cut.
std::string_view Shortened(std::string_view text, std::string& scratch) {
  // A control byte would act on the terminal or the message box: show '?'.
  const bool cut = text.size() > kWarningFieldMax;
  scratch.assign(text.substr(0, cut ? kWarningFieldMax - 3 : text.size()));
  for (char& c : scratch) {
    if (!Printable(c)) c = '?';
  }
  if (cut) scratch += "...";
  return scratch;
}

}  // namespace

bool IsValidPartNumber(std::string_view value) {
  if (value.size() != kPartNumberLength) return false;
  // Printable ASCII only: a NUL would end the text early on the controller,
  // and a CR or ESC would act on whatever shows it.
  for (char c : value) {
    if (!Printable(c)) return false;
  }
  return true;
}

std::string PartNumberWarning(std::string_view value, std::string_view name) {
  std::string value_scratch;
  std::string name_scratch;
  std::string text(kLead);
  text += Shortened(value, value_scratch);
  text += kMiddle;
  text += Shortened(name, name_scratch);
  text += value.size() == kPartNumberLength ? kPrintableTail : kTail;
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
