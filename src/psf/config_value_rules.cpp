// Rules on the numeric and text boxes: blanking, set points, hysteresis,
// trigger value, scan counts and inversions.

#include <string>

#include "psf/config_rules.h"
#include "psf/config_rules_internal.h"

namespace kelvt {

namespace {

template <int N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, static_cast<std::size_t>(FieldLength(field)));
}

template <int N>
int Value(const char (&field)[N], int empty_value = 0) {
  return ParseValue(FieldText(field), empty_value);
}

int Clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

// Writes `value` as decimal text; true when the field's text changed.
template <int N>
bool StoreValue(char (&field)[N], int value) {
  const std::string text = std::to_string(value);
  if (FieldText(field) == text) return false;
  SetField(field, text.c_str());
  return true;
}

struct OutputFields {
  char (&low_threshold)[5];
  char (&high_threshold)[5];
  char (&low_hysteresis)[5];
  char (&high_hysteresis)[5];
  unsigned low_threshold_box;
  unsigned high_threshold_box;
  unsigned low_hysteresis_box;
  unsigned high_hysteresis_box;
};

OutputFields Output(PsfRecord& r, int output) {
  if (output == 2) {
    return {r.out2_low_threshold, r.out2_high_threshold, r.out2_low_hysteresis,
            r.out2_high_hysteresis, kBoxOut2LowThreshold, kBoxOut2HighThreshold,
            kBoxOut2LowHysteresis, kBoxOut2HighHysteresis};
  }
  return {r.out1_low_threshold, r.out1_high_threshold, r.out1_low_hysteresis,
          r.out1_high_hysteresis, kBoxOut1LowThreshold, kBoxOut1HighThreshold,
          kBoxOut1LowHysteresis, kBoxOut1HighHysteresis};
}

struct BlankingFields {
  char (&low)[5];
  char (&high)[5];
  unsigned boxes;
};

BlankingFields Blanking(PsfRecord& r, int field) {
  if (field == 2) return {r.blank2_low, r.blank2_high, kBoxBlank2Low | kBoxBlank2High};
  return {r.blank1_low, r.blank1_high, kBoxBlank1Low | kBoxBlank1High};
}

// Writes both blanking values back when either text changes.
RuleResult StoreBlanking(PsfRecord& r, BlankingFields f, int low, int high,
                         RuleResult result) {
  const bool low_changed = StoreValue(f.low, low);
  const bool high_changed = StoreValue(f.high, high);
  if (low_changed || high_changed) result.rewritten |= f.boxes;
  return Finish(r, result);
}

char ScanCountChar(std::string_view text) {
  const char c = text.size() >= 2 ? text[1] : text[0];
  return (c >= '1' && c <= '9') ? c : '1';
}

}  // namespace

int ParseValue(std::string_view text, int empty_value) {
  if (text.empty()) return empty_value;
  int value = 0;
  for (std::size_t i = 0; i < text.size() && i < 9; ++i) {
    if (text[i] < '0' || text[i] > '9') break;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

namespace {

// Keeps a value of field 1 below field 2's low value, and a value of field 2
// above field 1's high value, limited to the blanking range.
int KeepFieldsApart(const PsfRecord& r, int field, int value, RuleResult& result) {
  if (field == 2) {
    const int below = Value(r.blank1_high);
    if (value > kMaxBlanking) return kMaxBlanking;
    if (below != 0 && value != 0 && value <= below) {
      Tell(result, kMsgField1BelowField2High);
      return Clamp(below + 1, 0, kMaxBlanking);
    }
    return value;
  }
  const int above = Value(r.blank2_low);
  if (above != 0 && value >= above) {
    value = above - 1;
    Tell(result, kMsgField1BelowField2Low);
  }
  return Clamp(value, 0, kMaxBlanking);
}

}  // namespace

RuleResult CheckBlankingLow(PsfRecord& r, int field) {
  RuleResult result;
  BlankingFields f = Blanking(r, field);
  int low = KeepFieldsApart(r, field, Value(f.low), result);
  int high = Value(f.high);
  high = Clamp(high, 0, kMaxBlanking);
  if (high < low) high = low;
  if (low == 0 && high != 0) high = 0;
  return StoreBlanking(r, f, low, high, result);
}

RuleResult CheckBlankingHigh(PsfRecord& r, int field) {
  RuleResult result;
  BlankingFields f = Blanking(r, field);
  int low = Value(f.low);
  int high = KeepFieldsApart(r, field, Value(f.high), result);
  if (high == 0 && low != 0) low = 0;
  if (low == 0 && high != 0) low = high;
  if (high < low) {
    if (low == kMaxBlanking) {
      low = high;
    } else {
      high = low;
    }
  }
  high = Clamp(high, 0, kMaxBlanking);
  return StoreBlanking(r, f, low, high, result);
}

RuleResult CheckSetPointLow(PsfRecord& r, int output) {
  RuleResult result;
  OutputFields f = Output(r, output);
  int low = Clamp(Value(f.low_threshold, 1), 0, kMaxThreshold);
  const int high_before = Value(f.high_threshold);
  int high = Clamp(high_before, 0, kMaxThreshold);
  bool corrected = high != high_before;
  if (high < low) {
    high = low;
    corrected = true;
  }
  if (low == 0) {
    low = 1;
    high = 1;
    corrected = true;
  }
  if (StoreValue(f.low_threshold, low)) result.rewritten |= f.low_threshold_box;
  if (StoreValue(f.high_threshold, high)) result.rewritten |= f.high_threshold_box;
  StoreValue(f.low_hysteresis, Clamp(low - 1, 0, kMaxHysteresis));
  result.rewritten |= f.low_hysteresis_box;
  if (corrected) {
    StoreValue(f.high_hysteresis, Clamp(high + 1, 0, kMaxHysteresis));
    result.rewritten |= f.high_hysteresis_box;
  }
  return Finish(r, result);
}

RuleResult CheckSetPointHigh(PsfRecord& r, int output) {
  RuleResult result;
  OutputFields f = Output(r, output);
  int high = Clamp(Value(f.high_threshold, 1), 0, kMaxThreshold);
  int low = Value(f.low_threshold);
  if (high == 0) low = 0;
  if (high < low) high = low;
  if (StoreValue(f.low_threshold, low)) result.rewritten |= f.low_threshold_box;
  if (StoreValue(f.high_threshold, high)) result.rewritten |= f.high_threshold_box;
  StoreValue(f.high_hysteresis, Clamp(high + 1, 0, kMaxHysteresis));
  result.rewritten |= f.high_hysteresis_box;
  Merge(result, CheckHysteresis(r, output, Side::kHigh));
  Merge(result, CheckHysteresis(r, output, Side::kLow));
  return Finish(r, result);
}

RuleResult CheckHysteresis(PsfRecord& r, int output, Side side) {
  RuleResult result;
  OutputFields f = Output(r, output);
  const bool high_side = side == Side::kHigh;
  char(&field)[5] = high_side ? f.high_hysteresis : f.low_hysteresis;
  const int threshold = Value(high_side ? f.high_threshold : f.low_threshold);
  int y = Value(field);
  if (high_side) {
    if (y <= threshold || threshold == 0) y = threshold + 1;
    // Above the range is brought back to its top as every other limit is.
    y = Clamp(y, 0, kMaxHysteresis);
  } else if (y >= threshold) {
    y = threshold - 1 < 0 ? 0 : threshold - 1;
  }
  if (StoreValue(field, y)) {
    result.rewritten |= high_side ? f.high_hysteresis_box : f.low_hysteresis_box;
  }
  return Finish(r, result);
}

RuleResult CheckTriggerValue(PsfRecord& r) {
  RuleResult result;
  const int value = Clamp(Value(r.trigger_value, 1), kMinTriggerValue, kMaxTriggerValue);
  if (StoreValue(r.trigger_value, value)) result.rewritten |= kBoxTriggerValue;
  return Finish(r, result);
}

TypedText FilterDigits(std::string_view text) {
  TypedText out;
  for (char c : text) {
    if (c >= '0' && c <= '9') out.text += c;
  }
  // Applied again after each rewrite, a leading '0' of a longer text goes
  // until none is left.
  while (out.text.size() > 1 && out.text[0] == '0') out.text.erase(0, 1);
  if (out.text.size() > static_cast<std::size_t>(kValueBoxLength)) {
    out.text.resize(kValueBoxLength);
  }
  out.rewrite = out.text != text;
  return out;
}

TypedText NormalizeInvert(std::string_view text) {
  TypedText out;
  if (text == "Yes" || text == "No" || text.empty()) {
    out.text = text;
    return out;
  }
  const std::size_t at = text.find_last_of("yYnN");
  if (at == std::string_view::npos) {
    out.text = text.substr(0, kInvertBoxLength);
  } else {
    out.text = (text[at] == 'y' || text[at] == 'Y') ? "Yes" : "No";
  }
  out.rewrite = out.text != text;
  return out;
}

TypedText LeaveInvert(std::string_view text) {
  if (!text.empty()) return NormalizeInvert(text);
  return TypedText{"No", true};
}

RuleResult NormalizeScanCount(PsfRecord& r, ScanCountBox box, std::string_view text) {
  RuleResult result;
  const char value = text.empty() ? '\0' : ScanCountChar(text);
  const char normalized[2] = {value, '\0'};
  struct Slot {
    ScanCountBox box;
    char (&field)[3];
    unsigned bit;
  };
  const Slot slots[] = {
      {ScanCountBox::kOutput1, r.out1_scan_count, kBoxOut1ScanCount},
      {ScanCountBox::kOutput2, r.out2_scan_count, kBoxOut2ScanCount},
      {ScanCountBox::kAnalog1, r.analog1_scan_count, kBoxAnalog1ScanCount},
      {ScanCountBox::kAnalog2, r.analog2_scan_count, kBoxAnalog2ScanCount},
  };
  for (const Slot& s : slots) {
    if (s.box == box) {
      SetField(s.field, normalized);
      if (text != std::string_view(normalized)) result.rewritten |= s.bit;
    } else if (s.field[0] != value) {
      SetField(s.field, normalized);
      result.rewritten |= s.bit;
    }
  }
  return Finish(r, result);
}

RuleResult LeaveScanCount(PsfRecord& r, ScanCountBox box, std::string_view text) {
  if (!text.empty()) return NormalizeScanCount(r, box, text);
  RuleResult result = NormalizeScanCount(r, box, "1");
  // The box itself was empty, so it shows "1" now.
  const unsigned bits[] = {kBoxOut1ScanCount, kBoxOut2ScanCount, kBoxAnalog1ScanCount,
                           kBoxAnalog2ScanCount};
  result.rewritten |= bits[static_cast<int>(box)];
  return result;
}

}  // namespace kelvt
