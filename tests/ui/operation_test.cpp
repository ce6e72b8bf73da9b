// The operation sequence: opening the port, Execute, and putting the
// controller's PSF back, with the messages each failure gives.
#include "gui/operation.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

const char* const kRestoreQuestion =
    "Unable to restore original psf.\nDo you want to save the original Psf to a file?";

// An operation whose work the test supplies.
class TestOperation : public Operation {
 public:
  using Work = std::function<int(TestOperation&)>;
  TestOperation(int port_number, Work work)
      : Operation(nullptr, port_number, 9600), work_(std::move(work)) {}
  int Execute() override {
    ++executed;
    return work_ ? work_(*this) : 1;
  }
  PsfImage& Saved() { return saved_psf; }
  void SetRestore() { restore_psf = 1; }
  int executed = 0;

 private:
  Work work_;
};

// Every operation opens a scripted port on which the controller answers,
// on a virtual clock.
class OperationTest : public ::testing::Test {
 protected:
  OperationTest() : ticks_(&clock_) {
    Operation::SetPortFactory([this](int port, long baud) {
      auto scripted = std::make_unique<ScriptedPort>(port, baud);
      line.Attach(*scripted);
      port_ = scripted.get();
      return std::unique_ptr<RS232>(std::move(scripted));
    });
  }
  ~OperationTest() override { Operation::SetPortFactory({}); }

  // Work that reads the controller's PSF, marks it for restoring, changes
  // the controller's set, and then fails.
  static int ChangeThenFail(TestOperation& op) {
    if (!op.Link()->InputPsf(op.Saved())) return 0;
    op.SetRestore();
    PsfImage other = op.Saved();
    other[10] = other[10] == '5' ? '6' : '5';
    op.Link()->OutputPsf(other);
    return 0;
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedController controller;
  test::FaultSwitch line{controller};
  ScriptedPort* port_ = nullptr;
  ScriptedPrompter prompter;
};

TEST_F(OperationTest, ExecuteFailingAfterSettingTheRestoreFlagStillRestores) {
  const std::string original(controller.psf, sizeof controller.psf);
  TestOperation op(0, ChangeThenFail);
  EXPECT_EQ(op.Run(), 0);
  EXPECT_EQ(op.executed, 1);
  EXPECT_EQ(controller.psf_writes, 2) << "the change and the restore";
  EXPECT_EQ(std::string(controller.psf, sizeof controller.psf).substr(1, 75), original.substr(1, 75));
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(OperationTest, ResultOfExecuteIsReturnedAndNothingRestoredWithoutTheFlag) {
  for (int result : {0, 1, 7}) {
    TestOperation op(2, [result](TestOperation&) { return result; });
    EXPECT_EQ(op.Run(), result);
    EXPECT_NE(op.Link(), nullptr);
  }
  EXPECT_EQ(controller.psf_writes, 0);
  EXPECT_EQ(controller.psf_rejected, 0);
}

TEST_F(OperationTest, RestoreFailureAsksAndNoEndsQuietly) {
  TestOperation op(0, [this](TestOperation& o) {
    const int read = o.Link()->InputPsf(o.Saved());
    o.SetRestore();
    line.Fault(test::NoAck());  // the controller stops taking sets
    return read;
  });
  prompter.AnswerQuestions({PromptAnswer::No});
  EXPECT_EQ(op.Run(), 1);
  EXPECT_EQ(line.Sim()->Heard('C'), 3) << "three tries before giving up";
  ASSERT_EQ(prompter.messages.size(), 1u);
  const RecordedMessage& m = prompter.messages[0];
  EXPECT_EQ(m.text, kRestoreQuestion);
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_EQ(m.buttons, PromptButtons::YesNo);
  EXPECT_EQ(m.icon, PromptIcon::Stop);
  EXPECT_TRUE(prompter.file_dialogs.empty());
}

TEST_F(OperationTest, RestoreFailureYesThenCancelWritesNothing) {
  test::TempConfigHome scratch;  // an empty folder to watch
  TestOperation op(0, [this](TestOperation& o) {
    o.Link()->InputPsf(o.Saved());
    o.SetRestore();
    line.Fault(test::Silent());  // the controller is gone
    return 1;
  });
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({std::nullopt});
  op.Run();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, kRestoreQuestion);
  EXPECT_EQ(prompter.file_dialogs, std::vector<FileDialogKind>{FileDialogKind::Save});
  EXPECT_TRUE(std::filesystem::is_empty(scratch.Folder()));
}

TEST_F(OperationTest, RestoreFailureYesSavesTheOriginalToTheChosenFile) {
  test::TempConfigHome scratch;
  const std::string path = scratch.Folder() + "/ORIGINAL";  // no extension: used as typed
  PsfRecord expected;
  expected.Decode(controller.psf);
  TestOperation op(0, [this](TestOperation& o) {
    o.Link()->InputPsf(o.Saved());
    o.SetRestore();
    line.Fault(test::Silent());
    return 1;
  });
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({path});
  op.Run();
  ASSERT_EQ(prompter.messages.size(), 1u) << "no message after a good save";
  PsfRecord written;
  ASSERT_EQ(ReadPsfFile(written, path.c_str()), 1);
  char a[82], b[82];
  expected.Encode(a);
  written.Encode(b);
  EXPECT_EQ(std::memcmp(a, b, 76), 0);
}

TEST_F(OperationTest, AFailedSaveIsReportedWithPathAndReason) {
  const std::string path = "/nonexistent-folder/ORIGINAL.PSF";
  TestOperation op(0, [this](TestOperation& o) {
    o.Link()->InputPsf(o.Saved());
    o.SetRestore();
    line.Fault(test::Silent());
    return 1;
  });
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({path});
  op.Run();
  ASSERT_EQ(prompter.messages.size(), 2u);
  const RecordedMessage& m = prompter.messages[1];
  EXPECT_EQ(m.text, kPsfWriteFailedMessage);
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_NE(m.detail.find(path), std::string::npos);
  EXPECT_NE(m.detail.find("No such file or directory"), std::string::npos) << m.detail;
}

TEST(OperationOpen, APortWithoutADeviceIsReportedAndExecuteNeverRuns) {
  ScriptedPrompter prompter;
  test::TempConfigHome scratch;
  // COM7 mapped to a device that does not exist.
  Operation::SetDeviceOverrides({{6, scratch.Folder() + "/ttyGONE"}});
  TestOperation op(6, nullptr);
  EXPECT_EQ(op.Run(), 0);
  Operation::SetDeviceOverrides({});
  EXPECT_EQ(op.executed, 0);
  EXPECT_EQ(op.Link(), nullptr);
  ASSERT_EQ(prompter.messages.size(), 1u);
  const RecordedMessage& m = prompter.messages[0];
  EXPECT_EQ(m.text, "Unable to open 7\nPort not found\n");
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_EQ(m.buttons, PromptButtons::Ok);
  EXPECT_EQ(m.icon, PromptIcon::Warning);
  EXPECT_NE(m.detail.find(scratch.Folder() + "/ttyGONE"), std::string::npos) << m.detail;
  EXPECT_NE(m.detail.find("No such file or directory"), std::string::npos) << m.detail;
  EXPECT_EQ(m.detail.rfind("Port: COM7\n", 0), 0u) << m.detail;
  EXPECT_NE(m.detail.find("Reason: not plugged in"), std::string::npos) << m.detail;
  EXPECT_EQ(m.detail.find("dialout"), std::string::npos) << "not a permission problem";
}

TEST(OperationOpen, ErrorNamesOfFailedOpens) {
  struct Case {
    int status;
    int port;
    const char* text;
  };
  const Case cases[] = {
      {kPortNotFound, 0, "Unable to open 1\nPort not found\n"},
      {kPortInUse, 2, "Unable to open 3\nPort in use\n"},
      {kGeneralError, 23, "Unable to open 24\nGeneral Error\n"},
      {kPortNotFound, 99, "Unable to open 100\nPort not found\n"},
  };
  for (const Case& c : cases) {
    ScriptedPrompter prompter;
    Operation::SetPortFactory([&c](int port, long baud) {
      auto failed = std::make_unique<ScriptedPort>(port, baud);
      failed->SetErrorStatus(c.status);
      return std::unique_ptr<RS232>(std::move(failed));
    });
    TestOperation op(c.port, nullptr);
    EXPECT_EQ(op.Run(), 0);
    EXPECT_EQ(op.executed, 0);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, c.text);
  }
  Operation::SetPortFactory({});
}

TEST(OperationOpen, APortInUseByAnotherProgramSaysSo) {
  ScriptedPrompter prompter;
  VirtualTickSource clock;
  ScopedTickSource ticks(&clock);
  // A pseudo-terminal that this test holds open exclusively.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string device = ptsname(master);
  Operation::SetDeviceOverrides({{0, device}});
  {
    TestOperation first(0, [&prompter, &device](TestOperation&) {
      TestOperation second(0, nullptr);
      EXPECT_EQ(second.Run(), 0);
      EXPECT_EQ(second.executed, 0);
      EXPECT_EQ(prompter.messages.size(), 1u);
      if (!prompter.messages.empty()) {
        EXPECT_EQ(prompter.messages[0].text, "Unable to open 1\nPort in use\n");
        EXPECT_NE(prompter.messages[0].detail.find(device), std::string::npos);
      }
      return 1;
    });
    EXPECT_EQ(first.Run(), 1);
  }
  Operation::SetDeviceOverrides({});
  close(master);
}

TEST(OperationOpen, DestroyingTheOperationClosesThePort) {
  ScriptedPrompter prompter;
  bool destroyed = false;
  struct WatchedPort : ScriptedPort {
    explicit WatchedPort(bool* flag) : flag_(flag) {}
    ~WatchedPort() override { *flag_ = true; }
    bool* flag_;
  };
  Operation::SetPortFactory([&destroyed](int, long) {
    return std::unique_ptr<RS232>(std::make_unique<WatchedPort>(&destroyed));
  });
  {
    TestOperation op(0, [&destroyed](TestOperation&) {
      EXPECT_FALSE(destroyed);
      return 1;
    });
    op.Run();
    EXPECT_FALSE(destroyed);
  }
  EXPECT_TRUE(destroyed);
  Operation::SetPortFactory({});
}

}  // namespace
}  // namespace kelvt
