#pragma once
// Set Part Number: the user picks a part number, and the controller's PSF is
// read, stamped with it and today's date code, and sent back. Nothing is
// restored afterwards: the stamped set is meant to stay.

#include "gui/operation.h"
#include "ops/alignment_steps.h"

namespace kelvt {

class PartNumberOperation : public Operation {
 public:
  PartNumberOperation(QWidget* parent, int port_number, int baud_rate);

  int Execute() override;

  // The message that reports `status`; `list_empty` tells why a part number
  // was missing.
  static const char* ResultText(StampStatus status, bool list_empty);
};

}  // namespace kelvt
