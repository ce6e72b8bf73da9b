#include "tools/edit_psf_operation.h"

#include "tools/psf_config_dlg.h"

namespace kelvt {

EditPsfOperation::EditPsfOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {}

int EditPsfOperation::Execute() {
  // Execute... runs the controller on the trial set: the journal says so.
  if (link) guard = std::make_unique<SavedSetGuard>(*link, *this, InstalledJournal(), Tag("trial run"));
  CPsfConfigDlg dialog(this, parent);
  dialog.exec();
  return 1;
}

int EditPsfOperation::ExecuteOffline() {
  CPsfConfigDlg dialog(this, parent);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
