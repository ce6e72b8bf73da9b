#pragma once
// The journal of the controllers' own sets: before an operation changes a
// controller's set, the set it held is written here as an ordinary .PSF file
// (synced, renamed into place, folder synced), with one index line saying
// when, where, which controller and which operation. The entry is marked
// finished once the set is back. An entry left unfinished (the tool was
// killed, the machine lost power) is offered at the next chance.
//
// The folder: $XDG_STATE_HOME/kelvt, else ~/.local/state/kelvt. The index
// keeps the last kKeep entries, finished ones too; older files are removed.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "psf/psf_image.h"

namespace kelvt {

struct JournalTag {
  std::string port;       // "COM1", or "" when the device was named directly
  std::string device;     // the device path
  std::string operation;  // "alignment", "trial run", "stamp", "restore", ...
};

struct JournalEntry {
  std::string id;         // also the file name without ".PSF"
  std::string time;       // local time, "YYYY-MM-DD HH:MM:SS"
  JournalTag tag;
  char letter = 0;        // the controller's letter (byte 0 of its set)
  std::string part_number;
  std::string date_code;
  bool finished = false;
  std::string path;       // the .PSF file
};

class SetJournal {
 public:
  static constexpr std::size_t kKeep = 200;

  // The journal in `folder` (created on first write). An empty folder makes
  // a journal that keeps nothing and reports every write as failed.
  explicit SetJournal(std::string folder) : folder_(std::move(folder)) {}

  // $XDG_STATE_HOME/kelvt, else $HOME/.local/state/kelvt; empty without either.
  static std::string DefaultFolder();

  const std::string& Folder() const { return folder_; }

  // Writes `own` durably as a new unfinished entry; its id in `id`. 1, or 0
  // with errno telling why.
  int Add(const PsfImage& own, const JournalTag& tag, std::string& id);
  // Marks the entry finished (durably). 1, or 0.
  int MarkFinished(const std::string& id);
  // Newest first.
  std::vector<JournalEntry> Entries() const;
  // Unfinished entries for `device` (all devices when empty), newest first.
  std::vector<JournalEntry> Unfinished(const std::string& device) const;
  // The set of an entry, read back from its file. 1, or 0.
  int Load(const JournalEntry& entry, PsfImage& image) const;

 private:
  std::string IndexPath() const;
  int WriteIndex(const std::vector<JournalEntry>& oldest_first) const;
  std::vector<JournalEntry> ReadIndex() const;  // oldest first

  std::string folder_;
};

// The journal the front end installed (none: operations keep no journal,
// as in most tests).
SetJournal* InstalledJournal();
void InstallJournal(SetJournal* journal);

}  // namespace kelvt
