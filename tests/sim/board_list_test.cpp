#include "sim/board_list.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kelvt::sim {
namespace {

// Boards written compactly as kind, tag, channel code, error code.
std::vector<std::string> Compact(const std::vector<SimBoard>& boards) {
  std::vector<std::string> out;
  for (const SimBoard& b : boards) {
    out.push_back({b.kind, b.tag, b.channel_code, b.error_code});
  }
  return out;
}

struct GoodCase {
  const char* text;
  std::vector<std::string> boards;
  int beams;
};

class BoardListGoodTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(BoardListGoodTest, Parses) {
  std::vector<SimBoard> boards;
  std::string error;
  ASSERT_TRUE(ParseBoardList(GetParam().text, boards, error)) << error;
  EXPECT_TRUE(error.empty());
  EXPECT_EQ(Compact(boards), GetParam().boards);
  EXPECT_EQ(BeamCount(boards), GetParam().beams);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BoardListGoodTest,
    ::testing::Values(
        GoodCase{"E8,E8,RG,RG:3", {"E180", "E280", "R1G0", "R2G3"}, 24},
        GoodCase{"EG*2,R16*2", {"E1G0", "E2G0", "R1G0", "R2G0"}, 32},
        GoodCase{" e8 , r8:A ", {"E180", "R18A"}, 8},
        GoodCase{"eg,rg", {"E1G0", "R1G0"}, 16},
        GoodCase{"E4,R8:J", {"E140", "R18J"}, 4},  // '4' cannot be sized: no channels
        GoodCase{"E8:0*3", {"E180", "E280", "E380"}, 12},
        GoodCase{"none", {}, 0}, GoodCase{"", {}, 0}, GoodCase{"  ", {}, 0},
        GoodCase{"E8*12,R8*12",
                 {"E180", "E280", "E380", "E480", "E580", "E680", "E780", "E880", "E980",
                  "EA80", "EB80", "EC80", "R180", "R280", "R380", "R480", "R580", "R680",
                  "R780", "R880", "R980", "RA80", "RB80", "RC80"},
                 96}));

struct BadCase {
  const char* text;
  const char* message_part;
};

class BoardListBadTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BoardListBadTest, RefusesWithAReason) {
  std::vector<SimBoard> boards = {SimBoard{}};
  std::string error;
  EXPECT_FALSE(ParseBoardList(GetParam().text, boards, error));
  EXPECT_TRUE(boards.empty());
  EXPECT_NE(error.find(GetParam().message_part), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BoardListBadTest,
    ::testing::Values(BadCase{"X8", "board 1 (\"X8\"): kind must be E"},
                      BadCase{"E8,,R8", "board 2 (\"\"): empty entry"},
                      BadCase{"E", "channel size missing"}, BadCase{"E:3", "channel size missing"},
                      BadCase{"E8:", "error code missing"}, BadCase{"E8:*2", "error code missing"},
                      BadCase{"E8*0", "count must be 1..24"}, BadCase{"E8*25", "count must be 1..24"},
                      BadCase{"E8*x", "count must be 1..24"}, BadCase{"E8*", "count must be 1..24"},
                      BadCase{"E88", "unexpected \"8\""}, BadCase{"E8:12", "unexpected \"2\""},
                      BadCase{"E8*13,R8*12", "more than 24 boards"}));

TEST(BoardChannels, EightSixteenOrNothing) {
  EXPECT_EQ(BoardChannels({'E', '1', '8', '0'}), 8);
  EXPECT_EQ(BoardChannels({'R', '1', 'G', '0'}), 16);
  EXPECT_EQ(BoardChannels({'R', '1', '4', '0'}), 0);
  EXPECT_EQ(BoardChannels({'R', '1', 'g', '0'}), 0);  // the code itself is case-sensitive
}

}  // namespace
}  // namespace kelvt::sim
