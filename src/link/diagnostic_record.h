#pragma once
// The controller's diagnostics reply: boards on each bar with their channel
// counts and error codes, the derived system state, part number and date code.

namespace kelvt {

struct BoardEntry {
  char board_tag = 0;
  char channel_code = 0;  // '8' eight channels, 'G' sixteen
  char error_code = 0;    // '0' no error
};

enum SystemState : int {
  kEmitterError = 0,
  kReceiverError = 1,
  kEmitRcvErrors = 2,
  kOperational = 3,
  kUnknownState = 4,
};

inline constexpr int kMaxBoards = 12;

class DiagnosticRecord {
 public:
  DiagnosticRecord() = default;

  // 1 when the reply is complete and well framed, else 0. Never reads at or
  // past `count` bytes of `reply`: bytes beyond it count as NUL.
  //
  // At most kMaxBoards boards of each kind are kept; further boards of that
  // kind are not stored (dropped_boards counts them) but the walk goes on
  // through them, and their channels and error codes still count, so the
  // part number and date code are found, total_channels is the curtain's and
  // a fault on a board beyond the capacity still shows in the state.
  //
  // A kind without any board counts as faulty for the state: a curtain with
  // a bar missing is never Operational (the dialog shows "Sensor Not
  // Responding" for it anyway, and alignment refuses to run).
  int Decode(const char* reply, int count);

  const char* SystemStateName() const;
  static const char* ErrorCodeName(char code);
  static const char* ChannelCountText(const BoardEntry& board);

  int emitter_count = 0;
  int receiver_count = 0;
  int total_channels = 0;
  BoardEntry emitter_boards[kMaxBoards];
  BoardEntry receiver_boards[kMaxBoards];
  int system_state = kUnknownState;
  char part_number[7] = {};
  char date_code[5] = {};
  bool emitter_error = false;   // some emitter board reported an error
  bool receiver_error = false;  // some receiver board reported an error
  int dropped_boards = 0;       // boards listed beyond the capacity of their kind
};

// Names of the system states, indexed by SystemState.
const char* SystemStateNameOf(int state);

}  // namespace kelvt
