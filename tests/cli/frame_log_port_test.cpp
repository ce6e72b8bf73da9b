#include "cli/frame_log_port.h"

#include <gtest/gtest.h>

#include <sstream>

#include "link/controller_link.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt::cli {
namespace {

struct LineCase {
  uint32_t ms;
  const char* arrow;
  std::string bytes;
  std::string line;
};

class FrameLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(FrameLineTest, HexThenPrintableText) {
  const LineCase& c = GetParam();
  EXPECT_EQ(FormatFrameLine(c.ms, c.arrow, c.bytes.data(), static_cast<int>(c.bytes.size())),
            c.line);
}

const std::string kPad13 = std::string(13 * 3, ' ');

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameLineTest,
    ::testing::Values(
        LineCase{412, "->", "\xF8", "    412 ms  -> F8" + std::string(15 * 3, ' ') + "  ."},
        LineCase{0, "<-", "\x1C" "A0\n", "      0 ms  <- 1C 41 30 0A" + std::string(12 * 3, ' ') + "  .A0."},
        LineCase{1234567, "->", std::string("\x1B" "AD\r", 4),
                 "1234567 ms  -> 1B 41 44 0D" + std::string(12 * 3, ' ') + "  .AD."}));

class FrameLogPortTest : public ::testing::Test {
 protected:
  VirtualTickSource ticks{5000};
  ScopedTickSource scoped{&ticks};
  test::ScriptedController controller{19200, 'B'};
  std::ostringstream log;
};

TEST_F(FrameLogPortTest, LogsTheBaudSearchAndTheReplyAsOneFrame) {
  auto inner = std::make_unique<test::ScriptedPort>();
  controller.Attach(*inner);
  ControllerLink link(new FrameLogPort(std::move(inner), log));
  SyncReply reply;
  ASSERT_EQ(link.Synchronize(reply), 1);
  EXPECT_EQ(reply.controller_id, 'B');
  EXPECT_EQ(link.BaudIndex(), 1);
  link.SelectBaudIndex(0);  // a rate change flushes the gathered reply

  const std::string text = log.str();
  EXPECT_NE(text.find("== 9600 baud"), std::string::npos) << text;
  EXPECT_NE(text.find("== 19200 baud"), std::string::npos) << text;
  EXPECT_NE(text.find("-> F8"), std::string::npos) << text;
  EXPECT_NE(text.find("<- 1C 42 30 0A"), std::string::npos) << text;
  // The 9600 attempt came before the answer at 19200.
  EXPECT_LT(text.find("== 9600 baud"), text.find("<- 1C 42 30 0A"));
}

TEST_F(FrameLogPortTest, LongFramesContinueOnFurtherLines) {
  auto inner = std::make_unique<test::ScriptedPort>();
  controller.baud = 9600;
  controller.Attach(*inner);
  ControllerLink link(new FrameLogPort(std::move(inner), log));
  PsfImage image;
  ASSERT_EQ(link.InputPsf(image), 1);
  PsfImage out = image;
  ASSERT_EQ(link.OutputPsf(out), 1);
  // 83 bytes: six lines of the frame sent, the first with the arrow.
  const std::string text = log.str();
  EXPECT_NE(text.find("-> 1B 42 43"), std::string::npos) << text;  // letter B, command C
  std::istringstream lines(text);
  std::string line;
  int continuation = 0;
  while (std::getline(lines, line)) {
    if (line.find(" ms     ") != std::string::npos) ++continuation;
  }
  EXPECT_GE(continuation, 10) << text;  // 5 more lines for the reply, 5 for the frame sent
}

TEST_F(FrameLogPortTest, PassesStatusAndErrorNamesThrough) {
  auto inner = std::make_unique<test::ScriptedPort>(3, 9600);
  inner->SetErrorStatus(kPortNotFound);
  FrameLogPort port(std::move(inner), log);
  EXPECT_EQ(port.ErrorStatus(), kPortNotFound);
  EXPECT_EQ(port.PortNumber(), 3);
  char buffer[4];
  EXPECT_EQ(port.Read(buffer, 4, 100), kPortNotFound);
  EXPECT_STREQ(port.ErrorName(kTimeout), "Timeout");
}

}  // namespace
}  // namespace kelvt::cli
