#include "app/start_up_recovery.h"

#include <map>
#include <string>
#include <vector>

#include "gui/prompter.h"
#include "ops/recover.h"
#include "ops/set_journal.h"
#include "serial/serial_device_list.h"
#include "tools/recover_operation.h"

namespace kelvt {

void OfferUnfinishedSets(QWidget* parent, int baud_rate, SerialDeviceSource* devices) {
  SetJournal* journal = InstalledJournal();
  if (journal == nullptr) return;
  const std::vector<JournalEntry> unfinished = journal->Unfinished();
  if (unfinished.empty()) return;
  const std::vector<SerialDevice> found =
      devices != nullptr ? devices->List() : ListSerialDevices();

  // Only what can be put back now: an absent device's entries wait, listed
  // by 'kelvt-cli journal'.
  std::vector<JournalEntry> offered;
  std::vector<std::string> paths;
  std::vector<std::string> lines;
  for (const JournalEntry& entry : unfinished) {
    const std::string path = PresentPathOf(entry, found);
    if (path.empty() || !entry.exact) continue;
    offered.push_back(entry);
    paths.push_back(path);
    lines.push_back(EntryLine(entry, path));
  }
  if (offered.empty()) return;
  std::vector<bool> chosen(offered.size(), true);
  const bool accepted = CurrentPrompter().ChooseItems(
      parent,
      "These operations did not finish: each controller may still hold a changed PSF.\n"
      "Put the saved PSFs back on the chosen ones now? Each controller is asked who it is "
      "first.\n\nCancel keeps them in the journal; the tool asks again at the next start.",
      kWindowCaption, lines, "Put Back", chosen);
  if (!accepted) return;

  // One operation per device, its entries newest first as listed.
  std::map<std::string, std::vector<JournalEntry>> by_device;
  std::vector<std::string> order;
  for (std::size_t i = 0; i < offered.size(); ++i) {
    if (i >= chosen.size() || !chosen[i]) continue;
    if (by_device.find(paths[i]) == by_device.end()) order.push_back(paths[i]);
    by_device[paths[i]].push_back(offered[i]);
  }
  for (const std::string& path : order) {
    const std::vector<JournalEntry>& entries = by_device[path];
    const int port = PortOfDevice(path, entries.front().tag.port, Operation::CurrentDeviceOverrides());
    if (port < 0) {
      CurrentPrompter().Message(parent,
                                "No serial port of this tool leads to " + path +
                                    ".\nMap a port to it (Options > Serial Port > Devices...) "
                                    "and start the tool again, or run 'kelvt-cli --device " +
                                    path + " recover'.",
                                kWindowCaption, PromptButtons::Ok, PromptIcon::Warning);
      continue;
    }
    RecoverOperation operation(parent, port, baud_rate, entries);
    operation.Run();
  }
}

}  // namespace kelvt
