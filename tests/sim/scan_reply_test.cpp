#include "sim/scan_reply.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/scan_record.h"

namespace kelvt::sim {
namespace {

std::vector<uint8_t> Beams(const std::string& picture) {
  std::vector<uint8_t> b;
  for (char c : picture) b.push_back(c == '1' ? 1 : 0);
  return b;
}

struct MeasureCase {
  char code;
  const char* picture;
  uint16_t value;
};

class MeasureTest : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(MeasureTest, ValueOfEachMode) {
  EXPECT_EQ(MeasureBeams(GetParam().code, Beams(GetParam().picture)), GetParam().value);
}

// Picture: beam 1 first. "0011101100" has broken beams 3-5 and 7-8.
INSTANTIATE_TEST_SUITE_P(
    Modes, MeasureTest,
    ::testing::Values(MeasureCase{kModeFbb, "0011101100", 3}, MeasureCase{kModeLbb, "0011101100", 8},
                      MeasureCase{kModeTbb, "0011101100", 5}, MeasureCase{kModeCbb, "0011101100", 3},
                      MeasureCase{kModeFbm, "0011101100", 1}, MeasureCase{kModeLbm, "0011101100", 10},
                      MeasureCase{kModeTbm, "0011101100", 5}, MeasureCase{kModeCbm, "0011101100", 2},
                      MeasureCase{kModeVhs, "0011101100", 6}, MeasureCase{kModeAll, "0011101100", 0},
                      MeasureCase{kModeNone, "0011101100", 0}, MeasureCase{'Z', "0011101100", 0},
                      // A clear curtain: nothing broken, all made.
                      MeasureCase{kModeFbb, "0000", 0}, MeasureCase{kModeLbb, "0000", 0},
                      MeasureCase{kModeVhs, "0000", 0}, MeasureCase{kModeCbm, "0000", 4},
                      MeasureCase{kModeFbm, "0000", 1},
                      // A blocked curtain.
                      MeasureCase{kModeFbm, "1111", 0}, MeasureCase{kModeTbb, "1111", 4},
                      MeasureCase{kModeVhs, "1001", 4}, MeasureCase{kModeCbb, "1101111", 4},
                      MeasureCase{kModeFbb, "", 0}));

struct LayoutCase {
  char mode1;
  char mode2;
  ScanLayout layout;
  int mode;  // the tool's measurement mode for the same two analysis modes; -1: beam map
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, LengthMatchesWhatTheToolWaitsFor) {
  EXPECT_EQ(LayoutFor(GetParam().mode1, GetParam().mode2), GetParam().layout);
  std::vector<char> reply;
  const std::vector<uint8_t> broken = Beams("0110000000000001");
  BuildScanReply('B', GetParam().mode1, GetParam().mode2, broken, reply);
  const int expected = GetParam().mode < 0 ? BeamReplyLength(16)
                                           : MeasurementScan(GetParam().mode).ExpectedLength();
  EXPECT_EQ(static_cast<int>(reply.size()), expected);
  EXPECT_EQ(reply.front(), 0x1C);
  EXPECT_EQ(reply[1], 'B');
  EXPECT_EQ(reply.back(), 0x0A);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LayoutTest,
    ::testing::Values(LayoutCase{kModeAll, kModeNone, ScanLayout::kBeamMap, -1},
                      LayoutCase{kModeAll, kModeFbb, ScanLayout::kBeamMap, -1},
                      LayoutCase{kModeFbb, kModeNone, ScanLayout::kFirstOnly, 0},
                      LayoutCase{kModeCbm, 'Z', ScanLayout::kFirstOnly, 0},
                      LayoutCase{kModeFbb, kModeLbb, ScanLayout::kBoth, 2},
                      LayoutCase{kModeTbm, kModeVhs, ScanLayout::kBoth, 2},
                      LayoutCase{kModeTbm, kModeAll, ScanLayout::kBoth, 2},
                      LayoutCase{kModeNone, kModeLbb, ScanLayout::kSecondOnly, 1},
                      LayoutCase{kModeVhs, kModeTbb, ScanLayout::kSecondOnly, 1},
                      LayoutCase{kModeNone, kModeNone, ScanLayout::kSecondOnly, 1}));

TEST(ScanReply, BeamMapDecodesToTheSameBeams) {
  const std::string picture = "0110000000000001" "1000000000000000";
  std::vector<char> reply;
  BuildScanReply('A', kModeAll, kModeNone, Beams(picture), reply);
  BeamBitmapScan scan(32);
  ASSERT_EQ(scan.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(scan.BeamState(i), picture[i] == '1' ? 1 : 0) << i;
  EXPECT_EQ(scan.statistics.broken_count, 4);
  EXPECT_EQ(scan.statistics.first_broken, 1);
  EXPECT_EQ(scan.statistics.last_broken, 16);
  EXPECT_EQ(static_cast<unsigned char>(reply[2]), 0x06);
  EXPECT_EQ(static_cast<unsigned char>(reply[3]), 0x80);
  EXPECT_EQ(static_cast<unsigned char>(reply[4]), 0x01);
}

TEST(ScanReply, ValuesTravelHighByteFirst) {
  std::vector<uint8_t> broken(300, 0);
  broken[299] = 1;  // last broken beam 300 = 0x012C
  std::vector<char> reply;
  BuildScanReply('A', kModeLbb, kModeTbm, broken, reply);
  ASSERT_EQ(reply.size(), 7u);
  MeasurementScan scan(2);
  ASSERT_EQ(scan.Decode(reply.data(), 7), 1);
  EXPECT_EQ(scan.value1, 300);
  EXPECT_EQ(scan.value2, 299);
  EXPECT_EQ(static_cast<unsigned char>(reply[2]), 0x01);
  EXPECT_EQ(static_cast<unsigned char>(reply[3]), 0x2C);
}

TEST(ScanReply, SecondModeAloneCarriesTheSecondValue) {
  std::vector<char> reply;
  BuildScanReply('A', kModeVhs, kModeTbb, Beams("0110"), reply);
  MeasurementScan scan(1);
  ASSERT_EQ(scan.Decode(reply.data(), static_cast<int>(reply.size())), 1);
  EXPECT_EQ(scan.value2, 2);
}

}  // namespace
}  // namespace kelvt::sim
