#pragma once
// The command protocol spoken with the controller over one open port:
// wake-up and baud search, PSF transfer, 21-byte and escape frames,
// diagnostics and scans. The link shows no messages: every command returns
// non-zero for success and 0 for failure (SendEscapeCommand: 0 or the
// serial error code), and the caller tells the user.
//
// The link allocates its two buffers once; no command allocates. All waits
// (settle delays, read windows) run on the tick source, so tests drive the
// whole timing with a virtual clock.
//
// The link is not re-entrant: its waits run the idle step, and a command
// started from a handler meanwhile is refused (it fails at once, sending
// and changing nothing) rather than interleaving its frames with the one on
// the line.

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

// What SendEscapeCommand returns for a text it refuses to send (shorter than
// 2, 100 or more characters, or not beginning with ESC): nothing was sent.
inline constexpr int kEscapeRefused = kGeneralWarning;
// What SendEscapeCommand returns when another command is on the line.
inline constexpr int kLinkBusy = kPortInUse;

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

  // Finds the controller: wakes it at each rate once, from the last rate
  // that worked, in the order 9600, 19200, 38400. 1 when it answered.
  int Synchronize(SyncReply& reply);
  // Switches the port to BaudRateTable[index] without talking; 0..2 only.
  int SelectBaudIndex(int index);
  int SendWakeByte();
  int OutputPsf(PsfImage& psf);
  int InputPsf(PsfImage& psf);
  // Sends the caller's 21-byte frame (byte 1 becomes the controller's
  // letter) and overwrites it with the 21-byte reply. A reply during which
  // the port flagged a line error fails like an incomplete one.
  int ExchangeFrame21(char* frame);
  // Sends a NUL-terminated text beginning with ESC (2..99 characters) without
  // a wake-up and overwrites its first 21 bytes with the reply: `text` must
  // point to at least 21 writable bytes. 0 on success, else the serial code
  // (kEscapeRefused when the text was refused and nothing was sent).
  int SendEscapeCommand(char* text);
  // Reads the diagnostics (15..111 bytes) into `diag`.
  int InputDiagnostics(DiagnosticRecord& diag);
  // One scan into `scan`, at the rate and letter of the last wake-up; up to
  // three tries, but only an incomplete exchange is tried again.
  int Scan(ScanRecord& scan);

  void BuildPsfRequest(char id);
  void BuildDiagnosticsRequest(char id);
  static void ZeroFill(char* buffer, int length);

  int BaudIndex() const { return baud_index; }
  // Whether the last OutputPsf put its frame on the line at least once (a
  // failed send that never found the controller changed nothing).
  bool PsfFrameSent() const { return psf_frame_sent; }
  // Whether the last Scan got its reply in full (when Scan failed, the
  // controller answered but the reply was rejected).
  bool ScanReplyComplete() const { return scan_reply_complete; }
  // Whether the port flagged a line error while the reply of the last
  // ExchangeFrame21 or SendEscapeCommand came: its bytes are not the
  // controller's.
  bool ReplyFlagged() const { return reply_flagged; }
  char ControllerId() const { return controller_id; }
  RS232* Port() const { return port.get(); }
  // Whether a command is on the line now, and how many were refused because one was.
  bool CommandOnLine() const { return commands_on_line > 0; }
  int RefusedCommands() const { return refused_commands; }
  const char* RxBuffer() const { return rx_buffer.get(); }
  const char* TxBuffer() const { return tx_buffer.get(); }

 private:
  // Holds the line for one command; a command begun while another holds it
  // is refused.
  class CommandScope {
   public:
    explicit CommandScope(ControllerLink& link);
    ~CommandScope() { --link_.commands_on_line; }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    bool Refused() const { return refused_; }

   private:
    ControllerLink& link_;
    bool refused_;
  };

  // Synchronize and SendWakeByte within a command that holds the line.
  int Wake(SyncReply& reply);
  int WriteWakeByte();
  int WriteTx(int count);
  int ReadRx(int count, long timeoutMs);
  // True when the port flagged a line error since the last call; clears the flags.
  bool LineErrorsSeen();
  // Zeroes the transmit buffer and places ESC, id, letter, CR at its start.
  void BuildShortRequest(char id, char letter);

  std::unique_ptr<RS232> port;
  std::unique_ptr<char[]> rx_buffer;
  std::unique_ptr<char[]> tx_buffer;
  int baud_index = 0;
  char controller_id = 0;
  bool psf_frame_sent = false;
  bool scan_reply_complete = false;
  int commands_on_line = 0;
  int refused_commands = 0;
  bool reply_flagged = false;
};

}  // namespace kelvt
