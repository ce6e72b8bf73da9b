#pragma once
// The decoded parameter set as a list of named fields, for showing and for
// comparing two sets. Keys are stable names for scripts (the record's own
// field names where a field stands alone); labels say what a field means;
// values are what a person reads (the code tables applied).

#include <string>
#include <string_view>
#include <vector>

#include "psf/psf_record.h"

namespace kelvt {

struct PsfField {
  std::string key;
  std::string label;
  std::string value;
};

// Every field of the record, grouped as the controller uses them.
std::vector<PsfField> DescribePsf(const PsfRecord& record);

struct PsfDifference {
  std::string key;
  std::string label;
  std::string a;
  std::string b;
};

// The fields whose values differ, in the order of DescribePsf.
std::vector<PsfDifference> DiffPsf(const PsfRecord& a, const PsfRecord& b);

enum class PsfSetStatus {
  kChanged,     // the field holds the value now (it may have held it before)
  kUnknownKey,  // no settable field of that name
  kRefused,     // the value is not one the editor takes, or a rule changed it
};

struct PsfSetResult {
  PsfSetStatus status = PsfSetStatus::kChanged;
  // kRefused: the rule's own message when it gave one, else what was wrong.
  // kChanged: a rule's message about other fields it changed, or "".
  std::string message;
};

// Sets one field, named by its DescribePsf key, to `value` as DescribePsf
// shows it (names without regard to case; also a list entry's own text, as
// "1" for an output's "Measurement 1"), through the rule the editor runs when
// the technician makes that change: its side effects on other fields
// included. A value the editor would not take, or that its rule replaces, is
// refused; the record may then have changed and must be dropped.
PsfSetResult SetPsfField(PsfRecord& record, std::string_view key, std::string_view value);

// The keys SetPsfField takes, in the order of DescribePsf.
std::vector<std::string> SettablePsfKeys();

}  // namespace kelvt
