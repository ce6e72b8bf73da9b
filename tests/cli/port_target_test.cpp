#include "cli/port_target.h"

#include <gtest/gtest.h>

namespace kelvt::cli {
namespace {

struct PortCase {
  const char* text;
  int port;
};

class ParsePortTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(ParsePortTest, AcceptsComNamesAndNumbersOfTheTwentyFourPorts) {
  EXPECT_EQ(ParsePortArgument(GetParam().text), GetParam().port) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParsePortTest,
    ::testing::Values(PortCase{"COM1", 0}, PortCase{"com3", 2}, PortCase{"Com24", 23},
                      PortCase{"1", 0}, PortCase{"24", 23}, PortCase{"07", 6},
                      PortCase{"COM0", -1}, PortCase{"COM25", -1}, PortCase{"0", -1},
                      PortCase{"", -1}, PortCase{"COM", -1}, PortCase{"C0M21", -1},
                      PortCase{"COM1x", -1}, PortCase{"-1", -1}, PortCase{"COM123", -1},
                      PortCase{"/dev/ttyS0", -1}, PortCase{" 3", -1}));

TEST(PortTargetTest, DeviceGivenDirectlyWins) {
  PortTarget target;
  std::string error;
  ASSERT_TRUE(ResolvePortTarget("COM5", "/dev/ttyUSB0", 1, {}, target, error));
  EXPECT_EQ(target.port_number, -1);
  EXPECT_EQ(target.device_path, "/dev/ttyUSB0");
  EXPECT_EQ(target.Describe(), "/dev/ttyUSB0");
}

TEST(PortTargetTest, PortMapsThroughTheDevicesSection) {
  const DeviceOverrides overrides{{2, "/dev/ttyUSB1"}};
  PortTarget target;
  std::string error;
  ASSERT_TRUE(ResolvePortTarget("COM3", "", 0, overrides, target, error));
  EXPECT_EQ(target.port_number, 2);
  EXPECT_EQ(target.device_path, "/dev/ttyUSB1");
  EXPECT_EQ(target.Describe(), "COM3 (/dev/ttyUSB1)");

  ASSERT_TRUE(ResolvePortTarget("4", "", 0, overrides, target, error));
  EXPECT_EQ(target.device_path, "/dev/ttyS3");
}

TEST(PortTargetTest, WithoutOptionsTheSelectedPortIsUsed) {
  PortTarget target;
  std::string error;
  ASSERT_TRUE(ResolvePortTarget("", "", 1, {}, target, error));
  EXPECT_EQ(target.port_number, 1);
  EXPECT_EQ(target.device_path, "/dev/ttyS1");
}

TEST(PortTargetTest, BadPortIsRefusedWithAMessage) {
  PortTarget target;
  std::string error;
  EXPECT_FALSE(ResolvePortTarget("COM30", "", 1, {}, target, error));
  EXPECT_NE(error.find("COM30"), std::string::npos);
  EXPECT_NE(error.find("COM1 to COM24"), std::string::npos);
}

}  // namespace
}  // namespace kelvt::cli
