#include "ops/record_folder.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/profile.h"
#include "platform/safe_file.h"

namespace kelvt {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// "a/" + "b" without doubling the slash of a root or of a typed "a/".
std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string DefaultRecordFolder(const std::string& home) {
  if (home.empty()) return {};
  const std::string documents = Join(home, "Documents");
  return IsFolder(documents) ? Join(documents, "kelvt") : home;
}

std::string DefaultRecordFolder() { return DefaultRecordFolder(HomeFolder()); }

std::string RecordFilePath(const std::string& folder, const char* kind, const WallTime& t,
                           int attempt) {
  char stamp[32];
  if (FormatFileStamp(t, stamp, sizeof stamp) < 0) stamp[0] = '\0';
  std::string name = std::string(kind != nullptr ? kind : "") + "-" + stamp;
  if (attempt > 1) name += "-" + std::to_string(attempt);
  return Join(folder, name + ".csv");
}

int MakeRecordFolder(const std::string& folder) {
  if (folder.empty()) {
    errno = ENOENT;
    return 0;
  }
  // Readable like the rest of the user's documents.
  return MakeFolders(folder, 0755);
}

}  // namespace kelvt
