#include "sim/sim_options.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "psf/psf_record.h"
#include "sim/scan_reply.h"

namespace kelvt::sim {
namespace {

SimConfig Build(const SimOptions& o) {
  SimConfig c;
  std::string error;
  EXPECT_TRUE(BuildConfig(o, c, error)) << error;
  return c;
}

TEST(SimOptions, DefaultsDescribeAFourBoardControllerAAt9600) {
  const SimConfig c = Build(SimOptions{});
  EXPECT_EQ(c.psf[0], 'A');
  EXPECT_EQ(c.psf[1], 'C');
  EXPECT_EQ(c.psf[3], kModeFbb);
  EXPECT_EQ(c.psf[4], kModeNone);
  EXPECT_EQ(c.psf[5], 'A');
  EXPECT_EQ(std::string(&c.psf[66], 6), kDefaultPartNumber);
  EXPECT_EQ(std::string(&c.psf[72], 4), kDefaultDateCode);
  EXPECT_TRUE(CheckSumValid(c.psf));
  EXPECT_EQ(c.boards.size(), 4u);
  EXPECT_EQ(BeamCount(c.boards), 32);
  EXPECT_EQ(c.null_span, (std::array<int, 4>{0, 4095, 0, 4095}));
  EXPECT_FALSE(c.silent || c.no_ack || c.corrupt);
  EXPECT_EQ(c.stop_after, -1);
  EXPECT_EQ(c.vanish_after, -1);
  EXPECT_EQ(SimController(c).Baud(), 9600);
}

struct GoodCase {
  const char* name;
  std::function<void(SimOptions&)> set;
  std::function<void(const SimConfig&)> check;
};

class GoodOptionTest : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodOptionTest, IsTaken) {
  SimOptions o;
  GetParam().set(o);
  const SimConfig c = Build(o);
  GetParam().check(c);
  EXPECT_TRUE(CheckSumValid(c.psf));
}

INSTANTIATE_TEST_SUITE_P(
    Options, GoodOptionTest,
    ::testing::Values(
        GoodCase{"baud", [](SimOptions& o) { o.baud = 38400; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[5], 'C');
                   EXPECT_EQ(SimController(c).Baud(), 38400);
                 }},
        GoodCase{"id_lower_case", [](SimOptions& o) { o.id = "d"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[0], 'D');
                   EXPECT_EQ(c.psf[65], 'D');
                 }},
        GoodCase{"modes", [](SimOptions& o) { o.meas1 = "all"; o.meas2 = "VHS"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[3], kModeAll);
                   EXPECT_EQ(c.psf[4], kModeVhs);
                 }},
        GoodCase{"mode_none", [](SimOptions& o) { o.meas1 = "None"; o.meas2 = "cbm"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[3], kModeNone);
                   EXPECT_EQ(c.psf[4], kModeCbm);
                 }},
        GoodCase{"identity", [](SimOptions& o) { o.part_number = "PN0042"; o.date_code = "2612"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(std::string(&c.psf[66], 6), "PN0042");
                   EXPECT_EQ(std::string(&c.psf[72], 4), "2612");
                 }},
        GoodCase{"null_span", [](SimOptions& o) { o.null_span = "250,4000,0,2047"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.null_span, (std::array<int, 4>{250, 4000, 0, 2047}));
                 }},
        GoodCase{"faults",
                 [](SimOptions& o) {
                   o.silent = o.no_ack = o.corrupt = true;
                   o.stop_after = 3;
                   o.vanish_after = 5;
                 },
                 [](const SimConfig& c) {
                   EXPECT_TRUE(c.silent && c.no_ack && c.corrupt);
                   EXPECT_EQ(c.stop_after, 3);
                   EXPECT_EQ(c.vanish_after, 5);
                 }},
        GoodCase{"garble", [](SimOptions& o) { o.garble_rate = 0.2; o.seed = 7; },
                 [](const SimConfig& c) {
                   EXPECT_DOUBLE_EQ(c.garble_rate, 0.2);
                   EXPECT_EQ(c.seed, 7u);
                 }},
        GoodCase{"flicker", [](SimOptions& o) { o.flicker = "3:100"; },
                 [](const SimConfig& c) {
                   std::vector<uint8_t> broken(4, 0);
                   c.beams.AddFlicker(0, broken);
                   EXPECT_EQ(broken, (std::vector<uint8_t>{0, 0, 1, 0}));
                 }},
        GoodCase{"moving", [](SimOptions& o) { o.moving = 3; o.speed = 4; },
                 [](const SimConfig& c) { EXPECT_TRUE(c.beams.Moving()); }},
        GoodCase{"psf_file",
                 [](SimOptions& o) { o.psf_file = KELVT_TEST_DATA "/known_record.PSF"; },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[0], 'C');
                   EXPECT_EQ(c.psf[3], 'F');
                   EXPECT_EQ(c.psf[4], 'C');
                 }},
        GoodCase{"psf_file_with_overrides",
                 [](SimOptions& o) {
                   o.psf_file = KELVT_TEST_DATA "/known_record.PSF";
                   o.id = "B";
                   o.baud = 19200;
                   o.meas1 = "ALL";
                 },
                 [](const SimConfig& c) {
                   EXPECT_EQ(c.psf[0], 'B');
                   EXPECT_EQ(c.psf[5], 'B');
                   EXPECT_EQ(c.psf[3], kModeAll);
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::function<void(SimOptions&)> set;
  const char* message_part;
};

class BadOptionTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadOptionTest, IsRefusedWithAReason) {
  SimOptions o;
  GetParam().set(o);
  SimConfig c;
  std::string error;
  EXPECT_FALSE(BuildConfig(o, c, error));
  EXPECT_NE(error.find(GetParam().message_part), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadOptionTest,
    ::testing::Values(
        BadCase{"baud", [](SimOptions& o) { o.baud = 14400; }, "9600, 19200 or 38400"},
        BadCase{"garble_rate", [](SimOptions& o) { o.garble_rate = 1.5; }, "garble rate"},
        BadCase{"seed", [](SimOptions& o) { o.seed = -1; }, "seed must be"},
        BadCase{"id_range", [](SimOptions& o) { o.id = "P"; }, "A..O"},
        BadCase{"id_length", [](SimOptions& o) { o.id = "AB"; }, "A..O"},
        BadCase{"mode", [](SimOptions& o) { o.meas2 = "XYZ"; }, "unknown measurement mode"},
        BadCase{"part_number", [](SimOptions& o) { o.part_number = "123"; }, "exactly 6"},
        BadCase{"date_code", [](SimOptions& o) { o.date_code = "26011"; }, "exactly 4"},
        BadCase{"null_span_three", [](SimOptions& o) { o.null_span = "1,2,3"; }, "four values"},
        BadCase{"null_span_five", [](SimOptions& o) { o.null_span = "1,2,3,4,5"; }, "four values"},
        BadCase{"null_span_letters", [](SimOptions& o) { o.null_span = "a,b,c,d"; }, "four values"},
        BadCase{"null_span_big", [](SimOptions& o) { o.null_span = "1,2,3,10000"; }, "four values"},
        BadCase{"boards", [](SimOptions& o) { o.boards = "Q8"; }, "kind must be E"},
        BadCase{"beams", [](SimOptions& o) { o.beams = "0"; }, "beams:"},
        BadCase{"flicker", [](SimOptions& o) { o.flicker = "3"; }, "flicker:"},
        BadCase{"moving", [](SimOptions& o) { o.moving = -1; }, "moving object"},
        BadCase{"speed", [](SimOptions& o) { o.moving = 2; o.speed = 0; }, "moving object"},
        BadCase{"reply_delay", [](SimOptions& o) { o.reply_delay_ms = -1; }, "reply delay"},
        BadCase{"psf_missing", [](SimOptions& o) { o.psf_file = "/nonexistent/x.PSF"; },
                "cannot open PSF file"},
        BadCase{"psf_not_a_psf", [](SimOptions& o) { o.psf_file = "/dev/null"; },
                "not a PSF file"}),
    [](const auto& info) { return std::string(info.param.name); });

// A fault described as a SimConfig reaches kelvt-sim's parser as options
// that give back the same faults.
struct FaultCase {
  const char* name;
  std::function<void(SimConfig&)> set;
};

class FaultArgsTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultArgsTest, RoundTripsThroughTheParser) {
  SimConfig want;
  GetParam().set(want);
  std::vector<std::string> args = FaultArgs(want);
  std::vector<const char*> argv{"kelvt-sim"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  SimOptions options;
  ASSERT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options), -1);
  const SimConfig got = Build(options);
  EXPECT_EQ(got.silent, want.silent);
  EXPECT_EQ(got.no_ack, want.no_ack);
  EXPECT_EQ(got.corrupt, want.corrupt);
  EXPECT_EQ(got.corrupt_after, want.corrupt_after);
  EXPECT_EQ(got.corrupt_psf_reads, want.corrupt_psf_reads);
  EXPECT_EQ(got.garble_rate, want.garble_rate);
  EXPECT_EQ(got.seed, want.garble_rate > 0 ? want.seed : 1u);
  EXPECT_EQ(got.stop_after, want.stop_after);
  EXPECT_EQ(got.vanish_after, want.vanish_after);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultArgsTest,
    ::testing::Values(
        FaultCase{"none", [](SimConfig&) {}},
        FaultCase{"silent", [](SimConfig& c) { c.silent = true; }},
        FaultCase{"no_ack", [](SimConfig& c) { c.no_ack = true; }},
        FaultCase{"corrupt", [](SimConfig& c) { c.corrupt = true; }},
        FaultCase{"corrupt_after", [](SimConfig& c) { c.corrupt_after = 5; }},
        FaultCase{"corrupt_psf_reads", [](SimConfig& c) { c.corrupt_psf_reads = 2; }},
        FaultCase{"stop_after_zero", [](SimConfig& c) { c.stop_after = 0; }},
        FaultCase{"vanish_after", [](SimConfig& c) { c.vanish_after = 7; }},
        FaultCase{"garble", [](SimConfig& c) { c.garble_rate = 0.2; c.seed = 4000000000u; }},
        FaultCase{"odd_rate", [](SimConfig& c) { c.garble_rate = 1.0 / 3; c.seed = 0; }},
        FaultCase{"all", [](SimConfig& c) {
                    c.silent = c.no_ack = c.corrupt = true;
                    c.corrupt_after = 1;
                    c.stop_after = 2;
                    c.vanish_after = 3;
                    c.garble_rate = 1;
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt::sim
