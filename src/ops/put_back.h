#pragma once
// Putting an earlier set (or null/span values) from the journal back on its
// controller: the controller is asked who it is and must be the entry's
// (unless forced), what it holds now is read and journaled first, then the
// entry's set goes back and the entry is marked put back.

#include <string>

#include "ops/journaled_send.h"
#include "ops/recover.h"
#include "ops/set_journal.h"

namespace kelvt {

class ControllerLink;

enum class PutBackStatus {
  kPutBack,       // the controller took it
  kUnloadable,    // the journal's copy is damaged or inexact: nothing asked, nothing sent
  kNoAnswer,      // the controller did not answer, or did not take it
  kMismatch,      // another controller answers: nothing changed
  kNotRead,       // what it holds could not be read (and not sent without a copy)
  kNotJournaled,  // what it holds could not be journaled: nothing changed
};

struct PutBackOutcome {
  PutBackStatus status = PutBackStatus::kNoAnswer;
  ControllerIdentity controller;  // who answered
  std::string problem;            // kUnloadable: why
  std::string replaced_id;        // the entry of what the controller held
};

PutBackOutcome PutBackEntry(ControllerLink& link, SetJournal& journal, const JournalEntry& entry,
                            bool force, const SendUnreadQuestion& send_unread,
                            const JournalTag& tag);

// What the user is told, the same in the desktop tool and on the command
// line: "The PSF of 2026-12-09 10:15:02 is back on COM3 /dev/ttyUSB0." and
// the like. `place` names the port now used.
std::string PutBackMessage(const PutBackOutcome& outcome, const JournalEntry& entry,
                           const std::string& place);

}  // namespace kelvt
