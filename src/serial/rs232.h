#pragma once
// The abstract serial port: raw device operations supplied by a derived
// class, and timed reads and writes built on them that retry until a
// deadline. Every operation returns 0 or a negative error code; a negative
// sticky `error_status` makes the port unusable.

#include <cstdint>

#include "serial/port_settings.h"

namespace kelvt {

// Error codes of the serial layer.
enum SerialError : int {
  kSuccess = 0,
  kXonXoffNotSupported = -86,
  kDtrDsrNotSupported = -87,
  kRtsCtsNotSupported = -88,
  kRtsControlNotSupported = -89,
  kDtrControlNotSupported = -90,
  kNoTerminator = -91,
  kNoModemResponse = -92,
  kIllegalLineNumber = -93,
  kIllegalStopBits = -94,
  kIllegalWordLength = -95,
  kIllegalParity = -96,
  kIllegalBaudRate = -97,
  kTimeout = -98,
  kFunctionNotSupported = -99,
  kGeneralWarning = -100,
  kMemoryAllocationError = -194,
  kIllegalIrq = -195,
  kPortInUse = -196,
  kPortNotFound = -197,
  kIrqLineInUse = -198,
  kPortNotOpened = -199,  // status of a port that has not been opened; no name of its own
  kGeneralError = -200,
};

class RS232 {
 public:
  RS232();
  virtual ~RS232();  // slot 9
  RS232(const RS232&) = delete;
  RS232& operator=(const RS232&) = delete;

  // Slots 0-8: raw device operations.
  virtual int ReadBuffer(char* buffer, int count) = 0;
  virtual int WriteBuffer(const char* buffer, int count) = 0;
  virtual int ReadByte() = 0;
  virtual int WriteByte(int byte) = 0;
  virtual int SetLineParameters(long baud, int parity, int wordLength, int stopBits) = 0;
  virtual int ParityError(int clear) = 0;
  virtual int BreakDetected(int clear) = 0;
  virtual int FramingError(int clear) = 0;
  virtual int OverrunError(int clear) = 0;
  // Slots 10-12.
  virtual int SendBreak(long milliseconds);
  virtual int RxOverflow(int clear);
  virtual int XonXoffHandshaking(int setting);
  // Slots 13-17: reserved, -99.
  virtual int Reserved13(int);
  virtual int Reserved14(int);
  virtual int Reserved15(int, int);
  virtual int Reserved16();
  virtual int Reserved17();
  // Slots 18-22.
  virtual int ClearRxBuffer();
  virtual int ClearTxBuffer();
  virtual const char* ErrorName(int code);
  virtual int IdleFunction();
  virtual int FormatDebugLine(char* buffer, int line);

  // Timed operations. timeoutMs: -1 no deadline, 0 one attempt, >0 deadline.
  int Write(int byte, long timeoutMs);
  int Write(const char* buffer, int count, long timeoutMs, const char* terminator);
  int Read(char* buffer, int count, long timeoutMs);

  int ErrorStatus() const { return error_status; }
  uint32_t ByteCount() const { return byte_count; }
  int32_t ElapsedTime() const { return elapsed_time; }
  int PortNumber() const { return port_number; }
  const PortSettings& Settings() const { return settings; }
  const PortSettings& SavedSettings() const { return saved_settings; }

  // Longest line FormatDebugLine writes, NUL included.
  static constexpr int kDebugLineSize = 128;

 protected:
  int port_number = 0;
  PortSettings saved_settings;
  PortSettings settings;
  int error_status;
  uint32_t byte_count = 0;
  int32_t elapsed_time = 0;
};

// Names of the serial layer's own codes ("???" for any other code).
const char* RS232ErrorName(int code);

}  // namespace kelvt
