#include "tools/record_control.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <cerrno>
#include <cstring>

#include "link/scan_record.h"
#include "ops/record_folder.h"
#include "ops/scan_csv.h"
#include "platform/tick.h"

namespace kelvt {
namespace {

// Often enough that little is lost to a crash, rarely enough to cost nothing.
constexpr uint32_t kFlushIntervalMs = 1000;
// Recordings started within the same second get -2, -3, ... up to this.
constexpr int kNameAttempts = 20;

std::string& ChosenFolder() {
  static std::string folder;
  return folder;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Reason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

}  // namespace

RecordControl::RecordControl(const char* kind, QWidget* dialog)
    : QObject(dialog), kind_(kind) {
  check_box_ = new QCheckBox(QStringLiteral("Re&cord"), dialog);
  check_box_->setObjectName(QStringLiteral("recordCheck"));
  check_box_->setToolTip(QStringLiteral("Writes every scan to a CSV file in the record folder"));
  status_ = new QLabel(dialog);
  status_->setObjectName(QStringLiteral("recordStatus"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setAccessibleName(QStringLiteral("Recording status"));
  connect(check_box_, &QCheckBox::toggled, this, &RecordControl::OnToggled);
  if (auto* d = qobject_cast<QDialog*>(dialog)) {
    connect(d, &QDialog::finished, this, [this] { Close(); });
  }
}

RecordControl::~RecordControl() { recorder_.Close(); }

void RecordControl::SetFolder(const std::string& folder) { ChosenFolder() = folder; }

std::string RecordControl::Folder() {
  return ChosenFolder().empty() ? DefaultRecordFolder() : ChosenFolder();
}

void RecordControl::Begin(const char* header) {
  header_ = header != nullptr ? header : "";
  in_loop_ = true;
  if (check_box_->isChecked() && !recorder_.IsOpen()) Open();
}

void RecordControl::End(bool keep_open) {
  in_loop_ = false;
  if (!keep_open) {
    Close();
  } else if (recorder_.IsOpen() && !recorder_.Flush()) {
    Fail(QStringLiteral("Recording stopped: %1 could not be written (%2).")
             .arg(Q(path_), Reason(errno)));
  }
}

void RecordControl::OnToggled(bool on) {
  if (!on) {
    Close();
  } else if (in_loop_ && !recorder_.IsOpen()) {
    Open();
  }
}

void RecordControl::Open() {
  const std::string folder = Folder();
  if (folder.empty()) {
    Fail(QStringLiteral("Cannot record: there is no record folder (Options > Record Folder...)."));
    return;
  }
  if (!MakeRecordFolder(folder)) {
    Fail(QStringLiteral("Cannot record: the folder %1 cannot be created (%2).")
             .arg(Q(folder), Reason(errno)));
    return;
  }
  const WallTime now = NowWallTime();
  std::string path;
  int err = 0;
  for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
    path = RecordFilePath(folder, kind_, now, attempt);
    errno = 0;
    if (recorder_.Open(path, header_.c_str())) {
      err = 0;
      break;
    }
    err = errno;
    recorder_.Close();
    if (err != EEXIST) break;
  }
  if (!recorder_.IsOpen()) {
    Fail(QStringLiteral("Cannot record to %1: %2.").arg(Q(path), Reason(err)));
    return;
  }
  path_ = path;
  last_flush_ = TickCount();
  status_->setText(QStringLiteral("Recording to %1").arg(Q(path_)));
}

void RecordControl::Append(const char* row, int length) {
  if (!Recording() || length <= 0) return;
  bool written = recorder_.Append(row, static_cast<std::size_t>(length)) != 0;
  const uint32_t now = TickCount();
  if (written && now - last_flush_ >= kFlushIntervalMs) {
    written = recorder_.Flush() != 0;
    last_flush_ = now;
  }
  if (!written) {
    Fail(QStringLiteral("Recording stopped: %1 could not be written (%2).")
             .arg(Q(path_), Reason(errno)));
  }
}

void RecordControl::BeginAlignment() {
  char header[128];
  AlignmentCsvHeader(header, sizeof header);
  Begin(header);
}

void RecordControl::AppendAlignment(const BeamScan& scan) {
  if (!Recording()) return;
  const std::size_t size = AlignmentCsvRowSize(scan.ChannelCount());
  if (row_.size() < size) row_.resize(size);
  Append(row_.data(), AlignmentCsvRow(NowWallTime(), NextScan(), scan, row_.data(), row_.size()));
}

void RecordControl::BeginMeasurement(int mode) {
  char header[kMeasurementCsvRowSize];
  MeasurementCsvHeader(mode, header, sizeof header);
  Begin(header);
}

void RecordControl::AppendMeasurement(int mode, const MeasurementStatistics& m1,
                                      const MeasurementStatistics& m2) {
  if (!Recording()) return;
  char row[kMeasurementCsvRowSize];
  Append(row, MeasurementCsvRow(NowWallTime(), NextScan(), mode, m1, m2, row, sizeof row));
}

void RecordControl::Close() {
  if (!recorder_.IsOpen()) return;
  const long long rows = recorder_.Rows();
  errno = 0;
  if (!recorder_.Close()) {
    status_->setText(QStringLiteral("Recording stopped: %1 could not be written (%2).")
                         .arg(Q(path_), Reason(errno)));
    return;
  }
  status_->setText(QStringLiteral("Recorded %1 scan(s) to %2").arg(rows).arg(Q(path_)));
}

void RecordControl::Fail(const QString& text) {
  recorder_.Close();
  status_->setText(text);
  // Recording is off now; clearing the box must not replace the message.
  const QSignalBlocker quiet(check_box_);
  check_box_->setChecked(false);
}

}  // namespace kelvt
