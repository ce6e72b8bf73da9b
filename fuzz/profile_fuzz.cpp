// The settings file from arbitrary bytes: parse, list every section and
// entry, read them back, write a key and read everything again.
//
// Input: one control byte, a section name, a key and a value for the write
// (each up to a NUL byte, lines and the characters that would make them
// another kind of line left out), then the file's text.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_input.h"
#include "platform/profile.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// The value a reader sees for a written value: trimmed, and without a pair
// of matching quotes.
std::string Expected(std::string_view value) {
  std::string_view v = Trim(value);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

// Takes bytes up to a NUL (or the end), dropping those in `banned`.
std::string TakeField(std::string_view& in, std::string_view banned) {
  std::string out;
  size_t i = 0;
  for (; i < in.size() && in[i] != '\0'; ++i) {
    if (banned.find(in[i]) == std::string_view::npos) out += in[i];
  }
  in.remove_prefix(i < in.size() ? i + 1 : i);
  return out;
}

// What every section and key of the profile reads as, in listing order.
using Snapshot = std::vector<std::pair<std::string, std::vector<kelvt::Profile::Entry>>>;

Snapshot Take(const kelvt::Profile& p) {
  Snapshot s;
  for (const std::string& section : p.SectionNames()) s.emplace_back(section, p.Entries(section));
  return s;
}

// Listing and lookup agree: each key reads as its first entry in the section.
void CheckConsistent(const kelvt::Profile& p, const Snapshot& s) {
  for (const auto& [section, entries] : s) {
    Check(p.HasSection(section));
    for (size_t i = 0; i < entries.size(); ++i) {
      size_t first = i;
      for (size_t j = 0; j < i; ++j) {
        if (kelvt::SameName(entries[j].first, entries[i].first)) {
          first = j;
          break;
        }
      }
      const std::optional<std::string> got = p.GetString(section, entries[i].first);
      Check(got.has_value() && *got == entries[first].second);
      (void)p.GetInt(section, entries[i].first, -7);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kelvt::Profile;
  if (size == 0) return 0;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  const uint8_t control = static_cast<uint8_t>(in[0]);
  in.remove_prefix(1);
  std::string section = std::string(Trim(TakeField(in, "]\r\n")));
  std::string key = std::string(Trim(TakeField(in, "=\r\n")));
  const std::string value = TakeField(in, "\r\n");
  // A key starting like a section or a comment would make another kind of line.
  while (!key.empty() && (key[0] == '[' || key[0] == ';' || key[0] == '#')) {
    key = std::string(Trim(std::string_view(key).substr(1)));
  }

  Profile p;
  p.Parse(in);
  const Snapshot before = Take(p);
  CheckConsistent(p, before);
  (void)kelvt::DeviceOverridesFrom(p);

  // The text written is read back as the same profile, and writing it again
  // changes nothing.
  const std::string text = p.Text();
  Profile again;
  again.Parse(text);
  Check(Take(again) == before);
  Check(again.Text() == text);

  if (key.empty()) return 0;
  const Profile original = p;
  if (control & 1) {
    p.SetInt(section, key, static_cast<int32_t>(control) - 128);
    Check(p.GetInt(section, key, 12345) == static_cast<int32_t>(control) - 128);
  } else {
    p.SetString(section, key, value);
    const std::optional<std::string> got = p.GetString(section, key);
    Check(got.has_value() && *got == Expected(value));
  }
  // Every other key reads as before the write.
  const Snapshot after = Take(p);
  CheckConsistent(p, after);
  for (const auto& [name, entries] : before) {
    for (const auto& entry : entries) {
      if (kelvt::SameName(name, section) && kelvt::SameName(entry.first, key)) continue;
      Check(p.GetString(name, entry.first) == original.GetString(name, entry.first));
    }
  }
  // And survives the trip through the file's text.
  Profile reread;
  reread.Parse(p.Text());
  Check(Take(reread) == after);
  return 0;
}
