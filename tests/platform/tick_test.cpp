// The tick counter, its virtual stand-in, and BusyWait.

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "platform/idle.h"
#include "platform/tick.h"

namespace kelvt {
namespace {

// A source whose sleeps fall short, so BusyWait must loop to make up the time.
class ShortSleeper : public TickSource {
 public:
  explicit ShortSleeper(uint32_t start) : now_(start) {}
  uint32_t Now() override { return now_; }
  void Sleep(uint32_t ms) override {
    ++sleeps;
    now_ += ms > 1 ? ms / 2 : 1;
  }
  int sleeps = 0;

 private:
  uint32_t now_;
};

TEST(TickCount, FollowsTheInstalledSourceAndWraps) {
  VirtualTickSource clock(0xFFFFFFFEu);
  ScopedTickSource scoped(&clock);
  EXPECT_EQ(TickCount(), 0xFFFFFFFEu);
  clock.Advance(5);
  EXPECT_EQ(TickCount(), 3u) << "a 32-bit counter wraps to small numbers";
  const uint32_t before = 0xFFFFFFFEu;
  EXPECT_EQ(TickCount() - before, 5u) << "a difference of readings survives the wrap";
}

TEST(TickCount, ScopedSourceRestoresTheMonotonicClock) {
  {
    VirtualTickSource clock(7);
    ScopedTickSource scoped(&clock);
    EXPECT_EQ(TickCount(), 7u);
  }
  const uint32_t a = TickCount();
  SleepMs(2);
  const uint32_t b = TickCount();
  EXPECT_GE(b - a, 2u);
  EXPECT_LT(b - a, 1000u);
}

struct WaitCase {
  uint32_t start;
  unsigned ms;
};

TEST(BusyWait, WaitsExactlyTheTimeOnAVirtualClock) {
  const WaitCase cases[] = {{0, 0},          {0, 1},           {1000, 100},
                            {0xFFFFFFF0u, 100}, {0xFFFFFFFFu, 1}, {0x7FFFFFFFu, 200},
                            {0xFFFFFF00u, 0xFFFFu}};
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.start);
    SCOPED_TRACE(c.ms);
    VirtualTickSource clock(c.start);
    ScopedTickSource scoped(&clock);
    BusyWait(c.ms);
    EXPECT_EQ(clock.Now() - c.start, c.ms);
  }
}

VirtualTickSource* g_wait_clock = nullptr;
uint32_t g_handler_ms = 0;
std::vector<uint32_t> g_steps;

// The wait runs the idle step at least every 10 ms; a slow handler does not
// move the deadline, which stays a fixed time after the call.
TEST(BusyWait, RunsTheIdleStepEveryTenMillisecondsOnTheSameDeadline) {
  struct Case {
    unsigned ms;
    uint32_t handler_ms;  // time each step takes
    size_t steps;
    uint32_t elapsed;
  };
  const Case cases[] = {{0, 0, 0, 0}, {5, 0, 1, 5}, {100, 0, 10, 100}, {50, 0, 5, 50},
                        {100, 25, 3, 100}, {100, 100, 1, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    SCOPED_TRACE(c.handler_ms);
    VirtualTickSource clock(0xFFFFFFF0u);
    ScopedTickSource scoped(&clock);
    g_wait_clock = &clock;
    g_handler_ms = c.handler_ms;
    g_steps.clear();
    SetIdleHook([] {
      g_steps.push_back(g_wait_clock->Now());
      g_wait_clock->Advance(g_handler_ms);
    });
    BusyWait(c.ms);
    SetIdleHook(nullptr);
    EXPECT_EQ(clock.Now() - 0xFFFFFFF0u, c.elapsed);
    EXPECT_EQ(g_steps.size(), c.steps);
    for (size_t i = 1; i < g_steps.size(); ++i) EXPECT_LE(g_steps[i] - g_steps[i - 1], 10 + c.handler_ms);
  }
}

TEST(BusyWait, KeepsWaitingWhenASleepFallsShortEvenAcrossTheWrap) {
  for (const uint32_t start : {100u, 0xFFFFFFC0u}) {
    ShortSleeper clock(start);
    ScopedTickSource scoped(&clock);
    BusyWait(100);
    const uint32_t passed = clock.Now() - start;
    EXPECT_GE(passed, 100u);
    EXPECT_LT(passed, 101u) << "never much longer than asked";
    EXPECT_GT(clock.sleeps, 1);
  }
}

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// On the real clock the wait sleeps: it takes the time without burning it.
TEST(BusyWait, SleepsOnTheRealClockInsteadOfSpinning) {
  const uint32_t t0 = TickCount();
  const double cpu0 = CpuMs();
  BusyWait(60);
  const double cpu = CpuMs() - cpu0;
  const uint32_t passed = TickCount() - t0;
  EXPECT_GE(passed, 60u);
  EXPECT_LT(cpu, 15.0) << "a spinning wait would use about 60 ms of CPU";
}

}  // namespace
}  // namespace kelvt
