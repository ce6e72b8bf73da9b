#include "tools/recover_operation.h"

#include <cstdlib>
#include <utility>

#include "gui/prompter.h"
#include "ops/recover.h"
#include "serial/device_identity.h"

namespace kelvt {

namespace {
constexpr int kPortCount = 24;  // the Serial Port menu's COM1..COM24
}  // namespace

RecoverOperation::RecoverOperation(QWidget* parent, int port_number, int baud_rate,
                                   std::vector<JournalEntry> entries)
    : Operation(parent, port_number, baud_rate), entries_(std::move(entries)) {}

int RecoverOperation::Execute() {
  SetJournal* journal = InstalledJournal();
  if (journal == nullptr || entries_.empty()) return 0;
  const std::string place = EntryPlace(entries_.front());
  const JournalTag tag = Tag("recover");
  // Its present set unreadable: the user decides whether to go on without a copy.
  const auto ask = [this] { return AskSendUnread(parent); };
  RecoverOutcome outcome = RecoverUnfinished(*link, *journal, entries_, false, tag, ask);
  if (outcome.status == RecoverStatus::kMismatch) {
    const PromptAnswer answer = CurrentPrompter().Message(
        parent,
        "The controller on " + tag.port + " is another one: " +
            DescribeController(outcome.controller) + ".\nThe saved PSF is from " +
            DescribeController(outcome.expected) +
            ".\n\nPut it on this controller all the same? Its own PSF is saved in the journal "
            "first.",
        kWindowCaption, PromptButtons::YesNoDefaultNo, PromptIcon::Warning);
    if (answer != PromptAnswer::Yes) return 0;
    outcome = RecoverUnfinished(*link, *journal, entries_, true, tag, ask);
  }
  std::string skipped;
  for (const std::string& s : outcome.skipped) skipped += "Not sent: " + s + "\n";
  if (outcome.status != RecoverStatus::kDone) {
    const char* why = outcome.status == RecoverStatus::kNothingLoadable
                          ? "Unable to restore original psf.\nThe saved PSF is damaged; nothing "
                            "was sent."
                      : outcome.status == RecoverStatus::kNotJournaled
                          ? "Unable to restore original psf.\nThe controller's present PSF could "
                            "not be saved in the journal; nothing was sent."
                          : "Unable to restore original psf.\nThe saved PSF stays in the journal; "
                            "the tool asks again at the next start.";
    CurrentPrompter().Message(parent, why, kWindowCaption, PromptButtons::Ok, PromptIcon::Warning,
                              skipped + "Journal file: " + entries_.front().set_path);
    return 0;
  }
  CurrentPrompter().Message(parent, "The controller's own PSF is back on " + place + ".",
                            kWindowCaption, PromptButtons::Ok, PromptIcon::Information, skipped);
  return 1;
}

int PortOfDevice(const std::string& path, const std::string& preferred,
                 const DeviceOverrides& overrides) {
  const DeviceIdentity wanted = IdentifyDevice(path);
  const auto leads_there = [&](int i) {
    return SameDevice(IdentifyDevice(DevicePathForPort(i, &overrides)), wanted);
  };
  if (preferred.size() > 3 && preferred.compare(0, 3, "COM") == 0) {
    char* end = nullptr;
    const long n = std::strtol(preferred.c_str() + 3, &end, 10);
    if (*end == '\0' && n >= 1 && n <= kPortCount && leads_there(static_cast<int>(n - 1))) {
      return static_cast<int>(n - 1);
    }
  }
  for (int i = 0; i < kPortCount; ++i) {
    if (leads_there(i)) return i;
  }
  return -1;
}

std::string EntryPlace(const JournalEntry& entry) {
  if (entry.tag.port.empty()) return entry.tag.device;
  return entry.tag.port + " (" + entry.tag.device + ")";
}

}  // namespace kelvt
