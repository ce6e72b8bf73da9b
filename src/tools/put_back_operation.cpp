#include "tools/put_back_operation.h"

#include <utility>

#include "gui/active_dialog.h"
#include "gui/prompter.h"
#include "ops/journal_view.h"
#include "ops/put_back.h"
#include "ops/recover.h"
#include "serial/device_path.h"
#include "serial/serial_device_list.h"
#include "tools/recover_operation.h"

namespace kelvt {
namespace {

constexpr int kPutBackBaud = 9600;

std::string PortPlace(int port_number) {
  return "COM" + std::to_string(port_number + 1) + " " +
         DevicePathForPort(port_number, &Operation::CurrentDeviceOverrides());
}

}  // namespace

PutBackOperation::PutBackOperation(QWidget* parent, int port_number, int baud_rate,
                                   JournalEntry entry)
    : Operation(parent, port_number, baud_rate), entry_(std::move(entry)) {}

int PutBackOperation::Execute() {
  SetJournal* journal = InstalledJournal();
  if (journal == nullptr || !link) return 0;
  const std::string place = PortPlace(port_number);
  const auto ask = [this] { return AskSendUnread(parent); };
  PutBackOutcome outcome;
  {
    WaitCursor wait;
    outcome = PutBackEntry(*link, *journal, entry_, false, ask, Tag("put back"));
  }
  if (outcome.status == PutBackStatus::kMismatch) {
    const PromptAnswer answer = CurrentPrompter().Message(
        parent,
        PutBackMessage(outcome, entry_, place) +
            "\n\nPut it back on this controller all the same? Its own set is journaled first.",
        kWindowCaption, PromptButtons::YesNoDefaultNo, PromptIcon::Warning);
    if (answer != PromptAnswer::Yes) return 0;
    WaitCursor wait;
    outcome = PutBackEntry(*link, *journal, entry_, true, ask, Tag("put back"));
  }
  // The user declined to send without a copy: nothing more to say.
  if (outcome.status == PutBackStatus::kNotRead) return 0;
  const bool back = outcome.status == PutBackStatus::kPutBack;
  CurrentPrompter().Message(parent, PutBackMessage(outcome, entry_, place), kWindowCaption,
                            PromptButtons::Ok,
                            back ? PromptIcon::Information : PromptIcon::Warning);
  return back ? 1 : 0;
}

void RunPutBack(QWidget* parent, const JournalEntry& entry, SerialDeviceSource* devices) {
  SystemSerialDevices system;
  const std::vector<SerialDevice> found = (devices != nullptr ? devices : &system)->List();
  const std::string path = PresentPathOf(entry, found);
  const int port = path.empty() ? -1
                                : PortOfDevice(path, entry.tag.port,
                                               Operation::CurrentDeviceOverrides());
  if (port < 0) {
    const std::string device = path.empty() ? entry.tag.device : path;
    CurrentPrompter().Message(parent,
                              (path.empty() ? "The device " + device + " is not connected."
                                            : "No serial port of this tool leads to " + device +
                                                  ".") +
                                  "\nConnect it and map a port to it (Options > Serial Port > "
                                  "Devices...), or run 'kelvt-cli journal put-back " +
                                  entry.id + "'.",
                              kWindowCaption, PromptButtons::Ok, PromptIcon::Warning);
    return;
  }
  const std::string what = entry.kind == EntryKind::kNullSpan
                               ? "the null and span values of " + entry.time
                               : "the PSF of " + entry.time;
  const PromptAnswer answer = CurrentPrompter().Message(
      parent, "Put " + what + " back on " + PortPlace(port) + "?", kWindowCaption,
      PromptButtons::YesNo, PromptIcon::Question);
  if (answer != PromptAnswer::Yes) return;
  PutBackOperation operation(parent, port, kPutBackBaud, entry);
  operation.Run();
}

}  // namespace kelvt
