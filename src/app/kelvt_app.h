#pragma once
// The application object: start-up order, the look of the dialogs, the help
// check and the splash screen.

#include <QString>
#include <memory>

namespace kelvt {

class CMainFrame;

class CKelvtApp {
 public:
  CKelvtApp();
  ~CKelvtApp();
  CKelvtApp(const CKelvtApp&) = delete;
  CKelvtApp& operator=(const CKelvtApp&) = delete;

  // Colours, main window, caption, help check, splash. A QApplication must
  // exist. Tests pass false to skip the two-second splash.
  int InitInstance(bool show_splash = true);

  CMainFrame* MainFrame() const { return main_frame.get(); }

  // Light grey dialogs with black text, for the whole application.
  static void SetDialogColours();

  int help_available = 0;
  QString help_file;

 private:
  std::unique_ptr<CMainFrame> main_frame;
};

}  // namespace kelvt
