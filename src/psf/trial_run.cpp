#include "psf/trial_run.h"

#include <cstring>


namespace kelvt {
namespace {

constexpr char kHostModeCode = 'c';
constexpr char kBinaryNoOptionsCode = 'c';

bool NameIs(const char* name, const char* expected) {
  return name != nullptr && std::strcmp(name, expected) == 0;
}

}  // namespace

int TrialMeasurementMode(const char* meas1_mode, const char* meas2_mode) {
  if (NameIs(meas1_mode, "None") || NameIs(meas1_mode, "VHS")) return 1;
  if (NameIs(meas2_mode, "None")) return 0;
  return 2;
}

MeasurementLabel TrialMeasurementLabel(const char* mode_name) {
  MeasurementLabel label{};
  if (mode_name != nullptr) {
    for (int i = 0; i < 4 && mode_name[i] != '\0'; ++i) label.text[i] = mode_name[i];
  }
  return label;
}

int ValidBaudIndex(int index) { return index >= 0 && index <= 2 ? index : 0; }

PsfImage BuildTrialImage(const PsfRecord& record) {
  PsfRecord sent = record;
  sent.baud_index = ValidBaudIndex(sent.baud_index);
  char bytes[kPsfSize + 1];
  sent.Encode(bytes);
  PsfImage image;
  image.FromBytes(bytes, 0);
  image.SetScanControl(kHostModeCode);
  image.SetSerialTransmission(kBinaryNoOptionsCode);
  return image;
}

}  // namespace kelvt
