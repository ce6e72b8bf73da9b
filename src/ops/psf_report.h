#pragma once
// A parameter set as one printable HTML page: every field with its meaning
// and value (the table DescribePsf gives), the part number and date code,
// where the set came from and when the report was made. All text is escaped,
// so a part number or a file name cannot add markup.

#include <string>
#include <vector>

#include "ops/psf_fields.h"

namespace kelvt {

struct PsfReportSource {
  std::string part_number;  // empty: not known (a .PSF file does not hold it)
  std::string date_code;
  std::string origin;       // "File /path/x.PSF" or "Controller on /dev/ttyS0, read 2026-..."
  std::string made;         // when the report was made, ISO 8601
};

// <, >, &, " and ' as entities; control characters as U+FFFD.
std::string HtmlEscape(const std::string& text);

std::string PsfReportHtml(const std::vector<PsfField>& fields, const PsfReportSource& source);

}  // namespace kelvt
