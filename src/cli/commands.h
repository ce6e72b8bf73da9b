#pragma once
// Registration of the subcommands. Each adds its subcommand(s) to the
// application and the code that runs when one of them was chosen.

#include <functional>
#include <vector>

#include "cli/cli_context.h"

namespace CLI {
class App;
}

namespace kelvt::cli {

struct Command {
  CLI::App* app;             // the (leaf) subcommand
  std::function<int()> run;  // returns the exit status
};

using Commands = std::vector<Command>;

void AddPortsCommand(CLI::App& app, CliContext& ctx, Commands& commands);
void AddDiagCommand(CLI::App& app, CliContext& ctx, Commands& commands);
void AddPsfCommands(CLI::App& app, CliContext& ctx, Commands& commands);
void AddBeamsCommand(CLI::App& app, CliContext& ctx, Commands& commands);
void AddMeasureCommand(CLI::App& app, CliContext& ctx, Commands& commands);
void AddNullSpanCommands(CLI::App& app, CliContext& ctx, Commands& commands);
void AddStampCommand(CLI::App& app, CliContext& ctx, Commands& commands);
void AddJournalCommands(CLI::App& app, CliContext& ctx, Commands& commands);
void AddBackupCommand(CLI::App& app, CliContext& ctx, Commands& commands);
// journal show, journal put-back (under the journal command).
void AddJournalEntryCommands(CLI::App& journal, CliContext& ctx, Commands& commands);

}  // namespace kelvt::cli
