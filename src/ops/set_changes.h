#pragma once
// What a change did to a controller, field by field: the set it held against
// the set it was sent, or the four null and span values before and after.
// Fields are named as `psf diff` names them, so a script that reads one
// reads the other.

#include <string>
#include <vector>

#include "link/null_span_frame.h"
#include "ops/psf_fields.h"
#include "psf/psf_image.h"

namespace kelvt {

// The fields in which `sent` differs from `before` (a = before, b = after),
// in the order of DescribePsf, then the part number and date code where the
// sent set carries its own (0x01 there keeps the controller's).
std::vector<PsfDifference> SetChanges(const PsfImage& before, const PsfImage& sent);

// The null and span values that differ (keys null1, span1, null2, span2).
std::vector<PsfDifference> NullSpanChanges(const NullSpanValues& before,
                                           const NullSpanValues& sent);

// Part number (bytes 66-71) or date code (72-75) as text: up to the first NUL
// or 0x01, other bytes outside printable ASCII shown as '?'.
std::string ImageText(const PsfImage& image, int from, int length);

}  // namespace kelvt
