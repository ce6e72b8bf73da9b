#pragma once
// The controller's parameter block exactly as it travels: 81 bytes, framed
// as ESC + 81 bytes + CR when sent and FS + 81 bytes + LF when received.

#include <array>
#include <cstddef>

namespace kelvt {

inline constexpr int kPsfSize = 81;
inline constexpr int kPsfFrameSize = 83;

class PsfImage {
 public:
  PsfImage() { bytes.fill(0); }

  // Copies 81 bytes; a non-zero controllerLetter replaces byte 0.
  void FromBytes(const char* source, char controllerLetter);
  // Accepts an 83-byte reply FS, 81 bytes with 'E' in byte 1, LF; the
  // command byte becomes 'C'. False leaves the image unchanged.
  bool FromControllerReply(const char* reply);
  // Recomputes bytes 76-80 from bytes 0-75.
  void UpdateCheckSum();
  // Whether bytes 76-80 hold the check sum of bytes 0-75 as they stand.
  bool CheckSumHolds() const;
  // Sets byte 0, updates the check sum and writes ESC + 81 bytes + CR.
  void BuildOutputFrame(char* frame, char controllerLetter);

  void SetScanningMethod(char code);                 // byte 2
  void SetMeasurementMode(char code, bool first);    // byte 3 or 4
  void SetScanControl(char code);                    // byte 6
  void SetSerialTransmission(char code);             // byte 64
  // Part number and date code: at most 6 / 4 characters, never beyond
  // their field; a shorter text leaves NULs in the rest of the field.
  void SetPartNumber(const char* text);              // bytes 66-71
  void SetDateCode(const char* text);                // bytes 72-75

  char* Data() { return bytes.data(); }
  const char* Data() const { return bytes.data(); }
  char& operator[](std::size_t i) { return bytes[i]; }
  char operator[](std::size_t i) const { return bytes[i]; }
  bool operator==(const PsfImage&) const = default;

  std::array<char, kPsfSize> bytes;
};

// The check sum of bytes 0-75: their sum as signed 8-bit values plus 27.
long PsfCheckSum(const char* image);

}  // namespace kelvt
