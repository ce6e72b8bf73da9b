#pragma once
// "Add Network Device": the host, port and kind of a serial device server's
// port, made into the path the Devices window lists and maps.

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvt {

class CNetworkDeviceDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CNetworkDeviceDlg(QWidget* parent = nullptr);

  // rfc2217://HOST:PORT or tcp://HOST:PORT; empty while the fields make none.
  std::string Path() const;

  QLineEdit* HostEdit() const { return host_; }
  QSpinBox* PortBox() const { return port_; }
  QComboBox* KindBox() const { return kind_; }
  QLabel* Note() const { return note_; }
  QPushButton* OkButton() const { return ok_; }

 private slots:
  void Update();

 private:
  QLineEdit* host_;
  QSpinBox* port_;
  QComboBox* kind_;
  QLabel* note_;
  QPushButton* ok_;
};

}  // namespace kelvt
