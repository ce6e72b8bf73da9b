#pragma once
// Putting back the sets that the journal holds for a controller whose
// operation never finished (the tool was killed while the controller ran an
// alignment or trial set).

#include <vector>

#include "ops/set_journal.h"

namespace kelvt {

class ControllerLink;

// Sends the sets of `entries` (newest first, as Unfinished lists them) in
// that order, so that the oldest, the set the controller held before the
// first unfinished operation, goes last; each one taken is marked finished.
// 1 when all went back; 0 at the first the controller did not take (or
// whose file could not be read).
int RecoverUnfinished(ControllerLink& link, SetJournal& journal,
                      const std::vector<JournalEntry>& entries);

}  // namespace kelvt
