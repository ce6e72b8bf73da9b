#include "serial/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kelvt {
namespace {

std::vector<std::string>& Directories() {
  static std::vector<std::string> directories;
  return directories;
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

pid_t ReadLock(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return 0;
  char data[64];
  ssize_t n;
  do {
    n = ::read(fd, data, sizeof data);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  return n > 0 ? ParseUucpLock(data, static_cast<size_t>(n)) : 0;
}

}  // namespace

pid_t ParseUucpLock(const char* data, size_t size) {
  size_t i = 0;
  while (i < size && (data[i] == ' ' || data[i] == '\t')) ++i;
  long pid = 0;
  size_t digits = 0;
  for (; i < size && data[i] >= '0' && data[i] <= '9' && digits < 10; ++i, ++digits) {
    pid = pid * 10 + (data[i] - '0');
  }
  if (digits > 0) {
    const bool ends = i == size || data[i] == '\n' || data[i] == ' ' || data[i] == '\0';
    return ends && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
  }
  if (size == sizeof(int32_t)) {
    int32_t binary = 0;
    std::memcpy(&binary, data, sizeof binary);
    return binary > 0 ? static_cast<pid_t>(binary) : 0;
  }
  return 0;
}

void SetUucpLockDirectories(std::vector<std::string> directories) {
  Directories() = std::move(directories);
}

pid_t UucpLockHolder(const std::string& device_path, std::string* lock_file) {
  std::vector<std::string> names{BaseName(device_path)};
  if (char* real = realpath(device_path.c_str(), nullptr)) {
    const std::string resolved = BaseName(real);
    std::free(real);
    if (resolved != names.front()) names.push_back(resolved);
  }
  const std::vector<std::string> defaults{"/var/lock", "/run/lock"};
  const std::vector<std::string>& directories = Directories().empty() ? defaults : Directories();
  for (const std::string& dir : directories) {
    for (const std::string& name : names) {
      if (name.empty()) continue;
      const std::string file = dir + "/LCK.." + name;
      const pid_t pid = ReadLock(file);
      if (pid <= 0 || pid == getpid() || !Alive(pid)) continue;
      if (lock_file != nullptr) *lock_file = file;
      return pid;
    }
  }
  return 0;
}

}  // namespace kelvt
