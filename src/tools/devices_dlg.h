#pragma once
// "Devices": the serial devices found and the settings file's mappings, with
// the COM number each is mapped to. Maps the selected device to a COM number
// (the by-id path, so it survives another USB socket), selects that port,
// and finds the controller. The list follows hot-plug.

#include <string>
#include <vector>

#include "gui/loop_dialog.h"
#include "link/controller_probe.h"
#include "serial/device_mapping.h"
#include "serial/serial_device_list.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSocketNotifier;
class QTableWidget;

namespace kelvt {

class CDevicesDlg : public LoopDialog {
  Q_OBJECT

 public:
  // `port_number`: the port selected now (0-based); `settings_path` is read
  // for the mappings and written when a device is mapped.
  CDevicesDlg(SerialDeviceSource& source, std::string settings_path, int port_number,
              QWidget* parent = nullptr);

  // The port to select afterwards: the one a device was last mapped to, else
  // the one given. MappingsChanged: the settings file's [Devices] was written.
  int PortNumber() const { return port_number_; }
  bool MappingsChanged() const { return mappings_changed_; }

  // How devices are opened while searching; tests replace it.
  void SetProbeOpener(ProbeOpener opener) { opener_ = std::move(opener); }

  QTableWidget* Table() const { return table_; }
  QComboBox* PortBox() const { return port_box_; }
  QPushButton* MapButton() const { return map_button_; }
  QPushButton* FindButton() const { return find_button_; }
  QPushButton* AddNetworkButton() const { return add_network_button_; }
  QLabel* StatusLine() const { return status_; }
  const std::vector<DeviceEntry>& Entries() const { return entries_; }

 public slots:
  void Refresh();
  void OnMap();
  void OnFind();
  void OnHotPlug();
  // "Add Network Device...": asks for host, port and kind.
  void OnAddNetwork();

 public:
  // Lists a network device (present when its server accepts a connection)
  // until the window closes; mapping it keeps it in the settings file.
  void AddNetworkDevice(const std::string& path);

 private:
  void Fill();
  bool Map(size_t row, int port_number);
  std::string ControllerText(const std::string& path) const;

  SerialDeviceSource& source_;
  std::string settings_path_;
  int port_number_;
  bool mappings_changed_ = false;
  bool searching_ = false;
  bool stop_requested_ = false;
  bool refresh_pending_ = false;  // a device came or went while searching
  ProbeOpener opener_ = OpenProbePort;
  std::vector<DeviceEntry> entries_;
  std::vector<ProbeResult> results_;
  std::vector<std::string> network_added_;

  QTableWidget* table_;
  QComboBox* port_box_;
  QPushButton* map_button_;
  QPushButton* find_button_;
  QPushButton* add_network_button_;
  QPushButton* refresh_button_;
  QPushButton* close_button_;
  QLabel* status_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kelvt
