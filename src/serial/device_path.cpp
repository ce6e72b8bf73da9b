#include "serial/device_path.h"

namespace kelvt {

std::string DevicePathForPort(int port_number, const DeviceOverrides* overrides) {
  if (overrides != nullptr) {
    const auto it = overrides->find(port_number);
    if (it != overrides->end() && !it->second.empty()) return it->second;
  }
  // No port has a negative number; an empty path fails to open as "Port not found".
  if (port_number < 0) return std::string();
  return "/dev/ttyS" + std::to_string(port_number);
}

}  // namespace kelvt
