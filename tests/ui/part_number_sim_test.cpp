// Set Part Number against kelvt-sim over a pseudo-terminal: the bytes the
// simulator stores at 66-75.

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <string>

#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "psf/date_code.h"
#include "psf/psf_image.h"
#include "serial/posix_serial_port.h"
#include "support/sim_process.h"
#include "tools/part_number_dlg.h"
#include "tools/part_number_operation.h"
#include "ui/support/scripted_prompter.h"

namespace kelvt {
namespace {

using test::SimProcess;

constexpr int kPort = 4;

bool ReadHeldPsf(const std::string& path, PsfImage& image) {
  ControllerLink link(new PosixSerialPort(path, kPort, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
  if (link.Port()->ErrorStatus() != 0) return false;
  return link.InputPsf(image) != 0;
}

TEST(PartNumberSim, StoresPartNumberAndDateCodeAtTheirBytes) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  const std::string old = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
  std::ofstream(config.path().toStdString() + "/kelvt.INI")
      << "[PartNumbers]\nP1=123456\nP2=12345\nP3=ABCDEF\n";

  SimProcess sim(KELVT_SIM_PATH, {"--part-number", "OLD001", "--date-code", "1901"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  PsfImage original;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), original));
  ASSERT_EQ(std::string(original.Data() + 66, 10), "OLD0011901");

  InstallQtIdleHook();
  ScriptedPrompter prompter;
  Operation::SetDeviceOverrides({{kPort, sim.path()}});
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* d = qobject_cast<CPartNumberDlg*>(QApplication::activeModalWidget())) {
      timer.stop();
      d->PartNumberList()->setCurrentRow(1);
      d->OkButton()->click();
    }
  });
  timer.start(5);
  {
    PartNumberOperation operation(nullptr, kPort, 9600);  // closes the port when it ends
    EXPECT_EQ(operation.Run(), 1);
  }
  Operation::SetDeviceOverrides({});
  if (old.empty()) unsetenv("XDG_CONFIG_HOME"); else setenv("XDG_CONFIG_HOME", old.c_str(), 1);

  ASSERT_EQ(prompter.messages.size(), 2u);
  EXPECT_EQ(prompter.messages[0].text,
            "Warning: Ini value: '12345' for entry 'P2' must be six characters");
  EXPECT_EQ(prompter.messages[1].text, "Part Number and Date Code Set.");

  char today[kDateCodeSize];
  TodayDateCode(today);
  PsfImage after;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), after));
  EXPECT_EQ(std::string(after.Data() + 66, 10), std::string("ABCDEF") + today);
  EXPECT_EQ(std::string(after.Data() + 1, 65), std::string(original.Data() + 1, 65));
}

}  // namespace
}  // namespace kelvt
