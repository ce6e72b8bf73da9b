#pragma once
// A wall-clock limit for a test that talks to a controller which may have
// stopped answering: if the guarded scope has not ended after `seconds`, the
// process prints what was running and aborts, so a hang fails the test run
// at once instead of stalling it until CTest's own time-out.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace kelvt::test {

class Watchdog {
 public:
  Watchdog(int seconds, std::string what);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace kelvt::test
