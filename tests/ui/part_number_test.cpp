// Set Part Number end to end against a scripted controller: the list from
// the settings file, its warnings, the date code, and what reaches the
// controller on OK, Cancel and failures.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "platform/tick.h"
#include "psf/date_code.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "tools/part_number_dlg.h"
#include "tools/part_number_operation.h"
#include "ui/support/scripted_prompter.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

std::string Today() {
  char code[kDateCodeSize];
  TodayDateCode(code);
  return code;
}

std::vector<std::string> Items(const QListWidget* list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
  return items;
}

// Points the settings file at a fresh folder for the test's lifetime.
class SettingsFolder {
 public:
  SettingsFolder() {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old != nullptr) old_ = old;
    had_old_ = old != nullptr;
    setenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit().constData(), 1);
  }
  ~SettingsFolder() {
    if (had_old_) {
      setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  void Write(const std::string& text) const {
    std::ofstream(dir_.path().toStdString() + "/kelvt.INI", std::ios::binary) << text;
  }

 private:
  QTemporaryDir dir_;
  std::string old_;
  bool had_old_ = false;
};

class PartNumberTest : public ::testing::Test {
 protected:
  PartNumberTest() : scope_(&ticks_) {
    InstallQtIdleHook();
    std::memcpy(original_, controller_.psf, kPsfSize);
    Operation::SetPortFactory([this](int port_number, long baud) {
      auto port = std::make_unique<ScriptedPort>(port_number, baud);
      line_.Attach(*port);
      return std::unique_ptr<RS232>(std::move(port));
    });
  }
  ~PartNumberTest() override { Operation::SetPortFactory({}); }

  // Runs the command; `in_dialog` works the dialog and ends it.
  int RunCommand(const std::function<void(CPartNumberDlg*)>& in_dialog) {
    int opened = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (auto* d = qobject_cast<CPartNumberDlg*>(QApplication::activeModalWidget())) {
        timer.stop();
        ++opened;
        in_dialog(d);
      }
    });
    timer.start(2);
    PartNumberOperation operation(nullptr, 0, 9600);
    const int result = operation.Run();
    dialogs_opened_ = opened;
    return result;
  }

  std::string Held(int from, int count) const { return std::string(controller_.psf + from, count); }

  VirtualTickSource ticks_{100};
  ScopedTickSource scope_;
  SettingsFolder settings_;
  ScriptedController controller_;
  test::FaultSwitch line_{controller_};
  ScriptedPrompter prompter_;
  char original_[kPsfSize];
  int dialogs_opened_ = 0;
};

constexpr const char* kThreeEntries =
    "; part numbers of this line\n[PartNumbers]\nP1=123456\nP2=12345\nP3=ABCDEF\n";

TEST_F(PartNumberTest, ListsValidValuesInFileOrderAndWarnsOnceForTheOther) {
  settings_.Write(kThreeEntries);
  CPartNumberDlg dialog;
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Set Part Number and Date Code");
  EXPECT_EQ(Items(dialog.PartNumberList()), (std::vector<std::string>{"123456", "ABCDEF"}));
  ASSERT_EQ(prompter_.messages.size(), 1u);
  const RecordedMessage& m = prompter_.messages[0];
  EXPECT_EQ(m.text, "Warning: Ini value: '12345' for entry 'P2' must be six characters");
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_EQ(m.buttons, PromptButtons::Ok);
  EXPECT_EQ(m.parent, &dialog);
  // The first item is preselected; the date code is today's and read-only.
  EXPECT_EQ(dialog.PartNumber(), "123456");
  ASSERT_EQ(dialog.PartNumberList()->selectedItems().size(), 1);
  EXPECT_EQ(dialog.PartNumberList()->selectedItems()[0]->text().toStdString(), "123456");
  EXPECT_EQ(dialog.DateCodeField()->text().toStdString(), Today());
  EXPECT_TRUE(dialog.DateCodeField()->isReadOnly());
  EXPECT_EQ(dialog.DateCode(), Today());

  const QString dir = QStringLiteral(KELVT_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  dialog.show();
  EXPECT_TRUE(dialog.grab().save(dir + "/part_number_dialog.png"));
}

struct SectionCase {
  const char* name;
  const char* ini;
  std::vector<std::string> items;
  size_t warnings;
};

class PartNumberSectionTest : public PartNumberTest,
                              public ::testing::WithParamInterface<SectionCase> {};

TEST_P(PartNumberSectionTest, FillsTheList) {
  const SectionCase& c = GetParam();
  settings_.Write(c.ini);
  CPartNumberDlg dialog;
  EXPECT_EQ(Items(dialog.PartNumberList()), c.items);
  EXPECT_EQ(prompter_.messages.size(), c.warnings);
  EXPECT_EQ(dialog.PartNumber(), c.items.empty() ? "" : c.items[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, PartNumberSectionTest,
    ::testing::Values(
        SectionCase{"EmptySection", "[PartNumbers]\n[Options]\nSave=1\n", {}, 0},
        SectionCase{"NoSection", "[Options]\nSave=1\n", {}, 0},
        SectionCase{"NoFile", "", {}, 0},
        SectionCase{"CaseOfTheSectionName", "[partnumbers]\nA=111111\n", {"111111"}, 0},
        SectionCase{"AllInvalid", "[PartNumbers]\nA=1\nB=1234567\n", {}, 2},
        SectionCase{"ManyEntries",
                    "[PartNumbers]\nN01=000001\nN02=000002\nN03=000003\nN04=000004\nN05=000005\n"
                    "N06=000006\nN07=000007\nN08=000008\nN09=000009\nN10=000010\n",
                    {"000001", "000002", "000003", "000004", "000005", "000006", "000007",
                     "000008", "000009", "000010"},
                    0}),
    [](const ::testing::TestParamInfo<SectionCase>& info) { return std::string(info.param.name); });

TEST_F(PartNumberTest, WarningForAHugeValueStaysBounded) {
  settings_.Write("[PartNumbers]\n" + std::string(400, 'K') + "=" + std::string(3000, 'V') + "\n");
  CPartNumberDlg dialog;
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_LE(prompter_.messages[0].text.size(), 255u);
  EXPECT_TRUE(prompter_.messages[0].text.ends_with("' must be six characters"));
  EXPECT_EQ(dialog.PartNumberList()->count(), 0);
}

TEST_F(PartNumberTest, OkStampsTheControllerWithTheChosenNumberAndToday) {
  settings_.Write(kThreeEntries);
  EXPECT_EQ(RunCommand([](CPartNumberDlg* d) {
              d->PartNumberList()->setCurrentRow(1);  // ABCDEF
              d->OkButton()->click();
            }),
            1);
  ASSERT_EQ(dialogs_opened_, 1);
  EXPECT_EQ(Held(66, 10), "ABCDEF" + Today());
  EXPECT_EQ(Held(2, 64), std::string(original_ + 2, 64));  // nothing else changed
  EXPECT_EQ(controller_.psf_reads, 1);
  EXPECT_EQ(controller_.psf_writes, 1);  // and nothing restored afterwards
  ASSERT_EQ(prompter_.messages.size(), 2u);  // the warning, then the result
  EXPECT_EQ(prompter_.messages[1].text, "Part Number and Date Code Set.");
  EXPECT_EQ(prompter_.messages[1].caption, "Kelvo-Tarn");
  EXPECT_EQ(prompter_.messages[1].buttons, PromptButtons::Ok);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(WaitCursor::ActiveCount(), 0);
}

TEST_F(PartNumberTest, PreselectedNumberIsWhatOkSends) {
  settings_.Write(kThreeEntries);
  RunCommand([](CPartNumberDlg* d) { d->OkButton()->click(); });
  EXPECT_EQ(Held(66, 6), "123456");
  EXPECT_EQ(Held(72, 4), Today());
}

TEST_F(PartNumberTest, DoubleClickChoosesThePartNumber) {
  settings_.Write(kThreeEntries);
  RunCommand([](CPartNumberDlg* d) {
    EXPECT_EQ(d->windowModality(), Qt::WindowModal);
    QListWidget* list = d->PartNumberList();
    list->doItemsLayout();  // the list lays its items out on a timer that has not run yet
    const QPoint second = list->visualItemRect(list->item(1)).center();
    // A double-click as the window system delivers it: click, press, double-click, release.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, second);
    QMouseEvent twice(QEvent::MouseButtonDblClick, second, list->viewport()->mapToGlobal(second),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &twice);
    if (d->isVisible()) d->CancelButton()->click();  // a failed double-click must not hang the test
  });
  EXPECT_EQ(Held(66, 6), "ABCDEF");
}

TEST_F(PartNumberTest, CancelSendsNothing) {
  settings_.Write(kThreeEntries);
  EXPECT_EQ(RunCommand([](CPartNumberDlg* d) { d->CancelButton()->click(); }), 1);
  EXPECT_EQ(dialogs_opened_, 1);
  EXPECT_EQ(controller_.wakes, 0);
  EXPECT_EQ(controller_.psf_reads, 0);
  EXPECT_EQ(prompter_.messages.size(), 1u);  // only the warning while it opened
}

struct ResultCase {
  const char* name;
  const char* ini;
  void (*arrange)(ScriptedController&);
  const char* message;
  PromptIcon icon;
  int psf_reads;
  sim::SimConfig (*fault)() = nullptr;  // then kelvt-sim's controller answers
};

class PartNumberResultTest : public PartNumberTest,
                             public ::testing::WithParamInterface<ResultCase> {};

TEST_P(PartNumberResultTest, ReportsAndNeverChangesTheController) {
  const ResultCase& c = GetParam();
  settings_.Write(c.ini);
  c.arrange(controller_);
  const test::SimResponder* sim = c.fault ? &line_.Fault(c.fault()) : nullptr;
  std::vector<int> wait_cursors;
  prompter_.OnMessage([&](const RecordedMessage&) { wait_cursors.push_back(WaitCursor::ActiveCount()); });
  EXPECT_EQ(RunCommand([](CPartNumberDlg* d) { d->OkButton()->click(); }), 1);
  ASSERT_FALSE(prompter_.messages.empty());
  const RecordedMessage& m = prompter_.messages.back();
  EXPECT_EQ(m.text, c.message);
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_EQ(m.buttons, PromptButtons::Ok);
  EXPECT_EQ(m.icon, c.icon);
  EXPECT_EQ(wait_cursors.back(), 0);
  EXPECT_EQ(sim ? sim->Heard('D') : controller_.psf_reads, c.psf_reads);
  EXPECT_EQ(sim ? sim->PsfsTaken() : controller_.psf_writes, 0);
  EXPECT_EQ(std::memcmp(line_.HeldPsf(), original_, kPsfSize), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Results, PartNumberResultTest,
    ::testing::Values(
        ResultCase{"PsfNotRead", kThreeEntries, [](ScriptedController&) {},
                   "Unable to input PSF.", PromptIcon::None, 0, test::Silent},
        ResultCase{"NotAcknowledged", kThreeEntries, [](ScriptedController&) {},
                   "Unable to output PSF.", PromptIcon::None, 2,  // the read-back finds its own set
                   test::NoAck},
        ResultCase{"EmptyList", "[PartNumbers]\nP2=12345\n", [](ScriptedController&) {},
                   "No part number was set: the PartNumbers section of the settings file holds "
                   "no six-character part number.\nNothing was sent to the controller.",
                   PromptIcon::Warning, 0}),
    [](const ::testing::TestParamInfo<ResultCase>& info) { return std::string(info.param.name); });

TEST_F(PartNumberTest, NothingSelectedSendsNothing) {
  settings_.Write(kThreeEntries);
  RunCommand([](CPartNumberDlg* d) {
    d->PartNumberList()->clearSelection();
    d->OkButton()->click();
  });
  EXPECT_EQ(prompter_.messages.back().text,
            "No part number was selected.\nNothing was sent to the controller.");
  EXPECT_EQ(controller_.wakes, 0);
  EXPECT_EQ(Held(66, 6), "123456");
}

}  // namespace
}  // namespace kelvt
