// The measurement output view against a scripted controller: statistics
// with the zero rule, the grid written only on changes, Run / Stop / Step,
// failed scans, a dialog that cannot close while its loop runs, and the
// trend plot: ten minutes kept, saved as PNG and CSV.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "link/scan_record.h"
#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "support/scripted_prompter.h"
#include "tools/measurement_dlg.h"
#include "tools/measurement_plot.h"
#include "tools/record_control.h"
#include "tools/spreadsheet.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

std::string Reply(int mode, uint16_t v1, uint16_t v2) {
  std::string r{'\x1c', 'A'};
  const auto put = [&r](uint16_t v) {
    r.push_back(static_cast<char>(v >> 8));
    r.push_back(static_cast<char>(v & 0xFF));
  };
  if (mode == 0) put(v1);
  if (mode == 1) put(v2);
  if (mode == 2) {
    put(v1);
    put(v2);
  }
  r.push_back('\n');
  return r;
}

// Shows one decoded scan, as the loop does.
void Show(CMeasurementDlg& dialog, int mode, uint16_t v1, uint16_t v2 = 0) {
  MeasurementScan scan(mode);
  const std::string reply = Reply(mode, v1, v2);
  ASSERT_EQ(scan.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  dialog.ShowValues(scan);
}

QStringList Row(const CSpreadSheet* grid, int row) {
  QStringList cells;
  for (int c = 1; c <= 4; ++c) cells << grid->CellText(row, c);
  return cells;
}

class MeasurementTest : public ::testing::Test {
 protected:
  MeasurementTest() : ticks_(&clock_), port_(new ScriptedPort), link_(port_) {
    controller_.Attach(*port_);
    // Scans answer from the script; once it runs out, the controller is silent.
    controller_.intercept = [this](ScriptedController& c, ScriptedPort& port, const char* d,
                                   int n) {
      if (n != 3 || d[2] != 'S') return false;
      if (on_scan_) on_scan_(scans_served_);
      if (scans_served_ >= static_cast<int>(script_.size())) return true;
      const std::string reply = Reply(mode_, script_[scans_served_].first,
                                      script_[scans_served_].second);
      ++scans_served_;
      port.QueueReply(reply, 0, c.baud);
      return true;
    };
    SyncReply sync;
    EXPECT_EQ(link_.Synchronize(sync), 1);  // scans need a woken controller
  }

  std::unique_ptr<CMeasurementDlg> Open(int mode, const char* label1 = "FBB",
                                        const char* label2 = "None") {
    mode_ = mode;
    auto dialog = std::make_unique<CMeasurementDlg>(&link_, nullptr);
    dialog->label1 = label1;
    dialog->label2 = label2;
    dialog->mode = mode;
    dialog->show();
    return dialog;
  }

  void Script(std::vector<std::pair<uint16_t, uint16_t>> values) {
    script_ = std::move(values);
    scans_served_ = 0;
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedPrompter prompter_;
  ScriptedController controller_{9600, 'A'};
  ScriptedPort* port_;
  ControllerLink link_;
  int mode_ = 0;
  std::vector<std::pair<uint16_t, uint16_t>> script_;
  int scans_served_ = 0;
  std::function<void(int)> on_scan_;
};

TEST_F(MeasurementTest, OpensWithLabelsAndEmptyValues) {
  auto dialog = Open(2, "TBB", "LBM");
  EXPECT_EQ(dialog->windowTitle(), "Measurement Output");
  const CSpreadSheet* grid = dialog->Grid();
  EXPECT_EQ(grid->HeaderText(1), "Measurement");
  EXPECT_EQ(grid->HeaderText(2), "Low");
  EXPECT_EQ(grid->HeaderText(3), "High");
  EXPECT_EQ(grid->HeaderText(4), "Present");
  EXPECT_EQ(grid->GetRowCount(), 2);
  EXPECT_EQ(Row(grid, 1), QStringList({"TBB", "", "", ""}));
  EXPECT_EQ(Row(grid, 2), QStringList({"LBM", "", "", ""}));
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
  EXPECT_FALSE(dialog->StopButton()->isEnabled());
  EXPECT_TRUE(dialog->StepButton()->isEnabled());
  EXPECT_TRUE(dialog->ExitButton()->isEnabled());
  EXPECT_TRUE(dialog->ExitButton()->isDefault());
  EXPECT_EQ(dialog->RunButton()->text(), "&Run");
  EXPECT_EQ(dialog->StopButton()->text(), "&Stop");
  EXPECT_EQ(dialog->StepButton()->text(), "S&tep");
  EXPECT_EQ(dialog->ExitButton()->text(), "E&xit");
}

TEST_F(MeasurementTest, StatisticsSequencesInTheGrid) {
  struct Case {
    int mode;
    std::vector<uint16_t> values;
    QStringList row1;
    QStringList row2;
  };
  const Case cases[] = {
      {0, {5, 3, 7}, {"FBB", "3", "7", "7"}, {"None", "", "", ""}},
      {0, {0, 4, 6}, {"FBB", "4", "6", "6"}, {"None", "", "", ""}},
      {0, {4, 0, 6}, {"FBB", "0", "6", "6"}, {"None", "", "", ""}},
      {1, {5, 3, 7}, {"FBB", "", "", ""}, {"None", "3", "7", "7"}},
      {2, {9, 2, 5}, {"FBB", "2", "9", "5"}, {"None", "2", "9", "5"}},
  };
  for (const Case& c : cases) {
    auto dialog = Open(c.mode);
    for (uint16_t v : c.values) Show(*dialog, c.mode, v, v);
    EXPECT_EQ(Row(dialog->Grid(), 1), c.row1) << c.mode;
    EXPECT_EQ(Row(dialog->Grid(), 2), c.row2) << c.mode;
  }
}

TEST_F(MeasurementTest, LowStaysZeroFromTheSecondScanOn) {
  auto dialog = Open(0);
  Show(*dialog, 0, 4);
  EXPECT_EQ(dialog->Grid()->CellText(1, 2), "4");
  Show(*dialog, 0, 0);
  EXPECT_EQ(dialog->Grid()->CellText(1, 2), "0");
  Show(*dialog, 0, 6);
  EXPECT_EQ(dialog->Grid()->CellText(1, 2), "0");
  EXPECT_NE(dialog->Stats1().low_frozen, 0u);
}

TEST_F(MeasurementTest, RunOfIdenticalValuesDrawsOnce) {
  auto dialog = Open(0);
  Script({{42, 0}, {42, 0}, {42, 0}, {42, 0}, {42, 0}});
  const int redraws_before = dialog->Plot()->RedrawCount();
  dialog->OnRun();  // ends when the script runs out: the scan fails
  EXPECT_EQ(dialog->DisplayUpdates(), 1);
  // Run clears the plot (one redraw) and the one change draws it once more.
  EXPECT_EQ(dialog->Plot()->RedrawCount() - redraws_before, 2);
  // Every scan is kept for the trend, drawn or not.
  EXPECT_EQ(dialog->Plot()->History().Size(), 5);
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "42", "42", "42"}));
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Could not input scan");
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn");
  EXPECT_EQ(prompter_.messages[0].buttons, PromptButtons::Ok);
  EXPECT_EQ(prompter_.messages[0].icon, PromptIcon::None);
  EXPECT_EQ(prompter_.messages[0].parent, dialog.get());
}

TEST_F(MeasurementTest, OnlyChangedScansAreShown) {
  auto dialog = Open(2);
  Script({{1, 1}, {1, 1}, {1, 2}, {1, 2}, {3, 2}, {3, 2}, {3, 2}});
  dialog->OnRun();
  EXPECT_EQ(dialog->DisplayUpdates(), 3);
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "1", "3", "3"}));
  EXPECT_EQ(Row(dialog->Grid(), 2), QStringList({"None", "1", "2", "2"}));
}

TEST_F(MeasurementTest, StopEndsTheLoopAfterTheScanInProgress) {
  auto dialog = Open(0);
  Script(std::vector<std::pair<uint16_t, uint16_t>>(50, {7, 0}));
  bool states_ok = false;
  bool close_refused = false;
  on_scan_ = [&](int served) {
    if (served != 2) return;
    // While the loop runs: only Stop is enabled, the dialog is the active
    // one, and it will not close.
    states_ok = dialog->StopButton()->isEnabled() && !dialog->RunButton()->isEnabled() &&
                !dialog->StepButton()->isEnabled() && !dialog->ExitButton()->isEnabled() &&
                ActiveDialogWindow() == dialog.get() && dialog->Running();
    QTest::mouseClick(dialog->StopButton(), Qt::LeftButton);
    dialog->reject();
    close_refused = dialog->isVisible();
  };
  dialog->OnRun();
  EXPECT_TRUE(states_ok);
  EXPECT_TRUE(close_refused);
  EXPECT_EQ(scans_served_, 3);  // the scan in progress completes
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_FALSE(dialog->Running());
  EXPECT_EQ(ActiveDialogWindow(), nullptr);
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
  EXPECT_TRUE(dialog->StepButton()->isEnabled());
  EXPECT_TRUE(dialog->ExitButton()->isEnabled());
  EXPECT_FALSE(dialog->StopButton()->isEnabled());
  EXPECT_EQ(dialog->focusWidget(), dialog->RunButton());
  // After the loop Exit closes it.
  QTest::mouseClick(dialog->ExitButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MeasurementTest, EscapeDuringTheLoopStopsItButDoesNotClose) {
  auto dialog = Open(0);
  Script(std::vector<std::pair<uint16_t, uint16_t>>(50, {7, 0}));
  on_scan_ = [&](int served) {
    if (served == 1) QTest::keyClick(dialog.get(), Qt::Key_Escape);
  };
  dialog->OnRun();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_LT(scans_served_, 50);
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(MeasurementTest, StepContinuesTheStatisticsOfARun) {
  auto dialog = Open(0);
  // Step before any Run: fresh statistics.
  Script({{9, 0}});
  dialog->OnStep();
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "9", "9", "9"}));
  EXPECT_TRUE(dialog->Plot()->Series(0)->pointsVisible());  // a line of one point would not show

  Script({{5, 0}, {6, 0}});
  dialog->OnRun();  // resets, shows 5 and 6, then fails
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "5", "6", "6"}));
  EXPECT_FALSE(dialog->Plot()->Series(0)->pointsVisible());
  prompter_.messages.clear();

  Script({{2, 0}});
  dialog->OnStep();
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "2", "6", "2"}));
  EXPECT_TRUE(prompter_.messages.empty());

  // A failed step tells the technician and keeps the values.
  dialog->OnStep();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Could not input scan");
  EXPECT_EQ(Row(dialog->Grid(), 1), QStringList({"FBB", "2", "6", "2"}));
  EXPECT_TRUE(dialog->RunButton()->isEnabled());
}

TEST_F(MeasurementTest, ScreenshotWithTrend) {
  auto dialog = Open(2, "TBB", "LBB");
  std::vector<std::pair<uint16_t, uint16_t>> values;
  for (int i = 0; i < 60; ++i) {
    values.push_back({static_cast<uint16_t>(120 + (i * 7) % 40), static_cast<uint16_t>(60 + i)});
  }
  Script(values);
  dialog->OnRun();
  EXPECT_EQ(dialog->Plot()->Series(0)->count(), 60);
  EXPECT_EQ(dialog->Plot()->Series(1)->count(), 60);
  EXPECT_FALSE(test::SaveScreenshot(dialog.get(), QStringLiteral("measurement")).isEmpty());
}

// Pointing reads the nearest scan; Pause holds the view while scans go on;
// the time axis can show the clock.
TEST_F(MeasurementTest, PlotReadoutPauseAndClockTime) {
  auto dialog = Open(2, "TBB", "LBB");
  MeasurementPlot* plot = dialog->Plot();
  Script({{10, 3}, {12, 3}, {12, 4}});
  on_scan_ = [this](int) { clock_.Advance(5000); };  // scans far enough apart to point at
  dialog->OnRun();
  on_scan_ = nullptr;
  prompter_.messages.clear();
  ASSERT_EQ(plot->History().Size(), 3);
  const double t1 = plot->History().Time(1) / 1000.0;
  ASSERT_GT(t1, plot->History().Time(0) / 1000.0);
  EXPECT_EQ(plot->ReadoutAt(t1), QStringLiteral("%1 s\nTBB: 12\nLBB: 3").arg(t1, 0, 'f', 1));
  EXPECT_EQ(plot->ReadoutAt(1e6), QStringLiteral("%1 s\nTBB: 12\nLBB: 4")
                                      .arg(plot->History().Time(2) / 1000.0, 0, 'f', 1));
  // The pointer near the second scan shows its readout.
  const QPointF at = plot->chart()->mapToPosition(QPointF(t1 + 0.5, 8), plot->Series(0));
  const QPoint pos = plot->mapFromScene(plot->chart()->mapToScene(at));
  QTest::mouseMove(plot->viewport(), pos);
  plot->PointAt(pos);
  EXPECT_TRUE(plot->Readout()->isVisible());
  EXPECT_EQ(plot->Readout()->text(), plot->ReadoutAt(t1));
  test::SaveScreenshot(dialog.get(), QStringLiteral("measurement_readout"));
  plot->PointAt({1, 1});  // off the plot area
  EXPECT_FALSE(plot->Readout()->isVisible());

  // Paused, a step is recorded but not drawn; Resume draws it.
  plot->PauseButton()->click();
  EXPECT_TRUE(plot->Paused());
  EXPECT_EQ(plot->PauseButton()->text(), "Res&ume");
  Script({{30, 9}});
  dialog->OnStep();
  EXPECT_EQ(plot->History().Size(), 4);
  EXPECT_EQ(plot->Series(0)->count(), 3);
  EXPECT_EQ(plot->ReadoutAt(1e6).section('\n', 1), "TBB: 12\nLBB: 4");  // what the view shows
  plot->PauseButton()->click();
  EXPECT_FALSE(plot->Paused());
  EXPECT_EQ(plot->Series(0)->count(), 4);
  EXPECT_EQ(plot->ReadoutAt(1e6).section('\n', 1), "TBB: 30\nLBB: 9");

  // Clock time: the other axis, the readout's time of day, the choice kept for the next plot.
  EXPECT_FALSE(MeasurementPlot::ClockTimeDefault());
  EXPECT_FALSE(plot->ClockAxis()->isVisible());
  plot->TimeAxisChoice()->setCurrentIndex(1);
  emit plot->TimeAxisChoice()->activated(1);
  EXPECT_TRUE(plot->ClockTime());
  EXPECT_TRUE(MeasurementPlot::ClockTimeDefault());
  EXPECT_TRUE(plot->ClockAxis()->isVisible());
  EXPECT_FALSE(plot->TimeAxis()->isVisible());
  EXPECT_EQ(plot->ClockAxis()->max().toMSecsSinceEpoch() - plot->ClockAxis()->min().toMSecsSinceEpoch(),
            qRound64((plot->TimeAxis()->max() - plot->TimeAxis()->min()) * 1000));
  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\nTBB: 30\nLBB: 9$")
                  .match(plot->ReadoutAt(1e6)).hasMatch()) << plot->ReadoutAt(1e6).toStdString();
  test::SaveScreenshot(plot, QStringLiteral("measurement_clock_time"));
  MeasurementPlot next;
  EXPECT_TRUE(next.ClockTime());
  MeasurementPlot::SetClockTimeDefault(false);
}

// The rows of a recording without their time fields.
std::vector<std::string> Recorded(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(rows.empty() ? line : line.substr(line.find(',') + 1));
  }
  return rows;
}

TEST_F(MeasurementTest, RecordKeepsEveryScanWithItsStatistics) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  RecordControl::SetFolder(folder.path().toStdString());
  const std::string header =
      "time,scan,measurement 1,measurement 1 low,measurement 1 high,"
      "measurement 2,measurement 2 low,measurement 2 high";
  auto dialog = Open(2, "TBB", "LBM");
  RecordControl* rec = dialog->Recorder();

  Script({{5, 1}, {5, 1}});
  dialog->OnRun();  // Record off
  EXPECT_TRUE(QDir(folder.path()).entryList(QDir::Files).isEmpty());

  rec->CheckBox()->setChecked(true);
  Script({{5, 1}, {3, 2}, {3, 2}, {7, 2}});
  dialog->OnRun();
  const std::string run_file = rec->Path();
  EXPECT_EQ(rec->StatusLabel()->text().toStdString(), "Recorded 4 scan(s) to " + run_file);
  EXPECT_EQ(Recorded(run_file), (std::vector<std::string>{header, "1,5,5,5,1,1,1", "2,3,3,5,2,1,2",
                                                          "3,3,3,5,2,1,2", "4,7,3,7,2,1,2"}));

  // Steps go into one further file, closed at Exit.
  Script({{8, 0}, {2, 4}});
  dialog->OnStep();
  dialog->OnStep();
  EXPECT_NE(rec->Path(), run_file);
  EXPECT_EQ(rec->StatusLabel()->text().toStdString(), "Recording to " + rec->Path());
  QTest::mouseClick(dialog->ExitButton(), Qt::LeftButton);
  EXPECT_EQ(rec->StatusLabel()->text().toStdString(), "Recorded 2 scan(s) to " + rec->Path());
  EXPECT_EQ(Recorded(rec->Path()),
            (std::vector<std::string>{header, "1,8,3,8,0,0,2", "2,2,2,8,4,0,4"}));
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
  RecordControl::SetFolder({});
}

TEST_F(MeasurementTest, PlotKeepsTheLastTenMinutes) {
  MeasurementPlot plot;
  plot.SetLabels("FBB", "None");
  plot.Clear();
  // One scan a second for fifteen minutes, values changing only now and then.
  for (int second = 1; second <= 900; ++second) {
    clock_.Advance(1000);
    plot.Record(true, static_cast<uint16_t>(second / 100), false, 0);
    if (second % 100 == 0) plot.Redraw();
  }
  plot.Redraw();
  EXPECT_EQ(plot.History().Size(), 601);  // 300 s to 900 s
  EXPECT_EQ(plot.History().Time(0), 300000u);
  QLineSeries* series = plot.Series(0);
  ASSERT_EQ(series->count(), 601);
  EXPECT_DOUBLE_EQ(series->at(0).x(), 300.0);
  EXPECT_DOUBLE_EQ(series->at(600).x(), 900.0);
  EXPECT_DOUBLE_EQ(series->at(600).y(), 9.0);
  EXPECT_TRUE(series->isVisible());
  EXPECT_EQ(plot.Series(1)->count(), 0);
  EXPECT_FALSE(plot.Series(1)->isVisible());
  EXPECT_DOUBLE_EQ(plot.TimeAxis()->min(), 300.0);
  EXPECT_DOUBLE_EQ(plot.TimeAxis()->max(), 900.0);
  EXPECT_EQ(plot.TimeAxis()->titleText(), "Time (s)");
  EXPECT_TRUE(plot.ValueAxis()->titleText().contains("FBB"));
  EXPECT_FALSE(plot.ValueAxis()->titleText().contains("None"));
  EXPECT_LE(plot.ValueAxis()->min(), 3.0);
  EXPECT_GE(plot.ValueAxis()->max(), 9.0);
  plot.resize(480, 260);
  QApplication::processEvents();
  EXPECT_FALSE(test::SaveScreenshot(&plot, QStringLiteral("measurement_plot_ten_minutes")).isEmpty());
  // Run starts again at 0 s with nothing.
  plot.Clear();
  EXPECT_EQ(series->count(), 0);
  EXPECT_DOUBLE_EQ(plot.TimeAxis()->min(), 0.0);
}

TEST_F(MeasurementTest, PlotSavesAsPngAndItsPointsAsCsv) {
  auto dialog = Open(2, "TBB", "LBB");
  Script({{10, 3}, {12, 3}, {12, 4}});
  dialog->OnRun();
  prompter_.messages.clear();
  MeasurementPlot* plot = dialog->Plot();
  EXPECT_EQ(plot->SavePlotAction()->text(), "Save Plot as PNG...");
  EXPECT_EQ(plot->SaveDataAction()->text(), "Save Data as CSV...");
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QString answer;
  QStringList captions;
  MeasurementPlot::SetSaveNameChooser(
      [&](QWidget*, const QString& caption, const QString&, const QString&) {
        captions << caption;
        return answer;
      });

  answer = folder.filePath("trend.png");
  plot->SavePlotAction()->trigger();
  QFile png(answer);
  ASSERT_TRUE(png.open(QIODevice::ReadOnly));
  EXPECT_TRUE(png.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));
  png.close();
  QImage picture;
  ASSERT_TRUE(picture.load(answer, "PNG"));
  EXPECT_EQ(picture.size(), plot->size());

  answer = folder.filePath("trend.csv");
  plot->SaveDataAction()->trigger();
  QFile csv(answer);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(csv.readAll()).split("\r\n");
  ASSERT_EQ(lines.size(), 5);  // header, three scans, the empty rest after the last CRLF
  EXPECT_EQ(lines[0], "time (s),TBB,LBB");
  EXPECT_TRUE(lines[1].endsWith(",10,3")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].endsWith(",12,3")) << lines[2].toStdString();
  EXPECT_TRUE(lines[3].endsWith(",12,4")) << lines[3].toStdString();
  EXPECT_LT(lines[1].section(',', 0, 0).toDouble(), lines[3].section(',', 0, 0).toDouble());

  // Cancel writes nothing; a file that cannot be written is reported.
  answer.clear();
  plot->SaveDataAction()->trigger();
  answer = folder.filePath("no such folder/trend.csv");
  plot->SavePlotAction()->trigger();
  MeasurementPlot::SetSaveNameChooser({});
  EXPECT_EQ(captions, QStringList({"Save Plot as PNG...", "Save Data as CSV...", "Save Data as CSV...",
                                   "Save Plot as PNG..."}));
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Unable to save the file.");
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

}  // namespace
}  // namespace kelvt
