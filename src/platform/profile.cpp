#include "platform/profile.h"

#include "platform/safe_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kelvt {
namespace {

constexpr const char* kFileName = "kelvt.INI";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A value in matching quotes loses them.
std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
    return s.substr(1, s.size() - 2);
  }
  return s;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* pw = getpwuid(getuid());
  if (pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') return pw->pw_dir;
  return {};
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string SettingsFilePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative values are invalid by the XDG rules and are ignored.
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/" + kFileName;
  const std::string home = HomeFolder();
  if (home.empty()) return kFileName;
  return home + "/.config/" + kFileName;
}

int32_t ParseProfileInt(std::string_view text, int32_t fallback) {
  if (text.empty()) return fallback;
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char p = Lower(text[i + 1]);
    if (p == 'x') base = 16;
    if (p == 'o') base = 8;
    if (p == 'b') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;  // wraps like the platform's 32-bit parse, without overflow
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i]);
    if (d >= base) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

Profile::Line Profile::Classify(std::string text) {
  Line line;
  const std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';' || t.front() == '#') {
    line.kind = Line::kOther;
  } else if (t.front() == '[') {
    const size_t close = t.find(']');
    line.kind = Line::kSection;
    line.name = std::string(Trim(t.substr(1, close == std::string_view::npos ? t.npos : close - 1)));
  } else {
    const size_t eq = t.find('=');
    line.kind = Line::kEntry;
    if (eq == std::string_view::npos) {
      line.name = std::string(t);
    } else {
      line.name = std::string(Trim(t.substr(0, eq)));
      line.value = std::string(Unquote(Trim(t.substr(eq + 1))));
    }
  }
  line.text = std::move(text);
  return line;
}

void Profile::Parse(std::string_view text) {
  lines_.clear();
  eol_ = "\n";
  const size_t first_lf = text.find('\n');
  if (first_lf != std::string_view::npos && first_lf > 0 && text[first_lf - 1] == '\r') eol_ = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(start, end - start);
    const bool crlf = end < text.size() && !raw.empty() && raw.back() == '\r';
    if (crlf) raw.remove_suffix(1);
    lines_.push_back(Classify(std::string(raw)));
    lines_.back().crlf = crlf;
    start = end + 1;
  }
}

std::string Profile::Text() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.crlf ? "\r\n" : "\n";
  }
  return out;
}

bool Profile::Load() {
  lines_.clear();
  load_error_.clear();
  std::string content;
  const ReadRefusal refusal = ReadUserFile(path_.c_str(), kUserFileLimit, content);
  if (refusal != ReadRefusal::kNone) {
    const int err = errno;
    // A file that is there but cannot be read must never be replaced by the
    // few keys the program writes.
    if (!(refusal == ReadRefusal::kCannotOpen && err == ENOENT)) {
      load_error_ = RefusalText(refusal, err);
    }
    return false;
  }
  Parse(content);
  return true;
}

bool Profile::Save() const {
  if (!load_error_.empty()) {
    errno = EPERM;
    return false;
  }
  // Write through a symbolic link to the file it names.
  std::string target = path_;
  char resolved[PATH_MAX];
  if (realpath(path_.c_str(), resolved) != nullptr) target = resolved;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash);
  if (!MakeFolders(folder, 0755)) return false;
  const std::string text = Text();
  return ReplaceFileDurably(target.c_str(), text.data(), text.size()) != 0;
}

Profile::Line Profile::NewLine(std::string text) const {
  Line line = Classify(std::move(text));
  line.crlf = eol_ == "\r\n";
  return line;
}

long Profile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Line::kSection && SameName(lines_[i].name, section)) return static_cast<long>(i);
  }
  return -1;
}

size_t Profile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != Line::kSection) ++i;
  return i;
}

long Profile::FindEntry(long header, std::string_view key) const {
  if (header < 0) return -1;
  const size_t end = SectionEnd(static_cast<size_t>(header));
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (lines_[i].kind == Line::kEntry && SameName(lines_[i].name, key)) return static_cast<long>(i);
  }
  return -1;
}

bool Profile::HasSection(std::string_view section) const { return FindSection(section) >= 0; }

std::vector<std::string> Profile::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != Line::kSection) continue;
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, line.name);
    if (!seen) names.push_back(line.name);
  }
  return names;
}

std::vector<Profile::Entry> Profile::Entries(std::string_view section) const {
  std::vector<Entry> entries;
  const long header = FindSection(section);
  if (header < 0) return entries;
  const size_t end = SectionEnd(static_cast<size_t>(header));
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (lines_[i].kind == Line::kEntry) entries.emplace_back(lines_[i].name, lines_[i].value);
  }
  return entries;
}

std::optional<std::string> Profile::GetString(std::string_view section, std::string_view key) const {
  const long i = FindEntry(FindSection(section), key);
  if (i < 0) return std::nullopt;
  return lines_[static_cast<size_t>(i)].value;
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
  std::optional<std::string> value = GetString(section, key);
  return value ? *value : std::string(fallback);
}

int32_t Profile::GetInt(std::string_view section, std::string_view key, int32_t fallback) const {
  const std::optional<std::string> value = GetString(section, key);
  return value ? ParseProfileInt(*value, fallback) : fallback;
}

void Profile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  long header = FindSection(section);
  const long at = FindEntry(header, key);
  if (at >= 0) {
    Line& line = lines_[static_cast<size_t>(at)];
    const bool crlf = line.crlf;
    line = Classify(line.name + "=" + std::string(value));
    line.crlf = crlf;
    return;
  }
  Line entry = NewLine(std::string(key) + "=" + std::string(value));
  if (header < 0) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(NewLine(""));
    lines_.push_back(NewLine("[" + std::string(section) + "]"));
    lines_.push_back(std::move(entry));
    return;
  }
  // After the section's last entry or comment, before the blank lines that
  // separate it from the next section.
  size_t insert = SectionEnd(static_cast<size_t>(header));
  while (insert > static_cast<size_t>(header) + 1 && Trim(lines_[insert - 1].text).empty()) --insert;
  lines_.insert(lines_.begin() + static_cast<long>(insert), std::move(entry));
}

void Profile::SetInt(std::string_view section, std::string_view key, int32_t value) {
  SetString(section, key, std::to_string(value));
}

std::map<int, std::string> DeviceOverridesFrom(const Profile& profile) {
  std::map<int, std::string> overrides;
  for (const Profile::Entry& entry : profile.Entries("Devices")) {
    const std::string& key = entry.first;
    if (key.size() < 4 || key.size() > 8 || !SameName(key.substr(0, 3), "COM")) continue;
    int n = 0;
    bool digits = true;
    for (size_t i = 3; i < key.size(); ++i) {
      if (key[i] < '0' || key[i] > '9') digits = false;
      else n = n * 10 + (key[i] - '0');
    }
    if (!digits || n < 1 || entry.second.empty()) continue;
    overrides.emplace(n - 1, entry.second);  // first entry for a port wins
  }
  return overrides;
}

}  // namespace kelvt
