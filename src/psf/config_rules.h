#pragma once
// The rules that keep a parameter set valid while it is edited. Each rule is
// a pure function on a PsfRecord: it adjusts the fields involved and says
// what the editor has to show for it. Nothing here touches a window.
//
// How the editor uses a rule:
//  1. Bring the record fields the rule reads up to date from the controls
//     (the rule reads the record, not the boxes).
//  2. Call the rule.
//  3. Show lists and option buttons from the record again (cheap, and a rule
//     may have changed any of them); rewrite the text boxes flagged in
//     `rewritten` from their record fields; enable or disable the groups
//     flagged in `touched` as `states` says; sound a warning beep when
//     `beep`; show `message` (if not null) in a message box with an OK
//     button and `caption`.
//
// The rules never refuse a value: a value out of range is replaced by the
// nearest allowed one, a forbidden combination by its fallback. Only
// CheckExecuteModes stops an action (`allowed` false).
//
// Texts in any field may be empty, non-numeric, too long or out of range:
// numbers are read as their leading decimal digits (none reads as 0, unless
// a rule says otherwise) and written back as decimal texts without leading
// zeros; fields are written only through SetField and never overflow.

#include <string>
#include <string_view>

#include "psf/captions.h"
#include "psf/psf_record.h"

namespace kelvt {

// Captions of the rules' message boxes.
inline constexpr const char* kRuleCaption = kWindowCaption;       // editing rules
inline constexpr const char* kExecuteModesCaption = kAppTitle;  // CheckExecuteModes

// Messages, exactly as the user sees them.
inline constexpr char kMsgIdenticalModes[] = "Cannot Have Identical Measurement Modes";
inline constexpr char kMsgNoneOrAll[] =
    "At least one meas must not be 'None' and neither can be set to 'All'";
inline constexpr char kMsgInvalidCombination[] = "Invalid Analysis mode combination.";
inline constexpr char kMsgEdge[] = "Meas1 is LBB;  Outputs Must be Re-Configured";
inline constexpr char kMsgField1BelowField2Low[] = "Field 1 is below  Field 2";  // field 1
inline constexpr char kMsgField1BelowField2High[] = "Field 1 is below Field 2";  // field 2
inline constexpr char kMsgMeasurement1[] = "Measurement 1 Must be Changed";
inline constexpr char kMsgMeasurement2[] = "Measurement 2 Must Be Changed";
inline constexpr char kMsgAnalysisModeNone[] = "Change Analysis Mode from None";

// Limits.
inline constexpr int kMaxBlanking = 384;
inline constexpr int kMaxThreshold = 384;
inline constexpr int kMaxHysteresis = 385;
inline constexpr int kMinTriggerValue = 1;
inline constexpr int kMaxTriggerValue = 192;
inline constexpr int kMaxSkipCount = 7;
inline constexpr int kValueBoxLength = 3;   // blanking, threshold, hysteresis, trigger
inline constexpr int kInvertBoxLength = 4;
inline constexpr int kScanBoxLength = 2;

// Measurement-mode names in the order the editor lists them; the second
// list is the first without its last entry, "VHS".
inline constexpr const char* kMeasurement1Names[] = {
    "FBB", "LBB", "TBB", "CBB", "FBM", "LBM", "TBM", "CBM", "ALL", "None", "VHS"};
inline constexpr int kMeasurement1Count = 11;
inline constexpr int kMeasurement2Count = 10;

// True for the first eight modes; "ALL", "None", "VHS" and any unknown text
// cannot drive an output.
bool UsableByOutput(const char* mode);

// Groups of controls that are in use (enabled) or not as one.
enum FieldGroup : unsigned {
  kGroupOutput1 = 1u << 0,       // output 1's six value boxes
  kGroupOutput2 = 1u << 1,       // output 2's six value boxes
  kGroupAnalog1 = 1u << 2,       // analog output 1's invert and scan boxes
  kGroupAnalog2 = 1u << 3,       // analog output 2's invert and scan boxes
  kGroupSkipCount = 1u << 4,     // skip count list (shows no value when out of use)
  kGroupTriggerValue = 1u << 5,  // trigger value box
  kGroupBlanking = 1u << 6,      // the four blanking boxes
  kAllGroups = (1u << 7) - 1,
};

struct FieldStates {
  bool output1 = false;
  bool output2 = false;
  bool analog1 = false;
  bool analog2 = false;
  bool skip_count = false;
  bool trigger_value = false;
  bool blanking = true;

  bool InUse(FieldGroup group) const;
  bool operator==(const FieldStates&) const = default;
};

// Text boxes of the editor, one bit each, for `rewritten`.
enum ValueBox : unsigned {
  kBoxBlank1Low = 1u << 0,
  kBoxBlank1High = 1u << 1,
  kBoxBlank2Low = 1u << 2,
  kBoxBlank2High = 1u << 3,
  kBoxOut1LowThreshold = 1u << 4,
  kBoxOut1HighThreshold = 1u << 5,
  kBoxOut1LowHysteresis = 1u << 6,
  kBoxOut1HighHysteresis = 1u << 7,
  kBoxOut1ScanCount = 1u << 8,
  kBoxOut1Invert = 1u << 9,
  kBoxOut2LowThreshold = 1u << 10,
  kBoxOut2HighThreshold = 1u << 11,
  kBoxOut2LowHysteresis = 1u << 12,
  kBoxOut2HighHysteresis = 1u << 13,
  kBoxOut2ScanCount = 1u << 14,
  kBoxOut2Invert = 1u << 15,
  kBoxAnalog1ScanCount = 1u << 16,
  kBoxAnalog1Invert = 1u << 17,
  kBoxAnalog2ScanCount = 1u << 18,
  kBoxAnalog2Invert = 1u << 19,
  kBoxTriggerValue = 1u << 20,
};

// What a rule tells the editor to show.
struct RuleResult {
  const char* message = nullptr;  // null: no message
  const char* caption = nullptr;  // set whenever message is
  bool beep = false;              // warning beep
  bool allowed = true;            // false only from CheckExecuteModes
  unsigned rewritten = 0;         // ValueBox bits: boxes to rewrite from the record
  unsigned touched = 0;           // FieldGroup bits whose state the rule set
  FieldStates states;             // every group's state after the rule

  bool HasMessage() const { return message != nullptr; }
};

// In-use state of every group as the record stands: shown after a set is
// loaded (defaults, controller, file), and what each rule's `states` holds.
FieldStates ComputeFieldStates(const PsfRecord& r);

// --- Measurement modes ---------------------------------------------------

// A measurement list changed. Adjusts the other mode (VHS pairs only with
// FBB, LBB or ALL), Edge's forced modes, identical modes, then re-checks
// both outputs and both analog outputs without messages.
RuleResult SelectMeasurement1(PsfRecord& r, const char* name);
RuleResult SelectMeasurement2(PsfRecord& r, const char* name);

// Before a trial run only. `allowed` false with a message (caption kExecuteModesCaption)
// when the modes cannot be run.
RuleResult CheckExecuteModes(const PsfRecord& r);

// --- Scanning method and scan control -------------------------------------

enum class ScanningMethod { kStraight, kInterlaced, kEdge, kSkip };
enum class ScanControl { kContinuous, kGate, kHostMode };

// Selects one method and deselects the others. Edge forces measurement 1
// "LBB", measurement 2 "None", disables every output and the blanking.
RuleResult SelectScanningMethod(PsfRecord& r, ScanningMethod method);
RuleResult SelectScanControl(PsfRecord& r, ScanControl control);
// A count chosen from the skip list (1..7, clamped).
void SelectSkipCount(PsfRecord& r, int count);

// --- Blanking fields (field 1 or 2), on leaving a box ----------------------

RuleResult CheckBlankingLow(PsfRecord& r, int field);
RuleResult CheckBlankingHigh(PsfRecord& r, int field);

// --- Discrete outputs (output 1 or 2) -------------------------------------

// `mode`: "1", "2" or "Disabled" (only the first character counts). Output 1
// assigned disables both analog outputs. `announce` is true when the
// technician changed this list, false when another rule re-checks it.
RuleResult SelectOutputMode(PsfRecord& r, int output, const char* mode, bool announce);

// On leaving a threshold box. An empty threshold counts as 1.
RuleResult CheckSetPointLow(PsfRecord& r, int output);
RuleResult CheckSetPointHigh(PsfRecord& r, int output);

enum class Side { kLow, kHigh };
// On leaving a hysteresis box: low stays below its threshold, high above.
RuleResult CheckHysteresis(PsfRecord& r, int output, Side side);

// --- Output 2 as alarm or trigger -----------------------------------------

RuleResult ToggleAlarm(PsfRecord& r);
RuleResult ToggleTrigger(PsfRecord& r);
// On leaving the trigger value box: 1..192, empty counts as 1.
RuleResult CheckTriggerValue(PsfRecord& r);

// --- Analog outputs (1 or 2) ------------------------------------------------

// `source`: "Disabled", "Meas1" or "Meas2" (the fifth character decides).
// An assigned analog output disables discrete output 1.
RuleResult SelectAnalogSource(PsfRecord& r, int analog, const char* source, bool announce);

// The entries of the editor's lists, in their order: a discrete output's
// analysis mode, an analog output's source.
inline constexpr const char* kOutputModeChoices[3] = {"1", "2", "Disabled"};
inline constexpr const char* kAnalogSourceChoices[3] = {"Disabled", "Meas1", "Meas2"};
// The controller letters the editor offers: A to O.
inline constexpr int kControllerLetterCount = 15;

// --- Serial transmission ----------------------------------------------------

enum class SerialChoice {
  kNoSerial,
  kAscii,
  kAsciiSuppressClear,
  kBinary,
  kBinarySuppressClear,   // flips
  kBinarySuppressHeader,  // flips
  kBinaryCompress,        // flips
};
RuleResult SelectSerialTransmission(PsfRecord& r, SerialChoice choice);

// --- Rules on a box's text while it is typed --------------------------------

// Result of a typing rule: the text the box must show, and whether it
// differs from what was typed (so the box is rewritten).
struct TypedText {
  std::string text;
  bool rewrite = false;
};

// Blanking, threshold, hysteresis and trigger-value boxes: drops every
// non-digit and leading '0's of a longer text, keeps at most 3 characters.
TypedText FilterDigits(std::string_view text);

// Inversion boxes: "Yes", "No" and "" stay; otherwise the last y/Y or n/N
// decides "Yes" or "No"; a text with neither letter stays as typed (cut to
// 4 characters).
TypedText NormalizeInvert(std::string_view text);
// Leaving an inversion box: empty becomes "No".
TypedText LeaveInvert(std::string_view text);

enum class ScanCountBox { kOutput1, kOutput2, kAnalog1, kAnalog2 };

// One of the four scan-count boxes was typed in: two characters keep the
// second, anything but '1'..'9' becomes '1', and the result goes into all
// four scan-count fields. `rewritten` flags the typed box when its text
// changed and each other box whose first character differed.
RuleResult NormalizeScanCount(PsfRecord& r, ScanCountBox box, std::string_view text);
// Leaving a scan-count box: an empty one becomes "1" (and so do the others).
RuleResult LeaveScanCount(PsfRecord& r, ScanCountBox box, std::string_view text);

// Integer value of a text: its leading decimal digits (at most 9 of them),
// 0 when there are none, `empty_value` when the text is empty.
int ParseValue(std::string_view text, int empty_value = 0);

// A value box's record field: its text and capacity (NUL included).
struct BoxFieldRef {
  char* data;
  int size;
};
BoxFieldRef ValueBoxField(PsfRecord& r, ValueBox box);

// Edge sends no blanking: the record goes out with "0" in every blanking field.
void ApplyEdgeBlanking(PsfRecord& r);

// Boxes whose shown text the record takes when it is shown again, instead of
// the other way round: a disabled output 2 keeps what its boxes show, and so
// does the trigger value without Trigger.
unsigned BoxesKeptFromView(const PsfRecord& r);

// --- A value box as a whole ------------------------------------------------------
// What each box is, so that the editor and the command line run the same
// rules on it.

enum class BoxKind {
  kBlankingLow,
  kBlankingHigh,
  kSetPointLow,
  kSetPointHigh,
  kHysteresisLow,
  kHysteresisHigh,
  kScanCount,
  kInvert,
  kTriggerValue,
};

struct ValueBoxInfo {
  ValueBox bit;
  BoxKind kind;
  int which;  // blanking field, output or analog output: 1 or 2 (0: trigger value)
  FieldGroup group;
  ScanCountBox scan_box;  // scan-count boxes only
};

// One row per ValueBox bit, in bit order.
inline constexpr ValueBoxInfo kValueBoxes[21] = {
    {kBoxBlank1Low, BoxKind::kBlankingLow, 1, kGroupBlanking, {}},
    {kBoxBlank1High, BoxKind::kBlankingHigh, 1, kGroupBlanking, {}},
    {kBoxBlank2Low, BoxKind::kBlankingLow, 2, kGroupBlanking, {}},
    {kBoxBlank2High, BoxKind::kBlankingHigh, 2, kGroupBlanking, {}},
    {kBoxOut1LowThreshold, BoxKind::kSetPointLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighThreshold, BoxKind::kSetPointHigh, 1, kGroupOutput1, {}},
    {kBoxOut1LowHysteresis, BoxKind::kHysteresisLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighHysteresis, BoxKind::kHysteresisHigh, 1, kGroupOutput1, {}},
    {kBoxOut1ScanCount, BoxKind::kScanCount, 1, kGroupOutput1, ScanCountBox::kOutput1},
    {kBoxOut1Invert, BoxKind::kInvert, 1, kGroupOutput1, {}},
    {kBoxOut2LowThreshold, BoxKind::kSetPointLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighThreshold, BoxKind::kSetPointHigh, 2, kGroupOutput2, {}},
    {kBoxOut2LowHysteresis, BoxKind::kHysteresisLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighHysteresis, BoxKind::kHysteresisHigh, 2, kGroupOutput2, {}},
    {kBoxOut2ScanCount, BoxKind::kScanCount, 2, kGroupOutput2, ScanCountBox::kOutput2},
    {kBoxOut2Invert, BoxKind::kInvert, 2, kGroupOutput2, {}},
    {kBoxAnalog1ScanCount, BoxKind::kScanCount, 1, kGroupAnalog1, ScanCountBox::kAnalog1},
    {kBoxAnalog1Invert, BoxKind::kInvert, 1, kGroupAnalog1, {}},
    {kBoxAnalog2ScanCount, BoxKind::kScanCount, 2, kGroupAnalog2, ScanCountBox::kAnalog2},
    {kBoxAnalog2Invert, BoxKind::kInvert, 2, kGroupAnalog2, {}},
    {kBoxTriggerValue, BoxKind::kTriggerValue, 0, kGroupTriggerValue, {}},
};

const ValueBoxInfo& ValueBoxInfoOf(ValueBox box);
// Characters a box of this kind holds.
int ValueBoxMaxLength(BoxKind kind);

// Leaving a box: the rule of its kind, on the box's record field as it stands.
RuleResult LeaveValueBox(PsfRecord& r, ValueBox box);

// A value typed into a box and the box left, as the technician does it:
// the text cut to what the box holds, the typing rule of its kind (its kept
// text goes into the field), then LeaveValueBox. `kept` receives the text
// the typing rule left.
RuleResult EnterValueBox(PsfRecord& r, ValueBox box, std::string_view text, std::string& kept);

}  // namespace kelvt
