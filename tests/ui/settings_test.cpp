// The main window's settings across two lifetimes of the window.
#include <gtest/gtest.h>

#include <QAction>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "gui/operation.h"
#include "ops/record_folder.h"
#include "platform/profile.h"
#include "serial/device_path.h"
#include "tools/alignment_dlg.h"
#include "tools/measurement_plot.h"
#include "tools/record_control.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::TempConfigHome;

int CheckedPort(const CMainFrame& frame) {
  int checked = -1;
  for (int i = 0; i < 24; ++i) {
    if (frame.SerialPortAction(i)->isChecked()) {
      EXPECT_EQ(checked, -1) << "two ports checked";
      checked = i;
    }
  }
  return checked;
}

TEST(Settings, FirstStartWithoutAFile) {
  TempConfigHome config;
  {
    CMainFrame frame;
    EXPECT_EQ(CheckedPort(frame), 1) << "COM2";
    EXPECT_TRUE(frame.Action(kCmdSaveSettings)->isChecked());
    EXPECT_FALSE(frame.Action(kCmdPartNumber)->isEnabled());
    EXPECT_EQ(frame.SettingsPath(), config.SettingsPath());
    EXPECT_FALSE(config.SettingsExist()) << "reading creates nothing";
  }
  // Saved on exit with the defaults.
  EXPECT_EQ(config.ReadSettings(), "[Communication]\nPort=1\n\n[Options]\nSave=1\n");
}

TEST(Settings, ChosenPortIsSavedAndCheckedOnTheNextStart) {
  TempConfigHome config;
  {
    CMainFrame frame;
    frame.SerialPortAction(4)->trigger();  // COM5
  }
  Profile stored(config.SettingsPath());
  ASSERT_TRUE(stored.Load());
  EXPECT_EQ(stored.GetString("Communication", "Port"), "4");
  EXPECT_EQ(stored.GetString("Options", "Save"), "1");
  CMainFrame next;
  EXPECT_EQ(CheckedPort(next), 4);
  EXPECT_EQ(next.PortNumber(), 4);
}

TEST(Settings, UncheckingSaveWritesNothing) {
  TempConfigHome config;
  const std::string before = "; mine\n[Communication]\nPort=6\n[Options]\nSave=1\n";
  config.WriteSettings(before);
  {
    CMainFrame frame;
    EXPECT_EQ(CheckedPort(frame), 6);
    frame.SerialPortAction(2)->trigger();
    frame.Action(kCmdSaveSettings)->trigger();
    EXPECT_FALSE(frame.Action(kCmdSaveSettings)->isChecked());
  }
  EXPECT_EQ(config.ReadSettings(), before);
  CMainFrame next;
  EXPECT_EQ(CheckedPort(next), 6);
  EXPECT_TRUE(next.Action(kCmdSaveSettings)->isChecked());
}

TEST(Settings, SaveOffInTheFileStaysOffAndWritesNothing) {
  TempConfigHome config;
  config.WriteSettings("[Options]\nSave=0\n");
  {
    CMainFrame frame;
    EXPECT_FALSE(frame.Action(kCmdSaveSettings)->isChecked());
    frame.SerialPortAction(9)->trigger();
  }
  EXPECT_EQ(config.ReadSettings(), "[Options]\nSave=0\n");
}

TEST(Settings, TurningSaveOnWritesOnExit) {
  TempConfigHome config;
  config.WriteSettings("[Options]\nSave=0\n");
  {
    CMainFrame frame;
    frame.Action(kCmdSaveSettings)->trigger();
    frame.SerialPortAction(9)->trigger();
  }
  EXPECT_EQ(config.ReadSettings(), "[Options]\nSave=1\n\n[Communication]\nPort=9\n");
}

TEST(Settings, SaveValuesOtherThanZeroCountAsSet) {
  struct Case {
    const char* text;
    bool checked;
  };
  const Case cases[] = {{"[Options]\nSave=1\n", true},  {"[Options]\nSave=7\n", true},
                        {"[Options]\nSave=-1\n", true}, {"[Options]\nSave=0\n", false},
                        {"[options]\nsave=0\n", false}, {"[Options]\nSave=\n", true},
                        {"[Options]\nSave=x\n", false}};
  for (const Case& c : cases) {
    TempConfigHome config;
    config.WriteSettings(c.text);
    CMainFrame frame;
    EXPECT_EQ(frame.Action(kCmdSaveSettings)->isChecked(), c.checked) << c.text;
  }
}

TEST(Settings, PartNumberNeedsAtLeastOneEntry) {
  struct Case {
    const char* text;
    bool enabled;
  };
  const Case cases[] = {
      {"[PartNumbers]\nA=123456\n", true},
      {"[partnumbers]\n; a comment\nfirst = 654321\n", true},
      {"[PartNumbers]\nA=bad\n", true},  // the dialog judges the values
      {"[PartNumbers]\n", false},
      {"[PartNumbers]\n; only a comment\n\n[Options]\nSave=1\n", false},
      {"[Options]\nSave=1\n", false},
  };
  for (const Case& c : cases) {
    TempConfigHome config;
    config.WriteSettings(c.text);
    CMainFrame frame;
    EXPECT_EQ(frame.Action(kCmdPartNumber)->isEnabled(), c.enabled) << c.text;
    EXPECT_EQ(frame.PartNumbersPresent(), c.enabled ? 1 : 0);
  }
}

TEST(Settings, OutOfRangePortIsKeptAsStored) {
  struct Case {
    const char* text;
    int port;
  };
  const Case cases[] = {{"[Communication]\nPort=24\n", 24},
                        {"[Communication]\nPort=-1\n", -1},
                        {"[Communication]\nPort=99999\n", 99999},
                        {"[Communication]\nPort=abc\n", 0},
                        {"[Communication]\nPort=23\n", 23}};
  for (const Case& c : cases) {
    TempConfigHome config;
    config.WriteSettings(c.text);
    {
      CMainFrame frame;
      EXPECT_EQ(frame.PortNumber(), c.port) << c.text;
      EXPECT_EQ(CheckedPort(frame), c.port >= 0 && c.port < 24 ? c.port : -1) << c.text;
    }
    Profile stored(config.SettingsPath());
    stored.Load();
    EXPECT_EQ(stored.GetInt("Communication", "Port", -12345), c.port) << c.text;
  }
}

TEST(Settings, WritingKeepsTheRestOfTheFile) {
  TempConfigHome config;
  config.WriteSettings(
      "; site settings\n[Devices]\nCOM3=/dev/ttyUSB0\n\n[PartNumbers]\nA=123456\nB=654321\n"
      "[Communication]\nport=2\n");
  {
    CMainFrame frame;
    frame.SerialPortAction(5)->trigger();
  }
  EXPECT_EQ(config.ReadSettings(),
            "; site settings\n[Devices]\nCOM3=/dev/ttyUSB0\n\n[PartNumbers]\nA=123456\nB=654321\n"
            "[Communication]\nport=5\n\n[Options]\nSave=1\n");
}

TEST(Settings, EntriesAddedWhileRunningSurviveTheWrite) {
  TempConfigHome config;
  config.WriteSettings("[Communication]\nPort=1\n");
  {
    CMainFrame frame;
    // The technician adds a part number with an editor while the tool runs.
    config.WriteSettings("[Communication]\nPort=1\n[PartNumbers]\nA=123456\n");
    frame.SerialPortAction(3)->trigger();
  }
  EXPECT_EQ(config.ReadSettings(),
            "[Communication]\nPort=3\n[PartNumbers]\nA=123456\n\n[Options]\nSave=1\n");
}

TEST(Settings, DevicesSectionMapsPortsToDevices) {
  TempConfigHome config;
  config.WriteSettings("[Devices]\nCOM1=/dev/pts/9\ncom3=/dev/ttyUSB0\n");
  CMainFrame frame;
  const DeviceOverrides& overrides = Operation::CurrentDeviceOverrides();
  EXPECT_EQ(DevicePathForPort(0, &overrides), "/dev/pts/9");
  EXPECT_EQ(DevicePathForPort(2, &overrides), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePathForPort(1, &overrides), "/dev/ttyS1");
}

TEST(Settings, AFailedWriteIsReported) {
  const std::string kept = "[PartNumbers]\nA=123456\n[Devices]\nCOM1=/dev/pts/9\n";
  const struct {
    const char* name;
    bool unreadable;  // else a folder where the file should be
  } cases[] = {{"a folder at the name", false}, {"a file that cannot be read", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.unreadable && geteuid() == 0) continue;  // root reads it all the same
    TempConfigHome config;
    ScriptedPrompter prompter;
    if (c.unreadable) {
      config.WriteSettings(kept);
      std::filesystem::permissions(config.SettingsPath(), std::filesystem::perms::none);
    } else {
      std::filesystem::create_directory(config.SettingsPath());
    }
    { CMainFrame frame; }
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Unable to save the settings.");
    EXPECT_EQ(prompter.messages[0].caption, "Kelvo-Tarn");
    EXPECT_EQ(prompter.messages[0].icon, PromptIcon::Warning);
    EXPECT_NE(prompter.messages[0].detail.find(config.SettingsPath()), std::string::npos);
    if (c.unreadable) {
      EXPECT_NE(prompter.messages[0].detail.find("could not be read"), std::string::npos);
      std::filesystem::permissions(config.SettingsPath(), std::filesystem::perms::owner_read);
      EXPECT_EQ(config.ReadSettings(), kept) << "never overwritten";
    }
  }
}

TEST(Settings, RecordFolderIsChosenOnceAndKept) {
  TempConfigHome config;
  config.WriteSettings("[Communication]\nPort=1\n");
  ScriptedPrompter prompter;
  prompter.ChooseFiles({std::nullopt, "/data/line 4", "/data/line 5"});
  {
    CMainFrame frame;
    EXPECT_EQ(frame.Action(kCmdRecordFolder)->text(), "&Record Folder...");
    EXPECT_EQ(RecordControl::Folder(), DefaultRecordFolder());
    frame.Action(kCmdRecordFolder)->trigger();  // cancelled: nothing changes
    EXPECT_EQ(frame.RecordFolder(), "");
    frame.Action(kCmdRecordFolder)->trigger();
    EXPECT_EQ(RecordControl::Folder(), "/data/line 4");
  }
  // The dialog starts where the recordings go now.
  EXPECT_EQ(prompter.folder_starts,
            (std::vector<std::string>{DefaultRecordFolder(), DefaultRecordFolder()}));
  EXPECT_EQ(config.ReadSettings(),
            "[Communication]\nPort=1\n\n[Options]\nSave=1\n\n[Records]\nFolder=/data/line 4\n");
  {
    CMainFrame next;
    EXPECT_EQ(next.RecordFolder(), "/data/line 4");
    EXPECT_EQ(RecordControl::Folder(), "/data/line 4");
    // With Save off the new choice is used but not written.
    next.Action(kCmdSaveSettings)->trigger();
    next.Action(kCmdRecordFolder)->trigger();
    EXPECT_EQ(prompter.folder_starts.back(), "/data/line 4");
    EXPECT_EQ(RecordControl::Folder(), "/data/line 5");
  }
  EXPECT_NE(config.ReadSettings().find("Folder=/data/line 4\n"), std::string::npos);
  RecordControl::SetFolder({});
}

// Each resizable window opens at the size and place it was left at, kept
// in the settings file with the time axis of the trend plot.
TEST(Settings, WindowsAndTheTimeAxisAreKept) {
  TempConfigHome config;
  config.WriteSettings("[Windows]\nCAlignmentDlg=700,500,30,40\nCAboutDlg=900,900\n"
                       "[Measurement]\nTimeAxis=Clock\n");
  {
    CMainFrame frame;
    EXPECT_TRUE(MeasurementPlot::ClockTimeDefault());
    frame.show();
    {
      CAlignmentDlg dialog(nullptr, 32, &frame);
      dialog.show();
      EXPECT_EQ(dialog.size(), QSize(700, 500));
      EXPECT_EQ(dialog.pos(), QPoint(30, 40));
      dialog.move(50, 60);  // where its frame goes, as the place is kept
      dialog.resize(720, 520);
      dialog.hide();
      CAboutDlg about(&frame);  // one size only: not remembered
      about.show();
      EXPECT_NE(about.size(), QSize(900, 900));
      about.hide();
    }
    frame.resize(610, 400);
    MeasurementPlot::SetClockTimeDefault(false);
  }
  EXPECT_EQ(config.ReadSettings(),
            "[Windows]\nCAlignmentDlg=720,520,50,60\nCAboutDlg=900,900\nCMainFrame=610,400,0,0\n"
            "[Measurement]\nTimeAxis=Seconds\n\n[Communication]\nPort=1\n\n[Options]\nSave=1\n");
  CMainFrame next;
  next.show();
  EXPECT_EQ(next.size(), QSize(610, 400));
  EXPECT_FALSE(MeasurementPlot::ClockTimeDefault());
}

}  // namespace
}  // namespace kelvt
