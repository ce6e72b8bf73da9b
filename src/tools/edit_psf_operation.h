#pragma once
// Edit PSF (F4): runs the PSF configuration editor on the operation's link.

#include "gui/operation.h"

namespace kelvt {

class EditPsfOperation : public Operation {
 public:
  EditPsfOperation(QWidget* parent, int port_number, int baud_rate);
  // Runs the editor modally; 1 whatever the editor's result.
  int Execute() override;
  // No port: the editor still prepares sets from and to files, its commands
  // that need the controller disabled.
  int ExecuteOffline() override;
};

}  // namespace kelvt
