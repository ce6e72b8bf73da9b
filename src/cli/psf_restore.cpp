#include "cli/psf_restore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ops/send_back.h"
#include "ops/set_journal.h"
#include "ops/status_messages.h"
#include "platform/safe_file.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

constexpr int kMaxAttempts = 100;


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
  const std::string journal = SetJournal::DefaultFolder();
  if (!journal.empty()) directories.push_back(journal);
  return directories;
}

std::string WriteRescueFile(const PsfImage& image, const std::vector<std::string>& directories,
                            std::time_t now, std::string& error) {
  error.clear();
  for (const std::string& directory : directories) {
    // Anyone could plant a file of the predictable name there.
    if (FolderIsWorldWritable(directory.c_str())) {
      if (error.empty()) error = directory + ": writable by everyone, not used";
      continue;
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
      const std::string path = directory + "/" + RescueFileName(now, attempt);
      if (CreateImageFile(path.c_str(), image.Data())) return path;
      if (errno == EEXIST || errno == ELOOP) continue;  // taken (a link included): next name
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
  if (SendBack(link, saved)) {
    outcome.restored = true;
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

CliRestore::CliRestore(CliContext& ctx, ControllerLink& link, const char* operation)
    : ctx_(ctx), guard_(link, *this, InstalledJournal(), TagFor(ctx, operation)) {}

CliRestore::~CliRestore() { Finish(); }

int CliRestore::Finish() { return guard_.Restore() ? kExitOk : kExitNoAnswer; }

void CliRestore::BeforeRestore() {
  if (Interrupted()) ctx_.err << "kelvt-cli: stopping; putting the controller's own PSF back\n";
}

void CliRestore::JournalWarning(const std::string& text) {
  ctx_.err << "kelvt-cli: warning: the journal: " << text << '\n';
}

void CliRestore::KeepCopy(const PsfImage& own) {
  std::string error;
  const std::string path = WriteRescueFile(own, ctx_.RescueDirectories(), std::time(nullptr), error);
  if (!path.empty()) {
    ctx_.Error(kRestoreFailedMessage,
               "The controller's own PSF was saved to " + path +
                   "\nWhen the controller answers again, send it back with:\n"
                   "  kelvt-cli recover   (or: kelvt-cli psf send '" + path + "')");
    return;
  }
  // Last resort: the bytes themselves, so that the set can still be rebuilt.
  std::string bytes;
  for (int i = 0; i < kPsfSize; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X%s", static_cast<unsigned char>(own[i]),
                  i + 1 < kPsfSize ? " " : "");
    bytes += hex;
  }
  ctx_.Error(kRestoreFailedMessage,
             "It could not be saved to a file either (" + error +
                 ").\nThe controller's own PSF, byte by byte:\n" + bytes);
}

std::string JournalAdvice() {
  const SetJournal* journal = InstalledJournal();
  const std::string folder = journal != nullptr ? journal->Folder() : std::string();
  const std::string why = journal != nullptr && !journal->Problem().empty()
                            ? journal->Problem()
                            : std::string(std::strerror(errno));
  return "The controller's own set could not be saved in the journal" +
         (folder.empty() ? std::string() : " (" + folder + ")") + ": " + why +
         ".\nNothing was changed on the controller. Free some space (or set XDG_STATE_HOME to a "
         "folder that takes files) and try again.";
}

std::string NoBackupAdvice() {
  return "Nothing was sent: the controller answers, but its set was not read cleanly, so no "
         "copy of it could be kept.\nCheck the line (kelvt-cli -v shows the frames) and try "
         "again, or give --no-backup to replace the set without a copy.";
}

JournalTag TagFor(const CliContext& ctx, const char* operation) {
  JournalTag tag;
  const PortTarget& target = ctx.Target();
  if (target.port_number >= 0) tag.port = PortName(target.port_number);
  tag.device = target.device_path;
  tag.operation = operation;
  return tag;
}

}  // namespace kelvt::cli
