#pragma once
// The part numbers a site offers, from the entries of the settings file's
// PartNumbers section: each value must be exactly six printable ASCII
// characters (bytes, as the controller stores them); any other value is left
// out with a warning.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvt {

inline constexpr std::size_t kPartNumberLength = 6;

// The warning never grows past this many characters, however long the value
// or the entry name: each is shortened to kWarningFieldMax characters, the
// last three of them "...".
inline constexpr std::size_t kWarningMax = 255;
inline constexpr std::size_t kWarningFieldMax = 64;

struct PartNumberChoice {
  std::vector<std::string> part_numbers;  // valid values, in file order
  std::vector<std::string> warnings;      // one per rejected entry, in file order
};

bool IsValidPartNumber(std::string_view value);

// "Warning: Ini value: '<value>' for entry '<name>' must be six characters",
// or "... must be printable characters" for six characters that are not;
// control bytes of the value and name show as '?'.
std::string PartNumberWarning(std::string_view value, std::string_view name);

// `entries` are (name, value) pairs in the order they stand in the file.
PartNumberChoice ChoosePartNumbers(
    const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace kelvt
