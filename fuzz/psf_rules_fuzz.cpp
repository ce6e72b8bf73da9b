// The configuration rules on any texts: the input is split into pieces that
// fill the record's text fields and drive a sequence of rules.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ops/psf_fields.h"
#include "psf/config_rules.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace {

template <int N>
void CheckField(const char (&field)[N]) {
  if (kelvt::FieldLength(field) >= N) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Pieces separated by '|'.
  std::string pieces[24];
  int count = 0;
  std::size_t start = 0;
  while (count < 24 && start <= input.size()) {
    std::size_t end = input.find('|', start);
    if (end == std::string_view::npos) end = input.size();
    pieces[count++] = std::string(input.substr(start, end - start));
    start = end + 1;
  }
  auto piece = [&](int i) { return pieces[i % 24].c_str(); };

  kelvt::PsfRecord r;
  char* fields[] = {r.blank1_low, r.blank1_high, r.blank2_low, r.blank2_high,
                    r.out1_low_threshold, r.out1_high_threshold, r.out1_low_hysteresis,
                    r.out1_high_hysteresis, r.out2_low_threshold, r.out2_high_threshold,
                    r.out2_low_hysteresis, r.out2_high_hysteresis, r.trigger_value,
                    r.meas1_mode, r.meas2_mode};
  for (int i = 0; i < 15; ++i) {
    const char* t = piece(i);
    int n = 0;
    for (; n < 4 && t[n] != '\0'; ++n) fields[i][n] = t[n];
    fields[i][n] = '\0';
  }
  kelvt::SetField(r.out1_mode, piece(15));
  kelvt::SetField(r.out2_mode, piece(16));
  kelvt::SetField(r.analog1_source, piece(17));
  kelvt::SetField(r.analog2_source, piece(18));

  // The first bytes choose the rules to run.
  for (std::size_t i = 0; i < size && i < 32; ++i) {
    const int which = data[i] % 22;
    const int n = 1 + (data[i] / 20) % 2;
    const bool announce = (data[i] & 0x80) != 0;
    switch (which) {
      case 0: kelvt::SelectMeasurement1(r, piece(i)); break;
      case 1: kelvt::SelectMeasurement2(r, piece(i)); break;
      case 2: kelvt::CheckExecuteModes(r); break;
      case 3: kelvt::SelectScanningMethod(r, static_cast<kelvt::ScanningMethod>(data[i] % 4)); break;
      case 4: kelvt::SelectScanControl(r, static_cast<kelvt::ScanControl>(data[i] % 3)); break;
      case 5: kelvt::CheckBlankingLow(r, n); break;
      case 6: kelvt::CheckBlankingHigh(r, n); break;
      case 7: kelvt::SelectOutputMode(r, n, piece(i), announce); break;
      case 8: kelvt::CheckSetPointLow(r, n); break;
      case 9: kelvt::CheckSetPointHigh(r, n); break;
      case 10: kelvt::CheckHysteresis(r, n, announce ? kelvt::Side::kLow : kelvt::Side::kHigh); break;
      case 11: kelvt::ToggleAlarm(r); break;
      case 12: kelvt::ToggleTrigger(r); break;
      case 13: kelvt::CheckTriggerValue(r); break;
      case 14: kelvt::SelectAnalogSource(r, n, piece(i), announce); break;
      case 15: kelvt::SelectSerialTransmission(r, static_cast<kelvt::SerialChoice>(data[i] % 7)); break;
      case 16: kelvt::NormalizeScanCount(r, static_cast<kelvt::ScanCountBox>(data[i] % 4), piece(i)); break;
      case 17: kelvt::LeaveScanCount(r, static_cast<kelvt::ScanCountBox>(data[i] % 4), piece(i)); break;
      case 18: kelvt::FilterDigits(piece(i)); kelvt::NormalizeInvert(piece(i)); break;
      case 19: {
        // A box typed into and left, or a field set by name, from any text.
        std::string kept;
        kelvt::EnterValueBox(r, static_cast<kelvt::ValueBox>(1u << (data[i] % 21)), piece(i), kept);
        if (kept.size() > 4) __builtin_trap();
        break;
      }
      case 20: {
        static const std::vector<std::string> keys = kelvt::SettablePsfKeys();
        kelvt::SetPsfField(r, keys[data[i] % keys.size()], piece(i + 1));
        break;
      }
      default: kelvt::SelectSkipCount(r, data[i]); break;
    }
  }
  CheckField(r.meas1_mode);
  CheckField(r.meas2_mode);
  CheckField(r.blank1_low);
  CheckField(r.out2_high_hysteresis);
  CheckField(r.trigger_value);
  CheckField(r.out1_mode);
  CheckField(r.analog2_source);
  CheckField(r.out1_scan_count);
  CheckField(r.skip_count);
  char image[kelvt::kPsfSize + 1];
  r.Encode(image);
  return 0;
}
