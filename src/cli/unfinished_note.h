#pragma once
// A word on standard error when the journal holds a set an interrupted
// command never put back on this device.

#include <string>

#include "cli/cli_context.h"

namespace kelvt::cli {

void NoteUnfinished(CliContext& ctx, const std::string& device);

}  // namespace kelvt::cli
