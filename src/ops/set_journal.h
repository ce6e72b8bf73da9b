#pragma once
// The journal of the controllers' own sets: before an operation changes a
// controller's set, the set it held is written here, and the entry is marked
// finished once the set is back. An entry left unfinished (the tool was
// killed, the machine lost power) is offered at the next chance.
//
// What it promises:
// - Exact copies. Each entry keeps the controller's 81 bytes exactly in a
//   binary `<id>.set` file with a CRC-32 of what was stored, checked on every
//   load (size and sum); a damaged entry is reported, never sent. An ordinary
//   `<id>.PSF` file stays beside it for people and File Retreive.
// - One writer at a time. Every change of the index (add, finish, prune) runs
//   under flock() on `<folder>/lock`, reading and writing inside it; entry
//   files are created O_EXCL. No entry is lost between processes.
// - Pruning keeps what is unfinished: only finished entries beyond kKeep go,
//   oldest first.
// - The controller and the device. An entry names the controller (letter,
//   part number and date code as its diagnostics report them) and the device
//   (path, the device it led to, by-id link, USB serial number): a set goes
//   back only to the same controller, found under any name of its device.
// - Files. Journal files are private (0600, folder 0700) and honour the
//   umask. A failure after a rename is a warning, never a reason to remove a
//   file the index names. An index that exists but cannot be read stops
//   every write (with Problem() telling why) and is never replaced.
//
// The folder: $XDG_STATE_HOME/kelvt, else ~/.local/state/kelvt.
//
// On disk: `index2` starts with the line "kelvt-journal 2", then one line per
// entry, oldest first: tab-separated key=value fields, values with '%', tab,
// CR, LF and bytes outside printable ASCII written %XX. Unknown keys are
// ignored and lines that cannot be read are kept as they are. `<id>.set`:
// "KVTSET2\n", the kind ('S' set, 'N' null/span), a flags byte (1: the values
// sent follow), the values before (81 bytes, or four 16-bit big-endian
// values), those sent when flagged, then the CRC-32 (big-endian) of all that
// precedes it. The previous version's `index` (one tab-separated line per
// entry, the set only as `.PSF` text) is still read: its entries are listed,
// and put back only when the text gives every byte back exactly.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "link/null_span_frame.h"
#include "psf/psf_image.h"
#include "serial/device_identity.h"

namespace kelvt {

// Who a controller is, as it tells: its letter, and the part number and date
// code its diagnostics report (trailing NULs dropped; empty when unknown).
struct ControllerIdentity {
  char letter = 0;
  std::string part_number;
  std::string date_code;
};

struct JournalTag {
  std::string port;       // "COM1", or "" when the device was named directly
  std::string device;     // the device path
  std::string operation;  // "alignment", "trial run", "stamp", "recover", ...
};

enum class EntryKind { kSet, kNullSpan };
enum class EntryState {
  kOpen,      // the operation never finished: the controller may run another set
  kFinished,  // the operation put the set back itself (or kept the new one on purpose)
  kPutBack,   // recover or the start-up question put it back
};

// What Add writes.
struct JournalRecord {
  JournalTag tag;
  // The controller, where the caller asked it; what is empty is taken from
  // the set (letter from byte 0, part number and date code from bytes 66-75).
  ControllerIdentity controller;
  EntryKind kind = EntryKind::kSet;
  PsfImage before;             // kSet: the controller's own set
  bool has_sent = false;       // a set (or values) sent: a send or stamp
  PsfImage sent;               // kSet with has_sent
  NullSpanValues null_span_before;  // kNullSpan
  NullSpanValues null_span_sent;    // kNullSpan with has_sent
  bool finished = false;       // written as finished at once (a record of a change)
};

struct JournalEntry {
  std::string id;         // also the files' name without ".set" / ".PSF"
  std::string time;       // local time, "YYYY-MM-DD HH:MM:SS"
  long long epoch = 0;    // the same, seconds since 1970 (0: not recorded)
  std::string user;
  std::string host;
  JournalTag tag;
  DeviceIdentity device;  // as it was when the entry was written
  char letter = 0;        // the controller's letter
  std::string part_number;
  std::string date_code;
  ControllerIdentity Controller() const { return {letter, part_number, date_code}; }
  std::string new_part_number;  // from the set sent (a stamp); empty when none
  std::string new_date_code;
  EntryKind kind = EntryKind::kSet;
  bool has_sent = false;
  EntryState state = EntryState::kOpen;
  bool finished = false;  // state != kOpen
  bool legacy = false;    // written by the previous version (no exact copy)
  bool exact = true;      // false: a legacy entry whose text cannot give the set back
  std::string path;       // the .PSF file
  std::string set_path;   // the exact copy ("" for a legacy entry)
  unsigned long crc = 0;  // CRC-32 of the .set file's contents before the sum
};

enum class LoadResult {
  kOk,
  kMissing,   // the file cannot be read (errno)
  kDamaged,   // wrong size, magic or sum: never to be sent
  kInexact,   // a legacy entry whose .PSF text would change bytes
  kWrongKind, // a null/span entry asked for a set, or the other way round
};
const char* LoadResultText(LoadResult result);

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
  // with errno and Problem() telling why (nothing then changed).
  int Add(const PsfImage& own, const JournalTag& tag, std::string& id);
  // Any record (a send with the set sent, null/span values). 1, or 0.
  int Add(const JournalRecord& record, std::string& id);
  // Marks the entry finished / put back (durably). 1, or 0.
  int MarkFinished(const std::string& id);
  int MarkPutBack(const std::string& id);
  // Newest first.
  std::vector<JournalEntry> Entries() const;
  // Unfinished set entries of `device` (by identity), newest first.
  std::vector<JournalEntry> Unfinished(const DeviceIdentity& device) const;
  // All unfinished set entries, newest first.
  std::vector<JournalEntry> Unfinished() const;
  // The set before the change, checked; kOk fills `image`.
  LoadResult Load(const JournalEntry& entry, PsfImage& image) const;
  // The set sent (entries with has_sent).
  LoadResult LoadSent(const JournalEntry& entry, PsfImage& image) const;
  // The null/span values of a kNullSpan entry (`sent` only with has_sent).
  LoadResult LoadNullSpan(const JournalEntry& entry, NullSpanValues& before,
                          NullSpanValues& sent) const;

  // Why the last write failed ("" after a success), for the user.
  const std::string& Problem() const { return problem_; }
  // What went wrong after the change was already in place (the folder could
  // not be synced): the entry is there. "" when nothing did.
  const std::string& Warning() const { return warning_; }

 private:
  int Change(const std::string& id, EntryState state);

  std::string folder_;
  std::string problem_;
  std::string warning_;
};

// The journal the front end installed (none: operations keep no journal,
// as in most tests).
SetJournal* InstalledJournal();
void InstallJournal(SetJournal* journal);

// CRC-32 (IEEE 802.3) of `size` bytes.
unsigned long JournalCrc32(const char* data, std::size_t size);

}  // namespace kelvt
