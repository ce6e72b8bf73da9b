#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kelvt {
namespace {

int WriteAllTo(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return 0;
    }
    if (n == 0) {
      errno = EIO;
      return 0;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 1;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

int SyncFolderOf(const char* path) {
  const std::string folder = FolderOf(path);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int synced = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the rename itself is done.
  if (synced != 0 && err != EINVAL && err != EROFS) {
    errno = err;
    return 0;
  }
  return 1;
}

int MakeFolders(const std::string& folder, unsigned mode) {
  if (folder.empty()) return 1;
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return 1;
    errno = ENOTDIR;
    return 0;
  }
  const std::string parent = FolderOf(folder);
  if (parent != folder && !MakeFolders(parent, mode)) return 0;
  if (::mkdir(folder.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return 0;
  return 1;
}

// A new file beside `target`, created with `mode` less the umask (the
// kernel applies it; mkstemp's fixed 0600 would not show the user's wish).
static int CreateTempBeside(const std::string& target, unsigned mode, std::string& temp) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u-%ld", static_cast<long>(::getpid()),
                  ++counter, static_cast<long>(::time(nullptr)) ^ (attempt * 7919L));
    temp = target + suffix;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

int ReplaceFileDurably(const char* path, const char* data, std::size_t size, unsigned new_mode,
                       bool* renamed) {
  if (renamed != nullptr) *renamed = false;
  if (path == nullptr || path[0] == '\0') {
    errno = ENOENT;
    return 0;
  }
  std::string target = path;
  char resolved[PATH_MAX];
  if (::realpath(path, resolved) != nullptr) target = resolved;

  // Only a regular file is ever replaced: never a device, FIFO or folder.
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    errno = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
    return 0;
  }
  std::string temp;
  const int fd = CreateTempBeside(target, new_mode, temp);
  if (fd < 0) return 0;
  int ok = (!exists || ::fchmod(fd, existing.st_mode & 07777) == 0) &&
           WriteAllTo(fd, data, size) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = 0;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = 0;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = err;
    return 0;
  }
  if (renamed != nullptr) *renamed = true;
  return SyncFolderOf(target.c_str());
}

int CreateNewFile(const char* path, const char* data, std::size_t size) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return 0;
  int ok = WriteAllTo(fd, data, size) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = 0;
    err = errno;
  }
  if (!ok) {
    // The file is ours (O_EXCL): an incomplete one would only mislead.
    ::unlink(path);
    errno = err;
    return 0;
  }
  return SyncFolderOf(path);
}

bool FolderIsWorldWritable(const char* folder) {
  struct stat info {};
  if (::stat(folder, &info) != 0) return false;
  return (info.st_mode & S_IWOTH) != 0;
}

ReadRefusal ReadUserFile(const char* path, std::size_t limit, std::string& out) {
  out.clear();
  // O_NONBLOCK: opening a FIFO without a writer, or a device, never waits.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ReadRefusal::kCannotOpen;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return ReadRefusal::kReadFailed;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    return ReadRefusal::kNotRegular;
  }
  if (static_cast<unsigned long long>(info.st_size) > limit) {
    ::close(fd);
    return ReadRefusal::kTooLarge;
  }
  char chunk[8192];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      out.clear();
      errno = err;
      return ReadRefusal::kReadFailed;
    }
    if (n == 0) break;
    if (out.size() + static_cast<std::size_t>(n) > limit) {
      // Grew while being read.
      ::close(fd);
      out.clear();
      return ReadRefusal::kTooLarge;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadRefusal::kNone;
}

std::string RefusalText(ReadRefusal refusal, int err) {
  switch (refusal) {
    case ReadRefusal::kNone: return {};
    case ReadRefusal::kNotRegular: return "not a regular file";
    case ReadRefusal::kTooLarge: return "larger than 1 MiB";
    case ReadRefusal::kCannotOpen:
    case ReadRefusal::kReadFailed: return std::strerror(err);
  }
  return {};
}

}  // namespace kelvt
