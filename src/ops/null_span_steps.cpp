#include "ops/null_span_steps.h"

#include <cctype>

#include "link/controller_link.h"
#include "ops/recover.h"

namespace kelvt {
namespace {

constexpr char kEscByte = 0x1B;
constexpr char kFsByte = 0x1C;
constexpr char kLfByte = 0x0A;

// The reply starts as the request did (ESC) or as every other reply (FS).
bool WholeReadReply(const char* frame, char letter) {
  if ((frame[0] != kEscByte && frame[0] != kFsByte) || frame[1] != letter || frame[2] != 'K' ||
      frame[3] != kNullSpanRead || frame[kNullSpanFrameSize - 1] != kLfByte) {
    return false;
  }
  for (int i = 4; i < 20; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(frame[i]))) return false;
  }
  return true;
}

}  // namespace

int ReadNullSpan(ControllerLink& link, NullSpanValues& values, char& letter) {
  char frame[kNullSpanBufferSize];
  BuildNullSpanReadRequest(frame);
  if (!link.ExchangeFrame21(frame)) return 0;
  if (!WholeReadReply(frame, link.ControllerId())) return 0;
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
  if (link.SendEscapeCommand(frame) != 0) {
    result.status = NullSpanStatus::kNotSent;
  } else {
    result.status = IsNullSpanUpdateAcknowledged(frame, values) ? NullSpanStatus::kAcknowledged
                                                                : NullSpanStatus::kNotAcknowledged;
  }
  return result;
}

}  // namespace kelvt
