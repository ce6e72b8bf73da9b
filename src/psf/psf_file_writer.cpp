#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/safe_file.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt {

namespace {

constexpr const char* kComments[kPsfSize] = {
    "  //Controller I.D. Letter",
    "  //Command to send new configuration file",
    "  //Scanning Method",
    "  //Measurement Mode #1",
    "  //Measurement Mode #2",
    "  //Baud Rate Selection",
    "  //Scan Control",
    "  //Blanking field #1 Low (value *100)",
    "  //Blanking field #1 Low (value *10)",
    "  //Blanking field #1 Low (value *1)",
    "  //Blanking field #1 High (value *100)",
    "  //Blanking field #1 High (value *10)",
    "  //Blanking field #1 High (value *1)",
    "  //Blanking field #2 Low (value *100)",
    "  //Blanking field #2 Low (value *10)",
    "  //Blanking field #2 Low (value *1)",
    "  //Blanking field #2 High (value *100)",
    "  //Blanking field #2 High (value *10)",
    "  //Blanking field #2 High (value *1)",
    "  //Discrete Output #1 Analysis mode",
    "  //Output #1 Low Threshold (value *100)",
    "  //Output #1 Low Threshold (value *10)",
    "  //Output #1 Low Threshold (value *1)",
    "  //Output #1 High Threshold (value *100)",
    "  //Output #1 High Threshold (value *10)",
    "  //Output #1 High Threshold (value *1)",
    "  //Output #1 Low Hysteresis (value *100)",
    "  //Output #1 Low Hysteresis (value *10)",
    "  //Output #1 Low Hysteresis (value *1)",
    "  //Output #1 High Hysteresis (value *100)",
    "  //Output #1 High Hysteresis (value *10)",
    "  //Output #1 High Hysteresis (value *1)",
    "  //Number of scans before changing outputs",
    "  //Output #1 inversion?",
    "  //Discrete Output #2 Analysis mode",
    "  //Output #2 Low Threshold (value *100)",
    "  //Output #2 Low Threshold (value *10)",
    "  //Output #2 Low Threshold (value *1)",
    "  //Output #2 High Threshold (value *100)",
    "  //Output #2 High Threshold (value *10)",
    "  //Output #2 High Threshold (value *1)",
    "  //Output #2 Low Hysteresis (value *100)",
    "  //Output #2 Low Hysteresis (value *10)",
    "  //Output #2 Low Hysteresis (value *1)",
    "  //Output #2 High Hysteresis (value *100)",
    "  //Output #2 High Hysteresis (value *10)",
    "  //Output #2 High Hysteresis (value *1)",
    "  //Number of scans before changing outputs",
    "  //Output #2 inversion?",
    "  //Analog Voltage #1",
    "  //Analog Voltage #2 ",
    "  //Alarm Low Threshold or trigger (value *10)",
    "  //Alarm Low Threshold or trigger (value *1)",
    "  //Alarm High Threshold (value *100)",
    "  //Alarm High Threshold (value *10)",
    "  //Alarm High Threshold (value *1)",
    "  //Alarm Low Hysteresis (value *100)",
    "  //Alarm Low Hysteresis (value *10)",
    "  //Alarm Low Hysteresis (value *1)",
    "  //Alarm High Hysteresis (value *100)",
    "  //Alarm High Hysteresis (value *10)",
    "  //Alarm High Hysteresis (value *1)",
    "  //Number of scans before changing outputs",
    "  //Alarm inversion?",
    "  //Serial Transmisssion",
    "  //New Controller ID value",
    "  //Controller part number MSD",
    "  //Controller part number 5th digit",
    "  //Controller part number 4th digit",
    "  //Controller part number 3rd digit",
    "  //Controller part number 2nd digit",
    "  //Controller part number LSD",
    "  //Date Code MSD",
    "  //Date Code 3rd digit",
    "  //Date Code 2nd digit",
    "  //Date Code LSD",
    "  //Check Sum MSD",
    "  //Check Sum 4th digit",
    "  //Check Sum 3rd digit",
    "  //Check Sum 2nd digit",
    "  //Check Sum LSD",
};

constexpr const char kTitleLine[] = "Kelvo-Tarn 2.0 PSF String\n";
constexpr const char kVersionLine[] = "Version 1.1\n";

// Builds the whole file in memory, so the only failure points are creating,
// writing and closing.
std::size_t BuildFileText(const char* image, const std::tm& now, char* text,
                          std::size_t capacity) {
  std::size_t len = 0;
  auto append = [&](const char* s, std::size_t n) {
    if (len + n <= capacity) std::memcpy(text + len, s, n);
    len += n;
  };
  append(kTitleLine, sizeof kTitleLine - 1);
  char date[32];
  FormatAsctime(now, date);
  append(date, std::strlen(date));
  append(kVersionLine, sizeof kVersionLine - 1);
  for (int i = 0; i < kPsfSize; ++i) {
    char counter[8];
    const int n = std::snprintf(counter, sizeof counter, "%d:\t", i + 1);
    append(counter, static_cast<std::size_t>(n));
    append(image + i, 1);
    append(kComments[i], std::strlen(kComments[i]));
    append("\n", 1);
  }
  return len;
}

}  // namespace

const char* ByteComment(int index) {
  if (index < 0 || index >= kPsfSize) return "";
  return kComments[index];
}

void FormatAsctime(const std::tm& when, char* out) {
  static constexpr const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed",
                                             "Thu", "Fri", "Sat"};
  static constexpr const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr",
                                                "May", "Jun", "Jul", "Aug",
                                                "Sep", "Oct", "Nov", "Dec"};
  const int wday = when.tm_wday >= 0 && when.tm_wday < 7 ? when.tm_wday : 0;
  const int mon = when.tm_mon >= 0 && when.tm_mon < 12 ? when.tm_mon : 0;
  // Wide enough for any int in every slot; a sane date takes 25 bytes.
  char text[96];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %ld\n",
                kDays[wday], kMonths[mon], when.tm_mday, when.tm_hour,
                when.tm_min, when.tm_sec, 1900L + when.tm_year);
  // Cut to 31 characters if ever needed, keeping the line's LF.
  std::size_t n = std::strlen(text);
  if (n > 31) {
    n = 31;
    text[30] = '\n';
  }
  std::memcpy(out, text, n);
  out[n] = '\0';
}

// The file's text for `image`, stamped with the local time; 0 when it did
// not fit (never, for 81 bytes).
std::size_t ImageFileText(const char* image, char* text, std::size_t size) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) std::memset(&local, 0, sizeof local);
  const std::size_t len = BuildFileText(image, local, text, size);
  return len > size ? 0 : len;
}

// Formats `image` and hands the text to `store` (replace or create new).
static int StoreImageFile(const char* path, const char* image,
                   int (*store)(const char*, const char*, std::size_t)) {
  // 84 lines of at most 4 + 1 + 48 + 1 characters, plus title, date, version.
  char text[6144];
  const std::size_t len = ImageFileText(image, text, sizeof text);
  if (len == 0) {
    errno = EOVERFLOW;
    return 0;
  }
  return store(path, text, len);
}

int WriteImageFile(const char* path, const char* image) {
  // A complete copy replaces the old file, or the old file stays.
  return StoreImageFile(path, image, [](const char* to, const char* text, std::size_t len) {
    return ReplaceFileDurably(to, text, len);
  });
}

int CreateImageFile(const char* path, const char* image) {
  return StoreImageFile(path, image, CreateNewFile);
}

int WritePsfFile(const PsfRecord& record, const char* path) {
  char image[kPsfSize + 1];
  record.Encode(image);
  return WriteImageFile(path, image);
}

}  // namespace kelvt
