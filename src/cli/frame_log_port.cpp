#include "cli/frame_log_port.h"

#include <cstdio>

#include "platform/tick.h"

namespace kelvt::cli {

std::string FormatFrameLine(uint32_t elapsed_ms, const char* arrow, const char* bytes, int count) {
  char head[32];
  std::snprintf(head, sizeof head, "%7u ms  %s", static_cast<unsigned>(elapsed_ms), arrow);
  std::string line = head;
  std::string text;
  for (int i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02X", byte);
    line += hex;
    text += (byte >= 0x20 && byte < 0x7F) ? static_cast<char>(byte) : '.';
  }
  for (int i = count; i < FrameLogPort::kBytesPerLine; ++i) line += "   ";
  line += "  ";
  line += text;
  return line;
}

FrameLogPort::FrameLogPort(std::unique_ptr<RS232> inner, std::ostream& log)
    : inner_(std::move(inner)), log_(log), start_(TickCount()) {
  port_number = inner_->PortNumber();
  saved_settings = inner_->SavedSettings();
  SyncState();
}

FrameLogPort::~FrameLogPort() { FlushReceived(); }

void FrameLogPort::SyncState() {
  error_status = inner_->ErrorStatus();
  settings = inner_->Settings();
}

void FrameLogPort::Note(const std::string& text) {
  char head[32];
  std::snprintf(head, sizeof head, "%7u ms  ", static_cast<unsigned>(TickCount() - start_));
  log_ << head << text << '\n';
  log_.flush();
}

void FrameLogPort::Dump(const char* arrow, const std::string& bytes) {
  const uint32_t elapsed = TickCount() - start_;
  const int total = static_cast<int>(bytes.size());
  for (int at = 0; at < total; at += kBytesPerLine) {
    const int n = total - at < kBytesPerLine ? total - at : kBytesPerLine;
    log_ << FormatFrameLine(elapsed, at == 0 ? arrow : "  ", bytes.data() + at, n) << '\n';
  }
  log_.flush();
}

void FrameLogPort::FlushReceived() {
  if (received_.empty()) return;
  Dump("<-", received_);
  received_.clear();
}

int FrameLogPort::ReadBuffer(char* buffer, int count) {
  const int result = inner_->ReadBuffer(buffer, count);
  byte_count = inner_->ByteCount();
  if (byte_count > 0 && byte_count <= static_cast<uint32_t>(count)) {
    received_.append(buffer, byte_count);
  }
  SyncState();
  return result;
}

int FrameLogPort::WriteBuffer(const char* buffer, int count) {
  FlushReceived();
  const int result = inner_->WriteBuffer(buffer, count);
  byte_count = inner_->ByteCount();
  if (byte_count > 0 && byte_count <= static_cast<uint32_t>(count)) {
    Dump("->", std::string(buffer, byte_count));
  }
  if (result != 0) Note(std::string("-> write ended: ") + inner_->ErrorName(result));
  SyncState();
  return result;
}

int FrameLogPort::ReadByte() {
  const int result = inner_->ReadByte();
  if (result >= 0) received_ += static_cast<char>(result);
  SyncState();
  return result;
}

int FrameLogPort::WriteByte(int byte) {
  FlushReceived();
  const int result = inner_->WriteByte(byte);
  if (result == 0) {
    Dump("->", std::string(1, static_cast<char>(byte)));
  } else {
    Note(std::string("-> write ended: ") + inner_->ErrorName(result));
  }
  SyncState();
  return result;
}

int FrameLogPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
  FlushReceived();
  const int result = inner_->SetLineParameters(baud, parity, wordLength, stopBits);
  SyncState();
  std::string text = "== " + std::to_string(settings.baud) + " baud";
  if (result != 0) text += std::string(" (") + inner_->ErrorName(result) + ")";
  Note(text);
  return result;
}

int FrameLogPort::SendBreak(long milliseconds) {
  FlushReceived();
  Note("== break " + std::to_string(milliseconds) + " ms");
  const int result = inner_->SendBreak(milliseconds);
  SyncState();
  return result;
}

int FrameLogPort::ClearRxBuffer() {
  FlushReceived();
  const int result = inner_->ClearRxBuffer();
  SyncState();
  return result;
}

int FrameLogPort::ClearTxBuffer() {
  FlushReceived();
  const int result = inner_->ClearTxBuffer();
  SyncState();
  return result;
}

}  // namespace kelvt::cli
