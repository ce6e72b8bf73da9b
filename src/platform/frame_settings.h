#pragma once
// What the main window keeps in the settings file: the selected port and the
// save-on-exit flag, whether a part-number list exists, the device path
// overrides of the Devices section, the folder of scan recordings, the trend
// plot's time axis, and the size and place of each resizable window.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace kelvt {

// A window's size and, where the desktop lets a program place its windows,
// its place: "W,H" or "W,H,X,Y" in the Windows section.
struct WindowPlace {
  int width = 0;
  int height = 0;
  bool has_position = false;
  int x = 0;
  int y = 0;
};
// False (and `place` untouched) for anything but two sizes of 1 to 32767,
// optionally followed by two coordinates of -32768 to 32767.
bool ParseWindowPlace(std::string_view text, WindowPlace& place);
std::string FormatWindowPlace(const WindowPlace& place);

struct FrameSettings {
  int save_on_exit = 1;          // Options/Save; any value other than 0 counts as set
  int part_numbers_present = 0;  // PartNumbers has at least one entry
  int port_number = 1;           // Communication/Port, 0-based; taken as stored, even out of range
  std::map<int, std::string> devices;
  std::string record_folder;     // Records/Folder; empty: the default folder
  int trend_clock_time = -1;     // Measurement/TimeAxis: 1 Clock, 0 Seconds, -1 not chosen
  std::map<std::string, WindowPlace> windows;  // Windows section, by window name
};

FrameSettings ReadFrameSettings(const Profile& profile);

// Port, Save, a chosen record folder and time axis, and the windows' places go into `profile` only while
// save_on_exit is set; returns whether anything was written.
bool WriteFrameSettings(const FrameSettings& settings, Profile& profile);

}  // namespace kelvt
