// The idle hook through which timed serial operations reach the user interface.

#include <gtest/gtest.h>

#include "platform/idle.h"
#include "platform/tick.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

int g_pumped = 0;
void CountPump() { ++g_pumped; }

class IdleHookTest : public ::testing::Test {
 protected:
  void SetUp() override { g_pumped = 0; }
  void TearDown() override { SetIdleHook(nullptr); }
};

TEST_F(IdleHookTest, DefaultDoesNothing) {
  SetIdleHook(nullptr);
  PumpOneMessage();
  EXPECT_EQ(g_pumped, 0);
}

// A handler that waits inside the step (a nested loop, a command) gets no step of its own.
TEST_F(IdleHookTest, AStepNeverNests) {
  SetIdleHook([] {
    ++g_pumped;
    EXPECT_EQ(IdleDepth(), 1);
    PumpOneMessage();
  });
  PumpOneMessage();
  EXPECT_EQ(g_pumped, 1);
  EXPECT_EQ(IdleDepth(), 0);
  PumpOneMessage();
  EXPECT_EQ(g_pumped, 2) << "the depth comes back down after each step";
}

TEST_F(IdleHookTest, InstalledHookRunsOncePerPumpAndCanBeRemoved) {
  SetIdleHook(&CountPump);
  PumpOneMessage();
  PumpOneMessage();
  EXPECT_EQ(g_pumped, 2);
  SetIdleHook(nullptr);
  PumpOneMessage();
  EXPECT_EQ(g_pumped, 2);
}

// The port's idle step is one pump that never asks the wait to end.
TEST_F(IdleHookTest, PortIdleFunctionPumpsOnceAndReturnsZero) {
  SetIdleHook(&CountPump);
  test::ScriptedPort port;
  EXPECT_EQ(port.RS232::IdleFunction(), 0);
  EXPECT_EQ(g_pumped, 1);
}

TEST_F(IdleHookTest, AWaitingReadPumpsBetweenAttempts) {
  SetIdleHook(&CountPump);
  VirtualTickSource clock(0);
  ScopedTickSource scoped(&clock);
  test::ScriptedPort port;
  char buffer[8];
  EXPECT_EQ(port.Read(buffer, 8, 1000), -98);
  EXPECT_EQ(port.RawReads(), 11);
  EXPECT_EQ(g_pumped, 10) << "one step between each two attempts";
}

}  // namespace
}  // namespace kelvt
