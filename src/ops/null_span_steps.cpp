#include "ops/null_span_steps.h"

#include "link/controller_link.h"
#include "ops/recover.h"

namespace kelvt {

int ReadNullSpan(ControllerLink& link, NullSpanValues& values, char& letter) {
  char frame[kNullSpanBufferSize];
  if (!ReadNullSpanFrame(link, frame)) return 0;
  values = DecodeNullSpanValues(frame);
  letter = frame[1];
  return 1;
}

NullSpanResult SendNullSpanWithCopy(ControllerLink& link, SetJournal* journal,
                                    const JournalTag& tag, char function, char letter,
                                    const NullSpanValues& values,
                                    const SendUnreadQuestion& send_unread,
                                    const ControllerIdentity* who) {
  NullSpanResult result;
  char read_letter = 0;
  if (ReadNullSpan(link, result.before, read_letter)) {
    if (letter == 0) letter = read_letter;
    if (journal != nullptr) {
      JournalRecord record;
      record.tag = tag;
      // Four values say nothing of whose they are: the controller tells,
      // so that they go back only to it.
      if (who != nullptr) {
        record.controller = *who;
      } else if (!AskControllerIdentity(link, record.controller)) {
        record.controller.letter = letter;
      }
      record.kind = EntryKind::kNullSpan;
      record.null_span_before = result.before;
      record.has_sent = true;
      record.null_span_sent = values;
      record.finished = true;  // a change made on purpose: nothing owed back
      if (!journal->Add(record, result.entry_id)) {
        result.status = NullSpanStatus::kNotJournaled;
        return result;
      }
    }
    result.copied = true;
  } else if (!send_unread || !send_unread()) {
    result.status = NullSpanStatus::kNotRead;
    return result;
  }
  if (letter == 0) letter = link.ControllerId();
  if (letter == 0) {
    result.status = NullSpanStatus::kNotSent;  // the controller never answered
    return result;
  }
  char frame[kNullSpanBufferSize];
  BuildNullSpanFrame(frame, letter, function, values);
  switch (SendNullSpanUpdate(link, frame, values)) {
    case NullSpanUpdateResult::kAcknowledged: result.status = NullSpanStatus::kAcknowledged; break;
    case NullSpanUpdateResult::kNotSent: result.status = NullSpanStatus::kNotSent; break;
    case NullSpanUpdateResult::kNotAcknowledged:
      result.status = NullSpanStatus::kNotAcknowledged;
      break;
  }
  return result;
}

}  // namespace kelvt
