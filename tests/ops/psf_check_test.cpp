#include "ops/psf_check.h"

#include <gtest/gtest.h>

#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

using test::FaultSwitch;
using test::ScriptedController;
using test::ScriptedPort;

struct CheckCase {
  const char* name;
  bool frame_sent;  // false: the controller fell silent before the send found it
  void (*arrange)(FaultSwitch&, ScriptedController&);  // the controller read back
  int expected;
};

class PsfCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PsfCheckTest, ReadsTheSetBackAndComparesEveryByte) {
  VirtualTickSource ticks(1000);
  ScopedTickSource scope(&ticks);
  ScriptedController controller;
  FaultSwitch line(controller);
  auto* port = new ScriptedPort(0, 9600);
  ControllerLink link(port);
  line.Attach(*port);
  PsfImage own;
  ASSERT_TRUE(link.InputPsf(own));
  // A send that fails: refused after the frame went out, or never sent at all.
  line.Fault(GetParam().frame_sent ? test::NoAck() : test::Silent());
  PsfImage other = own;
  other[6] = 'c';
  EXPECT_EQ(link.OutputPsf(other), 0);
  EXPECT_EQ(link.PsfFrameSent(), GetParam().frame_sent);
  line.Mend();
  GetParam().arrange(line, controller);
  EXPECT_EQ(ControllerMayHoldOtherPsf(link, own), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PsfCheckTest,
    ::testing::Values(
        CheckCase{"StillItsOwn", true, [](FaultSwitch&, ScriptedController&) {}, 0},
        CheckCase{"OneByteChanged", true,
                  [](FaultSwitch&, ScriptedController& c) { c.psf[6] = 'c'; }, 1},
        CheckCase{"CheckSumChanged", true,
                  [](FaultSwitch&, ScriptedController& c) { c.psf[80] ^= 1; }, 1},
        CheckCase{"NoLongerAnswers", true,
                  [](FaultSwitch& l, ScriptedController&) { l.Fault(test::Silent()); }, 1},
        CheckCase{"NeverReachedTheController", false, [](FaultSwitch&, ScriptedController&) {},
                  0}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt
