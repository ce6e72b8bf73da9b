#include "tools/alignment_operation.h"

#include "gui/active_dialog.h"
#include "gui/prompter.h"
#include "ops/status_messages.h"
#include "tools/alignment_dlg.h"

namespace kelvt {

AlignmentOperation::AlignmentOperation(QWidget* parent, int port_number, int baud_rate)
    : Operation(parent, port_number, baud_rate) {
  working_psf[0] = 0;
}

const char* AlignmentOperation::FailureText(AlignmentStatus status) {
  return AlignmentMessage(status);
}

int AlignmentOperation::Execute() {
  if (!link) return 0;
  AlignmentSetup setup;
  guard = std::make_unique<SavedSetGuard>(*link, *this, InstalledJournal(), Tag("alignment"));
  WaitCursor wait;
  const AlignmentStatus status = PrepareAlignment(*link, *guard, working_psf, setup);
  wait.Release();
  if (status != AlignmentStatus::Ready) {
    // An unconfirmed send armed the guard: Run puts the own set back.
    CurrentPrompter().Message(parent, FailureText(status), kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop,
                              status == AlignmentStatus::NotJournaled ? JournalProblem() : "");
    return 0;
  }
  // The controller now runs the alignment set: from here on, leaving by any
  // path puts its own set back.
  CAlignmentDlg dialog(link.get(), setup.channel_count, parent);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
