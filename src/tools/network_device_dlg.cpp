#include "tools/network_device_dlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "serial/network_serial_port.h"

namespace kelvt {

CNetworkDeviceDlg::CNetworkDeviceDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Add Network Device"));
  host_ = new QLineEdit(this);
  host_->setPlaceholderText(QStringLiteral("10.1.2.3, fd00::17 or a host name"));
  port_ = new QSpinBox(this);
  port_->setRange(1, 65535);
  port_->setValue(4001);
  kind_ = new QComboBox(this);
  kind_->addItem(QStringLiteral("RFC 2217 (the tool sets the line)"));
  kind_->addItem(QStringLiteral("Raw TCP (the server's fixed line settings)"));
  note_ = new QLabel(this);
  note_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Host:"), host_);
  form->addRow(QStringLiteral("&Port:"), port_);
  form->addRow(QStringLiteral("&Kind:"), kind_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note_);
  layout->addWidget(buttons);

  connect(host_, &QLineEdit::textChanged, this, &CNetworkDeviceDlg::Update);
  connect(port_, &QSpinBox::valueChanged, this, &CNetworkDeviceDlg::Update);
  connect(kind_, &QComboBox::currentIndexChanged, this, &CNetworkDeviceDlg::Update);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Update();
}

std::string CNetworkDeviceDlg::Path() const {
  const NetworkKind kind = kind_->currentIndex() == 1 ? NetworkKind::kRaw : NetworkKind::kRfc2217;
  return NetworkDevicePath(kind, host_->text().trimmed().toStdString(), port_->value());
}

void CNetworkDeviceDlg::Update() {
  const std::string path = Path();
  ok_->setEnabled(!path.empty());
  QString note = kind_->currentIndex() == 1
                     ? QStringLiteral("Raw TCP carries data only, at the server's own fixed line "
                                      "settings: Find Controller finds the controller only at the "
                                      "rate the server is set to (set it to the controller's rate, "
                                      "even parity, 8 data bits, two stop bits).")
                     : QStringLiteral("The server must speak RFC 2217 (ser2net: "
                                      "telnet(rfc2217)); the tool then sets rate, parity and "
                                      "stop bits itself.");
  if (!path.empty()) note += QStringLiteral("\nDevice: ") + QString::fromStdString(path);
  note_->setText(note);
}

}  // namespace kelvt
