#pragma once
// Putting the controller's own parameter set back after a command changed
// it. When the controller does not take it, the set is written to a new
// .PSF file so that nothing is lost, and the caller is told where.

#include <ctime>
#include <string>
#include <vector>

#include "link/controller_link.h"
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

// Writes `image` (through the record, as the desktop tool saves a set) to a
// file name of RescueFileName in the first of `directories` where a new file
// can be created; existing files are never overwritten. Empty on failure,
// with the reason in `error`.
std::string WriteRescueFile(const PsfImage& image, const std::vector<std::string>& directories,
                            std::time_t now, std::string& error);

// The current directory, then $HOME, then /tmp.
std::vector<std::string> RescueDirectories();

// Sends `saved` back (the link retries as for any send); on success waits a
// second before the port closes, as the desktop tool does. Otherwise writes
// the rescue file.
RestoreOutcome RestoreSavedPsf(ControllerLink& link, PsfImage& saved,
                               const std::vector<std::string>& directories);

class CliContext;

// Makes sure a changed controller gets its own set back on every way out of
// a command: once armed, Finish (or the destructor) restores and reports.
class RestoreGuard {
 public:
  RestoreGuard(CliContext& ctx, ControllerLink& link) : ctx_(ctx), link_(link) {}
  ~RestoreGuard();
  RestoreGuard(const RestoreGuard&) = delete;
  RestoreGuard& operator=(const RestoreGuard&) = delete;

  // The controller now holds another set; `saved` is its own.
  void Arm(const PsfImage& saved);
  bool Armed() const { return armed_; }
  // Restores when armed and tells the user when that failed. kExitOk, or
  // kExitNoAnswer when the controller did not take its set back.
  int Finish();

 private:
  CliContext& ctx_;
  ControllerLink& link_;
  PsfImage saved_;
  bool armed_ = false;
};

}  // namespace kelvt::cli
