#include "ops/recover.h"

#include "link/controller_link.h"
#include "ops/send_back.h"
#include "platform/tick.h"

namespace kelvt {

int RecoverUnfinished(ControllerLink& link, SetJournal& journal,
                      const std::vector<JournalEntry>& entries) {
  for (const JournalEntry& entry : entries) {
    PsfImage image;
    if (!journal.Load(entry, image)) return 0;
    if (!link.OutputPsf(image)) return 0;
    journal.MarkFinished(entry.id);
  }
  if (!entries.empty()) BusyWait(kPauseAfterSendBackMs);  // as after any restore, before the port closes
  return 1;
}

}  // namespace kelvt
