#include "tools/diagnostics_operation.h"

#include <QApplication>

#include "gui/prompter.h"
#include "tools/diagnostics_dlg.h"

namespace kelvt {

DiagnosticsOperation::DiagnosticsOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {}

int DiagnosticsOperation::ReadDiagnostics() {
  const int result = link ? link->InputDiagnostics(diagnostics) : 0;
  if (result == 0) {
    // Over whichever window is active: the main window, or the dialog on Refresh.
    CurrentPrompter().Message(QApplication::activeWindow(), "Error reading diagnostics", kAppTitle,
                              PromptButtons::Ok, PromptIcon::Warning);
  }
  return result;
}

int DiagnosticsOperation::Execute() {
  if (ReadDiagnostics() == 0) return 0;
  CDiagnosticsDlg dialog(this, parent);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
