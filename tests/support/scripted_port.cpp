#include "support/scripted_port.h"

#include "platform/tick.h"

namespace kelvt::test {
namespace {

// Signed distance from `now` to `t` on the wrapping tick counter.
int32_t Until(uint32_t t, uint32_t now) { return static_cast<int32_t>(t - now); }

}  // namespace

ScriptedPort::ScriptedPort(int port, long baud) : rx_(new RxByte[kRxCapacity]) {
  port_number = port;
  settings.Update(baud, 'E', 8, 2, 0, 0, 0, -1, -1);
  saved_settings = settings;
  error_status = 0;
  written_.reserve(1 << 16);
  events_.reserve(1 << 14);
  rate_history_.reserve(256);
}

ScriptedPort::~ScriptedPort() = default;

uint32_t ScriptedPort::TransferMs(int bytes, long baud) {
  if (bytes <= 0 || baud <= 0) return 0;
  const uint64_t bits = static_cast<uint64_t>(bytes) * 12u * 1000u;
  return static_cast<uint32_t>((bits + static_cast<uint64_t>(baud) - 1) / static_cast<uint64_t>(baud));
}

void ScriptedPort::Cost(uint32_t ms) {
  if (ms > 0) SleepMs(ms);
}

void ScriptedPort::Log(EventKind kind, uint32_t tick, int requested, int moved, int result) {
  events_.push_back(Event{kind, tick, settings.baud, requested, moved, result});
}

void ScriptedPort::QueueReply(std::string_view data, uint32_t delay_ms, long sent_at_baud) {
  QueueBytes(data.data(), static_cast<int>(data.size()), delay_ms, sent_at_baud);
}

void ScriptedPort::QueueBytes(const char* data, int count, uint32_t delay_ms, long sent_at_baud) {
  if (data == nullptr || count <= 0) return;
  const uint32_t now = TickCount();
  uint32_t start = now + delay_ms;
  // Bytes arrive in order: never before the last one already queued.
  if (rx_count_ > 0 && have_last_ready_ && Until(last_ready_, start) > 0) start = last_ready_;
  const long rate = sent_at_baud != 0 ? sent_at_baud : settings.baud;
  for (int j = 0; j < count; ++j) {
    const uint32_t ready = transfer_timing_ ? start + TransferMs(j + 1, rate) : start;
    if (rx_count_ == kRxCapacity) {
      ++overruns_;
      rx_overflow_ = true;
      overrun_error_ = true;
      continue;
    }
    rx_[(rx_head_ + rx_count_) % kRxCapacity] =
        RxByte{data[j], ready, static_cast<int32_t>(sent_at_baud)};
    ++rx_count_;
    last_ready_ = ready;
    have_last_ready_ = true;
  }
}

int ScriptedPort::Available() const {
  const uint32_t now = TickCount();
  int n = 0;
  while (n < rx_count_ && Until(rx_[(rx_head_ + n) % kRxCapacity].ready_at, now) <= 0) ++n;
  return n;
}

uint32_t ScriptedPort::WaitFor(int k) const {
  const int32_t d = Until(rx_[(rx_head_ + k - 1) % kRxCapacity].ready_at, TickCount());
  return d > 0 ? static_cast<uint32_t>(d) : 0;
}

int ScriptedPort::TakeBytes(char* out, int count) {
  const uint32_t now = TickCount();
  int n = 0;
  while (n < count && rx_count_ > 0) {
    const RxByte& b = rx_[rx_head_];
    if (Until(b.ready_at, now) > 0) break;
    if (b.baud != 0 && b.baud != settings.baud) {
      // Sent at another rate: the UART sees garbage and a framing error.
      out[n] = static_cast<char>(0xFF);
      framing_error_ = true;
    } else {
      out[n] = b.byte;
    }
    ++n;
    rx_head_ = (rx_head_ + 1) % kRxCapacity;
    --rx_count_;
  }
  if (rx_count_ == 0) have_last_ready_ = false;
  return n;
}

int ScriptedPort::ReadBuffer(char* buffer, int count) {
  const uint32_t t0 = TickCount();
  byte_count = 0;
  if (vanished_ != 0) {
    Log(EventKind::kRead, t0, count, 0, vanished_);
    return vanished_;
  }
  if (count <= 0 || buffer == nullptr) {
    Log(EventKind::kRead, t0, count, 0, 0);
    return 0;
  }
  int result;
  if (rx_count_ >= count && WaitFor(count) <= read_timeout_ms_) {
    Cost(WaitFor(count));
    byte_count = static_cast<uint32_t>(TakeBytes(buffer, count));
    result = 0;
  } else {
    Cost(read_timeout_ms_);
    byte_count = static_cast<uint32_t>(TakeBytes(buffer, count));
    result = static_cast<int>(byte_count) == count ? 0 : kTimeout;
  }
  Log(EventKind::kRead, t0, count, static_cast<int>(byte_count), result);
  return result;
}

int ScriptedPort::ReadByte() {
  char c = 0;
  const int r = ReadBuffer(&c, 1);
  if (r != 0) return r;
  return static_cast<unsigned char>(c);
}

int ScriptedPort::DoWrite(const char* data, int count, EventKind kind) {
  const uint32_t t0 = TickCount();
  byte_count = 0;
  if (vanished_ != 0) {
    Log(kind, t0, count, 0, vanished_);
    return vanished_;
  }
  if (count <= 0 || data == nullptr) {
    Log(kind, t0, count, 0, 0);
    return 0;
  }
  if (fail_writes_ > 0) {
    --fail_writes_;
    if (fail_write_code_ == kTimeout) Cost(write_timeout_ms_);
    Log(kind, t0, count, 0, fail_write_code_);
    return fail_write_code_;
  }
  int n = count;
  if (write_chunk_ > 0 && n > write_chunk_) n = write_chunk_;
  const long baud = settings.baud;
  written_.append(data, static_cast<size_t>(n));
  if (transfer_timing_) Cost(TransferMs(n, baud));
  if (n < count) Cost(write_timeout_ms_);  // the rest stayed queued until the time-out
  byte_count = static_cast<uint32_t>(n);
  const int result = n == count ? 0 : kTimeout;
  Log(kind, t0, count, n, result);
  if (responder_) responder_(*this, data, n, baud);
  byte_count = static_cast<uint32_t>(n);  // a responder's calls must not disturb it
  return result;
}

int ScriptedPort::WriteBuffer(const char* buffer, int count) {
  return DoWrite(buffer, count, EventKind::kWrite);
}

int ScriptedPort::WriteByte(int byte) {
  const char c = static_cast<char>(byte);
  return DoWrite(&c, 1, EventKind::kWrite);
}

int ScriptedPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
  const uint32_t t0 = TickCount();
  if (vanished_ != 0) {
    Log(EventKind::kSetLine, t0, 0, 0, vanished_);
    return vanished_;
  }
  settings.Update(baud, parity, wordLength, stopBits, -1, -1, -1, -1, -1);
  rate_history_.push_back(settings.baud);
  Log(EventKind::kSetLine, t0, 0, 0, set_line_result_);
  return set_line_result_;
}

void ScriptedPort::SetLineErrors(bool parity, bool brk, bool framing, bool overrun) {
  parity_error_ = parity;
  break_detected_ = brk;
  framing_error_ = framing;
  overrun_error_ = overrun;
}

namespace {
int Query(bool& flag, int clear) {
  const int seen = flag ? 1 : 0;
  if (clear != 0 && clear != -1) flag = false;
  return seen;
}
}  // namespace

int ScriptedPort::ParityError(int clear) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  return Query(parity_error_, clear);
}

int ScriptedPort::BreakDetected(int clear) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  return Query(break_detected_, clear);
}

int ScriptedPort::FramingError(int clear) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  return Query(framing_error_, clear);
}

int ScriptedPort::OverrunError(int clear) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  return Query(overrun_error_, clear);
}

int ScriptedPort::RxOverflow(int clear) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  return Query(rx_overflow_, clear);
}

int ScriptedPort::SendBreak(long milliseconds) {
  if (error_status < 0) return error_status;
  const uint32_t t0 = TickCount();
  if (vanished_ != 0) {
    Log(EventKind::kBreak, t0, 0, 0, vanished_);
    return vanished_;
  }
  if (milliseconds > 0) Cost(static_cast<uint32_t>(milliseconds));
  Log(EventKind::kBreak, t0, 0, 0, 0);
  return 0;
}

int ScriptedPort::XonXoffHandshaking(int setting) {
  if (error_status < 0) return error_status;
  if (vanished_ != 0) return vanished_;
  if (setting != -1) settings.xon_xoff = setting != 0 ? 1 : 0;
  return settings.xon_xoff;
}

int ScriptedPort::ClearRxBuffer() {
  if (error_status < 0) return error_status;
  const uint32_t t0 = TickCount();
  ++clear_rx_calls_;
  if (vanished_ != 0) {
    Log(EventKind::kClearRx, t0, 0, 0, vanished_);
    return vanished_;
  }
  // A purge drops what has arrived; bytes still on their way arrive later.
  char sink[64];
  int dropped = 0;
  for (int n; (n = TakeBytes(sink, static_cast<int>(sizeof sink))) > 0;) dropped += n;
  Log(EventKind::kClearRx, t0, 0, dropped, 0);
  return 0;
}

int ScriptedPort::ClearTxBuffer() {
  if (error_status < 0) return error_status;
  const uint32_t t0 = TickCount();
  ++clear_tx_calls_;
  if (vanished_ != 0) {
    Log(EventKind::kClearTx, t0, 0, 0, vanished_);
    return vanished_;
  }
  Log(EventKind::kClearTx, t0, 0, 0, 0);
  return 0;
}

int ScriptedPort::IdleFunction() {
  ++idle_calls_;
  if (idle_hook_) return idle_hook_();
  return RS232::IdleFunction();
}

void ScriptedPort::FailWrites(int count, int code) {
  fail_writes_ = count;
  fail_write_code_ = code;
}

std::string ScriptedPort::EventString() const {
  std::string s;
  s.reserve(events_.size());
  for (const Event& e : events_) s.push_back(static_cast<char>(e.kind));
  return s;
}

int ScriptedPort::CountEvents(EventKind kind) const {
  int n = 0;
  for (const Event& e : events_) n += e.kind == kind ? 1 : 0;
  return n;
}

}  // namespace kelvt::test
