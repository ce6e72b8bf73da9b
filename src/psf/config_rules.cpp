#include "psf/config_rules.h"

#include <cstring>

#include "psf/config_rules_internal.h"

namespace kelvt {

namespace {

bool SameText(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// "VHS" pairs only with these second measurements.
bool PairsWithVhs(const char* mode) {
  return SameText(mode, "FBB") || SameText(mode, "LBB") || SameText(mode, "ALL");
}

// Re-checks every output after a measurement mode changed, silently.
void RecheckOutputs(PsfRecord& r, RuleResult& result) {
  char mode[sizeof r.out1_mode];
  SetField(mode, r.out1_mode);
  Merge(result, SelectOutputMode(r, 1, mode, false));
  SetField(mode, r.out2_mode);
  Merge(result, SelectOutputMode(r, 2, mode, false));
  char source[sizeof r.analog1_source];
  SetField(source, r.analog1_source);
  Merge(result, SelectAnalogSource(r, 1, source, false));
  SetField(source, r.analog2_source);
  Merge(result, SelectAnalogSource(r, 2, source, false));
}

// Identical modes: the one just chosen gives way.
void SeparateModes(char (&chosen)[5], const char* other, RuleResult& result) {
  if (!SameText(chosen, other)) return;
  SetField(chosen, SameText(chosen, "None") ? "FBB" : "None");
  Tell(result, kMsgIdenticalModes);
}

Selection Sel(bool on) { return on ? kSelected : kNotSelected; }

// First character of an output mode decides, as in the image.
char OutputAssignment(const char* mode) {
  return (mode[0] == '1' || mode[0] == '2') ? mode[0] : '\0';
}

// Fifth character of an analog source decides, as in the image.
char AnalogAssignment(const char* source) {
  for (int i = 0; i < 4; ++i) {
    if (source[i] == '\0') return '\0';
  }
  return (source[4] == '1' || source[4] == '2') ? source[4] : '\0';
}

}  // namespace

void Tell(RuleResult& result, const char* message) {
  result.message = message;
  result.caption = kRuleCaption;
}

void Merge(RuleResult& into, const RuleResult& from) {
  if (from.message != nullptr) {
    into.message = from.message;
    into.caption = from.caption;
  }
  into.beep = into.beep || from.beep;
  into.rewritten |= from.rewritten;
  into.touched |= from.touched;
}

RuleResult Finish(const PsfRecord& r, RuleResult result) {
  result.states = ComputeFieldStates(r);
  return result;
}

bool FieldStates::InUse(FieldGroup group) const {
  switch (group) {
    case kGroupOutput1: return output1;
    case kGroupOutput2: return output2;
    case kGroupAnalog1: return analog1;
    case kGroupAnalog2: return analog2;
    case kGroupSkipCount: return skip_count;
    case kGroupTriggerValue: return trigger_value;
    case kGroupBlanking: return blanking;
    default: return false;
  }
}

bool UsableByOutput(const char* mode) {
  if (mode == nullptr) return false;
  for (int i = 0; i < 8; ++i) {
    if (SameText(mode, kMeasurement1Names[i])) return true;
  }
  return false;
}

FieldStates ComputeFieldStates(const PsfRecord& r) {
  FieldStates s;
  const bool out1 = OutputAssignment(r.out1_mode) != '\0';
  s.output1 = out1;
  s.output2 = OutputAssignment(r.out2_mode) != '\0';
  s.analog1 = AnalogAssignment(r.analog1_source) != '\0' && !out1;
  s.analog2 = AnalogAssignment(r.analog2_source) != '\0' && !out1;
  s.skip_count = IsSelected(r.skip);
  s.trigger_value = IsSelected(r.trigger);
  s.blanking = !IsSelected(r.edge);
  return s;
}

RuleResult SelectMeasurement1(PsfRecord& r, const char* name) {
  RuleResult result;
  char chosen[sizeof r.meas1_mode];
  SetField(chosen, name);
  if (SameText(chosen, "VHS") && !PairsWithVhs(r.meas2_mode)) {
    SetField(r.meas2_mode, "None");
  }
  if (IsSelected(r.edge)) {
    SetField(chosen, "LBB");
    result.beep = true;
  }
  SeparateModes(chosen, r.meas2_mode, result);
  SetField(r.meas1_mode, chosen);
  RecheckOutputs(r, result);
  return Finish(r, result);
}

RuleResult SelectMeasurement2(PsfRecord& r, const char* name) {
  RuleResult result;
  char chosen[sizeof r.meas2_mode];
  SetField(chosen, name);
  if (SameText(r.meas1_mode, "VHS") && !PairsWithVhs(chosen)) SetField(chosen, "None");
  if (IsSelected(r.edge)) SetField(chosen, "None");
  SeparateModes(chosen, r.meas1_mode, result);
  SetField(r.meas2_mode, chosen);
  RecheckOutputs(r, result);
  return Finish(r, result);
}

RuleResult CheckExecuteModes(const PsfRecord& r) {
  RuleResult result;
  const char* message = nullptr;
  if ((SameText(r.meas1_mode, "None") && SameText(r.meas2_mode, "None")) ||
      StartsWith(r.meas1_mode, "ALL") || StartsWith(r.meas2_mode, "ALL")) {
    message = kMsgNoneOrAll;
  } else if (StartsWith(r.meas1_mode, "VHS") && SameText(r.meas2_mode, "None")) {
    message = kMsgInvalidCombination;
  }
  if (message != nullptr) {
    result.message = message;
    result.caption = kExecuteModesCaption;
    result.allowed = false;
  }
  return Finish(r, result);
}

RuleResult SelectScanningMethod(PsfRecord& r, ScanningMethod method) {
  RuleResult result;
  r.straight = Sel(method == ScanningMethod::kStraight);
  r.interlaced = Sel(method == ScanningMethod::kInterlaced);
  r.edge = Sel(method == ScanningMethod::kEdge);
  r.skip = Sel(method == ScanningMethod::kSkip);
  result.touched = kGroupSkipCount | kGroupBlanking;
  if (method == ScanningMethod::kEdge) {
    SetField(r.meas2_mode, "None");
    SetField(r.meas1_mode, "LBB");
    Merge(result, SelectOutputMode(r, 1, "Disabled", false));
    Merge(result, SelectOutputMode(r, 2, "Disabled", false));
    Merge(result, SelectAnalogSource(r, 1, "Disabled", false));
    Merge(result, SelectAnalogSource(r, 2, "Disabled", false));
    Tell(result, kMsgEdge);
  }
  return Finish(r, result);
}

RuleResult SelectScanControl(PsfRecord& r, ScanControl control) {
  r.continuous = Sel(control == ScanControl::kContinuous);
  r.gate = Sel(control == ScanControl::kGate);
  r.host_mode = Sel(control == ScanControl::kHostMode);
  return Finish(r, RuleResult{});
}

void SelectSkipCount(PsfRecord& r, int count) {
  if (count < 1) count = 1;
  if (count > kMaxSkipCount) count = kMaxSkipCount;
  const char text[2] = {static_cast<char>('0' + count), '\0'};
  SetField(r.skip_count, text);
}

RuleResult SelectOutputMode(PsfRecord& r, int output, const char* mode, bool announce) {
  RuleResult result;
  const bool second = output == 2;
  char(&field)[10] = second ? r.out2_mode : r.out1_mode;
  const unsigned group = second ? kGroupOutput2 : kGroupOutput1;
  result.touched = group;

  if (second && announce) {
    r.alarm = kNotSelected;
    r.trigger = kNotSelected;
    result.touched |= kGroupTriggerValue;
  }

  const char assignment = mode != nullptr ? OutputAssignment(mode) : '\0';
  if (assignment == '\0') {
    SetField(field, "Disabled");
    return Finish(r, result);
  }
  const bool first_measurement = assignment == '1';
  if (!UsableByOutput(first_measurement ? r.meas1_mode : r.meas2_mode)) {
    SetField(field, "Disabled");
    if (announce) Tell(result, first_measurement ? kMsgMeasurement1 : kMsgMeasurement2);
    return Finish(r, result);
  }
  SetField(field, first_measurement ? "1" : "2");
  if (!second) {
    // Discrete output 1 and the analog outputs are never assigned together.
    SetField(r.analog1_source, "Disabled");
    SetField(r.analog2_source, "Disabled");
    result.touched |= kGroupAnalog1 | kGroupAnalog2;
  }
  return Finish(r, result);
}

RuleResult ToggleAlarm(PsfRecord& r) {
  RuleResult result;
  SetField(r.out2_mode, "Disabled");
  r.trigger = kNotSelected;
  r.alarm = IsSelected(r.alarm) ? kNotSelected : kSelected;
  result.touched = kGroupOutput2 | kGroupTriggerValue;
  return Finish(r, result);
}

RuleResult ToggleTrigger(PsfRecord& r) {
  RuleResult result;
  SetField(r.out2_mode, "Disabled");
  r.alarm = kNotSelected;
  r.trigger = IsSelected(r.trigger) ? kNotSelected : kSelected;
  result.touched = kGroupOutput2 | kGroupTriggerValue;
  return Finish(r, result);
}

RuleResult SelectAnalogSource(PsfRecord& r, int analog, const char* source, bool announce) {
  RuleResult result;
  const bool second = analog == 2;
  char(&field)[10] = second ? r.analog2_source : r.analog1_source;
  result.touched = second ? kGroupAnalog2 : kGroupAnalog1;

  const char assignment = source != nullptr ? AnalogAssignment(source) : '\0';
  if (assignment == '\0') {
    SetField(field, "Disabled");
    return Finish(r, result);
  }
  const bool first_measurement = assignment == '1';
  if (!UsableByOutput(first_measurement ? r.meas1_mode : r.meas2_mode)) {
    SetField(field, "Disabled");
    if (announce) Tell(result, kMsgAnalysisModeNone);
    return Finish(r, result);
  }
  SetField(field, first_measurement ? "Meas1" : "Meas2");
  SetField(r.out1_mode, "Disabled");
  result.touched |= kGroupOutput1;
  return Finish(r, result);
}

RuleResult SelectSerialTransmission(PsfRecord& r, SerialChoice choice) {
  const bool binary_option = choice == SerialChoice::kBinarySuppressClear ||
                             choice == SerialChoice::kBinarySuppressHeader ||
                             choice == SerialChoice::kBinaryCompress;
  r.no_serial = Sel(choice == SerialChoice::kNoSerial);
  r.ascii_tx = Sel(choice == SerialChoice::kAscii ||
                   choice == SerialChoice::kAsciiSuppressClear);
  r.ascii_suppress_clear = Sel(choice == SerialChoice::kAsciiSuppressClear);
  r.binary_tx = Sel(choice == SerialChoice::kBinary || binary_option);
  if (!binary_option) {
    r.binary_suppress_clear = kNotSelected;
    r.binary_suppress_header = kNotSelected;
    r.binary_compress = kNotSelected;
  } else {
    Selection& option = choice == SerialChoice::kBinarySuppressClear ? r.binary_suppress_clear
                        : choice == SerialChoice::kBinarySuppressHeader
                            ? r.binary_suppress_header
                            : r.binary_compress;
    option = IsSelected(option) ? kNotSelected : kSelected;
  }
  return Finish(r, RuleResult{});
}

namespace {
template <int N>
BoxFieldRef Ref(char (&field)[N]) {
  return {field, N};
}
}  // namespace

BoxFieldRef ValueBoxField(PsfRecord& r, ValueBox box) {
  switch (box) {
    case kBoxBlank1Low: return Ref(r.blank1_low);
    case kBoxBlank1High: return Ref(r.blank1_high);
    case kBoxBlank2Low: return Ref(r.blank2_low);
    case kBoxBlank2High: return Ref(r.blank2_high);
    case kBoxOut1LowThreshold: return Ref(r.out1_low_threshold);
    case kBoxOut1HighThreshold: return Ref(r.out1_high_threshold);
    case kBoxOut1LowHysteresis: return Ref(r.out1_low_hysteresis);
    case kBoxOut1HighHysteresis: return Ref(r.out1_high_hysteresis);
    case kBoxOut1ScanCount: return Ref(r.out1_scan_count);
    case kBoxOut1Invert: return Ref(r.out1_invert);
    case kBoxOut2LowThreshold: return Ref(r.out2_low_threshold);
    case kBoxOut2HighThreshold: return Ref(r.out2_high_threshold);
    case kBoxOut2LowHysteresis: return Ref(r.out2_low_hysteresis);
    case kBoxOut2HighHysteresis: return Ref(r.out2_high_hysteresis);
    case kBoxOut2ScanCount: return Ref(r.out2_scan_count);
    case kBoxOut2Invert: return Ref(r.out2_invert);
    case kBoxAnalog1ScanCount: return Ref(r.analog1_scan_count);
    case kBoxAnalog1Invert: return Ref(r.analog1_invert);
    case kBoxAnalog2ScanCount: return Ref(r.analog2_scan_count);
    case kBoxAnalog2Invert: return Ref(r.analog2_invert);
    case kBoxTriggerValue: break;
  }
  return Ref(r.trigger_value);
}

void ApplyEdgeBlanking(PsfRecord& r) {
  if (!IsSelected(r.edge)) return;
  SetField(r.blank1_low, "0");
  SetField(r.blank1_high, "0");
  SetField(r.blank2_low, "0");
  SetField(r.blank2_high, "0");
}

unsigned BoxesKeptFromView(const PsfRecord& r) {
  unsigned kept = 0;
  // Output 2 is disabled unless its mode is "1" or "2".
  if (r.out2_mode[0] != '1' && r.out2_mode[0] != '2') {
    kept |= kBoxOut2LowThreshold | kBoxOut2HighThreshold | kBoxOut2LowHysteresis |
            kBoxOut2HighHysteresis | kBoxOut2Invert;
  }
  if (!IsSelected(r.trigger)) kept |= kBoxTriggerValue;
  return kept;
}

}  // namespace kelvt
