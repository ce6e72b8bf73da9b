#include "tools/devices_dlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "gui/prompter.h"
#include "platform/idle.h"
#include "platform/profile.h"
#include "serial/network_serial_port.h"
#include "tools/grid_copy.h"
#include "tools/network_device_dlg.h"

namespace kelvt {
namespace {

enum Column { kPath, kDescription, kSerial, kPort, kState, kController, kColumns };

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string PortText(int port_number) { return "COM" + std::to_string(port_number + 1); }

std::string Description(const SerialDevice& d) {
  std::string text = d.maker;
  if (!d.product.empty()) text += (text.empty() ? "" : " ") + d.product;
  if (text.empty()) text = d.driver;
  if (!d.kernel_name.empty()) text += (text.empty() ? "" : " ") + ("(" + d.kernel_name + ")");
  return text;
}

}  // namespace

CDevicesDlg::CDevicesDlg(SerialDeviceSource& source, std::string settings_path, int port_number,
                         QWidget* parent)
    : LoopDialog(parent),
      source_(source),
      settings_path_(std::move(settings_path)),
      port_number_(port_number) {
  setWindowTitle(QStringLiteral("Devices"));
  table_ = new QTableWidget(0, kColumns, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Device"), QStringLiteral("Maker, product"),
                                     QStringLiteral("Serial number"), QStringLiteral("Port"),
                                     QStringLiteral("State"), QStringLiteral("Controller")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  AddCopyAction(table_);

  port_box_ = new QComboBox(this);
  for (int i = 0; i < 24; ++i) port_box_->addItem(Q(PortText(i)));
  port_box_->setCurrentIndex(port_number >= 0 && port_number < 24 ? port_number : 0);
  map_button_ = new QPushButton(QStringLiteral("&Map to Port"), this);
  find_button_ = new QPushButton(QStringLiteral("&Find Controller"), this);
  add_network_button_ = new QPushButton(QStringLiteral("Add &Network Device..."), this);
  refresh_button_ = new QPushButton(QStringLiteral("&Refresh"), this);
  close_button_ = new QPushButton(QStringLiteral("&Close"), this);
  status_ = new QLabel(this);

  auto* buttons = new QHBoxLayout;
  auto* port_label = new QLabel(QStringLiteral("&Port:"), this);
  port_label->setBuddy(port_box_);
  table_->setAccessibleName(QStringLiteral("Serial devices"));
  buttons->addWidget(port_label);
  buttons->addWidget(port_box_);
  buttons->addWidget(map_button_);
  buttons->addStretch(1);
  buttons->addWidget(add_network_button_);
  buttons->addWidget(find_button_);
  buttons->addWidget(refresh_button_);
  buttons->addWidget(close_button_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(status_);
  layout->addLayout(buttons);

  connect(map_button_, &QPushButton::clicked, this, &CDevicesDlg::OnMap);
  connect(find_button_, &QPushButton::clicked, this, &CDevicesDlg::OnFind);
  connect(refresh_button_, &QPushButton::clicked, this, &CDevicesDlg::Refresh);
  connect(add_network_button_, &QPushButton::clicked, this, &CDevicesDlg::OnAddNetwork);
  connect(close_button_, &QPushButton::clicked, this, &QDialog::reject);

  if (source_.MonitorDescriptor() >= 0) {
    notifier_ = new QSocketNotifier(source_.MonitorDescriptor(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CDevicesDlg::OnHotPlug);
  }
  Refresh();

  // The first size shows every column whole (a desktop narrower than that
  // fits the window to itself).
  // Frame, scroll bar and the grid's closing line beside the columns.
  int columns = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width() + 2;
  const QAbstractItemView* view = table_;  // where the column hint is public
  for (int c = 0; c < kColumns; ++c) {
    columns += std::max(view->sizeHintForColumn(c), table_->horizontalHeader()->sectionSizeHint(c));
  }
  const QMargins margins = layout->contentsMargins();
  resize(std::max(760, columns + margins.left() + margins.right()), 320);
}

void CDevicesDlg::OnAddNetwork() {
  CNetworkDeviceDlg dlg(this);
  if (dlg.exec() != QDialog::Accepted || dlg.Path().empty()) return;
  AddNetworkDevice(dlg.Path());
}

void CDevicesDlg::AddNetworkDevice(const std::string& path) {
  if (std::find(network_added_.begin(), network_added_.end(), path) == network_added_.end()) {
    network_added_.push_back(path);
  }
  Refresh();
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].path == path) table_->selectRow(static_cast<int>(i));
  }
}

void CDevicesDlg::OnHotPlug() {
  if (!source_.TakeChanges()) return;
  if (searching_) {
    refresh_pending_ = true;  // the search works from the list it started with
    return;
  }
  Refresh();
}

void CDevicesDlg::Refresh() {
  Profile profile(settings_path_);
  profile.Load();
  entries_ = MergeDevices(source_.List(), DeviceOverridesFrom(profile));
  for (const std::string& path : network_added_) {
    bool listed = false;
    for (const DeviceEntry& e : entries_) listed = listed || e.path == path;
    if (listed) continue;  // mapped meanwhile
    DeviceEntry e;
    e.path = path;
    e.device.path = path;
    e.present = DevicePresent(path);
    entries_.push_back(std::move(e));
  }
  Fill();
}

std::string CDevicesDlg::ControllerText(const std::string& path) const {
  for (const ProbeResult& r : results_) {
    if (r.path != path) continue;
    if (r.open_status != 0) return "skipped: " + r.reason;
    if (!r.answered) return "none";
    return std::string("letter ") + r.letter + ", " + std::to_string(r.rate) + " baud";
  }
  return {};
}

void CDevicesDlg::Fill() {
  const int selected = table_->currentRow();
  table_->setRowCount(static_cast<int>(entries_.size()));
  for (size_t i = 0; i < entries_.size(); ++i) {
    const DeviceEntry& e = entries_[i];
    const std::string cells[kColumns] = {
        e.path,
        Description(e.device),
        e.device.serial_number,
        e.port_number >= 0 ? PortText(e.port_number) : std::string(),
        e.present ? "present"
        : IsNetworkPath(e.path) ? "absent (no connection)"
                                : "absent (not plugged in)",
        ControllerText(e.path)};
    for (int c = 0; c < kColumns; ++c) {
      table_->setItem(static_cast<int>(i), c, new QTableWidgetItem(Q(cells[c])));
    }
  }
  table_->resizeColumnsToContents();
  if (selected >= 0 && selected < table_->rowCount()) table_->selectRow(selected);
  else if (table_->rowCount() > 0) table_->selectRow(0);
  status_->setText(entries_.empty() ? QStringLiteral("No serial devices found.")
                                    : QStringLiteral("%1 device(s).").arg(entries_.size()));
}

bool CDevicesDlg::Map(size_t row, int port_number) {
  if (row >= entries_.size() || port_number < 0 || port_number >= 24) return false;
  Profile profile(settings_path_);
  profile.Load();
  WriteDeviceMapping(profile, port_number, entries_[row].path);
  errno = 0;
  if (!profile.Save()) {
    const int err = errno;
    CurrentPrompter().Message(this, "Unable to save the settings.", kAppTitle, PromptButtons::Ok,
                              PromptIcon::Warning, FileFailureDetail(settings_path_, err));
    return false;
  }
  mappings_changed_ = true;
  port_number_ = port_number;
  port_box_->setCurrentIndex(port_number);
  // The list is read again: a mapping it replaced may drop out, so the row
  // no longer names the device.
  const std::string path = entries_[row].path;
  Refresh();
  status_->setText(Q(PortText(port_number) + " is " + path + " and is selected."));
  return true;
}

void CDevicesDlg::OnMap() {
  const int row = table_->currentRow();
  if (row < 0) return;
  Map(static_cast<size_t>(row), port_box_->currentIndex());
}

void CDevicesDlg::OnFind() {
  if (searching_) {
    stop_requested_ = true;  // seen before the next device
    return;
  }
  std::vector<std::string> paths;
  for (const DeviceEntry& e : entries_) {
    if (e.present) paths.push_back(e.path);
  }
  searching_ = true;
  stop_requested_ = false;
  results_.clear();
  Fill();
  find_button_->setText(QStringLiteral("&Stop"));
  for (QPushButton* b : {map_button_, refresh_button_, close_button_, add_network_button_}) {
    b->setEnabled(false);
  }
  {
    LoopScope loop(*this);
    results_ = ProbeControllers(paths, opener_, [&](size_t i) {
      if (stop_requested_ || CloseRequested()) return false;
      Fill();
      status_->setText(Q("Searching " + paths[i] + " at 9600, 19200 and 38400 baud..."));
      PumpOneMessage();
      return !stop_requested_;
    });
  }
  searching_ = false;
  find_button_->setText(QStringLiteral("&Find Controller"));
  for (QPushButton* b : {map_button_, refresh_button_, close_button_, add_network_button_}) {
    b->setEnabled(true);
  }
  if (refresh_pending_) Refresh(); else Fill();
  refresh_pending_ = false;

  size_t found = 0;
  for (const ProbeResult& r : results_) found += r.answered ? 1 : 0;
  status_->setText(stop_requested_ ? QStringLiteral("Search stopped.")
                   : found == 0   ? QStringLiteral("No controller answered.")
                                  : QStringLiteral("%1 controller(s) found.").arg(found));
  for (const ProbeResult& r : results_) {
    if (!r.answered) continue;
    size_t row = 0;
    while (row < entries_.size() && entries_[row].path != r.path) ++row;
    if (row == entries_.size()) break;
    table_->selectRow(static_cast<int>(row));
    const int port = entries_[row].port_number >= 0 ? entries_[row].port_number
                                                     : port_box_->currentIndex();
    const std::string question = "A controller (letter " + std::string(1, r.letter) + ", " +
                                 std::to_string(r.rate) + " baud) answered on\n" + r.path +
                                 ".\nMap it to " + PortText(port) + " and select that port?";
    if (CurrentPrompter().Message(this, question, kAppTitle, PromptButtons::YesNo,
                                  PromptIcon::Question) == PromptAnswer::Yes) {
      Map(row, port);
    }
    break;  // the first one found; the others are in the list
  }
}

}  // namespace kelvt
