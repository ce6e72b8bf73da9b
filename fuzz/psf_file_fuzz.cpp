// The .PSF reader on arbitrary text: it must answer 0 or 1 without reading
// outside the text, and an accepted text must decode and encode cleanly.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy so any read past the end is caught.
  char* text = new char[size > 0 ? size : 1];
  if (size > 0) std::memcpy(text, data, size);

  char image[kelvt::kPsfSize];
  const int parsed = kelvt::ParsePsfText(text, size, image);

  kelvt::PsfRecord record;
  const int read = kelvt::ReadPsfText(record, text, size);
  if (read != 0 && parsed == 0) __builtin_trap();
  if (read != 0 && image[1] != 'C' && image[1] != 'E') __builtin_trap();
  if (parsed) {
    char out[kelvt::kPsfSize + 1];
    record.Encode(out);
    if (out[kelvt::kPsfSize] != '\0') __builtin_trap();
  }
  delete[] text;
  return 0;
}
