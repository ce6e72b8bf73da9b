#pragma once
// Which device a path names, whatever the name: a symbolic link and its
// target, /dev/ttyUSB0 and its /dev/serial/by-id link, and the same USB
// adapter under a new ttyUSB name after re-plugging are one device. The
// journal records a device's identity and matches entries by it.
//
// A path holding "://" (rfc2217://HOST:PORT, tcp://HOST:PORT) is a network
// port: an opaque identity (scheme and host lower-cased), nothing resolved.

#include <string>

#include "serial/sysfs_serial_devices.h"

namespace kelvt {

struct DeviceIdentity {
  std::string path;           // as named (a COM number is resolved by the caller)
  std::string canonical;      // the device the path leads to (realpath); the
                              // path itself when it leads nowhere now
  std::string by_id;          // the /dev/serial/by-id link to it; empty when none
  std::string serial_number;  // the USB adapter's serial number; empty when none
  bool network = false;       // a network port: only `canonical` counts
};

// What is known of `path` now. A device that is absent keeps what its name
// tells: a by-id path stays its own by-id path.
DeviceIdentity IdentifyDevice(const std::string& path, const SysfsRoots& roots = {});

// Whether two identities name one device. When both know a by-id link, or
// both a USB serial number, those decide (another adapter under the same
// ttyUSB name is another device); otherwise the device the paths lead to.
bool SameDevice(const DeviceIdentity& a, const DeviceIdentity& b);

// "rfc2217://Host:2217" -> "rfc2217://host:2217"; "" for a path without "://".
std::string NetworkIdentity(const std::string& path);

}  // namespace kelvt
