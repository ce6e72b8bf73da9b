#pragma once
// A parameter set as `psf show` prints it, for every command that shows one
// (psf get and show, journal show).

#include <string>

#include "cli/cli_context.h"
#include "ops/psf_report.h"
#include "psf/psf_record.h"

namespace kelvt::cli {

// Every field with its meaning (text), or one JSON line with `source` and
// `fields`. kExitOk.
int PrintSet(CliContext& ctx, const std::string& source, const PsfRecord& record);

// The printable HTML report page of `psf show --html`.
void PrintSetReport(CliContext& ctx, const PsfRecord& record, const PsfReportSource& about);

}  // namespace kelvt::cli
