#include "cli/csv_output.h"

#include "cli/cli_context.h"

namespace kelvt::cli {

bool CsvOptionAllowed(CliContext& ctx, bool csv) {
  if (!csv || !ctx.options.json) return true;
  ctx.Error("--csv excludes --json", "Choose CSV rows (--csv) or JSON lines (--json).");
  return false;
}

bool WriteCsvRow(std::ostream& out, const char* row, int length) {
  if (length < 0) return false;
  out.write(row, length);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace kelvt::cli
