#include "sim/board_list.h"

#include <cctype>

namespace kelvt::sim {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

char TagFor(int position) {
  return position <= 9 ? static_cast<char>('0' + position)
                       : static_cast<char>('A' + position - 10);
}

bool Fail(std::string& error, int index, std::string_view entry, const std::string& why) {
  error = "board " + std::to_string(index) + " (\"" + std::string(entry) + "\"): " + why;
  return false;
}

}  // namespace

bool ParseBoardList(std::string_view text, std::vector<SimBoard>& boards, std::string& error) {
  boards.clear();
  error.clear();
  text = Trim(text);
  if (text.empty() || text == "none") return true;

  std::vector<SimBoard> parsed;
  int index = 0;
  int emitters = 0;
  int receivers = 0;
  while (true) {
    const size_t comma = text.find(',');
    const std::string_view entry = Trim(text.substr(0, comma));
    ++index;
    std::string_view rest = entry;
    if (rest.empty()) return Fail(error, index, entry, "empty entry");

    SimBoard board;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    if (kind != 'E' && kind != 'R') {
      return Fail(error, index, entry, "kind must be E (emitter) or R (receiver)");
    }
    board.kind = kind;
    rest.remove_prefix(1);

    if (rest.substr(0, 2) == "16") {
      board.channel_code = 'G';
      rest.remove_prefix(2);
    } else if (!rest.empty() && rest[0] != ':' && rest[0] != '*' &&
               std::isprint(static_cast<unsigned char>(rest[0]))) {
      board.channel_code = rest[0] == 'g' ? 'G' : rest[0];
      rest.remove_prefix(1);
    } else {
      return Fail(error, index, entry, "channel size missing (8, G or 16)");
    }

    if (!rest.empty() && rest[0] == ':') {
      rest.remove_prefix(1);
      if (rest.empty() || rest[0] == '*' || !std::isprint(static_cast<unsigned char>(rest[0]))) {
        return Fail(error, index, entry, "error code missing after ':'");
      }
      board.error_code = rest[0];
      rest.remove_prefix(1);
    }

    int count = 1;
    if (!rest.empty() && rest[0] == '*') {
      rest.remove_prefix(1);
      if (rest.empty() || rest.size() > 2) return Fail(error, index, entry, "count must be 1..24");
      count = 0;
      for (char c : rest) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
          return Fail(error, index, entry, "count must be 1..24");
        }
        count = count * 10 + (c - '0');
      }
      rest = {};
      if (count < 1 || count > kMaxSimBoards) return Fail(error, index, entry, "count must be 1..24");
    }
    if (!rest.empty()) return Fail(error, index, entry, "unexpected \"" + std::string(rest) + "\"");

    for (int i = 0; i < count; ++i) {
      if (static_cast<int>(parsed.size()) >= kMaxSimBoards) {
        error = "more than " + std::to_string(kMaxSimBoards) + " boards";
        return false;
      }
      int& position = board.kind == 'E' ? emitters : receivers;
      board.tag = TagFor(++position);
      parsed.push_back(board);
    }

    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  boards = std::move(parsed);
  return true;
}

int BoardChannels(const SimBoard& board) {
  if (board.channel_code == '8') return 8;
  if (board.channel_code == 'G') return 16;
  return 0;
}

int BeamCount(const std::vector<SimBoard>& boards) {
  int total = 0;
  for (const SimBoard& b : boards) total += BoardChannels(b);
  return total / 2;
}

}  // namespace kelvt::sim
