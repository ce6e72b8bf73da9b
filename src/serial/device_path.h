#pragma once
// Port number to device path: a per-port override from the settings file
// (section Devices, key COM<n+1>), else /dev/ttyS<n>.

#include <map>
#include <string>

namespace kelvt {

// Overrides keyed by 0-based port number.
using DeviceOverrides = std::map<int, std::string>;

// An empty override counts as none. A negative port number has no device:
// the path is empty.
std::string DevicePathForPort(int port_number, const DeviceOverrides* overrides = nullptr);

}  // namespace kelvt
