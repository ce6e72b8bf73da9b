#include "platform/frame_settings.h"

namespace kelvt {

FrameSettings ReadFrameSettings(const Profile& profile) {
  FrameSettings s;
  s.save_on_exit = profile.GetInt("Options", "Save", 1);
  s.port_number = profile.GetInt("Communication", "Port", 1);
  s.part_numbers_present = profile.Entries("PartNumbers").empty() ? 0 : 1;
  s.devices = DeviceOverridesFrom(profile);
  s.record_folder = profile.GetString("Records", "Folder", "");
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
  return true;
}

}  // namespace kelvt
