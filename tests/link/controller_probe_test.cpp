#include "link/controller_probe.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "platform/tick.h"
#include "support/scripted_controller.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

// Each path is a scripted device: a controller at some rate and letter, a
// silent line, or a device another program holds.
class ProbeTest : public ::testing::Test {
 protected:
  ProbeTest() : ticks_(&clock_) {
    controllers_.emplace("/dev/a", ScriptedController(9600, 'A'));
    controllers_.emplace("/dev/d", ScriptedController(38400, 'D'));
  }

  std::unique_ptr<RS232> Open(const std::string& path) {
    opened_.push_back(path);
    auto port = std::make_unique<ScriptedPort>(0, 9600);
    if (path == "/dev/held") port->SetErrorStatus(kPortInUse);
    const auto it = controllers_.find(path);
    if (it != controllers_.end()) it->second.Attach(*port);
    if (path == "/dev/mute") silent_.Attach(*port);
    return port;
  }
  ProbeOpener Opener() {
    return [this](const std::string& path) { return Open(path); };
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  std::map<std::string, ScriptedController> controllers_;
  test::SimResponder silent_{test::Silent()};
  std::vector<std::string> opened_;
};

TEST_F(ProbeTest, EachDeviceReportsItsRateAndLetterOrWhyNot) {
  const uint32_t start = TickCount();
  const auto results =
      ProbeControllers({"/dev/a", "/dev/held", "/dev/d", "/dev/mute", "/dev/a"}, Opener());
  ASSERT_EQ(results.size(), 4u);  // /dev/a once
  struct Expected {
    const char* path;
    int open_status;
    bool answered;
    int32_t rate;
    char letter;
  } expected[] = {{"/dev/a", 0, true, 9600, 'A'},
                  {"/dev/held", kPortInUse, false, 0, 0},
                  {"/dev/d", 0, true, 38400, 'D'},
                  {"/dev/mute", 0, false, 0, 0}};
  for (size_t i = 0; i < results.size(); ++i) {
    SCOPED_TRACE(expected[i].path);
    EXPECT_EQ(results[i].path, expected[i].path);
    EXPECT_EQ(results[i].open_status, expected[i].open_status);
    EXPECT_EQ(results[i].answered, expected[i].answered);
    EXPECT_EQ(results[i].rate, expected[i].rate);
    EXPECT_EQ(results[i].letter, expected[i].letter);
  }
  EXPECT_EQ(results[1].reason, "Port in use");
  // The silent line costs the three 200 ms wake windows and no more.
  EXPECT_EQ(silent_.Heard(0) + silent_.NotHeard(), 3);
  EXPECT_LT(TickCount() - start, 2000u);
}

TEST_F(ProbeTest, StopsWhenAsked) {
  std::vector<size_t> asked;
  const auto results = ProbeControllers({"/dev/mute", "/dev/d", "/dev/a"}, Opener(),
                                        [&](size_t i) {
                                          asked.push_back(i);
                                          return i < 1;
                                        });
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(asked, (std::vector<size_t>{0, 1}));
  EXPECT_EQ(opened_, (std::vector<std::string>{"/dev/mute"}));
}

}  // namespace
}  // namespace kelvt
