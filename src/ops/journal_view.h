#pragma once
// How the journal is shown: what each entry changed (field by field, named
// as `psf diff` names them), where and by whom, and which entries a listing
// asks for. Shared by `kelvt-cli journal` and the desktop tool's History.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "ops/psf_fields.h"
#include "ops/set_journal.h"
#include "serial/device_identity.h"

namespace kelvt {

struct EntryChanges {
  bool known = false;                 // what was sent is recorded and could be read
  std::vector<PsfDifference> fields;  // a: before, b: sent
  std::string problem;                // why not known
};

// What the entry's operation sent against what the controller held.
EntryChanges ChangesOf(const SetJournal& journal, const JournalEntry& entry);

// "put back", "finished" or "UNFINISHED".
const char* EntryStateText(const JournalEntry& entry);
// "COM3 /dev/ttyUSB0", or the device alone.
std::string EntryPlaceText(const JournalEntry& entry);
// "tech@bench"; "" when not recorded.
std::string EntryWho(const JournalEntry& entry);
// The device as the entry knows it (an old entry: as its path tells now).
DeviceIdentity EntryDevice(const JournalEntry& entry);
// When it was made, or -1 when unknown.
std::time_t EntryMoment(const JournalEntry& entry);

struct EntryFilter {
  std::optional<DeviceIdentity> device;  // the same device, under any name
  std::time_t since = -1;                // -1: any time
};

// The entries the filter keeps, in the order given.
std::vector<JournalEntry> FilterEntries(const std::vector<JournalEntry>& entries,
                                        const EntryFilter& filter);

// The entry whose id is `id`, or begins with it when only one does.
enum class FindResult { kFound, kNone, kAmbiguous };
FindResult FindEntry(const std::vector<JournalEntry>& entries, const std::string& id,
                     JournalEntry& found);

}  // namespace kelvt
