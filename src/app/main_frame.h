#pragma once
// The main window: the menu of operations, the serial-port choice, the
// status bar, and the settings it reads when created and writes when
// destroyed.

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <string>

#include "platform/frame_settings.h"
#include "serial/serial_device_list.h"

class QAction;
class QLabel;
class QMenu;

namespace kelvt {

class CKelvtView;
class HelpWindow;
class LockIndicators;
class WindowMemory;

// Command ids of the menu items.
enum MenuCommand : int {
  kCmdAlignment = 32772,
  kCmdDiagnostics = 32773,
  kCmdEditPsf = 32774,
  kCmdSaveSettings = 32778,
  kCmdPartNumber = 32784,
  kCmdSerialDevices = 32808,  // Options > Serial Port > Devices...
  kCmdRecordFolder = 32809,   // Options > Record Folder...
  kCmdHistory = 32810,        // Kelvo-Tarn > History...
  kCmdAbout = 57664,
  kCmdExit = 57665,
  kCmdHelpIndex = 57666,
};

// Command ids of the 24 serial-port items, COM1 first (32790 is not used).
extern const int kSerialPortCommands[24];

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the menus and the status bar, then reads the settings.
  explicit CMainFrame(QWidget* parent = nullptr);
  // Writes the settings (only while save_on_exit is set).
  ~CMainFrame() override;

  void ReadSettings();
  void WriteSettings();

  int PortNumber() const { return settings.port_number; }
  // Asks about each set the journal holds unfinished; Yes puts it back.
  void OfferUnfinishedSets();
  int SaveOnExit() const { return settings.save_on_exit; }
  // The chosen record folder; empty while the default is used.
  const std::string& RecordFolder() const { return settings.record_folder; }
  int PartNumbersPresent() const { return settings.part_numbers_present; }
  // The settings file this window reads and writes (and the part-number list lives in).
  const std::string& SettingsPath() const { return settings_path; }

  // The help file found at start-up; empty leaves Help > Index disabled.
  void SetHelpFile(const QString& path);
  const QString& HelpFile() const { return help_file; }

  QAction* Action(int command) const;
  // Where the Devices dialog finds the devices; nullptr: the system's.
  void SetDeviceSource(SerialDeviceSource* source) { device_source = source; }
  QAction* SerialPortAction(int index) const { return serial_port_actions[index]; }
  QMenu* SerialPortMenu() const { return serial_port_menu; }
  QLabel* MessagePane() const { return message_pane; }
  LockIndicators* Indicators() const { return indicators; }
  HelpWindow* Help() const;

 public slots:
  void OnDiagnostics();
  void OnAlignment();
  void OnEditPsf();
  void OnPartNumber();
  // Every change made to a controller, from the journal; Open in Editor
  // then opens the editor on the chosen set.
  void OnHistory();
  void OnSerialPort(int index);
  void OnSerialDevices();
  // Asks for the folder of scan recordings; kept in the settings on exit.
  void OnRecordFolder();
  void OnSaveSettings();
  void OnHelpIndex();
  void OnAbout();
  // Brings every check mark and enable state up to date (all off while an
  // operation runs).
  void UpdateMenuStates();

 protected:
  bool event(QEvent* event) override;
  // Refused while an operation runs: its dialogs and the port are still in use.
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddCommand(QMenu* menu, int command, const QString& text, const QString& prompt);
  template <class Op>
  void RunOperation();
  // Marks an operation as running (or ended) and brings the menu's states along.
  void SetOperationRunning(bool running);

  FrameSettings settings;
  std::string settings_path;
  bool settings_written = false;
  bool operation_running = false;
  QString help_file;

  CKelvtView* view;
  QLabel* message_pane;
  LockIndicators* indicators;
  QMenu* serial_port_menu;
  QAction* serial_port_actions[24] = {};
  std::map<int, QAction*> actions;
  QPointer<HelpWindow> help_window;
  SerialDeviceSource* device_source = nullptr;
  WindowMemory* window_memory;  // the windows' sizes and places, kept in `settings`
};

}  // namespace kelvt
