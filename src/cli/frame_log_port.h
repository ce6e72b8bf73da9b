#pragma once
// A serial port that passes everything to the port it wraps and writes what
// crosses the line to a log: each frame sent, each reply received (the raw
// reads of one reply gathered into one line), rate changes and buffer
// clears, with the milliseconds since the port was wrapped.
//
//      412 ms  -> F8                                  .
//      612 ms  <- 1C 41 30 0A                         .A0.

#include <memory>
#include <ostream>
#include <string>

#include "serial/rs232.h"

namespace kelvt::cli {

class FrameLogPort : public RS232 {
 public:
  FrameLogPort(std::unique_ptr<RS232> inner, std::ostream& log);
  ~FrameLogPort() override;

  int ReadBuffer(char* buffer, int count) override;
  int WriteBuffer(const char* buffer, int count) override;
  int ReadByte() override;
  int WriteByte(int byte) override;
  int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
  int ParityError(int clear) override { return inner_->ParityError(clear); }
  int BreakDetected(int clear) override { return inner_->BreakDetected(clear); }
  int FramingError(int clear) override { return inner_->FramingError(clear); }
  int OverrunError(int clear) override { return inner_->OverrunError(clear); }
  int SendBreak(long milliseconds) override;
  int RxOverflow(int clear) override { return inner_->RxOverflow(clear); }
  int XonXoffHandshaking(int setting) override { return inner_->XonXoffHandshaking(setting); }
  int ClearRxBuffer() override;
  int ClearTxBuffer() override;
  const char* ErrorName(int code) override { return inner_->ErrorName(code); }

  RS232& Inner() { return *inner_; }

  // Bytes shown per log line; longer frames continue on the next lines.
  static constexpr int kBytesPerLine = 16;

 private:
  void Note(const std::string& text);
  void Dump(const char* arrow, const std::string& bytes);
  void FlushReceived();
  void SyncState();

  std::unique_ptr<RS232> inner_;
  std::ostream& log_;
  uint32_t start_;
  std::string received_;  // bytes of the reply being gathered
};

// One log line: elapsed time, direction, hex bytes padded to a fixed width,
// then the printable characters ('.' for the others).
std::string FormatFrameLine(uint32_t elapsed_ms, const char* arrow, const char* bytes, int count);

}  // namespace kelvt::cli
