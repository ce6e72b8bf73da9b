// Alignment against kelvt-sim over a pseudo-terminal: the real port, the
// protocol's real waits, and the parameter set as the simulator holds it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "psf/psf_image.h"
#include "serial/posix_serial_port.h"
#include "support/sim_process.h"
#include "tools/alignment_dlg.h"
#include "tools/alignment_operation.h"
#include "tools/spreadsheet.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::GridRows;
using test::SimProcess;

constexpr int kPort = 7;  // COM8, mapped to the simulator's terminal

// The simulator's parameter set, read over a link of our own.
bool ReadHeldPsf(const std::string& path, PsfImage& image) {
  ControllerLink link(new PosixSerialPort(path, kPort, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
  if (link.Port()->ErrorStatus() != 0) return false;
  return link.InputPsf(image) != 0;
}

class AlignmentSimTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallQtIdleHook(); }
  void TearDown() override { Operation::SetDeviceOverrides({}); }

  // Runs the alignment command on the simulator; `in_dialog` works the dialog.
  void RunAlignment(SimProcess& sim, const std::function<void(CAlignmentDlg*, AlignmentOperation&)>& in_dialog) {
    Operation::SetDeviceOverrides({{kPort, sim.path()}});
    AlignmentOperation operation(nullptr, kPort, 9600);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (auto* d = qobject_cast<CAlignmentDlg*>(QApplication::activeModalWidget())) {
        timer.stop();
        ++dialogs_;
        in_dialog(d, operation);
        d->ExitButton()->click();
      }
    });
    timer.start(5);
    result_ = operation.Run();
  }

  ScriptedPrompter prompter_;
  int dialogs_ = 0;
  int result_ = -1;
};

TEST_F(AlignmentSimTest, AlignsWithTheFullBeamMapAndRestoresTheControllersSet) {
  SimProcess sim(KELVT_SIM_PATH, {"--boards", "EG,RG", "--beams", "4-6,10", "--meas1", "FBB",
                                  "--meas2", "LBM"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  PsfImage original;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), original));

  PsfImage during;
  bool read_during = false;
  std::vector<std::string> broken_rows, all_rows;
  std::string newest_map;
  RunAlignment(sim, [&](CAlignmentDlg* d, AlignmentOperation& operation) {
    EXPECT_EQ(d->ChannelCount(), 16);
    read_during = operation.Link()->InputPsf(during) != 0;
    QTimer::singleShot(0, d->StopButton(), &QPushButton::click);
    d->RunButton()->click();
    broken_rows = GridRows(d->RangeGrid());
    EXPECT_EQ(d->History().Scans(), 1);
    for (int beam = 0; beam < 16; ++beam) newest_map += d->History().State(0, beam) ? '1' : '.';
    EXPECT_EQ(d->FlickerLabel()->text().toStdString(), "Flickering: none");
    d->BothButton()->click();
    all_rows = GridRows(d->RangeGrid());
  });
  EXPECT_EQ(result_, 1);
  ASSERT_EQ(dialogs_, 1);
  EXPECT_TRUE(prompter_.messages.empty());

  // The alignment set as the simulator stored it.
  ASSERT_TRUE(read_during);
  EXPECT_EQ(during[3], 'I');
  EXPECT_EQ(during[4], 'K');
  EXPECT_EQ(during[6], 'c');
  EXPECT_EQ(during[64], 'c');
  EXPECT_EQ(during[2], 'a');
  for (int i = 7; i < 64; ++i) EXPECT_EQ(during[i], original[i]) << "byte " << i;
  EXPECT_EQ(std::string(during.Data() + 65, 11), std::string(original.Data() + 65, 11));

  EXPECT_EQ(broken_rows, (std::vector<std::string>{"4 - 6|Broken", "10|Broken"}));
  EXPECT_EQ(newest_map, "...111...1......");
  EXPECT_EQ(all_rows, (std::vector<std::string>{"1 - 3|Made", "4 - 6|Broken", "7 - 9|Made",
                                                "10|Broken", "11 - 16|Made"}));

  // After Exit the controller holds its own set again.
  PsfImage after;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), after));
  EXPECT_EQ(after, original);
}

TEST_F(AlignmentSimTest, ControllerWithABoardErrorNeverReceivesTheAlignmentSet) {
  SimProcess sim(KELVT_SIM_PATH, {"--boards", "EG,RG:3", "--meas1", "LBB"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  PsfImage original;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), original));
  ASSERT_EQ(original[3], 'C');
  RunAlignment(sim, [](CAlignmentDlg*, AlignmentOperation&) {});
  EXPECT_EQ(result_, 0);
  EXPECT_EQ(dialogs_, 0);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            "Alignment cannot be executed because the device is not in an operational state.");
  // Nothing was restored, so an alignment set would still be there.
  PsfImage after;
  ASSERT_TRUE(ReadHeldPsf(sim.path(), after));
  EXPECT_EQ(after, original);
}

}  // namespace
}  // namespace kelvt
