#pragma once
// Millisecond tick counter and the waits built on it.
//
// TickCount() is a 32-bit count of milliseconds from a monotonic clock; it
// wraps like any 32-bit counter, so durations are always differences of two
// readings. Tests install a virtual source so that timed code runs in
// microseconds of real time.

#include <cstdint>

namespace kelvt {

class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual uint32_t Now() = 0;
  // Lets at least `ms` milliseconds pass (a virtual source just advances).
  virtual void Sleep(uint32_t ms) = 0;
};

// Installs `source` (not owned) as the process-wide tick source; nullptr
// restores the monotonic clock.
void SetTickSource(TickSource* source);

uint32_t TickCount();

// True while a source other than the monotonic clock is installed: waits
// must then go through it, never through the wall clock.
bool VirtualTicks();

// Sleeps for about `ms` milliseconds on the current tick source. Dispatches nothing.
void SleepMs(uint32_t ms);

// The longest sleep between two idle steps of a wait.
inline constexpr uint32_t kIdleSliceMs = 10;

// Returns once the tick count has advanced by at least `ms` since the call.
// It sleeps rather than spins, in slices of at most kIdleSliceMs with an
// idle step (PumpOneMessage) before each, so the window answers meanwhile;
// on the monotonic clock a waiting step (WaitInIdleStep) is the slice.
void BusyWait(unsigned ms);

// A tick source that only moves when told to. Sleep advances it.
class VirtualTickSource : public TickSource {
 public:
  explicit VirtualTickSource(uint32_t start = 0) : now_(start) {}
  uint32_t Now() override { return now_; }
  void Sleep(uint32_t ms) override { now_ += ms; }
  void Advance(uint32_t ms) { now_ += ms; }
  void Set(uint32_t value) { now_ = value; }

 private:
  uint32_t now_;
};

// Installs a tick source for the lifetime of the guard.
class ScopedTickSource {
 public:
  explicit ScopedTickSource(TickSource* source) { SetTickSource(source); }
  ~ScopedTickSource() { SetTickSource(nullptr); }
  ScopedTickSource(const ScopedTickSource&) = delete;
  ScopedTickSource& operator=(const ScopedTickSource&) = delete;
};

}  // namespace kelvt
