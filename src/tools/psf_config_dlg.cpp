#include "tools/psf_config_dlg.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "gui/prompter.h"
#include "link/controller_link.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "ops/confirmed_read.h"
#include "ops/status_messages.h"
#include "ops/trial_run_steps.h"
#include "psf/trial_run.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/null_span_dlg.h"

namespace kelvt {

PsfRecord& LastEditedPsf() {
  static PsfRecord last_edited_psf;
  return last_edited_psf;
}

namespace {

enum class BoxKind {
  kBlankingLow,
  kBlankingHigh,
  kSetPointLow,
  kSetPointHigh,
  kHysteresisLow,
  kHysteresisHigh,
  kScanCount,
  kInvert,
  kTriggerValue,
};

// One row per ValueBox bit, in bit order.
struct BoxInfo {
  ValueBox bit;
  const char* name;
  BoxKind kind;
  int which;  // blanking field, output or analog output: 1 or 2
  FieldGroup group;
  ScanCountBox scan_box;
};

constexpr BoxInfo kBoxInfo[21] = {
    {kBoxBlank1Low, "blank1LowEdit", BoxKind::kBlankingLow, 1, kGroupBlanking, {}},
    {kBoxBlank1High, "blank1HighEdit", BoxKind::kBlankingHigh, 1, kGroupBlanking, {}},
    {kBoxBlank2Low, "blank2LowEdit", BoxKind::kBlankingLow, 2, kGroupBlanking, {}},
    {kBoxBlank2High, "blank2HighEdit", BoxKind::kBlankingHigh, 2, kGroupBlanking, {}},
    {kBoxOut1LowThreshold, "out1LowThresholdEdit", BoxKind::kSetPointLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighThreshold, "out1HighThresholdEdit", BoxKind::kSetPointHigh, 1, kGroupOutput1, {}},
    {kBoxOut1LowHysteresis, "out1LowHysteresisEdit", BoxKind::kHysteresisLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighHysteresis, "out1HighHysteresisEdit", BoxKind::kHysteresisHigh, 1, kGroupOutput1,
     {}},
    {kBoxOut1ScanCount, "out1ScanEdit", BoxKind::kScanCount, 1, kGroupOutput1,
     ScanCountBox::kOutput1},
    {kBoxOut1Invert, "out1InvertEdit", BoxKind::kInvert, 1, kGroupOutput1, {}},
    {kBoxOut2LowThreshold, "out2LowThresholdEdit", BoxKind::kSetPointLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighThreshold, "out2HighThresholdEdit", BoxKind::kSetPointHigh, 2, kGroupOutput2, {}},
    {kBoxOut2LowHysteresis, "out2LowHysteresisEdit", BoxKind::kHysteresisLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighHysteresis, "out2HighHysteresisEdit", BoxKind::kHysteresisHigh, 2, kGroupOutput2,
     {}},
    {kBoxOut2ScanCount, "out2ScanEdit", BoxKind::kScanCount, 2, kGroupOutput2,
     ScanCountBox::kOutput2},
    {kBoxOut2Invert, "out2InvertEdit", BoxKind::kInvert, 2, kGroupOutput2, {}},
    {kBoxAnalog1ScanCount, "analog1ScanEdit", BoxKind::kScanCount, 1, kGroupAnalog1,
     ScanCountBox::kAnalog1},
    {kBoxAnalog1Invert, "analog1InvertEdit", BoxKind::kInvert, 1, kGroupAnalog1, {}},
    {kBoxAnalog2ScanCount, "analog2ScanEdit", BoxKind::kScanCount, 2, kGroupAnalog2,
     ScanCountBox::kAnalog2},
    {kBoxAnalog2Invert, "analog2InvertEdit", BoxKind::kInvert, 2, kGroupAnalog2, {}},
    {kBoxTriggerValue, "triggerValueEdit", BoxKind::kTriggerValue, 0, kGroupTriggerValue, {}},
};

int BoxIndex(ValueBox bit) { return std::countr_zero(static_cast<unsigned>(bit)); }

// A record's text field as a pointer and capacity (NUL included).
struct FieldRef {
  char* data;
  int size;
};

template <int N>
FieldRef Ref(char (&field)[N]) {
  return {field, N};
}

FieldRef BoxField(PsfRecord& r, ValueBox bit) {
  switch (bit) {
    case kBoxBlank1Low: return Ref(r.blank1_low);
    case kBoxBlank1High: return Ref(r.blank1_high);
    case kBoxBlank2Low: return Ref(r.blank2_low);
    case kBoxBlank2High: return Ref(r.blank2_high);
    case kBoxOut1LowThreshold: return Ref(r.out1_low_threshold);
    case kBoxOut1HighThreshold: return Ref(r.out1_high_threshold);
    case kBoxOut1LowHysteresis: return Ref(r.out1_low_hysteresis);
    case kBoxOut1HighHysteresis: return Ref(r.out1_high_hysteresis);
    case kBoxOut1ScanCount: return Ref(r.out1_scan_count);
    case kBoxOut1Invert: return Ref(r.out1_invert);
    case kBoxOut2LowThreshold: return Ref(r.out2_low_threshold);
    case kBoxOut2HighThreshold: return Ref(r.out2_high_threshold);
    case kBoxOut2LowHysteresis: return Ref(r.out2_low_hysteresis);
    case kBoxOut2HighHysteresis: return Ref(r.out2_high_hysteresis);
    case kBoxOut2ScanCount: return Ref(r.out2_scan_count);
    case kBoxOut2Invert: return Ref(r.out2_invert);
    case kBoxAnalog1ScanCount: return Ref(r.analog1_scan_count);
    case kBoxAnalog1Invert: return Ref(r.analog1_invert);
    case kBoxAnalog2ScanCount: return Ref(r.analog2_scan_count);
    case kBoxAnalog2Invert: return Ref(r.analog2_invert);
    case kBoxTriggerValue: break;
  }
  return Ref(r.trigger_value);
}

QString FieldText(const FieldRef& f) {
  const int n = static_cast<int>(strnlen(f.data, static_cast<size_t>(f.size)));
  return QString::fromLatin1(f.data, n);
}

// At most 4 characters of a box, and never more than the field holds.
void StoreText(const FieldRef& f, const QString& text) {
  const QByteArray bytes = text.left(4).toLatin1();
  const int n = std::min<int>(static_cast<int>(bytes.size()), f.size - 1);
  std::memcpy(f.data, bytes.constData(), static_cast<size_t>(n));
  std::memset(f.data + n, 0, static_cast<size_t>(f.size - n));
}

Selection Sel(const QAbstractButton* button) {
  return button->isChecked() ? kSelected : kNotSelected;
}

int MaxLengthOf(BoxKind kind) {
  switch (kind) {
    case BoxKind::kScanCount: return kScanBoxLength;
    case BoxKind::kInvert: return kInvertBoxLength;
    default: return kValueBoxLength;
  }
}

// Position of an output mode in its list: "1", "2", "Disabled".
int OutputModePosition(const char* mode) {
  if (mode[0] == '1') return 0;
  if (mode[0] == '2') return 1;
  return 2;
}

// Position of an analog source in its list: "Disabled", "Meas1", "Meas2".
int AnalogSourcePosition(const char* source) {
  if (strnlen(source, 5) < 5) return 0;
  if (source[4] == '1') return 1;
  if (source[4] == '2') return 2;
  return 0;
}

const char* const kOutputModes[3] = {"1", "2", "Disabled"};
const char* const kAnalogSources[3] = {"Disabled", "Meas1", "Meas2"};

QRadioButton* OptionButton(const QString& text, const char* name, QWidget* parent) {
  auto* button = new QRadioButton(text, parent);
  button->setObjectName(QLatin1String(name));
  // Every option button is a group of its own: the rules decide which go together.
  button->setAutoExclusive(false);
  return button;
}

QComboBox* List(const QStringList& items, const char* name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QLatin1String(name));
  list->addItems(items);
  return list;
}

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

CPsfConfigDlg::CPsfConfigDlg(EditPsfOperation* operation, QWidget* parent)
    : LoopDialog(parent), operation(operation) {
  setWindowTitle(QStringLiteral("PSF Configuration"));
  working = LastEditedPsf();
  scratch.SetDefaults();
  BuildControls();
  ShowOpening();
  ConnectRules();
  SetTabOrder();
  meas1_list_->setFocus();
  changes_.Keep(Shown());
}

QLineEdit* CPsfConfigDlg::Box(ValueBox box) const { return boxes_[BoxIndex(box)].edit; }

void CPsfConfigDlg::BuildControls() {
  QStringList meas1;
  for (int i = 0; i < kMeasurement1Count; ++i) meas1 << QLatin1String(kMeasurement1Names[i]);
  QStringList meas2 = meas1.mid(0, kMeasurement2Count);

  for (int i = 0; i < 21; ++i) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(kBoxInfo[i].name));
    edit->setMaxLength(MaxLengthOf(kBoxInfo[i].kind));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("Yes00")) + 12);
    edit->installEventFilter(this);
    boxes_[i] = {edit, kBoxInfo[i].bit};
  }

  // Analysis Mode Selection.
  meas1_list_ = List(meas1, "meas1List", this);
  meas2_list_ = List(meas2, "meas2List", this);
  auto* analysis = new QGroupBox(QStringLiteral("Analysis Mode Selection"), this);
  auto* analysis_grid = new QGridLayout(analysis);
  analysis_grid->addWidget(new QLabel(QStringLiteral("Meas1"), analysis), 0, 0);
  analysis_grid->addWidget(meas1_list_, 0, 1);
  analysis_grid->addWidget(new QLabel(QStringLiteral("Meas2"), analysis), 1, 0);
  analysis_grid->addWidget(meas2_list_, 1, 1);

  // Control Mode Selection.
  continuous_ = OptionButton(QStringLiteral("Continuous"), "continuousButton", this);
  gate_ = OptionButton(QStringLiteral("Gate"), "gateButton", this);
  host_mode_ = OptionButton(QStringLiteral("Host Mode"), "hostModeButton", this);
  auto* control = new QGroupBox(QStringLiteral("Control Mode Selection"), this);
  auto* control_box = new QVBoxLayout(control);
  control_box->addWidget(continuous_);
  control_box->addWidget(gate_);
  control_box->addWidget(host_mode_);

  auto* blanking = new QGroupBox(QStringLiteral("Blanking Specifications"), this);
  auto* blanking_grid = new QGridLayout(blanking);
  blanking_grid->addWidget(Caption(QStringLiteral("Field"), blanking), 0, 0);
  blanking_grid->addWidget(Caption(QStringLiteral("Low"), blanking), 0, 1);
  blanking_grid->addWidget(Caption(QStringLiteral("High"), blanking), 0, 2);
  blanking_grid->addWidget(Caption(QStringLiteral("#1"), blanking), 1, 0);
  blanking_grid->addWidget(Box(kBoxBlank1Low), 1, 1);
  blanking_grid->addWidget(Box(kBoxBlank1High), 1, 2);
  blanking_grid->addWidget(Caption(QStringLiteral("#2"), blanking), 2, 0);
  blanking_grid->addWidget(Box(kBoxBlank2Low), 2, 1);
  blanking_grid->addWidget(Box(kBoxBlank2High), 2, 2);

  // Scanning Method.
  straight_ = OptionButton(QStringLiteral("Straight "), "straightButton", this);
  interlaced_ = OptionButton(QStringLiteral("Interlaced"), "interlacedButton", this);
  edge_ = OptionButton(QStringLiteral("Edge"), "edgeButton", this);
  skip_ = OptionButton(QStringLiteral("Skip"), "skipButton", this);
  skip_count_list_ = List({"1", "2", "3", "4", "5", "6", "7"}, "skipCountList", this);
  auto* scanning = new QGroupBox(QStringLiteral("Scanning Method"), this);
  auto* scanning_grid = new QGridLayout(scanning);
  scanning_grid->addWidget(straight_, 0, 0);
  scanning_grid->addWidget(interlaced_, 1, 0);
  scanning_grid->addWidget(edge_, 2, 0);
  scanning_grid->addWidget(skip_, 3, 0);
  scanning_grid->addWidget(skip_count_list_, 3, 1);

  // Serial Communication.
  baud_list_ = List({"9600", "19200", "38400"}, "baudList", this);
  QStringList letters;
  for (char c = 'A'; c <= 'O'; ++c) letters << QString(QChar::fromLatin1(c));
  controller_list_ = List(letters, "controllerList", this);
  auto* communication = new QGroupBox(QStringLiteral("Serial Communication"), this);
  auto* communication_grid = new QGridLayout(communication);
  communication_grid->addWidget(new QLabel(QStringLiteral("Baud Rate"), communication), 0, 0);
  communication_grid->addWidget(baud_list_, 0, 1);
  communication_grid->addWidget(new QLabel(QStringLiteral("Controller ID"), communication), 1, 0);
  communication_grid->addWidget(controller_list_, 1, 1);

  // Serial Transmission.
  no_serial_ = OptionButton(QStringLiteral("No Serial Communication"), "noSerialButton", this);
  ascii_ = OptionButton(QStringLiteral("ASCII Transmission"), "asciiButton", this);
  ascii_suppress_clear_ =
      OptionButton(QStringLiteral("Suppress Clear Data"), "asciiSuppressClearButton", this);
  binary_ = OptionButton(QStringLiteral("Binary Transmission"), "binaryButton", this);
  binary_suppress_clear_ =
      OptionButton(QStringLiteral("Suppress Clear Data"), "binarySuppressClearButton", this);
  binary_suppress_header_ =
      OptionButton(QStringLiteral("Suppress Header"), "binarySuppressHeaderButton", this);
  binary_compress_ = OptionButton(QStringLiteral("Compress Data"), "binaryCompressButton", this);
  auto* transmission = new QGroupBox(QStringLiteral("Serial Transmission"), this);
  auto* transmission_grid = new QGridLayout(transmission);
  transmission_grid->setColumnMinimumWidth(0, 16);
  transmission_grid->addWidget(no_serial_, 0, 0, 1, 2);
  transmission_grid->addWidget(ascii_, 1, 0, 1, 2);
  transmission_grid->addWidget(ascii_suppress_clear_, 2, 1);
  transmission_grid->addWidget(binary_, 3, 0, 1, 2);
  transmission_grid->addWidget(binary_suppress_clear_, 4, 1);
  transmission_grid->addWidget(binary_suppress_header_, 5, 1);
  transmission_grid->addWidget(binary_compress_, 6, 1);

  // Analog Output.
  const QStringList sources = {"Disabled", "Meas1", "Meas2"};
  analog_source_list_[0] = List(sources, "analog1SourceList", this);
  analog_source_list_[1] = List(sources, "analog2SourceList", this);
  auto* analog = new QGroupBox(QStringLiteral("Analog Output"), this);
  auto* analog_grid = new QGridLayout(analog);
  analog_grid->addWidget(Caption(QStringLiteral("Analysis Mode"), analog), 0, 1);
  analog_grid->addWidget(Caption(QStringLiteral("Scan #"), analog), 0, 2);
  analog_grid->addWidget(Caption(QStringLiteral("Invert (Y/N)"), analog), 0, 3);
  analog_grid->addWidget(new QLabel(QStringLiteral("Output #1"), analog), 1, 0);
  analog_grid->addWidget(analog_source_list_[0], 1, 1);
  analog_grid->addWidget(Box(kBoxAnalog1ScanCount), 1, 2);
  analog_grid->addWidget(Box(kBoxAnalog1Invert), 1, 3);
  analog_grid->addWidget(new QLabel(QStringLiteral("Output #2"), analog), 2, 0);
  analog_grid->addWidget(analog_source_list_[1], 2, 1);
  analog_grid->addWidget(Box(kBoxAnalog2ScanCount), 2, 2);
  analog_grid->addWidget(Box(kBoxAnalog2Invert), 2, 3);

  // Discrete Outputs.
  const QStringList modes = {"1", "2", "Disabled"};
  out_mode_list_[0] = List(modes, "out1ModeList", this);
  out_mode_list_[1] = List(modes, "out2ModeList", this);
  auto* discrete = new QGroupBox(QStringLiteral("Discrete Outputs"), this);
  auto* discrete_grid = new QGridLayout(discrete);
  discrete_grid->addWidget(Caption(QStringLiteral("Analysis Mode"), discrete), 0, 1, 2, 1);
  discrete_grid->addWidget(Caption(QStringLiteral("Set Point"), discrete), 0, 2, 1, 2);
  discrete_grid->addWidget(Caption(QStringLiteral("Hysteresis"), discrete), 0, 4, 1, 2);
  discrete_grid->addWidget(Caption(QStringLiteral("Scan #"), discrete), 0, 6, 2, 1);
  discrete_grid->addWidget(Caption(QStringLiteral("Invert (Y/N)"), discrete), 0, 7, 2, 1);
  discrete_grid->addWidget(Caption(QStringLiteral("Low"), discrete), 1, 2);
  discrete_grid->addWidget(Caption(QStringLiteral("High"), discrete), 1, 3);
  discrete_grid->addWidget(Caption(QStringLiteral("Low"), discrete), 1, 4);
  discrete_grid->addWidget(Caption(QStringLiteral("High"), discrete), 1, 5);
  const ValueBox output_boxes[2][6] = {
      {kBoxOut1LowThreshold, kBoxOut1HighThreshold, kBoxOut1LowHysteresis, kBoxOut1HighHysteresis,
       kBoxOut1ScanCount, kBoxOut1Invert},
      {kBoxOut2LowThreshold, kBoxOut2HighThreshold, kBoxOut2LowHysteresis, kBoxOut2HighHysteresis,
       kBoxOut2ScanCount, kBoxOut2Invert}};
  for (int o = 0; o < 2; ++o) {
    discrete_grid->addWidget(
        new QLabel(o == 0 ? QStringLiteral("Output #1") : QStringLiteral("Output #2"), discrete),
        2 + o, 0);
    discrete_grid->addWidget(out_mode_list_[o], 2 + o, 1);
    for (int b = 0; b < 6; ++b) discrete_grid->addWidget(Box(output_boxes[o][b]), 2 + o, 2 + b);
  }

  // Output #2 Other Features.
  alarm_ = OptionButton(QStringLiteral("Alarm"), "alarmButton", this);
  trigger_ = OptionButton(QStringLiteral("Trigger"), "triggerButton", this);
  auto* other = new QGroupBox(QStringLiteral("Output #2 Other Features"), this);
  auto* other_box = new QHBoxLayout(other);
  other_box->addWidget(alarm_);
  other_box->addWidget(trigger_);
  other_box->addWidget(Box(kBoxTriggerValue));
  other_box->addStretch();

  // The eight commands, two rows of four.
  struct Command {
    const char* text;
    const char* name;
    void (CPsfConfigDlg::*handler)();
  };
  const Command commands[8] = {
      {"&Execute...", "executeButton", &CPsfConfigDlg::OnExecute},
      {"File &Save PSF", "saveButton", &CPsfConfigDlg::OnSavePsf},
      {"&Upload PSF", "uploadButton", &CPsfConfigDlg::OnUpload},
      {"&Quit", "quitButton", &CPsfConfigDlg::OnQuit},
      {"&Null/Span", "nullSpanButton", &CPsfConfigDlg::OnNullSpan},
      {"File &Retreive PSF", "retrieveButton", &CPsfConfigDlg::OnRetrievePsf},
      {"Send &PSF", "sendButton", &CPsfConfigDlg::OnSendPsf},
      {"E&xit", "exitButton", &CPsfConfigDlg::OnExit},
  };
  auto* command_grid = new QGridLayout;
  for (int i = 0; i < 8; ++i) {
    auto* button = new QPushButton(QString::fromLatin1(commands[i].text), this);
    button->setObjectName(QLatin1String(commands[i].name));
    // Enter is handled by the dialog itself (see keyPressEvent).
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, commands[i].handler);
    command_grid->addWidget(button, i / 4, i % 4);
    command_buttons_[i] = button;
  }

  auto* left = new QVBoxLayout;
  left->addWidget(analysis);
  left->addWidget(control);
  left->addWidget(blanking);
  left->addWidget(scanning);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(communication);
  right->addWidget(transmission);
  right->addWidget(analog);
  right->addStretch();
  auto* upper = new QHBoxLayout;
  upper->addLayout(left);
  upper->addLayout(right);
  auto* lower = new QHBoxLayout;
  lower->addWidget(other);
  lower->addStretch();
  lower->addLayout(command_grid);
  auto* top = new QVBoxLayout(this);
  top->addLayout(upper);
  top->addWidget(discrete);
  top->addLayout(lower);
}

void CPsfConfigDlg::SetTabOrder() {
  std::vector<QWidget*> chain = {meas1_list_, meas2_list_, continuous_, gate_, host_mode_};
  for (ValueBox box : {kBoxBlank1Low, kBoxBlank1High, kBoxBlank2Low, kBoxBlank2High}) {
    chain.push_back(Box(box));
  }
  chain.insert(chain.end(), {straight_, interlaced_, edge_, skip_, skip_count_list_, baud_list_,
                             controller_list_, no_serial_, ascii_, ascii_suppress_clear_, binary_,
                             binary_suppress_clear_, binary_suppress_header_, binary_compress_});
  const ValueBox analog_boxes[2][2] = {{kBoxAnalog1ScanCount, kBoxAnalog1Invert},
                                       {kBoxAnalog2ScanCount, kBoxAnalog2Invert}};
  for (int n = 0; n < 2; ++n) {
    chain.insert(chain.end(), {analog_source_list_[n], Box(analog_boxes[n][0]),
                               Box(analog_boxes[n][1])});
  }
  // Each output's six boxes follow each other in bit order.
  const ValueBox first_output_box[2] = {kBoxOut1LowThreshold, kBoxOut2LowThreshold};
  for (int n = 0; n < 2; ++n) {
    chain.push_back(out_mode_list_[n]);
    for (int b = 0; b < 6; ++b) chain.push_back(boxes_[BoxIndex(first_output_box[n]) + b].edit);
  }
  chain.insert(chain.end(), {alarm_, trigger_, Box(kBoxTriggerValue)});
  chain.insert(chain.end(), std::begin(command_buttons_), std::end(command_buttons_));
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

void CPsfConfigDlg::ConnectRules() {
  connect(meas1_list_, &QComboBox::activated, this, [this](int) {
    if (in_rule != 0) return;
    in_rule = 1;
    const QByteArray name = meas1_list_->currentText().toLatin1();
    ApplyRule(SelectMeasurement1(working, name.constData()));
    in_rule = 0;
  });
  connect(meas2_list_, &QComboBox::activated, this, [this](int) {
    if (in_rule != 0) return;
    in_rule = 1;
    const QByteArray name = meas2_list_->currentText().toLatin1();
    ApplyRule(SelectMeasurement2(working, name.constData()));
    in_rule = 0;
  });

  const std::pair<QRadioButton*, ScanControl> controls[] = {
      {continuous_, ScanControl::kContinuous},
      {gate_, ScanControl::kGate},
      {host_mode_, ScanControl::kHostMode}};
  for (const auto& [button, choice] : controls) {
    connect(button, &QRadioButton::clicked, this,
            [this, choice = choice] { ApplyRule(SelectScanControl(working, choice)); });
  }
  const std::pair<QRadioButton*, ScanningMethod> methods[] = {
      {straight_, ScanningMethod::kStraight},
      {interlaced_, ScanningMethod::kInterlaced},
      {edge_, ScanningMethod::kEdge},
      {skip_, ScanningMethod::kSkip}};
  for (const auto& [button, method] : methods) {
    connect(button, &QRadioButton::clicked, this,
            [this, method = method] { ApplyRule(SelectScanningMethod(working, method)); });
  }
  connect(skip_count_list_, &QComboBox::activated, this,
          [this](int position) { SelectSkipCount(working, position + 1); });

  const std::pair<QRadioButton*, SerialChoice> serial[] = {
      {no_serial_, SerialChoice::kNoSerial},
      {ascii_, SerialChoice::kAscii},
      {ascii_suppress_clear_, SerialChoice::kAsciiSuppressClear},
      {binary_, SerialChoice::kBinary},
      {binary_suppress_clear_, SerialChoice::kBinarySuppressClear},
      {binary_suppress_header_, SerialChoice::kBinarySuppressHeader},
      {binary_compress_, SerialChoice::kBinaryCompress}};
  for (const auto& [button, choice] : serial) {
    connect(button, &QRadioButton::clicked, this,
            [this, choice = choice] { ApplyRule(SelectSerialTransmission(working, choice)); });
  }

  for (int n = 0; n < 2; ++n) {
    connect(analog_source_list_[n], &QComboBox::activated, this, [this, n](int position) {
      ApplyRule(SelectAnalogSource(working, n + 1, kAnalogSources[position], true));
    });
    connect(out_mode_list_[n], &QComboBox::activated, this, [this, n](int position) {
      ApplyRule(SelectOutputMode(working, n + 1, kOutputModes[position], true));
    });
  }

  connect(alarm_, &QRadioButton::clicked, this, [this] {
    if (in_rule != 0) {
      ShowSelections();
      return;
    }
    in_rule = 1;
    ApplyRule(ToggleAlarm(working));
    in_rule = 0;
  });
  connect(trigger_, &QRadioButton::clicked, this, [this] {
    if (in_rule != 0) {
      ShowSelections();
      return;
    }
    in_rule = 1;
    ApplyRule(ToggleTrigger(working));
    in_rule = 0;
  });

  for (const BoxSlot& slot : boxes_) {
    const ValueBox bit = slot.bit;
    connect(slot.edit, &QLineEdit::textEdited, this, [this, bit] { OnBoxEdited(bit); });
  }
}

// --- showing the record ------------------------------------------------------

void CPsfConfigDlg::ShowSelections() {
  meas1_list_->setCurrentIndex(meas1_list_->findText(QString::fromLatin1(working.meas1_mode)));
  meas2_list_->setCurrentIndex(meas2_list_->findText(QString::fromLatin1(working.meas2_mode)));
  const std::pair<QAbstractButton*, Selection> buttons[] = {
      {continuous_, working.continuous},
      {gate_, working.gate},
      {host_mode_, working.host_mode},
      {straight_, working.straight},
      {interlaced_, working.interlaced},
      {edge_, working.edge},
      {skip_, working.skip},
      {no_serial_, working.no_serial},
      {ascii_, working.ascii_tx},
      {ascii_suppress_clear_, working.ascii_suppress_clear},
      {binary_, working.binary_tx},
      {binary_suppress_clear_, working.binary_suppress_clear},
      {binary_suppress_header_, working.binary_suppress_header},
      {binary_compress_, working.binary_compress},
      {alarm_, working.alarm},
      {trigger_, working.trigger}};
  for (const auto& [button, selection] : buttons) button->setChecked(IsSelected(selection));
  out_mode_list_[0]->setCurrentIndex(OutputModePosition(working.out1_mode));
  out_mode_list_[1]->setCurrentIndex(OutputModePosition(working.out2_mode));
  analog_source_list_[0]->setCurrentIndex(AnalogSourcePosition(working.analog1_source));
  analog_source_list_[1]->setCurrentIndex(AnalogSourcePosition(working.analog2_source));
  if (skip_count_list_->isEnabled()) ShowSkipCount(true);
}

void CPsfConfigDlg::ShowBox(ValueBox box) {
  Box(box)->setText(FieldText(BoxField(working, box)));
}

void CPsfConfigDlg::ShowSkipCount(bool in_use) {
  skip_count_list_->setEnabled(in_use);
  // Out of use, the list shows no value; skip_count keeps its text.
  const int position = std::clamp(working.skip_count[0] - '1', 0, kMaxSkipCount - 1);
  skip_count_list_->setCurrentIndex(in_use ? position : -1);
}

void CPsfConfigDlg::ApplyStates(const FieldStates& states, unsigned groups) {
  for (int i = 0; i < 21; ++i) {
    if ((groups & kBoxInfo[i].group) != 0) {
      boxes_[i].edit->setEnabled(states.InUse(kBoxInfo[i].group));
    }
  }
  if ((groups & kGroupSkipCount) != 0) ShowSkipCount(states.skip_count);
}

void CPsfConfigDlg::Tell(const char* text, const char* caption) {
  CurrentPrompter().Message(this, text, caption, PromptButtons::Ok, PromptIcon::None);
}

void CPsfConfigDlg::ApplyRule(const RuleResult& result) {
  ShowSelections();
  for (const BoxSlot& slot : boxes_) {
    if ((result.rewritten & slot.bit) != 0) ShowBox(slot.bit);
  }
  ApplyStates(result.states, result.touched);
  if (result.beep) CurrentPrompter().Beep();
  if (result.HasMessage()) Tell(result.message, result.caption);
}

void CPsfConfigDlg::ShowOpening() {
  ShowSelections();
  baud_list_->setCurrentIndex(ValidBaudIndex(working.baud_index));
  controller_list_->setCurrentIndex(std::clamp(working.controller_id[0] - 'A', 0, 14));
  // Every box straight from its own field, the analog scan boxes included.
  for (const BoxSlot& slot : boxes_) ShowBox(slot.bit);
  // The blanking boxes stay in use here, Edge or not.
  ApplyStates(ComputeFieldStates(working),
              kGroupOutput1 | kGroupOutput2 | kGroupAnalog1 | kGroupAnalog2 | kGroupSkipCount |
                  kGroupTriggerValue);
  in_rule = 0;
}

void CPsfConfigDlg::Refresh() {
  ShowSelections();
  // A baud byte outside the table shows as 9600, so that nothing but a
  // known rate can be sent back.
  baud_list_->setCurrentIndex(ValidBaudIndex(working.baud_index));
  controller_list_->setCurrentIndex(std::clamp(working.controller_id[0] - 'A', 0, 14));
  for (ValueBox box : {kBoxBlank1Low, kBoxBlank1High, kBoxBlank2Low, kBoxBlank2High,
                       kBoxOut1LowThreshold, kBoxOut1HighThreshold, kBoxOut1LowHysteresis,
                       kBoxOut1HighHysteresis, kBoxOut1Invert, kBoxAnalog1Invert,
                       kBoxAnalog2Invert}) {
    ShowBox(box);
  }
  // One scan count for all: output 1's.
  const QString scan_count = FieldText(Ref(working.out1_scan_count));
  Box(kBoxAnalog1ScanCount)->setText(scan_count);
  Box(kBoxAnalog2ScanCount)->setText(scan_count);
  Box(kBoxOut1ScanCount)->setText(scan_count);

  const ValueBox out2_boxes[] = {kBoxOut2LowThreshold, kBoxOut2HighThreshold,
                                 kBoxOut2LowHysteresis, kBoxOut2HighHysteresis, kBoxOut2Invert};
  if (OutputModePosition(working.out2_mode) == 2) {
    // A disabled output 2 keeps what its boxes show, and the record takes it.
    for (ValueBox box : out2_boxes) StoreText(BoxField(working, box), Box(box)->text());
    Box(kBoxOut2ScanCount)->setText(scan_count);
  } else {
    for (ValueBox box : out2_boxes) ShowBox(box);
    ShowBox(kBoxOut2ScanCount);
  }

  if (!IsSelected(working.trigger)) {
    StoreText(BoxField(working, kBoxTriggerValue), Box(kBoxTriggerValue)->text());
  } else {
    ShowBox(kBoxTriggerValue);
  }
  ApplyStates(ComputeFieldStates(working), kAllGroups);
}

void CPsfConfigDlg::ReadBack() { ReadBackInto(working); }

PsfRecord CPsfConfigDlg::Shown() const {
  PsfRecord shown = working;
  ReadBackInto(shown);
  return shown;
}

void CPsfConfigDlg::ReadBackInto(PsfRecord& r) const {
  if (meas1_list_->currentIndex() >= 0) {
    SetField(r.meas1_mode, meas1_list_->currentText().toLatin1().constData());
  }
  if (meas2_list_->currentIndex() >= 0) {
    SetField(r.meas2_mode, meas2_list_->currentText().toLatin1().constData());
  }
  r.continuous = Sel(continuous_);
  r.gate = Sel(gate_);
  r.host_mode = Sel(host_mode_);
  r.straight = Sel(straight_);
  r.interlaced = Sel(interlaced_);
  r.edge = Sel(edge_);
  r.skip = Sel(skip_);
  r.no_serial = Sel(no_serial_);
  r.ascii_tx = Sel(ascii_);
  r.ascii_suppress_clear = Sel(ascii_suppress_clear_);
  r.binary_tx = Sel(binary_);
  r.binary_suppress_clear = Sel(binary_suppress_clear_);
  r.binary_suppress_header = Sel(binary_suppress_header_);
  r.binary_compress = Sel(binary_compress_);
  r.alarm = Sel(alarm_);
  r.trigger = Sel(trigger_);

  r.baud_index = std::max(0, baud_list_->currentIndex());
  const char letter[2] = {static_cast<char>('A' + std::max(0, controller_list_->currentIndex())),
                          '\0'};
  SetField(r.controller_id, letter);

  for (const BoxSlot& slot : boxes_) StoreText(BoxField(r, slot.bit), slot.edit->text());

  SetField(r.out1_mode, kOutputModes[std::max(0, out_mode_list_[0]->currentIndex())]);
  SetField(r.out2_mode, kOutputModes[std::max(0, out_mode_list_[1]->currentIndex())]);
  SetField(r.analog1_source, kAnalogSources[std::max(0, analog_source_list_[0]->currentIndex())]);
  SetField(r.analog2_source, kAnalogSources[std::max(0, analog_source_list_[1]->currentIndex())]);

  if (IsSelected(r.edge)) {
    for (ValueBox box : {kBoxBlank1Low, kBoxBlank1High, kBoxBlank2Low, kBoxBlank2High}) {
      StoreText(BoxField(r, box), QStringLiteral("0"));
    }
  }
}

// --- text boxes ----------------------------------------------------------------

void CPsfConfigDlg::OnBoxEdited(ValueBox box) {
  const BoxInfo& info = kBoxInfo[BoxIndex(box)];
  QLineEdit* edit = Box(box);
  const std::string text = edit->text().toStdString();
  switch (info.kind) {
    case BoxKind::kScanCount:
      ApplyRule(NormalizeScanCount(working, info.scan_box, text));
      return;
    case BoxKind::kInvert: {
      const TypedText typed = NormalizeInvert(text);
      if (typed.rewrite) edit->setText(QString::fromStdString(typed.text));
      break;
    }
    default: {
      const TypedText typed = FilterDigits(text);
      if (typed.rewrite) edit->setText(QString::fromStdString(typed.text));
      break;
    }
  }
  StoreText(BoxField(working, box), edit->text());
}

void CPsfConfigDlg::OnBoxLeft(ValueBox box) {
  const BoxInfo& info = kBoxInfo[BoxIndex(box)];
  const bool guarded = info.kind == BoxKind::kBlankingLow || info.kind == BoxKind::kBlankingHigh ||
                       info.kind == BoxKind::kSetPointLow || info.kind == BoxKind::kSetPointHigh;
  if (guarded && in_rule != 0) return;
  QLineEdit* edit = Box(box);
  // The rule reads the record: bring this box's field up to date first.
  StoreText(BoxField(working, box), edit->text());
  if (guarded) in_rule = 1;
  switch (info.kind) {
    case BoxKind::kBlankingLow: ApplyRule(CheckBlankingLow(working, info.which)); break;
    case BoxKind::kBlankingHigh: ApplyRule(CheckBlankingHigh(working, info.which)); break;
    case BoxKind::kSetPointLow: ApplyRule(CheckSetPointLow(working, info.which)); break;
    case BoxKind::kSetPointHigh: ApplyRule(CheckSetPointHigh(working, info.which)); break;
    case BoxKind::kHysteresisLow:
      ApplyRule(CheckHysteresis(working, info.which, Side::kLow));
      break;
    case BoxKind::kHysteresisHigh:
      ApplyRule(CheckHysteresis(working, info.which, Side::kHigh));
      break;
    case BoxKind::kTriggerValue: ApplyRule(CheckTriggerValue(working)); break;
    case BoxKind::kScanCount:
      ApplyRule(LeaveScanCount(working, info.scan_box, edit->text().toStdString()));
      break;
    case BoxKind::kInvert: {
      const TypedText typed = LeaveInvert(edit->text().toStdString());
      if (typed.rewrite) edit->setText(QString::fromStdString(typed.text));
      StoreText(BoxField(working, box), edit->text());
      break;
    }
  }
  if (guarded) in_rule = 0;
}

bool CPsfConfigDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // The window losing activation (another window, a message box, a menu)
    // is not the technician leaving the box: the focus comes back to it.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      for (const BoxSlot& slot : boxes_) {
        if (watched == slot.edit) OnBoxLeft(slot.bit);
      }
    }
  }
  return LoopDialog::eventFilter(watched, event);
}

void CPsfConfigDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter confirms, it never closes the editor: a focused command button
    // takes it, a text box is finished (left, so its rule runs).
    QWidget* focus = focusWidget();
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
      button->click();
    } else if (std::any_of(boxes_.begin(), boxes_.end(),
                           [focus](const BoxSlot& slot) { return slot.edit == focus; })) {
      focusNextChild();
    }
    event->accept();
    return;
  }
  LoopDialog::keyPressEvent(event);  // Escape: reject, the same as Quit
}

void CPsfConfigDlg::reject() {
  // While a command runs the dialog refuses to close anyway: no question then.
  if (!LoopRunning() && changes_.Changed(Shown())) {
    const PromptAnswer answer =
        CurrentPrompter().Message(this, "Discard the changes to the PSF?", kWindowCaption,
                                  PromptButtons::YesNo, PromptIcon::Question);
    if (answer != PromptAnswer::Yes) return;
  }
  LoopDialog::reject();
}

// --- commands ------------------------------------------------------------------

void CPsfConfigDlg::OnUpload() {
  if (busy_) return;
  busy_ = true;
  {
    LoopScope command(*this);
    WaitCursor wait;
    PsfImage image;
    ControllerLink* link = operation->Link();
    // Confirmed like every set kept from the controller.
    const bool received = link != nullptr && ReadConfirmedPsf(*link, image) != 0;
    wait.Release();
    if (received) {
      scratch.Decode(image.Data());
      working = scratch;
      Refresh();
      Tell("Uploaded PSF", kWindowCaption);
    } else {
      Tell("PSF Was Not Received", kWindowCaption);
    }
  }
  busy_ = false;
}

void CPsfConfigDlg::OnSendPsf() {
  if (busy_) return;
  busy_ = true;
  {
    LoopScope command(*this);
    ReadBack();
    char bytes[kPsfSize + 1];
    working.Encode(bytes);
    PsfImage image;
    // The link puts the letter of the controller it talks to into byte 0.
    image.FromBytes(bytes, 0);
    WaitCursor wait;
    ControllerLink* link = operation->Link();
    const bool accepted = link != nullptr && link->OutputPsf(image) != 0;
    wait.Release();
    // Only a set the controller took is safe there.
    if (accepted) changes_.Keep(working);
    Tell(accepted ? "PSF Accepted" : "PSF Not Accepted", kWindowCaption);
  }
  busy_ = false;
}

bool CPsfConfigDlg::SaveToFile() {
  ReadBack();
  const PromptAnswer answer =
      CurrentPrompter().Message(this, "Do You Want To Save the PSF to a File?", kAppTitle,
                                PromptButtons::YesNo, PromptIcon::None);
  if (answer != PromptAnswer::Yes) return false;
  std::string path;
  if (!CurrentPrompter().SavePsfFile(this, path)) return false;
  if (WritePsfFile(working, path.c_str()) == 0) {
    const int err = errno;
    std::string detail = "File: " + path;
    if (err != 0) detail += std::string("\nReason: ") + std::strerror(err);
    CurrentPrompter().Message(this, kPsfWriteFailedMessage, kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop, detail);
    return false;
  }
  changes_.Keep(working);
  return true;
}

void CPsfConfigDlg::OnSavePsf() {
  if (busy_) return;
  SaveToFile();
}

void CPsfConfigDlg::OnRetrievePsf() {
  if (busy_) return;
  std::string path;
  if (!CurrentPrompter().OpenPsfFile(this, path)) return;
  // A rejected file may have been half decoded: only an accepted one
  // becomes the scratch record.
  PsfRecord loaded = scratch;
  if (ReadPsfFile(loaded, path.c_str()) == 1) {
    scratch = loaded;
    working = scratch;
    Refresh();
  } else {
    Tell("This File is Not Compatible", kAppTitle);
  }
}

void CPsfConfigDlg::OnExecute() {
  if (busy_) return;
  ReadBack();
  const RuleResult modes = CheckExecuteModes(working);
  if (!modes.allowed) {
    Tell(modes.message, modes.caption);
    return;
  }
  ControllerLink* link = operation->Link();
  if (link == nullptr) return;
  busy_ = true;
  {
    LoopScope command(*this);
    WaitCursor wait;
    SavedSetGuard& guard = operation->Guard();
    const TrialRunStatus status = StartTrialRun(*link, working, guard);
    wait.Release();
    if (status != TrialRunStatus::kStarted) {
      // An unconfirmed send armed the guard: the own set goes back too.
      Tell(TrialRunMessage(status), kAppTitle);
    } else {
      const MeasurementLabel label1 = TrialMeasurementLabel(working.meas1_mode);
      const MeasurementLabel label2 = TrialMeasurementLabel(working.meas2_mode);
      CMeasurementDlg view(link, this);
      view.label1 = label1.text;
      view.label2 = label2.text;
      view.mode = TrialMeasurementMode(working.meas1_mode, working.meas2_mode);
      view.exec();
    }
    guard.Restore();
  }
  busy_ = false;
}

void CPsfConfigDlg::OnNullSpan() {
  if (busy_) return;
  busy_ = true;
  {
    LoopScope command(*this);
    RunNullSpanCalibration(operation->Link(), this);
  }
  busy_ = false;
}

void CPsfConfigDlg::OnExit() {
  if (busy_) return;
  SaveToFile();
  LastEditedPsf() = working;
  accept();
}

void CPsfConfigDlg::OnQuit() {
  if (busy_) return;
  reject();
}

}  // namespace kelvt
