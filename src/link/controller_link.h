#pragma once
// The command protocol spoken with the controller over one open port:
// wake-up and baud search, PSF transfer, 21-byte and escape frames,
// diagnostics and scans. The link shows no messages: every command returns
// non-zero for success and 0 for failure (SendEscapeCommand: 0 or the
// serial error code), and the caller tells the user.

#include <cstdint>
#include <memory>

#include "serial/rs232.h"

namespace kelvt {

class PsfImage;
class DiagnosticRecord;
class ScanRecord;

inline constexpr int32_t BaudRateTable[3] = {9600, 19200, 38400};

// Bytes on the line.
inline constexpr char kWake = static_cast<char>(0xF8);
inline constexpr char kEsc = 0x1B;
inline constexpr char kFs = 0x1C;
inline constexpr char kCr = 0x0D;
inline constexpr char kLf = 0x0A;

struct SyncReply {
  char controller_id = 0;
  char aux = 0;
};

class ControllerLink {
 public:
  static constexpr int kRxSize = 4000;
  static constexpr int kTxSize = 1024;

  // Takes ownership of the open port.
  explicit ControllerLink(RS232* port);
  ~ControllerLink();
  ControllerLink(const ControllerLink&) = delete;
  ControllerLink& operator=(const ControllerLink&) = delete;

  int Synchronize(SyncReply& reply);
  int SelectBaudIndex(int index);
  int SendWakeByte();
  int OutputPsf(PsfImage& psf);
  int InputPsf(PsfImage& psf);
  int ExchangeFrame21(char* frame);
  int SendEscapeCommand(char* text);
  int InputDiagnostics(DiagnosticRecord& diag);
  int Scan(ScanRecord& scan);

  void BuildPsfRequest(char id);
  void BuildDiagnosticsRequest(char id);
  static void ZeroFill(char* buffer, int length);

  int BaudIndex() const { return baud_index; }
  char ControllerId() const { return controller_id; }
  RS232* Port() const { return port.get(); }
  const char* RxBuffer() const { return rx_buffer.get(); }
  const char* TxBuffer() const { return tx_buffer.get(); }

 private:
  std::unique_ptr<RS232> port;
  std::unique_ptr<char[]> rx_buffer;
  std::unique_ptr<char[]> tx_buffer;
  int baud_index = 0;
  char controller_id = 0;
};

}  // namespace kelvt
