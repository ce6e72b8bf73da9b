#include "cli/json_writer.h"

#include <gtest/gtest.h>

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

TEST(JsonWriterTest, NestedValuesGetCommasOnlyBetweenMembers) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("a", 1).Field("b", "x").Key("list").BeginArray();
  json.Number(1).BeginObject().Field("t", true).Field("f", false).EndObject().Null();
  json.BeginArray().EndArray();
  json.EndArray().Key("empty").BeginObject().EndObject().Field("neg", int64_t{-5}).EndObject();
  json.EndLine();
  EXPECT_EQ(out.str(),
            "{\"a\":1,\"b\":\"x\",\"list\":[1,{\"t\":true,\"f\":false},null,[]],"
            "\"empty\":{},\"neg\":-5}\n");
}

TEST(JsonWriterTest, EachLineIsAFreshValue) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("scan", 1).EndObject().EndLine();
  json.BeginObject().Field("scan", 2).EndObject().EndLine();
  EXPECT_EQ(out.str(), "{\"scan\":1}\n{\"scan\":2}\n");
}

TEST(JsonWriterTest, KeysAreQuotedLikeStrings) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject().Field("we\"ird", "v").EndObject();
  EXPECT_EQ(out.str(), "{\"we\\\"ird\":\"v\"}");
}

}  // namespace
}  // namespace kelvt::cli
