#pragma once
// The boards the simulated controller reports in its diagnostics, given on
// the command line as a list such as "EG*2,R8,R8:3":
//
//   entry  = kind size [":" error] ["*" count]
//   kind   = E (emitter bar) | R (receiver bar)
//   size   = 8 | G | 16      (8 or 16 channels; any other single character
//                             is sent as it is, a board the tool cannot size)
//   error  = one character, '0' no error, '1'..'9', 'A'..'I' the controller's
//            codes, anything else an invalid code
//   count  = 1..24, the same board repeated
//
// "none" or an empty text is a controller that finds no boards.

#include <string>
#include <string_view>
#include <vector>

namespace kelvt::sim {

struct SimBoard {
  char kind = 'E';          // 'E' or 'R'
  char tag = '1';           // position on its bar, '1'..'9' then 'A'..
  char channel_code = '8';  // '8', 'G' or anything the tool will show as "??"
  char error_code = '0';
};

// A diagnostics reply holds at most this many boards.
inline constexpr int kMaxSimBoards = 24;

// Parses `text` into `boards`. On failure returns false, leaves `boards`
// empty and says why in `error`.
bool ParseBoardList(std::string_view text, std::vector<SimBoard>& boards, std::string& error);

// Channels of one board: 8, 16, or 0 for a code the tool cannot size.
int BoardChannels(const SimBoard& board);

// Beams across the curtain: the channels of both bars together, halved, as
// the tool counts them.
int BeamCount(const std::vector<SimBoard>& boards);

}  // namespace kelvt::sim
