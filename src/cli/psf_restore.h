#pragma once
// Putting the controller's own parameter set back after a command changed
// it. When the controller does not take it, the set is written to a new
// .PSF file so that nothing is lost, and the caller is told where.

#include <ctime>
#include <string>
#include <vector>

#include "link/controller_link.h"
#include "ops/saved_set_guard.h"
#include "psf/psf_image.h"

namespace kelvt::cli {

struct RestoreOutcome {
  bool restored = false;   // the controller acknowledged the set
  bool saved = false;      // not restored, but written to `path`
  std::string path;
  std::string save_error;  // why no file could be written
};

// "kelvt-restore-YYYYMMDD-HHMMSS.PSF" from the local time `now`; attempt > 0
// adds "-<attempt + 1>" before the extension.
std::string RescueFileName(std::time_t now, int attempt);

// Writes `image` (its bytes exactly) to a new file (O_EXCL, O_NOFOLLOW, mode
// 0600) named by RescueFileName in the first of `directories` that is not
// world-writable and takes a new file; an existing file or symbolic link of
// that name is never followed nor overwritten. Empty on failure, with the
// reason in `error`.
std::string WriteRescueFile(const PsfImage& image, const std::vector<std::string>& directories,
                            std::time_t now, std::string& error);

// The current directory, then $HOME, then the journal's folder.
std::vector<std::string> RescueDirectories();

// Sends `saved` back (the link retries as for any send); on success waits a
// second before the port closes, as the desktop tool does. Otherwise writes
// the rescue file.
RestoreOutcome RestoreSavedPsf(ControllerLink& link, PsfImage& saved,
                               const std::vector<std::string>& directories);

class CliContext;

// The command line's side of the saved-set guard: once the controller runs
// another set, Finish (or the destructor) puts its own back, and when that
// fails writes the rescue file and says where.
class CliRestore : public RestoreFrontEnd {
 public:
  // `operation` names the command in the journal.
  CliRestore(CliContext& ctx, ControllerLink& link, const char* operation);
  ~CliRestore() override;
  CliRestore(const CliRestore&) = delete;
  CliRestore& operator=(const CliRestore&) = delete;

  SavedSetGuard& Guard() { return guard_; }
  // Restores when armed and tells the user when that failed. kExitOk, or
  // kExitNoAnswer when the controller did not take its set back.
  int Finish();

  void BeforeRestore() override;
  void KeepCopy(const PsfImage& own) override;
  void JournalWarning(const std::string& text) override;

 private:
  CliContext& ctx_;
  SavedSetGuard guard_;
};

// The journal tag of the command's target ("COM3" and its device, or the
// device named with --device).
JournalTag TagFor(const CliContext& ctx, const char* operation);

// What to do when the journal took no copy of the controller's set.
std::string JournalAdvice();
// What to do when the controller's own set could not be read before a change.
std::string NoBackupAdvice();

}  // namespace kelvt::cli
