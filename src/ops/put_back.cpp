#include "ops/put_back.h"

#include "link/controller_link.h"
#include "ops/null_span_steps.h"
#include "ops/status_messages.h"

namespace kelvt {
namespace {

PutBackOutcome PutBackNullSpan(ControllerLink& link, SetJournal& journal,
                               const JournalEntry& entry, bool force,
                               const SendUnreadQuestion& send_unread, const JournalTag& tag) {
  PutBackOutcome outcome;
  NullSpanValues before;
  NullSpanValues sent;
  const LoadResult read = journal.LoadNullSpan(entry, before, sent);
  if (read != LoadResult::kOk) {
    outcome.status = PutBackStatus::kUnloadable;
    outcome.problem = LoadResultText(read);
    return outcome;
  }
  if (!AskControllerIdentity(link, outcome.controller)) return outcome;
  if (!force && !EntryMatchesController(entry, outcome.controller)) {
    outcome.status = PutBackStatus::kMismatch;
    return outcome;
  }
  const NullSpanResult result = SendNullSpanWithCopy(link, &journal, tag, kNullSpanFinish, 0,
                                                     before, send_unread, &outcome.controller);
  outcome.replaced_id = result.entry_id;
  switch (result.status) {
    case NullSpanStatus::kAcknowledged:
      journal.MarkPutBack(entry.id);
      outcome.status = PutBackStatus::kPutBack;
      break;
    case NullSpanStatus::kNotRead: outcome.status = PutBackStatus::kNotRead; break;
    case NullSpanStatus::kNotJournaled: outcome.status = PutBackStatus::kNotJournaled; break;
    case NullSpanStatus::kNotSent:
    case NullSpanStatus::kNotAcknowledged: outcome.status = PutBackStatus::kNoAnswer; break;
  }
  return outcome;
}

}  // namespace

PutBackOutcome PutBackEntry(ControllerLink& link, SetJournal& journal, const JournalEntry& entry,
                            bool force, const SendUnreadQuestion& send_unread,
                            const JournalTag& tag) {
  if (entry.kind == EntryKind::kNullSpan) {
    return PutBackNullSpan(link, journal, entry, force, send_unread, tag);
  }
  // One entry put back is a recover of that entry alone.
  const RecoverOutcome recovered =
      RecoverUnfinished(link, journal, {entry}, force, tag, send_unread);
  PutBackOutcome outcome;
  outcome.controller = recovered.controller;
  outcome.replaced_id = recovered.replaced_id;
  switch (recovered.status) {
    case RecoverStatus::kDone: outcome.status = PutBackStatus::kPutBack; break;
    case RecoverStatus::kNothingLoadable:
      outcome.status = PutBackStatus::kUnloadable;
      outcome.problem = recovered.skipped.empty() ? std::string() : recovered.skipped.front();
      break;
    case RecoverStatus::kNoAnswer: outcome.status = PutBackStatus::kNoAnswer; break;
    case RecoverStatus::kMismatch: outcome.status = PutBackStatus::kMismatch; break;
    case RecoverStatus::kNotRead: outcome.status = PutBackStatus::kNotRead; break;
    case RecoverStatus::kNotJournaled: outcome.status = PutBackStatus::kNotJournaled; break;
  }
  return outcome;
}

std::string PutBackMessage(const PutBackOutcome& outcome, const JournalEntry& entry,
                           const std::string& place) {
  const bool values = entry.kind == EntryKind::kNullSpan;
  const std::string what = values ? "The null and span values of " + entry.time
                                  : "The PSF of " + entry.time;
  switch (outcome.status) {
    case PutBackStatus::kPutBack:
      return what + (values ? " are back on " : " is back on ") + place + ".";
    case PutBackStatus::kUnloadable:
      return "The journal's copy of " + entry.time + " cannot be used (" + outcome.problem +
             "). Nothing was sent.";
    case PutBackStatus::kNoAnswer:
      return "Unable to put the set back: no controller answered on " + place +
             ", or it did not take the set.";
    case PutBackStatus::kMismatch: {
      return "The controller on " + place + " is another one: " +
             DescribeController(outcome.controller) + ".\nThe entry was made on " +
             DescribeController(entry.Controller()) + ".";
    }
    case PutBackStatus::kNotRead:
      return std::string(kOwnSetUnreadMessage) + " Nothing was sent.";
    case PutBackStatus::kNotJournaled:
      return std::string(kNotJournaledMessage) + " Nothing was sent.";
  }
  return {};
}

}  // namespace kelvt
