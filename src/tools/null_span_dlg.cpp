#include "tools/null_span_dlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/active_dialog.h"
#include "gui/accessible_names.h"
#include "gui/prompter.h"
#include "link/controller_link.h"
#include "ops/null_span_steps.h"
#include "ops/status_messages.h"

namespace kelvt {
namespace {

constexpr int kMinOf[4] = {kNullMin, kSpanMin, kNullMin, kSpanMin};
constexpr int kMaxOf[4] = {kNullMax, kSpanMax, kNullMax, kSpanMax};
constexpr int kLargestFieldValue = 9999;

ScrollAction ToScrollAction(int action, bool slider_down) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return ScrollAction::kLineLeft;
    case QAbstractSlider::SliderSingleStepAdd: return ScrollAction::kLineRight;
    // A move with the thumb held is tracking; one without (the wheel) is not
    // a notification the dialog acts on.
    case QAbstractSlider::SliderMove:
      return slider_down ? ScrollAction::kThumbTrack : ScrollAction::kOther;
    default: return ScrollAction::kOther;
  }
}

QPushButton* CommandButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  // No button is ever the default: Enter presses the focused one (keyPressEvent).
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

}  // namespace

CNullSpanDlg::CNullSpanDlg(ControllerLink* link, QWidget* parent)
    : LoopDialog(parent), link_(link) {
  setWindowTitle(QStringLiteral("Null/Span"));

  static const char* const kFieldNames[4] = {"null1Edit", "span1Edit", "null2Edit", "span2Edit"};
  static const char* const kBarNames[4] = {"null1Bar", "span1Bar", "null2Bar", "span2Bar"};
  static const char* const kBarAccessibleNames[4] = {"Analog Output#1 Null", "Analog Output#1 Span",
                                                      "Analog Output#2 Null", "Analog Output#2 Span"};
  for (int i = 0; i < 4; ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setObjectName(QLatin1String(kFieldNames[i]));
    fields_[i]->setMaxLength(kNullSpanDigits);
    fields_[i]->setFixedWidth(fields_[i]->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    fields_[i]->installEventFilter(this);
    bars_[i] = new QScrollBar(Qt::Horizontal, this);
    bars_[i]->setObjectName(QLatin1String(kBarNames[i]));
    bars_[i]->setAccessibleName(QString::fromLatin1(kBarAccessibleNames[i]));
    bars_[i]->setRange(kMinOf[i], kMaxOf[i]);
    bars_[i]->setSingleStep(1);
    bars_[i]->setMinimumWidth(160);
    // Its "Scroll here" would move the bar without telling the field.
    bars_[i]->setContextMenuPolicy(Qt::NoContextMenu);
    connect(bars_[i], &QScrollBar::actionTriggered, this,
            [this, i](int action) { OnScrollAction(i, action); });
    connect(bars_[i], &QScrollBar::sliderReleased, this, [this, i] { OnSliderReleased(i); });
    connect(fields_[i], &QLineEdit::textChanged, this, [this, i] { OnFieldChanged(i); });
  }

  null_button_ = CommandButton(QStringLiteral("Null Update"), "nullUpdateButton", this);
  span_button_ = CommandButton(QStringLiteral("Span Update"), "spanUpdateButton", this);
  ok_button_ = CommandButton(QStringLiteral("OK"), "okButton", this);
  cancel_button_ = CommandButton(QStringLiteral("Cancel"), "cancelButton", this);
  connect(null_button_, &QPushButton::clicked, this, [this] { SendUpdate(kNullSpanNullUpdate); });
  connect(span_button_, &QPushButton::clicked, this, [this] { SendUpdate(kNullSpanSpanUpdate); });
  connect(ok_button_, &QPushButton::clicked, this, [this] {
    if (busy_) return;
    SendUpdate(kNullSpanFinish);
    accept();  // whatever the outcome
  });
  connect(cancel_button_, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Analog Output#1"), this), 0, 1, 1, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Analog Output#2"), this), 0, 3, 1, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Null"), this), 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("Span"), this), 2, 0);
  // Frame order: null 1, span 1, null 2, span 2.
  const int rows[4] = {1, 2, 1, 2};
  const int columns[4] = {1, 1, 3, 3};
  for (int i = 0; i < 4; ++i) {
    grid->addWidget(fields_[i], rows[i], columns[i]);
    grid->addWidget(bars_[i], rows[i], columns[i] + 1);
  }
  grid->addWidget(new QLabel(QStringLiteral("0-1000"), this), 1, 5);
  grid->addWidget(new QLabel(QStringLiteral("2000-4095"), this), 2, 5);
  NameGridControls(grid);  // "Null, Analog Output#1", ...

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(null_button_);
  buttons->addWidget(span_button_);
  buttons->addWidget(ok_button_);
  buttons->addWidget(cancel_button_);

  auto* top = new QVBoxLayout(this);
  top->addLayout(grid);
  top->addLayout(buttons);

  // Tab: each output's null and span, each field then its bar (the arrow
  // keys step a focused bar), then the buttons.
  QWidget* chain[12] = {fields_[0], bars_[0], fields_[1], bars_[1], fields_[2], bars_[2],
                        fields_[3], bars_[3], null_button_, span_button_, ok_button_,
                        cancel_button_};
  for (QScrollBar* bar : bars_) bar->setFocusPolicy(Qt::StrongFocus);
  for (int i = 1; i < 12; ++i) setTabOrder(chain[i - 1], chain[i]);
  fields_[0]->setFocus();
}

void CNullSpanDlg::LoadReply(const char* reply) {
  values_ = DecodeNullSpanValues(reply);
  controller_letter_ = reply[1];
  OnInitDialog();
}

void CNullSpanDlg::OnInitDialog() {
  for (int i = 0; i < 4; ++i) {
    // Characters that are not digits can decode past four digits; the
    // field holds four, so show the largest value it can hold.
    fields_[i]->setText(QString::number(std::clamp(values_[i], 0, kLargestFieldValue)));
    bars_[i]->setValue(values_[i]);  // the bar keeps itself inside its range
  }
}

void CNullSpanDlg::OnScrollAction(int i, int action) {
  if (scroll_guard_ != 0) return;
  scroll_guard_ = 1;
  QScrollBar* bar = bars_[i];
  const int current = bar->value();  // not yet moved by this action
  const ScrollOutcome outcome =
      ApplyScroll(ToScrollAction(action, bar->isSliderDown()), current, bar->sliderPosition(),
                  bar->minimum(), bar->maximum());
  // The bar has already taken the action's position; it keeps only what the
  // rules allow.
  bar->setSliderPosition(outcome.move_bar ? outcome.position : current);
  if (outcome.write_text) fields_[i]->setText(QString::number(outcome.position));
  scroll_guard_ = 0;
}

void CNullSpanDlg::OnSliderReleased(int i) {
  if (scroll_guard_ != 0) return;
  scroll_guard_ = 1;
  QScrollBar* bar = bars_[i];
  const ScrollOutcome outcome = ApplyScroll(ScrollAction::kThumbRelease, bar->value(),
                                            bar->sliderPosition(), bar->minimum(), bar->maximum());
  bar->setValue(outcome.position);
  fields_[i]->setText(QString::number(outcome.position));
  scroll_guard_ = 0;
}

void CNullSpanDlg::OnFieldChanged(int i) {
  if (edit_guard_ != 0) return;
  edit_guard_ = 1;
  QLineEdit* field = fields_[i];
  const QString text = field->text();
  const QString kept = QString::fromStdString(FilterNullSpanText(text.toStdString()));
  // Rewriting an unchanged text would only move the cursor to the end.
  if (kept != text) field->setText(kept);
  edit_guard_ = 0;
}

void CNullSpanDlg::LeaveField(int i) {
  if (edit_guard_ != 0) return;
  edit_guard_ = 1;
  QScrollBar* bar = bars_[i];
  const NullSpanLeave leave =
      ClampNullSpanField(fields_[i]->text().toStdString(), bar->minimum(), bar->maximum());
  if (leave.rewrite) fields_[i]->setText(QString::number(leave.value));
  bar->setValue(leave.value);
  edit_guard_ = 0;
}

bool CNullSpanDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    for (int i = 0; i < 4; ++i) {
      if (watched == fields_[i]) LeaveField(i);
    }
  }
  return LoopDialog::eventFilter(watched, event);
}

void CNullSpanDlg::keyPressEvent(QKeyEvent* event) {
  // The default action of the dialog is empty: Enter presses the focused
  // push button, and anywhere else does nothing.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button != nullptr && button->isEnabled()) button->click();
    event->accept();
    return;
  }
  LoopDialog::keyPressEvent(event);
}

void CNullSpanDlg::ShowMessage(const char* text) {
  CurrentPrompter().Message(this, text, kWindowCaption, PromptButtons::Ok, PromptIcon::None);
}

void CNullSpanDlg::SendUpdate(char function) {
  if (busy_) return;
  busy_ = true;
  {
    CommandScope command(*this);
    for (int i = 0; i < 4; ++i) values_[i] = NullSpanFieldValue(fields_[i]->text().toStdString());
    WaitCursor wait;
    // What the controller holds is read and journaled before each update.
    const NullSpanStatus status =
        link_ == nullptr ? NullSpanStatus::kNotSent
                         : SendNullSpanWithCopy(*link_, InstalledJournal(), tag_, function,
                                                controller_letter_, values_,
                                                [this] { return AskSendUnread(this); })
                               .status;
    wait.Release();
    switch (status) {
      case NullSpanStatus::kAcknowledged:
      case NullSpanStatus::kNotRead:  // the user chose not to send
        break;
      case NullSpanStatus::kNotJournaled:
        ShowMessage(kNotJournaledMessage);
        break;
      case NullSpanStatus::kNotSent:
        ShowMessage("We are unable to establish the Serial Interface");
        break;
      case NullSpanStatus::kNotAcknowledged:
        ShowMessage("The Serial Interface is not functioning properly");
        break;
    }
  }
  busy_ = false;
}

int RunNullSpanCalibration(ControllerLink* link, QWidget* parent, const JournalTag& tag) {
  char frame[kNullSpanBufferSize];
  WaitCursor wait;
  // A garbled reply is no reply: its values are never shown or sent back.
  const int answered = link != nullptr ? ReadNullSpanFrame(*link, frame) : 0;
  wait.Release();
  if (answered == 0) {
    CurrentPrompter().Message(parent, "Serial interface is not active", kWindowCaption,
                              PromptButtons::Ok, PromptIcon::None);
    return 0;
  }
  CNullSpanDlg dialog(link, parent);
  dialog.SetJournalTag(tag);
  dialog.LoadReply(frame);
  dialog.exec();
  return 1;
}

}  // namespace kelvt
