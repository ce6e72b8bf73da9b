#pragma once
// A scripted in-memory serial port for tests, fuzz targets and UI tests.
//
// It behaves like a real device on the installed tick source (install a
// VirtualTickSource with ScopedTickSource first, or every unfilled read
// really sleeps):
//   - a raw read that cannot be filled waits for its read time-out (95 ms by
//     default) or until the missing bytes arrive, whichever is first, and
//     advances the clock by that much; a filled read costs nothing, or the
//     transfer time at the port's rate when transfer timing is on;
//   - a raw write is accepted at once (or costs its transfer time); a write
//     that cannot go out costs the write time-out (200 ms) and returns -98.
//
// Bytes to receive come from QueueReply (the test's script) or from a
// responder called on every raw write with the bytes written and the rate
// the port was at, so a simulated controller can answer only at its own rate
// (see ScriptedController). Every byte queued carries the time it becomes
// readable and, optionally, the rate it was sent at: read at another rate it
// arrives garbled (0xFF) and flags a framing error.
//
// Everything written is recorded, and every raw call is logged as an event so
// that a test can check the order of writes, reads, purges and rate changes.
// Faults: failing or short writes, a failing rate change, a sticky error
// status, and a device that vanishes (every call fails at once from then on).
//
// Steady-state use allocates nothing: the receive queue is a fixed ring and
// the logs are reserved up front, so allocation-counting tests can use it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/rs232.h"

namespace kelvt::test {

class ScriptedPort;

// Called after each raw write that put bytes on the line. `baud` is the
// port's rate at the time of writing.
using Responder = std::function<void(ScriptedPort& port, const char* data, int count, long baud)>;

class ScriptedPort : public RS232 {
 public:
  // One raw call, for the event log.
  enum class EventKind : char {
    kWrite = 'w',       // raw write (block or single byte)
    kRead = 'r',        // raw read attempt (block or single byte)
    kClearRx = 'X',     // receive purge
    kClearTx = 'T',     // transmit purge
    kSetLine = 'B',     // SetLineParameters
    kBreak = 'K',       // SendBreak
  };
  struct Event {
    EventKind kind;
    uint32_t tick;   // tick count when the call began
    long baud;       // port rate at that time
    int requested;   // bytes asked for (reads, writes)
    int moved;       // bytes moved
    int result;      // what the call returned
  };

  static constexpr int kRxCapacity = 16384;

  // An open port (error status 0) at `baud`, even parity, 8 data bits, two
  // stop bits, DTR and RTS low.
  explicit ScriptedPort(int port_number = 0, long baud = 9600);
  ~ScriptedPort() override;

  // --- raw device operations -------------------------------------------
  int ReadBuffer(char* buffer, int count) override;
  int WriteBuffer(const char* buffer, int count) override;
  int ReadByte() override;
  int WriteByte(int byte) override;
  int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
  int ParityError(int clear) override;
  int BreakDetected(int clear) override;
  int FramingError(int clear) override;
  int OverrunError(int clear) override;
  int SendBreak(long milliseconds) override;
  int RxOverflow(int clear) override;
  int XonXoffHandshaking(int setting) override;
  int ClearRxBuffer() override;
  int ClearTxBuffer() override;
  int IdleFunction() override;

  // --- what the line delivers ------------------------------------------
  // Queues `data` to become readable `delay_ms` after now (after the last
  // queued byte if that is later). `sent_at_baud` 0 means readable at any
  // rate; otherwise reading at another rate garbles it. With transfer timing
  // on, the bytes trickle in at the rate they were sent at. Bytes beyond the
  // ring's capacity are lost and counted as an overrun.
  void QueueReply(std::string_view data, uint32_t delay_ms = 0, long sent_at_baud = 0);
  void QueueBytes(const char* data, int count, uint32_t delay_ms = 0, long sent_at_baud = 0);
  // Bytes received and not yet read (readable now or later).
  int Pending() const { return rx_count_; }
  // Bytes readable now.
  int Available() const;

  void SetResponder(Responder responder) { responder_ = std::move(responder); }

  // --- timing -------------------------------------------------------------
  void SetReadTimeoutMs(uint32_t ms) { read_timeout_ms_ = ms; }
  void SetWriteTimeoutMs(uint32_t ms) { write_timeout_ms_ = ms; }
  // On: reads and writes cost 12 bits per byte at the port's rate (8E2 plus start).
  void SetTransferTiming(bool on) { transfer_timing_ = on; }
  bool TransferTiming() const { return transfer_timing_; }
  // Milliseconds that `bytes` take on the line at `baud` (rounded up).
  static uint32_t TransferMs(int bytes, long baud);

  // --- faults -------------------------------------------------------------
  // The next `count` raw writes fail with `code` and send nothing; -98 costs
  // the write time-out, any other code fails at once.
  void FailWrites(int count, int code = kTimeout);
  // Each raw write sends at most `bytes` (then -98 after the write time-out);
  // 0 or less removes the limit.
  void LimitWriteChunk(int bytes) { write_chunk_ = bytes; }
  // SetLineParameters returns `code` from now on (0 restores success).
  void FailSetLine(int code) { set_line_result_ = code; }
  // The device is gone: every raw call fails at once with `code`.
  void Vanish(int code = kGeneralError) { vanished_ = code; }
  bool Vanished() const { return vanished_ != 0; }
  // Sets the sticky status directly (e.g. -197 for a port that never opened).
  void SetErrorStatus(int status) { error_status = status; }
  // Line-error flags, as the queries report them.
  void SetLineErrors(bool parity, bool brk, bool framing, bool overrun);

  // --- idle ---------------------------------------------------------------
  // Replaces the idle step (default: RS232's, which pumps the UI and returns 0).
  void SetIdleHook(std::function<int()> hook) { idle_hook_ = std::move(hook); }
  int IdleCalls() const { return idle_calls_; }

  // --- what happened --------------------------------------------------------
  const std::string& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }
  const std::vector<Event>& Events() const { return events_; }
  // The event kinds as letters, e.g. "Bwrrr" (see EventKind).
  std::string EventString() const;
  void ClearEvents() { events_.clear(); }
  int CountEvents(EventKind kind) const;
  int ClearRxCalls() const { return clear_rx_calls_; }
  int ClearTxCalls() const { return clear_tx_calls_; }
  int RawReads() const { return CountEvents(EventKind::kRead); }
  int RawWrites() const { return CountEvents(EventKind::kWrite); }
  int BreaksSent() const { return CountEvents(EventKind::kBreak); }
  int Overruns() const { return overruns_; }
  long Baud() const { return settings.baud; }
  // Every rate the port was set to, in order.
  const std::vector<long>& RateHistory() const { return rate_history_; }

 private:
  struct RxByte {
    char byte;
    uint32_t ready_at;  // tick at which it is readable
    int32_t baud;       // rate it was sent at; 0 any
  };
  // Ticks from now until the k-th queued byte (1-based) is readable; 0 if it is already.
  uint32_t WaitFor(int k) const;
  int TakeBytes(char* out, int count);
  int DoWrite(const char* data, int count, EventKind kind);
  void Log(EventKind kind, uint32_t tick, int requested, int moved, int result);
  void Cost(uint32_t ms);

  std::unique_ptr<RxByte[]> rx_;  // ring of kRxCapacity
  int rx_head_ = 0;
  int rx_count_ = 0;
  uint32_t last_ready_ = 0;
  bool have_last_ready_ = false;

  Responder responder_;
  std::function<int()> idle_hook_;
  std::string written_;
  std::vector<Event> events_;
  std::vector<long> rate_history_;

  uint32_t read_timeout_ms_ = 95;
  uint32_t write_timeout_ms_ = 200;
  bool transfer_timing_ = false;
  int fail_writes_ = 0;
  int fail_write_code_ = kTimeout;
  int write_chunk_ = 0;
  int set_line_result_ = 0;
  int vanished_ = 0;
  int idle_calls_ = 0;
  int clear_rx_calls_ = 0;
  int clear_tx_calls_ = 0;
  int overruns_ = 0;
  bool parity_error_ = false;
  bool break_detected_ = false;
  bool framing_error_ = false;
  bool overrun_error_ = false;
  bool rx_overflow_ = false;
};

}  // namespace kelvt::test
