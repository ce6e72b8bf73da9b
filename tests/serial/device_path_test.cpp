#include "serial/device_path.h"

#include <string>

#include <gtest/gtest.h>

namespace kelvt {
namespace {

struct PathCase {
  int port;
  bool with_overrides;
  const char* expected;
};

class DevicePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DevicePathTest, OverrideElseTheOnBoardPortOfThatNumber) {
  const DeviceOverrides overrides = {
      {2, "/dev/ttyUSB0"},          // COM3
      {9, "/dev/serial/by-id/x"},   // COM10
      {4, ""},                      // an empty entry counts as none
      {-1, "/dev/ttyUSB9"},
  };
  const std::string path =
      DevicePathForPort(GetParam().port, GetParam().with_overrides ? &overrides : nullptr);
  EXPECT_EQ(path, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, DevicePathTest,
    ::testing::Values(PathCase{0, false, "/dev/ttyS0"}, PathCase{9, false, "/dev/ttyS9"},
                      PathCase{23, false, "/dev/ttyS23"}, PathCase{2, false, "/dev/ttyS2"},
                      PathCase{2, true, "/dev/ttyUSB0"}, PathCase{9, true, "/dev/serial/by-id/x"},
                      PathCase{3, true, "/dev/ttyS3"}, PathCase{4, true, "/dev/ttyS4"},
                      PathCase{-1, false, ""}, PathCase{-1, true, "/dev/ttyUSB9"},
                      PathCase{-7, true, ""}));

TEST(DevicePath, DefaultArgumentMeansNoOverrides) {
  EXPECT_EQ(DevicePathForPort(5), "/dev/ttyS5");
  const DeviceOverrides none;
  EXPECT_EQ(DevicePathForPort(5, &none), "/dev/ttyS5");
}

}  // namespace
}  // namespace kelvt
