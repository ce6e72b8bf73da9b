#include "link/beam_ranges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvt {
namespace {

// A decoded beam map from a picture of the beams, '1' broken and '.' made,
// beam 0 first. The length must be a multiple of 8.
class BeamMap {
 public:
  explicit BeamMap(const std::string& beams) : scan_(static_cast<int>(beams.size())) {
    std::vector<char> reply(scan_.ExpectedLength(), 0);
    reply.front() = 0x1C;
    reply[1] = 'A';
    reply.back() = 0x0A;
    for (std::size_t i = 0; i < beams.size(); ++i) {
      if (beams[i] == '1') reply[2 + i / 8] |= static_cast<char>(1 << (i % 8));
    }
    decoded_ = scan_.Decode(reply.data(), static_cast<int>(reply.size())) != 0;
  }
  const BeamBitmapScan& scan() const { return scan_; }
  bool decoded() const { return decoded_; }

 private:
  BeamBitmapScan scan_;
  bool decoded_ = false;
};

// The rows a range list shows: "channels|status" each.
std::vector<std::string> Rows(const BeamScan& scan, ChannelFilter filter) {
  std::vector<std::string> rows;
  const int shown = ForEachShownRun(scan, filter, [&](const BeamRun& run) {
    char text[kRunTextSize];
    FormatRunChannels(run, text, sizeof text);
    rows.push_back(std::string(text) + "|" + BeamStateText(run.state));
  });
  EXPECT_EQ(shown, static_cast<int>(rows.size()));
  return rows;
}

struct RangeCase {
  const char* name;
  std::string beams;
  ChannelFilter filter;
  std::vector<std::string> rows;
};

class RangeListTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(RangeListTest, ListsTheRunsTheFilterShows) {
  const RangeCase& c = GetParam();
  BeamMap map(c.beams);
  ASSERT_TRUE(map.decoded());
  EXPECT_EQ(Rows(map.scan(), c.filter), c.rows);
}

const std::string kThreeRuns = "...111.........." ;  // 0-2 made, 3-5 broken, 6-15 made
const std::string kLoneNine = ".........1......";   // beam 9 broken alone

INSTANTIATE_TEST_SUITE_P(
    Filters, RangeListTest,
    ::testing::Values(
        RangeCase{"ThreeRunsBoth", kThreeRuns, ChannelFilter::Both,
                  {"1 - 3|Made", "4 - 6|Broken", "7 - 16|Made"}},
        RangeCase{"ThreeRunsBroken", kThreeRuns, ChannelFilter::Broken, {"4 - 6|Broken"}},
        RangeCase{"ThreeRunsMade", kThreeRuns, ChannelFilter::Made, {"1 - 3|Made", "7 - 16|Made"}},
        RangeCase{"LoneBrokenBeam", kLoneNine, ChannelFilter::Broken, {"10|Broken"}},
        RangeCase{"LoneBrokenBeamBoth", kLoneNine, ChannelFilter::Both,
                  {"1 - 9|Made", "10|Broken", "11 - 16|Made"}},
        RangeCase{"AllMadeBroken", "........", ChannelFilter::Broken, {}},
        RangeCase{"AllMadeMade", "........", ChannelFilter::Made, {"1 - 8|Made"}},
        RangeCase{"AllBroken", "11111111", ChannelFilter::Both, {"1 - 8|Broken"}},
        RangeCase{"Alternating", "1.1.1.1.", ChannelFilter::Broken,
                  {"1|Broken", "3|Broken", "5|Broken", "7|Broken"}},
        RangeCase{"EndsOfTheBar", "1..............1", ChannelFilter::Both,
                  {"1|Broken", "2 - 15|Made", "16|Broken"}},
        RangeCase{"AcrossByteBoundary", ".......11.......", ChannelFilter::Broken, {"8 - 9|Broken"}},
        RangeCase{"NoBeams", "", ChannelFilter::Both, {}}),
    [](const ::testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST(NextBeamRun, RefusesStartsOutsideTheBar) {
  BeamMap map("1..1....");
  BeamRun run;
  EXPECT_FALSE(NextBeamRun(map.scan(), -1, run));
  EXPECT_FALSE(NextBeamRun(map.scan(), 8, run));
  ASSERT_TRUE(NextBeamRun(map.scan(), 4, run));
  EXPECT_EQ(run.first, 4);
  EXPECT_EQ(run.last, 7);
  EXPECT_EQ(run.state, kBeamMade);
  ASSERT_TRUE(NextBeamRun(map.scan(), 1, run));  // a run may start mid-run
  EXPECT_EQ(run.last, 2);
}

TEST(FormatRunChannels, StaysWithinTheBuffer) {
  char text[6] = "zzzzz";
  FormatRunChannels(BeamRun{99, 199, kBeamMade}, text, sizeof text);
  EXPECT_STREQ(text, "100 -");
  char wide[kRunTextSize];
  FormatRunChannels(BeamRun{2147483646 - 1, 2147483646, kBeamMade}, wide, sizeof wide);
  EXPECT_STREQ(wide, "2147483646 - 2147483647");
  FormatRunChannels(BeamRun{0, 0, kBeamMade}, nullptr, 0);  // no buffer: nothing written
}

struct SummaryCase {
  const char* name;
  std::string beams;
  const char* cells[kSummaryRows][kSummaryColumns];  // [Total/First/Last][Broken/Made]
};

class SummaryTest : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(SummaryTest, ShowsCountsAndOneBasedEnds) {
  const SummaryCase& c = GetParam();
  BeamMap map(c.beams);
  ASSERT_TRUE(map.decoded());
  BeamSummaryCells cells;
  FillBeamSummary(map.scan().statistics, cells);
  for (int r = 0; r < kSummaryRows; ++r) {
    for (int col = 0; col < kSummaryColumns; ++col) {
      EXPECT_STREQ(cells.text[r][col], c.cells[r][col]) << kSummaryRowLabels[r] << " column " << col;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, SummaryTest,
    ::testing::Values(
        SummaryCase{"ThreeRuns", kThreeRuns, {{"3", "13"}, {"4", "1"}, {"6", "16"}}},
        SummaryCase{"NoBrokenBeam", "................", {{"0", "16"}, {"", "1"}, {"", "16"}}},
        SummaryCase{"NoMadeBeam", "11111111", {{"8", "0"}, {"1", ""}, {"8", ""}}},
        SummaryCase{"EndsBroken", "1..............1", {{"2", "14"}, {"1", "2"}, {"16", "15"}}},
        SummaryCase{"NoBeams", "", {{"0", "0"}, {"", ""}, {"", ""}}}),
    [](const ::testing::TestParamInfo<SummaryCase>& info) { return std::string(info.param.name); });

TEST(FillBeamSummary, ClearsEndsLeftFromAnEarlierMap) {
  BeamSummaryCells cells;
  FillBeamSummary(BeamMap("...111..").scan().statistics, cells);
  EXPECT_STREQ(cells.text[1][0], "4");
  FillBeamSummary(BeamMap("........").scan().statistics, cells);
  EXPECT_STREQ(cells.text[0][0], "0");
  EXPECT_STREQ(cells.text[1][0], "");
  EXPECT_STREQ(cells.text[2][0], "");
}

}  // namespace
}  // namespace kelvt
