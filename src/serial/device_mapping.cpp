#include "serial/device_mapping.h"

#include <sys/stat.h>

#include <cstdlib>

#include "serial/network_serial_port.h"

namespace kelvt {
namespace {

std::string Resolved(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string text(real);
  std::free(real);
  return text;
}

bool Matches(const SerialDevice& d, const std::string& mapped) {
  if (mapped == d.path || (!d.by_id.empty() && mapped == d.by_id) ||
      mapped == "/dev/" + d.kernel_name) {
    return true;
  }
  const std::string real = Resolved(mapped);
  return !real.empty() && real == Resolved(d.path);
}

}  // namespace

bool DevicePresent(const std::string& path) {
  if (IsNetworkPath(path)) return NetworkDeviceAccepts(path, 1000);
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::vector<DeviceEntry> MergeDevices(const std::vector<SerialDevice>& found,
                                      const DeviceOverrides& overrides) {
  std::vector<DeviceEntry> entries;
  for (const SerialDevice& d : found) {
    DeviceEntry e;
    e.path = d.path;
    e.listed = true;
    e.present = true;
    e.device = d;
    entries.push_back(std::move(e));
  }
  const size_t listed = entries.size();
  for (const auto& [port, mapped] : overrides) {  // ascending port numbers
    if (port < 0 || mapped.empty()) continue;
    DeviceEntry* match = nullptr;
    for (size_t i = 0; i < entries.size() && match == nullptr; ++i) {
      if (i < listed ? Matches(entries[i].device, mapped) : entries[i].path == mapped) {
        match = &entries[i];
      }
    }
    if (match == nullptr) {
      DeviceEntry e;
      e.path = mapped;
      e.device.path = mapped;
      e.present = DevicePresent(mapped);
      entries.push_back(std::move(e));
      match = &entries.back();
    }
    if (match->port_number < 0) match->port_number = port;
  }
  return entries;
}

void WriteDeviceMapping(Profile& profile, int port_number, const std::string& path) {
  profile.SetString("Devices", "COM" + std::to_string(port_number + 1), path);
}

}  // namespace kelvt
