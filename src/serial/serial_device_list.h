#pragma once
// The serial devices present, and a monitor that says when one came or went.
// The one place the system talks to udev: with a udev database the list
// comes from it (with the by-id links udev made); without one (containers,
// CI) from sysfs directly.

#include <memory>
#include <vector>

#include "serial/serial_device.h"

struct udev;
struct udev_monitor;

namespace kelvt {

// udev's list when the machine runs udev, else the sysfs reader's.
std::vector<SerialDevice> ListSerialDevices();
// udev's enumeration alone (it works without a database too, without the
// by-id links).
std::vector<SerialDevice> ListUdevSerialDevices();
// Whether udev keeps a database here (/run/udev).
bool UdevDatabasePresent();

// Hot-plug of tty devices. Poll Descriptor() for input, then call
// TakeChanges(). Without netlink (some containers) Descriptor() is -1.
class SerialDeviceMonitor {
 public:
  SerialDeviceMonitor();
  ~SerialDeviceMonitor();
  SerialDeviceMonitor(const SerialDeviceMonitor&) = delete;
  SerialDeviceMonitor& operator=(const SerialDeviceMonitor&) = delete;

  int Descriptor() const { return fd_; }
  // Drains the pending events without waiting; true when there was any.
  bool TakeChanges();

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  int fd_ = -1;
};

// What the Devices dialog lists and watches; tests give it a fake.
class SerialDeviceSource {
 public:
  virtual ~SerialDeviceSource() = default;
  virtual std::vector<SerialDevice> List() = 0;
  // -1 when there is nothing to watch.
  virtual int MonitorDescriptor() = 0;
  virtual bool TakeChanges() = 0;
};

class SystemSerialDevices : public SerialDeviceSource {
 public:
  std::vector<SerialDevice> List() override { return ListSerialDevices(); }
  int MonitorDescriptor() override { return monitor_.Descriptor(); }
  bool TakeChanges() override { return monitor_.TakeChanges(); }

 private:
  SerialDeviceMonitor monitor_;
};

}  // namespace kelvt
