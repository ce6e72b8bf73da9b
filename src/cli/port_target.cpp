#include "cli/port_target.h"

#include <cctype>

namespace kelvt::cli {

int ParsePortArgument(std::string_view text) {
  if (text.size() > 3 && std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(text[2])) == 'M') {
    text.remove_prefix(3);
  }
  if (text.empty() || text.size() > 2) return -1;
  int number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > kPortCount) return -1;
  return number - 1;
}

std::string PortName(int port_number) { return "COM" + std::to_string(port_number + 1); }

std::string PortTarget::Describe() const {
  if (port_number < 0) return device_path;
  return PortName(port_number) + " (" + device_path + ")";
}

bool ResolvePortTarget(std::string_view port_argument, std::string_view device_argument,
                       int selected_port, const DeviceOverrides& overrides, PortTarget& target,
                       std::string& error) {
  target = PortTarget{};
  if (!device_argument.empty()) {
    target.device_path = std::string(device_argument);
    return true;
  }
  int port = selected_port;
  if (!port_argument.empty()) {
    port = ParsePortArgument(port_argument);
    if (port < 0) {
      error = "--port: '" + std::string(port_argument) +
              "' is not a serial port; give COM1 to COM24 (or 1 to 24)";
      return false;
    }
  }
  target.port_number = port;
  target.device_path = DevicePathForPort(port, &overrides);
  return true;
}

}  // namespace kelvt::cli
