#include "platform/tick.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/idle.h"

namespace kelvt {
namespace {

class MonotonicTickSource : public TickSource {
 public:
  uint32_t Now() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    // Truncation to 32 bits is the wrap of the tick counter.
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                        static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
  }
  void Sleep(uint32_t ms) override {
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
  }
};

MonotonicTickSource g_monotonic;
std::atomic<TickSource*> g_source{nullptr};

TickSource& Source() {
  TickSource* s = g_source.load(std::memory_order_relaxed);
  return s != nullptr ? *s : g_monotonic;
}

}  // namespace

void SetTickSource(TickSource* source) { g_source.store(source, std::memory_order_relaxed); }

uint32_t TickCount() { return Source().Now(); }

bool VirtualTicks() { return g_source.load(std::memory_order_relaxed) != nullptr; }

void SleepMs(uint32_t ms) { Source().Sleep(ms); }

void BusyWait(unsigned ms) {
  const uint32_t t0 = TickCount();
  for (;;) {
    const uint32_t passed = TickCount() - t0;  // unsigned: correct across the wrap
    if (passed >= ms) return;
    const uint32_t rest = ms - passed;
    if (!VirtualTicks() && WaitInIdleStep(rest < kIdleSliceMs ? rest : kIdleSliceMs)) continue;
    // The window answers while the protocol waits: one idle step, then at
    // most a slice of sleep, all on the one deadline.
    PumpOneMessage();
    const uint32_t now = TickCount() - t0;
    if (now >= ms) return;
    const uint32_t left = ms - now;
    SleepMs(left < kIdleSliceMs ? left : kIdleSliceMs);
  }
}

}  // namespace kelvt
