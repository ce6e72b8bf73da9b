// The PSF configuration editor against a scripted controller: opening,
// Quit and Exit, Upload with its special cases, Send, the file commands,
// the rules wired to the controls, Null/Span, and the trial run (Execute).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "support/scripted_prompter.h"
#include "support/ui_test_util.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/null_span_dlg.h"
#include "tools/psf_config_dlg.h"
#include "tools/psf_report_dlg.h"
#include "tools/spreadsheet.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

// Puts a record into the controller as its own set.
void Hold(ScriptedController& controller, const PsfRecord& record) {
  char bytes[kPsfSize + 1];
  record.Encode(bytes);
  PsfImage image;
  image.FromBytes(bytes, controller.id);
  image.UpdateCheckSum();
  std::memcpy(controller.psf, image.Data(), kPsfSize);
}

std::string Held(const ScriptedController& controller) {
  return std::string(controller.psf, kPsfSize);
}

class PsfConfigTest : public ::testing::Test {
 protected:
  PsfConfigTest() : ticks_(&clock_) {
    // As the desktop tool does: the window answers while a command waits.
    InstallQtIdleHook();
    LastEditedPsf() = PsfRecord();
    Operation::SetPortFactory([this](int, long baud) -> std::unique_ptr<RS232> {
      auto port = std::make_unique<ScriptedPort>(0, baud);
      port_ = port.get();
      line_.Attach(*port);
      return port;
    });
    operation_ = std::make_unique<EditPsfOperation>(nullptr, 0, 9600);
    EXPECT_EQ(operation_->OpenPort(), 1);
  }
  ~PsfConfigTest() override { Operation::SetPortFactory(nullptr); }

  std::unique_ptr<CPsfConfigDlg> Open() {
    auto dialog = std::make_unique<CPsfConfigDlg>(operation_.get(), nullptr);
    dialog->show();
    return dialog;
  }

  template <typename T>
  static T* Find(const CPsfConfigDlg& dialog, const char* name) {
    T* child = dialog.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  static QComboBox* ListOf(const CPsfConfigDlg& d, const char* name) { return Find<QComboBox>(d, name); }
  static QRadioButton* Option(const CPsfConfigDlg& d, const char* name) {
    return Find<QRadioButton>(d, name);
  }
  // A click as the user makes it (an option button toggles, then reports it).
  static void Click(const CPsfConfigDlg& d, const char* name) {
    QAbstractButton* button = Find<QAbstractButton>(d, name);
    ASSERT_TRUE(button->isEnabled()) << name;
    button->click();
  }
  // The technician picks an entry of a list.
  static void Choose(const CPsfConfigDlg& d, const char* list_name, const char* text) {
    QComboBox* list = ListOf(d, list_name);
    const int index = list->findText(QLatin1String(text));
    ASSERT_GE(index, 0) << text;
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  // The technician types into a box and leaves it.
  static void Enter(const CPsfConfigDlg& d, ValueBox box, const char* text) {
    QLineEdit* edit = d.Box(box);
    edit->clear();
    QTest::keyClicks(edit, QLatin1String(text));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : prompter_.messages) texts.push_back(m.text);
    return texts;
  }

  // Runs `inside` on the measurement view once Execute opens it, then exits it.
  void OnMeasurementView(std::function<void(CMeasurementDlg&)> inside) {
    QTimer::singleShot(0, [this, inside] {
      auto* view = qobject_cast<CMeasurementDlg*>(QApplication::activeModalWidget());
      measurement_view_seen_ = view != nullptr;
      if (view == nullptr) return;
      inside(*view);
      QTest::mouseClick(view->ExitButton(), Qt::LeftButton);
    });
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedPrompter prompter_;
  ScriptedController controller_{9600, 'A'};
  test::FaultSwitch line_{controller_};
  ScriptedPort* port_ = nullptr;  // owned by the operation's link
  std::unique_ptr<EditPsfOperation> operation_;
  bool measurement_view_seen_ = false;
};

TEST_F(PsfConfigTest, FirstOpeningShowsTheDefaults) {
  auto dialog = Open();
  const CPsfConfigDlg& d = *dialog;
  EXPECT_EQ(d.windowTitle(), "PSF Configuration");
  EXPECT_EQ(ListOf(d, "meas1List")->currentText(), "FBB");
  EXPECT_EQ(ListOf(d, "meas1List")->count(), 11);
  EXPECT_EQ(ListOf(d, "meas1List")->itemText(10), "VHS");
  EXPECT_EQ(ListOf(d, "meas2List")->currentText(), "None");
  EXPECT_EQ(ListOf(d, "meas2List")->count(), 10);
  EXPECT_EQ(ListOf(d, "baudList")->currentText(), "9600");
  EXPECT_EQ(ListOf(d, "controllerList")->currentText(), "A");
  EXPECT_EQ(ListOf(d, "controllerList")->count(), 15);
  for (const char* list : {"out1ModeList", "out2ModeList", "analog1SourceList", "analog2SourceList"}) {
    EXPECT_EQ(ListOf(d, list)->currentText(), "Disabled") << list;
  }
  const std::pair<const char*, bool> options[] = {
      {"straightButton", true},       {"interlacedButton", false},  {"edgeButton", false},
      {"skipButton", false},          {"continuousButton", true},   {"gateButton", false},
      {"hostModeButton", false},      {"noSerialButton", true},     {"asciiButton", false},
      {"binaryButton", false},        {"alarmButton", false},       {"triggerButton", false}};
  for (const auto& [name, checked] : options) {
    EXPECT_EQ(Option(d, name)->isChecked(), checked) << name;
    EXPECT_FALSE(Option(d, name)->autoExclusive()) << name;
  }
  EXPECT_EQ(Option(d, "straightButton")->text(), "Straight ");
  // Outputs and analog outputs disabled: their boxes out of use.
  for (ValueBox box : {kBoxOut1LowThreshold, kBoxOut1Invert, kBoxOut2HighHysteresis,
                       kBoxOut2ScanCount, kBoxAnalog1ScanCount, kBoxAnalog2Invert,
                       kBoxTriggerValue}) {
    EXPECT_FALSE(d.Box(box)->isEnabled()) << box;
  }
  for (ValueBox box : {kBoxBlank1Low, kBoxBlank1High, kBoxBlank2Low, kBoxBlank2High}) {
    EXPECT_TRUE(d.Box(box)->isEnabled()) << box;
    EXPECT_EQ(d.Box(box)->text(), "0") << box;
  }
  EXPECT_FALSE(ListOf(d, "skipCountList")->isEnabled());
  EXPECT_EQ(ListOf(d, "skipCountList")->currentIndex(), -1);
  EXPECT_EQ(d.Box(kBoxOut1HighHysteresis)->text(), "2");
  EXPECT_EQ(d.Box(kBoxOut2Invert)->text(), "No");
  // The eight commands with their mnemonics.
  const char* commands[][2] = {{"executeButton", "&Execute..."},  {"saveButton", "File &Save PSF"},
                               {"uploadButton", "&Upload PSF"},   {"quitButton", "&Quit"},
                               {"nullSpanButton", "&Null/Span"},  {"retrieveButton", "File &Retreive PSF"},
                               {"sendButton", "Send &PSF"},       {"exitButton", "E&xit"}};
  for (const auto& c : commands) EXPECT_EQ(Find<QPushButton>(d, c[0])->text(), c[1]);
  QDir().mkpath(KELVT_SCREENSHOT_DIR);
  EXPECT_TRUE(dialog->grab().save(QStringLiteral(KELVT_SCREENSHOT_DIR "/psf_config.png")));
}

TEST_F(PsfConfigTest, OnlyExitCarriesTheEditedSetToTheNextOpening) {
  QTemporaryDir dir;
  const std::string saved = dir.filePath("kept.PSF").toStdString();
  constexpr const char* kSave = "Do You Want To Save the PSF to a File?";
  constexpr const char* kDiscard = "Discard the changes to the PSF?";
  struct Case {
    const char* name;
    std::function<void(CPsfConfigDlg&, ScriptedPrompter&)> close;
    bool closes;
    bool kept;
    const char* question;  // nullptr: none
    const char* caption;
  };
  const auto discard = [](PromptAnswer answer, std::function<void(CPsfConfigDlg&)> action) {
    return [answer, action](CPsfConfigDlg& d, ScriptedPrompter& p) {
      p.AnswerQuestions({answer});
      action(d);
    };
  };
  const Case cases[] = {
      {"Quit, Yes to discard", discard(PromptAnswer::Yes, [](CPsfConfigDlg& d) { Click(d, "quitButton"); }),
       true, false, kDiscard, "Kelvo-Tarn 2.0"},
      {"Quit, No to discard", discard(PromptAnswer::No, [](CPsfConfigDlg& d) { Click(d, "quitButton"); }),
       false, false, kDiscard, "Kelvo-Tarn 2.0"},
      {"Escape, Yes to discard",
       discard(PromptAnswer::Yes, [](CPsfConfigDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
       true, false, kDiscard, "Kelvo-Tarn 2.0"},
      {"Close button, No to discard", discard(PromptAnswer::No, [](CPsfConfigDlg& d) { d.close(); }),
       false, false, kDiscard, "Kelvo-Tarn 2.0"},
      {"Close button, Yes to discard", discard(PromptAnswer::Yes, [](CPsfConfigDlg& d) { d.close(); }),
       true, false, kDiscard, "Kelvo-Tarn 2.0"},
      {"Enter in a box",
       [](CPsfConfigDlg& d, ScriptedPrompter&) {
         d.Box(kBoxBlank1Low)->setFocus();
         QTest::keyClick(d.Box(kBoxBlank1Low), Qt::Key_Return);
       },
       false, false, nullptr, nullptr},
      {"Exit, No to the save question",
       [](CPsfConfigDlg& d, ScriptedPrompter& p) {
         p.AnswerQuestions({PromptAnswer::No});
         Click(d, "exitButton");
       },
       true, true, kSave, "Kelvo-Tarn"},
      {"Exit, Yes and a file",
       [saved](CPsfConfigDlg& d, ScriptedPrompter& p) {
         p.AnswerQuestions({PromptAnswer::Yes});
         p.ChooseFiles({saved});
         Click(d, "exitButton");
       },
       true, true, kSave, "Kelvo-Tarn"},
  };
  for (const Case& c : cases) {
    LastEditedPsf() = PsfRecord();
    prompter_.messages.clear();
    auto dialog = Open();
    Choose(*dialog, "meas1List", "LBB");
    Enter(*dialog, kBoxBlank1Low, "12");
    c.close(*dialog, prompter_);
    EXPECT_EQ(dialog->isVisible(), !c.closes) << c.name;
    if (c.question != nullptr) {
      ASSERT_EQ(prompter_.messages.size(), 1u) << c.name;
      EXPECT_EQ(prompter_.messages[0].text, c.question) << c.name;
      EXPECT_EQ(prompter_.messages[0].caption, c.caption) << c.name;
      EXPECT_EQ(prompter_.messages[0].buttons, PromptButtons::YesNo);
    } else {
      EXPECT_TRUE(prompter_.messages.empty()) << c.name;
    }
    // An editor that stayed open still shows the edits.
    if (!c.closes) {
      EXPECT_EQ(dialog->Box(kBoxBlank1Low)->text(), "12") << c.name;
    }
    auto again = Open();
    EXPECT_EQ(ListOf(*again, "meas1List")->currentText(), c.kept ? "LBB" : "FBB") << c.name;
    EXPECT_EQ(again->Box(kBoxBlank1Low)->text(), c.kept ? "12" : "0") << c.name;
  }
  // The file written on Yes holds the edited set.
  PsfRecord read;
  ASSERT_EQ(ReadPsfFile(read, saved.c_str()), 1);
  EXPECT_STREQ(read.meas1_mode, "LBB");
  EXPECT_STREQ(read.blank1_low, "12");
}

TEST_F(PsfConfigTest, ClosingAsksOnlyAboutChangesNotYetKept) {
  QTemporaryDir dir;
  struct Case {
    const char* name;
    std::function<void(CPsfConfigDlg&, ScriptedPrompter&)> before;
    bool asked;
  };
  const Case cases[] = {
      {"nothing changed", [](CPsfConfigDlg&, ScriptedPrompter&) {}, false},
      {"a change undone",
       [](CPsfConfigDlg& d, ScriptedPrompter&) {
         Enter(d, kBoxBlank1Low, "12");
         Enter(d, kBoxBlank1Low, "0");
       },
       false},
      {"a list without a rule", [](CPsfConfigDlg& d, ScriptedPrompter&) { Choose(d, "baudList", "38400"); },
       true},
      {"sent and accepted",
       [](CPsfConfigDlg& d, ScriptedPrompter&) {
         Choose(d, "meas1List", "LBB");
         Click(d, "sendButton");
       },
       false},
      {"saved to a file",
       [&dir](CPsfConfigDlg& d, ScriptedPrompter& p) {
         Choose(d, "meas1List", "LBB");
         p.AnswerQuestions({PromptAnswer::Yes});
         p.ChooseFiles({dir.filePath("k.PSF").toStdString()});
         Click(d, "saveButton");
       },
       false},
      {"save declined",
       [](CPsfConfigDlg& d, ScriptedPrompter& p) {
         Choose(d, "meas1List", "LBB");
         p.AnswerQuestions({PromptAnswer::No});
         Click(d, "saveButton");
       },
       true},
      {"changed after the send",
       [](CPsfConfigDlg& d, ScriptedPrompter&) {
         Click(d, "sendButton");
         Choose(d, "meas1List", "LBB");
       },
       true},
  };
  for (const Case& c : cases) {
    auto dialog = Open();
    c.before(*dialog, prompter_);
    prompter_.messages.clear();
    // Only an expected question gets its Yes: an unexpected one keeps the editor open.
    if (c.asked) prompter_.AnswerQuestions({PromptAnswer::Yes});
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible()) << c.name;
    EXPECT_EQ(prompter_.messages.size(), c.asked ? 1u : 0u) << c.name;
  }
  // A set the controller refused is not safe there.
  line_.Fault(test::NoAck());
  auto dialog = Open();
  Choose(*dialog, "meas1List", "LBB");
  Click(*dialog, "sendButton");
  prompter_.messages.clear();
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Discard the changes to the PSF?"});
  EXPECT_TRUE(dialog->isVisible());  // no answer left: No
}

TEST_F(PsfConfigTest, EnterFinishesABoxAndMovesOn) {
  auto dialog = Open();
  QApplication::setActiveWindow(dialog.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  Enter(*dialog, kBoxBlank2Low, "5");
  QLineEdit* low = dialog->Box(kBoxBlank1Low);
  low->setFocus();
  low->clear();
  QTest::keyClicks(low, "150");
  QTest::keyClick(low, Qt::Key_Return);
  // The leave rule ran: field 1 must stay below field 2.
  EXPECT_EQ(low->text(), "4");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Field 1 is below  Field 2"});
  EXPECT_EQ(QApplication::focusWidget(), dialog->Box(kBoxBlank1High));
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(PsfConfigTest, TabFollowsTheLayoutGroupByGroup) {
  auto dialog = Open();
  const std::vector<std::string> expected = {
      "meas1List", "meas2List", "continuousButton", "gateButton", "hostModeButton",
      "blank1LowEdit", "blank1HighEdit", "blank2LowEdit", "blank2HighEdit",
      "straightButton", "interlacedButton", "edgeButton", "skipButton", "skipCountList",
      "baudList", "controllerList",
      "noSerialButton", "asciiButton", "asciiSuppressClearButton", "binaryButton",
      "binarySuppressClearButton", "binarySuppressHeaderButton", "binaryCompressButton",
      "analog1SourceList", "analog1ScanEdit", "analog1InvertEdit",
      "analog2SourceList", "analog2ScanEdit", "analog2InvertEdit",
      "out1ModeList", "out1LowThresholdEdit", "out1HighThresholdEdit", "out1LowHysteresisEdit",
      "out1HighHysteresisEdit", "out1ScanEdit", "out1InvertEdit",
      "out2ModeList", "out2LowThresholdEdit", "out2HighThresholdEdit", "out2LowHysteresisEdit",
      "out2HighHysteresisEdit", "out2ScanEdit", "out2InvertEdit",
      "alarmButton", "triggerButton", "triggerValueEdit",
      "executeButton", "saveButton", "reportButton", "uploadButton", "quitButton",
      "nullSpanButton", "retrieveButton", "sendButton", "exitButton"};
  EXPECT_EQ(dialog->focusWidget(), ListOf(*dialog, "meas1List"));
  EXPECT_EQ(test::TabChain(ListOf(*dialog, "meas1List")), expected);
}

TEST_F(PsfConfigTest, ReportShowsTheSetWithItsSourceAndSavesAsPdf) {
  QTemporaryDir dir;
  PsfRecord in_file;
  SetField(in_file.meas1_mode, "CBM");
  const std::string file = dir.filePath("line4.PSF").toStdString();
  ASSERT_EQ(WritePsfFile(in_file, file.c_str()), 1);
  PsfRecord held;
  SetField(held.meas1_mode, "TBB");
  Hold(controller_, held);
  const QString pdf = dir.filePath("report.pdf");
  CPsfReportDlg::SetPdfPathChooser([&pdf](QWidget*, QString& path) {
    path = pdf;
    return true;
  });

  struct Case {
    const char* name;
    std::function<void(CPsfConfigDlg&)> before;
    const char* value;   // the measurement 1 mode the page shows
    std::string origin;  // how the page names the source
  };
  const Case cases[] = {
      {"edited here", [](CPsfConfigDlg& d) { Choose(d, "meas1List", "LBM"); }, "LBM", "edited"},
      {"uploaded", [](CPsfConfigDlg& d) { Click(d, "uploadButton"); }, "TBB",
       "Controller on COM1, read 20"},
      {"retrieved, then changed",
       [this, &file](CPsfConfigDlg& d) {
         prompter_.ChooseFiles({file});
         Click(d, "retrieveButton");
         Enter(d, kBoxBlank1Low, "7");
       },
       "CBM", "File " + file + ", edited"},
  };
  for (const Case& c : cases) {
    auto dialog = Open();
    c.before(*dialog);
    QString page;
    QTimer::singleShot(0, [&page] {
      auto* report = qobject_cast<CPsfReportDlg*>(QApplication::activeModalWidget());
      if (report == nullptr) return;
      page = report->PageText();
      report->findChild<QPushButton*>(QStringLiteral("pdfButton"))->click();
      report->accept();
    });
    QFile::remove(pdf);
    Click(*dialog, "reportButton");
    EXPECT_TRUE(page.contains(QLatin1String(c.value))) << c.name << page.toStdString();
    EXPECT_TRUE(page.contains(QString::fromStdString(c.origin))) << c.name << page.toStdString();
    QFile written(pdf);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly)) << c.name;
    EXPECT_GT(written.size(), 100) << c.name;
    EXPECT_EQ(written.read(4), QByteArray("%PDF")) << c.name;
  }
  CPsfReportDlg::SetPdfPathChooser(nullptr);
}

TEST_F(PsfConfigTest, SaveTellsTheTechnicianWhenTheFileCannotBeWritten) {
  auto dialog = Open();
  prompter_.AnswerQuestions({PromptAnswer::Yes});
  prompter_.ChooseFiles({std::string("/nonexistent-folder/x.PSF")});
  Click(*dialog, "saveButton");
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[1].text, kPsfWriteFailedMessage);
  EXPECT_EQ(prompter_.messages[1].icon, PromptIcon::Stop);
  EXPECT_NE(prompter_.messages[1].detail.find("/nonexistent-folder/x.PSF"), std::string::npos);
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(PsfConfigTest, UploadShowsTheControllersSetAndKeepsOutput2Boxes) {
  PsfRecord held;
  SetField(held.meas1_mode, "TBB");
  SetField(held.out1_mode, "1");
  SetField(held.out1_low_threshold, "40");
  SetField(held.out1_high_threshold, "60");
  SetField(held.out1_scan_count, "3");
  SetField(held.out2_scan_count, "3");
  SetField(held.trigger_value, "9");
  Hold(controller_, held);

  auto dialog = Open();
  // Output 2 in use for a moment: the technician types into its boxes.
  Choose(*dialog, "out2ModeList", "1");
  Enter(*dialog, kBoxOut2LowThreshold, "77");
  Enter(*dialog, kBoxOut2HighThreshold, "88");
  Choose(*dialog, "out2ModeList", "Disabled");
  dialog->Box(kBoxTriggerValue)->setText("5");
  prompter_.messages.clear();

  Click(*dialog, "uploadButton");
  ASSERT_EQ(Texts(), std::vector<std::string>{"Uploaded PSF"});
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0");
  EXPECT_EQ(ListOf(*dialog, "meas1List")->currentText(), "TBB");
  EXPECT_EQ(ListOf(*dialog, "out1ModeList")->currentText(), "1");
  EXPECT_EQ(dialog->Box(kBoxOut1LowThreshold)->text(), "40");
  EXPECT_TRUE(dialog->Box(kBoxOut1LowThreshold)->isEnabled());
  // Output 2 disabled in the controller's set: its boxes keep their text,
  // and the record takes it.
  EXPECT_EQ(dialog->Box(kBoxOut2LowThreshold)->text(), "77");
  EXPECT_EQ(dialog->Box(kBoxOut2HighThreshold)->text(), "88");
  EXPECT_STREQ(dialog->Working().out2_low_threshold, "77");
  EXPECT_STREQ(dialog->Working().out2_high_threshold, "88");
  EXPECT_FALSE(dialog->Box(kBoxOut2LowThreshold)->isEnabled());
  // The trigger is not selected: its box keeps its text too.
  EXPECT_EQ(dialog->Box(kBoxTriggerValue)->text(), "5");
  EXPECT_STREQ(dialog->Working().trigger_value, "5");
  // Every scan box shows output 1's scan count.
  for (ValueBox box : {kBoxOut1ScanCount, kBoxOut2ScanCount, kBoxAnalog1ScanCount,
                       kBoxAnalog2ScanCount}) {
    EXPECT_EQ(dialog->Box(box)->text(), "3") << box;
  }
}

TEST_F(PsfConfigTest, UploadShowsAnAssignedOutput2FromTheRecord) {
  PsfRecord held;
  SetField(held.meas2_mode, "LBB");
  SetField(held.out2_mode, "2");
  SetField(held.out2_low_threshold, "30");
  SetField(held.out1_scan_count, "4");
  SetField(held.out2_scan_count, "4");
  Hold(controller_, held);
  // The image carries one scan count (byte 32 and 47 alike); make 47 differ.
  controller_.psf[47] = '6';
  auto dialog = Open();
  dialog->Box(kBoxOut2LowThreshold)->setText("99");
  Click(*dialog, "uploadButton");
  EXPECT_EQ(dialog->Box(kBoxOut2LowThreshold)->text(), "30");
  EXPECT_EQ(dialog->Box(kBoxOut2ScanCount)->text(), "6");
  EXPECT_EQ(dialog->Box(kBoxOut1ScanCount)->text(), "4");
  EXPECT_TRUE(dialog->Box(kBoxOut2LowThreshold)->isEnabled());
}

TEST_F(PsfConfigTest, UploadFailureLeavesTheRecord) {
  line_.Fault(test::Silent());
  auto dialog = Open();
  Choose(*dialog, "meas1List", "CBB");
  const PsfRecord before = dialog->Working();
  Click(*dialog, "uploadButton");
  ASSERT_EQ(Texts(), std::vector<std::string>{"PSF Was Not Received"});
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0");
  EXPECT_STREQ(dialog->Working().meas1_mode, before.meas1_mode);
  EXPECT_EQ(ListOf(*dialog, "meas1List")->currentText(), "CBB");
}

TEST_F(PsfConfigTest, SendWithEdgeSendsZeroBlanking) {
  auto dialog = Open();
  Enter(*dialog, kBoxBlank1Low, "10");
  Enter(*dialog, kBoxBlank1High, "20");
  Enter(*dialog, kBoxBlank2Low, "30");
  Enter(*dialog, kBoxBlank2High, "40");
  Click(*dialog, "edgeButton");
  ASSERT_EQ(Texts(), std::vector<std::string>{"Meas1 is LBB;  Outputs Must be Re-Configured"});
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0");
  EXPECT_TRUE(Option(*dialog, "edgeButton")->isChecked());
  EXPECT_FALSE(Option(*dialog, "straightButton")->isChecked());
  EXPECT_EQ(ListOf(*dialog, "meas1List")->currentText(), "LBB");
  EXPECT_FALSE(dialog->Box(kBoxBlank1Low)->isEnabled());

  Click(*dialog, "sendButton");
  EXPECT_EQ(Texts().back(), "PSF Accepted");
  EXPECT_EQ(prompter_.messages.back().caption, "Kelvo-Tarn 2.0");
  EXPECT_EQ(controller_.psf_writes, 1);
  EXPECT_EQ(Held(controller_).substr(7, 12), "000000000000");
  EXPECT_EQ(controller_.psf[2], 'j');  // Edge
  EXPECT_EQ(controller_.psf[3], 'C');  // LBB
  // The boxes still show what the technician typed.
  EXPECT_EQ(dialog->Box(kBoxBlank2High)->text(), "40");
}

TEST_F(PsfConfigTest, SendReportsARefusal) {
  line_.Fault(test::NoAck());
  auto dialog = Open();
  // While the send waits no rule, edit or command can run: the form is off.
  bool locked = false;
  QTimer::singleShot(0, dialog.get(), [&] {
    locked = !ListOf(*dialog, "meas1List")->isEnabled() &&
             !Option(*dialog, "edgeButton")->isEnabled() &&
             !dialog->findChild<QPushButton*>("uploadButton")->isEnabled();
  });
  Click(*dialog, "sendButton");
  EXPECT_TRUE(locked);
  EXPECT_TRUE(ListOf(*dialog, "meas1List")->isEnabled());
  ASSERT_EQ(Texts(), std::vector<std::string>{"PSF Not Accepted"});
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0");
}

TEST_F(PsfConfigTest, RetrieveTakesOnlyACompatibleFile) {
  QTemporaryDir dir;
  PsfRecord in_file;
  SetField(in_file.meas1_mode, "CBM");
  SetField(in_file.blank1_low, "5");
  SetField(in_file.blank1_high, "9");
  char image[kPsfSize + 1];
  in_file.Encode(image);
  const std::string good = dir.filePath("good.PSF").toStdString();
  ASSERT_EQ(WriteImageFile(good.c_str(), image), 1);
  image[1] = 'D';  // neither C nor E
  const std::string bad = dir.filePath("bad.PSF").toStdString();
  ASSERT_EQ(WriteImageFile(bad.c_str(), image), 1);

  auto dialog = Open();
  Choose(*dialog, "meas1List", "TBM");
  Enter(*dialog, kBoxBlank1Low, "33");

  struct Case {
    std::optional<std::string> path;
    const char* message;  // nullptr: none
    const char* meas1;
    const char* blank1_low;
  };
  const Case cases[] = {
      {bad, "This File is Not Compatible", "TBM", "33"},
      {dir.filePath("missing.PSF").toStdString(), "This File is Not Compatible", "TBM", "33"},
      {std::nullopt, nullptr, "TBM", "33"},  // Cancel
      {good, nullptr, "CBM", "5"},
  };
  for (const Case& c : cases) {
    prompter_.messages.clear();
    prompter_.ChooseFiles({c.path});
    Click(*dialog, "retrieveButton");
    if (c.message != nullptr) {
      ASSERT_EQ(Texts(), std::vector<std::string>{c.message});
      EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn");
    } else {
      EXPECT_TRUE(prompter_.messages.empty());
    }
    EXPECT_EQ(ListOf(*dialog, "meas1List")->currentText(), c.meas1);
    EXPECT_EQ(dialog->Box(kBoxBlank1Low)->text(), c.blank1_low);
    EXPECT_STREQ(dialog->Working().meas1_mode, c.meas1);
  }
  EXPECT_EQ(prompter_.file_dialogs.back(), FileDialogKind::Open);
}

TEST_F(PsfConfigTest, UnknownBaudByteShowsAndSends9600) {
  Hold(controller_, PsfRecord());
  controller_.psf[5] = 'Q';
  auto dialog = Open();
  Click(*dialog, "uploadButton");
  EXPECT_EQ(ListOf(*dialog, "baudList")->currentText(), "9600");
  Click(*dialog, "sendButton");
  EXPECT_EQ(Texts().back(), "PSF Accepted");
  EXPECT_EQ(controller_.psf[5], 'A');
}

TEST_F(PsfConfigTest, RulesRunFromTheControls) {
  auto dialog = Open();
  // Typing filter and the shared scan count.
  QLineEdit* low = dialog->Box(kBoxBlank2Low);
  low->clear();
  QTest::keyClicks(low, "0");
  QTest::keyClicks(low, "5");
  EXPECT_EQ(low->text(), "5");
  QTest::keyClicks(low, "a");
  EXPECT_EQ(low->text(), "5");
  // Output 2 in use: typing 7 into its scan box shows 7 in all four.
  Choose(*dialog, "out2ModeList", "1");
  ASSERT_TRUE(dialog->Box(kBoxOut2ScanCount)->isEnabled());
  dialog->Box(kBoxOut1ScanCount)->setText("3");
  dialog->Box(kBoxOut2ScanCount)->clear();
  QTest::keyClicks(dialog->Box(kBoxOut2ScanCount), "7");
  for (ValueBox box : {kBoxOut1ScanCount, kBoxOut2ScanCount, kBoxAnalog1ScanCount,
                       kBoxAnalog2ScanCount}) {
    EXPECT_EQ(dialog->Box(box)->text(), "7") << box;
  }
  QTest::keyClicks(dialog->Box(kBoxOut2Invert), "y");
  EXPECT_EQ(dialog->Box(kBoxOut2Invert)->text(), "Yes");
  Choose(*dialog, "out2ModeList", "Disabled");

  // Blanking field 1 must stay below field 2 (5): its low value drops to 4.
  Enter(*dialog, kBoxBlank1Low, "150");
  EXPECT_EQ(dialog->Box(kBoxBlank1Low)->text(), "4");
  EXPECT_EQ(Texts().back(), "Field 1 is below  Field 2");

  // Output 1 on an unusable measurement goes back to Disabled, with a message.
  Choose(*dialog, "meas1List", "ALL");
  Choose(*dialog, "out1ModeList", "1");
  EXPECT_EQ(ListOf(*dialog, "out1ModeList")->currentText(), "Disabled");
  EXPECT_EQ(Texts().back(), "Measurement 1 Must be Changed");
  // On a usable one it takes the output and disables the analog outputs.
  Choose(*dialog, "meas1List", "FBB");
  Choose(*dialog, "analog1SourceList", "Meas1");
  EXPECT_TRUE(dialog->Box(kBoxAnalog1Invert)->isEnabled());
  Choose(*dialog, "out1ModeList", "1");
  EXPECT_EQ(ListOf(*dialog, "analog1SourceList")->currentText(), "Disabled");
  EXPECT_FALSE(dialog->Box(kBoxAnalog1Invert)->isEnabled());
  EXPECT_TRUE(dialog->Box(kBoxOut1LowThreshold)->isEnabled());
  // Low threshold 50 above high 40: high follows, hysteresis around them.
  Enter(*dialog, kBoxOut1HighThreshold, "40");
  Enter(*dialog, kBoxOut1LowThreshold, "50");
  EXPECT_EQ(dialog->Box(kBoxOut1HighThreshold)->text(), "50");
  EXPECT_EQ(dialog->Box(kBoxOut1LowHysteresis)->text(), "49");
  EXPECT_EQ(dialog->Box(kBoxOut1HighHysteresis)->text(), "51");

  // Measurement 2 equal to measurement 1.
  Choose(*dialog, "meas2List", "FBB");
  EXPECT_EQ(ListOf(*dialog, "meas2List")->currentText(), "None");
  EXPECT_EQ(Texts().back(), "Cannot Have Identical Measurement Modes");

  // Alarm and trigger exclude each other; the trigger value is in use with the trigger.
  Click(*dialog, "triggerButton");
  EXPECT_TRUE(Option(*dialog, "triggerButton")->isChecked());
  EXPECT_TRUE(dialog->Box(kBoxTriggerValue)->isEnabled());
  Click(*dialog, "alarmButton");
  EXPECT_TRUE(Option(*dialog, "alarmButton")->isChecked());
  EXPECT_FALSE(Option(*dialog, "triggerButton")->isChecked());
  EXPECT_FALSE(dialog->Box(kBoxTriggerValue)->isEnabled());
  Click(*dialog, "alarmButton");
  EXPECT_FALSE(Option(*dialog, "alarmButton")->isChecked());

  // Serial transmission: a binary option twice stays off, binary stays on.
  Click(*dialog, "binarySuppressHeaderButton");
  Click(*dialog, "binarySuppressHeaderButton");
  EXPECT_TRUE(Option(*dialog, "binaryButton")->isChecked());
  EXPECT_FALSE(Option(*dialog, "binarySuppressHeaderButton")->isChecked());
  EXPECT_FALSE(Option(*dialog, "noSerialButton")->isChecked());
  // Clicking a selected scan control keeps it selected.
  Click(*dialog, "continuousButton");
  EXPECT_TRUE(Option(*dialog, "continuousButton")->isChecked());
  Click(*dialog, "gateButton");
  EXPECT_FALSE(Option(*dialog, "continuousButton")->isChecked());
  EXPECT_TRUE(Option(*dialog, "gateButton")->isChecked());

  // Skip: the count list comes into use and its choice sets the count.
  Click(*dialog, "skipButton");
  EXPECT_TRUE(ListOf(*dialog, "skipCountList")->isEnabled());
  Choose(*dialog, "skipCountList", "6");
  dialog->ReadBack();
  EXPECT_STREQ(dialog->Working().skip_count, "6");
  EXPECT_TRUE(IsSelected(dialog->Working().skip));

  // With Edge, measurement 1 can only be LBB: another choice beeps.
  Click(*dialog, "edgeButton");
  EXPECT_FALSE(ListOf(*dialog, "skipCountList")->isEnabled());
  EXPECT_EQ(ListOf(*dialog, "skipCountList")->currentIndex(), -1);
  const int beeps = prompter_.beeps;
  Choose(*dialog, "meas1List", "TBB");
  EXPECT_EQ(ListOf(*dialog, "meas1List")->currentText(), "LBB");
  EXPECT_EQ(prompter_.beeps, beeps + 1);
}

TEST_F(PsfConfigTest, OperationRunsTheEditorModallyAndReturnsOne) {
  operation_.reset();
  EditPsfOperation operation(nullptr, 0, 9600);
  bool editor_seen = false;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<CPsfConfigDlg*>(QApplication::activeModalWidget());
    editor_seen = editor != nullptr;
    if (editor != nullptr) Click(*editor, "quitButton");
  });
  EXPECT_EQ(operation.Run(), 1);
  EXPECT_TRUE(editor_seen);
  EXPECT_EQ(controller_.psf_reads + controller_.psf_writes, 0);  // opening talks to no one
}

// No adapter: F4 tells why the port did not open, then edits at the desk.
TEST_F(PsfConfigTest, APortThatCannotOpenGivesTheEditorOffline) {
  operation_.reset();
  Operation::SetPortFactory([](int, long baud) -> std::unique_ptr<RS232> {
    auto port = std::make_unique<ScriptedPort>(0, baud);
    port->SetErrorStatus(kPortNotFound);
    return port;
  });
  QTemporaryDir dir;
  const std::string from = dir.filePath("from.PSF").toStdString();
  const std::string to = dir.filePath("to.PSF").toStdString();
  PsfRecord prepared;
  SetField(prepared.meas1_mode, "TBB");
  ASSERT_EQ(WritePsfFile(prepared, from.c_str()), 1);

  bool offline_seen = false;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<CPsfConfigDlg*>(QApplication::activeModalWidget());
    if (editor == nullptr) return;
    offline_seen = true;
    EXPECT_EQ(editor->windowTitle(), "PSF Configuration (offline)");
    for (const char* name : {"uploadButton", "sendButton", "executeButton", "nullSpanButton"}) {
      QAbstractButton* button = Find<QAbstractButton>(*editor, name);
      EXPECT_FALSE(button->isEnabled()) << name;
      EXPECT_TRUE(button->toolTip().contains("offline")) << name;
    }
    for (const char* name : {"retrieveButton", "saveButton", "reportButton", "exitButton",
                             "quitButton"}) {
      EXPECT_TRUE(Find<QAbstractButton>(*editor, name)->isEnabled()) << name;
    }
    prompter_.ChooseFiles({from});
    Click(*editor, "retrieveButton");
    EXPECT_EQ(ListOf(*editor, "meas1List")->currentText(), "TBB");
    Enter(*editor, kBoxBlank1Low, "500");  // the rule holds it to 384
    prompter_.AnswerQuestions({PromptAnswer::Yes});
    prompter_.ChooseFiles({to});
    Click(*editor, "saveButton");
    prompter_.AnswerQuestions({PromptAnswer::No});
    Click(*editor, "exitButton");
  });
  EditPsfOperation operation(nullptr, 0, 9600);
  EXPECT_EQ(operation.Run(), 1);
  ASSERT_TRUE(offline_seen);
  ASSERT_FALSE(prompter_.messages.empty());
  EXPECT_EQ(prompter_.messages[0].text, "Unable to open 1\nPort not found\n");
  PsfRecord saved;
  ASSERT_EQ(ReadPsfFile(saved, to.c_str()), 1);
  EXPECT_STREQ(saved.meas1_mode, "TBB");
  EXPECT_STREQ(saved.blank1_low, "384");
  EXPECT_STREQ(LastEditedPsf().blank1_low, "384");
}

}  // namespace
}  // namespace kelvt
