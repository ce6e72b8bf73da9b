#include "app/about_dlg.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/resources.h"

#ifndef KELVT_VERSION
#define KELVT_VERSION "2.0.0"
#endif

namespace kelvt {

const char* ProgramVersion() { return KELVT_VERSION; }

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Kelvo-Tarn"));
  setWindowModality(Qt::WindowModal);  // the guide stays usable beside it
  setObjectName(QStringLiteral("CAboutDlg"));
  EnsureResources();

  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(48, 48));
  auto* name = new QLabel(QStringLiteral("Kelvo-Tarn Version %1").arg(QLatin1String(ProgramVersion())), this);
  name->setObjectName(QStringLiteral("version"));
  auto* notice = new QLabel(
      QStringLiteral("Configuration and service tool for the controller of a measuring\n"
                     "light curtain: parameter sets, alignment, diagnostics,\n"
                     "part number and date code, null and span."),
      this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(notice);
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addLayout(texts, 1);
  row->addWidget(ok, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kelvt
