// Builds the editor's controls and lays them out; the rules are connected
// elsewhere.
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <iterator>
#include <vector>

#include "gui/accessible_names.h"
#include "tools/psf_config_bindings.h"
#include "tools/psf_config_dlg.h"

namespace kelvt {

using namespace psf_config;

namespace {

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

void CPsfConfigDlg::BuildControls() {
  for (const OptionRow& row : kOptionRows) {
    this->*row.button = OptionButton(QString::fromLatin1(row.caption), row.name, this);
  }
  for (int i = 0; i < 21; ++i) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QLatin1String(kBoxInfo[i].name));
    edit->setMaxLength(ValueBoxMaxLength(kValueBoxes[i].kind));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("Yes00")) + 12);
    edit->installEventFilter(this);
    boxes_[i] = {edit, kBoxInfo[i].bit};
  }

  auto* upper = new QHBoxLayout;
  upper->addLayout(BuildLeftColumn());
  upper->addLayout(BuildRightColumn());
  auto* top = new QVBoxLayout(this);
  top->addLayout(upper);
  top->addWidget(BuildDiscreteOutputs());
  top->addLayout(BuildLowerRow());
  // The boxes and lists say their row's and column's captions to a screen reader.
  for (QGridLayout* grid : findChildren<QGridLayout*>()) NameGridControls(grid);
}

QVBoxLayout* CPsfConfigDlg::BuildLeftColumn() {
  QStringList meas1;
  for (int i = 0; i < kMeasurement1Count; ++i) meas1 << QLatin1String(kMeasurement1Names[i]);
  QStringList meas2 = meas1.mid(0, kMeasurement2Count);

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
  skip_count_list_ = List({"1", "2", "3", "4", "5", "6", "7"}, "skipCountList", this);
  auto* scanning = new QGroupBox(QStringLiteral("Scanning Method"), this);
  auto* scanning_grid = new QGridLayout(scanning);
  scanning_grid->addWidget(straight_, 0, 0);
  scanning_grid->addWidget(interlaced_, 1, 0);
  scanning_grid->addWidget(edge_, 2, 0);
  scanning_grid->addWidget(skip_, 3, 0);
  scanning_grid->addWidget(skip_count_list_, 3, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(analysis);
  left->addWidget(control);
  left->addWidget(blanking);
  left->addWidget(scanning);
  left->addStretch();
  return left;
}

QVBoxLayout* CPsfConfigDlg::BuildRightColumn() {
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

  auto* right = new QVBoxLayout;
  right->addWidget(communication);
  right->addWidget(transmission);
  right->addWidget(analog);
  right->addStretch();
  return right;
}

QGroupBox* CPsfConfigDlg::BuildDiscreteOutputs() {
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
  return discrete;
}

QHBoxLayout* CPsfConfigDlg::BuildLowerRow() {
  // Output #2 Other Features.
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
    command_buttons_[i] = button;
    if (commands[i].handler != &CPsfConfigDlg::OnSavePsf) {
      command_grid->addWidget(button, i / 4, i % 4);
      continue;
    }
    // Report... sits beside File Save PSF: both put the set on paper or disk.
    report_button_ = new QPushButton(QStringLiteral("Rep&ort..."), this);
    report_button_->setObjectName(QStringLiteral("reportButton"));
    report_button_->setAutoDefault(false);
    connect(report_button_, &QPushButton::clicked, this, &CPsfConfigDlg::OnReport);
    auto* save_row = new QHBoxLayout;
    save_row->addWidget(button);
    save_row->addWidget(report_button_);
    command_grid->addLayout(save_row, i / 4, i % 4);
  }

  auto* lower = new QHBoxLayout;
  lower->addWidget(other);
  lower->addStretch();
  lower->addLayout(command_grid);
  return lower;
}

void CPsfConfigDlg::DisableControllerCommands() {
  const QString why = QStringLiteral(
      "Not available offline: the serial port could not be opened. Exit, connect the "
      "controller and press F4 again.");
  for (QPushButton* button : command_buttons_) {
    const QString name = button->objectName();
    if (name == QLatin1String("uploadButton") || name == QLatin1String("sendButton") ||
        name == QLatin1String("executeButton") || name == QLatin1String("nullSpanButton")) {
      button->setEnabled(false);
      button->setToolTip(why);
    }
  }
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
  for (QPushButton* button : command_buttons_) {
    chain.push_back(button);
    if (button->objectName() == QLatin1String("saveButton")) {
      chain.push_back(report_button_);
    }
  }
  for (size_t i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace kelvt
