#pragma once
// Diagnostics (F2): reads what the controller reports about itself and,
// when that worked, shows it in the diagnostics dialog, where Refresh reads
// it again. The controller's PSF is not touched, so nothing is restored.

#include "gui/operation.h"
#include "link/diagnostic_record.h"

namespace kelvt {

class DiagnosticsOperation : public Operation {
 public:
  DiagnosticsOperation(QWidget* parent, int port_number, int baud_rate);

  // Reads into `diagnostics`; on failure tells the user. The link's result.
  int ReadDiagnostics();
  int Execute() override;

  DiagnosticRecord diagnostics;
};

}  // namespace kelvt
