#include "link/controller_link.h"

#include <cstring>

#include "platform/tick.h"
#include "psf/psf_image.h"

namespace kelvt {
namespace {

constexpr char kPsfInputLetter = 'D';
constexpr char kPsfAckLetter = 'J';

// Reply windows and settle delays of the protocol (milliseconds).
constexpr long kWakeWindowMs = 200;
constexpr unsigned kPsfSettleMs = 200;
constexpr long kPsfAckWindowMs = 250;
constexpr long kPsfReplyWindowMs = 1000;
constexpr unsigned kFrame21SettleMs = 100;
constexpr long kFrame21WindowMs = 1000;
constexpr unsigned kEscapeSettleMs = 200;
constexpr long kEscapeWindowMs = 2500;

constexpr int kFrame21Size = 21;
constexpr int kMaxEscapeText = 100;  // texts of this length or longer are refused
constexpr int kPsfTries = 3;

}  // namespace

ControllerLink::ControllerLink(RS232* p)
    : port(p), rx_buffer(new char[kRxSize]()), tx_buffer(new char[kTxSize]()) {}

ControllerLink::~ControllerLink() = default;

ControllerLink::CommandScope::CommandScope(ControllerLink& link)
    : link_(link), refused_(link.commands_on_line++ > 0) {
  if (refused_) ++link_.refused_commands;
}

void ControllerLink::ZeroFill(char* buffer, int length) {
  if (buffer == nullptr || length <= 0) return;
  std::memset(buffer, 0, static_cast<size_t>(length));
}

int ControllerLink::WriteTx(int count) {
  return port->Write(tx_buffer.get(), count, 0, nullptr);
}

int ControllerLink::ReadRx(int count, long timeoutMs) {
  return port->Read(rx_buffer.get(), count, timeoutMs);
}

int ControllerLink::SendWakeByte() {
  CommandScope scope(*this);
  return scope.Refused() ? 0 : WriteWakeByte();
}

int ControllerLink::WriteWakeByte() {
  if (!port) return 0;
  return port->Write(static_cast<unsigned char>(kWake), 0) == 0 ? 1 : 0;
}

int ControllerLink::Synchronize(SyncReply& reply) {
  CommandScope scope(*this);
  return scope.Refused() ? 0 : Wake(reply);
}

int ControllerLink::Wake(SyncReply& reply) {
  if (!port) return 0;
  port->ClearRxBuffer();
  int i = baud_index;
  do {
    if (port->SetLineParameters(BaudRateTable[i], -1, -1, -1) != 0) return 0;
    if (!WriteWakeByte()) return 0;
    // Asks for more than ever comes, so this gathers the whole window.
    const int result = ReadRx(kRxSize, kWakeWindowMs);
    if (result != 0 && result != kTimeout) return 0;
    uint32_t n = port->ByteCount();
    if (n > static_cast<uint32_t>(kRxSize)) n = kRxSize;
    // Only the last four bytes count: noise or an echo may come first.
    if (n >= 4) {
      const char* tail = rx_buffer.get() + (n - 4);
      if (tail[0] == kFs && tail[3] == kLf) {
        reply.controller_id = tail[1];
        reply.aux = tail[2];
        baud_index = i;
        controller_id = tail[1];
        return 1;
      }
    }
    i = i == 2 ? 0 : i + 1;
  } while (i != baud_index);
  return 0;
}

int ControllerLink::SelectBaudIndex(int index) {
  CommandScope scope(*this);
  if (scope.Refused()) return 0;
  if (!port || index < 0 || index > 2) return 0;
  if (index == baud_index) return 1;
  if (port->SetLineParameters(BaudRateTable[index], -1, -1, -1) != 0) return 0;
  baud_index = index;
  return 1;
}

int ControllerLink::OutputPsf(PsfImage& psf) {
  CommandScope scope(*this);
  if (scope.Refused()) return 0;
  psf_frame_sent = false;
  if (!port) return 0;
  for (int attempt = 0; attempt < kPsfTries; ++attempt) {
    SyncReply sync;
    if (!Wake(sync)) continue;
    ZeroFill(tx_buffer.get(), kTxSize);
    psf.BuildOutputFrame(tx_buffer.get(), sync.controller_id);
    psf_frame_sent = true;  // even a partial write may have reached the controller
    if (WriteTx(kPsfFrameSize) != 0) continue;
    BusyWait(kPsfSettleMs);
    if (ReadRx(4, kPsfAckWindowMs) != 0) continue;
    const char* ack = rx_buffer.get();
    if (ack[0] == kFs && ack[2] == kPsfAckLetter && ack[3] == kCr) {
      controller_id = ack[1];
      return 1;
    }
  }
  return 0;
}

void ControllerLink::BuildShortRequest(char id, char letter) {
  ZeroFill(tx_buffer.get(), kTxSize);
  char* tx = tx_buffer.get();
  tx[0] = kEsc;
  tx[1] = id;
  tx[2] = letter;
  tx[3] = kCr;
}

bool ControllerLink::LineErrorsSeen() {
  // Query all four so that each is cleared; a port without a query answers
  // a negative code, which is no error seen.
  const int parity = port->ParityError(1);
  const int framing = port->FramingError(1);
  const int overrun = port->OverrunError(1);
  const int overflow = port->RxOverflow(1);
  return parity == 1 || framing == 1 || overrun == 1 || overflow == 1;
}

void ControllerLink::BuildPsfRequest(char id) { BuildShortRequest(id, kPsfInputLetter); }

int ControllerLink::InputPsf(PsfImage& psf) {
  CommandScope scope(*this);
  if (scope.Refused()) return 0;
  if (!port) return 0;
  SyncReply sync;
  if (!Wake(sync)) return 0;
  BuildPsfRequest(sync.controller_id);
  // The wake-up at other rates may have raised flags: only errors counted
  // during this reply count against it.
  LineErrorsSeen();
  if (WriteTx(4) != 0) return 0;
  BusyWait(kPsfSettleMs);
  if (ReadRx(kPsfFrameSize, kPsfReplyWindowMs) != 0) return 0;
  // A byte the port flagged (parity, framing, overrun) is not the
  // controller's: the reply fails like an incomplete one.
  if (LineErrorsSeen()) return 0;
  return psf.FromControllerReply(rx_buffer.get()) ? 1 : 0;
}

int ControllerLink::ExchangeFrame21(char* frame) {
  CommandScope scope(*this);
  if (scope.Refused()) return 0;
  if (!port || frame == nullptr) return 0;
  SyncReply sync;
  if (!Wake(sync)) return 0;
  frame[1] = sync.controller_id;
  std::memcpy(tx_buffer.get(), frame, kFrame21Size);
  // Only errors counted during this reply count against it.
  LineErrorsSeen();
  reply_flagged = false;
  if (WriteTx(kFrame21Size) != 0) return 0;
  BusyWait(kFrame21SettleMs);
  if (ReadRx(kFrame21Size, kFrame21WindowMs) != 0) return 0;
  reply_flagged = LineErrorsSeen();
  if (reply_flagged) return 0;
  std::memcpy(frame, rx_buffer.get(), kFrame21Size);
  return 1;
}

int ControllerLink::SendEscapeCommand(char* text) {
  if (text == nullptr) return kEscapeRefused;
  // Never look further than the longest text that could be accepted.
  const size_t len = strnlen(text, kMaxEscapeText);
  if (len < 2 || len >= static_cast<size_t>(kMaxEscapeText) || text[0] != kEsc) {
    return kEscapeRefused;
  }
  if (!port) return kPortNotOpened;
  CommandScope scope(*this);
  if (scope.Refused()) return kLinkBusy;
  std::memcpy(tx_buffer.get(), text, len);
  LineErrorsSeen();
  reply_flagged = false;
  int result = WriteTx(static_cast<int>(len));
  if (result != 0) return result;
  BusyWait(kEscapeSettleMs);
  result = ReadRx(kFrame21Size, kEscapeWindowMs);
  if (result != 0) return result;
  // The caller checks the reply; a flagged one confirms nothing.
  reply_flagged = LineErrorsSeen();
  std::memcpy(text, rx_buffer.get(), kFrame21Size);
  return 0;
}

}  // namespace kelvt
