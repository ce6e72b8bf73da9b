#pragma once
// The part number and date code given to `stamp`.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvt::cli {

// Four digits YYWW with a week from 01 to 53, as today's code could be.
bool IsValidDateCode(std::string_view text);

// The part number to stamp for `given`: the text itself when it is a valid
// part number (six characters), else the value of the settings entry of
// that name (PartNumbers section, names compared without case) when that
// value is valid. Empty when neither.
std::string ResolvePartNumber(std::string_view given,
                              const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace kelvt::cli
