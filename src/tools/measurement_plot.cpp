#include "tools/measurement_plot.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <string>

#include "gui/prompter.h"
#include "ops/scan_csv.h"
#include "platform/safe_file.h"
#include "platform/tick.h"

namespace kelvt {
namespace {

MeasurementPlot::SaveNameChooser& Chooser() {
  static MeasurementPlot::SaveNameChooser chooser;
  return chooser;
}

bool& ClockDefault() {
  static bool clock = false;
  return clock;
}

}  // namespace

void MeasurementPlot::SetSaveNameChooser(SaveNameChooser chooser) { Chooser() = std::move(chooser); }

void MeasurementPlot::SetClockTimeDefault(bool clock) { ClockDefault() = clock; }

bool MeasurementPlot::ClockTimeDefault() { return ClockDefault(); }

MeasurementPlot::MeasurementPlot(QWidget* parent) : QChartView(parent) {
  auto* chart = new QChart;
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setBackgroundRoundness(0);
  chart->legend()->setAlignment(Qt::AlignTop);
  time_axis_ = new QValueAxis(chart);
  time_axis_->setTitleText(QStringLiteral("Time (s)"));
  time_axis_->setLabelFormat(QStringLiteral("%d"));
  value_axis_ = new QValueAxis(chart);
  value_axis_->setLabelFormat(QStringLiteral("%d"));
  // Clock time is the same span drawn with other labels: the points stay in
  // seconds on the value axis, which then hides behind this one.
  clock_axis_ = new QDateTimeAxis(chart);
  clock_axis_->setTitleText(QStringLiteral("Time"));
  clock_axis_->setFormat(QStringLiteral("HH:mm:ss"));
  clock_axis_->setTickCount(5);
  chart->addAxis(time_axis_, Qt::AlignBottom);
  chart->addAxis(clock_axis_, Qt::AlignBottom);
  chart->addAxis(value_axis_, Qt::AlignLeft);
  // An axis is drawn only with a series: an empty one, not in the legend.
  auto* clock_anchor = new QLineSeries(chart);
  chart->addSeries(clock_anchor);
  clock_anchor->attachAxis(clock_axis_);
  clock_anchor->attachAxis(value_axis_);
  for (QLegendMarker* marker : chart->legend()->markers(clock_anchor)) marker->setVisible(false);
  for (int s = 0; s < 2; ++s) {
    series_[s] = new QLineSeries(chart);
    series_[s]->setPen(QPen(kSeriesColours[s], 1.5));
    chart->addSeries(series_[s]);
    series_[s]->attachAxis(time_axis_);
    series_[s]->attachAxis(value_axis_);
    series_[s]->setVisible(false);  // until it has a point
  }
  // The view only lets go of its first chart when given another.
  QChart* first = this->chart();
  setChart(chart);
  delete first;
  setRenderHint(QPainter::Antialiasing, true);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  save_plot_ = new QAction(QStringLiteral("Save Plot as PNG..."), this);
  save_data_ = new QAction(QStringLiteral("Save Data as CSV..."), this);
  connect(save_plot_, &QAction::triggered, this, [this] { AskAndSave(true); });
  connect(save_data_, &QAction::triggered, this, [this] { AskAndSave(false); });

  marker_ = new QGraphicsLineItem(chart);
  marker_->setPen(QPen(palette().windowText().color(), 1, Qt::DashLine));
  marker_->setZValue(10);
  marker_->hide();
  readout_ = new QLabel(this);
  readout_->setObjectName(QStringLiteral("trendReadout"));
  readout_->setFrameShape(QFrame::Box);
  readout_->setAutoFillBackground(true);
  readout_->setBackgroundRole(QPalette::ToolTipBase);
  readout_->setForegroundRole(QPalette::ToolTipText);
  readout_->setMargin(3);
  readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
  readout_->hide();
  setMouseTracking(true);
  setAccessibleName(QStringLiteral("Trend plot"));
  viewport()->setAccessibleName(QStringLiteral("Trend plot"));

  controls_ = new QWidget(parent);
  pause_button_ = new QPushButton(QStringLiteral("&Pause"), controls_);
  pause_button_->setObjectName(QStringLiteral("pauseButton"));
  pause_button_->setAutoDefault(false);
  pause_button_->setToolTip(QStringLiteral("Holds the plot; the scans and the recording go on"));
  axis_choice_ = new QComboBox(controls_);
  axis_choice_->setObjectName(QStringLiteral("timeAxisChoice"));
  axis_choice_->addItems({QStringLiteral("Seconds since Run"), QStringLiteral("Clock time")});
  auto* axis_label = new QLabel(QStringLiteral("Time &axis:"), controls_);
  axis_label->setBuddy(axis_choice_);
  auto* row = new QHBoxLayout(controls_);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(pause_button_);
  row->addStretch(1);
  row->addWidget(axis_label);
  row->addWidget(axis_choice_);
  connect(pause_button_, &QPushButton::clicked, this, [this] { SetPaused(!paused_); });
  connect(axis_choice_, &QComboBox::activated, this, [this](int index) {
    SetClockTime(index == 1);
    SetClockTimeDefault(index == 1);
  });

  start_tick_ = TickCount();
  start_clock_ms_ = QDateTime::currentMSecsSinceEpoch();
  SetClockTime(ClockTimeDefault());
}

MeasurementPlot::~MeasurementPlot() {
  if (controls_ && controls_->parent() == nullptr) delete controls_.data();
}

void MeasurementPlot::SetPaused(bool paused) {
  if (paused == paused_) return;
  if (paused) frozen_ = history_;  // same size: no allocation
  paused_ = paused;
  pause_button_->setText(paused ? QStringLiteral("Res&ume") : QStringLiteral("&Pause"));
  if (!paused) Sync();
}

void MeasurementPlot::SetClockTime(bool clock) {
  clock_time_ = clock;
  axis_choice_->setCurrentIndex(clock ? 1 : 0);
  time_axis_->setVisible(!clock);
  clock_axis_->setVisible(clock);
  UpdateAxes();
  if (QGraphicsLayout* layout = chart()->layout()) layout->activate();
}

QString MeasurementPlot::TimeText(uint32_t ms) const {
  if (clock_time_) {
    return QDateTime::fromMSecsSinceEpoch(start_clock_ms_ + ms).toString(QStringLiteral("HH:mm:ss.zzz"));
  }
  return QStringLiteral("%1 s").arg(ms / 1000.0, 0, 'f', 1);
}

QString MeasurementPlot::ReadoutAt(double seconds) const {
  const MeasurementHistory& shown = Shown();
  const int i = shown.Nearest(seconds * 1000.0);
  if (i < 0) return {};
  QString text = TimeText(shown.Time(i));
  for (int s = 0; s < 2; ++s) {
    if (!series_[s]->isVisible()) continue;
    text += QStringLiteral("\n%1: %2").arg(labels_[s], shown.Has(s, i) ? QString::number(shown.Value(s, i))
                                                                     : QStringLiteral("-"));
  }
  return text;
}

void MeasurementPlot::PointAt(const QPoint& pos) {
  const QPointF at = chart()->mapFromScene(mapToScene(pos));
  const QRectF area = chart()->plotArea();
  const MeasurementHistory& shown = Shown();
  const int i = area.contains(at) ? shown.Nearest(chart()->mapToValue(at, series_[0]).x() * 1000.0) : -1;
  const QString text = i < 0 ? QString() : ReadoutAt(shown.Time(i) / 1000.0);
  if (text.isEmpty()) {
    readout_->hide();
    marker_->hide();
    return;
  }
  // A line through the scan read, the values beside the pointer.
  const qreal x = chart()->mapToPosition(QPointF(shown.Time(i) / 1000.0, 0), series_[0]).x();
  marker_->setLine(x, area.top(), x, area.bottom());
  marker_->show();
  readout_->setText(text);
  readout_->adjustSize();
  QPoint place = pos + QPoint(12, 12);
  if (place.x() + readout_->width() > width()) place.rx() = pos.x() - 12 - readout_->width();
  if (place.y() + readout_->height() > height()) place.ry() = pos.y() - 12 - readout_->height();
  readout_->move(place);
  readout_->show();
  readout_->raise();
}

void MeasurementPlot::mouseMoveEvent(QMouseEvent* event) {
  PointAt(event->position().toPoint());
  QChartView::mouseMoveEvent(event);
}

void MeasurementPlot::leaveEvent(QEvent* event) {
  readout_->hide();
  marker_->hide();
  QChartView::leaveEvent(event);
}

void MeasurementPlot::SetLabels(const QString& label1, const QString& label2) {
  labels_[0] = label1;
  labels_[1] = label2;
  series_[0]->setName(label1);
  series_[1]->setName(label2);
  UpdateAxes();
}

void MeasurementPlot::Clear() {
  history_.Clear();
  synced_ = 0;
  for (QLineSeries* s : series_) {
    s->clear();
    s->setVisible(false);
  }
  start_tick_ = TickCount();
  start_clock_ms_ = QDateTime::currentMSecsSinceEpoch();
  last_sync_ms_ = 0;
  paused_ = false;
  pause_button_->setText(QStringLiteral("&Pause"));
  readout_->hide();
  marker_->hide();
  Redraw();
}

void MeasurementPlot::Record(bool has1, uint16_t value1, bool has2, uint16_t value2) {
  const uint32_t ms = TickCount() - start_tick_;
  history_.Record(ms, has1, value1, has2, value2);
  if (!paused_ && ms - last_sync_ms_ >= kIdleSyncMs) Sync();
}

void MeasurementPlot::Redraw() {
  if (paused_) return;
  ++redraws_;
  Sync();
}

void MeasurementPlot::Sync() {
  const int n = history_.Size();
  // The scans recorded since the last sync that are still kept.
  const int fresh = static_cast<int>(std::min<int64_t>(history_.Recorded() - synced_, n));
  synced_ = history_.Recorded();
  const uint32_t newest = n > 0 ? history_.Time(n - 1) : 0;
  last_sync_ms_ = newest;
  const double oldest_kept = n > 0 ? history_.Time(0) / 1000.0 : 0.0;
  for (int s = 0; s < 2; ++s) {
    QLineSeries* series = series_[s];
    batch_.clear();
    for (int i = n - fresh; i < n; ++i) {
      if (history_.Has(s, i)) batch_.append(QPointF(history_.Time(i) / 1000.0, history_.Value(s, i)));
    }
    if (!batch_.isEmpty()) series->append(batch_);
    // Drop what fell out of the history, in one call.
    int drop = 0;
    const int count = series->count();
    while (drop < count && series->at(drop).x() < oldest_kept) ++drop;
    if (count - drop > MeasurementHistory::kCapacity) drop = count - MeasurementHistory::kCapacity;
    if (drop > 0) series->removePoints(0, drop);
    const bool shown = series->count() > 0;
    if (series->isVisible() != shown) series->setVisible(shown);
    // A line of one point draws nothing: a single Step shows as a dot.
    const bool dot = series->count() == 1;
    if (series->pointsVisible() != dot) series->setPointsVisible(dot);
  }
  UpdateAxes();
  // Lay out now rather than on a posted event, so that a picture taken
  // straight after a scan shows the axes and legend as they are.
  if (QGraphicsLayout* layout = chart()->legend()->layout()) layout->activate();
  if (QGraphicsLayout* layout = chart()->layout()) layout->activate();
}

void MeasurementPlot::UpdateAxes() {
  const MeasurementHistory& shown = Shown();
  const int n = shown.Size();
  const double newest = n > 0 ? shown.Time(n - 1) / 1000.0 : 0.0;
  const double window = MeasurementHistory::kWindowMs / 1000.0;
  // Whole ten seconds at the right; the left edge follows the window.
  const double right = std::max<double>(kMinimumSpanSeconds, std::ceil(newest / 10.0) * 10.0);
  const double left = std::max(0.0, right - window);
  time_axis_->setRange(left, right);
  clock_axis_->setRange(QDateTime::fromMSecsSinceEpoch(start_clock_ms_ + static_cast<qint64>(left * 1000)),
                        QDateTime::fromMSecsSinceEpoch(start_clock_ms_ + static_cast<qint64>(right * 1000)));
  uint16_t low = 0;
  uint16_t high = 0;
  if (shown.Range(low, high)) {
    const double pad = std::max(1.0, (high - low) / 10.0);
    value_axis_->setRange(std::max(0.0, low - pad), high + pad);
    value_axis_->applyNiceNumbers();
  } else {
    value_axis_->setRange(0, 10);
  }
  // The value axis is named after the measurements it shows, in their colours.
  QStringList names;
  for (int s = 0; s < 2; ++s) {
    if (series_[s]->isVisible() && !labels_[s].isEmpty()) {
      names << QStringLiteral("<span style=\"color:%1\">%2</span>")
                   .arg(kSeriesColours[s].name(), labels_[s].toHtmlEscaped());
    }
  }
  const QString title = names.join(QStringLiteral(" / "));
  if (value_axis_->titleText() != title) value_axis_->setTitleText(title);
}

bool MeasurementPlot::SavePlot(const QString& path) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!grab().save(&buffer, "PNG")) return false;
  const std::string name = path.toStdString();
  return ReplaceFileDurably(name.c_str(), png.constData(), static_cast<std::size_t>(png.size())) != 0;
}

bool MeasurementPlot::SaveData(const QString& path) const {
  int shown = 0;
  for (int i = 0; i < history_.Size(); ++i) shown |= (history_.Has(0, i) ? 1 : 0) | (history_.Has(1, i) ? 2 : 0);
  std::string text;
  char row[kTrendCsvRowSize + 2 * 64];
  const std::string name1 = labels_[0].toStdString();
  const std::string name2 = labels_[1].toStdString();
  if (TrendCsvHeader(shown, name1.c_str(), name2.c_str(), row, sizeof row) < 0) return false;
  text += row;
  for (int i = 0; i < history_.Size(); ++i) {
    const int has = (history_.Has(0, i) ? 1 : 0) | (history_.Has(1, i) ? 2 : 0);
    if (TrendCsvRow(history_.Time(i), shown, has, history_.Value(0, i), history_.Value(1, i), row,
                    sizeof row) < 0) {
      return false;
    }
    text += row;
  }
  const std::string file = path.toStdString();
  return ReplaceFileDurably(file.c_str(), text.data(), text.size()) != 0;
}

void MeasurementPlot::AskAndSave(bool plot) {
  const QString caption = plot ? save_plot_->text() : save_data_->text();
  const QString suggested = plot ? QStringLiteral("trend.png") : QStringLiteral("trend.csv");
  const QString filter = plot ? QStringLiteral("PNG pictures (*.png)") : QStringLiteral("CSV files (*.csv)");
  QString path;
  if (Chooser()) {
    path = Chooser()(this, caption, suggested, filter);
  } else {
    path = QFileDialog::getSaveFileName(this, caption, suggested, filter);
  }
  if (path.isEmpty()) return;
  if (!(plot ? SavePlot(path) : SaveData(path))) {
    CurrentPrompter().Message(this, "Unable to save the file.", kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop);
  }
}

void MeasurementPlot::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(save_plot_);
  menu.addAction(save_data_);
  menu.exec(event->globalPos());
}

QSize MeasurementPlot::sizeHint() const { return QSize(420, 240); }

QSize MeasurementPlot::minimumSizeHint() const { return QSize(240, 160); }

}  // namespace kelvt
