#include "ops/journaled_send.h"

#include "link/controller_link.h"
#include "ops/confirmed_read.h"

namespace kelvt {

SendResult SendWithCopy(ControllerLink& link, SetJournal* journal, const JournalTag& tag,
                        PsfImage& set, const SendUnreadQuestion& send_unread) {
  SendResult result;
  // A silent controller is told apart from one whose set is unreadable: the
  // question only makes sense for the second.
  SyncReply reply;
  if (!link.Synchronize(reply)) return result;
  if (ReadConfirmedPsf(link, result.before)) {
    if (journal != nullptr) {
      JournalRecord record;
      record.tag = tag;
      record.controller.letter = link.ControllerId();
      record.before = result.before;
      record.has_sent = true;
      record.sent = set;
      // The change is meant: the entry records it, nothing is owed back.
      record.finished = true;
      if (!journal->Add(record, result.entry_id)) {
        result.status = SendStatus::kNotJournaled;
        return result;
      }
    }
    result.copied = true;
  } else if (!send_unread || !send_unread()) {
    result.status = SendStatus::kNotRead;
    return result;
  }
  const bool accepted = link.OutputPsf(set) != 0;
  if (accepted) {
    result.status = SendStatus::kAccepted;
  } else {
    result.status = link.PsfFrameSent() ? SendStatus::kNotAccepted : SendStatus::kNoAnswer;
  }
  return result;
}

}  // namespace kelvt
