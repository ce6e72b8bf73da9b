#include "serial/device_identity.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace kelvt {
namespace fs = std::filesystem;
namespace {

std::string RealPathOf(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string text(real);
  std::free(real);
  return text;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string NetworkIdentity(const std::string& path) {
  const std::size_t scheme_end = path.find("://");
  if (scheme_end == std::string::npos) return {};
  const std::size_t host = scheme_end + 3;
  std::size_t host_end = path.find('/', host);
  if (host_end == std::string::npos) host_end = path.size();
  return Lowered(path.substr(0, host_end)) + path.substr(host_end);
}

DeviceIdentity IdentifyDevice(const std::string& path, const SysfsRoots& roots) {
  DeviceIdentity id;
  id.path = path;
  if (path.find("://") != std::string::npos) {
    id.network = true;
    id.canonical = NetworkIdentity(path);
    return id;
  }
  id.canonical = RealPathOf(path);
  const std::string by_id_folder = roots.dev + "/serial/by-id/";
  if (id.canonical.empty()) {
    id.canonical = path;
    if (path.rfind(by_id_folder, 0) == 0) id.by_id = path;
    return id;
  }
  // Only a node right in /dev has a kernel name sysfs knows (not /dev/pts/3).
  const fs::path node(id.canonical);
  const std::string dev_root = RealPathOf(roots.dev);
  if (dev_root.empty() || node.parent_path().string() != dev_root) return id;
  const std::string kernel_name = node.filename().string();
  SerialDevice device;
  if (ReadSysfsSerialDevice(kernel_name, roots, device)) {
    id.by_id = device.by_id;
    id.serial_number = device.serial_number;
  } else {
    id.by_id = FindByIdLink(kernel_name, roots);
  }
  if (id.by_id.empty() && path.rfind(by_id_folder, 0) == 0) id.by_id = path;
  return id;
}

bool SameDevice(const DeviceIdentity& a, const DeviceIdentity& b) {
  if (a.network || b.network) return a.network && b.network && a.canonical == b.canonical;
  if (!a.by_id.empty() && !b.by_id.empty()) return a.by_id == b.by_id;
  if (!a.serial_number.empty() && !b.serial_number.empty()) {
    return a.serial_number == b.serial_number;
  }
  if (!a.canonical.empty() && a.canonical == b.canonical) return true;
  return !a.path.empty() && a.path == b.path;
}

}  // namespace kelvt
