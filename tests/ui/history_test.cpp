// History against kelvt-sim over a pseudo-terminal: the list, the changed
// fields, Open in Editor, Put Back (the simulator gets its set back byte for
// byte) and the question asked when the controller's set cannot be read.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "ops/journaled_send.h"
#include "ops/status_messages.h"
#include "psf/psf_record.h"
#include "serial/posix_serial_port.h"
#include "support/sim_process.h"
#include "tools/history_dlg.h"
#include "tools/psf_config_dlg.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::SimProcess;

constexpr int kPort = 0;

std::unique_ptr<ControllerLink> LinkTo(const std::string& path) {
  return std::make_unique<ControllerLink>(
      new PosixSerialPort(path, kPort, 9600, 'E', 8, 1, 0, 0, 0, 0, 0));
}

std::string Cell(const QTableWidget* table, int row, int column) {
  const QTableWidgetItem* item = table->item(row, column);
  return item != nullptr ? item->text().toStdString() : std::string();
}

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() : journal_(folder_.path().toStdString()) {
    InstallJournal(&journal_);
    InstallQtIdleHook();
  }
  ~HistoryTest() override {
    InstallJournal(nullptr);
    Operation::SetDeviceOverrides({});
  }

  void StartSim(const std::vector<std::string>& args) {
    sim_ = std::make_unique<SimProcess>(KELVT_SIM_PATH, args);
    ASSERT_TRUE(sim_->ok()) << sim_->error();
    Operation::SetDeviceOverrides({{kPort, sim_->path()}});
  }

  PsfImage Held() {
    PsfImage image;
    EXPECT_TRUE(LinkTo(sim_->path())->InputPsf(image));
    return image;
  }

  // What Send PSF does: the held set journaled, then a set with `meas1` sent.
  void Send(const char* meas1) {
    PsfRecord record;
    record.Decode(Held().Data());
    SetField(record.meas1_mode, meas1);
    char bytes[kPsfSize + 1];
    record.Encode(bytes);
    PsfImage image;
    image.FromBytes(bytes, 0);
    auto link = LinkTo(sim_->path());
    ASSERT_EQ(SendWithCopy(*link, &journal_, {"COM1", sim_->path(), "send"}, image, nullptr)
                  .status,
              SendStatus::kAccepted);
  }

  QTemporaryDir folder_;
  SetJournal journal_;
  std::unique_ptr<SimProcess> sim_;
};

TEST_F(HistoryTest, ListsChangesFollowsNewEntriesOpensInEditorAndPutsBack) {
  StartSim({"--meas1", "LBB"});
  const PsfImage original = Held();
  Send("FBB");
  ScriptedPrompter prompter;
  CHistoryDlg dialog(journal_, nullptr);
  dialog.show();
  QTableWidget* entries = dialog.EntryTable();
  ASSERT_EQ(entries->rowCount(), 1);
  EXPECT_EQ(Cell(entries, 0, 1), "COM1 " + sim_->path());
  EXPECT_EQ(Cell(entries, 0, 4), "send");
  EXPECT_EQ(Cell(entries, 0, 5), "No");
  ASSERT_EQ(dialog.ChangeTable()->rowCount(), 1);
  EXPECT_EQ(Cell(dialog.ChangeTable(), 0, 0) + "|" + Cell(dialog.ChangeTable(), 0, 1) + "|" +
                Cell(dialog.ChangeTable(), 0, 2),
            "Measurement Mode #1|LBB|FBB");

  // A change made meanwhile (here by another process's way in: the journal)
  // shows without a reload.
  Send("TBB");
  QTRY_COMPARE_WITH_TIMEOUT(entries->rowCount(), 2, 5000);
  EXPECT_EQ(dialog.Selected()->id, journal_.Entries().back().id);  // the selection stays
  ASSERT_TRUE(dialog.Select(journal_.Entries().front().id));
  EXPECT_EQ(Cell(dialog.ChangeTable(), 0, 1) + ">" + Cell(dialog.ChangeTable(), 0, 2), "FBB>TBB");
  dialog.CopyButton()->click();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(copied.startsWith(QString::fromStdString(journal_.Entries().front().time + "\tCOM1 ")))
      << copied.toStdString();
  EXPECT_TRUE(copied.contains("meas1_mode\tMeasurement Mode #1\tFBB\tTBB\n")) << copied.toStdString();
  test::SaveScreenshot(&dialog, QStringLiteral("history"));

  // Put Back the first send: the simulator holds its set of before, byte for byte.
  ASSERT_TRUE(dialog.Select(journal_.Entries().back().id));
  prompter.AnswerQuestions({PromptAnswer::Yes});
  dialog.PutBackButton()->click();
  ASSERT_EQ(prompter.messages.size(), 2u);
  EXPECT_EQ(prompter.messages[0].text, "Put the PSF of " + journal_.Entries().back().time +
                                           " back on COM1 " + sim_->path() + "?");
  EXPECT_EQ(prompter.messages[1].text, "The PSF of " + journal_.Entries().back().time +
                                           " is back on COM1 " + sim_->path() + ".");
  EXPECT_EQ(prompter.messages[1].caption, "Kelvo-Tarn 2.0");
  EXPECT_EQ(Held(), original);
  // The put-back is an entry of its own: what the controller held (TBB) first.
  ASSERT_EQ(entries->rowCount(), 3);
  EXPECT_EQ(Cell(entries, 0, 4), "put back");
  EXPECT_EQ(Cell(entries, 2, 5), "Yes");

  // Open in Editor: the set the first send replaced becomes the edited set.
  ASSERT_TRUE(dialog.Select(journal_.Entries().back().id));
  dialog.OpenButton()->click();
  EXPECT_EQ(dialog.result(), CHistoryDlg::kOpenInEditor);
  EXPECT_STREQ(LastEditedPsf().meas1_mode, "LBB");
  LastEditedPsf() = PsfRecord();
}

TEST_F(HistoryTest, PutBackAsksBeforeReplacingASetItCannotRead) {
  StartSim({"--corrupt-psf-reads", "1"});
  JournalRecord record;
  record.tag = {"COM1", sim_->path(), "send"};
  record.controller = {'A', "KT1000", "2601"};
  PsfRecord set;
  SetField(set.meas1_mode, "TBM");
  char bytes[kPsfSize + 1];
  set.Encode(bytes);
  record.before.FromBytes(bytes, 'A');
  record.has_sent = true;
  record.sent = record.before;
  record.finished = true;
  std::string id;
  ASSERT_EQ(journal_.Add(record, id), 1) << journal_.Problem();

  ScriptedPrompter prompter;
  CHistoryDlg dialog(journal_, nullptr);
  prompter.AnswerQuestions({PromptAnswer::Yes, PromptAnswer::No});
  dialog.PutBackButton()->click();
  ASSERT_EQ(prompter.messages.size(), 2u);
  EXPECT_EQ(prompter.messages[1].text, "The controller's own PSF could not be read. Send anyway?");
  EXPECT_EQ(prompter.messages[1].caption, "Kelvo-Tarn 2.0");
  EXPECT_EQ(prompter.messages[1].buttons, PromptButtons::YesNoDefaultNo);
  // No: nothing journaled, nothing sent (the garbled read is spent: it reads now).
  EXPECT_EQ(journal_.Entries().size(), 1u);
  PsfRecord held;
  held.Decode(Held().Data());
  EXPECT_STREQ(held.meas1_mode, "FBB");
}

}  // namespace
}  // namespace kelvt
