#include "serial/line_error_flags.h"

#include <gtest/gtest.h>

namespace kelvt {
namespace {

TEST(LineErrorFlags, NothingIsRaisedByTheFirstCounts) {
  LineErrorFlags flags;
  flags.Start({3, 4, 5, 6, 7});
  flags.Merge({3, 4, 5, 6, 7});
  for (int bit = 0; bit < LineErrorFlags::kCount; ++bit) EXPECT_EQ(flags.Query(bit, 0), 0);
  EXPECT_EQ(flags.Bits(), 0u);
}

struct ClearCase {
  int clear;
  int second_answer;  // what a query after the first one answers
};

class LineErrorClearTest : public ::testing::TestWithParam<ClearCase> {};

TEST_P(LineErrorClearTest, AMovedCountRaisesItsOwnFlagUntilCleared) {
  for (int bit = 0; bit < LineErrorFlags::kCount; ++bit) {
    LineErrorFlags flags;
    flags.Start({0, 0, 0, 0, 0});
    int counts[LineErrorFlags::kCount] = {0, 0, 0, 0, 0};
    counts[bit] = 1;
    flags.Merge(counts);
    EXPECT_EQ(flags.Bits(), 1u << bit) << bit;
    for (int other = 0; other < LineErrorFlags::kCount; ++other) {
      if (other != bit) {
        EXPECT_EQ(flags.Query(other, 1), 0) << bit << " " << other;
      }
    }
    EXPECT_EQ(flags.Query(bit, GetParam().clear), 1) << bit;
    EXPECT_EQ(flags.Query(bit, 0), GetParam().second_answer) << bit;
  }
}

INSTANTIATE_TEST_SUITE_P(Clears, LineErrorClearTest,
                         ::testing::Values(ClearCase{0, 1}, ClearCase{-1, 1}, ClearCase{1, 0},
                                           ClearCase{2, 0}, ClearCase{-2, 0}));

TEST(LineErrorFlags, AFlagStaysUpWhileTheCountStandsStillAndRisesAgainOnTheNextError) {
  LineErrorFlags flags;
  flags.Start({0, 0, 0, 0, 0});
  flags.Merge({0, 0, 2, 0, 0});
  flags.Merge({0, 0, 2, 0, 0});
  EXPECT_EQ(flags.Query(kParityBit, 1), 1);
  flags.Merge({0, 0, 2, 0, 0});
  EXPECT_EQ(flags.Query(kParityBit, 0), 0);
  flags.Merge({0, 0, 3, 0, 0});
  EXPECT_EQ(flags.Query(kParityBit, 0), 1);
}

TEST(LineErrorFlags, BitOutsideTheWordIsNeverSet) {
  LineErrorFlags flags;
  flags.Start({0, 0, 0, 0, 0});
  flags.Merge({1, 1, 1, 1, 1});
  EXPECT_EQ(flags.Query(5, 1), 0);
  EXPECT_EQ(flags.Query(-1, 1), 0);
  EXPECT_EQ(flags.Bits(), 0x1Fu);
}

}  // namespace
}  // namespace kelvt
