#include "ops/recover.h"

#include <utility>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "ops/confirmed_read.h"
#include "ops/send_back.h"
#include "platform/printable_text.h"
#include "platform/tick.h"
#include "serial/device_mapping.h"

namespace kelvt {
namespace {

std::string Comparable(std::string text) {
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

int AskControllerIdentity(ControllerLink& link, ControllerIdentity& who) {
  DiagnosticRecord diag;
  if (!link.InputDiagnostics(diag)) return 0;
  who.letter = link.ControllerId();
  who.part_number = Comparable(std::string(diag.part_number, sizeof diag.part_number - 1));
  who.date_code = Comparable(std::string(diag.date_code, sizeof diag.date_code - 1));
  return 1;
}

bool EntryMatchesController(const JournalEntry& entry, const ControllerIdentity& who) {
  if (entry.letter != 0 && who.letter != 0 && entry.letter != who.letter) return false;
  const std::string part = Comparable(who.part_number);
  const std::string date = Comparable(who.date_code);
  const bool old_matches =
      Comparable(entry.part_number) == part && Comparable(entry.date_code) == date;
  const bool new_matches = entry.has_sent && Comparable(entry.new_part_number) == part &&
                           Comparable(entry.new_date_code) == date;
  return old_matches || new_matches;
}

std::string DescribeController(const ControllerIdentity& who) {
  std::string text = "controller ";
  text += who.letter != 0 ? PrintableText(std::string(1, who.letter)) : std::string("?");
  text += ", part number " + (who.part_number.empty() ? std::string("(none)") : PrintableText(who.part_number));
  text += ", date code " + (who.date_code.empty() ? std::string("(none)") : PrintableText(who.date_code));
  return text;
}

RecoverOutcome RecoverUnfinished(ControllerLink& link, SetJournal& journal,
                                 const std::vector<JournalEntry>& entries, bool force,
                                 const JournalTag& tag, const SendUnreadQuestion& send_unread) {
  RecoverOutcome outcome;
  struct Loaded {
    const JournalEntry* entry;
    PsfImage image;
  };
  std::vector<Loaded> sets;
  std::vector<const JournalEntry*> unloadable;
  for (const JournalEntry& entry : entries) {
    Loaded loaded{&entry, {}};
    const LoadResult read = journal.Load(entry, loaded.image);
    if (read != LoadResult::kOk) {
      outcome.skipped.push_back(entry.time + " (" + (entry.legacy ? entry.path : entry.set_path) +
                                "): " + LoadResultText(read));
      unloadable.push_back(&entry);
      continue;
    }
    sets.push_back(loaded);
  }
  if (sets.empty()) {
    outcome.status = RecoverStatus::kNothingLoadable;
    return outcome;
  }
  if (!AskControllerIdentity(link, outcome.controller)) {
    outcome.status = RecoverStatus::kNoAnswer;
    return outcome;
  }
  // Entries of another controller wait for it (an adapter that moved on may
  // hold entries of two); none of this one's: refuse.
  std::vector<Loaded> ours;
  for (const Loaded& loaded : sets) {
    if (force || EntryMatchesController(*loaded.entry, outcome.controller)) {
      ours.push_back(loaded);
    } else {
      outcome.expected = loaded.entry->Controller();
      outcome.waiting.push_back(loaded.entry->time + " (" + DescribeController(outcome.expected) +
                                ")");
    }
  }
  if (ours.empty()) {
    outcome.status = RecoverStatus::kMismatch;
    return outcome;
  }
  sets = std::move(ours);

  // What the controller holds now is journaled before anything replaces it.
  // When it cannot be read, only the caller's send_unread lets the sets go
  // back without that copy.
  PsfImage present;
  const bool read = ReadConfirmedPsf(link, present) != 0;
  if (!read && (!send_unread || !send_unread())) {
    outcome.status = RecoverStatus::kNotRead;
    return outcome;
  }
  JournalRecord replaced;
  replaced.tag = tag;
  if (replaced.tag.operation.empty()) replaced.tag.operation = "recover";
  replaced.controller = outcome.controller;
  replaced.before = present;
  // The set that takes its place: the oldest, which the controller keeps.
  replaced.has_sent = true;
  replaced.sent = sets.back().image;
  if (read && !journal.Add(replaced, outcome.replaced_id)) {
    outcome.status = RecoverStatus::kNotJournaled;
    return outcome;
  }
  for (Loaded& loaded : sets) {
    if (!link.OutputPsf(loaded.image)) {
      // Nothing reached the controller: the set it holds is no longer at stake.
      if (outcome.sent == 0 && !link.PsfFrameSent() && !outcome.replaced_id.empty()) {
        journal.MarkFinished(outcome.replaced_id);
      }
      outcome.status = RecoverStatus::kNoAnswer;
      return outcome;
    }
    ++outcome.sent;
    outcome.last_time = loaded.entry->time;
    journal.MarkPutBack(loaded.entry->id);
  }
  // The replaced set was changed on purpose: nothing is owed for it.
  if (!outcome.replaced_id.empty()) journal.MarkFinished(outcome.replaced_id);
  // An entry that could not be sent but is newer than the last set sent is
  // settled: the controller holds a set from before it. An older one is not.
  const JournalEntry* oldest_sent = sets.back().entry;
  for (const JournalEntry* entry : unloadable) {
    if (entry < oldest_sent) {
      journal.MarkFinished(entry->id);
    } else {
      ++outcome.unsent_older;
    }
  }
  BusyWait(kPauseAfterSendBackMs);  // as after any restore, before the port closes
  return outcome;
}

std::string PresentPathOf(const JournalEntry& entry, const std::vector<SerialDevice>& found) {
  // An entry of the previous version knows only its path.
  const DeviceIdentity then = entry.legacy ? IdentifyDevice(entry.tag.device) : entry.device;
  if (then.network) return entry.tag.device;
  if (DevicePresent(entry.tag.device) && SameDevice(then, IdentifyDevice(entry.tag.device))) {
    return entry.tag.device;
  }
  if (!then.by_id.empty() && DevicePresent(then.by_id)) return then.by_id;
  for (const SerialDevice& device : found) {
    if (SameDevice(then, IdentifyDevice(device.path))) return device.path;
  }
  return {};
}

std::string EntryLine(const JournalEntry& entry, const std::string& present_path) {
  std::string line = entry.time + "  " + entry.tag.operation + "  ";
  line += entry.tag.port.empty() ? entry.tag.device : entry.tag.port + " (" + entry.tag.device + ")";
  if (!present_path.empty() && present_path != entry.tag.device) line += ", now " + present_path;
  line += "  " + DescribeController(entry.Controller());
  return line;
}

}  // namespace kelvt
