#include "link/measurement_statistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvt {
namespace {

TEST(MeasurementStatisticsTest, ResetState) {
  MeasurementStatistics s;
  s.Update(17);
  s.Reset();
  EXPECT_EQ(s.low, 4294967295u);
  EXPECT_EQ(s.high, 0u);
  EXPECT_EQ(s.present, 0u);
  EXPECT_EQ(s.low_frozen, 0u);
}

TEST(MeasurementStatisticsTest, SequencesFollowTheZeroRule) {
  struct Case {
    std::vector<uint16_t> values;
    uint32_t low;
    uint32_t high;
    uint32_t present;
    uint32_t frozen;
  };
  const Case cases[] = {
      {{5, 3, 7}, 3, 7, 7, 0},
      {{0, 4, 6}, 4, 6, 6, 0},      // a leading 0 is replaced
      {{4, 0, 6}, 0, 6, 6, 1},      // a 0 after a non-zero low sticks
      {{4, 0, 6, 2}, 0, 6, 2, 1},   // and nothing replaces it
      {{0, 0, 0}, 0, 0, 0, 0},
      {{0, 0, 9, 3}, 3, 9, 3, 0},
      {{65535}, 65535, 65535, 65535, 0},
      {{8, 8, 8}, 8, 8, 8, 0},
  };
  for (const Case& c : cases) {
    MeasurementStatistics s;
    for (uint16_t v : c.values) s.Update(v);
    EXPECT_EQ(s.low, c.low);
    EXPECT_EQ(s.high, c.high);
    EXPECT_EQ(s.present, c.present);
    EXPECT_EQ(s.low_frozen != 0, c.frozen != 0);
  }
}

TEST(MeasurementStatisticsTest, ModesSelectTheReportedMeasurements) {
  EXPECT_TRUE(ReportsMeasurement1(0));
  EXPECT_FALSE(ReportsMeasurement2(0));
  EXPECT_FALSE(ReportsMeasurement1(1));
  EXPECT_TRUE(ReportsMeasurement2(1));
  EXPECT_TRUE(ReportsMeasurement1(2));
  EXPECT_TRUE(ReportsMeasurement2(2));
}

}  // namespace
}  // namespace kelvt
