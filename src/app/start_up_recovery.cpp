#include "app/start_up_recovery.h"

#include <string>
#include <vector>

#include "gui/prompter.h"
#include "ops/set_journal.h"
#include "tools/recover_operation.h"

namespace kelvt {

void OfferUnfinishedSets(QWidget* parent, int baud_rate) {
  SetJournal* journal = InstalledJournal();
  if (journal == nullptr) return;
  const std::vector<JournalEntry> entries = journal->Unfinished(std::string());
  for (const JournalEntry& entry : entries) {
    const std::string place = EntryPlace(entry);
    const std::string question =
        "On " + entry.time + " the " + entry.tag.operation + " on " + place +
        " did not finish: the controller may still hold a changed PSF.\n\n"
        "Put the saved PSF back on that port now?\n\n"
        "No keeps it in the journal; the tool asks again at the next start.";
    const PromptAnswer answer = CurrentPrompter().Message(
        parent, question, kWindowCaption, PromptButtons::YesNo, PromptIcon::Question,
        "Journal file: " + entry.path);
    if (answer != PromptAnswer::Yes) continue;
    const int port = PortOfEntry(entry, Operation::CurrentDeviceOverrides());
    if (port < 0) {
      CurrentPrompter().Message(parent,
                                "No serial port of this tool leads to " + entry.tag.device +
                                    ".\nMap a port to it (Options > Serial Port > Devices...) "
                                    "and start the tool again, or run 'kelvt-cli --device " +
                                    entry.tag.device + " recover'.",
                                kWindowCaption, PromptButtons::Ok, PromptIcon::Warning);
      continue;
    }
    RecoverOperation operation(parent, port, baud_rate, entry);
    operation.Run();
  }
}

}  // namespace kelvt
