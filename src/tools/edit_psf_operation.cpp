#include "tools/edit_psf_operation.h"

#include "tools/psf_config_dlg.h"

namespace kelvt {

EditPsfOperation::EditPsfOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {}

int EditPsfOperation::Execute() {
  CPsfConfigDlg dialog(this, parent);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
