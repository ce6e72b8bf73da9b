#pragma once
// Putting back the sets that the journal holds for a controller whose
// operation never finished (the tool was killed while the controller ran an
// alignment or trial set), on the right controller only.

#include <string>
#include <vector>

#include "ops/journaled_send.h"
#include "ops/set_journal.h"
#include "serial/serial_device.h"

namespace kelvt {

class ControllerLink;

// Asks the controller who it is: its letter from the wake-up, its part number
// and date code from its diagnostics. 1, or 0 when it did not answer.
int AskControllerIdentity(ControllerLink& link, ControllerIdentity& who);

// Whether `entry` was made on `who`: the same letter, part number and date
// code (compared without trailing NULs and blanks). For an entry with a set
// sent (a stamp), the new part number and date code count as well, since an
// interrupted stamp may or may not have reached the controller.
bool EntryMatchesController(const JournalEntry& entry, const ControllerIdentity& who);

// "controller A, part number KT-100, date code 26/1" (unknown parts left out;
// bytes outside printable ASCII as \xNN).
std::string DescribeController(const ControllerIdentity& who);

enum class RecoverStatus {
  kDone,          // every loadable set went back (skipped ones are listed)
  kNothingLoadable,  // every entry was damaged or inexact: nothing asked, nothing sent
  kNoAnswer,      // the controller did not answer, or did not take a set
  kMismatch,      // another controller answers: nothing changed
  kNotRead,       // its present set could not be read cleanly: nothing changed
  kNotJournaled,  // its present set could not be journaled: nothing changed
};

struct RecoverOutcome {
  RecoverStatus status = RecoverStatus::kDone;
  ControllerIdentity controller;   // who answered (when asked)
  ControllerIdentity expected;     // the entry's controller on kMismatch
  int sent = 0;                    // sets the controller took
  std::string last_time;           // time of the last entry sent (the oldest)
  std::vector<std::string> skipped;  // "<time> (<file>): <why>" of each entry not sent
  int unsent_older = 0;            // of those, older than the last set sent (still unfinished)
  // "<time> (<controller>)" of entries left for another controller.
  std::vector<std::string> waiting;
  std::string replaced_id;         // the journal entry of the set the controller held
};

// Sends the sets of `entries` (newest first, as Unfinished lists them) in
// that order, so that the oldest, the set the controller held before the
// first unfinished operation, goes last; each one taken is marked put back.
// A damaged or inexact entry is skipped (listed), never sent; once an older
// set went back, the skipped newer ones are marked finished. Before
// anything is sent the controller is asked who it is: only the entries made
// on it go back (the others wait, listed), and when there are none nothing
// is changed (kMismatch), unless `force` sends them all. Then its present set
// is read and journaled (`tag`, operation "recover" when it names none) with
// the set that replaces it, so nothing it held is lost; when that set cannot
// be read, nothing is sent unless `send_unread` says to.
RecoverOutcome RecoverUnfinished(ControllerLink& link, SetJournal& journal,
                                 const std::vector<JournalEntry>& entries, bool force,
                                 const JournalTag& tag,
                                 const SendUnreadQuestion& send_unread = {});

// Where the entry's device is now: its own path when that still leads to the
// same device, else its by-id link, else a device of `found` that is the same
// (a re-plugged adapter under a new ttyUSB name). "" when it is absent. A
// network port counts as present (only a connection could tell).
std::string PresentPathOf(const JournalEntry& entry, const std::vector<SerialDevice>& found);

// One line for the start-up question's list: "time  operation  device
// (now at path)  controller ...".
std::string EntryLine(const JournalEntry& entry, const std::string& present_path);

}  // namespace kelvt
