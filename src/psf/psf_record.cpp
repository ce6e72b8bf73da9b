#include "psf/psf_record.h"

#include <cstring>

#include "psf/psf_image.h"

namespace kelvt {

namespace {

struct ModeEntry {
  char code;
  const char* name;
};

// Code letters follow the controller, not the order the editor lists them in.
constexpr ModeEntry kModes[] = {
    {'A', "FBB"}, {'B', "FBM"}, {'C', "LBB"}, {'D', "LBM"}, {'E', "TBB"},
    {'F', "TBM"}, {'G', "CBB"}, {'H', "CBM"}, {'I', "ALL"}, {'J', "VHS"},
};
constexpr char kNoModeCode = 'K';
constexpr const char* kNoModeName = "None";

// Binary transmission codes indexed by the options: bit 0 Suppress Clear
// Data, bit 1 Suppress Header, bit 2 Compress Data. 'g' (no serial) is
// skipped by the letters.
constexpr char kBinaryCodes[8] = {'c', 'd', 'e', 'f', 'h', 'i', 'j', 'k'};

// Right-justifies a field's text; bounded by the field, not by a NUL.
template <int N>
void PadField(const char (&field)[N], char* out, int width) {
  char text[N + 1];
  const int len = FieldLength(field);
  std::memcpy(text, field, len);
  text[len] = '\0';
  PadDigits(text, out, width);
}

// The character at position i of a field's text, or NUL past its end.
template <int N>
char FieldChar(const char (&field)[N], int i) {
  return i < FieldLength(field) ? field[i] : '\0';
}

char OutputModeCode(char first) {
  if (first == '1') return 'y';
  if (first == '2') return 'z';
  return 'x';
}

template <int S, int I>
char AnalogCode(const char (&source)[S], const char (&invert)[I]) {
  const bool inverted = FieldChar(invert, 0) == 'Y';
  switch (FieldChar(source, 4)) {
    case '1':
      return inverted ? 'Y' : 'y';
    case '2':
      return inverted ? 'Z' : 'z';
    default:
      return 'x';
  }
}

template <int N>
void SetFromDigits(char (&field)[N], const char* digits) {
  char text[4];
  StripLeadingZeros(digits, text, 3);
  SetField(field, text);
}

template <int N>
void SetOneChar(char (&field)[N], char c) {
  const char text[2] = {c, '\0'};
  SetField(field, text);
}

void DecodeOutputMode(char code, char (&mode)[10]) {
  if (code == 'y') {
    SetField(mode, "1");
  } else if (code == 'z') {
    SetField(mode, "2");
  } else {
    SetField(mode, "Disabled");
  }
}

void DecodeAnalog(char code, char (&source)[10], char (&invert)[5]) {
  switch (code) {
    case 'Y':
      SetField(source, "Meas1");
      SetField(invert, "Yes");
      break;
    case 'Z':
      SetField(source, "Meas2");
      SetField(invert, "Yes");
      break;
    case 'y':
      SetField(source, "Meas1");
      SetField(invert, "No");
      break;
    case 'z':
      SetField(source, "Meas2");
      SetField(invert, "No");
      break;
    default:
      SetField(source, "Disabled");
      SetField(invert, "No");
      break;
  }
}

Selection SelectedIf(bool on) { return on ? kSelected : kNotSelected; }

}  // namespace

void PadDigits(const char* text, char* out, int width) {
  if (width <= 0) return;
  const int len = static_cast<int>(std::strlen(text));
  if (len >= width) {
    std::memcpy(out, text + (len - width), width);
    return;
  }
  const int fill = width - len;
  std::memset(out, '0', fill);
  std::memcpy(out + fill, text, len);
}

void StripLeadingZeros(const char* field, char* out, int n) {
  if (n <= 0) {
    out[0] = '\0';
    return;
  }
  int start = 0;
  while (start < n - 1 && field[start] == '0') ++start;
  const int len = n - start;
  std::memcpy(out, field + start, len);
  out[len] = '\0';
}

const char* MeasurementName(char code) {
  for (const ModeEntry& m : kModes) {
    if (m.code == code) return m.name;
  }
  return kNoModeName;
}

char MeasurementCode(const char* name) {
  if (name == nullptr) return kNoModeCode;
  for (const ModeEntry& m : kModes) {
    // Table names are shorter than 5, so this never reads more than 5 bytes.
    if (std::strncmp(name, m.name, 5) == 0) return m.code;
  }
  return kNoModeCode;
}

void PsfRecord::SetDefaults() {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  SetField(meas1_mode, "FBB");
  SetField(meas2_mode, "None");
  straight = kSelected;
  continuous = kSelected;
  SetField(skip_count, "1");
  baud_index = 0;
  interlaced = kNotSelected;
  edge = kNotSelected;
  skip = kNotSelected;
  gate = kNotSelected;
  host_mode = kNotSelected;
  SetField(blank1_low, "0");
  SetField(blank1_high, "0");
  SetField(blank2_low, "0");
  SetField(blank2_high, "0");
  alarm = kNotSelected;
  ascii_tx = kNotSelected;
  ascii_suppress_clear = kNotSelected;
  binary_suppress_clear = kNotSelected;
  binary_suppress_header = kNotSelected;
  binary_tx = kNotSelected;
  binary_compress = kNotSelected;
  SetField(controller_id, "A");
  SetField(out1_high_hysteresis, "2");
  SetField(out2_high_hysteresis, "2");
  SetField(out1_high_threshold, "1");
  SetField(out2_high_threshold, "1");
  SetField(out1_low_hysteresis, "0");
  SetField(out2_low_hysteresis, "0");
  SetField(out1_invert, "No");
  SetField(out2_invert, "No");
  SetField(out1_low_threshold, "1");
  SetField(out2_low_threshold, "1");
  SetField(out1_mode, "Disabled");
  SetField(out2_mode, "Disabled");
  SetField(out1_scan_count, "1");
  SetField(out2_scan_count, "1");
  trigger = kNotSelected;
  SetField(trigger_value, "1");
  no_serial = kSelected;
  SetField(analog1_invert, "No");
  SetField(analog2_invert, "No");
  SetField(analog1_source, "Disabled");
  SetField(analog2_source, "Disabled");
  SetField(analog1_scan_count, "1");
  SetField(analog2_scan_count, "1");
}

void PsfRecord::Encode(char* out) const {
  out[0] = FieldChar(controller_id, 0);
  out[1] = 'C';

  if (IsSelected(straight)) {
    out[2] = 'a';
  } else if (IsSelected(interlaced)) {
    out[2] = 'i';
  } else if (IsSelected(edge)) {
    out[2] = 'j';
  } else {
    out[2] = static_cast<char>(FieldChar(skip_count, 0) + 0x31);
  }

  out[3] = MeasurementCode(meas1_mode);
  out[4] = MeasurementCode(meas2_mode);
  out[5] = static_cast<char>('A' + baud_index);

  if (IsSelected(continuous)) {
    out[6] = 'a';
  } else if (IsSelected(gate)) {
    out[6] = 'b';
  } else {
    out[6] = 'c';
  }

  PadField(blank1_low, out + 7, 3);
  PadField(blank1_high, out + 10, 3);
  PadField(blank2_low, out + 13, 3);
  PadField(blank2_high, out + 16, 3);

  out[19] = OutputModeCode(FieldChar(out1_mode, 0));
  PadField(out1_low_threshold, out + 20, 3);
  PadField(out1_high_threshold, out + 23, 3);
  PadField(out1_low_hysteresis, out + 26, 3);
  PadField(out1_high_hysteresis, out + 29, 3);
  out[32] = FieldChar(out1_scan_count, 0);
  out[33] = FieldChar(out1_invert, 0);

  if (IsSelected(trigger)) {
    out[34] = 'v';
  } else if (IsSelected(alarm)) {
    out[34] = 'w';
  } else {
    out[34] = OutputModeCode(FieldChar(out2_mode, 0));
  }
  if (out[34] == 'v') {
    PadField(trigger_value, out + 35, 3);
  } else {
    PadField(out2_low_threshold, out + 35, 3);
  }
  PadField(out2_high_threshold, out + 38, 3);
  PadField(out2_low_hysteresis, out + 41, 3);
  PadField(out2_high_hysteresis, out + 44, 3);
  out[47] = FieldChar(out2_scan_count, 0);
  out[48] = FieldChar(out2_invert, 0);

  out[49] = AnalogCode(analog1_source, analog1_invert);
  out[50] = AnalogCode(analog2_source, analog2_invert);

  // The alarm block repeats output 2 without the hundreds digit of its
  // low threshold.
  std::memmove(out + 51, out + 36, 13);

  if (IsSelected(no_serial)) {
    out[64] = 'g';
  } else if (IsSelected(ascii_tx)) {
    out[64] = IsSelected(ascii_suppress_clear) ? 'b' : 'a';
  } else {
    const int options = (IsSelected(binary_suppress_clear) ? 1 : 0) |
                        (IsSelected(binary_suppress_header) ? 2 : 0) |
                        (IsSelected(binary_compress) ? 4 : 0);
    out[64] = kBinaryCodes[options];
  }

  out[65] = FieldChar(controller_id, 0);
  std::memset(out + 66, 0x01, 10);

  PsfImage image;
  std::memcpy(image.Data(), out, 76);
  image.UpdateCheckSum();
  std::memcpy(out + 76, image.Data() + 76, 5);
  out[kPsfSize] = '\0';
}

int PsfRecord::Decode(const char* image) {
  if (image[0] >= 'A' && image[0] <= 'O') SetOneChar(controller_id, image[0]);

  const int result = (image[1] == 'C' || image[1] == 'E') ? 1 : 0;

  const char method = image[2];
  if (method == 'a' || method == 'i' || method == 'j' ||
      (method >= 'b' && method <= 'h')) {
    const bool skipping = method >= 'b' && method <= 'h';
    straight = SelectedIf(method == 'a');
    interlaced = SelectedIf(method == 'i');
    edge = SelectedIf(method == 'j');
    skip = SelectedIf(skipping);
    if (skipping) {
      char count = static_cast<char>(method - 0x31);
      if (count > '7') count = '7';
      SetOneChar(skip_count, count);
    } else {
      SetField(skip_count, "1");
    }
  }

  SetField(meas1_mode, MeasurementName(image[3]));
  SetField(meas2_mode, MeasurementName(image[4]));

  // Taken as the controller's byte; a letter outside 'A'..'C' gives an index
  // outside the baud table, which the caller must tolerate.
  baud_index = static_cast<signed char>(image[5]) - 'A';

  continuous = SelectedIf(image[6] == 'a');
  gate = SelectedIf(image[6] == 'b');
  host_mode = SelectedIf(image[6] != 'a' && image[6] != 'b');

  SetFromDigits(blank1_low, image + 7);
  SetFromDigits(blank1_high, image + 10);
  SetFromDigits(blank2_low, image + 13);
  SetFromDigits(blank2_high, image + 16);

  DecodeOutputMode(image[19], out1_mode);

  // Discrete output 1 and the analog outputs exclude each other; an
  // assigned output 1 wins.
  const bool out1_assigned = image[19] == 'y' || image[19] == 'z';
  DecodeAnalog(out1_assigned ? 'x' : image[49], analog1_source, analog1_invert);
  DecodeAnalog(out1_assigned ? 'x' : image[50], analog2_source, analog2_invert);

  SetOneChar(analog1_scan_count, image[32]);
  SetOneChar(analog2_scan_count, image[32]);
  SetFromDigits(out1_low_threshold, image + 20);
  SetFromDigits(out1_high_threshold, image + 23);
  SetFromDigits(out1_low_hysteresis, image + 26);
  SetFromDigits(out1_high_hysteresis, image + 29);
  SetOneChar(out1_scan_count, image[32]);
  SetField(out1_invert, image[33] == 'Y' ? "Yes" : "No");

  const char out2 = image[34];
  trigger = SelectedIf(out2 == 'v');
  alarm = SelectedIf(out2 != 'v' && out2 != 'x' && out2 != 'y' && out2 != 'z');
  DecodeOutputMode(out2, out2_mode);

  if (IsSelected(trigger)) {
    SetFromDigits(trigger_value, image + 35);
    SetField(out2_low_threshold, "0");
  } else {
    SetFromDigits(out2_low_threshold, image + 35);
    SetField(trigger_value, "1");
  }
  SetFromDigits(out2_high_threshold, image + 38);
  SetFromDigits(out2_low_hysteresis, image + 41);
  SetFromDigits(out2_high_hysteresis, image + 44);
  SetOneChar(out2_scan_count, image[47]);
  SetField(out2_invert, image[48] == 'Y' ? "Yes" : "No");

  no_serial = kNotSelected;
  ascii_tx = kNotSelected;
  ascii_suppress_clear = kNotSelected;
  binary_tx = kNotSelected;
  binary_suppress_clear = kNotSelected;
  binary_suppress_header = kNotSelected;
  binary_compress = kNotSelected;
  const char tx = image[64];
  if (tx == 'a' || tx == 'b') {
    ascii_tx = kSelected;
    ascii_suppress_clear = SelectedIf(tx == 'b');
  } else if (tx >= 'c' && tx <= 'k' && tx != 'g') {
    binary_tx = kSelected;
    int options = 0;
    for (int i = 0; i < 8; ++i) {
      if (kBinaryCodes[i] == tx) options = i;
    }
    binary_suppress_clear = SelectedIf((options & 1) != 0);
    binary_suppress_header = SelectedIf((options & 2) != 0);
    binary_compress = SelectedIf((options & 4) != 0);
  } else {
    no_serial = kSelected;
  }

  return result;
}

}  // namespace kelvt
