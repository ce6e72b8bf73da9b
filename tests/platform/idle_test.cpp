// The idle hook through which timed serial operations reach the user interface.

#include <gtest/gtest.h>

#include <vector>

#include "platform/idle.h"
#include "platform/tick.h"
#include "support/scripted_port.h"

namespace kelvt {
namespace {

int g_pumped = 0;
void CountPump() { ++g_pumped; }

std::vector<unsigned> g_waits;
bool RecordWait(unsigned ms) {
  g_waits.push_back(ms);
  SleepMs(ms / 2);  // as a step that something woke early
  return true;
}

class IdleHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pumped = 0;
    g_waits.clear();
  }
  void TearDown() override {
    SetIdleHook(nullptr);
    SetIdleWaitHook(nullptr);
  }
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

// On the real clock a protocol wait is made of waiting steps, none longer
// than a slice nor past the deadline; a virtual clock never waits in one.
TEST_F(IdleHookTest, BusyWaitWaitsInStepsOnTheRealClockOnly) {
  SetIdleWaitHook(&RecordWait);
  const uint32_t t0 = TickCount();
  BusyWait(25);
  EXPECT_GE(TickCount() - t0, 25u);
  ASSERT_GE(g_waits.size(), 3u);
  for (const unsigned ms : g_waits) EXPECT_LE(ms, kIdleSliceMs);
  EXPECT_LT(g_waits.back(), kIdleSliceMs) << "the last step ends at the deadline";

  g_waits.clear();
  SetIdleHook(&CountPump);
  VirtualTickSource clock(0);
  ScopedTickSource scoped(&clock);
  BusyWait(25);
  EXPECT_TRUE(g_waits.empty());
  EXPECT_EQ(g_pumped, 3);
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
