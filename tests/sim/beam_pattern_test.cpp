#include "sim/beam_pattern.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kelvt::sim {
namespace {

// The broken beams as a string of '1' and '0', beam 1 first.
std::string Picture(const BeamPattern& p, int n, uint64_t t_ms) {
  std::vector<uint8_t> broken;
  p.Fill(n, t_ms, broken);
  std::string s;
  for (uint8_t b : broken) s += b != 0 ? '1' : '0';
  return s;
}

struct FixedCase {
  const char* text;
  int n;
  const char* picture;
};

class FixedBeamsTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedBeamsTest, BreaksTheListedBeamsAtAnyTime) {
  BeamPattern p;
  std::string error;
  ASSERT_TRUE(p.SetFixed(GetParam().text, error)) << error;
  EXPECT_EQ(Picture(p, GetParam().n, 0), GetParam().picture);
  EXPECT_EQ(Picture(p, GetParam().n, 123456), GetParam().picture);
  EXPECT_FALSE(p.Moving());
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FixedBeamsTest,
    ::testing::Values(FixedCase{"", 8, "00000000"}, FixedCase{"none", 8, "00000000"},
                      FixedCase{"all", 8, "11111111"}, FixedCase{"1", 8, "10000000"},
                      FixedCase{"8", 8, "00000001"}, FixedCase{"4-6", 8, "00011100"},
                      FixedCase{"4-6, 10", 16, "0001110001000000"},
                      FixedCase{"2,2,3-3", 4, "0110"},
                      // Beams past the curtain do not exist.
                      FixedCase{"7-20", 8, "00000011"}, FixedCase{"9", 8, "00000000"},
                      FixedCase{"3", 0, ""}));

class BadBeamsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(BadBeamsTest, RefusedAndThePreviousSetKept) {
  BeamPattern p;
  std::string error;
  ASSERT_TRUE(p.SetFixed("2", error));
  EXPECT_FALSE(p.SetFixed(GetParam(), error));
  EXPECT_NE(error.find("beams:"), std::string::npos);
  EXPECT_EQ(Picture(p, 4, 0), "0100");
}

INSTANTIATE_TEST_SUITE_P(Patterns, BadBeamsTest,
                         ::testing::Values("0", "6-4", "a", "4-", "-4", "1,,2", "12345", "1-x",
                                           "-1"));

TEST(MovingBeams, AnObjectCrossesFromTheFirstBeamToTheLastAndComesAgain) {
  BeamPattern p;
  p.SetMoving(2, 10.0);  // 2 beams wide, one beam every 100 ms
  ASSERT_TRUE(p.Moving());
  const int n = 6;
  // Cycle of n + width = 8 positions of the leading edge, 800 ms.
  const std::vector<std::pair<uint64_t, const char*>> frames = {
      {0, "100000"},   {99, "100000"},  {100, "110000"}, {200, "011000"},
      {500, "000011"}, {600, "000001"}, {700, "000000"}, {800, "100000"},
      {1700, "110000"}};
  for (const auto& [t, picture] : frames) EXPECT_EQ(Picture(p, n, t), picture) << t;
}

TEST(MovingBeams, CombinesWithTheFixedSet) {
  BeamPattern p;
  std::string error;
  ASSERT_TRUE(p.SetFixed("6", error));
  p.SetMoving(1, 1000.0);
  EXPECT_EQ(Picture(p, 6, 2), "001001");
}

TEST(MovingBeams, NoWidthOrNoSpeedMeansNothingMoves) {
  BeamPattern p;
  p.SetMoving(0, 10.0);
  EXPECT_FALSE(p.Moving());
  EXPECT_EQ(Picture(p, 4, 500), "0000");
  p.SetMoving(3, 0.0);
  EXPECT_FALSE(p.Moving());
  p.SetMoving(-2, 5.0);
  EXPECT_FALSE(p.Moving());
}

TEST(MovingBeams, WiderThanTheCurtainCoversItWhileInside) {
  BeamPattern p;
  p.SetMoving(10, 10.0);
  EXPECT_EQ(Picture(p, 4, 500), "1111");
  EXPECT_EQ(Picture(p, 4, 1300), "0000");  // lead at 13 of a 14-long cycle: gone
}

// How many of `scans` scans break each of `n` beams.
std::vector<int> FlickerCounts(const BeamPattern& p, int n, int scans) {
  std::vector<int> counts(static_cast<size_t>(n), 0);
  std::vector<uint8_t> broken;
  for (int scan = 0; scan < scans; ++scan) {
    p.Fill(n, 0, broken);
    p.AddFlicker(static_cast<uint64_t>(scan), broken);
    for (int i = 0; i < n; ++i) counts[static_cast<size_t>(i)] += broken[static_cast<size_t>(i)];
  }
  return counts;
}

TEST(FlickeringBeams, BreakInTheirShareOfScansTheSameForTheSameSeed) {
  BeamPattern p;
  std::string error;
  ASSERT_TRUE(p.SetFlicker("2:10, 4:0.5,6:100,7:0,40:50", 7, error)) << error;
  const std::vector<int> counts = FlickerCounts(p, 8, 20000);
  EXPECT_EQ(counts[0], 0);
  EXPECT_NEAR(counts[1], 2000, 200);
  EXPECT_NEAR(counts[3], 100, 40);
  EXPECT_EQ(counts[5], 20000);
  EXPECT_EQ(counts[6], 0);
  EXPECT_EQ(FlickerCounts(p, 8, 500), FlickerCounts(p, 8, 500));
  BeamPattern other;
  ASSERT_TRUE(other.SetFlicker("2:10, 4:0.5,6:100,7:0,40:50", 8, error));
  EXPECT_NE(FlickerCounts(other, 8, 500), FlickerCounts(p, 8, 500));  // another seed
  // A bad list keeps what was set.
  for (const char* bad : {"2", "2:", ":5", "0:5", "2:101", "2:-1", "2:x", "2:5,", "2:5;3:1"}) {
    EXPECT_FALSE(p.SetFlicker(bad, 7, error)) << bad;
    EXPECT_NE(error.find("flicker:"), std::string::npos) << bad;
  }
  EXPECT_EQ(FlickerCounts(p, 8, 20000), counts);
  ASSERT_TRUE(p.SetFlicker("", 7, error));
  EXPECT_EQ(FlickerCounts(p, 8, 1000), std::vector<int>(8, 0));
}

}  // namespace
}  // namespace kelvt::sim
