#pragma once
// The decoded parameter set as a list of named fields, for showing and for
// comparing two sets. Keys are stable names for scripts (the record's own
// field names where a field stands alone); labels say what a field means;
// values are what a person reads (the code tables applied).

#include <string>
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

}  // namespace kelvt
