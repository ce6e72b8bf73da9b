#include <algorithm>
#include <cerrno>
#include <string>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/safe_file.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt {

namespace {

// Lines are read with a 100-byte buffer: at most 99 characters per read,
// the LF included; a longer line carries on as the next read.
constexpr int kLineBuffer = 100;
constexpr int kValueWindow = 11;
constexpr char kVersion[] = "Version 1.1";

// Reads a file's bytes as a text-mode stream would deliver them: a CR
// directly before an LF is dropped.
class TextLines {
 public:
  TextLines(const char* data, std::size_t size) : data_(data), size_(size) {}

  // Reads the next line (or the next 99 characters of a long one) into
  // line, NUL-terminated. False at the end of the text.
  bool Next(char (&line)[kLineBuffer]) {
    int n = 0;
    while (n < kLineBuffer - 1 && pos_ < size_) {
      char c = data_[pos_++];
      if (c == '\r' && pos_ < size_ && data_[pos_] == '\n') c = data_[pos_++];
      line[n++] = c;
      if (c == '\n') break;
    }
    line[n] = '\0';
    return n > 0;
  }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// The value is the first letter or digit after a colon within the first
// 11 characters; a NUL ends the line's text.
bool ScanValue(const char* line, char* value) {
  bool after_colon = false;
  for (int i = 0; i < kValueWindow && line[i] != '\0'; ++i) {
    if (after_colon && IsAsciiAlnum(line[i])) {
      *value = line[i];
      return true;
    }
    if (line[i] == ':') after_colon = true;
  }
  return false;
}

}  // namespace

int ParsePsfText(const char* data, std::size_t size, char* image) {
  TextLines lines(data, size);
  char line[kLineBuffer];
  for (int i = 0; i < 3; ++i) {
    if (!lines.Next(line)) return 0;
  }
  if (std::strncmp(line, kVersion, sizeof kVersion - 1) != 0) return 0;

  bool accepted = true;
  for (int i = 0; i < kPsfSize; ++i) {
    if (!lines.Next(line)) return 0;
    if (!ScanValue(line, &image[i])) accepted = false;
  }
  return accepted ? 1 : 0;
}

int ReadPsfText(PsfRecord& record, const char* data, std::size_t size) {
  char image[kPsfSize];
  if (ParsePsfText(data, size, image) == 0) return 0;
  return record.Decode(image);
}

int ReadPsfFile(PsfRecord& record, const char* path) {
  std::string text;
  const ReadRefusal refusal = ReadUserFile(path, kUserFileLimit, text);
  if (refusal == ReadRefusal::kNotRegular) errno = EINVAL;
  if (refusal == ReadRefusal::kTooLarge) errno = EFBIG;
  if (refusal != ReadRefusal::kNone) return 0;
  // Lines after the 81st value line are never read.
  return ReadPsfText(record, text.data(), std::min(text.size(), kPsfReadLimit));
}

}  // namespace kelvt
