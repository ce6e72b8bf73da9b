#include "cli/psf_restore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

constexpr int kMaxAttempts = 100;
constexpr unsigned kPauseAfterRestoreMs = 1000;

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string RescueFileName(std::time_t now, int attempt) {
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) std::memset(&local, 0, sizeof local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string name = std::string("kelvt-restore-") + stamp;
  if (attempt > 0) name += "-" + std::to_string(attempt + 1);
  return name + ".PSF";
}

std::vector<std::string> RescueDirectories() {
  std::vector<std::string> directories;
  char cwd[4096];
  directories.emplace_back(getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') directories.emplace_back(home);
  directories.emplace_back("/tmp");
  return directories;
}

std::string WriteRescueFile(const PsfImage& image, const std::vector<std::string>& directories,
                            std::time_t now, std::string& error) {
  PsfRecord record;
  record.Decode(image.Data());
  error.clear();
  for (const std::string& directory : directories) {
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
      const std::string path = directory + "/" + RescueFileName(now, attempt);
      if (Exists(path)) continue;
      if (WritePsfFile(record, path.c_str())) return path;
      error = path + ": " + std::strerror(errno);
      break;  // this directory does not take files: try the next one
    }
  }
  if (error.empty()) error = "no free file name";
  return {};
}

RestoreOutcome RestoreSavedPsf(ControllerLink& link, PsfImage& saved,
                               const std::vector<std::string>& directories) {
  RestoreOutcome outcome;
  if (link.OutputPsf(saved)) {
    outcome.restored = true;
    BusyWait(kPauseAfterRestoreMs);
    return outcome;
  }
  outcome.path = WriteRescueFile(saved, directories, std::time(nullptr), outcome.save_error);
  outcome.saved = !outcome.path.empty();
  return outcome;
}

}  // namespace kelvt::cli

#include "cli/cli_context.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"

namespace kelvt::cli {

RestoreGuard::~RestoreGuard() {
  if (armed_) Finish();
}

void RestoreGuard::Arm(const PsfImage& saved) {
  saved_ = saved;
  armed_ = true;
}

int RestoreGuard::Finish() {
  if (!armed_) return kExitOk;
  armed_ = false;
  if (Interrupted()) ctx_.err << "kelvt-cli: stopping; putting the controller's own PSF back\n";
  const RestoreOutcome outcome = RestoreSavedPsf(link_, saved_, ctx_.RescueDirectories());
  if (outcome.restored) return kExitOk;
  if (outcome.saved) {
    ctx_.Error("Unable to restore original psf.",
               "The controller's own PSF was saved to " + outcome.path +
                   "\nWhen the controller answers again, send it back with:\n"
                   "  kelvt-cli psf send '" + outcome.path + "'");
  } else {
    // Last resort: the bytes themselves, so that the set can still be rebuilt.
    std::string bytes;
    for (int i = 0; i < kPsfSize; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X%s", static_cast<unsigned char>(saved_[i]),
                    i + 1 < kPsfSize ? " " : "");
      bytes += hex;
    }
    ctx_.Error("Unable to restore original psf.",
               "It could not be saved to a file either (" + outcome.save_error +
                   ").\nThe controller's own PSF, byte by byte:\n" + bytes);
  }
  return kExitNoAnswer;
}

}  // namespace kelvt::cli
