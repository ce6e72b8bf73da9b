#pragma once
// JSON lines with their leading "time" member taken out, so tests can
// compare the rest exactly. A top-level object without it is marked, so a
// missing time fails the comparison.

#include <sstream>
#include <string>

namespace kelvt::cli::test_support {

inline std::string WithoutTime(const std::string& lines) {
  static const std::string kLead = "{\"time\":\"";
  std::istringstream in(lines);
  std::string result, line;
  while (std::getline(in, line)) {
    if (line.rfind(kLead, 0) == 0) {
      const std::size_t end = line.find('"', kLead.size());
      const std::size_t cut = end == std::string::npos ? line.size() : end + 1;
      line = "{" + line.substr(cut < line.size() && line[cut] == ',' ? cut + 1 : cut);
    } else if (!line.empty() && line[0] == '{') {
      line = "<no time> " + line;
    }
    result += line + (in.eof() ? "" : "\n");
  }
  return result;
}

}  // namespace kelvt::cli::test_support
