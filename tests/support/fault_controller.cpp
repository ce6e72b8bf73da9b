#include "support/fault_controller.h"

#include <algorithm>

namespace kelvt::test {

std::string Describe(const FaultPlan& plan) {
  const std::string n = std::to_string(plan.after);
  switch (plan.fault) {
    case Fault::kNone: return "sound";
    case Fault::kSilent: return "silent";
    case Fault::kStopAfter: return "stop-after " + n;
    case Fault::kCorrupt: return plan.after == 0 ? "corrupt" : "corrupt-after " + n;
    case Fault::kNoAck: return "no-ack";
    case Fault::kVanishAfter: return "vanish-after " + n;
  }
  return "?";
}

FaultyController::FaultyController(FaultPlan plan, long baud, char id)
    : inner(baud, id), scratch_(0, baud) {
  SetPlan(plan);
}

void FaultyController::SetPlan(FaultPlan plan) {
  plan_ = plan;
  inner.accept_psf = plan.fault != Fault::kNoAck;
}

void FaultyController::Attach(ScriptedPort& port) {
  port.SetResponder([this](ScriptedPort& p, const char* data, int count, long baud) {
    OnWrite(p, data, count, baud);
  });
}

void FaultyController::OnWrite(ScriptedPort& port, const char* data, int count, long baud) {
  if (vanished) return;
  switch (plan_.fault) {
    case Fault::kSilent:
      ++ignored;
      return;
    case Fault::kStopAfter:
      if (replies >= plan_.after) {
        ++ignored;
        return;
      }
      break;
    case Fault::kVanishAfter:
      if (replies >= plan_.after) {
        vanished = true;
        port.Vanish();
        return;
      }
      break;
    default:
      break;
  }
  // What the sound controller would send, caught on the side.
  inner.reply_delay_ms = 0;
  scratch_.SetLineParameters(baud, -1, -1, -1);
  scratch_.ClearRxBuffer();
  inner.OnWrite(scratch_, data, count, baud);
  char reply[4096];
  const int n = std::min(scratch_.Pending(), static_cast<int>(sizeof reply));
  if (n > 0) scratch_.ReadBuffer(reply, n);
  scratch_.ClearEvents();
  if (n <= 0) return;
  if (plan_.fault == Fault::kCorrupt && replies >= plan_.after) {
    for (int i = 0; i < n; ++i) reply[i] = static_cast<char>(reply[i] ^ 0x20);
  }
  ++replies;
  // Sent at the rate the request was heard at, as the controller would.
  port.QueueBytes(reply, n, reply_delay_ms, baud);
}

}  // namespace kelvt::test
