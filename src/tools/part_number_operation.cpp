#include "tools/part_number_operation.h"

#include <QListWidget>

#include "gui/active_dialog.h"
#include "gui/prompter.h"
#include "ops/status_messages.h"
#include "tools/part_number_dlg.h"

namespace kelvt {

PartNumberOperation::PartNumberOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {}

const char* PartNumberOperation::ResultText(StampStatus status, bool list_empty) {
  switch (status) {
    case StampStatus::Stamped:
    case StampStatus::InputPsfFailed:
    case StampStatus::NotJournaled:
    case StampStatus::OutputPsfFailed:
    case StampStatus::OutputPsfNoAnswer:
      return StampMessage(status);
    case StampStatus::BadPartNumber:
      return list_empty
                 ? "No part number was set: the PartNumbers section of the settings file holds "
                   "no six-character part number.\nNothing was sent to the controller."
                 : "No part number was selected.\nNothing was sent to the controller.";
    case StampStatus::BadDateCode:
      return "No date code could be formed from the local date.\nNothing was sent to the "
             "controller.";
  }
  return "";
}

int PartNumberOperation::Execute() {
  CPartNumberDlg dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return 1;
  if (!link) return 1;
  const bool list_empty = dialog.PartNumberList()->count() == 0;
  StampStatus status;
  {
    WaitCursor wait;
    PsfImage image;
    guard = std::make_unique<SavedSetGuard>(*link, *this, InstalledJournal(), Tag("stamp"));
    status = StampPartNumber(*link, *guard, dialog.PartNumber().c_str(), dialog.DateCode().c_str(),
                             image);
  }
  // The controller's own three answers come in a plain box; a refusal to send
  // is a warning.
  const bool refused = status == StampStatus::BadPartNumber || status == StampStatus::BadDateCode;
  const PromptIcon icon = refused ? PromptIcon::Warning : PromptIcon::None;
  CurrentPrompter().Message(parent, ResultText(status, list_empty), kAppTitle, PromptButtons::Ok,
                            icon, status == StampStatus::NotJournaled ? JournalProblem() : "");
  return 1;
}

}  // namespace kelvt
