#include "tools/recover_operation.h"

#include <cstdlib>
#include <utility>

#include "gui/prompter.h"
#include "ops/recover.h"

namespace kelvt {

namespace {
constexpr int kPortCount = 24;  // the Serial Port menu's COM1..COM24
}  // namespace

RecoverOperation::RecoverOperation(QWidget* parent, int port_number, int baud_rate,
                                   JournalEntry entry)
    : Operation(parent, port_number, baud_rate), entry_(std::move(entry)) {}

int RecoverOperation::Execute() {
  SetJournal* journal = InstalledJournal();
  if (journal == nullptr) return 0;
  const std::string place = EntryPlace(entry_);
  if (!RecoverUnfinished(*link, *journal, {entry_})) {
    CurrentPrompter().Message(parent,
                              "Unable to restore original psf.\nThe saved PSF stays in the journal; "
                              "the tool asks again at the next start.",
                              kWindowCaption, PromptButtons::Ok, PromptIcon::Warning,
                              "Journal file: " + entry_.path);
    return 0;
  }
  CurrentPrompter().Message(parent, "The controller's own PSF is back on " + place + ".",
                            kWindowCaption, PromptButtons::Ok, PromptIcon::Information);
  return 1;
}

int PortOfEntry(const JournalEntry& entry, const DeviceOverrides& overrides) {
  const std::string& port = entry.tag.port;
  if (port.size() > 3 && port.compare(0, 3, "COM") == 0) {
    char* end = nullptr;
    const long n = std::strtol(port.c_str() + 3, &end, 10);
    if (*end == '\0' && n >= 1 && n <= kPortCount &&
        DevicePathForPort(static_cast<int>(n - 1), &overrides) == entry.tag.device) {
      return static_cast<int>(n - 1);
    }
  }
  for (int i = 0; i < kPortCount; ++i) {
    if (DevicePathForPort(i, &overrides) == entry.tag.device) return i;
  }
  return -1;
}

std::string EntryPlace(const JournalEntry& entry) {
  if (entry.tag.port.empty()) return entry.tag.device;
  return entry.tag.port + " (" + entry.tag.device + ")";
}

}  // namespace kelvt
