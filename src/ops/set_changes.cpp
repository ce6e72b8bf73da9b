#include "ops/set_changes.h"

#include "psf/psf_record.h"

namespace kelvt {
namespace {

constexpr char kKeepStored = '\x01';

void AddStamp(std::vector<PsfDifference>& out, const PsfImage& before, const PsfImage& sent,
              int from, int length, const char* key, const char* label) {
  // The editor's Send leaves 0x01 in these bytes: the controller keeps its own.
  if (sent[static_cast<std::size_t>(from)] == kKeepStored) return;
  std::string a = ImageText(before, from, length);
  std::string b = ImageText(sent, from, length);
  if (a != b) out.push_back({key, label, std::move(a), std::move(b)});
}

}  // namespace

std::string ImageText(const PsfImage& image, int from, int length) {
  std::string text;
  for (int i = from; i < from + length; ++i) {
    const char c = image[static_cast<std::size_t>(i)];
    if (c == '\0' || c == kKeepStored) break;
    text += (c >= 0x20 && c <= 0x7E) ? c : '?';
  }
  return text;
}

std::vector<PsfDifference> SetChanges(const PsfImage& before, const PsfImage& sent) {
  PsfRecord a;
  PsfRecord b;
  a.Decode(before.Data());
  b.Decode(sent.Data());
  std::vector<PsfDifference> out = DiffPsf(a, b);
  AddStamp(out, before, sent, 66, 6, "part_number", "Part Number");
  AddStamp(out, before, sent, 72, 4, "date_code", "Date Code");
  return out;
}

std::vector<PsfDifference> NullSpanChanges(const NullSpanValues& before,
                                           const NullSpanValues& sent) {
  static const char* const kKeys[4] = {"null1", "span1", "null2", "span2"};
  static const char* const kLabels[4] = {"Analog Output#1 Null", "Analog Output#1 Span",
                                         "Analog Output#2 Null", "Analog Output#2 Span"};
  std::vector<PsfDifference> out;
  for (int i = 0; i < 4; ++i) {
    if (before[i] != sent[i]) {
      out.push_back({kKeys[i], kLabels[i], std::to_string(before[i]), std::to_string(sent[i])});
    }
  }
  return out;
}

}  // namespace kelvt
