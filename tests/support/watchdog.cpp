#include "support/watchdog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kelvt::test {

Watchdog::Watchdog(int seconds, std::string what) {
  thread_ = std::thread([this, seconds, what = std::move(what)] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (done_changed_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) return;
    std::fprintf(stderr, "watchdog: '%s' still running after %d s: hung\n", what.c_str(), seconds);
    std::fflush(stderr);
    std::abort();
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  done_changed_.notify_all();
  thread_.join();
}

}  // namespace kelvt::test
