#pragma once
// The user's guide in a window of its own, next to the main window.

#include <QWidget>

class QTextBrowser;

namespace kelvt {

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(const QString& path, QWidget* parent = nullptr);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// Where the guide is looked for at start-up, first match wins: "kelvt.hlp"
// in the current folder, then beside the executable, then in the data
// folder an installation puts it in (../share/kelvt from the executable).
QStringList HelpFileCandidates();
// The first candidate that opens for reading, or "".
QString FindHelpFile();

}  // namespace kelvt
