// The diagnostics record: decoding, derived state, name tables and bad replies.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/diagnostic_record.h"

namespace kelvt {
namespace {

// Boards as they travel: letter, tag, channel code, error code.
std::string Reply(const std::string& boards, const std::string& part = "123456",
                  const std::string& date = "0124", char last = '\r') {
  return "\x1c" "AI" + boards + "*" + part + date + last;
}

// Hands the record exactly `bytes` in a buffer of that size, so that any read
// at or past `count` is caught by the address sanitizer.
int DecodeExact(DiagnosticRecord& d, const std::string& bytes) {
  std::unique_ptr<char[]> exact(new char[bytes.size() + (bytes.empty() ? 1 : 0)]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return d.Decode(exact.get(), static_cast<int>(bytes.size()));
}

TEST(DiagnosticRecord, ConstructedEmptyWithUnknownState) {
  DiagnosticRecord d;
  EXPECT_EQ(d.emitter_count, 0);
  EXPECT_EQ(d.receiver_count, 0);
  EXPECT_EQ(d.total_channels, 0);
  EXPECT_STREQ(d.SystemStateName(), "Unknown");
}

TEST(DiagnosticRecord, FifteenByteReplyHasNoBoardsButPartNumberAndDateCode) {
  DiagnosticRecord d;
  const std::string r = Reply("");
  ASSERT_EQ(r.size(), 15u);
  EXPECT_EQ(DecodeExact(d, r), 1);
  EXPECT_EQ(d.emitter_count, 0);
  EXPECT_EQ(d.receiver_count, 0);
  EXPECT_EQ(d.total_channels, 0);
  EXPECT_STREQ(d.part_number, "123456");
  EXPECT_STREQ(d.date_code, "0124");
  EXPECT_EQ(d.system_state, kEmitRcvErrors) << "a curtain without boards is not operational";
}

TEST(DiagnosticRecord, TwoGoodEmittersAndTwoFaultyReceivers) {
  DiagnosticRecord d;
  EXPECT_EQ(DecodeExact(d, Reply("E180" "E280" "R1G3" "R2G3")), 1);
  EXPECT_EQ(d.emitter_count, 2);
  EXPECT_EQ(d.receiver_count, 2);
  EXPECT_EQ(d.total_channels, 48);
  EXPECT_EQ(d.system_state, kReceiverError);
  EXPECT_STREQ(d.SystemStateName(), "Reciever Error");
  EXPECT_EQ(d.emitter_boards[1].board_tag, '2');
  EXPECT_EQ(d.receiver_boards[0].channel_code, 'G');
  for (int k = 0; k < 2; ++k) {
    EXPECT_STREQ(DiagnosticRecord::ErrorCodeName(d.receiver_boards[k].error_code), "3 Channel 3");
    EXPECT_STREQ(DiagnosticRecord::ErrorCodeName(d.emitter_boards[k].error_code), "0 No Errors");
  }
}

struct StateCase {
  std::string boards;
  int state;
  const char* name;
};

TEST(DiagnosticRecord, StateFromTheErrorsOfEachKind) {
  const StateCase cases[] = {
      {"E180R180", kOperational, "Operational"},
      {"E181R180", kEmitterError, "Emitter Error"},
      {"E180R18H", kReceiverError, "Reciever Error"},
      {"E18IR18A", kEmitRcvErrors, "Emit/Rcv Errors"},
      {"R180E180E18J", kEmitterError, "Emitter Error"},  // 'J' is no valid code: still an error
      {"E18:R180", kEmitterError, "Emitter Error"},
      // A kind with no boards at all is as bad as a faulty one.
      {"E180", kReceiverError, "Reciever Error"},
      {"R180R180", kEmitterError, "Emitter Error"},
      {"E181", kEmitRcvErrors, "Emit/Rcv Errors"},
      {"", kEmitRcvErrors, "Emit/Rcv Errors"},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.boards);
    DiagnosticRecord d;
    EXPECT_EQ(DecodeExact(d, Reply(c.boards)), 1);
    EXPECT_EQ(d.system_state, c.state);
    EXPECT_STREQ(d.SystemStateName(), c.name);
  }
}

TEST(DiagnosticRecord, FlagsKeepOnlyWhatTheBoardsReported) {
  DiagnosticRecord d;
  ASSERT_EQ(DecodeExact(d, Reply("E180")), 1);
  EXPECT_FALSE(d.emitter_error);
  EXPECT_FALSE(d.receiver_error);
  ASSERT_EQ(DecodeExact(d, Reply("R185")), 1);
  EXPECT_FALSE(d.emitter_error);
  EXPECT_TRUE(d.receiver_error);
}

TEST(DiagnosticRecord, UnknownChannelCodeAddsNothingAndShowsQuestionMarks) {
  DiagnosticRecord d;
  ASSERT_EQ(DecodeExact(d, Reply("E140" "R1G0" "R180")), 1);
  EXPECT_EQ(d.total_channels, 24);
  EXPECT_STREQ(DiagnosticRecord::ChannelCountText(d.emitter_boards[0]), "??");
  EXPECT_STREQ(DiagnosticRecord::ChannelCountText(d.receiver_boards[0]), "16");
  EXPECT_STREQ(DiagnosticRecord::ChannelCountText(d.receiver_boards[1]), "8");
  const char others[] = {'g', '0', '\0', '\xff', '9'};
  for (char c : others) EXPECT_STREQ(DiagnosticRecord::ChannelCountText(BoardEntry{'1', c, '0'}), "??");
}

TEST(DiagnosticRecord, MissingCarriageReturnFillsEverythingButFails) {
  DiagnosticRecord d;
  EXPECT_EQ(DecodeExact(d, Reply("E180R1G2", "ABCDEF", "9912", '\n')), 0);
  EXPECT_EQ(d.emitter_count, 1);
  EXPECT_EQ(d.receiver_count, 1);
  EXPECT_EQ(d.total_channels, 24);
  EXPECT_EQ(d.system_state, kReceiverError);
  EXPECT_STREQ(d.part_number, "ABCDEF");
  EXPECT_STREQ(d.date_code, "9912");
}

TEST(DiagnosticRecord, WrongHeaderZeroesTheCountsAndKeepsTheRest) {
  DiagnosticRecord d;
  ASSERT_EQ(DecodeExact(d, Reply("E180R180", "PARTNO", "0101")), 1);
  for (const std::string& bad : {std::string("\x1b" "AI*1234560124\r"),
                                std::string("\x1c" "AH*1234560124\r"), std::string(),
                                std::string("\x1c"), std::string("\x1c" "A")}) {
    SCOPED_TRACE(bad.size());
    EXPECT_EQ(DecodeExact(d, bad), 0);
    EXPECT_EQ(d.emitter_count, 0);
    EXPECT_EQ(d.receiver_count, 0);
    EXPECT_EQ(d.total_channels, 0);
    EXPECT_EQ(d.system_state, kOperational);
    EXPECT_STREQ(d.part_number, "PARTNO");
    EXPECT_EQ(d.emitter_boards[0].channel_code, '8');
  }
  EXPECT_EQ(d.Decode(nullptr, 20), 0);
}

TEST(DiagnosticRecord, PartNumberAndDateCodeStopAtANul) {
  DiagnosticRecord d;
  ASSERT_EQ(DecodeExact(d, Reply("E180R180", std::string("12\0" "456", 6), std::string("01\0" "4", 4))), 1);
  EXPECT_STREQ(d.part_number, "12");
  EXPECT_STREQ(d.date_code, "01");
}

TEST(DiagnosticRecord, ErrorCodeNames) {
  const std::pair<char, const char*> cases[] = {
      {'0', "0 No Errors"},    {'1', "1 Channel 1"},    {'5', "5 Channel 5"},
      {'9', "9 Channel 9"},    {'A', "A Channel 10"},   {'B', "B Channel 11"},
      {'C', "C Channel 12"},   {'D', "D Channel 13"},   {'E', "E Channel 14"},
      {'F', "F Channel 15"},   {'G', "G Channel 16"},   {'H', "H End Of Board"},
      {'I', "I End of Scan"},  {'J', "Invalid Error Code"}, {':', "Invalid Error Code"},
      {'/', "Invalid Error Code"}, {'@', "Invalid Error Code"}, {'a', "Invalid Error Code"},
      {'\0', "Invalid Error Code"}, {'\xff', "Invalid Error Code"},
  };
  for (const auto& [code, name] : cases) {
    SCOPED_TRACE(static_cast<int>(code));
    EXPECT_STREQ(DiagnosticRecord::ErrorCodeName(code), name);
  }
}

TEST(DiagnosticRecord, StateNames) {
  const char* names[] = {"Emitter Error", "Reciever Error", "Emit/Rcv Errors", "Operational",
                         "Unknown"};
  for (int s = 0; s < 5; ++s) EXPECT_STREQ(SystemStateNameOf(s), names[s]);
  EXPECT_STREQ(SystemStateNameOf(-1), "Unknown");
  EXPECT_STREQ(SystemStateNameOf(5), "Unknown");
}

// More boards of one kind than the record holds: the first 12 are kept, the
// others are walked over, counted as dropped, and still count for channels
// and errors; the part number after them is still found.
TEST(DiagnosticRecord, BoardsBeyondTwelveOfAKindAreWalkedButNotStored) {
  std::string boards;
  for (int k = 0; k < 24; ++k) boards += std::string("E") + static_cast<char>('a' + k) + (k == 20 ? "G7" : "80");
  DiagnosticRecord d;
  const std::string r = Reply(boards, "FULL24", "2401");
  ASSERT_EQ(r.size(), 111u);
  EXPECT_EQ(DecodeExact(d, r), 1);
  EXPECT_EQ(d.emitter_count, 12);
  EXPECT_EQ(d.receiver_count, 0);
  EXPECT_EQ(d.dropped_boards, 12);
  EXPECT_EQ(d.emitter_boards[11].board_tag, 'l');
  EXPECT_EQ(d.total_channels, 23 * 8 + 16);
  EXPECT_TRUE(d.emitter_error) << "the fault on board 21 is not lost";
  EXPECT_STREQ(d.part_number, "FULL24");
  EXPECT_STREQ(d.date_code, "2401");

  std::string mixed;
  for (int k = 0; k < 13; ++k) mixed += "R180";
  mixed += "E180";
  ASSERT_EQ(DecodeExact(d, Reply(mixed)), 1);
  EXPECT_EQ(d.receiver_count, 12);
  EXPECT_EQ(d.emitter_count, 1);
  EXPECT_EQ(d.dropped_boards, 1);
  EXPECT_EQ(d.total_channels, 14 * 8);
  EXPECT_EQ(d.system_state, kOperational);
}

TEST(DiagnosticRecord, EveryTruncationIsReadWithinItsCount) {
  const std::string full = Reply("E180" "E2G0" "R180" "R2G0", "ABCDEF", "0124");
  for (size_t n = 0; n <= full.size(); ++n) {
    SCOPED_TRACE(n);
    DiagnosticRecord d;
    const int result = DecodeExact(d, full.substr(0, n));
    EXPECT_EQ(result, n == full.size() ? 1 : 0);
    EXPECT_LE(d.emitter_count, 2);
    EXPECT_LE(std::string(d.part_number).size(), 6u);
    EXPECT_LE(std::string(d.date_code).size(), 4u);
  }
  // Cut inside the board list: the boards present are kept, the rest is absent.
  DiagnosticRecord d;
  EXPECT_EQ(DecodeExact(d, full.substr(0, 10)), 0);
  EXPECT_EQ(d.emitter_count, 2);
  EXPECT_EQ(d.emitter_boards[1].channel_code, 'G');
  EXPECT_EQ(d.emitter_boards[1].error_code, '\0');
  EXPECT_EQ(d.receiver_count, 0);
  EXPECT_STREQ(d.part_number, "");
}

}  // namespace
}  // namespace kelvt
