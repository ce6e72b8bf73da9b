#pragma once
// The devices found beside the settings file's [Devices] mappings: which COM
// number each device is mapped to, and mapped paths that lead to no device
// found (a simulator's pseudo-terminal, or an adapter that is unplugged).

#include <string>
#include <vector>

#include "platform/profile.h"
#include "serial/device_path.h"
#include "serial/serial_device.h"

namespace kelvt {

struct DeviceEntry {
  std::string path;      // what is opened and what a mapping writes (the by-id path where there is one)
  int port_number = -1;  // 0-based COM port mapped to it (the lowest of several), -1 none
  bool listed = false;   // one of the devices found (else only a mapping)
  bool present = true;   // the path exists; false: a mapped device not plugged in
  SerialDevice device;   // what was found (only the path for a mapping alone)
};

// The devices found, in their order, then the mappings that match none of
// them, by port number. A mapping matches a device by its path, its by-id
// link, /dev/<kernel name>, or the device the mapped path leads to.
std::vector<DeviceEntry> MergeDevices(const std::vector<SerialDevice>& found,
                                      const DeviceOverrides& overrides);

// Whether `path` exists (a dangling by-id link does not); a network
// device is there when its server accepts a connection.
bool DevicePresent(const std::string& path);

// Maps port `port_number` (0-based) to `path` in [Devices]; only that line changes.
void WriteDeviceMapping(Profile& profile, int port_number, const std::string& path);

}  // namespace kelvt
