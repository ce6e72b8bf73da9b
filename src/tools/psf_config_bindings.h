#pragma once
// The editor's binding tables: each text box and each option button with
// its object name, the record field it stands for and the rule it runs.
#include <bit>

#include "psf/config_rules.h"
#include "psf/psf_record.h"
#include "tools/psf_config_dlg.h"

namespace kelvt {
namespace psf_config {

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

// One row per ValueBox bit, in bit order.
struct BoxInfo {
  ValueBox bit;
  const char* name;
  BoxKind kind;
  int which;  // blanking field, output or analog output: 1 or 2
  FieldGroup group;
  ScanCountBox scan_box;
};

inline constexpr BoxInfo kBoxInfo[21] = {
    {kBoxBlank1Low, "blank1LowEdit", BoxKind::kBlankingLow, 1, kGroupBlanking, {}},
    {kBoxBlank1High, "blank1HighEdit", BoxKind::kBlankingHigh, 1, kGroupBlanking, {}},
    {kBoxBlank2Low, "blank2LowEdit", BoxKind::kBlankingLow, 2, kGroupBlanking, {}},
    {kBoxBlank2High, "blank2HighEdit", BoxKind::kBlankingHigh, 2, kGroupBlanking, {}},
    {kBoxOut1LowThreshold, "out1LowThresholdEdit", BoxKind::kSetPointLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighThreshold, "out1HighThresholdEdit", BoxKind::kSetPointHigh, 1, kGroupOutput1, {}},
    {kBoxOut1LowHysteresis, "out1LowHysteresisEdit", BoxKind::kHysteresisLow, 1, kGroupOutput1, {}},
    {kBoxOut1HighHysteresis, "out1HighHysteresisEdit", BoxKind::kHysteresisHigh, 1, kGroupOutput1,
     {}},
    {kBoxOut1ScanCount, "out1ScanEdit", BoxKind::kScanCount, 1, kGroupOutput1,
     ScanCountBox::kOutput1},
    {kBoxOut1Invert, "out1InvertEdit", BoxKind::kInvert, 1, kGroupOutput1, {}},
    {kBoxOut2LowThreshold, "out2LowThresholdEdit", BoxKind::kSetPointLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighThreshold, "out2HighThresholdEdit", BoxKind::kSetPointHigh, 2, kGroupOutput2, {}},
    {kBoxOut2LowHysteresis, "out2LowHysteresisEdit", BoxKind::kHysteresisLow, 2, kGroupOutput2, {}},
    {kBoxOut2HighHysteresis, "out2HighHysteresisEdit", BoxKind::kHysteresisHigh, 2, kGroupOutput2,
     {}},
    {kBoxOut2ScanCount, "out2ScanEdit", BoxKind::kScanCount, 2, kGroupOutput2,
     ScanCountBox::kOutput2},
    {kBoxOut2Invert, "out2InvertEdit", BoxKind::kInvert, 2, kGroupOutput2, {}},
    {kBoxAnalog1ScanCount, "analog1ScanEdit", BoxKind::kScanCount, 1, kGroupAnalog1,
     ScanCountBox::kAnalog1},
    {kBoxAnalog1Invert, "analog1InvertEdit", BoxKind::kInvert, 1, kGroupAnalog1, {}},
    {kBoxAnalog2ScanCount, "analog2ScanEdit", BoxKind::kScanCount, 2, kGroupAnalog2,
     ScanCountBox::kAnalog2},
    {kBoxAnalog2Invert, "analog2InvertEdit", BoxKind::kInvert, 2, kGroupAnalog2, {}},
    {kBoxTriggerValue, "triggerValueEdit", BoxKind::kTriggerValue, 0, kGroupTriggerValue, {}},
};

inline int BoxIndex(ValueBox bit) { return std::countr_zero(static_cast<unsigned>(bit)); }

}  // namespace psf_config

struct CPsfConfigDlg::OptionRow {
  QRadioButton* CPsfConfigDlg::*button;
  const char* name;
  const char* caption;
  Selection PsfRecord::*field;
  RuleResult (*rule)(PsfRecord&);
  bool guarded;  // refused, and the selections shown again, while another rule runs
};

}  // namespace kelvt
