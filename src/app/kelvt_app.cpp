#include "app/kelvt_app.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QStyleFactory>

#include "gui/active_dialog.h"
#include "app/help_window.h"
#include "app/main_frame.h"
#include "gui/prompter.h"
#include "app/splash_wnd.h"

#include "app/resources.h"

namespace kelvt {

CKelvtApp::CKelvtApp() { EnsureResources(); }

CKelvtApp::~CKelvtApp() = default;

void CKelvtApp::SetDialogColours() {
  // A style that honours the palette on every desktop.
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  QPalette palette = QApplication::palette();
  const QColor grey(192, 192, 192);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, grey);
    palette.setColor(group, QPalette::Button, grey);
    palette.setColor(group, QPalette::WindowText, Qt::black);
    palette.setColor(group, QPalette::ButtonText, Qt::black);
    palette.setColor(group, QPalette::Text, Qt::black);
  }
  // Greyed text (disabled items, unlit CAP/NUM/SCRL panes) stays readable.
  const QColor greyed(128, 128, 128);
  palette.setColor(QPalette::Disabled, QPalette::Window, grey);
  palette.setColor(QPalette::Disabled, QPalette::Button, grey);
  palette.setColor(QPalette::Disabled, QPalette::WindowText, greyed);
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, greyed);
  palette.setColor(QPalette::Disabled, QPalette::Text, greyed);
  QApplication::setPalette(palette);
}

int CKelvtApp::InitInstance(bool show_splash) {
  SetDialogColours();
  QApplication::setWindowIcon(AppIcon());
  // Keep the windows answering while the serial layer waits.
  InstallQtIdleHook();

  main_frame = std::make_unique<CMainFrame>();
  main_frame->show();
  main_frame->setWindowTitle(QString::fromLatin1(kWindowCaption));

  help_file = FindHelpFile();
  help_available = help_file.isEmpty() ? 0 : 1;
  main_frame->SetHelpFile(help_file);

  if (show_splash) {
    CSplashWnd splash;
    splash.exec();
  }
  // A set left unfinished by an earlier run is offered before anything else.
  main_frame->OfferUnfinishedSets();
  return 1;
}

}  // namespace kelvt
