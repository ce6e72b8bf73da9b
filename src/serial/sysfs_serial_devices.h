#pragma once
// The serial devices as the kernel's sysfs shows them (/sys/class/tty), for
// machines without a udev database (containers, CI). The roots are a seam:
// tests point them at a fake tree.

#include <string>
#include <vector>

#include "serial/serial_device.h"

namespace kelvt {

struct SysfsRoots {
  std::string sys = "/sys";
  std::string dev = "/dev";
};

// The tty devices that have hardware behind them, sorted by kernel name:
// a tty without a device (virtual consoles, ptmx) is left out, and so is a
// serial-core port whose UART type is 0 (a ttyS node the machine has no
// UART for).
std::vector<SerialDevice> ListSysfsSerialDevices(const SysfsRoots& roots = {});

// One tty by kernel name (ttyUSB0), as ListSysfsSerialDevices lists it;
// false when sysfs shows no hardware behind it.
bool ReadSysfsSerialDevice(const std::string& kernel_name, const SysfsRoots& roots,
                           SerialDevice& out);

// By kernel name, its trailing number counted as a number (ttyS2 before ttyS10).
void SortSerialDevices(std::vector<SerialDevice>& devices);

// The /dev/serial/by-id link (under roots.dev) that leads to `kernel_name`;
// empty when none does.
std::string FindByIdLink(const std::string& kernel_name, const SysfsRoots& roots = {});

}  // namespace kelvt
