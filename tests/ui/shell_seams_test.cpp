// The seams the dialogs build on: the real prompter's boxes and file
// dialogs, the dialog that refuses to close while its loop runs, the wait
// cursor and the idle step.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "gui/active_dialog.h"
#include "gui/loop_dialog.h"
#include "gui/prompter.h"
#include "platform/idle.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

struct BoxSeen {
  QString text, title, detail;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  bool cursor = false;
};

TEST(QtPrompter, MessageBoxesCarryTextCaptionButtonsIconAndDetail) {
  struct Case {
    PromptButtons buttons;
    PromptIcon icon;
    QMessageBox::StandardButton press;
    PromptAnswer answer;
    QMessageBox::Icon qt_icon;
    QMessageBox::StandardButtons qt_buttons;
  };
  const Case cases[] = {
      {PromptButtons::Ok, PromptIcon::Warning, QMessageBox::Ok, PromptAnswer::Ok,
       QMessageBox::Warning, QMessageBox::Ok},
      {PromptButtons::YesNo, PromptIcon::Stop, QMessageBox::Yes, PromptAnswer::Yes,
       QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No},
      {PromptButtons::YesNo, PromptIcon::Question, QMessageBox::No, PromptAnswer::No,
       QMessageBox::Question, QMessageBox::Yes | QMessageBox::No},
      {PromptButtons::Ok, PromptIcon::Information, QMessageBox::Ok, PromptAnswer::Ok,
       QMessageBox::Information, QMessageBox::Ok},
  };
  SetPrompter(nullptr);
  int shot = 0;
  for (const Case& c : cases) {
    BoxSeen seen;
    auto watch = test::WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      seen = {box->text(), box->windowTitle(), box->detailedText(), box->icon(),
              box->standardButtons(), QApplication::overrideCursor() != nullptr};
      test::SaveScreenshot(box, QStringLiteral("message_box_%1").arg(shot++));
      box->button(c.press)->click();
    });
    WaitCursor busy;  // a box never shows under the wait cursor
    const PromptAnswer answer = CurrentPrompter().Message(
        nullptr, "Unable to open 7\nPort not found\n", kAppTitle, c.buttons, c.icon,
        "Device: /dev/ttyS6");
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "the cursor comes back afterwards";
    busy.Release();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(seen.text, "Unable to open 7\nPort not found\n");
    EXPECT_EQ(seen.title, "Kelvo-Tarn");
    EXPECT_EQ(seen.detail, "Device: /dev/ttyS6");
    EXPECT_EQ(seen.icon, c.qt_icon);
    EXPECT_EQ(seen.buttons, c.qt_buttons);
    EXPECT_FALSE(seen.cursor);
  }
}

// Types `name` into the file dialog that is up and accepts it.
void TypeAndAccept(QWidget* modal, const QString& name, QString* title, QStringList* filters,
                   QString* typed_before) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  ASSERT_NE(dialog, nullptr);
  *title = dialog->windowTitle();
  *filters = dialog->nameFilters();
  auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(edit, nullptr);
  *typed_before = edit->text();
  edit->setText(name);
  static_cast<QDialog*>(dialog)->accept();  // as the OK button does
}

TEST(QtPrompter, OpenDialogReturnsANameThatNeedNotExist) {
  SetPrompter(nullptr);
  test::TempConfigHome folder;
  const QString missing = QString::fromStdString(folder.Folder() + "/NOSUCH.PSF");
  QString title, initial;
  QStringList filters;
  auto watch = test::WhenModal([&](QWidget* modal) { TypeAndAccept(modal, missing, &title, &filters, &initial); });
  std::string path;
  ASSERT_TRUE(CurrentPrompter().OpenPsfFile(nullptr, path));
  EXPECT_EQ(path, missing.toStdString());
  EXPECT_EQ(title, "FileBox");
  EXPECT_EQ(initial, "*.PSF");
  EXPECT_TRUE(filters.isEmpty() || filters == QStringList{QStringLiteral("All Files (*)")});
}

TEST(QtPrompter, SaveDialogUsesANameWithoutExtensionAsTyped) {
  SetPrompter(nullptr);
  test::TempConfigHome folder;
  const QString typed = QString::fromStdString(folder.Folder() + "/BACKUP");
  QString title, initial;
  QStringList filters;
  auto watch = test::WhenModal([&](QWidget* modal) { TypeAndAccept(modal, typed, &title, &filters, &initial); });
  std::string path;
  ASSERT_TRUE(CurrentPrompter().SavePsfFile(nullptr, path));
  EXPECT_EQ(path, typed.toStdString());
  EXPECT_EQ(title, "FileSave");
  EXPECT_EQ(initial, "*.PSF");
}

TEST(QtPrompter, SaveDialogAsksBeforeReplacingAFile) {
  SetPrompter(nullptr);
  test::TempConfigHome folder;
  const std::string existing = folder.Folder() + "/OLD.PSF";
  std::ofstream(existing) << "x";
  for (bool replace : {false, true}) {
    QString title, initial, question;
    QStringList filters;
    auto watch = test::WhenModal([&](QWidget* modal) {
      // The question comes up inside the file dialog's accept.
      auto inner_watch = test::WhenModal([&](QWidget* inner) {
        auto* box = qobject_cast<QMessageBox*>(inner);
        ASSERT_NE(box, nullptr);
        question = box->text();
        box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
        if (!replace) {
          // Still in the file dialog: cancel it.
          QTimer::singleShot(0, [] {
            if (QWidget* still = QApplication::activeModalWidget()) static_cast<QDialog*>(still)->reject();
          });
        }
      });
      TypeAndAccept(modal, QString::fromStdString(existing), &title, &filters, &initial);
    });
    std::string path;
    const bool chosen = CurrentPrompter().SavePsfFile(nullptr, path);
    EXPECT_TRUE(question.contains(QStringLiteral("OLD.PSF"))) << question.toStdString();
    EXPECT_EQ(chosen, replace);
    if (replace) {
      EXPECT_EQ(path, existing);
    }
  }
}

TEST(QtPrompter, CancelChoosesNothing) {
  SetPrompter(nullptr);
  for (bool save : {false, true}) {
    auto watch = test::WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    std::string path = "unchanged";
    EXPECT_FALSE(save ? CurrentPrompter().SavePsfFile(nullptr, path)
                      : CurrentPrompter().OpenPsfFile(nullptr, path));
    EXPECT_EQ(path, "unchanged");
  }
}

class LoopingDialog : public LoopDialog {
 public:
  using LoopDialog::LoopDialog;
};

TEST(LoopDialog, RefusesEveryWayOfClosingWhileItsLoopRuns) {
  struct Case {
    const char* name;
    std::function<void(LoopDialog&)> attempt;
  };
  const Case cases[] = {
      {"accept", [](LoopDialog& d) { d.accept(); }},
      {"reject", [](LoopDialog& d) { d.reject(); }},
      {"done", [](LoopDialog& d) { d.done(5); }},
      {"close", [](LoopDialog& d) { d.close(); }},
      {"escape", [](LoopDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
  };
  for (const Case& c : cases) {
    LoopingDialog dialog;
    dialog.show();
    {
      LoopDialog::LoopScope loop(dialog, true);
      EXPECT_TRUE(dialog.LoopRunning());
      EXPECT_EQ(ActiveDialogWindow(), &dialog);
      c.attempt(dialog);
      EXPECT_TRUE(dialog.isVisible()) << c.name;
      EXPECT_TRUE(dialog.CloseRequested()) << c.name;
    }
    EXPECT_FALSE(dialog.LoopRunning());
    EXPECT_EQ(ActiveDialogWindow(), nullptr);
    c.attempt(dialog);
    EXPECT_FALSE(dialog.isVisible()) << c.name << " works once the loop ended";
  }
}

TEST(LoopDialog, ModalLoopEndsOnlyAfterTheLoop) {
  LoopingDialog dialog;
  int result = -1;
  QTimer::singleShot(0, &dialog, [&dialog] {
    LoopDialog::LoopScope loop(dialog);
    dialog.reject();  // refused
    PumpOneMessage();
    EXPECT_TRUE(dialog.isVisible());
  });
  QTimer::singleShot(20, &dialog, [&dialog] { dialog.done(3); });
  result = dialog.exec();
  EXPECT_EQ(result, 3);
}

TEST(IdleStep, ProcessesPendingEventsWithoutWaiting) {
  InstallQtIdleHook();
  int ran = 0;
  QTimer::singleShot(0, [&ran] { ++ran; });
  QWidget target;
  bool clicked = false;
  QPushButton button(&target);
  QObject::connect(&button, &QPushButton::clicked, [&clicked] { clicked = true; });
  target.show();
  // User input is processed too: a Stop click must be seen during a loop.
  QMouseEvent* press = new QMouseEvent(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2),
                                       Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent* release = new QMouseEvent(QEvent::MouseButtonRelease, QPointF(2, 2), QPointF(2, 2),
                                         Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::postEvent(&button, press);
  QCoreApplication::postEvent(&button, release);
  QElapsedTimer clock;
  clock.start();
  PumpOneMessage();
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(clicked);
  PumpOneMessage();  // nothing pending: returns at once
  EXPECT_LT(clock.elapsed(), 500);
  SetIdleHook(nullptr);
}

TEST(WaitCursor, NestsAndIsLiftedForEveryMessage) {
  ScriptedPrompter prompter;
  {
    WaitCursor outer;
    {
      WaitCursor inner;
      EXPECT_EQ(WaitCursor::ActiveCount(), 2);
      CurrentPrompter().Message(nullptr, "x", kAppTitle, PromptButtons::Ok, PromptIcon::Warning);
      EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(WaitCursor::ActiveCount(), 0);
  ASSERT_EQ(prompter.cursor_shown_during_message.size(), 1u);
  EXPECT_FALSE(prompter.cursor_shown_during_message[0]);
}

}  // namespace
}  // namespace kelvt
