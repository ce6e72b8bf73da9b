#pragma once
// The settings file: an INI file kept with private-profile semantics.
//
// Section and key names compare case-insensitively and the first match wins;
// a section's entries are listed in file order. Writing a key changes only
// that key's line (adding the section or the key where missing) and keeps
// every other line, comment and blank line as it was. Saving replaces the
// file atomically (temporary file, then rename).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvt {

// kelvt.INI in $XDG_CONFIG_HOME, else in ~/.config. The desktop tool and the
// command-line tool share it.
std::string SettingsFilePath();
// $HOME when absolute, else the password database's; empty without either.
std::string HomeFolder();

class Profile {
 public:
  using Entry = std::pair<std::string, std::string>;

  Profile() = default;
  explicit Profile(std::string path) : path_(std::move(path)) {}

  // Reads the file at path(). A missing or unreadable file leaves the profile
  // empty and returns false; every value then takes its default. A file that
  // exists but could not be read (permissions, not a regular file, over
  // 1 MiB) sets LoadError(), and Save() then refuses to replace it.
  bool Load();
  // Writes the profile to path(), creating its folder if needed; false when
  // the file could not be written (the old file is then untouched) or when
  // the last Load found a file it could not read.
  bool Save() const;
  // Why the last Load could not read an existing file; empty when it could
  // (or when there was no file).
  const std::string& LoadError() const { return load_error_; }

  void Parse(std::string_view text);
  std::string Text() const;
  const std::string& path() const { return path_; }

  bool HasSection(std::string_view section) const;
  std::vector<std::string> SectionNames() const;
  // Entries of the first section of that name, in file order.
  std::vector<Entry> Entries(std::string_view section) const;

  std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view fallback) const;
  // Like the platform's private-profile integer read: an absent or empty
  // value gives `fallback`; otherwise an optional sign, an optional 0x/0o/0b
  // base prefix and the digits up to the first other character (none: 0),
  // wrapping at 32 bits.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t fallback) const;

  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int32_t value);

 private:
  struct Line {
    enum Kind { kOther, kSection, kEntry } kind = kOther;
    std::string text;  // the line as it stands in the file, without its end
    std::string name;  // section or key name, trimmed
    std::string value; // entry value, trimmed and unquoted
    bool crlf = false; // the line ended with CR LF
  };

  static Line Classify(std::string text);
  // A line added by a write, ended like the file's first line.
  Line NewLine(std::string text) const;
  // Index of the first section line named `section`, or -1.
  long FindSection(std::string_view section) const;
  // Index one past the last line of the section starting at `header`.
  size_t SectionEnd(size_t header) const;
  long FindEntry(long header, std::string_view key) const;

  std::string path_;
  std::string load_error_;
  std::vector<Line> lines_;
  std::string eol_ = "\n";
};

// Parses a private-profile integer as GetInt does; `fallback` for empty text.
int32_t ParseProfileInt(std::string_view text, int32_t fallback);

// Case-insensitive comparison of ASCII names.
bool SameName(std::string_view a, std::string_view b);

// Device paths from the Devices section: key COM<n> (n from 1) maps port
// n - 1 to the value. Other keys and empty values are ignored.
std::map<int, std::string> DeviceOverridesFrom(const Profile& profile);

}  // namespace kelvt
