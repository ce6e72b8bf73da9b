#include "link/null_span_frame.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvt {
namespace {

std::string FrameText(const char* buffer) { return std::string(buffer, kNullSpanFrameSize); }

std::string Frame(char id, char function, const std::string& digits) {
  return std::string("\x1b") + id + 'K' + function + digits + '\n';
}

TEST(NullSpanFrameTest, ReadRequestIsEscAKTZerosLf) {
  char buffer[kNullSpanBufferSize];
  std::fill(buffer, buffer + kNullSpanBufferSize, 'x');
  BuildNullSpanReadRequest(buffer);
  EXPECT_EQ(FrameText(buffer), Frame('A', 'T', std::string(16, '0')));
  EXPECT_EQ(buffer[kNullSpanFrameSize], '\0');
}

TEST(NullSpanFrameTest, UpdateFramesCarryAllFourValuesInFrameOrder) {
  struct Case {
    char id;
    char function;
    NullSpanValues values;
    std::string digits;
  };
  const Case cases[] = {
      {'B', kNullSpanNullUpdate, {250, 4000, 0, 2047}, "0250400000002047"},
      {'A', kNullSpanSpanUpdate, {1000, 4095, 7, 2000}, "1000409500072000"},
      {'O', kNullSpanFinish, {0, 0, 0, 0}, "0000000000000000"},
      // Out-of-range values are clamped so they never spill out of four digits.
      {'C', kNullSpanNullUpdate, {-5, 12345, 9999, 10000}, "0000999999999999"},
  };
  for (const Case& c : cases) {
    char buffer[kNullSpanBufferSize];
    BuildNullSpanFrame(buffer, c.id, c.function, c.values);
    EXPECT_EQ(FrameText(buffer), Frame(c.id, c.function, c.digits)) << c.digits;
    EXPECT_EQ(buffer[kNullSpanFrameSize], '\0');
  }
}

TEST(NullSpanFrameTest, DecodesWithLowFourBitsOfEachCharacter) {
  struct Case {
    std::string digits;
    NullSpanValues expected;
  };
  const Case cases[] = {
      {"0250400000002047", {250, 4000, 0, 2047}},
      {"9999000010004095", {9999, 0, 1000, 4095}},
      // Not digits: ':' is 0x3A (10), '?' is 0x3F (15), 'A' is 0x41 (1).
      {":000????AAAA0000", {10000, 16665, 1111, 0}},
  };
  for (const Case& c : cases) {
    const std::string frame = Frame('B', 'T', c.digits.substr(0, 16));
    EXPECT_EQ(DecodeNullSpanValues(frame.data()), c.expected) << c.digits;
  }
}

TEST(NullSpanFrameTest, FrameRoundTripsEveryValueInRange) {
  for (int v : {0, 1, 9, 10, 99, 100, 999, 1000, 2000, 4095, 9999}) {
    char buffer[kNullSpanBufferSize];
    const NullSpanValues sent{v, 9999 - v, v / 2, 4095};
    BuildNullSpanFrame(buffer, 'A', kNullSpanNullUpdate, sent);
    EXPECT_EQ(DecodeNullSpanValues(buffer), sent) << v;
  }
}

TEST(NullSpanFrameTest, UpdateAcknowledgementNeedsAWholeUFrameAndTheSameValues) {
  const NullSpanValues sent{250, 4000, 0, 2047};
  struct Case {
    std::string reply;
    bool whole;     // IsNullSpanReply(reply, 'B', 'U')
    bool accepted;  // the echo of `sent`
  };
  std::string no_esc = Frame('B', 'U', "0250400000002047");
  no_esc[0] = '\x1c';
  std::string no_lf = Frame('B', 'U', "0250400000002047");
  no_lf[20] = '\r';
  const Case cases[] = {
      {Frame('B', 'U', "0250400000002047"), true, true},
      {Frame('B', 'N', "0250400000002047"), false, false},  // not acknowledged
      {Frame('B', 'U', "0250400000002046"), true, false},   // span 2 echoed wrong
      {Frame('B', 'U', "1250400000002047"), true, false},   // null 1 echoed wrong
      {Frame('Z', 'U', "0250400000002047"), false, false},  // another controller's
      {no_esc, false, false},
      {no_lf, false, false},
      // 'p' (0x70) decodes as 0 but is no digit; 0xCF is a '0' with every bit inverted.
      {Frame('B', 'U', "025p400000002047"), false, false},
      {Frame('B', 'U', "02504000\xcf" "0002047"), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNullSpanReply(c.reply.data(), 'B', 'U'), c.whole) << c.reply;
    EXPECT_EQ(IsNullSpanUpdateAcknowledged(c.reply.data(), 'B', sent), c.accepted) << c.reply;
  }
}

TEST(NullSpanFrameTest, TypingFilterKeepsDigitsAndDropsOneLeadingZero) {
  struct Case {
    std::string typed;
    std::string kept;
  };
  const Case cases[] = {
      {"a", ""},      {"1", "1"},       {"a1", "1"},     {"12b", "12"},
      {"0", "0"},     {"05", "5"},      {"07", "7"},     {"00", "0"},
      {"1234", "1234"}, {"12345", "1234"}, {"1a2b3", "12"}, {"", ""},
      {"-12", "12"},  {"0x12", "12"}, {"0x123", "12"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterNullSpanText(c.typed), c.kept) << c.typed;
  }
}

TEST(NullSpanFrameTest, FieldValueReadsAtMostFourDigits) {
  EXPECT_EQ(NullSpanFieldValue(""), 0);
  EXPECT_EQ(NullSpanFieldValue("250"), 250);
  EXPECT_EQ(NullSpanFieldValue("4095"), 4095);
  EXPECT_EQ(NullSpanFieldValue("40951"), 4095);
  EXPECT_EQ(NullSpanFieldValue("12x4"), 12);
}

TEST(NullSpanFrameTest, LeavingAFieldClampsIntoItsBarsRange) {
  struct Case {
    std::string text;
    int min;
    int max;
    int value;
    bool rewrite;
  };
  const Case cases[] = {
      {"", kNullMin, kNullMax, 0, true},        // empty null -> 0
      {"", kSpanMin, kSpanMax, 2000, true},     // empty span -> 2000
      {"1500", kSpanMin, kSpanMax, 2000, true},
      {"9999", kNullMin, kNullMax, 1000, true},
      {"9999", kSpanMin, kSpanMax, 4095, true},
      {"0", kNullMin, kNullMax, 0, true},       // at the minimum: rewritten too
      {"2000", kSpanMin, kSpanMax, 2000, true},
      {"250", kNullMin, kNullMax, 250, false},
      {"1000", kNullMin, kNullMax, 1000, false},  // the maximum itself stays
      {"4095", kSpanMin, kSpanMax, 4095, false},
      {"2001", kSpanMin, kSpanMax, 2001, false},
  };
  for (const Case& c : cases) {
    const NullSpanLeave leave = ClampNullSpanField(c.text, c.min, c.max);
    EXPECT_EQ(leave.value, c.value) << c.text;
    EXPECT_EQ(leave.rewrite, c.rewrite) << c.text;
  }
}

TEST(NullSpanFrameTest, ScrollRules) {
  struct Case {
    ScrollAction action;
    int current;
    int thumb;
    int min;
    int max;
    ScrollOutcome expected;
  };
  const Case cases[] = {
      {ScrollAction::kLineLeft, 500, 0, 0, 1000, {true, 499, true}},
      {ScrollAction::kLineLeft, 0, 0, 0, 1000, {true, 0, true}},        // clamps at the minimum
      {ScrollAction::kLineLeft, 2000, 0, 2000, 4095, {true, 2000, true}},
      {ScrollAction::kLineRight, 4094, 0, 2000, 4095, {true, 4095, true}},
      {ScrollAction::kLineRight, 4095, 0, 2000, 4095, {true, 4095, true}},  // clamps at the maximum
      {ScrollAction::kThumbTrack, 100, 700, 0, 1000, {true, 700, false}},
      {ScrollAction::kThumbRelease, 700, 700, 0, 1000, {true, 700, true}},
      {ScrollAction::kOther, 300, 900, 0, 1000, {false, 300, false}},  // page or trough click
  };
  for (const Case& c : cases) {
    const ScrollOutcome out = ApplyScroll(c.action, c.current, c.thumb, c.min, c.max);
    EXPECT_EQ(out.move_bar, c.expected.move_bar) << static_cast<int>(c.action);
    EXPECT_EQ(out.position, c.expected.position) << static_cast<int>(c.action);
    EXPECT_EQ(out.write_text, c.expected.write_text) << static_cast<int>(c.action);
  }
}

}  // namespace
}  // namespace kelvt
