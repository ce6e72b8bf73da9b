#pragma once
// JSON lines with their leading "time" member taken out, so tests can
// compare the rest exactly. A top-level object without it is marked, so a
// missing time fails the comparison. And the shapes of JSON lines.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

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

namespace kelvt::cli::test_support {

// The shape of JSON text: objects as {key:shape,...} in their order, arrays
// as the distinct shapes of their elements, [a|b], and s, n, b, null for
// strings, numbers, booleans and null. Anything that is not JSON shows as ?.
class JsonShape {
 public:
  explicit JsonShape(const std::string& text) : t_(text) {}

  std::string Value() {
    Space();
    if (at_ >= t_.size()) return "?";
    const char c = t_[at_];
    if (c == '{') return Members();
    if (c == '[') return Elements();
    if (c == '"') return Text(), "s";
    if (Word("true") || Word("false")) return "b";
    if (Word("null")) return "null";
    const std::size_t start = at_;
    while (at_ < t_.size() && std::string("-+.eE0123456789").find(t_[at_]) != std::string::npos) ++at_;
    return at_ > start ? "n" : "?";
  }
  bool AtEnd() {
    Space();
    return at_ == t_.size();
  }

 private:
  std::string Members() {
    ++at_;
    std::string shape = "{";
    for (bool first = true; !Take('}'); first = false) {
      if (!first && !Take(',')) return "?";
      Space();
      const std::string key = Text();
      if (!Take(':')) return "?";
      shape += (first ? "" : ",") + key + ":" + Value();
    }
    return shape + "}";
  }
  std::string Elements() {
    ++at_;
    std::vector<std::string> kinds;
    for (bool first = true; !Take(']'); first = false) {
      if (!first && !Take(',')) return "?";
      const std::string kind = Value();
      if (kind == "?") return "?";
      if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
    }
    std::string shape = "[";
    for (std::size_t i = 0; i < kinds.size(); ++i) shape += (i == 0 ? "" : "|") + kinds[i];
    return shape + "]";
  }
  std::string Text() {
    std::string text;
    if (at_ >= t_.size() || t_[at_] != '"') return "?";
    for (++at_; at_ < t_.size() && t_[at_] != '"'; ++at_) {
      if (t_[at_] == '\\') ++at_;
      text += t_[at_];
    }
    ++at_;
    return text;
  }
  bool Word(const char* word) {
    if (t_.compare(at_, std::strlen(word), word) != 0) return false;
    at_ += std::strlen(word);
    return true;
  }
  bool Take(char c) {
    Space();
    if (at_ >= t_.size() || t_[at_] != c) return false;
    ++at_;
    return true;
  }
  void Space() {
    while (at_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[at_]))) ++at_;
  }

  const std::string& t_;
  std::size_t at_ = 0;
};

// The distinct shapes of the lines of a JSON Lines text, in order of first
// appearance, one a line.
inline std::string JsonLineShapes(const std::string& lines) {
  std::istringstream in(lines);
  std::vector<std::string> shapes;
  std::string line;
  while (std::getline(in, line)) {
    JsonShape parser(line);
    std::string shape = parser.Value();
    if (!parser.AtEnd()) shape += " ?";
    if (std::find(shapes.begin(), shapes.end(), shape) == shapes.end()) shapes.push_back(shape);
  }
  std::string result;
  for (const std::string& shape : shapes) result += shape + "\n";
  return result;
}

}  // namespace kelvt::cli::test_support
