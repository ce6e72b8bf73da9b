#include "ops/psf_fields.h"

#include <cstring>

#include "link/controller_link.h"

namespace kelvt {
namespace {

template <int N>
std::string Text(const char (&field)[N]) {
  return std::string(field, static_cast<std::size_t>(FieldLength(field)));
}

const char* YesNo(Selection s) { return IsSelected(s) ? "Yes" : "No"; }

std::string ScanningMethod(const PsfRecord& r) {
  if (IsSelected(r.straight)) return "Straight";
  if (IsSelected(r.interlaced)) return "Interlaced";
  if (IsSelected(r.edge)) return "Edge";
  if (IsSelected(r.skip)) return "Skip";
  return "None selected";
}

std::string ScanControl(const PsfRecord& r) {
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
      {"scanning_method", "Scanning Method", ScanningMethod(r)},
      {"skip_count", "Skip count (Skip method)", Text(r.skip_count)},
      {"meas1_mode", "Measurement Mode #1", Text(r.meas1_mode)},
      {"meas2_mode", "Measurement Mode #2", Text(r.meas2_mode)},
      {"baud_rate", "Baud Rate Selection", BaudRate(r.baud_index)},
      {"scan_control", "Scan Control", ScanControl(r)},
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
