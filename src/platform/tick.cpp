#include "platform/tick.h"

#include <atomic>
#include <cerrno>
#include <ctime>

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

void SleepMs(uint32_t ms) { Source().Sleep(ms); }

void BusyWait(unsigned ms) {
  const uint32_t t0 = TickCount();
  for (;;) {
    const uint32_t passed = TickCount() - t0;  // unsigned: correct across the wrap
    if (passed >= ms) return;
    SleepMs(ms - passed);
  }
}

}  // namespace kelvt
