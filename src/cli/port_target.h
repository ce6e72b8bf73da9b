#pragma once
// Which serial device a command talks to: --device PATH as given, or a port
// number (--port COMn, else the port selected in the settings file) mapped
// through the settings file's Devices section.

#include <string>
#include <string_view>

#include "serial/device_path.h"

namespace kelvt::cli {

inline constexpr int kPortCount = 24;

// "COM3", "com3" or "3" -> 2 (0-based). -1 for anything that is not one of
// the ports COM1..COM24.
int ParsePortArgument(std::string_view text);

// "COM3" for port number 2.
std::string PortName(int port_number);

struct PortTarget {
  int port_number = -1;  // 0-based; -1 when the device was named directly
  std::string device_path;

  // "COM3 (/dev/ttyS2)" or, for a device named directly, its path.
  std::string Describe() const;
};

// `port_argument` and `device_argument` are the options as given (empty when
// absent); `selected_port` is the settings file's port. False, with a
// message in `error`, when the port argument is not a port.
bool ResolvePortTarget(std::string_view port_argument, std::string_view device_argument,
                       int selected_port, const DeviceOverrides& overrides, PortTarget& target,
                       std::string& error);

}  // namespace kelvt::cli
