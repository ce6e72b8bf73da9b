#include "ops/psf_fields.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "ops/psf_report.h"
#include "ops/set_changes.h"
#include "psf/psf_image.h"

namespace kelvt::cli {
namespace {

std::string ValueOf(const std::vector<PsfField>& fields, const std::string& key) {
  for (const PsfField& f : fields) {
    if (f.key == key) return f.value;
  }
  ADD_FAILURE() << "no field " << key;
  return {};
}

TEST(PsfFieldsTest, KeysAreUniqueAndEveryFieldHasALabel) {
  const std::vector<PsfField> fields = DescribePsf(PsfRecord());
  std::set<std::string> keys;
  for (const PsfField& f : fields) {
    EXPECT_TRUE(keys.insert(f.key).second) << "duplicate key " << f.key;
    EXPECT_FALSE(f.label.empty()) << f.key;
  }
  EXPECT_EQ(fields.size(), 38u);
}

TEST(PsfFieldsTest, DefaultSetReadsAsTheEditorShowsIt) {
  const std::vector<PsfField> f = DescribePsf(PsfRecord());
  EXPECT_EQ(ValueOf(f, "controller_id"), "A");
  EXPECT_EQ(ValueOf(f, "scanning_method"), "Straight");
  EXPECT_EQ(ValueOf(f, "meas1_mode"), "FBB");
  EXPECT_EQ(ValueOf(f, "meas2_mode"), "None");
  EXPECT_EQ(ValueOf(f, "baud_rate"), "9600");
  EXPECT_EQ(ValueOf(f, "scan_control"), "Continuous");
  EXPECT_EQ(ValueOf(f, "out1_mode"), "Disabled");
  EXPECT_EQ(ValueOf(f, "out1_high_hysteresis"), "2");
  EXPECT_EQ(ValueOf(f, "out2_use"), "Measurement output");
  EXPECT_EQ(ValueOf(f, "analog1_source"), "Disabled");
  EXPECT_EQ(ValueOf(f, "serial_transmission"), "None");
  EXPECT_EQ(ValueOf(f, "binary_compress"), "No");
}

struct Mutation {
  const char* key;
  std::function<void(PsfRecord&)> change;
  const char* value;
};

class PsfDiffTest : public ::testing::TestWithParam<Mutation> {};

TEST_P(PsfDiffTest, ReportsExactlyTheChangedField) {
  PsfRecord a;
  PsfRecord b;
  GetParam().change(b);
  const std::vector<PsfDifference> d = DiffPsf(a, b);
  ASSERT_EQ(d.size(), 1u) << GetParam().key;
  EXPECT_EQ(d[0].key, GetParam().key);
  EXPECT_EQ(d[0].b, GetParam().value);
  EXPECT_NE(d[0].a, d[0].b);
  EXPECT_TRUE(DiffPsf(b, b).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PsfDiffTest,
    ::testing::Values(
        Mutation{"meas2_mode", [](PsfRecord& r) { SetField(r.meas2_mode, "LBB"); }, "LBB"},
        Mutation{"scanning_method",
                 [](PsfRecord& r) {
                   r.straight = kNotSelected;
                   r.edge = kSelected;
                 },
                 "Edge"},
        Mutation{"baud_rate", [](PsfRecord& r) { r.baud_index = 2; }, "38400"},
        Mutation{"baud_rate", [](PsfRecord& r) { r.baud_index = 7; }, "Unknown (code 7)"},
        Mutation{"scan_control",
                 [](PsfRecord& r) {
                   r.continuous = kNotSelected;
                   r.host_mode = kSelected;
                 },
                 "Host Mode"},
        Mutation{"blank2_high", [](PsfRecord& r) { SetField(r.blank2_high, "384"); }, "384"},
        Mutation{"out1_mode", [](PsfRecord& r) { SetField(r.out1_mode, "2"); }, "Measurement 2"},
        Mutation{"out2_use", [](PsfRecord& r) { r.trigger = kSelected; }, "Trigger"},
        Mutation{"out2_use", [](PsfRecord& r) { r.alarm = kSelected; }, "Alarm"},
        Mutation{"trigger_value", [](PsfRecord& r) { SetField(r.trigger_value, "192"); }, "192"},
        Mutation{"analog2_invert", [](PsfRecord& r) { SetField(r.analog2_invert, "Yes"); }, "Yes"},
        Mutation{"serial_transmission",
                 [](PsfRecord& r) {
                   r.no_serial = kNotSelected;
                   r.binary_tx = kSelected;
                 },
                 "Binary"},
        Mutation{"binary_suppress_header",
                 [](PsfRecord& r) { r.binary_suppress_header = kSelected; }, "Yes"},
        Mutation{"controller_id", [](PsfRecord& r) { SetField(r.controller_id, "O"); }, "O"}));

// Changes made one after another, as at the editor; the last one is judged.
struct SetCase {
  std::vector<std::pair<const char*, const char*>> changes;
  bool accepted;
  const char* shown;  // accepted: the last key's value afterwards; refused: the message
};

class PsfSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(PsfSetTest, TheEditorsRulesDecide) {
  const SetCase& c = GetParam();
  PsfRecord r;
  PsfSetResult result;
  for (const auto& [key, value] : c.changes) result = SetPsfField(r, key, value);
  const char* key = c.changes.back().first;
  if (!c.accepted) {
    EXPECT_EQ(result.status, PsfSetStatus::kRefused) << key;
    EXPECT_EQ(result.message, c.shown) << key;
    return;
  }
  EXPECT_EQ(result.status, PsfSetStatus::kChanged) << key << ": " << result.message;
  EXPECT_EQ(ValueOf(DescribePsf(r), key), c.shown) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PsfSetTest,
    ::testing::Values(
        SetCase{{{"controller_id", "c"}}, true, "C"},
        SetCase{{{"controller_id", "P"}}, false, "controller_id: 'P' is not one of A-O"},
        SetCase{{{"scanning_method", "skip"}, {"skip_count", "7"}}, true, "7"},
        SetCase{{{"baud_rate", "4800"}}, false,
                "baud_rate: '4800' is not one of 9600, 19200, 38400"},
        SetCase{{{"scan_control", "host mode"}}, true, "Host Mode"},
        SetCase{{{"meas2_mode", "VHS"}}, false,
                "meas2_mode: 'VHS' is not one of FBB LBB TBB CBB FBM LBM TBM CBM ALL None"},
        SetCase{{{"analog1_source", "Meas2"}}, false, "Change Analysis Mode from None"},
        SetCase{{{"out1_mode", "1"}, {"out1_low_threshold", "007"}}, true, "7"},
        SetCase{{{"out1_low_threshold", "7"}}, false,
                "out1_low_threshold is not in use with this set (the editor shows its box disabled)"},
        SetCase{{{"out2_use", "Trigger"}, {"trigger_value", "193"}}, false,
                "trigger_value: the editor's rules make 193 into 192"},
        SetCase{{{"out2_use", "Trigger"}, {"out2_use", "Measurement output"}}, true,
                "Measurement output"},
        SetCase{{{"serial_transmission", "binary"}, {"binary_compress", "Yes"}}, true, "Yes"},
        SetCase{{{"blank2_low", "5a"}}, false, "blank2_low: '5a' is not a number"}));

TEST(PsfSetTest, EveryShownFieldCanBeSet) {
  for (const std::string& key : SettablePsfKeys()) {
    PsfRecord r;
    EXPECT_NE(SetPsfField(r, key, "?").status, PsfSetStatus::kUnknownKey) << key;
  }
  PsfRecord r;
  EXPECT_EQ(SetPsfField(r, "colour", "red").status, PsfSetStatus::kUnknownKey);
}

TEST(PsfDiffTest, ADecodedImageEqualsTheRecordItCameFrom) {
  PsfRecord a;
  SetField(a.meas1_mode, "TBM");
  SetField(a.out2_mode, "2");
  a.skip = kSelected;
  a.straight = kNotSelected;
  SetField(a.skip_count, "5");
  char image[kPsfSize + 1];
  a.Encode(image);
  PsfRecord b;
  ASSERT_EQ(b.Decode(image), 1);
  EXPECT_TRUE(DiffPsf(a, b).empty());
  EXPECT_EQ(ValueOf(DescribePsf(b), "skip_count"), "5");
}

// A journal entry's changes: the psf diff fields, then part number and date
// code unless the sent set keeps the controller's (0x01, the editor's Send).
TEST(SetChangesTest, FieldsThenStampUnlessTheSentSetKeepsIt) {
  PsfRecord a;
  char bytes[kPsfSize + 1];
  a.Encode(bytes);
  PsfImage before;
  before.FromBytes(bytes, 0);
  before.SetPartNumber("KT-100");
  before.SetDateCode("2601");
  PsfImage sent = before;
  sent.SetMeasurementMode('C', true);  // LBB
  sent.SetPartNumber("AB\x7f""123");
  std::vector<PsfDifference> changes = SetChanges(before, sent);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].key, "meas1_mode");
  EXPECT_EQ(changes[0].a + ">" + changes[0].b, "FBB>LBB");
  EXPECT_EQ(changes[1].key + " " + changes[1].label, "part_number Part Number");
  EXPECT_EQ(changes[1].a + ">" + changes[1].b, "KT-100>AB?123");
  std::memset(sent.Data() + 66, 1, 10);
  EXPECT_EQ(SetChanges(before, sent).size(), 1u);
  EXPECT_TRUE(SetChanges(before, before).empty());
}

TEST(SetChangesTest, NullSpanValuesByName) {
  const std::vector<PsfDifference> changes =
      NullSpanChanges(NullSpanValues{0, 4095, 10, 3000}, NullSpanValues{0, 4000, 10, 2000});
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].key + "|" + changes[0].label + "|" + changes[0].a + "|" + changes[0].b,
            "span1|Analog Output#1 Span|4095|4000");
  EXPECT_EQ(changes[1].key + "|" + changes[1].a + "|" + changes[1].b, "span2|3000|2000");
}

}  // namespace
}  // namespace kelvt::cli

namespace kelvt {
namespace {

TEST(PsfReport, EveryFieldAndTheSourceEscaped) {
  PsfRecord record;
  record.Decode(PsfImage().Data());
  const std::vector<PsfField> fields = DescribePsf(record);
  PsfReportSource about{"AB<12>", "2634", "File /tmp/a&b.PSF", "2026-12-07T20:00:00.000+00:00"};
  const std::string html = PsfReportHtml(fields, about);
  for (const PsfField& f : fields) {
    EXPECT_NE(html.find("<td>" + HtmlEscape(f.label) + "</td>"), std::string::npos) << f.key;
  }
  EXPECT_NE(html.find("AB&lt;12&gt;"), std::string::npos);
  EXPECT_NE(html.find("File /tmp/a&amp;b.PSF"), std::string::npos);
  EXPECT_NE(html.find("2634"), std::string::npos);
  EXPECT_EQ(html.find("<12>"), std::string::npos);
  EXPECT_NE(PsfReportHtml(fields, {}).find("(not known)"), std::string::npos);
  EXPECT_EQ(HtmlEscape("a\"'\x01"), "a&quot;&#39;&#xFFFD;");
}

}  // namespace
}  // namespace kelvt
