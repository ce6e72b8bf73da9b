#pragma once
// Changing the null and span of the analog outputs as every change is made:
// the four values the controller holds are read first and journaled (a
// small entry of their own) with the values sent, then the update goes out
// and its echo is checked.

#include "link/null_span_frame.h"
#include "ops/journaled_send.h"
#include "ops/set_journal.h"

namespace kelvt {

class ControllerLink;

// Reads the four values; the reply must be whole (ESC or FS, the letter,
// 'K', 'T', sixteen digits, LF). 1 with the values and the controller's letter.
int ReadNullSpan(ControllerLink& link, NullSpanValues& values, char& letter);

enum class NullSpanStatus {
  kAcknowledged,     // sent, and the echo holds the values sent
  kNotRead,          // the values could not be read (and not sent without a copy)
  kNotJournaled,     // read, but not journaled: nothing sent
  kNotSent,          // the update or its reply did not get through
  kNotAcknowledged,  // a reply came, but not 'U' with the values sent
};

struct NullSpanResult {
  NullSpanStatus status = NullSpanStatus::kNotRead;
  bool copied = false;
  NullSpanValues before;  // what the controller held (when copied)
  std::string entry_id;
};

// Reads what the controller holds, journals it with `values` (`journal` may
// be null) under the controller's identity (`who`, else asked), then sends
// `values` with `function` ('N', 'S' or 'E') to the controller `letter` (0:
// the letter its read reply gave).
NullSpanResult SendNullSpanWithCopy(ControllerLink& link, SetJournal* journal,
                                    const JournalTag& tag, char function, char letter,
                                    const NullSpanValues& values,
                                    const SendUnreadQuestion& send_unread,
                                    const ControllerIdentity* who = nullptr);

}  // namespace kelvt
