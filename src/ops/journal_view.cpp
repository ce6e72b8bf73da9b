#include "ops/journal_view.h"

#include "ops/journal_filter.h"
#include "ops/set_changes.h"

namespace kelvt {

EntryChanges ChangesOf(const SetJournal& journal, const JournalEntry& entry) {
  EntryChanges changes;
  if (!entry.has_sent) {
    changes.problem = "no set sent is recorded";
    return changes;
  }
  LoadResult read = LoadResult::kOk;
  if (entry.kind == EntryKind::kNullSpan) {
    NullSpanValues before;
    NullSpanValues sent;
    read = journal.LoadNullSpan(entry, before, sent);
    if (read == LoadResult::kOk) changes.fields = NullSpanChanges(before, sent);
  } else {
    PsfImage before;
    PsfImage sent;
    read = journal.Load(entry, before);
    if (read == LoadResult::kOk) read = journal.LoadSent(entry, sent);
    if (read == LoadResult::kOk) changes.fields = SetChanges(before, sent);
  }
  if (read != LoadResult::kOk) {
    changes.fields.clear();
    changes.problem = LoadResultText(read);
    return changes;
  }
  changes.known = true;
  return changes;
}

const char* EntryStateText(const JournalEntry& entry) {
  switch (entry.state) {
    case EntryState::kPutBack: return "put back";
    case EntryState::kFinished: return "finished";
    case EntryState::kOpen: break;
  }
  return "UNFINISHED";
}

std::string EntryPlaceText(const JournalEntry& entry) {
  if (entry.tag.port.empty()) return entry.tag.device;
  return entry.tag.port + " " + entry.tag.device;
}

std::string EntryWho(const JournalEntry& entry) {
  if (entry.user.empty() && entry.host.empty()) return {};
  return entry.user + "@" + entry.host;
}

DeviceIdentity EntryDevice(const JournalEntry& entry) {
  return entry.legacy ? IdentifyDevice(entry.tag.device) : entry.device;
}

std::time_t EntryMoment(const JournalEntry& entry) {
  if (entry.epoch != 0) return static_cast<std::time_t>(entry.epoch);
  return LocalTimeOf(entry.time);
}

std::vector<JournalEntry> FilterEntries(const std::vector<JournalEntry>& entries,
                                        const EntryFilter& filter) {
  std::vector<JournalEntry> kept;
  for (const JournalEntry& entry : entries) {
    if (filter.since != -1 && EntryMoment(entry) < filter.since) continue;
    if (filter.device && !SameDevice(EntryDevice(entry), *filter.device)) continue;
    kept.push_back(entry);
  }
  return kept;
}

FindResult FindEntry(const std::vector<JournalEntry>& entries, const std::string& id,
                     JournalEntry& found) {
  if (id.empty()) return FindResult::kNone;
  int matches = 0;
  for (const JournalEntry& entry : entries) {
    if (entry.id == id) {
      found = entry;
      return FindResult::kFound;
    }
    if (entry.id.compare(0, id.size(), id) == 0) {
      found = entry;
      ++matches;
    }
  }
  if (matches == 1) return FindResult::kFound;
  return matches == 0 ? FindResult::kNone : FindResult::kAmbiguous;
}

}  // namespace kelvt
