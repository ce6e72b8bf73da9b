#include "tools/alignment_operation.h"

#include "app/active_dialog.h"
#include "app/prompter.h"
#include "tools/alignment_dlg.h"

namespace kelvt {

AlignmentOperation::AlignmentOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {
  working_psf[0] = 0;
}

const char* AlignmentOperation::FailureText(AlignmentStatus status) {
  switch (status) {
    case AlignmentStatus::DiagnosticsFailed:
      return "Unable to input Diagnostics.";
    case AlignmentStatus::NotOperational:
      return "Alignment cannot be executed because the device is not in an operational state.";
    case AlignmentStatus::InputPsfFailed:
      return "Unable to input psf.";
    case AlignmentStatus::OutputPsfFailed:
    case AlignmentStatus::OutputPsfUnconfirmed:
      return "Unable to output psf.";
    case AlignmentStatus::Ready:
      break;
  }
  return "";
}

int AlignmentOperation::Execute() {
  if (!link) return 0;
  AlignmentSetup setup;
  WaitCursor wait;
  const AlignmentStatus status = PrepareAlignment(*link, saved_psf, working_psf, setup);
  wait.Release();
  if (status != AlignmentStatus::Ready) {
    CurrentPrompter().Message(parent, FailureText(status), kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop);
    // The controller may have taken the alignment set without a readable
    // acknowledgement: then its own set goes back too.
    if (status == AlignmentStatus::OutputPsfUnconfirmed) restore_psf = 1;
    return 0;
  }
  // The controller now runs the alignment set: from here on, leaving by any
  // path puts its own set back.
  restore_psf = 1;
  CAlignmentDlg dialog(link.get(), setup.channel_count, parent);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
