#pragma once
// The CSV output of beams and measure: the rows the desktop Record writes,
// on standard output, each flushed as it is made so a pipe sees it live.

#include <ostream>

namespace kelvt::cli {

class CliContext;

// --csv and the global --json exclude each other. False (after saying so)
// when both were given: a usage error.
bool CsvOptionAllowed(CliContext& ctx, bool csv);

// Writes the first `length` bytes of `row` and flushes. False when the row
// was not made (length < 0) or the output no longer takes text.
bool WriteCsvRow(std::ostream& out, const char* row, int length);

}  // namespace kelvt::cli
