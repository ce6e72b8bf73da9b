#include "ops/psf_fields.h"

#include <cstring>

#include "link/controller_link.h"
#include "platform/profile.h"
#include "psf/config_rules.h"

namespace kelvt {
namespace {

template <int N>
std::string Text(const char (&field)[N]) {
  return std::string(field, static_cast<std::size_t>(FieldLength(field)));
}

const char* YesNo(Selection s) { return IsSelected(s) ? "Yes" : "No"; }

std::string ScanningMethodText(const PsfRecord& r) {
  if (IsSelected(r.straight)) return "Straight";
  if (IsSelected(r.interlaced)) return "Interlaced";
  if (IsSelected(r.edge)) return "Edge";
  if (IsSelected(r.skip)) return "Skip";
  return "None selected";
}

std::string ScanControlText(const PsfRecord& r) {
  if (IsSelected(r.continuous)) return "Continuous";
  if (IsSelected(r.gate)) return "Gate";
  if (IsSelected(r.host_mode)) return "Host Mode";
  return "None selected";
}

std::string BaudRate(int32_t index) {
  if (index >= 0 && index <= 2) return std::to_string(BaudRateTable[index]);
  return "Unknown (code " + std::to_string(index) + ")";
}

// "1" -> Measurement 1, "2" -> Measurement 2; only the first character counts.
std::string OutputMode(const char* mode) {
  if (mode[0] == '1') return "Measurement 1";
  if (mode[0] == '2') return "Measurement 2";
  return "Disabled";
}

std::string Output2Use(const PsfRecord& r) {
  if (IsSelected(r.trigger)) return "Trigger";
  if (IsSelected(r.alarm)) return "Alarm";
  return "Measurement output";
}

std::string Transmission(const PsfRecord& r) {
  if (IsSelected(r.no_serial)) return "None";
  if (IsSelected(r.ascii_tx)) return "ASCII";
  if (IsSelected(r.binary_tx)) return "Binary";
  return "None selected";
}

}  // namespace

std::vector<PsfField> DescribePsf(const PsfRecord& r) {
  return {
      {"controller_id", "Controller I.D. Letter", Text(r.controller_id)},
      {"scanning_method", "Scanning Method", ScanningMethodText(r)},
      {"skip_count", "Skip count (Skip method)", Text(r.skip_count)},
      {"meas1_mode", "Measurement Mode #1", Text(r.meas1_mode)},
      {"meas2_mode", "Measurement Mode #2", Text(r.meas2_mode)},
      {"baud_rate", "Baud Rate Selection", BaudRate(r.baud_index)},
      {"scan_control", "Scan Control", ScanControlText(r)},
      {"blank1_low", "Blanking field #1 Low", Text(r.blank1_low)},
      {"blank1_high", "Blanking field #1 High", Text(r.blank1_high)},
      {"blank2_low", "Blanking field #2 Low", Text(r.blank2_low)},
      {"blank2_high", "Blanking field #2 High", Text(r.blank2_high)},
      {"out1_mode", "Discrete Output #1 Analysis mode", OutputMode(r.out1_mode)},
      {"out1_low_threshold", "Output #1 Low Threshold", Text(r.out1_low_threshold)},
      {"out1_high_threshold", "Output #1 High Threshold", Text(r.out1_high_threshold)},
      {"out1_low_hysteresis", "Output #1 Low Hysteresis", Text(r.out1_low_hysteresis)},
      {"out1_high_hysteresis", "Output #1 High Hysteresis", Text(r.out1_high_hysteresis)},
      {"out1_scan_count", "Output #1 Number of scans before changing", Text(r.out1_scan_count)},
      {"out1_invert", "Output #1 inversion", Text(r.out1_invert)},
      {"out2_use", "Discrete Output #2 serves as", Output2Use(r)},
      {"out2_mode", "Discrete Output #2 Analysis mode", OutputMode(r.out2_mode)},
      {"trigger_value", "Output #2 Trigger value", Text(r.trigger_value)},
      {"out2_low_threshold", "Output #2 Low Threshold", Text(r.out2_low_threshold)},
      {"out2_high_threshold", "Output #2 High Threshold", Text(r.out2_high_threshold)},
      {"out2_low_hysteresis", "Output #2 Low Hysteresis", Text(r.out2_low_hysteresis)},
      {"out2_high_hysteresis", "Output #2 High Hysteresis", Text(r.out2_high_hysteresis)},
      {"out2_scan_count", "Output #2 Number of scans before changing", Text(r.out2_scan_count)},
      {"out2_invert", "Output #2 inversion", Text(r.out2_invert)},
      {"analog1_source", "Analog Voltage #1 source", Text(r.analog1_source)},
      {"analog1_invert", "Analog Voltage #1 inversion", Text(r.analog1_invert)},
      {"analog1_scan_count", "Analog Voltage #1 Number of scans", Text(r.analog1_scan_count)},
      {"analog2_source", "Analog Voltage #2 source", Text(r.analog2_source)},
      {"analog2_invert", "Analog Voltage #2 inversion", Text(r.analog2_invert)},
      {"analog2_scan_count", "Analog Voltage #2 Number of scans", Text(r.analog2_scan_count)},
      {"serial_transmission", "Serial Transmission", Transmission(r)},
      {"ascii_suppress_clear", "ASCII Suppress Clear Data", YesNo(r.ascii_suppress_clear)},
      {"binary_suppress_clear", "Binary Suppress Clear Data", YesNo(r.binary_suppress_clear)},
      {"binary_suppress_header", "Binary Suppress Header", YesNo(r.binary_suppress_header)},
      {"binary_compress", "Binary Compress Data", YesNo(r.binary_compress)},
  };
}

std::vector<PsfDifference> DiffPsf(const PsfRecord& a, const PsfRecord& b) {
  const std::vector<PsfField> fa = DescribePsf(a);
  const std::vector<PsfField> fb = DescribePsf(b);
  std::vector<PsfDifference> differences;
  for (std::size_t i = 0; i < fa.size() && i < fb.size(); ++i) {
    if (fa[i].value != fb[i].value) {
      differences.push_back({fa[i].key, fa[i].label, fa[i].value, fb[i].value});
    }
  }
  return differences;
}

}  // namespace kelvt

namespace kelvt {
namespace {

// Index of `value` among `names` (without regard to case), or -1.
template <std::size_t N>
int Pick(std::string_view value, const char* const (&names)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (SameName(value, names[i])) return static_cast<int>(i);
  }
  return -1;
}

std::string OneOf(std::string_view key, std::string_view value, const std::string& choices) {
  return std::string(key) + ": '" + std::string(value) + "' is not one of " + choices;
}

struct BoxKey {
  const char* key;
  ValueBox box;
};
constexpr BoxKey kBoxKeys[] = {
    {"blank1_low", kBoxBlank1Low},
    {"blank1_high", kBoxBlank1High},
    {"blank2_low", kBoxBlank2Low},
    {"blank2_high", kBoxBlank2High},
    {"out1_low_threshold", kBoxOut1LowThreshold},
    {"out1_high_threshold", kBoxOut1HighThreshold},
    {"out1_low_hysteresis", kBoxOut1LowHysteresis},
    {"out1_high_hysteresis", kBoxOut1HighHysteresis},
    {"out1_scan_count", kBoxOut1ScanCount},
    {"out1_invert", kBoxOut1Invert},
    {"trigger_value", kBoxTriggerValue},
    {"out2_low_threshold", kBoxOut2LowThreshold},
    {"out2_high_threshold", kBoxOut2HighThreshold},
    {"out2_low_hysteresis", kBoxOut2LowHysteresis},
    {"out2_high_hysteresis", kBoxOut2HighHysteresis},
    {"out2_scan_count", kBoxOut2ScanCount},
    {"out2_invert", kBoxOut2Invert},
    {"analog1_invert", kBoxAnalog1Invert},
    {"analog1_scan_count", kBoxAnalog1ScanCount},
    {"analog2_invert", kBoxAnalog2Invert},
    {"analog2_scan_count", kBoxAnalog2ScanCount},
};

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A box typed into and left, as at the editor; refused when the typing rule
// dropped anything but leading zeros, or the leaving rule changed the text.
PsfSetResult SetBox(PsfRecord& r, std::string_view key, ValueBox box, std::string_view value) {
  const ValueBoxInfo& info = ValueBoxInfoOf(box);
  if (!ComputeFieldStates(r).InUse(info.group)) {
    return {PsfSetStatus::kRefused,
            std::string(key) + " is not in use with this set (the editor shows its box disabled)"};
  }
  std::string wanted(value);
  if (info.kind == BoxKind::kInvert) {
    const int pick = Pick(value, {"Yes", "No"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Yes, No")};
    wanted = pick == 0 ? "Yes" : "No";
  } else if (!AllDigits(value)) {
    return {PsfSetStatus::kRefused, std::string(key) + ": '" + wanted + "' is not a number"};
  } else {
    while (wanted.size() > 1 && wanted.front() == '0') wanted.erase(0, 1);
  }
  std::string kept;
  const RuleResult result = EnterValueBox(r, box, wanted, kept);
  const std::string now(ValueBoxField(r, box).data);
  if (kept == wanted && now == wanted) {
    return {PsfSetStatus::kChanged, result.HasMessage() ? result.message : ""};
  }
  if (result.HasMessage()) return {PsfSetStatus::kRefused, result.message};
  return {PsfSetStatus::kRefused, std::string(key) + ": the editor's rules make " + wanted +
                                      " into " + (now.empty() ? "nothing" : now)};
}

// A choice made through its rule; refused when the field does not show what
// was chosen afterwards.
PsfSetResult Chosen(const PsfRecord& r, std::string_view key, const std::string& wanted,
                    const RuleResult& result) {
  for (const PsfField& field : DescribePsf(r)) {
    if (field.key != key) continue;
    if (SameName(field.value, wanted)) {
      return {PsfSetStatus::kChanged, result.HasMessage() ? result.message : ""};
    }
    if (result.HasMessage()) return {PsfSetStatus::kRefused, result.message};
    return {PsfSetStatus::kRefused,
            std::string(key) + ": the editor's rules make " + wanted + " into " + field.value};
  }
  return {PsfSetStatus::kUnknownKey, ""};
}

PsfSetResult SetChoice(PsfRecord& r, std::string_view key, std::string_view value) {
  if (key == "controller_id") {
    if (value.size() != 1 || (value[0] & ~0x20) < 'A' ||
        (value[0] & ~0x20) >= 'A' + kControllerLetterCount) {
      return {PsfSetStatus::kRefused, OneOf(key, value, "A-O")};
    }
    const char letter[2] = {static_cast<char>(value[0] & ~0x20), '\0'};
    SetField(r.controller_id, letter);
    return {};
  }
  if (key == "meas1_mode" || key == "meas2_mode") {
    const bool first = key == "meas1_mode";
    const int pick = Pick(value, kMeasurement1Names);
    if (pick < 0 || (!first && pick >= kMeasurement2Count)) {
      return {PsfSetStatus::kRefused,
              OneOf(key, value, first ? "FBB LBB TBB CBB FBM LBM TBM CBM ALL None VHS"
                                      : "FBB LBB TBB CBB FBM LBM TBM CBM ALL None")};
    }
    const char* name = kMeasurement1Names[pick];
    return Chosen(r, key, name, first ? SelectMeasurement1(r, name) : SelectMeasurement2(r, name));
  }
  if (key == "scanning_method") {
    const int pick = Pick(value, {"Straight", "Interlaced", "Edge", "Skip"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Straight, Interlaced, Edge, Skip")};
    const ScanningMethod methods[] = {ScanningMethod::kStraight, ScanningMethod::kInterlaced,
                                      ScanningMethod::kEdge, ScanningMethod::kSkip};
    return Chosen(r, key, std::string(value), SelectScanningMethod(r, methods[pick]));
  }
  if (key == "skip_count") {
    if (!ComputeFieldStates(r).skip_count) {
      return {PsfSetStatus::kRefused, "skip_count is used with scanning_method=Skip only"};
    }
    if (value.size() != 1 || value[0] < '1' || value[0] > '0' + kMaxSkipCount) {
      return {PsfSetStatus::kRefused, OneOf(key, value, "1-7")};
    }
    SelectSkipCount(r, value[0] - '0');
    return {};
  }
  if (key == "baud_rate") {
    const int pick = Pick(value, {"9600", "19200", "38400"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "9600, 19200, 38400")};
    r.baud_index = pick;
    return {};
  }
  if (key == "scan_control") {
    const int pick = Pick(value, {"Continuous", "Gate", "Host Mode"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Continuous, Gate, Host Mode")};
    const ScanControl controls[] = {ScanControl::kContinuous, ScanControl::kGate,
                                    ScanControl::kHostMode};
    return Chosen(r, key, std::string(value), SelectScanControl(r, controls[pick]));
  }
  if (key == "out1_mode" || key == "out2_mode") {
    int pick = Pick(value, {"Measurement 1", "Measurement 2", "Disabled"});
    if (pick < 0) pick = Pick(value, kOutputModeChoices);
    if (pick < 0) {
      return {PsfSetStatus::kRefused, OneOf(key, value, "Measurement 1, Measurement 2, Disabled")};
    }
    const char* shown[] = {"Measurement 1", "Measurement 2", "Disabled"};
    const int output = key == "out1_mode" ? 1 : 2;
    return Chosen(r, key, shown[pick], SelectOutputMode(r, output, kOutputModeChoices[pick], true));
  }
  if (key == "analog1_source" || key == "analog2_source") {
    const int pick = Pick(value, kAnalogSourceChoices);
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Disabled, Meas1, Meas2")};
    const int analog = key == "analog1_source" ? 1 : 2;
    return Chosen(r, key, kAnalogSourceChoices[pick],
                  SelectAnalogSource(r, analog, kAnalogSourceChoices[pick], true));
  }
  if (key == "out2_use") {
    const int pick = Pick(value, {"Alarm", "Trigger", "Measurement output"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Alarm, Trigger, Measurement output")};
    // The two option buttons each toggle; clicked as the technician would.
    RuleResult result;
    if (pick == 0 && !IsSelected(r.alarm)) result = ToggleAlarm(r);
    if (pick == 1 && !IsSelected(r.trigger)) result = ToggleTrigger(r);
    if (pick == 2 && IsSelected(r.alarm)) result = ToggleAlarm(r);
    if (pick == 2 && IsSelected(r.trigger)) result = ToggleTrigger(r);
    return Chosen(r, key, std::string(value), result);
  }
  if (key == "serial_transmission") {
    const int pick = Pick(value, {"None", "ASCII", "Binary"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "None, ASCII, Binary")};
    const SerialChoice choices[] = {SerialChoice::kNoSerial, SerialChoice::kAscii,
                                    SerialChoice::kBinary};
    return Chosen(r, key, std::string(value), SelectSerialTransmission(r, choices[pick]));
  }
  struct Flag {
    const char* key;
    Selection PsfRecord::*field;
    SerialChoice on;   // the button that selects it (flips, for the binary options)
    SerialChoice off;  // the button that clears it
  };
  const Flag flags[] = {
      {"ascii_suppress_clear", &PsfRecord::ascii_suppress_clear, SerialChoice::kAsciiSuppressClear,
       SerialChoice::kAscii},
      {"binary_suppress_clear", &PsfRecord::binary_suppress_clear,
       SerialChoice::kBinarySuppressClear, SerialChoice::kBinarySuppressClear},
      {"binary_suppress_header", &PsfRecord::binary_suppress_header,
       SerialChoice::kBinarySuppressHeader, SerialChoice::kBinarySuppressHeader},
      {"binary_compress", &PsfRecord::binary_compress, SerialChoice::kBinaryCompress,
       SerialChoice::kBinaryCompress},
  };
  for (const Flag& flag : flags) {
    if (key != flag.key) continue;
    const int pick = Pick(value, {"Yes", "No"});
    if (pick < 0) return {PsfSetStatus::kRefused, OneOf(key, value, "Yes, No")};
    const bool want = pick == 0;
    RuleResult result;
    if (IsSelected(r.*flag.field) != want) {
      result = SelectSerialTransmission(r, want ? flag.on : flag.off);
    }
    return Chosen(r, key, want ? "Yes" : "No", result);
  }
  return {PsfSetStatus::kUnknownKey, ""};
}

}  // namespace

PsfSetResult SetPsfField(PsfRecord& record, std::string_view key, std::string_view value) {
  for (const BoxKey& b : kBoxKeys) {
    if (key == b.key) return SetBox(record, key, b.box, value);
  }
  return SetChoice(record, key, value);
}

std::vector<std::string> SettablePsfKeys() {
  std::vector<std::string> keys;
  for (const PsfField& field : DescribePsf(PsfRecord())) keys.push_back(field.key);
  return keys;
}

}  // namespace kelvt
