#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <cerrno>
#include <cstring>

#include "app/about_dlg.h"
#include "app/help_window.h"
#include "app/kelvt_view.h"
#include "app/lock_indicators.h"
#include "gui/operation.h"
#include "gui/prompter.h"
#include "gui/window_memory.h"
#include "platform/profile.h"
#include "app/start_up_recovery.h"
#include "tools/alignment_operation.h"
#include "tools/diagnostics_operation.h"
#include "tools/edit_psf_operation.h"
#include "tools/history_dlg.h"
#include "tools/devices_dlg.h"
#include "tools/measurement_plot.h"
#include "tools/part_number_operation.h"
#include "tools/record_control.h"

namespace kelvt {

const int kSerialPortCommands[24] = {32776, 32777, 32785, 32786, 32787, 32788, 32789, 32791,
                                     32792, 32793, 32794, 32795, 32796, 32797, 32798, 32799,
                                     32800, 32801, 32802, 32803, 32804, 32805, 32806, 32807};

namespace {

constexpr int kOperationBaud = 9600;

const char* const kSerialPortTexts[24] = {
    "COM&1", "COM&2", "COM&3", "COM&4", "COM&5", "COM&6", "COM&7", "COM&8",
    "COM&9", "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16",
    "COM17", "COM18", "COM19", "COM20", "C0M21", "COM22", "COM23", "COM24"};

QString SerialPortPrompt(int index) {
  // The last prompt has a blank before the number.
  if (index == 23) return QStringLiteral("Device is connected to COM 24");
  return QStringLiteral("Device is connected to COM%1").arg(index + 1);
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("CMainFrame"));
  view = new CKelvtView(this);
  setCentralWidget(view);

  QMenu* main_menu = menuBar()->addMenu(QStringLiteral("&Kelvo-Tarn"));
  AddCommand(main_menu, kCmdDiagnostics, QStringLiteral("&Diagnostics...\tF2"),
             QStringLiteral("Executes Diagnostic Test"))
      ->setShortcut(QKeySequence(Qt::Key_F2));
  AddCommand(main_menu, kCmdAlignment, QStringLiteral("&Alignment...\tF3"),
             QStringLiteral("Executes the Channel Alignment"))
      ->setShortcut(QKeySequence(Qt::Key_F3));
  AddCommand(main_menu, kCmdEditPsf, QStringLiteral("&Edit PSF...\tF4"),
             QStringLiteral("Edit and execute a PSF"))
      ->setShortcut(QKeySequence(Qt::Key_F4));
  AddCommand(main_menu, kCmdPartNumber, QStringLiteral("Set &Part Number..."),
             QStringLiteral("Sets the part number and date code in the controller."));
  AddCommand(main_menu, kCmdHistory, QStringLiteral("&History..."),
             QStringLiteral("Shows every change made to a controller and puts an earlier PSF back"));
  AddCommand(main_menu, kCmdExit, QStringLiteral("E&xit"),
             QStringLiteral("Quit the application; prompts to save documents"));

  QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
  serial_port_menu = options->addMenu(QStringLiteral("Serial Port"));
  for (int i = 0; i < 24; ++i) {
    QAction* item = AddCommand(serial_port_menu, kSerialPortCommands[i],
                               QString::fromLatin1(kSerialPortTexts[i]), SerialPortPrompt(i));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, i] { OnSerialPort(i); });
    serial_port_actions[i] = item;
  }
  serial_port_menu->addSeparator();
  AddCommand(serial_port_menu, kCmdSerialDevices, QStringLiteral("Devices..."),
             QStringLiteral("Lists the serial devices, maps a port to one, finds the controller"));
  AddCommand(options, kCmdRecordFolder, QStringLiteral("&Record Folder..."),
             QStringLiteral("Chooses the folder the Alignment and Measurement recordings go to"));
  AddCommand(options, kCmdSaveSettings, QStringLiteral("&Save Settings on Exit"),
             QStringLiteral("Save Settings when application exits."))
      ->setCheckable(true);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  AddCommand(help, kCmdHelpIndex, QStringLiteral("&Index"), QStringLiteral("List Help Topics"));
  help->addSeparator();
  AddCommand(help, kCmdAbout, QStringLiteral("&About"),
             QStringLiteral("Displays program information and version number"));

  connect(Action(kCmdDiagnostics), &QAction::triggered, this, &CMainFrame::OnDiagnostics);
  connect(Action(kCmdAlignment), &QAction::triggered, this, &CMainFrame::OnAlignment);
  connect(Action(kCmdEditPsf), &QAction::triggered, this, &CMainFrame::OnEditPsf);
  connect(Action(kCmdPartNumber), &QAction::triggered, this, &CMainFrame::OnPartNumber);
  connect(Action(kCmdHistory), &QAction::triggered, this, &CMainFrame::OnHistory);
  connect(Action(kCmdExit), &QAction::triggered, this, &QWidget::close);
  connect(Action(kCmdSaveSettings), &QAction::triggered, this, &CMainFrame::OnSaveSettings);
  connect(Action(kCmdHelpIndex), &QAction::triggered, this, &CMainFrame::OnHelpIndex);
  connect(Action(kCmdAbout), &QAction::triggered, this, &CMainFrame::OnAbout);
  connect(Action(kCmdSerialDevices), &QAction::triggered, this, &CMainFrame::OnSerialDevices);
  connect(Action(kCmdRecordFolder), &QAction::triggered, this, &CMainFrame::OnRecordFolder);
  for (QMenu* menu : {main_menu, options, serial_port_menu, help}) {
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenuStates);
  }

  // Message pane, then the keyboard indicators.
  message_pane = new QLabel(QStringLiteral("Ready"), this);
  message_pane->setObjectName(QStringLiteral("message_pane"));
  statusBar()->addWidget(message_pane, 1);
  indicators = new LockIndicators(statusBar());

  settings_path = SettingsFilePath();
  ReadSettings();
  window_memory = new WindowMemory(&settings.windows, this);
  resize(640, 420);
}

CMainFrame::~CMainFrame() {
  if (isVisible()) window_memory->Remember(this);
  WriteSettings();
  if (help_window) delete help_window.data();
}

QAction* CMainFrame::AddCommand(QMenu* menu, int command, const QString& text,
                                const QString& prompt) {
  QAction* action = menu->addAction(text);
  action->setStatusTip(prompt);
  action->setData(command);
  actions[command] = action;
  return action;
}

HelpWindow* CMainFrame::Help() const { return help_window.data(); }

QAction* CMainFrame::Action(int command) const {
  const auto it = actions.find(command);
  return it == actions.end() ? nullptr : it->second;
}

void CMainFrame::ReadSettings() {
  Profile profile(settings_path);
  profile.Load();  // no file: every value takes its default
  settings = ReadFrameSettings(profile);
  Operation::SetDeviceOverrides(settings.devices);
  RecordControl::SetFolder(settings.record_folder);
  MeasurementPlot::SetClockTimeDefault(settings.trend_clock_time == 1);
  UpdateMenuStates();
}

void CMainFrame::WriteSettings() {
  if (settings_written || settings.save_on_exit == 0) return;
  settings_written = true;
  // Start from the file as it is now, so that entries edited while the
  // program ran (a part-number list, a device) are kept.
  Profile profile(settings_path);
  if (!profile.Load() && !profile.LoadError().empty()) {
    // Writing now would replace the user's file with only our own keys.
    CurrentPrompter().Message(nullptr, "Unable to save the settings.", kAppTitle,
                              PromptButtons::Ok, PromptIcon::Warning,
                              "File: " + settings_path + "\nReason: " + profile.LoadError() +
                                  "\nThe file could not be read, so it was left as it is.");
    return;
  }
  // The time axis is written once chosen (or already in the file).
  if (settings.trend_clock_time >= 0 || MeasurementPlot::ClockTimeDefault()) {
    settings.trend_clock_time = MeasurementPlot::ClockTimeDefault() ? 1 : 0;
  }
  WriteFrameSettings(settings, profile);
  errno = 0;
  if (!profile.Save()) {
    const int err = errno;
    CurrentPrompter().Message(nullptr, "Unable to save the settings.", kAppTitle,
                              PromptButtons::Ok, PromptIcon::Warning,
                              FileFailureDetail(settings_path, err));
  }
}

void CMainFrame::SetHelpFile(const QString& path) {
  help_file = path;
  UpdateMenuStates();
}

void CMainFrame::UpdateMenuStates() {
  for (int i = 0; i < 24; ++i) serial_port_actions[i]->setChecked(settings.port_number == i);
  Action(kCmdSaveSettings)->setChecked(settings.save_on_exit != 0);
  // While an operation runs the whole menu is off, shortcuts included: a
  // command or a nested dialog chosen during one of its waits would run in
  // the middle of it.
  const bool idle = !operation_running;
  menuBar()->setEnabled(idle);
  for (const auto& [command, action] : actions) action->setEnabled(idle);
  Action(kCmdPartNumber)->setEnabled(idle && settings.part_numbers_present == 1);
  Action(kCmdHelpIndex)->setEnabled(idle && !help_file.isEmpty());
}

void CMainFrame::SetOperationRunning(bool running) {
  operation_running = running;
  UpdateMenuStates();
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // The prompt of the highlighted item, or "Ready" when none is.
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    message_pane->setText(tip.isEmpty() ? QStringLiteral("Ready") : tip);
    return true;
  }
  return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (operation_running) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
  // The program ends with its main window: the guide must not keep it running.
  if (event->isAccepted() && help_window) help_window->close();
}

template <class Op>
void CMainFrame::RunOperation() {
  // The serial layer handles events while it waits: a second command chosen
  // meanwhile must not start another operation on the same port.
  if (operation_running) return;
  SetOperationRunning(true);
  {
    Op operation(this, settings.port_number, kOperationBaud);
    operation.Run();
  }
  SetOperationRunning(false);
}

void CMainFrame::OfferUnfinishedSets() {
  if (operation_running) return;
  SetOperationRunning(true);
  kelvt::OfferUnfinishedSets(this, kOperationBaud);
  SetOperationRunning(false);
}

void CMainFrame::OnDiagnostics() { RunOperation<DiagnosticsOperation>(); }

void CMainFrame::OnAlignment() { RunOperation<AlignmentOperation>(); }

void CMainFrame::OnEditPsf() { RunOperation<EditPsfOperation>(); }

void CMainFrame::OnPartNumber() {
  if (settings.part_numbers_present != 1) return;  // the shortcut-free item is disabled then
  RunOperation<PartNumberOperation>();
}

void CMainFrame::OnHistory() {
  if (operation_running) return;
  static SetJournal none{std::string()};
  SetJournal* journal = InstalledJournal();
  operation_running = true;  // Put Back opens a port: no operation meanwhile
  int result = 0;
  {
    CHistoryDlg dialog(journal != nullptr ? *journal : none, this);
    result = dialog.exec();
  }
  operation_running = false;
  if (result == CHistoryDlg::kOpenInEditor) OnEditPsf();
}

void CMainFrame::OnSerialPort(int index) {
  settings.port_number = index;
  UpdateMenuStates();
}

void CMainFrame::OnSerialDevices() {
  if (operation_running) return;
  SetOperationRunning(true);  // the search opens ports; no operation meanwhile
  {
    SystemSerialDevices system;
    CDevicesDlg dialog(device_source != nullptr ? *device_source : system, settings_path,
                       settings.port_number, this);
    dialog.exec();
    if (dialog.MappingsChanged()) {
      Profile profile(settings_path);
      profile.Load();
      settings.devices = DeviceOverridesFrom(profile);
      Operation::SetDeviceOverrides(settings.devices);
      settings.port_number = dialog.PortNumber();
    }
  }
  SetOperationRunning(false);
}

void CMainFrame::OnRecordFolder() {
  if (operation_running) return;
  std::string folder = RecordControl::Folder();
  if (!CurrentPrompter().ChooseFolder(this, folder) || folder.empty()) return;
  settings.record_folder = folder;
  RecordControl::SetFolder(folder);
}

void CMainFrame::OnSaveSettings() {
  settings.save_on_exit = settings.save_on_exit != 0 ? 0 : 1;
  UpdateMenuStates();
}

void CMainFrame::OnHelpIndex() {
  if (help_file.isEmpty()) return;
  if (!help_window) help_window = new HelpWindow(help_file);
  help_window->show();
  help_window->raise();
  help_window->activateWindow();
}

void CMainFrame::OnAbout() {
  if (operation_running) return;
  CAboutDlg about(this);
  about.exec();
}

}  // namespace kelvt
