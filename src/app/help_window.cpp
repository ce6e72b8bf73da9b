#include "app/help_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kelvt {

HelpWindow::HelpWindow(const QString& path, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpWindow"));
  setWindowTitle(QStringLiteral("Kelvo-Tarn Help"));
  browser_ = new QTextBrowser(this);
  browser_->setAccessibleName(QStringLiteral("User's guide"));
  browser_->setOpenExternalLinks(true);
  // The guide is HTML whatever its extension says.
  browser_->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()),
                      QTextDocument::HtmlResource);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(720, 640);
  // A window of its own has no Close button in reach of the keyboard.
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
  }
}

QStringList HelpFileCandidates() {
  QStringList candidates{QStringLiteral("kelvt.hlp")};
  if (QCoreApplication::instance() != nullptr) {
    const QDir exe(QCoreApplication::applicationDirPath());
    candidates << exe.filePath(QStringLiteral("kelvt.hlp"))
               << QDir::cleanPath(exe.filePath(QStringLiteral("../share/kelvt/kelvt.hlp")));
  }
  return candidates;
}

QString FindHelpFile() {
  for (const QString& candidate : HelpFileCandidates()) {
    QFile file(candidate);
    if (file.open(QIODevice::ReadOnly)) return QFileInfo(candidate).absoluteFilePath();
  }
  return {};
}

}  // namespace kelvt
