#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>

namespace kelvt::cli {
namespace {

struct QuoteCase {
  std::string text;
  std::string quoted;
};

class JsonQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(JsonQuoteTest, EscapesWhatJsonRequiresAndEveryNonAsciiByte) {
  EXPECT_EQ(JsonQuote(GetParam().text), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonQuoteTest,
    ::testing::Values(QuoteCase{"", "\"\""}, QuoteCase{"FBB", "\"FBB\""},
                      QuoteCase{"a\"b", "\"a\\\"b\""}, QuoteCase{"a\\b", "\"a\\\\b\""},
                      QuoteCase{"l1\nl2\r\t", "\"l1\\nl2\\r\\t\""},
                      QuoteCase{std::string("\x01\x01", 2), "\"\\u0001\\u0001\""},
                      QuoteCase{std::string("\0x", 2), "\"\\u0000x\""},
                      QuoteCase{"\x7f", "\"\\u007f\""},
                      QuoteCase{"\xf8\xff", "\"\\u00f8\\u00ff\""},
                      QuoteCase{"/ok ~", "\"/ok ~\""}));

// 2026-12-07T17:45:12.345Z, shown in a zone one hour east.
std::chrono::system_clock::time_point PinnedClock() {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(1796665512345));
}

class JsonWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    old_tz_ = tz ? tz : "";
    had_tz_ = tz != nullptr;
    setenv("TZ", "CET-1", 1);
    tzset();
    SetJsonClock(PinnedClock);
  }
  void TearDown() override {
    SetJsonClock(nullptr);
    if (had_tz_) setenv("TZ", old_tz_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }
  std::string old_tz_;
  bool had_tz_ = false;
};

TEST_F(JsonWriterTest, TimeHasMillisecondsAndTheLocalOffset) {
  EXPECT_EQ(JsonTime(PinnedClock()), "2026-12-07T18:45:12.345+01:00");
  setenv("TZ", "XST+3:30", 1);
  tzset();
  EXPECT_EQ(JsonTime(PinnedClock() + std::chrono::milliseconds(5)), "2026-12-07T14:15:12.350-03:30");
}

TEST_F(JsonWriterTest, NestedValuesGetCommasOnlyBetweenMembers) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("a", 1).Field("b", "x").Key("list").BeginArray();
  json.Number(1).BeginObject().Field("t", true).Field("f", false).EndObject().Null();
  json.BeginArray().EndArray();
  json.EndArray().Key("empty").BeginObject().EndObject().Field("neg", int64_t{-5}).EndObject();
  json.EndLine();
  EXPECT_EQ(out.str(),
            "{\"time\":\"2026-12-07T18:45:12.345+01:00\",\"a\":1,\"b\":\"x\",\"list\":[1,{\"t\":true,\"f\":false},null,[]],"
            "\"empty\":{},\"neg\":-5}\n");
}

TEST_F(JsonWriterTest, EachLineIsAFreshValue) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("scan", 1).EndObject().EndLine();
  json.BeginObject().Field("scan", 2).EndObject().EndLine();
  EXPECT_EQ(out.str(), "{\"time\":\"2026-12-07T18:45:12.345+01:00\",\"scan\":1}\n"
            "{\"time\":\"2026-12-07T18:45:12.345+01:00\",\"scan\":2}\n");
}

TEST_F(JsonWriterTest, KeysAreQuotedLikeStrings) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("we\"ird", "v").EndObject();
  EXPECT_EQ(out.str(), "{\"time\":\"2026-12-07T18:45:12.345+01:00\",\"we\\\"ird\":\"v\"}");
}

}  // namespace
}  // namespace kelvt::cli
