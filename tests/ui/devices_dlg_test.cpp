#include "tools/devices_dlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QHeaderView>
#include <QTest>
#include <map>

#include "app/main_frame.h"
#include "gui/operation.h"
#include "platform/tick.h"
#include "link/controller_link.h"
#include "serial/port_factory.h"
#include "support/scripted_controller.h"
#include "support/ser2net_process.h"
#include "support/sim_process.h"
#include "tools/network_device_dlg.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

// The devices a test says are there; a byte in the pipe is a hot-plug event.
class FakeDevices : public SerialDeviceSource {
 public:
  FakeDevices() {
    if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    SerialDevice usb{"/dev/serial/by-id/usb-FTDI_FT232R_A6X-if00-port0",
                     "/dev/serial/by-id/usb-FTDI_FT232R_A6X-if00-port0",
                     "ttyUSB0", "ftdi_sio", "0403", "6001", "FTDI", "FT232R USB UART", "A6X"};
    SerialDevice uart{"/dev/ttyS0", "", "ttyS0", "serial", "", "", "", "", ""};
    devices = {uart, usb};
  }
  ~FakeDevices() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  std::vector<SerialDevice> List() override { return devices; }
  int MonitorDescriptor() override { return fds_[0]; }
  bool TakeChanges() override {
    char byte;
    return ::read(fds_[0], &byte, 1) == 1;
  }
  void Plug(const SerialDevice& d) {
    devices.push_back(d);
    ASSERT_EQ(::write(fds_[1], "x", 1), 1);
  }

  std::vector<SerialDevice> devices;

 private:
  int fds_[2];
};

QString Cell(CDevicesDlg& dlg, int row, int column) {
  const QTableWidgetItem* item = dlg.Table()->item(row, column);
  return item != nullptr ? item->text() : QString();
}

class DevicesDlgTest : public ::testing::Test {
 protected:
  DevicesDlgTest() {
    config_.WriteSettings("; site\n[Devices]\nCOM5=/dev/serial/by-id/usb-gone\n\n[Communication]\nPort=1\n");
  }
  test::TempConfigHome config_;
  FakeDevices devices_;
  ScriptedPrompter prompter_;
};

TEST_F(DevicesDlgTest, ListsDevicesAndMappingsAndFollowsHotPlug) {
  CDevicesDlg dlg(devices_, config_.SettingsPath(), 1);
  ASSERT_EQ(dlg.Table()->rowCount(), 3);
  const QString expected[3][5] = {
      {"/dev/ttyS0", "serial (ttyS0)", "", "", "present"},
      {"/dev/serial/by-id/usb-FTDI_FT232R_A6X-if00-port0", "FTDI FT232R USB UART (ttyUSB0)", "A6X",
       "", "present"},
      {"/dev/serial/by-id/usb-gone", "", "", "COM5", "absent (not plugged in)"}};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 5; ++c) EXPECT_EQ(Cell(dlg, r, c), expected[r][c]) << r << "," << c;
  }
  EXPECT_EQ(dlg.PortBox()->currentText(), "COM2");
  // At its first size every column shows whole, the last one too.
  dlg.show();
  QApplication::processEvents();
  const QAbstractItemView* view = dlg.Table();
  for (int c = 0; c < dlg.Table()->columnCount(); ++c) {
    EXPECT_GE(dlg.Table()->horizontalHeader()->sectionSize(c), view->sizeHintForColumn(c)) << c;
  }
  test::SaveScreenshot(&dlg, QStringLiteral("devices_dlg"));

  devices_.Plug({"/dev/ttyACM0", "", "ttyACM0", "cdc_acm", "2341", "0043", "Maker", "Board", "7"});
  QTRY_COMPARE_WITH_TIMEOUT(dlg.Table()->rowCount(), 4, 5000);
  EXPECT_EQ(Cell(dlg, 2, 0), "/dev/ttyACM0");
  EXPECT_EQ(Cell(dlg, 2, 2), "7");
}

TEST_F(DevicesDlgTest, MappingWritesTheByIdPathLinePreservingAndSelectsThePort) {
  CDevicesDlg dlg(devices_, config_.SettingsPath(), 1);
  dlg.Table()->selectRow(1);
  dlg.PortBox()->setCurrentIndex(2);
  QTest::mouseClick(dlg.MapButton(), Qt::LeftButton);
  EXPECT_EQ(config_.ReadSettings(),
            "; site\n[Devices]\nCOM5=/dev/serial/by-id/usb-gone\n"
            "COM3=/dev/serial/by-id/usb-FTDI_FT232R_A6X-if00-port0\n\n[Communication]\nPort=1\n");
  EXPECT_TRUE(dlg.MappingsChanged());
  EXPECT_EQ(dlg.PortNumber(), 2);
  EXPECT_EQ(Cell(dlg, 1, 3), "COM3");
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(DevicesDlgTest, FindControllerShowsRateAndLetterAndOffersToMap) {
  VirtualTickSource clock;
  ScopedTickSource ticks(&clock);
  ScriptedController controller(38400, 'D');
  std::vector<std::string> opened;
  CDevicesDlg dlg(devices_, config_.SettingsPath(), 1);
  dlg.SetProbeOpener([&](const std::string& path) {
    opened.push_back(path);
    auto port = std::make_unique<ScriptedPort>(0, 9600);
    if (path == "/dev/ttyS0") port->SetErrorStatus(kPortInUse);
    if (path == devices_.devices[1].path) controller.Attach(*port);
    return std::unique_ptr<RS232>(std::move(port));
  });
  dlg.PortBox()->setCurrentIndex(3);
  prompter_.AnswerQuestions({PromptAnswer::Yes});
  QTest::mouseClick(dlg.FindButton(), Qt::LeftButton);

  // The absent device is not opened.
  EXPECT_EQ(opened, (std::vector<std::string>{"/dev/ttyS0", devices_.devices[1].path}));
  EXPECT_EQ(Cell(dlg, 0, 5), "skipped: Port in use");
  EXPECT_EQ(Cell(dlg, 1, 5), "letter D, 38400 baud");
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            "A controller (letter D, 38400 baud) answered on\n" + devices_.devices[1].path +
                ".\nMap it to COM4 and select that port?");
  EXPECT_EQ(prompter_.messages[0].buttons, PromptButtons::YesNo);
  EXPECT_EQ(dlg.PortNumber(), 3);
  EXPECT_NE(config_.ReadSettings().find("COM4=" + devices_.devices[1].path + "\n"), std::string::npos);
  EXPECT_EQ(dlg.FindButton()->text(), "&Find Controller");
}

TEST_F(DevicesDlgTest, StopEndsTheSearchBeforeTheNextDevice) {
  VirtualTickSource clock;
  ScopedTickSource ticks(&clock);
  std::vector<std::string> opened;
  CDevicesDlg dlg(devices_, config_.SettingsPath(), 1);
  dlg.SetProbeOpener([&](const std::string& path) {
    opened.push_back(path);
    EXPECT_EQ(dlg.FindButton()->text(), "&Stop");
    dlg.FindButton()->click();  // as the idle step delivers it while the line is waited on
    dlg.reject();               // refused while searching
    return std::make_unique<ScriptedPort>(0, 9600);
  });
  QTest::mouseClick(dlg.FindButton(), Qt::LeftButton);
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(dlg.StatusLine()->text(), "Search stopped.");
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(DevicesDlgTest, AddsANetworkDeviceFindsItsControllerThroughSer2netAndMapsIt) {
  std::string why;
  if (!test::Ser2netProcess::Installed(&why)) GTEST_SKIP() << "SKIP (no real server): " << why;
  test::SimProcess sim(KELVT_SIM_PATH, {"--baud", "19200", "--id", "N"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  test::Ser2netProcess server({{sim.path()}});
  ASSERT_TRUE(server.ok()) << server.error();
  devices_.devices.clear();  // only the network device is searched

  CDevicesDlg dlg(devices_, config_.SettingsPath(), 1);
  test::OnModal<CNetworkDeviceDlg> add([&](CNetworkDeviceDlg* d) {
    EXPECT_FALSE(d->OkButton()->isEnabled());  // no host yet
    d->HostEdit()->setText(QStringLiteral("::1"));
    d->KindBox()->setCurrentIndex(1);
    EXPECT_EQ(d->Path(), "tcp://[::1]:4001");
    EXPECT_TRUE(d->Note()->text().contains(QStringLiteral("fixed line settings")));
    d->HostEdit()->setText(QStringLiteral("127.0.0.1"));
    d->PortBox()->setValue(server.Port(0));
    d->KindBox()->setCurrentIndex(0);
    test::SaveScreenshot(d, QStringLiteral("network_device_dlg"));
    d->OkButton()->click();
  });
  QTest::mouseClick(dlg.AddNetworkButton(), Qt::LeftButton);
  ASSERT_EQ(add.opened, 1);
  ASSERT_EQ(dlg.Table()->rowCount(), 2);
  EXPECT_EQ(Cell(dlg, 1, 0).toStdString(), server.Url(0));
  EXPECT_EQ(Cell(dlg, 1, 4), "present");

  // COM5 holds an absent adapter: the network device takes its place, and
  // the list, read again, has it alone.
  dlg.PortBox()->setCurrentIndex(4);
  prompter_.AnswerQuestions({PromptAnswer::Yes});
  QTest::mouseClick(dlg.FindButton(), Qt::LeftButton);
  EXPECT_NE(config_.ReadSettings().find("COM5=" + server.Url(0) + "\n"), std::string::npos)
      << config_.ReadSettings();
  ASSERT_EQ(dlg.Table()->rowCount(), 1);
  EXPECT_EQ(Cell(dlg, 0, 5), "letter N, 19200 baud");
  EXPECT_EQ(Cell(dlg, 0, 3), "COM5");
  EXPECT_EQ(dlg.StatusLine()->text().toStdString(), "COM5 is " + server.Url(0) + " and is selected.");

  // COM5 now works as any port: the operations open it through the mapping.
  Profile profile(config_.SettingsPath());
  profile.Load();
  const DeviceOverrides overrides = DeviceOverridesFrom(profile);
  ControllerLink link(OpenControllerPort(DevicePathForPort(4, &overrides), 4, 9600).release());
  SyncReply reply;
  EXPECT_EQ(link.Synchronize(reply), 1);
  EXPECT_EQ(reply.controller_id, 'N');

  // A server that is gone is an absent device.
  server.Kill();
  dlg.Refresh();
  EXPECT_EQ(Cell(dlg, 0, 4), "absent (no connection)");
}

TEST_F(DevicesDlgTest, TheMainWindowSelectsThePortMappedInTheDialog) {
  CMainFrame frame;
  frame.SetDeviceSource(&devices_);
  QMenu* menu = frame.SerialPortMenu();
  ASSERT_EQ(menu->actions().size(), 26);
  EXPECT_TRUE(menu->actions()[24]->isSeparator());
  EXPECT_EQ(menu->actions()[25]->text(), "Devices...");
  test::OnModal<CDevicesDlg> step([&](CDevicesDlg* dlg) {
    dlg->Table()->selectRow(1);
    dlg->PortBox()->setCurrentIndex(6);
    dlg->MapButton()->click();
    dlg->reject();
  });
  menu->actions()[25]->trigger();
  EXPECT_EQ(step.opened, 1);
  EXPECT_EQ(frame.PortNumber(), 6);
  EXPECT_TRUE(frame.SerialPortAction(6)->isChecked());
  EXPECT_EQ(Operation::CurrentDeviceOverrides().at(6), devices_.devices[1].path);
  Operation::SetDeviceOverrides({});
}

}  // namespace
}  // namespace kelvt
