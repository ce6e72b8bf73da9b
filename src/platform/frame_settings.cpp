#include "platform/frame_settings.h"

#include <algorithm>
#include <charconv>

namespace kelvt {

namespace {

// The next comma-separated integer of `text` from `at`, within [low, high].
bool NextPlaceField(std::string_view text, std::size_t& at, int low, int high, int& value) {
  if (at > text.size()) return false;  // the text ended before this field
  const std::size_t end = std::min(text.find(',', at), text.size());
  std::string_view field = text.substr(at, end - at);
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
  int v = 0;
  const auto [next, error] = std::from_chars(field.data(), field.data() + field.size(), v);
  if (field.empty() || error != std::errc() || next != field.data() + field.size() || v < low ||
      v > high) {
    return false;
  }
  value = v;
  at = end + 1;
  return true;
}

}  // namespace

bool ParseWindowPlace(std::string_view text, WindowPlace& place) {
  WindowPlace p;
  std::size_t at = 0;
  if (!NextPlaceField(text, at, 1, 32767, p.width) || !NextPlaceField(text, at, 1, 32767, p.height)) {
    return false;
  }
  if (at <= text.size()) {
    if (!NextPlaceField(text, at, -32768, 32767, p.x) || !NextPlaceField(text, at, -32768, 32767, p.y) ||
        at <= text.size()) {
      return false;
    }
    p.has_position = true;
  }
  place = p;
  return true;
}

std::string FormatWindowPlace(const WindowPlace& place) {
  std::string text = std::to_string(place.width) + "," + std::to_string(place.height);
  if (place.has_position) text += "," + std::to_string(place.x) + "," + std::to_string(place.y);
  return text;
}

FrameSettings ReadFrameSettings(const Profile& profile) {
  FrameSettings s;
  s.save_on_exit = profile.GetInt("Options", "Save", 1);
  s.port_number = profile.GetInt("Communication", "Port", 1);
  s.part_numbers_present = profile.Entries("PartNumbers").empty() ? 0 : 1;
  s.devices = DeviceOverridesFrom(profile);
  s.record_folder = profile.GetString("Records", "Folder", "");
  const std::string axis = profile.GetString("Measurement", "TimeAxis", "");
  if (SameName(axis, "Clock")) s.trend_clock_time = 1;
  if (SameName(axis, "Seconds")) s.trend_clock_time = 0;
  for (const Profile::Entry& entry : profile.Entries("Windows")) {
    // Names compare case-insensitively and the first wins, as every key's.
    const bool seen = std::any_of(s.windows.begin(), s.windows.end(),
                                  [&](const auto& w) { return SameName(w.first, entry.first); });
    WindowPlace place;
    if (!seen && ParseWindowPlace(entry.second, place)) s.windows.emplace(entry.first, place);
  }
  return s;
}

bool WriteFrameSettings(const FrameSettings& settings, Profile& profile) {
  if (settings.save_on_exit == 0) return false;
  profile.SetInt("Communication", "Port", settings.port_number);
  profile.SetInt("Options", "Save", settings.save_on_exit);
  // The default folder is never written: it follows the home folder.
  if (!settings.record_folder.empty()) {
    profile.SetString("Records", "Folder", settings.record_folder);
  }
  if (settings.trend_clock_time >= 0) {
    profile.SetString("Measurement", "TimeAxis", settings.trend_clock_time ? "Clock" : "Seconds");
  }
  for (const auto& [name, place] : settings.windows) {
    profile.SetString("Windows", name, FormatWindowPlace(place));
  }
  return true;
}

}  // namespace kelvt
