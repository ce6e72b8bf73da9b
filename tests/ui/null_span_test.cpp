// The Null/Span dialog against a scripted controller: opening, the typing
// filter and leave clamp, the scroll rules, the update frames and the reply
// checks, Enter and Escape.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/controller_link.h"
#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "support/scripted_prompter.h"
#include "support/ui_test_util.h"
#include "ops/status_messages.h"
#include "tools/null_span_dlg.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

std::string Frame(char lead, char id, char function, const std::string& digits) {
  return std::string(1, lead) + id + 'K' + function + digits + '\n';
}

class NullSpanTest : public ::testing::Test {
 protected:
  NullSpanTest() : ticks_(&clock_), port_(new ScriptedPort), link_(port_) {
    line_.Attach(*port_);
  }

  // A dialog as the editor opens it, from a read reply.
  std::unique_ptr<CNullSpanDlg> Open(const std::string& reply) {
    auto dialog = std::make_unique<CNullSpanDlg>(&link_, nullptr);
    dialog->LoadReply(reply.data());
    dialog->show();
    return dialog;
  }

  std::string LastWritten(int n) const {
    const std::string& w = port_->Written();
    return w.size() >= static_cast<size_t>(n) ? w.substr(w.size() - n) : w;
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedPrompter prompter_;
  ScriptedController controller_{9600, 'B'};
  test::FaultSwitch line_{controller_};
  ScriptedPort* port_;  // owned by the link
  ControllerLink link_;
};

const std::string kReadReply = Frame(0x1B, 'B', 'T', "0250400000002047");

TEST_F(NullSpanTest, OpensWithTheDecodedValuesAndKeepsTheLetter) {
  auto dialog = Open(kReadReply);
  EXPECT_EQ(dialog->windowTitle(), "Null/Span");
  const char* texts[4] = {"250", "4000", "0", "2047"};
  const int positions[4] = {250, 4000, 0, 2047};
  const int minimums[4] = {0, 2000, 0, 2000};
  const int maximums[4] = {1000, 4095, 1000, 4095};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(dialog->Field(i)->text(), texts[i]) << i;
    EXPECT_EQ(dialog->Bar(i)->value(), positions[i]) << i;
    EXPECT_EQ(dialog->Bar(i)->minimum(), minimums[i]) << i;
    EXPECT_EQ(dialog->Bar(i)->maximum(), maximums[i]) << i;
  }
  EXPECT_EQ(dialog->ControllerLetter(), 'B');
  QDir().mkpath(KELVT_SCREENSHOT_DIR);
  dialog->grab().save(QStringLiteral(KELVT_SCREENSHOT_DIR "/null_span.png"));
}

TEST_F(NullSpanTest, NullUpdateSendsAllFourValuesWithTheRepliesLetter) {
  auto dialog = Open(kReadReply);
  QTest::mouseClick(dialog->NullUpdateButton(), Qt::LeftButton);
  EXPECT_EQ(LastWritten(21), Frame(0x1B, 'B', 'N', "0250400000002047"));
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_TRUE(dialog->isVisible());  // the update buttons keep the dialog open
  EXPECT_EQ(controller_.null_span[3], 2047);
}

TEST_F(NullSpanTest, EachCommandButtonSendsItsLetter) {
  struct Case {
    const char* button;
    char function;
    bool closes;
  };
  const Case cases[] = {{"nullUpdateButton", 'N', false},
                        {"spanUpdateButton", 'S', false},
                        {"okButton", 'E', true}};
  for (const Case& c : cases) {
    auto dialog = Open(kReadReply);
    dialog->Field(1)->setText("3001");
    port_->ClearWritten();
    QTest::mouseClick(dialog->findChild<QPushButton*>(c.button), Qt::LeftButton);
    // The values the controller holds are read first, then the update goes.
    EXPECT_EQ(port_->Written().substr(port_->Written().size() - 42, 21),
              Frame(0x1B, 'B', 'T', "0000000000000000")) << c.button;
    EXPECT_EQ(LastWritten(21), Frame(0x1B, 'B', c.function, "0250300100002047")) << c.button;
    EXPECT_EQ(dialog->isVisible(), !c.closes) << c.button;
    if (c.closes) {
      EXPECT_EQ(dialog->result(), QDialog::Accepted);
    }
  }
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(NullSpanTest, ReplyChecksTellTheTechnician) {
  struct Case {
    const char* name;
    std::function<void(ScriptedController&)> shape;
    const char* message;  // nullptr: none
    sim::SimConfig (*fault)() = nullptr;  // then kelvt-sim's controller answers
  };
  const Case cases[] = {
      {"echo ok", [](ScriptedController&) {}, nullptr},
      {"span 2 echoed as 2046",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort& port, const char* d, int n) {
           if (n != 21 || d[3] == 'T') return false;
           port.QueueReply(Frame(0x1C, 'B', 'U', "0250400000002046"));
           return true;
         };
       },
       "The Serial Interface is not functioning properly"},
      {"not acknowledged with U",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort& port, const char* d, int n) {
           if (n != 21 || d[3] == 'T') return false;
           port.QueueReply(Frame(0x1C, 'B', 'N', "0250400000002047"));
           return true;
         };
       },
       "The Serial Interface is not functioning properly"},
      {"update unanswered",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort&, const char* d, int n) {
           return n == 21 && d[3] != 'T';
         };
       },
       "We are unable to establish the Serial Interface"},
      // The values held cannot be read first: no copy, so the question (No: nothing sent).
      {"no reply", [](ScriptedController&) {}, kSendUnreadQuestion, test::Silent},
      {"short reply", [](ScriptedController& c) { c.truncate_replies = 20; }, kSendUnreadQuestion},
  };
  for (const Case& c : cases) {
    ScriptedController fresh(9600, 'B');
    test::FaultSwitch line(fresh);
    c.shape(fresh);
    if (c.fault) line.Fault(c.fault());
    line.Attach(*port_);
    prompter_.messages.clear();
    auto dialog = Open(kReadReply);
    QTest::mouseClick(dialog->NullUpdateButton(), Qt::LeftButton);
    if (c.message == nullptr) {
      EXPECT_TRUE(prompter_.messages.empty()) << c.name;
    } else {
      ASSERT_EQ(prompter_.messages.size(), 1u) << c.name;
      EXPECT_EQ(prompter_.messages[0].text, c.message) << c.name;
      EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0") << c.name;
      EXPECT_EQ(prompter_.messages[0].buttons, std::string(c.message) == kSendUnreadQuestion
                                                   ? PromptButtons::YesNoDefaultNo
                                                   : PromptButtons::Ok)
          << c.name;
      EXPECT_EQ(prompter_.messages[0].parent, dialog.get()) << c.name;
    }
    // The fields keep their values after a failure.
    EXPECT_EQ(dialog->Field(3)->text(), "2047") << c.name;
    EXPECT_TRUE(dialog->isVisible()) << c.name;
    controller_.Attach(*port_);
  }
}

TEST_F(NullSpanTest, OkClosesEvenWhenTheControllerFails) {
  line_.Fault(test::Silent());
  auto dialog = Open(kReadReply);
  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, kSendUnreadQuestion);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(NullSpanTest, TypingFilterKeepsDigits) {
  struct Case {
    const char* keys;
    const char* shown;
  };
  const Case cases[] = {{"a12b", "12"}, {"05", "5"}, {"0", "0"}, {"12345", "1234"}, {"x-9", "9"}};
  auto dialog = Open(kReadReply);
  for (const Case& c : cases) {
    QLineEdit* field = dialog->Field(0);
    field->clear();
    QTest::keyClicks(field, c.keys);
    EXPECT_EQ(field->text(), c.shown) << c.keys;
  }
}

TEST_F(NullSpanTest, LeavingAFieldClampsItAndMovesTheBar) {
  struct Case {
    int field;
    const char* text;
    const char* shown;
    int bar;
  };
  const Case cases[] = {
      {1, "", "2000", 2000},   // empty span
      {0, "", "0", 0},         // empty null
      {1, "1500", "2000", 2000},
      {2, "9999", "1000", 1000},
      {3, "4095", "4095", 4095},
      {0, "512", "512", 512},
  };
  auto dialog = Open(kReadReply);
  for (const Case& c : cases) {
    dialog->Field(c.field)->setText(c.text);
    dialog->LeaveField(c.field);
    EXPECT_EQ(dialog->Field(c.field)->text(), c.shown) << c.field << " " << c.text;
    EXPECT_EQ(dialog->Bar(c.field)->value(), c.bar) << c.field << " " << c.text;
  }
}

TEST_F(NullSpanTest, LosingTheFocusRunsTheClamp) {
  auto dialog = Open(kReadReply);
  dialog->activateWindow();
  dialog->Field(1)->setFocus();
  dialog->Field(1)->setText("1500");
  dialog->Field(2)->setFocus();
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(dialog->Field(1), &out);
  EXPECT_EQ(dialog->Field(1)->text(), "2000");
  EXPECT_EQ(dialog->Bar(1)->value(), 2000);
}

TEST_F(NullSpanTest, ScrollRules) {
  auto dialog = Open(kReadReply);
  QScrollBar* null2 = dialog->Bar(2);  // at 0, its minimum
  QLineEdit* null2_text = dialog->Field(2);

  // Arrow at the minimum: the position stays, the field is rewritten with it.
  null2_text->setText("7");
  null2->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(null2->value(), 0);
  EXPECT_EQ(null2_text->text(), "0");

  null2->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(null2->value(), 1);
  EXPECT_EQ(null2_text->text(), "1");

  // Trough (page) clicks and jumps to the ends change nothing.
  for (auto action : {QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderPageStepSub,
                      QAbstractSlider::SliderToMaximum, QAbstractSlider::SliderToMinimum}) {
    null2->triggerAction(action);
    EXPECT_EQ(null2->value(), 1) << action;
    EXPECT_EQ(null2_text->text(), "1") << action;
  }

  // Span 1 at its maximum: the right arrow clamps.
  QScrollBar* span1 = dialog->Bar(1);
  span1->setValue(4095);
  span1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(span1->value(), 4095);
  EXPECT_EQ(dialog->Field(1)->text(), "4095");

  // Dragging the thumb moves the bar only; releasing it writes the field.
  QScrollBar* null1 = dialog->Bar(0);
  null1->setSliderDown(true);
  null1->setSliderPosition(700);
  EXPECT_EQ(null1->value(), 700);
  EXPECT_EQ(dialog->Field(0)->text(), "250");
  null1->setSliderDown(false);
  EXPECT_EQ(null1->value(), 700);
  EXPECT_EQ(dialog->Field(0)->text(), "700");
}

TEST_F(NullSpanTest, EnterPressesOnlyAFocusedButtonAndEscapeClosesWithoutSending) {
  auto dialog = Open(kReadReply);
  port_->ClearWritten();
  dialog->Field(0)->setFocus();
  QTest::keyClick(dialog->Field(0), Qt::Key_Return);
  QTest::keyClick(dialog.get(), Qt::Key_Enter);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(port_->Written().empty());

  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_TRUE(port_->Written().empty());

  auto again = Open(kReadReply);
  QTest::mouseClick(again->CancelButton(), Qt::LeftButton);
  EXPECT_FALSE(again->isVisible());
  EXPECT_TRUE(port_->Written().empty());

  auto third = Open(kReadReply);
  third->CancelButton()->setFocus();
  QTest::keyClick(third->CancelButton(), Qt::Key_Return);
  EXPECT_FALSE(third->isVisible());
  EXPECT_EQ(third->result(), QDialog::Rejected);
  EXPECT_TRUE(port_->Written().empty());
}

TEST_F(NullSpanTest, TabReachesEveryFieldAndBarThenTheButtons) {
  auto dialog = Open(kReadReply);
  const std::vector<std::string> expected = {
      "null1Edit", "null1Bar", "span1Edit", "span1Bar", "null2Edit", "null2Bar",
      "span2Edit", "span2Bar", "nullUpdateButton", "spanUpdateButton", "okButton",
      "cancelButton"};
  EXPECT_EQ(dialog->focusWidget(), dialog->Field(0));
  EXPECT_EQ(test::TabChain(dialog->Field(0)), expected);
  // A focused bar steps with an arrow key and tells its field.
  const int before = dialog->Bar(1)->value();
  QTest::keyClick(dialog->Bar(1), Qt::Key_Left);
  EXPECT_EQ(std::abs(dialog->Bar(1)->value() - before), 1);
  EXPECT_EQ(dialog->Field(1)->text(), QString::number(dialog->Bar(1)->value()));
}

TEST_F(NullSpanTest, OpeningReadsTheValuesThenRunsTheDialog) {
  controller_.null_span[0] = 250;
  controller_.null_span[1] = 4000;
  controller_.null_span[2] = 0;
  controller_.null_span[3] = 2047;
  QString seen[4];
  char letter = 0;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CNullSpanDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    for (int i = 0; i < 4; ++i) seen[i] = dialog->Field(i)->text();
    letter = dialog->ControllerLetter();
    dialog->reject();
  });
  EXPECT_EQ(RunNullSpanCalibration(&link_, nullptr), 1);
  EXPECT_EQ(seen[0], "250");
  EXPECT_EQ(seen[1], "4000");
  EXPECT_EQ(seen[2], "0");
  EXPECT_EQ(seen[3], "2047");
  EXPECT_EQ(letter, 'B');
  // The read request went out with the letter the wake-up returned.
  EXPECT_EQ(LastWritten(21), Frame(0x1B, 'B', 'T', std::string(16, '0')));
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(NullSpanTest, NoDialogWhenTheReadExchangeFails) {
  struct Case {
    const char* name;
    std::function<void(ScriptedController&)> shape;
    sim::SimConfig (*fault)() = nullptr;  // then kelvt-sim's controller answers
  };
  const Case cases[] = {
      {"silent controller", [](ScriptedController&) {}, test::Silent},
      {"answers the wake-up only",
       [](ScriptedController& c) {
         c.intercept = [](ScriptedController&, ScriptedPort&, const char*, int n) { return n == 21; };
       }},
  };
  for (const Case& c : cases) {
    ScriptedController fresh(9600, 'B');
    test::FaultSwitch line(fresh);
    c.shape(fresh);
    if (c.fault) line.Fault(c.fault());
    line.Attach(*port_);
    prompter_.messages.clear();
    bool dialog_seen = false;
    QTimer::singleShot(0, [&] {
      if (auto* d = QApplication::activeModalWidget()) {
        dialog_seen = true;
        d->close();
      }
    });
    EXPECT_EQ(RunNullSpanCalibration(&link_, nullptr), 0) << c.name;
    QCoreApplication::processEvents();
    EXPECT_FALSE(dialog_seen) << c.name;
    ASSERT_EQ(prompter_.messages.size(), 1u) << c.name;
    EXPECT_EQ(prompter_.messages[0].text, "Serial interface is not active") << c.name;
    EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn 2.0") << c.name;
    EXPECT_EQ(prompter_.messages[0].buttons, PromptButtons::Ok) << c.name;
    controller_.Attach(*port_);
  }
}

}  // namespace
}  // namespace kelvt
