#include "psf/config_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "psf/psf_image.h"

namespace kelvt {
namespace {

using Prepare = std::function<void(PsfRecord&)>;

std::string Msg(const RuleResult& r) { return r.message ? r.message : ""; }

// Every rule reports the states its record implies, and a caption with
// every message.
void ExpectConsistent(const PsfRecord& r, const RuleResult& result) {
  EXPECT_EQ(result.states, ComputeFieldStates(r));
  EXPECT_EQ(result.message == nullptr, result.caption == nullptr);
}

// --- Blanking ---------------------------------------------------------------

enum class Leave { kLow, kHigh };

struct BlankingCase {
  const char* name;
  const char* b1l;
  const char* b1h;
  const char* b2l;
  const char* b2h;
  Leave leave;
  int field;
  const char* e1l;
  const char* e1h;
  const char* e2l;
  const char* e2h;
  const char* message;
  unsigned rewritten;
};

constexpr unsigned kField1 = kBoxBlank1Low | kBoxBlank1High;
constexpr unsigned kField2 = kBoxBlank2Low | kBoxBlank2High;
constexpr const char* kTwo = kMsgField1BelowField2Low;
constexpr const char* kOne = kMsgField1BelowField2High;

TEST(BlankingRules, LowAndHighOfBothFields) {
  const BlankingCase cases[] = {
      {"field 1 low reaches field 2", "150", "200", "100", "300", Leave::kLow, 1,
       "99", "200", "100", "300", kTwo, kField1},
      {"field 2 low at 384", "390", "390", "384", "384", Leave::kLow, 1,
       "383", "384", "384", "384", kTwo, kField1},
      {"field 2 low under field 1 high", "10", "200", "150", "0", Leave::kLow, 2,
       "10", "200", "201", "201", kOne, kField2},
      {"field 1 high at 384", "10", "384", "150", "300", Leave::kLow, 2,
       "10", "384", "384", "384", kOne, kField2},
      {"field 2 unused: field 1 free", "300", "384", "0", "0", Leave::kLow, 1,
       "300", "384", "0", "0", "", 0},
      {"low 0 clears high", "0", "50", "0", "0", Leave::kLow, 1,
       "0", "0", "0", "0", "", kField1},
      {"empty low", "", "50", "0", "0", Leave::kLow, 1,
       "0", "0", "0", "0", "", kField1},
      {"low above 384", "500", "0", "0", "0", Leave::kLow, 1,
       "384", "384", "0", "0", "", kField1},
      {"field 2 low above 384", "0", "0", "500", "0", Leave::kLow, 2,
       "0", "0", "384", "384", "", kField2},
      {"all four at 384, field 1", "384", "384", "384", "384", Leave::kLow, 1,
       "383", "384", "384", "384", kTwo, kField1},
      {"all four at 384, field 2", "384", "384", "384", "384", Leave::kLow, 2,
       "384", "384", "384", "384", kOne, 0},
      {"non-digits read as 0", "abc", "40", "0", "0", Leave::kLow, 1,
       "0", "0", "0", "0", "", kField1},
      {"leading zeros rewritten", "007", "40", "0", "0", Leave::kLow, 1,
       "7", "40", "0", "0", "", kField1},
      {"high 0 clears low", "20", "0", "0", "0", Leave::kHigh, 1,
       "0", "0", "0", "0", "", kField1},
      {"high reaches field 2", "10", "150", "100", "200", Leave::kHigh, 1,
       "10", "99", "100", "200", kTwo, kField1},
      {"field 2 high under field 1", "10", "200", "210", "150", Leave::kHigh, 2,
       "10", "200", "210", "210", kOne, kField2},
      {"field 2 high above 384", "10", "200", "0", "500", Leave::kHigh, 2,
       "10", "200", "384", "384", "", kField2},
      {"high below low 384 pulls low", "384", "100", "0", "0", Leave::kHigh, 1,
       "100", "100", "0", "0", "", kField1},
      {"high below low raises high", "200", "100", "0", "0", Leave::kHigh, 1,
       "200", "200", "0", "0", "", kField1},
      {"low 0 takes high", "0", "50", "0", "0", Leave::kHigh, 1,
       "50", "50", "0", "0", "", kField1},
      {"empty high", "20", "", "0", "0", Leave::kHigh, 1,
       "0", "0", "0", "0", "", kField1},
      {"high above 384, field 1", "20", "999", "0", "0", Leave::kHigh, 1,
       "20", "384", "0", "0", "", kField1},
      {"valid pair untouched", "20", "40", "41", "60", Leave::kHigh, 2,
       "20", "40", "41", "60", "", 0},
  };
  for (const BlankingCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    SetField(r.blank1_low, c.b1l);
    SetField(r.blank1_high, c.b1h);
    SetField(r.blank2_low, c.b2l);
    SetField(r.blank2_high, c.b2h);
    const RuleResult result = c.leave == Leave::kLow ? CheckBlankingLow(r, c.field)
                                                     : CheckBlankingHigh(r, c.field);
    EXPECT_STREQ(r.blank1_low, c.e1l);
    EXPECT_STREQ(r.blank1_high, c.e1h);
    EXPECT_STREQ(r.blank2_low, c.e2l);
    EXPECT_STREQ(r.blank2_high, c.e2h);
    EXPECT_EQ(Msg(result), c.message);
    if (result.HasMessage()) {
      EXPECT_STREQ(result.caption, "Kelvo-Tarn 2.0");
    }
    EXPECT_EQ(result.rewritten, c.rewritten);
    ExpectConsistent(r, result);
  }
}

// --- Set points and hysteresis ----------------------------------------------

enum class Check { kSetLow, kSetHigh, kHystLow, kHystHigh };

struct SetPointCase {
  const char* name;
  int output;
  Check check;
  const char* lt;
  const char* ht;
  const char* lh;
  const char* hh;
  const char* elt;
  const char* eht;
  const char* elh;
  const char* ehh;
  unsigned rewritten;  // in output 1's bits; shifted for output 2
};

constexpr unsigned kLT = kBoxOut1LowThreshold, kHT = kBoxOut1HighThreshold,
                   kLH = kBoxOut1LowHysteresis, kHH = kBoxOut1HighHysteresis;

TEST(SetPointRules, ThresholdsAndHysteresis) {
  const SetPointCase cases[] = {
      {"empty low becomes 1", 1, Check::kSetLow, "", "1", "0", "2",
       "1", "1", "0", "2", kLT | kLH},
      {"low 0 pulls high to 1", 1, Check::kSetLow, "0", "200", "5", "201",
       "1", "1", "0", "2", kLT | kHT | kLH | kHH},
      {"low 50 over high 40", 1, Check::kSetLow, "50", "40", "0", "2",
       "50", "50", "49", "51", kHT | kLH | kHH},
      {"same on output 2", 2, Check::kSetLow, "50", "40", "0", "2",
       "50", "50", "49", "51", kHT | kLH | kHH},
      {"low and high above 384", 1, Check::kSetLow, "500", "600", "0", "2",
       "384", "384", "383", "385", kLT | kHT | kLH | kHH},
      {"valid low keeps high hysteresis", 1, Check::kSetLow, "10", "20", "3", "30",
       "10", "20", "9", "30", kLH},
      {"high 384", 1, Check::kSetHigh, "10", "384", "5", "2",
       "10", "384", "5", "385", kHH},
      {"high 999", 1, Check::kSetHigh, "10", "999", "5", "2",
       "10", "384", "5", "385", kHT | kHH},
      {"high 0 clears low", 1, Check::kSetHigh, "10", "0", "5", "2",
       "0", "0", "0", "1", kLT | kHH | kLH},
      {"high below low", 2, Check::kSetHigh, "40", "30", "39", "31",
       "40", "40", "39", "41", kHT | kHH},
      {"empty high counts 1", 1, Check::kSetHigh, "1", "", "0", "9",
       "1", "1", "0", "2", kHT | kHH},
      {"high side raised", 1, Check::kHystHigh, "5", "10", "0", "5",
       "5", "10", "0", "11", kHH},
      {"high side kept", 1, Check::kHystHigh, "5", "10", "0", "20",
       "5", "10", "0", "20", 0},
      {"high side threshold 0", 1, Check::kHystHigh, "0", "0", "0", "7",
       "0", "0", "0", "1", kHH},
      {"high side at 384 stops at 385", 1, Check::kHystHigh, "5", "384", "0", "100",
       "5", "384", "0", "385", kHH},
      {"high side above 385", 1, Check::kHystHigh, "5", "10", "0", "999",
       "5", "10", "0", "385", kHH},
      {"high side empty", 2, Check::kHystHigh, "5", "10", "0", "",
       "5", "10", "0", "11", kHH},
      {"low side lowered", 1, Check::kHystLow, "10", "20", "10", "21",
       "10", "20", "9", "21", kLH},
      {"low side stops at 0", 1, Check::kHystLow, "0", "20", "0", "21",
       "0", "20", "0", "21", 0},
      {"low side kept", 1, Check::kHystLow, "10", "20", "5", "21",
       "10", "20", "5", "21", 0},
      {"low side empty", 1, Check::kHystLow, "10", "20", "", "21",
       "10", "20", "0", "21", kLH},
  };
  for (const SetPointCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    const bool two = c.output == 2;
    char(&lt)[5] = two ? r.out2_low_threshold : r.out1_low_threshold;
    char(&ht)[5] = two ? r.out2_high_threshold : r.out1_high_threshold;
    char(&lh)[5] = two ? r.out2_low_hysteresis : r.out1_low_hysteresis;
    char(&hh)[5] = two ? r.out2_high_hysteresis : r.out1_high_hysteresis;
    SetField(lt, c.lt);
    SetField(ht, c.ht);
    SetField(lh, c.lh);
    SetField(hh, c.hh);
    const PsfRecord other_before = r;
    RuleResult result;
    switch (c.check) {
      case Check::kSetLow: result = CheckSetPointLow(r, c.output); break;
      case Check::kSetHigh: result = CheckSetPointHigh(r, c.output); break;
      case Check::kHystLow: result = CheckHysteresis(r, c.output, Side::kLow); break;
      case Check::kHystHigh: result = CheckHysteresis(r, c.output, Side::kHigh); break;
    }
    EXPECT_STREQ(lt, c.elt);
    EXPECT_STREQ(ht, c.eht);
    EXPECT_STREQ(lh, c.elh);
    EXPECT_STREQ(hh, c.ehh);
    EXPECT_EQ(result.rewritten, two ? c.rewritten << 6 : c.rewritten);
    EXPECT_FALSE(result.HasMessage());
    // The other output is never touched.
    const char* untouched = two ? r.out1_low_threshold : r.out2_low_threshold;
    EXPECT_STREQ(untouched, two ? other_before.out1_low_threshold
                                : other_before.out2_low_threshold);
    ExpectConsistent(r, result);
  }
}

TEST(SetPointRules, TriggerValue) {
  const struct {
    const char* text;
    const char* expected;
    bool rewritten;
  } cases[] = {{"500", "192", true}, {"0", "1", true},   {"", "1", true},
               {"50", "50", false},  {"192", "192", false}, {"193", "192", true},
               {"1", "1", false},    {"abc", "1", true},  {"07", "7", true}};
  for (const auto& c : cases) {
    PsfRecord r;
    SetField(r.trigger_value, c.text);
    const RuleResult result = CheckTriggerValue(r);
    EXPECT_STREQ(r.trigger_value, c.expected) << c.text;
    EXPECT_EQ(result.rewritten == kBoxTriggerValue, c.rewritten) << c.text;
  }
}

// --- Typing ------------------------------------------------------------------

TEST(TypingRules, FilterDigits) {
  const struct {
    const char* typed;
    const char* shown;
    bool rewrite;
  } cases[] = {{"05", "5", true},     {"a", "", true},     {"5", "5", false},
               {"0", "0", false},     {"00", "0", true},   {"1234", "123", true},
               {"1a2", "12", true},   {"007", "7", true},  {"", "", false},
               {"384", "384", false}, {"-12", "12", true}, {"1 0", "10", true}};
  for (const auto& c : cases) {
    const TypedText t = FilterDigits(c.typed);
    EXPECT_EQ(t.text, c.shown) << c.typed;
    EXPECT_EQ(t.rewrite, c.rewrite) << c.typed;
  }
}

TEST(TypingRules, Invert) {
  const struct {
    const char* typed;
    const char* shown;
    bool rewrite;
  } cases[] = {{"yes", "Yes", true},  {"n", "No", true},     {"x", "x", false},
               {"Yes", "Yes", false}, {"No", "No", false},   {"", "", false},
               {"Noy", "Yes", true},  {"YN", "No", true},    {"Y", "Yes", true},
               {"abcdefg", "abcd", true}, {"ab", "ab", false}};
  for (const auto& c : cases) {
    const TypedText t = NormalizeInvert(c.typed);
    EXPECT_EQ(t.text, c.shown) << c.typed;
    EXPECT_EQ(t.rewrite, c.rewrite) << c.typed;
  }
  EXPECT_EQ(LeaveInvert("").text, "No");
  EXPECT_TRUE(LeaveInvert("").rewrite);
  EXPECT_EQ(LeaveInvert("y").text, "Yes");
  EXPECT_FALSE(LeaveInvert("No").rewrite);
}

struct ScanCase {
  const char* name;
  ScanCountBox box;
  const char* typed;
  bool leaving;
  const char* all;  // what all four fields hold afterwards
  unsigned rewritten;
};

TEST(TypingRules, ScanCountIsShared) {
  constexpr unsigned kOthersOf2 = kBoxOut1ScanCount | kBoxAnalog1ScanCount | kBoxAnalog2ScanCount;
  constexpr unsigned kAll = kOthersOf2 | kBoxOut2ScanCount;
  const ScanCase cases[] = {
      {"7 in output 2", ScanCountBox::kOutput2, "7", false, "7", kOthersOf2},
      {"second replaces first", ScanCountBox::kOutput2, "37", false, "7", kAll},
      {"same digit", ScanCountBox::kOutput2, "3", false, "3", 0},
      {"0 becomes 1", ScanCountBox::kOutput2, "0", false, "1", kAll},
      {"letter becomes 1", ScanCountBox::kOutput2, "x", false, "1", kAll},
      {"emptied empties all", ScanCountBox::kOutput2, "", false, "", kOthersOf2},
      {"left empty becomes 1", ScanCountBox::kAnalog1, "", true, "1", kAll},
      {"left with a digit", ScanCountBox::kAnalog2, "9", true, "9", kAll & ~kBoxAnalog2ScanCount},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    SetField(r.out1_scan_count, "3");
    SetField(r.out2_scan_count, "3");
    SetField(r.analog1_scan_count, "3");
    SetField(r.analog2_scan_count, "3");
    const RuleResult result = c.leaving ? LeaveScanCount(r, c.box, c.typed)
                                        : NormalizeScanCount(r, c.box, c.typed);
    EXPECT_STREQ(r.out1_scan_count, c.all);
    EXPECT_STREQ(r.out2_scan_count, c.all);
    EXPECT_STREQ(r.analog1_scan_count, c.all);
    EXPECT_STREQ(r.analog2_scan_count, c.all);
    EXPECT_EQ(result.rewritten, c.rewritten);
  }
}

// --- Measurement modes ----------------------------------------------------------

struct ModeCase {
  const char* name;
  Prepare setup;
  int list;
  const char* chosen;
  const char* meas1;
  const char* meas2;
  const char* message;
  bool beep;
};

void Modes(PsfRecord& r, const char* m1, const char* m2) {
  SetField(r.meas1_mode, m1);
  SetField(r.meas2_mode, m2);
}

TEST(MeasurementRules, SelectModes) {
  const ModeCase cases[] = {
      {"VHS drops TBB", [](PsfRecord& r) { Modes(r, "FBB", "TBB"); }, 1, "VHS",
       "VHS", "None", "", false},
      {"VHS keeps LBB", [](PsfRecord& r) { Modes(r, "FBB", "LBB"); }, 1, "VHS",
       "VHS", "LBB", "", false},
      {"VHS keeps ALL", [](PsfRecord& r) { Modes(r, "FBB", "ALL"); }, 1, "VHS",
       "VHS", "ALL", "", false},
      {"VHS keeps FBB", [](PsfRecord& r) { Modes(r, "LBB", "FBB"); }, 1,
       "VHS", "VHS", "FBB", "", false},
      {"identical second", [](PsfRecord& r) { Modes(r, "FBM", "None"); }, 2, "FBM",
       "FBM", "None", kMsgIdenticalModes, false},
      {"identical first", [](PsfRecord& r) { Modes(r, "FBB", "TBB"); }, 1, "TBB",
       "None", "TBB", kMsgIdenticalModes, false},
      {"both None, second", [](PsfRecord& r) { Modes(r, "None", "FBB"); }, 2, "None",
       "None", "FBB", kMsgIdenticalModes, false},
      {"both None, first", [](PsfRecord& r) { Modes(r, "FBB", "None"); }, 1, "None",
       "FBB", "None", kMsgIdenticalModes, false},
      {"Edge forces LBB", [](PsfRecord& r) { Modes(r, "LBB", "None"); r.edge = kSelected; },
       1, "TBB", "LBB", "None", "", true},
      {"Edge forces None", [](PsfRecord& r) { Modes(r, "LBB", "None"); r.edge = kSelected; },
       2, "FBB", "LBB", "None", "", false},
      {"VHS first: second TBB refused", [](PsfRecord& r) { Modes(r, "VHS", "LBB"); }, 2,
       "TBB", "VHS", "None", "", false},
      {"VHS first: second FBB kept", [](PsfRecord& r) { Modes(r, "VHS", "LBB"); }, 2,
       "FBB", "VHS", "FBB", "", false},
      {"plain change", [](PsfRecord& r) { Modes(r, "FBB", "None"); }, 2, "CBM",
       "FBB", "CBM", "", false},
      {"overlong name cut to field", [](PsfRecord& r) { Modes(r, "FBB", "None"); }, 2,
       "LBBLBBLBB", "FBB", "LBBL", "", false},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    c.setup(r);
    const RuleResult result =
        c.list == 1 ? SelectMeasurement1(r, c.chosen) : SelectMeasurement2(r, c.chosen);
    EXPECT_STREQ(r.meas1_mode, c.meas1);
    EXPECT_STREQ(r.meas2_mode, c.meas2);
    EXPECT_EQ(Msg(result), c.message);
    EXPECT_EQ(result.beep, c.beep);
    EXPECT_EQ(result.touched & (kGroupOutput1 | kGroupOutput2 | kGroupAnalog1 | kGroupAnalog2),
              unsigned{kGroupOutput1 | kGroupOutput2 | kGroupAnalog1 | kGroupAnalog2});
    ExpectConsistent(r, result);
  }
}

TEST(MeasurementRules, ModeChangeRechecksOutputsSilently) {
  PsfRecord r;
  Modes(r, "FBB", "LBB");
  SetField(r.out1_mode, "1");
  SetField(r.out2_mode, "2");
  RuleResult result = SelectMeasurement1(r, "ALL");
  EXPECT_STREQ(r.out1_mode, "Disabled");
  EXPECT_STREQ(r.out2_mode, "2");
  EXPECT_FALSE(result.HasMessage());
  EXPECT_FALSE(result.states.output1);
  EXPECT_TRUE(result.states.output2);

  SetField(r.analog1_source, "Meas2");
  result = SelectMeasurement2(r, "None");
  EXPECT_STREQ(r.analog1_source, "Disabled");
  EXPECT_STREQ(r.out2_mode, "Disabled");
  EXPECT_FALSE(result.HasMessage());
  EXPECT_FALSE(result.states.analog1);
}

TEST(MeasurementRules, CheckExecuteModes) {
  const struct {
    const char* m1;
    const char* m2;
    const char* message;
  } cases[] = {
      {"FBB", "None", ""},           {"None", "FBB", ""},
      {"VHS", "LBB", ""},            {"TBB", "LBM", ""},
      {"None", "None", kMsgNoneOrAll}, {"ALL", "LBB", kMsgNoneOrAll},
      {"FBB", "ALL", kMsgNoneOrAll}, {"ALL", "None", kMsgNoneOrAll},
      {"VHS", "None", kMsgInvalidCombination},
  };
  for (const auto& c : cases) {
    PsfRecord r;
    Modes(r, c.m1, c.m2);
    const RuleResult result = CheckExecuteModes(r);
    EXPECT_EQ(Msg(result), c.message) << c.m1 << "/" << c.m2;
    EXPECT_EQ(result.allowed, *c.message == '\0');
    if (result.HasMessage()) {
      EXPECT_STREQ(result.caption, "Kelvo-Tarn");
    }
  }
  EXPECT_STREQ(kMsgNoneOrAll,
               "At least one meas must not be 'None' and neither can be set to 'All'");
}

// VHS with None passes every editing rule but not the trial run.
TEST(MeasurementRules, VhsWithNoneOnlyRefusedByExecute) {
  PsfRecord r;
  const RuleResult chosen = SelectMeasurement1(r, "VHS");
  EXPECT_FALSE(chosen.HasMessage());
  EXPECT_STREQ(r.meas2_mode, "None");
  EXPECT_FALSE(CheckExecuteModes(r).allowed);
}

// --- Scanning method, scan control ------------------------------------------------

TEST(ScanningRules, EdgeForcesModesAndDisablesOutputs) {
  PsfRecord r;
  Modes(r, "TBB", "CBB");
  SetField(r.out1_mode, "1");
  SetField(r.out2_mode, "2");
  SetField(r.analog2_source, "Meas1");  // stale, as a file might carry
  const RuleResult result = SelectScanningMethod(r, ScanningMethod::kEdge);
  EXPECT_EQ(Msg(result), "Meas1 is LBB;  Outputs Must be Re-Configured");
  EXPECT_STREQ(result.caption, "Kelvo-Tarn 2.0");
  EXPECT_STREQ(r.meas1_mode, "LBB");
  EXPECT_STREQ(r.meas2_mode, "None");
  EXPECT_STREQ(r.out1_mode, "Disabled");
  EXPECT_STREQ(r.out2_mode, "Disabled");
  EXPECT_STREQ(r.analog1_source, "Disabled");
  EXPECT_STREQ(r.analog2_source, "Disabled");
  EXPECT_EQ(r.edge, kSelected);
  EXPECT_EQ(r.straight, kNotSelected);
  EXPECT_EQ(result.touched, unsigned{kAllGroups & ~kGroupTriggerValue});
  EXPECT_FALSE(result.states.blanking);
  EXPECT_FALSE(result.states.skip_count);
  ExpectConsistent(r, result);
}

TEST(ScanningRules, MethodsAreExclusive) {
  const struct {
    ScanningMethod method;
    bool skip_in_use;
  } cases[] = {{ScanningMethod::kSkip, true},
               {ScanningMethod::kStraight, false},
               {ScanningMethod::kInterlaced, false}};
  for (const auto& c : cases) {
    PsfRecord r;
    SelectScanningMethod(r, ScanningMethod::kEdge);
    SetField(r.skip_count, "5");
    const RuleResult result = SelectScanningMethod(r, c.method);
    const int selected = (r.straight == kSelected) + (r.interlaced == kSelected) +
                         (r.edge == kSelected) + (r.skip == kSelected);
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(result.states.skip_count, c.skip_in_use);
    EXPECT_TRUE(result.states.blanking);  // back in use after Edge
    EXPECT_FALSE(result.HasMessage());
    EXPECT_STREQ(r.skip_count, "5");  // kept while not shown
  }
  PsfRecord r;
  SelectSkipCount(r, 7);
  EXPECT_STREQ(r.skip_count, "7");
  SelectSkipCount(r, 12);
  EXPECT_STREQ(r.skip_count, "7");
  SelectSkipCount(r, 0);
  EXPECT_STREQ(r.skip_count, "1");
}

TEST(ScanningRules, ScanControlIsExclusive) {
  const struct {
    ScanControl control;
    Selection continuous, gate, host;
  } cases[] = {{ScanControl::kGate, kNotSelected, kSelected, kNotSelected},
               {ScanControl::kHostMode, kNotSelected, kNotSelected, kSelected},
               {ScanControl::kContinuous, kSelected, kNotSelected, kNotSelected}};
  PsfRecord r;
  for (const auto& c : cases) {
    SelectScanControl(r, c.control);
    EXPECT_EQ(r.continuous, c.continuous);
    EXPECT_EQ(r.gate, c.gate);
    EXPECT_EQ(r.host_mode, c.host);
  }
}

// --- Outputs ---------------------------------------------------------------------

struct OutputCase {
  const char* name;
  Prepare setup;
  int output;
  const char* mode;
  bool announce;
  const char* expected_mode;
  const char* message;
  bool in_use;
};

TEST(OutputRules, SelectOutputMode) {
  const OutputCase cases[] = {
      {"meas1 ALL announced", [](PsfRecord& r) { Modes(r, "ALL", "None"); }, 1, "1",
       true, "Disabled", kMsgMeasurement1, false},
      {"meas1 ALL by a rule", [](PsfRecord& r) { Modes(r, "ALL", "None"); }, 1, "1",
       false, "Disabled", "", false},
      {"meas2 None announced", [](PsfRecord& r) { Modes(r, "FBB", "None"); }, 2, "2",
       true, "Disabled", kMsgMeasurement2, false},
      {"meas1 VHS on output 2", [](PsfRecord& r) { Modes(r, "VHS", "LBB"); }, 2, "1",
       true, "Disabled", kMsgMeasurement1, false},
      {"usable", [](PsfRecord& r) { Modes(r, "CBM", "None"); }, 2, "1", true, "1", "",
       true},
      {"first character counts", [](PsfRecord& r) { Modes(r, "FBB", "LBM"); }, 1, "2xyz",
       true, "2", "", true},
      {"disabled", [](PsfRecord& r) { SetField(r.out1_mode, "1"); }, 1, "Disabled", true,
       "Disabled", "", false},
      {"empty mode", [](PsfRecord&) {}, 1, "", true, "Disabled", "", false},
  };
  for (const OutputCase& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    c.setup(r);
    const RuleResult result = SelectOutputMode(r, c.output, c.mode, c.announce);
    EXPECT_STREQ(c.output == 1 ? r.out1_mode : r.out2_mode, c.expected_mode);
    EXPECT_EQ(Msg(result), c.message);
    EXPECT_EQ(c.output == 1 ? result.states.output1 : result.states.output2, c.in_use);
    EXPECT_TRUE(result.touched & (c.output == 1 ? kGroupOutput1 : kGroupOutput2));
    ExpectConsistent(r, result);
  }
}

TEST(OutputRules, Output1AndAnalogsExcludeEachOther) {
  PsfRecord r;
  Modes(r, "FBB", "LBB");
  SelectAnalogSource(r, 1, "Meas1", true);
  RuleResult result = SelectAnalogSource(r, 2, "Meas2", true);
  EXPECT_TRUE(result.states.analog1);
  EXPECT_TRUE(result.states.analog2);

  result = SelectOutputMode(r, 1, "1", true);
  EXPECT_STREQ(r.analog1_source, "Disabled");
  EXPECT_STREQ(r.analog2_source, "Disabled");
  EXPECT_TRUE(result.states.output1);
  EXPECT_FALSE(result.states.analog1);
  EXPECT_EQ(result.touched, unsigned{kGroupOutput1 | kGroupAnalog1 | kGroupAnalog2});

  result = SelectAnalogSource(r, 2, "Meas2", true);
  EXPECT_STREQ(r.out1_mode, "Disabled");
  EXPECT_FALSE(result.states.output1);
  EXPECT_TRUE(result.states.analog2);
  EXPECT_EQ(result.touched, unsigned{kGroupAnalog2 | kGroupOutput1});
}

TEST(OutputRules, AnnouncedOutput2EndsAlarmAndTrigger) {
  for (bool announce : {true, false}) {
    PsfRecord r;
    r.trigger = kSelected;
    const RuleResult result = SelectOutputMode(r, 2, "Disabled", announce);
    EXPECT_EQ(r.trigger, announce ? kNotSelected : kSelected);
    EXPECT_EQ(result.states.trigger_value, !announce);
    EXPECT_EQ((result.touched & kGroupTriggerValue) != 0, announce);
    PsfRecord a;
    a.alarm = kSelected;
    SelectOutputMode(a, 2, "Disabled", announce);
    EXPECT_EQ(a.alarm, announce ? kNotSelected : kSelected);
  }
}

TEST(OutputRules, AnalogSources) {
  const struct {
    const char* m1;
    const char* m2;
    const char* source;
    bool announce;
    const char* expected;
    const char* message;
  } cases[] = {
      {"FBB", "None", "Meas2", true, "Disabled", kMsgAnalysisModeNone},
      {"FBB", "None", "Meas2", false, "Disabled", ""},
      {"VHS", "LBB", "Meas1", true, "Disabled", kMsgAnalysisModeNone},
      {"ALL", "LBB", "Meas2", true, "Meas2", ""},
      {"FBB", "None", "Meas1", true, "Meas1", ""},
      {"FBB", "None", "Disabled", true, "Disabled", ""},
      {"FBB", "None", "Meas", true, "Disabled", ""},
  };
  for (const auto& c : cases) {
    PsfRecord r;
    Modes(r, c.m1, c.m2);
    const RuleResult result = SelectAnalogSource(r, 2, c.source, c.announce);
    EXPECT_STREQ(r.analog2_source, c.expected) << c.source;
    EXPECT_STREQ(r.analog1_source, "Disabled");
    EXPECT_EQ(Msg(result), c.message) << c.source;
    ExpectConsistent(r, result);
  }
}

TEST(OutputRules, AlarmAndTriggerToggles) {
  PsfRecord r;
  SetField(r.out2_mode, "1");
  RuleResult result = ToggleAlarm(r);
  EXPECT_EQ(r.alarm, kSelected);
  EXPECT_STREQ(r.out2_mode, "Disabled");
  EXPECT_FALSE(result.states.output2);
  EXPECT_FALSE(result.states.trigger_value);

  result = ToggleTrigger(r);
  EXPECT_EQ(r.trigger, kSelected);
  EXPECT_EQ(r.alarm, kNotSelected);
  EXPECT_TRUE(result.states.trigger_value);
  EXPECT_EQ(result.touched, unsigned{kGroupOutput2 | kGroupTriggerValue});

  result = ToggleAlarm(r);
  EXPECT_EQ(r.alarm, kSelected);
  EXPECT_EQ(r.trigger, kNotSelected);
  EXPECT_FALSE(result.states.trigger_value);

  ToggleAlarm(r);
  EXPECT_EQ(r.alarm, kNotSelected);
  ToggleTrigger(r);
  result = ToggleTrigger(r);
  EXPECT_EQ(r.trigger, kNotSelected);
  EXPECT_FALSE(result.states.trigger_value);

  char image[kPsfSize + 1];
  ToggleTrigger(r);
  r.Encode(image);
  EXPECT_EQ(image[34], 'v');
}

// --- Serial transmission ------------------------------------------------------------

TEST(SerialRules, Transmission) {
  using C = SerialChoice;
  const struct {
    const char* name;
    std::vector<SerialChoice> clicks;
    char code;
  } cases[] = {
      {"none", {C::kAscii, C::kNoSerial}, 'g'},
      {"ascii", {C::kBinaryCompress, C::kAscii}, 'a'},
      {"ascii suppress clear", {C::kAsciiSuppressClear}, 'b'},
      {"binary", {C::kAsciiSuppressClear, C::kBinary}, 'c'},
      {"header twice", {C::kBinary, C::kBinarySuppressHeader, C::kBinarySuppressHeader}, 'c'},
      {"header and compress", {C::kBinarySuppressHeader, C::kBinaryCompress}, 'j'},
      {"all three", {C::kBinarySuppressClear, C::kBinarySuppressHeader, C::kBinaryCompress}, 'k'},
      {"binary clears options", {C::kBinaryCompress, C::kBinary}, 'c'},
      {"option survives another", {C::kBinarySuppressClear, C::kBinaryCompress}, 'i'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    for (SerialChoice click : c.clicks) SelectSerialTransmission(r, click);
    const int transmissions = (r.no_serial == kSelected) + (r.ascii_tx == kSelected) +
                              (r.binary_tx == kSelected);
    EXPECT_EQ(transmissions, 1);
    char image[kPsfSize + 1];
    r.Encode(image);
    EXPECT_EQ(image[64], c.code);
  }
  PsfRecord r;
  SelectSerialTransmission(r, SerialChoice::kBinary);
  SelectSerialTransmission(r, SerialChoice::kBinarySuppressHeader);
  SelectSerialTransmission(r, SerialChoice::kBinarySuppressHeader);
  EXPECT_EQ(r.binary_suppress_header, kNotSelected);
  EXPECT_EQ(r.binary_tx, kSelected);
}

// --- Field states ------------------------------------------------------------------

TEST(FieldStateRules, FromRecord) {
  const struct {
    const char* name;
    Prepare setup;
    FieldStates expected;
  } cases[] = {
      {"defaults", [](PsfRecord&) {}, {false, false, false, false, false, false, true}},
      {"output 1 wins over analog",
       [](PsfRecord& r) {
         SetField(r.out1_mode, "1");
         SetField(r.analog1_source, "Meas1");
       },
       {true, false, false, false, false, false, true}},
      {"analogs", [](PsfRecord& r) { SetField(r.analog2_source, "Meas2"); },
       {false, false, false, true, false, false, true}},
      {"output 2", [](PsfRecord& r) { SetField(r.out2_mode, "2"); },
       {false, true, false, false, false, false, true}},
      {"skip", [](PsfRecord& r) { r.straight = kNotSelected; r.skip = kSelected; },
       {false, false, false, false, true, false, true}},
      {"trigger", [](PsfRecord& r) { r.trigger = kSelected; },
       {false, false, false, false, false, true, true}},
      {"edge", [](PsfRecord& r) { r.straight = kNotSelected; r.edge = kSelected; },
       {false, false, false, false, false, false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PsfRecord r;
    c.setup(r);
    EXPECT_EQ(ComputeFieldStates(r), c.expected);
  }
  FieldStates s;
  s.analog2 = true;
  EXPECT_TRUE(s.InUse(kGroupAnalog2));
  EXPECT_FALSE(s.InUse(kGroupAnalog1));
  EXPECT_TRUE(s.InUse(kGroupBlanking));
}

TEST(FieldStateRules, UsableModes) {
  for (int i = 0; i < kMeasurement1Count; ++i) {
    EXPECT_EQ(UsableByOutput(kMeasurement1Names[i]), i < 8) << kMeasurement1Names[i];
  }
  EXPECT_FALSE(UsableByOutput(""));
  EXPECT_FALSE(UsableByOutput("fbb"));
  EXPECT_FALSE(UsableByOutput(nullptr));
}

TEST(ValueParsing, LeadingDigits) {
  const struct {
    const char* text;
    int empty;
    int value;
  } cases[] = {{"", 0, 0},     {"", 1, 1},         {"12", 0, 12},  {"12a", 0, 12},
               {"a12", 0, 0},  {"-5", 0, 0},       {"007", 0, 7},  {"9999999999999", 0, 999999999}};
  for (const auto& c : cases) EXPECT_EQ(ParseValue(c.text, c.empty), c.value) << c.text;
}

// Any text in any field: every rule keeps every field terminated inside itself.
TEST(RuleRobustness, OddTextsNeverOverflowFields) {
  const char* texts[] = {"", "abcd", "9999", "-1", "0000", "\xff\xfe\x80", "Yes", "1"};
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    PsfRecord r;
    char* fields[] = {r.meas1_mode, r.meas2_mode, r.blank1_low, r.blank1_high,
                      r.blank2_low, r.blank2_high, r.out1_high_hysteresis,
                      r.out2_high_hysteresis, r.out1_high_threshold, r.out2_high_threshold,
                      r.out1_low_hysteresis, r.out2_low_hysteresis, r.out1_invert,
                      r.out2_invert, r.out1_low_threshold, r.out2_low_threshold,
                      r.trigger_value, r.analog1_invert, r.analog2_invert};
    for (char* f : fields) std::snprintf(f, 5, "%s", t);
    SetField(r.out1_mode, t);
    SetField(r.out2_mode, t);
    SetField(r.analog1_source, t);
    SetField(r.analog2_source, t);
    SetField(r.out1_scan_count, t);
    const PsfRecord copy = r;
    SelectMeasurement1(r, t);
    SelectMeasurement2(r, t);
    CheckExecuteModes(r);
    for (int f = 1; f <= 2; ++f) {
      CheckBlankingLow(r, f);
      CheckBlankingHigh(r, f);
      SelectOutputMode(r, f, t, true);
      CheckSetPointLow(r, f);
      CheckSetPointHigh(r, f);
      CheckHysteresis(r, f, Side::kLow);
      CheckHysteresis(r, f, Side::kHigh);
      SelectAnalogSource(r, f, t, true);
    }
    CheckTriggerValue(r);
    NormalizeScanCount(r, ScanCountBox::kAnalog2, t);
    LeaveScanCount(r, ScanCountBox::kOutput1, t);
    SelectScanningMethod(r, ScanningMethod::kEdge);
    for (int v : {ParseValue(r.blank1_low), ParseValue(r.blank2_high),
                  ParseValue(r.out1_high_threshold), ParseValue(r.trigger_value)}) {
      EXPECT_LE(v, 385);
    }
    EXPECT_LT(FieldLength(r.meas1_mode), 5);
    EXPECT_LT(FieldLength(r.blank1_low), 5);
    EXPECT_LT(FieldLength(r.out2_high_hysteresis), 5);
    EXPECT_LT(FieldLength(r.trigger_value), 5);
    EXPECT_LT(FieldLength(r.out1_mode), 10);
    EXPECT_LT(FieldLength(r.out1_scan_count), 3);
    char image[kPsfSize + 1];
    r.Encode(image);
    EXPECT_EQ(image[kPsfSize], '\0');
    (void)copy;
  }
}

}  // namespace
}  // namespace kelvt

namespace kelvt {
namespace {

TEST(ViewRules, EdgeSendsZeroBlanking) {
  for (const bool edge : {false, true}) {
    PsfRecord r;
    r.SetDefaults();
    SetField(r.blank1_low, "12");
    SetField(r.blank2_high, "34");
    r.edge = edge ? kSelected : kNotSelected;
    ApplyEdgeBlanking(r);
    EXPECT_STREQ(r.blank1_low, edge ? "0" : "12") << edge;
    EXPECT_STREQ(r.blank2_high, edge ? "0" : "34") << edge;
  }
}

TEST(ViewRules, BoxesKeptFromView) {
  constexpr unsigned kOut2 = kBoxOut2LowThreshold | kBoxOut2HighThreshold |
                             kBoxOut2LowHysteresis | kBoxOut2HighHysteresis | kBoxOut2Invert;
  const struct {
    const char* out2_mode;
    bool trigger;
    unsigned kept;
  } cases[] = {
      {"1", true, 0},          {"2", true, 0},
      {"Disabled", true, kOut2}, {"2", false, kBoxTriggerValue},
      {"Disabled", false, kOut2 | kBoxTriggerValue},
  };
  for (const auto& c : cases) {
    PsfRecord r;
    r.SetDefaults();
    SetField(r.out2_mode, c.out2_mode);
    r.trigger = c.trigger ? kSelected : kNotSelected;
    EXPECT_EQ(BoxesKeptFromView(r), c.kept) << c.out2_mode << ' ' << c.trigger;
  }
}

TEST(ViewRules, ValueBoxFieldIsTheBoxOwnField) {
  PsfRecord r;
  const struct {
    ValueBox box;
    char* field;
    int size;
  } cases[] = {
      {kBoxBlank1Low, r.blank1_low, sizeof r.blank1_low},
      {kBoxOut1ScanCount, r.out1_scan_count, sizeof r.out1_scan_count},
      {kBoxOut2Invert, r.out2_invert, sizeof r.out2_invert},
      {kBoxAnalog2ScanCount, r.analog2_scan_count, sizeof r.analog2_scan_count},
      {kBoxTriggerValue, r.trigger_value, sizeof r.trigger_value},
  };
  for (const auto& c : cases) {
    const BoxFieldRef ref = ValueBoxField(r, c.box);
    EXPECT_EQ(ref.data, c.field) << c.box;
    EXPECT_EQ(ref.size, c.size) << c.box;
  }
}

}  // namespace
}  // namespace kelvt
