#include "psf/psf_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "psf/psf_changes.h"
#include "psf/psf_image.h"

namespace kelvt {
namespace {

std::string Encoded(const PsfRecord& r) {
  char out[kPsfSize + 1];
  std::memset(out, 0x7F, sizeof out);
  r.Encode(out);
  EXPECT_EQ(out[kPsfSize], '\0');
  return std::string(out, kPsfSize);
}

// A valid image to start decode tests from: the default record's.
std::string DefaultImage() { return Encoded(PsfRecord()); }

TEST(PsfRecordEncode, DefaultRecordImage) {
  const std::string expected = std::string("ACaAKAa000000000000") + "x" +
                               "001001000002" + "1N" + "x" + "001001000002" +
                               "1N" + "xx" + "010010000021N" + "gA" +
                               std::string(10, '\x01') + "03865";
  EXPECT_EQ(DefaultImage(), expected);
}

TEST(PsfRecordEncode, CheckSumMatchesImageCheckSum) {
  PsfRecord r;
  SetField(r.meas1_mode, "VHS");
  SetField(r.blank2_high, "384");
  const std::string image = Encoded(r);
  char text[8];
  std::snprintf(text, sizeof text, "%05ld", PsfCheckSum(image.data()));
  EXPECT_EQ(image.substr(76), text);
}

TEST(PsfRecordDefaults, MatchTable) {
  PsfRecord r;
  SetField(r.meas1_mode, "ALL");
  r.edge = kSelected;
  r.SetDefaults();
  EXPECT_STREQ(r.meas1_mode, "FBB");
  EXPECT_STREQ(r.meas2_mode, "None");
  EXPECT_EQ(r.straight, kSelected);
  EXPECT_EQ(r.edge, kNotSelected);
  EXPECT_EQ(r.continuous, kSelected);
  EXPECT_EQ(r.no_serial, kSelected);
  EXPECT_EQ(r.baud_index, 0);
  EXPECT_STREQ(r.controller_id, "A");
  EXPECT_STREQ(r.out1_high_hysteresis, "2");
  EXPECT_STREQ(r.out2_low_hysteresis, "0");
  EXPECT_STREQ(r.out1_mode, "Disabled");
  EXPECT_STREQ(r.analog2_source, "Disabled");
  EXPECT_STREQ(r.analog1_invert, "No");
  EXPECT_STREQ(r.trigger_value, "1");
  EXPECT_STREQ(r.skip_count, "1");
}

struct MethodCase {
  char code;
  Selection straight, interlaced, edge, skip;
  const char* skip_count;
};

TEST(PsfRecordCodes, ScanningMethodRoundTrip) {
  const MethodCase cases[] = {
      {'a', kSelected, kNotSelected, kNotSelected, kNotSelected, "1"},
      {'i', kNotSelected, kSelected, kNotSelected, kNotSelected, "1"},
      {'j', kNotSelected, kNotSelected, kSelected, kNotSelected, "1"},
      {'b', kNotSelected, kNotSelected, kNotSelected, kSelected, "1"},
      {'e', kNotSelected, kNotSelected, kNotSelected, kSelected, "4"},
      {'h', kNotSelected, kNotSelected, kNotSelected, kSelected, "7"},
  };
  for (const MethodCase& c : cases) {
    SCOPED_TRACE(c.code);
    std::string image = DefaultImage();
    image[2] = c.code;
    PsfRecord r;
    SetField(r.skip_count, "5");
    EXPECT_EQ(r.Decode(image.data()), 1);
    EXPECT_EQ(r.straight, c.straight);
    EXPECT_EQ(r.interlaced, c.interlaced);
    EXPECT_EQ(r.edge, c.edge);
    EXPECT_EQ(r.skip, c.skip);
    EXPECT_STREQ(r.skip_count, c.skip_count);
    EXPECT_EQ(Encoded(r)[2], c.code);
  }
}

TEST(PsfRecordCodes, UnknownScanningMethodLeavesFields) {
  PsfRecord r;
  r.straight = kNotSelected;
  r.skip = kSelected;
  SetField(r.skip_count, "6");
  std::string image = DefaultImage();
  for (char code : {'k', 'A', '\0', 'z'}) {
    image[2] = code;
    r.Decode(image.data());
    EXPECT_EQ(r.skip, kSelected);
    EXPECT_EQ(r.straight, kNotSelected);
    EXPECT_STREQ(r.skip_count, "6");
  }
}

TEST(PsfRecordCodes, MeasurementTableBothWays) {
  const struct {
    char code;
    const char* name;
  } table[] = {{'A', "FBB"}, {'B', "FBM"}, {'C', "LBB"}, {'D', "LBM"},
               {'E', "TBB"}, {'F', "TBM"}, {'G', "CBB"}, {'H', "CBM"},
               {'I', "ALL"}, {'J', "VHS"}};
  for (const auto& e : table) {
    EXPECT_STREQ(MeasurementName(e.code), e.name);
    EXPECT_EQ(MeasurementCode(e.name), e.code);
  }
  for (char code : {'K', 'L', 'a', '\0', '1'}) EXPECT_STREQ(MeasurementName(code), "None");
  for (const char* name : {"None", "", "fbb", "FBBX", "FB", "Meas1"}) {
    EXPECT_EQ(MeasurementCode(name), 'K') << name;
  }
  EXPECT_EQ(MeasurementCode(nullptr), 'K');
}

TEST(PsfRecordCodes, MeasurementModesThroughImage) {
  PsfRecord r;
  SetField(r.meas1_mode, "CBM");
  SetField(r.meas2_mode, "None");
  std::string image = Encoded(r);
  EXPECT_EQ(image.substr(3, 2), "HK");
  image[4] = 'Q';
  PsfRecord back;
  back.Decode(image.data());
  EXPECT_STREQ(back.meas1_mode, "CBM");
  EXPECT_STREQ(back.meas2_mode, "None");
}

struct TxCase {
  char code;
  Selection no_serial, ascii, ascii_clear, binary, clear, header, compress;
};

TEST(PsfRecordCodes, SerialTransmissionTable) {
  const Selection S = kSelected, N = kNotSelected;
  const TxCase cases[] = {
      {'a', N, S, N, N, N, N, N}, {'b', N, S, S, N, N, N, N},
      {'c', N, N, N, S, N, N, N}, {'d', N, N, N, S, S, N, N},
      {'e', N, N, N, S, N, S, N}, {'f', N, N, N, S, S, S, N},
      {'g', S, N, N, N, N, N, N}, {'h', N, N, N, S, N, N, S},
      {'i', N, N, N, S, S, N, S}, {'j', N, N, N, S, N, S, S},
      {'k', N, N, N, S, S, S, S},
  };
  for (const TxCase& c : cases) {
    SCOPED_TRACE(c.code);
    std::string image = DefaultImage();
    image[64] = c.code;
    PsfRecord r;
    r.binary_compress = kSelected;  // stale options must be cleared
    r.ascii_suppress_clear = kSelected;
    r.Decode(image.data());
    EXPECT_EQ(r.no_serial, c.no_serial);
    EXPECT_EQ(r.ascii_tx, c.ascii);
    EXPECT_EQ(r.ascii_suppress_clear, c.ascii_clear);
    EXPECT_EQ(r.binary_tx, c.binary);
    EXPECT_EQ(r.binary_suppress_clear, c.clear);
    EXPECT_EQ(r.binary_suppress_header, c.header);
    EXPECT_EQ(r.binary_compress, c.compress);
    EXPECT_EQ(Encoded(r)[64], c.code);
  }
}

TEST(PsfRecordCodes, UnknownTransmissionMeansNoSerial) {
  for (char code : {'l', 'A', '\0', '`'}) {
    std::string image = DefaultImage();
    image[64] = code;
    PsfRecord r;
    r.no_serial = kNotSelected;
    r.binary_tx = kSelected;
    r.Decode(image.data());
    EXPECT_EQ(r.no_serial, kSelected);
    EXPECT_EQ(r.binary_tx, kNotSelected);
  }
}

TEST(PsfRecordEncode, NoSerialWinsOverOtherSelections) {
  PsfRecord r;
  r.ascii_tx = kSelected;
  r.binary_tx = kSelected;
  r.binary_compress = kSelected;
  EXPECT_EQ(Encoded(r)[64], 'g');
  r.no_serial = kNotSelected;
  r.ascii_suppress_clear = kSelected;
  EXPECT_EQ(Encoded(r)[64], 'b');
  r.ascii_tx = kNotSelected;
  r.binary_compress = kSelected;
  r.binary_suppress_header = kSelected;
  EXPECT_EQ(Encoded(r)[64], 'j');
}

TEST(PsfRecordEncode, Output2TriggerAlarmAndMode) {
  PsfRecord r;
  SetField(r.out2_mode, "2");
  SetField(r.out2_low_threshold, "57");
  SetField(r.trigger_value, "192");
  std::string image = Encoded(r);
  EXPECT_EQ(image[34], 'z');
  EXPECT_EQ(image.substr(35, 3), "057");
  EXPECT_EQ(image.substr(51, 2), "57");

  r.trigger = kSelected;
  image = Encoded(r);
  EXPECT_EQ(image[34], 'v');
  EXPECT_EQ(image.substr(35, 3), "192");
  EXPECT_EQ(image.substr(51, 2), "92");

  r.trigger = kNotSelected;
  r.alarm = kSelected;
  image = Encoded(r);
  EXPECT_EQ(image[34], 'w');
  EXPECT_EQ(image.substr(35, 3), "057");
}

struct Out2Case {
  char code;
  const char* mode;
  Selection trigger, alarm;
  const char* low;
  const char* trigger_value;
};

TEST(PsfRecordDecode, Output2Codes) {
  const Out2Case cases[] = {
      {'v', "Disabled", kSelected, kNotSelected, "0", "123"},
      {'x', "Disabled", kNotSelected, kNotSelected, "123", "1"},
      {'y', "1", kNotSelected, kNotSelected, "123", "1"},
      {'z', "2", kNotSelected, kNotSelected, "123", "1"},
      {'w', "Disabled", kNotSelected, kSelected, "123", "1"},
      {'q', "Disabled", kNotSelected, kSelected, "123", "1"},
  };
  for (const Out2Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::string image = DefaultImage();
    image[34] = c.code;
    image.replace(35, 3, "123");
    PsfRecord r;
    SetField(r.trigger_value, "77");
    r.Decode(image.data());
    EXPECT_STREQ(r.out2_mode, c.mode);
    EXPECT_EQ(r.trigger, c.trigger);
    EXPECT_EQ(r.alarm, c.alarm);
    EXPECT_STREQ(r.out2_low_threshold, c.low);
    EXPECT_STREQ(r.trigger_value, c.trigger_value);
  }
}

struct AnalogCase {
  char out1;
  char code;
  const char* source;
  const char* invert;
};

TEST(PsfRecordDecode, AnalogCodesAndOutput1Precedence) {
  const AnalogCase cases[] = {
      {'x', 'Y', "Meas1", "Yes"}, {'x', 'Z', "Meas2", "Yes"},
      {'x', 'y', "Meas1", "No"},  {'x', 'z', "Meas2", "No"},
      {'x', 'x', "Disabled", "No"}, {'x', 'q', "Disabled", "No"},
      {'y', 'Z', "Disabled", "No"}, {'z', 'y', "Disabled", "No"},
  };
  for (const AnalogCase& c : cases) {
    SCOPED_TRACE(std::string(1, c.out1) + c.code);
    std::string image = DefaultImage();
    image[19] = c.out1;
    image[49] = c.code;
    image[50] = c.code;
    PsfRecord r;
    r.Decode(image.data());
    EXPECT_STREQ(r.analog1_source, c.source);
    EXPECT_STREQ(r.analog1_invert, c.invert);
    EXPECT_STREQ(r.analog2_source, c.source);
    EXPECT_STREQ(r.analog2_invert, c.invert);
  }
}

TEST(PsfRecordEncode, AnalogCodes) {
  const struct {
    const char* source;
    const char* invert;
    char code;
  } cases[] = {
      {"Meas1", "Yes", 'Y'}, {"Meas2", "Y", 'Z'},     {"Meas1", "No", 'y'},
      {"Meas2", "yes", 'z'}, {"Disabled", "Yes", 'x'}, {"Meas", "Yes", 'x'},
      {"", "", 'x'},
  };
  for (const auto& c : cases) {
    PsfRecord r;
    SetField(r.analog2_source, c.source);
    SetField(r.analog2_invert, c.invert);
    EXPECT_EQ(Encoded(r)[50], c.code) << c.source << "/" << c.invert;
  }
}

TEST(PsfRecordDecode, OtherFields) {
  std::string image = DefaultImage();
  image[0] = 'O';
  image[5] = 'C';
  image[6] = 'b';
  image.replace(7, 12, "000045120384");
  image[19] = 'z';
  image.replace(20, 12, "007010006011");
  image[32] = '5';
  image[33] = 'Y';
  image.replace(38, 9, "200199201");
  image[47] = '9';
  image[48] = 'Q';
  PsfRecord r;
  EXPECT_EQ(r.Decode(image.data()), 1);
  EXPECT_STREQ(r.controller_id, "O");
  EXPECT_EQ(r.baud_index, 2);
  EXPECT_EQ(r.gate, kSelected);
  EXPECT_EQ(r.continuous, kNotSelected);
  EXPECT_EQ(r.host_mode, kNotSelected);
  EXPECT_STREQ(r.blank1_low, "0");
  EXPECT_STREQ(r.blank1_high, "45");
  EXPECT_STREQ(r.blank2_low, "120");
  EXPECT_STREQ(r.blank2_high, "384");
  EXPECT_STREQ(r.out1_mode, "2");
  EXPECT_STREQ(r.out1_low_threshold, "7");
  EXPECT_STREQ(r.out1_high_threshold, "10");
  EXPECT_STREQ(r.out1_low_hysteresis, "6");
  EXPECT_STREQ(r.out1_high_hysteresis, "11");
  EXPECT_STREQ(r.out1_scan_count, "5");
  EXPECT_STREQ(r.analog1_scan_count, "5");
  EXPECT_STREQ(r.analog2_scan_count, "5");
  EXPECT_STREQ(r.out1_invert, "Yes");
  EXPECT_STREQ(r.out2_high_threshold, "200");
  EXPECT_STREQ(r.out2_low_hysteresis, "199");
  EXPECT_STREQ(r.out2_high_hysteresis, "201");
  EXPECT_STREQ(r.out2_scan_count, "9");
  EXPECT_STREQ(r.out2_invert, "No");
}

TEST(PsfRecordDecode, ScanControlAndLetterFallbacks) {
  const struct {
    char code;
    Selection continuous, gate, host;
  } cases[] = {{'a', kSelected, kNotSelected, kNotSelected},
               {'b', kNotSelected, kSelected, kNotSelected},
               {'c', kNotSelected, kNotSelected, kSelected},
               {'z', kNotSelected, kNotSelected, kSelected}};
  for (const auto& c : cases) {
    std::string image = DefaultImage();
    image[6] = c.code;
    image[0] = 'P';  // outside 'A'..'O': controller_id stays
    PsfRecord r;
    SetField(r.controller_id, "F");
    r.Decode(image.data());
    EXPECT_EQ(r.continuous, c.continuous);
    EXPECT_EQ(r.gate, c.gate);
    EXPECT_EQ(r.host_mode, c.host);
    EXPECT_STREQ(r.controller_id, "F");
  }
}

TEST(PsfRecordDecode, BaudByteIsNotRangeChecked) {
  const struct {
    char code;
    int index;
  } cases[] = {{'A', 0}, {'B', 1}, {'C', 2}, {'D', 3}, {'0', '0' - 'A'},
               {static_cast<char>(0xC1), -63 - 'A'}};
  for (const auto& c : cases) {
    std::string image = DefaultImage();
    image[5] = c.code;
    PsfRecord r;
    r.Decode(image.data());
    EXPECT_EQ(r.baud_index, c.index);
  }
}

TEST(PsfRecordDecode, CommandByteDecidesResult) {
  for (char cmd : {'C', 'E', 'D', '\0', 'c'}) {
    std::string image = DefaultImage();
    image[1] = cmd;
    image[3] = 'J';
    PsfRecord r;
    EXPECT_EQ(r.Decode(image.data()), (cmd == 'C' || cmd == 'E') ? 1 : 0);
    EXPECT_STREQ(r.meas1_mode, "VHS");  // filled either way
  }
}

// Decoding a block built from table codes and encoding it again gives back
// bytes 0 and 2-50 and 64.
TEST(PsfRecordRoundTrip, TableCodesSurvive) {
  const char* methods = "abcdefghij";
  const char* modes = "ABCDEFGHIJK";
  const char* controls = "abc";
  const char* out2 = "xyzvw";
  const char* analog = "xyzYZ";
  const char* tx = "abcdefghijk";
  int n = 0;
  for (int i = 0; i < 40; ++i) {
    std::string image = DefaultImage();
    image[0] = static_cast<char>('A' + i % 15);
    image[2] = methods[i % 10];
    image[3] = modes[i % 11];
    image[4] = modes[(i * 7 + 3) % 11];
    image[5] = static_cast<char>('A' + i % 3);
    image[6] = controls[i % 3];
    for (int b = 7; b <= 18; ++b) image[b] = static_cast<char>('0' + (i * b) % 10);
    image[19] = (i % 4 == 0) ? 'y' : (i % 4 == 1 ? 'z' : 'x');
    for (int b = 20; b <= 31; ++b) image[b] = static_cast<char>('0' + (i + b) % 10);
    image[32] = static_cast<char>('1' + i % 9);
    image[33] = (i % 2) ? 'Y' : 'N';
    image[34] = out2[i % 5];
    for (int b = 35; b <= 46; ++b) image[b] = static_cast<char>('0' + (i * 3 + b) % 10);
    if (image[34] == 'v') image.replace(35, 3, "1" + std::to_string(10 + i));
    image[47] = static_cast<char>('1' + (i + 4) % 9);
    image[48] = (i % 3) ? 'N' : 'Y';
    const bool out1 = image[19] != 'x';
    image[49] = out1 ? 'x' : analog[i % 5];
    image[50] = out1 ? 'x' : analog[(i + 2) % 5];
    image[64] = tx[i % 11];
    // Leading zeros of a 3-digit field come back, a field like "000" too.
    PsfRecord r;
    ASSERT_EQ(r.Decode(image.data()), 1);
    const std::string again = Encoded(r);
    EXPECT_EQ(again[0], image[0]) << i;
    EXPECT_EQ(again[1], 'C');
    EXPECT_EQ(again.substr(2, 49), image.substr(2, 49)) << i;
    EXPECT_EQ(again[64], image[64]) << i;
    EXPECT_EQ(again[65], image[0]);
    EXPECT_EQ(again.substr(51, 13), again.substr(36, 13));
    EXPECT_EQ(again.substr(66, 10), std::string(10, '\x01'));
    ++n;
  }
  EXPECT_EQ(n, 40);
}

TEST(PsfDigits, StripLeadingZeros) {
  const struct {
    const char* field;
    int n;
    const char* out;
  } cases[] = {{"000", 3, "0"}, {"007", 3, "7"},   {"045", 3, "45"},
               {"120", 3, "120"}, {"100", 3, "100"}, {"0001", 3, "0"},
               {"0a5", 3, "a5"}, {"5", 1, "5"},     {"0", 1, "0"}};
  for (const auto& c : cases) {
    char out[8];
    std::memset(out, 'X', sizeof out);
    StripLeadingZeros(c.field, out, c.n);
    EXPECT_STREQ(out, c.out) << c.field;
  }
}

TEST(PsfDigits, PadDigits) {
  const struct {
    const char* text;
    int width;
    const char* out;
  } cases[] = {{"0", 3, "000"}, {"7", 3, "007"}, {"45", 3, "045"},
               {"384", 3, "384"}, {"", 3, "000"}, {"1234", 3, "234"},
               {"ab", 3, "0ab"}};
  for (const auto& c : cases) {
    char out[8];
    std::memset(out, 'X', sizeof out);
    PadDigits(c.text, out, c.width);
    EXPECT_EQ(std::string(out, c.width), c.out) << c.text;
    EXPECT_EQ(out[c.width], 'X') << "no NUL written";
  }
}

TEST(PsfRecordEncode, OddTextsStayInsideTheirFields) {
  PsfRecord r;
  // A field filled to its last byte without a NUL must not run into the next.
  std::memset(r.blank1_low, 'Z', sizeof r.blank1_low);
  SetField(r.blank1_high, "5");
  SetField(r.out1_low_threshold, "9999");
  SetField(r.skip_count, "");
  r.straight = kNotSelected;
  SetField(r.out1_scan_count, "");
  SetField(r.controller_id, "");
  const std::string image = Encoded(r);
  EXPECT_EQ(image.substr(7, 3), "ZZZ");
  EXPECT_EQ(image.substr(10, 3), "005");
  EXPECT_EQ(image.substr(20, 3), "999");
  EXPECT_EQ(image[2], '1');  // an empty skip count gives 0 + 0x31
  EXPECT_EQ(image[32], '\0');
  EXPECT_EQ(image[0], '\0');
}

TEST(PsfRecordFields, SetFieldTruncatesAndClears) {
  char field[5];
  SetField(field, "Disabled");
  EXPECT_STREQ(field, "Disa");
  SetField(field, "N");
  EXPECT_EQ(std::string(field, 5), std::string("N\0\0\0\0", 5));
  SetField(field, nullptr);
  EXPECT_EQ(FieldLength(field), 0);
  std::memset(field, 'q', sizeof field);
  EXPECT_EQ(FieldLength(field), 5);
}

}  // namespace
}  // namespace kelvt

namespace kelvt {
namespace {

TEST(PsfChanges, EveryKindOfFieldCountsAndKeepingClearsIt) {
  struct Case {
    const char* name;
    void (*edit)(PsfRecord&);
  };
  const Case cases[] = {
      {"text", [](PsfRecord& r) { SetField(r.blank2_high, "7"); }},
      {"mode", [](PsfRecord& r) { SetField(r.meas1_mode, "LBB"); }},
      {"selection", [](PsfRecord& r) { r.edge = kSelected; }},
      {"number", [](PsfRecord& r) { r.baud_index = 2; }},
      {"last field", [](PsfRecord& r) { SetField(r.analog2_scan_count, "9"); }},
  };
  for (const Case& c : cases) {
    PsfChanges changes;
    PsfRecord shown;
    changes.Keep(shown);
    EXPECT_FALSE(changes.Changed(shown)) << c.name;
    c.edit(shown);
    EXPECT_TRUE(changes.Changed(shown)) << c.name;
    changes.Keep(shown);
    EXPECT_FALSE(changes.Changed(shown)) << c.name;
    EXPECT_TRUE(changes.Changed(PsfRecord())) << c.name << ": undone against the new kept set";
  }
}

}  // namespace
}  // namespace kelvt
