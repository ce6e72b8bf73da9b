#pragma once
// What the main window keeps in the settings file: the selected port and the
// save-on-exit flag, whether a part-number list exists, the device path
// overrides of the Devices section, and the folder of scan recordings.

#include <cstdint>
#include <map>
#include <string>

#include "platform/profile.h"

namespace kelvt {

struct FrameSettings {
  int save_on_exit = 1;          // Options/Save; any value other than 0 counts as set
  int part_numbers_present = 0;  // PartNumbers has at least one entry
  int port_number = 1;           // Communication/Port, 0-based; taken as stored, even out of range
  std::map<int, std::string> devices;
  std::string record_folder;     // Records/Folder; empty: the default folder
};

FrameSettings ReadFrameSettings(const Profile& profile);

// Port, Save and a chosen record folder go into `profile` only while
// save_on_exit is set; returns whether anything was written.
bool WriteFrameSettings(const FrameSettings& settings, Profile& profile);

}  // namespace kelvt
