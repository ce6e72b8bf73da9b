#pragma once
// A deliberate change of a controller's set (Send PSF, `psf send`, putting
// an earlier set back): the set the controller holds is read (confirmed) and
// journaled first, with the set that replaces it, so that any change can be
// undone. When the controller answers but its set cannot be read, the caller
// decides whether to send without a copy (the desktop tool asks, the command
// line needs --no-backup).

#include <functional>
#include <string>

#include "ops/set_journal.h"
#include "psf/psf_image.h"

namespace kelvt {

class ControllerLink;

enum class SendStatus {
  kAccepted,      // the controller took the set
  kNotRead,       // it answers, but its set could not be read; nothing sent
  kNotJournaled,  // read, but no durable copy could be written; nothing sent
  kNotAccepted,   // the set went out and was not acknowledged
  kNoAnswer,      // the controller does not answer; nothing sent
};

struct SendResult {
  SendStatus status = SendStatus::kNoAnswer;
  bool copied = false;   // the controller's set before is in the journal
  std::string entry_id;  // its entry (empty without one)
  PsfImage before;       // what the controller held (when copied)
};

// Asked only when the controller's set could not be read: true sends
// without a copy.
using SendUnreadQuestion = std::function<bool()>;

// Wakes the controller, reads its set and journals it (`journal` may be
// null: no journal kept) with `set` as the set sent, then sends `set`.
SendResult SendWithCopy(ControllerLink& link, SetJournal* journal, const JournalTag& tag,
                        PsfImage& set, const SendUnreadQuestion& send_unread);

}  // namespace kelvt
