#include "platform/frame_settings.h"

namespace kelvt {

FrameSettings ReadFrameSettings(const Profile& profile) {
  FrameSettings s;
  s.save_on_exit = profile.GetInt("Options", "Save", 1);
  s.port_number = profile.GetInt("Communication", "Port", 1);
  s.part_numbers_present = profile.Entries("PartNumbers").empty() ? 0 : 1;
  s.devices = DeviceOverridesFrom(profile);
  return s;
}

bool WriteFrameSettings(const FrameSettings& settings, Profile& profile) {
  if (settings.save_on_exit == 0) return false;
  profile.SetInt("Communication", "Port", settings.port_number);
  profile.SetInt("Options", "Save", settings.save_on_exit);
  return true;
}

}  // namespace kelvt
