#pragma once
// The parameter set decoded into named fields. Texts are fixed, NUL-terminated
// character arrays; a Selection is 0 when selected and -1 when not.

#include <cstdint>

namespace kelvt {

using Selection = int32_t;
inline constexpr Selection kSelected = 0;
inline constexpr Selection kNotSelected = -1;

struct PsfRecord {
  PsfRecord() { SetDefaults(); }

  void SetDefaults();
  // Writes the 81-byte image followed by a NUL into out[82].
  void Encode(char* out) const;
  // Fills the record from an 81-byte image; 1 if byte 1 is 'C' or 'E', else 0.
  int Decode(const char* image);

  // Every field alike, each text byte for byte.
  bool operator==(const PsfRecord&) const = default;

  char meas1_mode[5];
  char meas2_mode[5];
  Selection straight;
  Selection continuous;
  char skip_count[2];
  int32_t baud_index;
  Selection interlaced;
  Selection edge;
  Selection skip;
  Selection gate;
  Selection host_mode;
  char blank1_low[5];
  char blank1_high[5];
  char blank2_low[5];
  char blank2_high[5];
  Selection alarm;
  Selection ascii_tx;
  Selection ascii_suppress_clear;
  Selection binary_suppress_clear;
  Selection binary_suppress_header;
  Selection binary_tx;
  Selection binary_compress;
  char controller_id[3];
  char out1_high_hysteresis[5];
  char out2_high_hysteresis[5];
  char out1_high_threshold[5];
  char out2_high_threshold[5];
  char out1_low_hysteresis[5];
  char out2_low_hysteresis[5];
  char out1_invert[5];
  char out2_invert[5];
  char out1_low_threshold[5];
  char out2_low_threshold[5];
  char out1_mode[10];
  char out2_mode[10];
  char out1_scan_count[3];
  char out2_scan_count[3];
  Selection trigger;
  char trigger_value[5];
  Selection no_serial;
  char analog1_invert[5];
  char analog2_invert[5];
  char analog1_source[10];
  char analog2_source[10];
  char analog1_scan_count[3];
  char analog2_scan_count[3];
};

// Right-justifies `text` in `width` characters, '0'-filled; writes no NUL.
// A text longer than `width` keeps its last `width` characters.
void PadDigits(const char* text, char* out, int width);
// Takes n characters, drops leading '0's (keeping a lone last one) and writes
// them NUL-terminated into out, which holds at least n + 1 bytes.
void StripLeadingZeros(const char* field, char* out, int n);
// Measurement-mode table: 'A'.."J" to names, "None" for any other code.
const char* MeasurementName(char code);
// Name to code letter; 'K' for any name outside the table.
char MeasurementCode(const char* name);

inline bool IsSelected(Selection s) { return s == kSelected; }

// Length of the text in a fixed field, never reading past the field.
template <int N>
int FieldLength(const char (&field)[N]) {
  int i = 0;
  while (i < N && field[i] != '\0') ++i;
  return i;
}

// Copies `text` into a fixed field of N bytes, truncating; the rest of the
// field is cleared, so the field is always NUL-terminated and holds nothing
// stale behind its text.
template <int N>
void SetField(char (&field)[N], const char* text) {
  int i = 0;
  if (text != nullptr) {
    for (; i < N - 1 && text[i] != '\0'; ++i) field[i] = text[i];
  }
  for (; i < N; ++i) field[i] = '\0';
}

}  // namespace kelvt
