#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "serial/device_identity.h"
#include "serial/device_mapping.h"
#include "serial/serial_device_list.h"
#include "serial/sysfs_serial_devices.h"

namespace kelvt {
namespace {
namespace fs = std::filesystem;

// A small sysfs and /dev as the kernel and udev lay them out: an on-board
// UART behind a serial-base port device, a ttyS node with no UART, an FTDI
// adapter with its by-id link, an ACM device, and a virtual console.
class FakeTree {
 public:
  FakeTree() {
    char templ[] = "/tmp/kelvt-sysfs-XXXXXX";
    root_ = mkdtemp(templ);
    roots_.sys = root_ + "/sys";
    roots_.dev = root_ + "/dev";
    Driver("devices/pnp0/00:00", "bus/pnp/drivers/serial");
    Uart("ttyS0", "devices/pnp0/00:00", "4");
    Uart("ttyS1", "devices/pnp0/00:01", "0");
    const std::string ftdi = "devices/pci0000:00/usb1/1-1";
    Usb(ftdi, "0403", "6001", "FTDI", "FT232R USB UART", "A600XYZ");
    Driver(ftdi + "/1-1:1.0/ttyUSB0", "bus/usb-serial/drivers/ftdi_sio");
    Tty("ttyUSB0", ftdi + "/1-1:1.0/ttyUSB0");
    fs::create_directories(roots_.dev + "/serial/by-id");
    fs::create_symlink("../../ttyUSB0",
                       roots_.dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A600XYZ-if00-port0");
    const std::string acm = "devices/pci0000:00/usb1/1-2";
    Usb(acm, "2341", "0043", "Maker Co", "Board", "");
    Driver(acm + "/1-2:1.0", "bus/usb/drivers/cdc_acm");
    Tty("ttyACM0", acm + "/1-2:1.0");
    fs::create_directories(roots_.sys + "/devices/virtual/tty/tty0");
    fs::create_directories(roots_.sys + "/class/tty");
    fs::create_symlink(roots_.sys + "/devices/virtual/tty/tty0", roots_.sys + "/class/tty/tty0");
  }
  ~FakeTree() { fs::remove_all(root_); }
  const SysfsRoots& roots() const { return roots_; }

 private:
  void Write(const std::string& file, const std::string& text) {
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file) << text << '\n';
  }
  void Driver(const std::string& device, const std::string& driver) {
    fs::create_directories(roots_.sys + "/" + device);
    fs::create_directories(roots_.sys + "/" + driver);
    fs::create_symlink(roots_.sys + "/" + driver, roots_.sys + "/" + device + "/driver");
  }
  // A tty whose device link leads to `device`.
  std::string Tty(const std::string& name, const std::string& device) {
    const std::string tty = roots_.sys + "/" + device + "/tty/" + name;
    fs::create_directories(tty);
    fs::create_directory_symlink(roots_.sys + "/" + device, tty + "/device");
    fs::create_directories(roots_.sys + "/class/tty");
    fs::create_directory_symlink(tty, roots_.sys + "/class/tty/" + name);
    return tty;
  }
  void Uart(const std::string& name, const std::string& parent, const std::string& type) {
    const std::string port = parent + "/00:00:0/00:00:0.0";
    fs::create_directories(roots_.sys + "/bus/serial-base");
    fs::create_directories(roots_.sys + "/" + port);
    fs::create_symlink(roots_.sys + "/bus/serial-base", roots_.sys + "/" + port + "/subsystem");
    fs::create_symlink(roots_.sys + "/bus/serial-base", roots_.sys + "/" + parent + "/00:00:0/subsystem");
    Write(Tty(name, port) + "/type", type);
  }
  void Usb(const std::string& dir, const char* vid, const char* pid, const char* maker,
           const char* product, const char* serial) {
    const std::string d = roots_.sys + "/" + dir;
    Write(d + "/idVendor", vid);
    Write(d + "/idProduct", pid);
    Write(d + "/manufacturer", maker);
    Write(d + "/product", product);
    if (*serial != 0) Write(d + "/serial", serial);
  }

  std::string root_;
  SysfsRoots roots_;
};

struct DeviceCase {
  const char* kernel_name;
  const char* path;  // below the fake /dev
  const char* driver;
  const char* vendor_id;
  const char* product_id;
  const char* maker;
  const char* product;
  const char* serial_number;
};

TEST(SysfsSerialDevices, ListsRealDevicesWithWhatTheyReport) {
  const FakeTree tree;
  const DeviceCase expected[] = {
      {"ttyACM0", "/ttyACM0", "cdc_acm", "2341", "0043", "Maker Co", "Board", ""},
      {"ttyS0", "/ttyS0", "serial", "", "", "", "", ""},
      {"ttyUSB0", "/serial/by-id/usb-FTDI_FT232R_USB_UART_A600XYZ-if00-port0", "ftdi_sio",
       "0403", "6001", "FTDI", "FT232R USB UART", "A600XYZ"},
  };
  const std::vector<SerialDevice> devices = ListSysfsSerialDevices(tree.roots());
  ASSERT_EQ(devices.size(), std::size(expected));  // no ttyS1 (no UART), no tty0
  for (size_t i = 0; i < devices.size(); ++i) {
    const SerialDevice& d = devices[i];
    const DeviceCase& e = expected[i];
    SCOPED_TRACE(e.kernel_name);
    EXPECT_EQ(d.kernel_name, e.kernel_name);
    EXPECT_EQ(d.path, tree.roots().dev + e.path);
    EXPECT_EQ(d.by_id, std::string(e.path).rfind("/serial/", 0) == 0 ? d.path : "");
    EXPECT_EQ(d.driver, e.driver);
    EXPECT_EQ(d.vendor_id, e.vendor_id);
    EXPECT_EQ(d.product_id, e.product_id);
    EXPECT_EQ(d.maker, e.maker);
    EXPECT_EQ(d.product, e.product);
    EXPECT_EQ(d.serial_number, e.serial_number);
  }
}

TEST(SysfsSerialDevices, NoTreeListsNothing) {
  EXPECT_TRUE(ListSysfsSerialDevices({"/nonexistent/sys", "/nonexistent/dev"}).empty());
  EXPECT_EQ(FindByIdLink("ttyUSB0", {"/nonexistent/sys", "/nonexistent/dev"}), "");
}

TEST(SysfsSerialDevices, SortsByTrailingNumber) {
  std::vector<SerialDevice> devices(4);
  const char* names[] = {"ttyS10", "ttyUSB0", "ttyS2", "ttyS"};
  for (size_t i = 0; i < 4; ++i) devices[i].kernel_name = names[i];
  SortSerialDevices(devices);
  EXPECT_EQ(devices[0].kernel_name, "ttyS");
  EXPECT_EQ(devices[1].kernel_name, "ttyS2");
  EXPECT_EQ(devices[2].kernel_name, "ttyS10");
  EXPECT_EQ(devices[3].kernel_name, "ttyUSB0");
}

TEST(MergeDevices, MappingsJoinTheirDeviceOrStandAlone) {
  const FakeTree tree;
  const std::vector<SerialDevice> found = ListSysfsSerialDevices(tree.roots());
  const std::string by_id = found[2].path;
  const DeviceOverrides overrides = {
      {0, tree.roots().dev + "/ttyS0"},  // COM1: by kernel name
      {2, by_id},                        // COM3: the adapter by its by-id link
      {5, by_id},                        // COM6 too: the lowest port is shown
      {6, "/dev/null"},                  // COM7: present, no serial device found
      {7, "/dev/serial/by-id/usb-gone"}, // COM8: not plugged in
  };
  const std::vector<DeviceEntry> entries = MergeDevices(found, overrides);
  struct Expected {
    std::string path;
    int port;
    bool listed, present;
  } expected[] = {{found[0].path, -1, true, true},
                  {found[1].path, 0, true, true},
                  {by_id, 2, true, true},
                  {"/dev/null", 6, false, true},
                  {"/dev/serial/by-id/usb-gone", 7, false, false}};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(entries[i].path, expected[i].path);
    EXPECT_EQ(entries[i].port_number, expected[i].port);
    EXPECT_EQ(entries[i].listed, expected[i].listed);
    EXPECT_EQ(entries[i].present, expected[i].present);
  }
}

TEST(MergeDevices, WritingAMappingChangesOnlyItsLine) {
  Profile profile;
  profile.Parse("; mine\n[Devices]\nCOM1=/dev/ttyS0\n\n[Communication]\nPort=1\n");
  WriteDeviceMapping(profile, 0, "/dev/serial/by-id/usb-x");
  WriteDeviceMapping(profile, 2, "/dev/ttyACM0");
  EXPECT_EQ(profile.Text(),
            "; mine\n[Devices]\nCOM1=/dev/serial/by-id/usb-x\nCOM3=/dev/ttyACM0\n\n"
            "[Communication]\nPort=1\n");
}

// This machine's own devices: only what holds anywhere.
TEST(SerialDeviceList, RealDevicesExistAndBothReadersAgree) {
  const std::vector<SerialDevice> devices = ListSerialDevices();
  std::set<std::string> from_sysfs, from_udev;
  for (const SerialDevice& d : devices) {
    struct stat info {};
    EXPECT_EQ(stat(d.path.c_str(), &info), 0) << d.path;
    EXPECT_FALSE(d.kernel_name.empty());
  }
  for (const SerialDevice& d : ListSysfsSerialDevices()) from_sysfs.insert(d.kernel_name);
  for (const SerialDevice& d : ListUdevSerialDevices()) from_udev.insert(d.kernel_name);
  EXPECT_EQ(from_sysfs, from_udev);
  SerialDeviceMonitor monitor;
  if (monitor.Descriptor() >= 0) {
    EXPECT_FALSE(monitor.TakeChanges());
  }
}

// One device under any of its names; another adapter under the same name is
// another device; a network port is its lower-cased URL.
TEST(DeviceIdentity, OneDeviceUnderAnyName) {
  const FakeTree tree;
  const std::string dev = tree.roots().dev;
  const std::string by_id = dev + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A600XYZ-if00-port0";
  std::ofstream(dev + "/ttyUSB0") << "";
  std::ofstream(dev + "/ttyS0") << "";
  fs::create_symlink(dev + "/ttyUSB0", dev + "/line4");
  const DeviceIdentity usb0 = IdentifyDevice(dev + "/ttyUSB0", tree.roots());
  EXPECT_EQ(usb0.by_id, by_id);
  EXPECT_EQ(usb0.serial_number, "A600XYZ");
  const struct {
    std::string a, b;
    bool same;
  } rows[] = {
      {dev + "/ttyUSB0", by_id, true},
      {dev + "/line4", dev + "/ttyUSB0", true},
      {dev + "/line4", by_id, true},
      {dev + "/ttyS0", dev + "/ttyUSB0", false},
      {dev + "/absent", dev + "/absent", true},
      {"rfc2217://Bench-4.Example:2217", "rfc2217://bench-4.example:2217", true},
      {"rfc2217://bench-4.example:2217", "tcp://bench-4.example:2217", false},
      {"tcp://ttyUSB0:1", dev + "/ttyUSB0", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SameDevice(IdentifyDevice(row.a, tree.roots()), IdentifyDevice(row.b, tree.roots())),
              row.same)
        << row.a << " / " << row.b;
  }
  // Re-plugged, the adapter comes back as ttyUSB1: still the one recorded.
  fs::remove(tree.roots().sys + "/class/tty/ttyUSB0");
  fs::create_directory_symlink(tree.roots().sys + "/devices/pci0000:00/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0",
                               tree.roots().sys + "/class/tty/ttyUSB1");
  fs::rename(dev + "/ttyUSB0", dev + "/ttyUSB1");
  fs::remove(by_id);
  const DeviceIdentity usb1 = IdentifyDevice(dev + "/ttyUSB1", tree.roots());
  EXPECT_EQ(usb1.serial_number, "A600XYZ");
  EXPECT_TRUE(SameDevice(usb0, usb1));
  fs::create_symlink("../../ttyUSB1", by_id);
  EXPECT_TRUE(SameDevice(usb0, IdentifyDevice(dev + "/ttyUSB1", tree.roots())));
  // Another adapter under the old name is not.
  DeviceIdentity other = usb0;
  other.by_id.clear();
  other.serial_number = "B700ABC";
  DeviceIdentity recorded = usb0;
  recorded.by_id.clear();
  EXPECT_FALSE(SameDevice(recorded, other));
}

}  // namespace
}  // namespace kelvt
