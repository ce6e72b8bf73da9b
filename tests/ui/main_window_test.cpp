#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "app/about_dlg.h"
#include "app/help_window.h"
#include "app/kelvt_app.h"
#include "app/lock_indicators.h"
#include "app/main_frame.h"
#include "gui/operation.h"
#include "gui/prompter.h"
#include "ops/set_journal.h"
#include "platform/tick.h"
#include "serial/device_path.h"
#include "support/scripted_controller.h"
#include "serial/rs232.h"
#include "tools/alignment_dlg.h"
#include "tools/devices_dlg.h"
#include "tools/diagnostics_dlg.h"
#include "tools/diagnostics_operation.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/null_span_dlg.h"
#include "tools/part_number_dlg.h"
#include "tools/psf_config_dlg.h"
#include "tools/psf_report_dlg.h"
#include "support/scripted_port.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::OnModal;
using test::TempConfigHome;

std::vector<QString> MenuTexts(QMenu* menu) {
  std::vector<QString> texts;
  for (QAction* a : menu->actions()) texts.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
  return texts;
}

QMenu* TopMenu(CMainFrame& frame, int index) {
  return frame.menuBar()->actions().at(index)->menu();
}

// Records which port and rate each operation asked for, and fails the open
// so that no operation goes further.
struct PortRequests {
  PortRequests() {
    Operation::SetPortFactory([this](int port, long baud) {
      requests.emplace_back(port, baud);
      auto failed = std::make_unique<test::ScriptedPort>(port, baud);
      failed->SetErrorStatus(kPortNotFound);
      return std::unique_ptr<RS232>(std::move(failed));
    });
  }
  ~PortRequests() { Operation::SetPortFactory({}); }
  std::vector<std::pair<int, long>> requests;
};

TEST(MainWindow, MenuBarHasTheThreeMenusWithTheirItems) {
  TempConfigHome config;
  CMainFrame frame;
  const QList<QAction*> top = frame.menuBar()->actions();
  ASSERT_EQ(top.size(), 3);
  EXPECT_EQ(top[0]->text(), "&Kelvo-Tarn");
  EXPECT_EQ(top[1]->text(), "&Options");
  EXPECT_EQ(top[2]->text(), "&Help");
  EXPECT_EQ(MenuTexts(TopMenu(frame, 0)),
            (std::vector<QString>{"&Diagnostics...\tF2", "&Alignment...\tF3", "&Edit PSF...\tF4",
                                  "Set &Part Number...", "&History...", "E&xit"}));
  EXPECT_EQ(MenuTexts(TopMenu(frame, 1)),
            (std::vector<QString>{"Serial Port", "&Record Folder...", "&Save Settings on Exit"}));
  EXPECT_EQ(MenuTexts(TopMenu(frame, 2)), (std::vector<QString>{"&Index", "-", "&About"}));
}

TEST(MainWindow, SerialPortSubmenuHasTheTwentyFourItems) {
  TempConfigHome config;
  CMainFrame frame;
  const std::vector<QString> expected = {
      "COM&1", "COM&2", "COM&3", "COM&4", "COM&5", "COM&6", "COM&7", "COM&8",
      "COM&9", "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16",
      "COM17", "COM18", "COM19", "COM20", "C0M21", "COM22", "COM23", "COM24",
      "-",     "Devices..."};
  EXPECT_EQ(MenuTexts(frame.SerialPortMenu()), expected);
  const int ids[] = {32776, 32777, 32785, 32786, 32787, 32788, 32789, 32791,
                     32792, 32793, 32794, 32795, 32796, 32797, 32798, 32799,
                     32800, 32801, 32802, 32803, 32804, 32805, 32806, 32807};
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(frame.SerialPortAction(i)->data().toInt(), ids[i]) << i;
    EXPECT_TRUE(frame.SerialPortAction(i)->isCheckable());
  }
}

TEST(MainWindow, FunctionKeysArePlainShortcuts) {
  TempConfigHome config;
  CMainFrame frame;
  struct Case {
    int command;
    Qt::Key key;
  };
  const Case cases[] = {{kCmdDiagnostics, Qt::Key_F2}, {kCmdAlignment, Qt::Key_F3},
                        {kCmdEditPsf, Qt::Key_F4}};
  for (const Case& c : cases) {
    EXPECT_EQ(frame.Action(c.command)->shortcut(), QKeySequence(c.key)) << c.command;
  }
  for (int command : {kCmdPartNumber, kCmdExit, kCmdSaveSettings, kCmdHelpIndex, kCmdAbout}) {
    EXPECT_TRUE(frame.Action(command)->shortcut().isEmpty()) << command;
  }
}

TEST(MainWindow, EachItemHasItsStatusPrompt) {
  TempConfigHome config;
  CMainFrame frame;
  struct Case {
    int command;
    const char* prompt;
  };
  const Case cases[] = {
      {kCmdAlignment, "Executes the Channel Alignment"},
      {kCmdDiagnostics, "Executes Diagnostic Test"},
      {kCmdEditPsf, "Edit and execute a PSF"},
      {kCmdSaveSettings, "Save Settings when application exits."},
      {kCmdRecordFolder, "Chooses the folder the Alignment and Measurement recordings go to"},
      {kCmdPartNumber, "Sets the part number and date code in the controller."},
      {kCmdHistory, "Shows every change made to a controller and puts an earlier PSF back"},
      {kCmdExit, "Quit the application; prompts to save documents"},
      {kCmdHelpIndex, "List Help Topics"},
      {32776, "Device is connected to COM1"},
      {32777, "Device is connected to COM2"},
      {32785, "Device is connected to COM3"},
      {32792, "Device is connected to COM9"},
      {32804, "Device is connected to COM21"},
      {32806, "Device is connected to COM23"},
      {32807, "Device is connected to COM 24"},
  };
  for (const Case& c : cases) EXPECT_EQ(frame.Action(c.command)->statusTip(), c.prompt) << c.command;
  EXPECT_FALSE(frame.Action(kCmdAbout)->statusTip().isEmpty());
}

TEST(MainWindow, MessagePaneShowsThePromptOfTheHighlightedItemAndReadyOtherwise) {
  TempConfigHome config;
  CMainFrame frame;
  frame.show();
  EXPECT_EQ(frame.MessagePane()->text(), "Ready");
  // A highlighted item sends its prompt through the menu bar that opened its menu.
  QMenuBar* bar = frame.menuBar();
  frame.Action(kCmdDiagnostics)->showStatusText(bar);
  EXPECT_EQ(frame.MessagePane()->text(), "Executes Diagnostic Test");
  frame.SerialPortAction(23)->showStatusText(bar);
  EXPECT_EQ(frame.MessagePane()->text(), "Device is connected to COM 24");
  frame.SerialPortAction(20)->showStatusText(bar);
  EXPECT_EQ(frame.MessagePane()->text(), "Device is connected to COM21");
  // Leaving the menu sends an empty prompt.
  QStatusTipEvent leave{QString()};
  QApplication::sendEvent(bar, &leave);
  EXPECT_EQ(frame.MessagePane()->text(), "Ready");
  test::SaveScreenshot(&frame, QStringLiteral("main_window"));
}

TEST(MainWindow, ChoosingAPortMovesTheCheckMark) {
  TempConfigHome config;
  CMainFrame frame;
  for (int pick : {4, 0, 20, 23}) {
    frame.SerialPortAction(pick)->trigger();
    EXPECT_EQ(frame.PortNumber(), pick);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(frame.SerialPortAction(i)->isChecked(), i == pick) << pick << "/" << i;
  }
}

TEST(MainWindow, SaveSettingsOnExitToggles) {
  TempConfigHome config;
  CMainFrame frame;
  QAction* save = frame.Action(kCmdSaveSettings);
  EXPECT_TRUE(save->isChecked());
  save->trigger();
  EXPECT_EQ(frame.SaveOnExit(), 0);
  EXPECT_FALSE(save->isChecked());
  save->trigger();
  EXPECT_EQ(frame.SaveOnExit(), 1);
  EXPECT_TRUE(save->isChecked());
}

TEST(MainWindow, HelpIndexIsEnabledOnlyWithAHelpFile) {
  TempConfigHome config;
  CMainFrame frame;
  EXPECT_FALSE(frame.Action(kCmdHelpIndex)->isEnabled());
  frame.SetHelpFile(QStringLiteral(KELVT_SOURCE_DIR "/docs/kelvt.hlp"));
  EXPECT_TRUE(frame.Action(kCmdHelpIndex)->isEnabled());
  EXPECT_TRUE(frame.Action(kCmdAbout)->isEnabled());
}

TEST(MainWindow, EveryOperationUsesTheCheckedPortAtNineThousandSixHundred) {
  TempConfigHome config;
  config.WriteSettings("[PartNumbers]\nA=123456\n");
  ScriptedPrompter prompter;
  PortRequests ports;
  CMainFrame frame;
  frame.show();
  QApplication::setActiveWindow(&frame);
  frame.SerialPortAction(4)->trigger();
  frame.Action(kCmdDiagnostics)->trigger();
  frame.SerialPortAction(20)->trigger();
  frame.Action(kCmdAlignment)->trigger();
  frame.SerialPortAction(0)->trigger();
  {
    // Without a port the editor opens offline, after the message.
    OnModal<CPsfConfigDlg> offline([](CPsfConfigDlg* d) { d->reject(); });
    frame.Action(kCmdEditPsf)->trigger();
    EXPECT_EQ(offline.opened, 1);
  }
  frame.SerialPortAction(23)->trigger();
  frame.Action(kCmdPartNumber)->trigger();
  const std::vector<std::pair<int, long>> expected = {{4, 9600}, {20, 9600}, {0, 9600}, {23, 9600}};
  EXPECT_EQ(ports.requests, expected);
  ASSERT_EQ(prompter.messages.size(), 4u);
  EXPECT_EQ(prompter.messages[0].text, "Unable to open 5\nPort not found\n");
  EXPECT_EQ(prompter.messages[1].text, "Unable to open 21\nPort not found\n");
  EXPECT_EQ(prompter.messages[3].text, "Unable to open 24\nPort not found\n");
  EXPECT_EQ(prompter.messages[0].parent, &frame);
}

TEST(MainWindow, FunctionKeysStartTheirOperations) {
  TempConfigHome config;
  ScriptedPrompter prompter;
  PortRequests ports;
  CMainFrame frame;
  frame.show();
  QApplication::setActiveWindow(&frame);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  OnModal<CPsfConfigDlg> offline([](CPsfConfigDlg* d) { d->reject(); });
  for (Qt::Key key : {Qt::Key_F2, Qt::Key_F3, Qt::Key_F4}) QTest::keyClick(&frame, key);
  EXPECT_EQ(offline.opened, 1);
  EXPECT_EQ(ports.requests.size(), 3u);
  // With a modifier the keys do nothing.
  QTest::keyClick(&frame, Qt::Key_F2, Qt::ShiftModifier);
  EXPECT_EQ(ports.requests.size(), 3u);
}

TEST(MainWindow, HelpIndexShowsTheGuideAndAboutShowsTheVersion) {
  TempConfigHome config;
  CMainFrame frame;
  frame.SetHelpFile(QStringLiteral(KELVT_SOURCE_DIR "/docs/kelvt.hlp"));
  frame.Action(kCmdHelpIndex)->trigger();
  ASSERT_NE(frame.Help(), nullptr);
  EXPECT_TRUE(frame.Help()->isVisible());
  EXPECT_TRUE(frame.Help()->Browser()->toPlainText().contains(QStringLiteral("Set Part Number")));
  HelpWindow* first = frame.Help();
  first->close();
  frame.Action(kCmdHelpIndex)->trigger();
  EXPECT_EQ(frame.Help(), first) << "the same window comes back";
  EXPECT_TRUE(first->isVisible());
  QString shown;
  auto watch = test::WhenModal([&shown](QWidget* modal) {
    shown = QString::fromLatin1(modal->metaObject()->className());
    static_cast<QDialog*>(modal)->accept();
  });
  frame.Action(kCmdAbout)->trigger();
  EXPECT_EQ(shown, "kelvt::CAboutDlg");
}

TEST(MainWindow, HelpClosesWithItsKeysAndWithTheMainWindow) {
  TempConfigHome config;
  CMainFrame frame;
  frame.show();
  frame.SetHelpFile(QStringLiteral(KELVT_SOURCE_DIR "/docs/kelvt.hlp"));
  const QKeySequence keys[] = {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
  for (const QKeySequence& key : keys) {
    frame.Action(kCmdHelpIndex)->trigger();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.Help()));
    QTest::keySequence(frame.Help(), key);
    EXPECT_FALSE(frame.Help()->isVisible()) << key.toString().toStdString();
  }
  frame.Action(kCmdHelpIndex)->trigger();
  ASSERT_TRUE(frame.Help()->isVisible());
  frame.Action(kCmdExit)->trigger();
  EXPECT_FALSE(frame.isVisible());
  EXPECT_FALSE(frame.Help()->isVisible());
}

TEST(MainWindow, WhileAnOperationRunsNoOtherStartsAndTheWindowStaysOpen) {
  TempConfigHome config;
  ScriptedPrompter prompter;
  CMainFrame frame;
  frame.show();
  int opens = 0;
  Operation::SetPortFactory([&](int port, long baud) {
    ++opens;
    EXPECT_FALSE(frame.menuBar()->isEnabled());
    const int commands[] = {kCmdDiagnostics,  kCmdAlignment, kCmdEditPsf, kCmdExit, kCmdSerialDevices,
                            kCmdRecordFolder, kCmdHelpIndex, kCmdAbout,   kSerialPortCommands[0]};
    for (const int command : commands) {
      EXPECT_FALSE(frame.Action(command)->isEnabled()) << command << ": no shortcut either";
    }
    // What the user could do while the serial layer lets events through.
    frame.Action(kCmdAlignment)->trigger();
    frame.Action(kCmdExit)->trigger();
    EXPECT_TRUE(frame.isVisible());
    auto failed = std::make_unique<test::ScriptedPort>(port, baud);
    failed->SetErrorStatus(kPortNotFound);
    return std::unique_ptr<RS232>(std::move(failed));
  });
  frame.Action(kCmdDiagnostics)->trigger();
  Operation::SetPortFactory({});
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(prompter.messages.size(), 1u);
  EXPECT_TRUE(frame.menuBar()->isEnabled());
  EXPECT_TRUE(frame.Action(kCmdDiagnostics)->isEnabled());
  // Once it has ended, Exit closes the window.
  frame.Action(kCmdExit)->trigger();
  EXPECT_FALSE(frame.isVisible());
}

TEST(MainWindow, OutOfRangePortChecksNothingAndOpensThatNumber) {
  TempConfigHome config;
  config.WriteSettings("[Communication]\nPort=30\n");
  ScriptedPrompter prompter;
  PortRequests ports;
  CMainFrame frame;
  for (int i = 0; i < 24; ++i) EXPECT_FALSE(frame.SerialPortAction(i)->isChecked()) << i;
  frame.Action(kCmdDiagnostics)->trigger();
  ASSERT_EQ(ports.requests.size(), 1u);
  EXPECT_EQ(ports.requests[0].first, 30);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Unable to open 31\nPort not found\n");
}

TEST(MainWindow, LockPanesFollowTheX11ModifierState) {
  TempConfigHome config;
  CMainFrame frame;
  LockIndicators* panes = frame.Indicators();
  EXPECT_EQ(panes->Caps()->text(), "CAP");
  EXPECT_EQ(panes->Num()->text(), "NUM");
  EXPECT_EQ(panes->Scroll()->text(), "SCRL");
  struct Case {
    quint32 state;
    bool caps, num;
  };
  const Case cases[] = {{0x00, false, false}, {0x02, true, false}, {0x10, false, true},
                        {0x13, true, true},   {0x01, false, false}};
  for (const Case& c : cases) {
    panes->ShowNativeState(c.state);
    EXPECT_EQ(panes->Caps()->isEnabled(), c.caps) << c.state;
    EXPECT_EQ(panes->Num()->isEnabled(), c.num) << c.state;
    EXPECT_FALSE(panes->Scroll()->isEnabled());
  }
}

TEST(Application, StartUpSetsCaptionColoursAndTheHelpCheck) {
  TempConfigHome config;
  const QString old_dir = QDir::currentPath();
  {
    // Started in a folder without the guide, and no guide beside the test.
    QDir::setCurrent(QString::fromStdString(config.Folder()));
    CKelvtApp app;
    ASSERT_EQ(app.InitInstance(false), 1);
    CMainFrame* frame = app.MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), "Kelvo-Tarn 2.0");
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(QApplication::palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(app.help_available, 0);
    EXPECT_FALSE(frame->Action(kCmdHelpIndex)->isEnabled());
  }
  {
    // "kelvt.hlp" in the current folder.
    std::ofstream(config.Folder() + "/kelvt.hlp") << "<html><body><h1>Guide</h1></body></html>";
    CKelvtApp app;
    app.InitInstance(false);
    EXPECT_EQ(app.help_available, 1);
    EXPECT_TRUE(app.MainFrame()->Action(kCmdHelpIndex)->isEnabled());
    test::SaveScreenshot(app.MainFrame(), QStringLiteral("application_start"));
  }
  QDir::setCurrent(old_dir);
}

// Sets left unfinished by an earlier run: one window lists those whose device
// is present now (an absent device's entry waits); Cancel keeps them, the
// chosen ones go back once the controller says it is the one the set came
// from, and another controller is refused unless the user says Yes to a
// question whose default is No.
TEST(Application, StartUpListsPresentDevicesAndPutsBackOnlyOnTheRightController) {
  const struct {
    const char* name;
    std::optional<std::vector<bool>> choice;
    const char* diag_part;  // what the controller's diagnostics say
    PromptAnswer force;     // the answer to the other-controller question
    bool put_back;
  } rows[] = {
      {"Cancel", std::nullopt, nullptr, PromptAnswer::No, false},
      {"Chosen", std::vector<bool>{true}, nullptr, PromptAnswer::No, true},
      {"Not chosen", std::vector<bool>{false}, nullptr, PromptAnswer::No, false},
      {"Other controller, No", std::vector<bool>{true}, "OTHER1", PromptAnswer::No, false},
      {"Other controller, Yes", std::vector<bool>{true}, "OTHER1", PromptAnswer::Yes, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempConfigHome config;
    const std::string device = config.Folder() + "/ttyFAKE3";
    std::ofstream(device) << "";
    config.WriteSettings("[Devices]\nCOM3=" + device + "\n");
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    const QByteArray old_state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    SetJournal journal(SetJournal::DefaultFolder());
    InstallJournal(&journal);
    VirtualTickSource ticks(5000);
    ScopedTickSource scope(&ticks);
    test::ScriptedController controller;
    const std::string part(controller.psf + 66, 6), date(controller.psf + 72, 4);
    controller.diagnostics = test::ScriptedController::DiagnosticsReply(
        'A', {{'E', '1', '8', '0'}, {'R', '1', '8', '0'}}, row.diag_part ? row.diag_part : part,
        date);
    PsfImage own;
    own.FromBytes(controller.psf, 0);
    own.Data()[2] = 'j';  // the controller now holds another set than its own
    own.UpdateCheckSum();
    std::string id;
    ASSERT_EQ(journal.Add(own, {"COM3", device, "alignment"}, id), 1);
    ASSERT_EQ(journal.Add(own, {"", "/dev/kelvt-absent", "trial run"}, id), 1);
    const std::string time = journal.Entries().back().time;
    const std::string before(controller.psf, kPsfSize);
    std::vector<int> ports;
    Operation::SetPortFactory([&](int port_number, long baud) {
      ports.push_back(port_number);
      auto port = std::make_unique<test::ScriptedPort>(port_number, baud);
      controller.Attach(*port);
      return std::unique_ptr<RS232>(std::move(port));
    });
    ScriptedPrompter prompter;
    if (row.choice) prompter.AnswerChoices({row.choice});
    prompter.AnswerQuestions({row.force});
    {
      CKelvtApp app;
      ASSERT_EQ(app.InitInstance(false), 1);
    }
    Operation::SetPortFactory({});
    InstallJournal(nullptr);
    qputenv("XDG_STATE_HOME", old_state);

    ASSERT_EQ(prompter.choices.size(), 1u);  // one window, the present device only
    ASSERT_EQ(prompter.choices[0].items.size(), 1u);
    const std::string& item = prompter.choices[0].items[0];
    EXPECT_EQ(item.find(time + "  alignment  COM3 (" + device + ")  controller A, part number " +
                        part),
              0u)
        << item;
    EXPECT_EQ(prompter.choices[0].offered, std::vector<bool>{true});
    EXPECT_EQ(ports, row.choice && (*row.choice)[0] ? std::vector<int>{2} : std::vector<int>{});
    if (row.diag_part != nullptr) {
      ASSERT_FALSE(prompter.messages.empty());
      EXPECT_EQ(prompter.messages[0].buttons, PromptButtons::YesNoDefaultNo);
      EXPECT_NE(prompter.messages[0].text.find("part number OTHER1"), std::string::npos)
          << prompter.messages[0].text;
      EXPECT_NE(prompter.messages[0].text.find("part number " + part), std::string::npos);
    }
    EXPECT_EQ(controller.psf_writes, row.put_back ? 1 : 0);
    EXPECT_EQ(std::string(controller.psf, kPsfSize),
              row.put_back ? std::string(own.Data(), kPsfSize) : before);
    EXPECT_EQ(journal.Unfinished(IdentifyDevice(device)).size(), row.put_back ? 0u : 1u);
    EXPECT_EQ(journal.Unfinished(IdentifyDevice("/dev/kelvt-absent")).size(), 1u);
    if (row.put_back) {
      // The set it held was journaled before it was replaced.
      const JournalEntry replaced = journal.Entries().front();
      EXPECT_EQ(replaced.tag.operation, "recover");
      PsfImage held;
      ASSERT_EQ(journal.Load(replaced, held), LoadResult::kOk);
      EXPECT_EQ(std::string(held.Data() + 2, kPsfSize - 2), before.substr(2));
    }
  }
}

// A screen reader names every control that takes the focus, in every window
// of the tool: the walk goes through each one's accessibility tree as Qt
// builds it (a label's buddy, a group's title and a button's text count).
class NoDevices : public SerialDeviceSource {
 public:
  std::vector<SerialDevice> List() override { return {{"/dev/ttyS0", "", "ttyS0", "serial", "", "", "", "", ""}}; }
  int MonitorDescriptor() override { return -1; }
  bool TakeChanges() override { return false; }
};

void CollectUnnamed(QAccessibleInterface* node, const QString& path, QStringList& unnamed, int& focusable) {
  for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
    QAccessibleInterface* child = node->child(i);
    if (child == nullptr) continue;
    auto* widget = qobject_cast<QWidget*>(child->object());
    const QString here = path + "/" + (widget ? QString::fromLatin1(widget->metaObject()->className()) + "#" +
                                                    widget->objectName()
                                              : child->text(QAccessible::Name));
    // Table cells and list items are named by their text; the views around them count.
    if (widget != nullptr && widget->isVisible() && child->state().focusable) {
      ++focusable;
      if (child->text(QAccessible::Name).trimmed().isEmpty()) unnamed << here;
    }
    if (widget != nullptr) CollectUnnamed(child, here, unnamed, focusable);
  }
}

TEST(Accessibility, EveryFocusableControlOfEveryWindowHasAName) {
  TempConfigHome config;
  CMainFrame frame;
  NoDevices devices;
  DiagnosticsOperation diagnostics(nullptr, 0, 9600);
  EditPsfOperation edit(nullptr, 0, 9600);
  std::vector<std::unique_ptr<QWidget>> windows;
  windows.emplace_back(new CAlignmentDlg(nullptr, 32, &frame));
  windows.emplace_back(new CMeasurementDlg(nullptr, &frame));
  windows.emplace_back(new CDiagnosticsDlg(&diagnostics, &frame));
  windows.emplace_back(new CNullSpanDlg(nullptr, &frame));
  windows.emplace_back(new CPartNumberDlg(CPartNumberDlg::Entries{{"KT1000", "KT1000"}}, &frame));
  windows.emplace_back(new CPsfConfigDlg(&edit, &frame));
  windows.emplace_back(new CPsfReportDlg(QStringLiteral("<p>report</p>"), &frame));
  windows.emplace_back(new CDevicesDlg(devices, config.SettingsPath(), 1, &frame));
  windows.emplace_back(new CAboutDlg(&frame));
  windows.emplace_back(new HelpWindow(QStringLiteral(KELVT_SOURCE_DIR "/docs/kelvt.hlp")));
  frame.show();
  int focusable = 0;
  QStringList unnamed;
  CollectUnnamed(QAccessible::queryAccessibleInterface(&frame), "CMainFrame", unnamed, focusable);
  for (const auto& window : windows) {
    window->show();
    const QString name = QString::fromLatin1(window->metaObject()->className());
    CollectUnnamed(QAccessible::queryAccessibleInterface(window.get()), name, unnamed, focusable);
    window->hide();
  }
  EXPECT_GT(focusable, 80);  // the editor alone has some sixty
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join("\n").toStdString();
}

}  // namespace
}  // namespace kelvt
