// kelvt-lab-devices SETTINGS SECONDS: the desktop tool's Devices dialog on
// the machine's own devices and hot-plug monitor, offscreen. Prints the
// table on one line (device, serial number, state of each row) each time
// it changes.

#include <QApplication>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "serial/serial_device_list.h"
#include "tools/devices_dlg.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kelvt-lab-devices SETTINGS SECONDS\n");
    return 2;
  }
  QApplication app(argc, argv);
  kelvt::SystemSerialDevices source;
  kelvt::CDevicesDlg dlg(source, argv[1], 0);
  dlg.show();
  std::string shown;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QTableWidget* table = dlg.Table();
    std::string rows = "table:";
    for (int r = 0; r < table->rowCount(); ++r) {
      for (int c : {0, 2, 4}) {
        const QTableWidgetItem* item = table->item(r, c);
        rows += (c == 0 ? (r == 0 ? " " : " ; ") : ", ") +
                (item != nullptr ? item->text().toStdString() : std::string());
      }
    }
    if (rows == shown) return;
    shown = rows;
    std::printf("%s\n", rows.c_str());
    std::fflush(stdout);
  });
  look.start(50);
  QTimer::singleShot(std::stoi(argv[2]) * 1000, &app, &QApplication::quit);
  return app.exec();
}
