#include "serial/sysfs_serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace kelvt {
namespace fs = std::filesystem;
namespace {

// Attribute files are short; a longer one is cut rather than read whole.
constexpr std::streamsize kMaxAttribute = 256;
// A USB device sits a few levels above its tty; never climb further.
constexpr int kMaxClimb = 6;

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string text(kMaxAttribute, '\0');
  in.read(text.data(), kMaxAttribute);
  text.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0')) {
    text.pop_back();
  }
  return text;
}

// The name of the thing a sysfs link (driver, subsystem) points to.
std::string LinkName(const fs::path& link) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(link, ec);
  return ec ? std::string() : target.filename().string();
}

bool Within(const fs::path& path, const fs::path& root) {
  const std::string p = path.string(), r = root.string();
  return p.size() > r.size() && p.compare(0, r.size(), r) == 0;
}

void ReadUsbAttributes(const fs::path& device, const fs::path& sys_root, SerialDevice& out) {
  fs::path dir = device;
  for (int i = 0; i < kMaxClimb && Within(dir, sys_root); ++i, dir = dir.parent_path()) {
    std::error_code ec;
    if (!fs::exists(dir / "idVendor", ec)) continue;
    out.vendor_id = ReadAttribute(dir / "idVendor");
    out.product_id = ReadAttribute(dir / "idProduct");
    out.maker = ReadAttribute(dir / "manufacturer");
    out.product = ReadAttribute(dir / "product");
    out.serial_number = ReadAttribute(dir / "serial");
    return;
  }
}

// The driver of the hardware: newer kernels put a "serial-base" port device
// (driver "port") between a UART's tty and its real device.
std::string DriverOf(fs::path device, const fs::path& sys_root) {
  for (int i = 0; i < kMaxClimb && Within(device, sys_root); ++i) {
    if (LinkName(device / "subsystem") != "serial-base") return LinkName(device / "driver");
    device = device.parent_path();
  }
  return {};
}

}  // namespace

std::string FindByIdLink(const std::string& kernel_name, const SysfsRoots& roots) {
  std::error_code ec;
  const fs::path dir = fs::path(roots.dev) / "serial" / "by-id";
  std::string found;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code link_ec;
    const fs::path target = fs::read_symlink(it->path(), link_ec);
    if (link_ec || target.filename() != kernel_name) continue;
    // Several links may lead to one device; take the same one every time.
    const std::string candidate = it->path().string();
    if (found.empty() || candidate < found) found = candidate;
  }
  return found;
}

bool ReadSysfsSerialDevice(const std::string& kernel_name, const SysfsRoots& roots,
                           SerialDevice& out) {
  const fs::path sys_root = fs::path(roots.sys);
  const fs::path tty = sys_root / "class" / "tty" / kernel_name;
  std::error_code dev_ec;
  const fs::path device = fs::canonical(tty / "device", dev_ec);
  if (dev_ec) return false;  // nothing behind it
  std::error_code type_ec;
  if (fs::exists(tty / "type", type_ec) && ReadAttribute(tty / "type") == "0") return false;

  SerialDevice d;
  d.kernel_name = kernel_name;
  d.driver = DriverOf(device, fs::canonical(sys_root, dev_ec));
  ReadUsbAttributes(device, fs::canonical(sys_root, dev_ec), d);
  d.by_id = FindByIdLink(d.kernel_name, roots);
  d.path = !d.by_id.empty() ? d.by_id : (fs::path(roots.dev) / d.kernel_name).string();
  out = std::move(d);
  return true;
}

std::vector<SerialDevice> ListSysfsSerialDevices(const SysfsRoots& roots) {
  std::vector<SerialDevice> devices;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(roots.sys) / "class" / "tty", ec), end;
       !ec && it != end; it.increment(ec)) {
    SerialDevice d;
    if (ReadSysfsSerialDevice(it->path().filename().string(), roots, d)) {
      devices.push_back(std::move(d));
    }
  }
  SortSerialDevices(devices);
  return devices;
}

void SortSerialDevices(std::vector<SerialDevice>& devices) {
  // ttyS2 before ttyS10: the name's trailing number compares as a number.
  const auto split = [](const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    const std::string number = name.substr(digits);
    return std::make_pair(name.substr(0, digits),
                          number.size() > 9 ? 999999999L : number.empty() ? -1L : std::stol(number));
  };
  std::sort(devices.begin(), devices.end(), [&](const SerialDevice& a, const SerialDevice& b) {
    return split(a.kernel_name) < split(b.kernel_name);
  });
}

}  // namespace kelvt
