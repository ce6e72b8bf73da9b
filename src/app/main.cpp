// kelvt: the desktop tool. No command line of its own.
#include <QApplication>

#include "app/kelvt_app.h"
#include "ops/set_journal.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Every operation writes the controller's own set here before changing it.
  kelvt::SetJournal journal(kelvt::SetJournal::DefaultFolder());
  kelvt::InstallJournal(&journal);
  kelvt::CKelvtApp kelvt_app;
  if (!kelvt_app.InitInstance()) return 1;
  return QApplication::exec();
}
