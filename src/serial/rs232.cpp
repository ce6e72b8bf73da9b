#include "serial/rs232.h"

#include <cstdio>
#include <cstring>

#include "platform/idle.h"
#include "platform/tick.h"

namespace kelvt {
namespace {

// True when a timed operation that began at `start` must not try again.
// -1 never expires; 0 (and any other non-positive value) allows one attempt.
bool DeadlinePassed(uint32_t start, long timeoutMs) {
  if (timeoutMs == -1) return false;
  if (timeoutMs <= 0) return true;
  const uint32_t limit =
      timeoutMs > static_cast<long>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(timeoutMs);
  return TickCount() - start >= limit;  // unsigned difference: safe across the wrap
}

int32_t Since(uint32_t start) { return static_cast<int32_t>(TickCount() - start); }

// Parity is printed with %c; a NUL or control value would cut or garble the line.
int Printable(int c) { return (c >= 0x20 && c < 0x7F) ? c : '?'; }

// A line that never falls silent must not keep the drain going forever.
constexpr uint32_t kMaxDrainMs = 1000;

}  // namespace

const char* RS232ErrorName(int code) {
  switch (code) {
    case kSuccess: return "Success";
    case kXonXoffNotSupported: return "XON/XOFF handshaking not supported";
    case kDtrDsrNotSupported: return "DTR/DSR handshaking not supported";
    case kRtsCtsNotSupported: return "RTS/CTS handshaking not supported";
    case kRtsControlNotSupported: return "RTS control not supported";
    case kDtrControlNotSupported: return "DTR control not supported";
    case kNoTerminator: return "No terminator";
    case kNoModemResponse: return "No modem response";
    case kIllegalLineNumber: return "Illegal line number";
    case kIllegalStopBits: return "Illegal stop bits";
    case kIllegalWordLength: return "Illegal word length";
    case kIllegalParity: return "Illegal parity setting";
    case kIllegalBaudRate: return "Illegal baud rate";
    case kTimeout: return "Timeout";
    case kFunctionNotSupported: return "Function not supported";
    case kGeneralWarning: return "General Warning";
    case kMemoryAllocationError: return "Memory allocation error";
    case kIllegalIrq: return "Illegal IRQ";
    case kPortInUse: return "Port in use";
    case kPortNotFound: return "Port not found";
    case kIrqLineInUse: return "IRQ line in use";
    case kGeneralError: return "General Error";
    default: return "???";
  }
}

RS232::RS232() : error_status(kPortNotOpened) {}

RS232::~RS232() = default;

int RS232::SendBreak(long) { return kFunctionNotSupported; }
int RS232::RxOverflow(int) { return kFunctionNotSupported; }
int RS232::XonXoffHandshaking(int) { return kFunctionNotSupported; }
int RS232::Reserved13(int) { return kFunctionNotSupported; }
int RS232::Reserved14(int) { return kFunctionNotSupported; }
int RS232::Reserved15(int, int) { return kFunctionNotSupported; }
int RS232::Reserved16() { return kFunctionNotSupported; }
int RS232::Reserved17() { return kFunctionNotSupported; }
int RS232::ClearTxBuffer() { return kFunctionNotSupported; }

int RS232::ClearRxBuffer() {
  char scratch[32];
  const uint32_t start = TickCount();
  for (;;) {
    if (error_status != 0) return error_status;
    const int result = ReadBuffer(scratch, static_cast<int>(sizeof scratch));
    if (byte_count == 0) {
      // Silence ends the drain; a failing device is reported, not hidden.
      return (result < 0 && result != kTimeout) ? result : 0;
    }
    if (TickCount() - start >= kMaxDrainMs) return kTimeout;
  }
}

const char* RS232::ErrorName(int code) { return RS232ErrorName(code); }

int RS232::IdleFunction() {
  PumpOneMessage();
  return 0;
}

int RS232::FormatDebugLine(char* buffer, int line) {
  if (buffer == nullptr) return 4;
  switch (line) {
    case 0:
      std::snprintf(buffer, kDebugLineSize, "Base class: RS232  COM%-2d  Status: %-35.35s",
                    port_number + 1, ErrorName(error_status));
      return 0;
    case 1:
      std::snprintf(buffer, kDebugLineSize, "Byte count: %5u  Elapsed time: %9ld  ",
                    static_cast<unsigned>(byte_count), static_cast<long>(elapsed_time));
      return 0;
    case 2: {
      const PortSettings& s = saved_settings;
      std::snprintf(buffer, kDebugLineSize,
                    "Saved port: %6ld,%c,%2d,%2d  DTR,RTS: %2d,%2d  XON/OFF,RTS/CTS,DTR/DSR: %2d",
                    static_cast<long>(s.baud), Printable(s.parity), s.word_length, s.stop_bits,
                    s.dtr, s.rts, s.xon_xoff);
      return 0;
    }
    case 3: {
      const PortSettings& s = settings;
      std::snprintf(buffer, kDebugLineSize,
                    "Current port: %6ld,%c,%1d,%1d  DTR,RTS: %2d,%2d  XON/OFF,RTS/CTS,DTR/DSR: %2d",
                    static_cast<long>(s.baud), Printable(s.parity), s.word_length, s.stop_bits,
                    s.dtr, s.rts, s.xon_xoff);
      return 0;
    }
    default:
      return kIllegalLineNumber;
  }
}

int RS232::Write(int byte, long timeoutMs) {
  byte_count = 0;
  elapsed_time = 0;
  if (error_status < 0) return error_status;

  const uint32_t start = TickCount();
  int idle = 0;
  int result = WriteByte(byte);
  while (result == kTimeout && !DeadlinePassed(start, timeoutMs)) {
    idle = IdleFunction();
    if (idle < 0) break;
    result = WriteByte(byte);
  }
  elapsed_time = Since(start);
  byte_count = 0;
  if (idle < 0) return idle;
  if (result < 0) return result;
  byte_count = 1;
  return 0;
}

int RS232::Write(const char* buffer, int count, long timeoutMs, const char* terminator) {
  byte_count = 0;
  elapsed_time = 0;
  if (error_status < 0) return error_status;
  if (count < 0 || (buffer == nullptr && count > 0)) return kGeneralWarning;

  const uint32_t start = TickCount();
  uint32_t total = 0;
  size_t left = buffer == nullptr ? 0 : (count == 0 ? std::strlen(buffer) : static_cast<size_t>(count));
  int result = 0;
  int idle = 0;
  for (;;) {
    result = 0;
    if (left > 0) {
      const int chunk = left > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(left);
      result = WriteBuffer(buffer, chunk);
      const uint32_t moved = byte_count < static_cast<uint32_t>(chunk) ? byte_count
                                                                         : static_cast<uint32_t>(chunk);
      total += moved;
      buffer += moved;
      left -= moved;
    }
    if (left == 0 && terminator != nullptr) {
      // The terminator goes out right after the block, as part of the same operation.
      buffer = terminator;
      left = std::strlen(terminator);
      terminator = nullptr;
      continue;
    }
    if (result == kTimeout && left != 0) {
      if (DeadlinePassed(start, timeoutMs)) break;
      idle = IdleFunction();
      if (idle < 0) break;
      continue;
    }
    IdleFunction();
    break;
  }
  elapsed_time = Since(start);
  byte_count = total;
  if (idle < 0) return idle;
  if (result < 0) return result;
  return left == 0 ? 0 : kTimeout;
}

int RS232::Read(char* buffer, int count, long timeoutMs) {
  byte_count = 0;
  elapsed_time = 0;
  if (error_status < 0) return error_status;
  if (count < 0 || (buffer == nullptr && count > 0)) return kGeneralWarning;
  if (count == 0) return 0;

  const uint32_t start = TickCount();
  uint32_t total = 0;
  int left = count;
  auto attempt = [&]() {
    const int r = ReadBuffer(buffer, left);
    // A device never gets to claim more than it was asked for.
    const int moved = byte_count < static_cast<uint32_t>(left) ? static_cast<int>(byte_count) : left;
    total += static_cast<uint32_t>(moved);
    buffer += moved;
    left -= moved;
    return r;
  };

  int idle = 0;
  bool stopped = false;
  int result = attempt();
  while (result == kTimeout && left != 0) {
    if (DeadlinePassed(start, timeoutMs)) {
      stopped = true;
      break;
    }
    idle = IdleFunction();
    if (idle < 0) {
      stopped = true;
      break;
    }
    result = attempt();
  }
  if (!stopped) idle = IdleFunction();
  byte_count = total;
  elapsed_time = Since(start);
  if (idle < 0) return idle;
  return result;
}

}  // namespace kelvt
