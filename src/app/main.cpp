// kelvt: the desktop tool. No command line of its own.
#include <QApplication>

#include "app/kelvt_app.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kelvt::CKelvtApp kelvt_app;
  if (!kelvt_app.InitInstance()) return 1;
  return QApplication::exec();
}
