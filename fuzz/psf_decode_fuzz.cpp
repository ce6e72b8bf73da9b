// Controller replies and images from arbitrary bytes: accepting the reply,
// decoding it, encoding the record and decoding that again.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace {

// Every text field must stay NUL-terminated inside itself.
template <int N>
void CheckField(const char (&field)[N]) {
  if (kelvt::FieldLength(field) >= N) __builtin_trap();
}

void CheckRecord(const kelvt::PsfRecord& r) {
  CheckField(r.meas1_mode);
  CheckField(r.meas2_mode);
  CheckField(r.skip_count);
  CheckField(r.blank1_low);
  CheckField(r.blank2_high);
  CheckField(r.controller_id);
  CheckField(r.out1_low_threshold);
  CheckField(r.out2_high_hysteresis);
  CheckField(r.out1_mode);
  CheckField(r.out2_mode);
  CheckField(r.out1_scan_count);
  CheckField(r.trigger_value);
  CheckField(r.analog1_source);
  CheckField(r.analog2_invert);
  CheckField(r.analog2_scan_count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < static_cast<size_t>(kelvt::kPsfFrameSize)) return 0;
  char reply[kelvt::kPsfFrameSize];
  std::memcpy(reply, data, sizeof reply);

  kelvt::PsfImage image;
  // Either as a reply, or the bytes taken as an image directly.
  if (!image.FromControllerReply(reply)) image.FromBytes(reply + 1, 0);

  kelvt::PsfRecord record;
  record.Decode(image.Data());
  CheckRecord(record);

  char encoded[kelvt::kPsfSize + 1];
  record.Encode(encoded);
  if (encoded[1] != 'C' || encoded[kelvt::kPsfSize] != '\0') __builtin_trap();

  // A record's own image decodes to the same image again.
  kelvt::PsfRecord again;
  if (again.Decode(encoded) != 1) __builtin_trap();
  char encoded_again[kelvt::kPsfSize + 1];
  again.Encode(encoded_again);
  if (std::memcmp(encoded, encoded_again, kelvt::kPsfSize) != 0) {
    // Allowed to differ only where the first image held bytes a record
    // cannot keep (e.g. a NUL digit cut a field short).
    kelvt::PsfRecord third;
    third.Decode(encoded_again);
    char encoded_third[kelvt::kPsfSize + 1];
    third.Encode(encoded_third);
    if (std::memcmp(encoded_again, encoded_third, kelvt::kPsfSize) != 0) __builtin_trap();
  }

  char frame[kelvt::kPsfFrameSize];
  image.BuildOutputFrame(frame, 'A');
  if (frame[0] != 0x1B || frame[kelvt::kPsfFrameSize - 1] != 0x0D) __builtin_trap();
  return 0;
}
