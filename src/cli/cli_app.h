#pragma once
// The kelvt-cli command line: global options, the subcommands, and the exit
// status of a run.

#include <string>
#include <vector>

#include "cli/cli_context.h"

namespace kelvt::cli {

// Parses `args` (args[0] is the program name), runs the chosen subcommand
// and returns the exit status (exit_codes.h). Help and version go to
// ctx.out, usage errors to ctx.err.
int RunCli(const std::vector<std::string>& args, CliContext& ctx);
int RunCli(int argc, const char* const* argv, CliContext& ctx);

}  // namespace kelvt::cli
