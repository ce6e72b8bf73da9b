#include "psf/psf_image.h"

#include <cstdio>
#include <cstring>

namespace kelvt {

namespace {

constexpr char kEsc = 0x1B;
constexpr char kFs = 0x1C;
constexpr char kCr = 0x0D;
constexpr char kLf = 0x0A;
constexpr int kCheckSumAt = 76;
constexpr int kCheckSumDigits = 5;

// Copies at most n characters of text into dest; a shorter text leaves NULs
// behind it, so nothing outside the field is ever touched.
void CopyFixed(char* dest, const char* text, int n) {
  int i = 0;
  if (text != nullptr) {
    for (; i < n && text[i] != '\0'; ++i) dest[i] = text[i];
  }
  for (; i < n; ++i) dest[i] = '\0';
}

}  // namespace

long PsfCheckSum(const char* image) {
  long sum = 0;
  for (int i = 0; i < kCheckSumAt; ++i) {
    sum += static_cast<signed char>(image[i]);
  }
  return sum + kEsc;
}

void PsfImage::FromBytes(const char* source, char controllerLetter) {
  std::memcpy(bytes.data(), source, kPsfSize);
  if (controllerLetter != 0) bytes[0] = controllerLetter;
}

bool PsfImage::FromControllerReply(const char* reply) {
  if (reply[0] != kFs || reply[2] != 'E' || reply[kPsfFrameSize - 1] != kLf) {
    return false;
  }
  std::memcpy(bytes.data(), reply + 1, kPsfSize);
  bytes[1] = 'C';
  return true;
}

void PsfImage::UpdateCheckSum() {
  // Bytes 0-75 summed as signed chars stay within -9701..9679, so "%05ld"
  // always yields exactly five characters.
  char text[24];  // room for any long, so the formatter never truncates
  std::snprintf(text, sizeof text, "%05ld", PsfCheckSum(bytes.data()));
  std::memcpy(bytes.data() + kCheckSumAt, text, kCheckSumDigits);
}

bool PsfImage::CheckSumHolds() const {
  char text[24];
  std::snprintf(text, sizeof text, "%05ld", PsfCheckSum(bytes.data()));
  return std::memcmp(bytes.data() + kCheckSumAt, text, kCheckSumDigits) == 0;
}

void PsfImage::BuildOutputFrame(char* frame, char controllerLetter) {
  bytes[0] = controllerLetter;
  UpdateCheckSum();
  frame[0] = kEsc;
  std::memcpy(frame + 1, bytes.data(), kPsfSize);
  frame[kPsfFrameSize - 1] = kCr;
}

void PsfImage::SetScanningMethod(char code) { bytes[2] = code; }

void PsfImage::SetMeasurementMode(char code, bool first) {
  bytes[first ? 3 : 4] = code;
}

void PsfImage::SetScanControl(char code) { bytes[6] = code; }

void PsfImage::SetSerialTransmission(char code) { bytes[64] = code; }

void PsfImage::SetPartNumber(const char* text) {
  CopyFixed(bytes.data() + 66, text, 6);
}

void PsfImage::SetDateCode(const char* text) {
  CopyFixed(bytes.data() + 72, text, 4);
}

}  // namespace kelvt
