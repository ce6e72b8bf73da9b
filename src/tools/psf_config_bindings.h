#pragma once
// The editor's binding tables: each text box and each option button with
// its object name, the record field it stands for and the rule it runs.
#include <bit>

#include "psf/config_rules.h"
#include "psf/psf_record.h"
#include "tools/psf_config_dlg.h"

namespace kelvt {
namespace psf_config {

// The object name of each text box, one per ValueBox bit, in bit order
// (what each box is: kValueBoxes).
struct BoxInfo {
  ValueBox bit;
  const char* name;
};

inline constexpr BoxInfo kBoxInfo[21] = {
    {kBoxBlank1Low, "blank1LowEdit"},
    {kBoxBlank1High, "blank1HighEdit"},
    {kBoxBlank2Low, "blank2LowEdit"},
    {kBoxBlank2High, "blank2HighEdit"},
    {kBoxOut1LowThreshold, "out1LowThresholdEdit"},
    {kBoxOut1HighThreshold, "out1HighThresholdEdit"},
    {kBoxOut1LowHysteresis, "out1LowHysteresisEdit"},
    {kBoxOut1HighHysteresis, "out1HighHysteresisEdit"},
    {kBoxOut1ScanCount, "out1ScanEdit"},
    {kBoxOut1Invert, "out1InvertEdit"},
    {kBoxOut2LowThreshold, "out2LowThresholdEdit"},
    {kBoxOut2HighThreshold, "out2HighThresholdEdit"},
    {kBoxOut2LowHysteresis, "out2LowHysteresisEdit"},
    {kBoxOut2HighHysteresis, "out2HighHysteresisEdit"},
    {kBoxOut2ScanCount, "out2ScanEdit"},
    {kBoxOut2Invert, "out2InvertEdit"},
    {kBoxAnalog1ScanCount, "analog1ScanEdit"},
    {kBoxAnalog1Invert, "analog1InvertEdit"},
    {kBoxAnalog2ScanCount, "analog2ScanEdit"},
    {kBoxAnalog2Invert, "analog2InvertEdit"},
    {kBoxTriggerValue, "triggerValueEdit"},
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
