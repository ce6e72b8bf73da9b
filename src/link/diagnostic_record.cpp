#include "link/diagnostic_record.h"

#include <cstring>

namespace kelvt {
namespace {

constexpr char kDiagnosticsStart = 0x1C;
constexpr char kDiagnosticsEnd = 0x0D;
constexpr char kDiagnosticsReply = 'I';
constexpr int kPartNumberLength = 6;
constexpr int kDateCodeLength = 4;

const char* const kStateNames[] = {"Emitter Error", "Reciever Error", "Emit/Rcv Errors",
                                   "Operational", "Unknown"};

const char* const kChannelErrorNames[] = {
    "0 No Errors",   "1 Channel 1",   "2 Channel 2",    "3 Channel 3",    "4 Channel 4",
    "5 Channel 5",   "6 Channel 6",   "7 Channel 7",    "8 Channel 8",    "9 Channel 9",
    "A Channel 10",  "B Channel 11",  "C Channel 12",   "D Channel 13",   "E Channel 14",
    "F Channel 15",  "G Channel 16",  "H End Of Board", "I End of Scan"};

int ChannelsOf(char code) {
  if (code == '8') return 8;
  if (code == 'G') return 16;
  return 0;
}

}  // namespace

const char* SystemStateNameOf(int state) {
  if (state < kEmitterError || state > kUnknownState) return kStateNames[kUnknownState];
  return kStateNames[state];
}

const char* DiagnosticRecord::SystemStateName() const { return SystemStateNameOf(system_state); }

const char* DiagnosticRecord::ErrorCodeName(char code) {
  if (code >= '0' && code <= '9') return kChannelErrorNames[code - '0'];
  if (code >= 'A' && code <= 'I') return kChannelErrorNames[10 + (code - 'A')];
  return "Invalid Error Code";
}

const char* DiagnosticRecord::ChannelCountText(const BoardEntry& board) {
  if (board.channel_code == '8') return "8";
  if (board.channel_code == 'G') return "16";
  return "??";
}

int DiagnosticRecord::Decode(const char* reply, int count) {
  emitter_count = 0;
  receiver_count = 0;
  total_channels = 0;
  dropped_boards = 0;
  if (reply == nullptr || count < 0) count = 0;
  // Every byte is fetched through here: nothing at or past `count` is read.
  auto at = [reply, count](long k) -> char { return (k >= 0 && k < count) ? reply[k] : '\0'; };

  if (at(0) != kDiagnosticsStart || at(2) != kDiagnosticsReply) return 0;

  emitter_error = false;
  receiver_error = false;
  long i = 3;
  for (char kind = at(i); kind == 'E' || kind == 'R'; kind = at(i)) {
    const BoardEntry entry{at(i + 1), at(i + 2), at(i + 3)};
    const bool emitter = kind == 'E';
    int& n = emitter ? emitter_count : receiver_count;
    BoardEntry* boards = emitter ? emitter_boards : receiver_boards;
    if (n < kMaxBoards) {
      boards[n++] = entry;
    } else {
      ++dropped_boards;
    }
    total_channels += ChannelsOf(entry.channel_code);
    if (entry.error_code != '0') (emitter ? emitter_error : receiver_error) = true;
    i += 4;
  }

  // A bar without boards is as good as a faulty one.
  const bool emitter_bad = emitter_error || emitter_count == 0;
  const bool receiver_bad = receiver_error || receiver_count == 0;
  if (emitter_bad && receiver_bad) {
    system_state = kEmitRcvErrors;
  } else if (emitter_bad) {
    system_state = kEmitterError;
  } else if (receiver_bad) {
    system_state = kReceiverError;
  } else {
    system_state = kOperational;
  }

  std::memset(part_number, 0, sizeof part_number);
  for (int k = 0; k < kPartNumberLength && at(i + 1 + k) != '\0'; ++k) part_number[k] = at(i + 1 + k);
  std::memset(date_code, 0, sizeof date_code);
  for (int k = 0; k < kDateCodeLength && at(i + 7 + k) != '\0'; ++k) date_code[k] = at(i + 7 + k);

  return at(i + 11) == kDiagnosticsEnd ? 1 : 0;
}

}  // namespace kelvt
