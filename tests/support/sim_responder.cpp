#include "support/sim_responder.h"

#include <algorithm>
#include <utility>

#include "platform/tick.h"

namespace kelvt::test {

SimResponder::SimResponder(sim::SimConfig config, uint32_t reply_delay_ms)
    : controller_(std::move(config)), reply_delay_ms_(reply_delay_ms) {}

void SimResponder::Attach(ScriptedPort& port) {
  port.SetResponder([this](ScriptedPort& p, const char* data, int count, long baud) {
    OnWrite(p, data, count, baud);
  });
}

// The controller's clock never runs backwards, however the 32-bit tick wraps.
uint64_t SimResponder::Now() {
  const uint32_t tick = TickCount();
  if (!started_) {
    started_ = true;
    last_tick_ = tick;
  }
  now_ms_ += static_cast<uint32_t>(tick - last_tick_);
  last_tick_ = tick;
  return now_ms_;
}

void SimResponder::OnWrite(ScriptedPort& port, const char* data, int count, long baud) {
  if (controller_.Vanished() || count <= 0) return;
  const uint64_t now = Now();
  if (!controller_.LineMatches(baud, port.Settings().stop_bits >= 1)) {
    ++not_heard_;
    log_ += std::to_string(now) + " ms at " + std::to_string(baud) + ": not heard\n";
    return;
  }
  // Silence since the last write first: it may complete what came before.
  events_.clear();
  controller_.Poll(now, events_);
  Handle(port, now, baud);
  events_.clear();
  controller_.Receive(data, static_cast<size_t>(count), now, events_);
  Handle(port, now, baud);
  // Then the silence that follows this write.
  uint64_t when = 0;
  while (!controller_.Vanished() && controller_.NextDeadline(&when)) {
    events_.clear();
    controller_.Poll(when, events_);
    Handle(port, when, baud);
    uint64_t next = 0;
    if (controller_.NextDeadline(&next) && next <= when) break;  // nothing more to do
  }
}

void SimResponder::Handle(ScriptedPort& port, uint64_t at_ms, long baud) {
  for (const sim::SimEvent& e : events_) {
    if (e.kind == sim::SimEvent::kReply || e.kind == sim::SimEvent::kIgnored) {
      heard_.push_back(e.request.size() > 2 ? e.request[2] : '\0');
    }
    log_ += std::to_string(at_ms) + " ms at " + std::to_string(baud) + ": " +
            (e.kind == sim::SimEvent::kDropped ? "dropped: " : "") + e.note + "\n";
    switch (e.kind) {
      case sim::SimEvent::kReply: {
        // With the port's transfer timing on, the request's crossing is
        // already on the clock and the reply trickles in at the rate.
        uint64_t due = at_ms + reply_delay_ms_;
        if (!port.TransferTiming()) due += sim::TransferMs(e.request.size() + e.reply.size(), baud);
        const uint64_t now = now_ms_;
        const uint32_t delay = due > now ? static_cast<uint32_t>(due - now) : 0;
        port.QueueBytes(e.reply.data(), static_cast<int>(e.reply.size()), delay, baud);
        if (e.request.size() == sim::kImageSize + 2) ++psfs_taken_;
        break;
      }
      case sim::SimEvent::kIgnored: ++ignored_; break;
      case sim::SimEvent::kDropped: ++dropped_; break;
      case sim::SimEvent::kVanish: port.Vanish(); break;
    }
  }
}

int SimResponder::Heard(char command) const {
  return static_cast<int>(std::count(heard_.begin(), heard_.end(), command));
}

}  // namespace kelvt::test
