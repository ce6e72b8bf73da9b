#include "serial/serial_device_list.h"

#include <libudev.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "serial/sysfs_serial_devices.h"

namespace kelvt {
namespace {

constexpr const char* kByIdPrefix = "/dev/serial/by-id/";

std::string Text(const char* value) { return value != nullptr ? std::string(value) : std::string(); }

std::string Attribute(udev_device* dev, const char* name) {
  return dev != nullptr ? Text(udev_device_get_sysattr_value(dev, name)) : std::string();
}

// The hardware's driver; a UART's "serial-base" port device stands between.
std::string DriverOf(udev_device* dev) {
  for (udev_device* d = udev_device_get_parent(dev); d != nullptr; d = udev_device_get_parent(d)) {
    const char* subsystem = udev_device_get_subsystem(d);
    if (subsystem != nullptr && std::strcmp(subsystem, "serial-base") == 0) continue;
    return Text(udev_device_get_driver(d));
  }
  return {};
}

std::string ByIdLink(udev_device* dev) {
  std::string found;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(dev)) {
    const std::string link = Text(udev_list_entry_get_name(entry));
    if (link.rfind(kByIdPrefix, 0) == 0 && (found.empty() || link < found)) found = link;
  }
  return found;
}

bool Listed(udev_device* dev) {
  if (udev_device_get_parent(dev) == nullptr) return false;  // nothing behind it
  const char* type = udev_device_get_sysattr_value(dev, "type");
  return type == nullptr || std::strcmp(type, "0") != 0;  // a serial-core port with no UART
}

SerialDevice Describe(udev_device* dev) {
  SerialDevice d;
  d.kernel_name = Text(udev_device_get_sysname(dev));
  d.driver = DriverOf(dev);
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device");
  if (usb != nullptr) {
    d.vendor_id = Attribute(usb, "idVendor");
    d.product_id = Attribute(usb, "idProduct");
    d.maker = Attribute(usb, "manufacturer");
    d.product = Attribute(usb, "product");
    d.serial_number = Attribute(usb, "serial");
  }
  d.by_id = ByIdLink(dev);
  const std::string node = Text(udev_device_get_devnode(dev));
  d.path = !d.by_id.empty() ? d.by_id : !node.empty() ? node : "/dev/" + d.kernel_name;
  return d;
}

}  // namespace

bool UdevDatabasePresent() {
  struct stat info {};
  return stat("/run/udev/data", &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<SerialDevice> ListUdevSerialDevices() {
  std::vector<SerialDevice> devices;
  udev* u = udev_new();
  if (u == nullptr) return devices;
  udev_enumerate* e = udev_enumerate_new(u);
  if (e != nullptr && udev_enumerate_add_match_subsystem(e, "tty") >= 0 &&
      udev_enumerate_scan_devices(e) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
      udev_device* dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
      if (dev == nullptr) continue;
      if (Listed(dev)) devices.push_back(Describe(dev));
      udev_device_unref(dev);
    }
  }
  udev_enumerate_unref(e);
  udev_unref(u);
  SortSerialDevices(devices);
  return devices;
}

std::vector<SerialDevice> ListSerialDevices() {
  return UdevDatabasePresent() ? ListUdevSerialDevices() : ListSysfsSerialDevices();
}

SerialDeviceMonitor::SerialDeviceMonitor() {
  udev_ = udev_new();
  if (udev_ == nullptr) return;
  // udev's own events come after it has made the by-id links; without udev
  // only the kernel's are there.
  monitor_ = udev_monitor_new_from_netlink(udev_, UdevDatabasePresent() ? "udev" : "kernel");
  if (monitor_ == nullptr) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    return;
  }
  fd_ = udev_monitor_get_fd(monitor_);
}

SerialDeviceMonitor::~SerialDeviceMonitor() {
  udev_monitor_unref(monitor_);
  udev_unref(udev_);
}

bool SerialDeviceMonitor::TakeChanges() {
  if (monitor_ == nullptr || fd_ < 0) return false;
  bool changed = false;
  // The monitor's socket is non-blocking: this returns null once drained.
  while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
    changed = true;
    udev_device_unref(dev);
  }
  return changed;
}

}  // namespace kelvt
