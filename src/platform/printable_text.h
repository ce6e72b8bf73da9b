#pragma once
// Text from a controller or a file, made safe to show: a terminal or a
// message box never receives its control bytes.

#include <string>
#include <string_view>

namespace kelvt {

// `text` with every byte outside printable ASCII shown as \xNN.
std::string PrintableText(std::string_view text);

}  // namespace kelvt
