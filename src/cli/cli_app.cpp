#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/exit_codes.h"

#ifndef KELVT_VERSION
#define KELVT_VERSION "2.0"
#endif

namespace kelvt::cli {
namespace {

std::string ExitCodeFooter() {
  std::string text = "Exit status:\n";
  for (const ExitCodeInfo& info : kExitCodes) {
    std::string code = std::to_string(info.code);
    code.resize(5, ' ');
    text += "  " + code + info.meaning + "\n";
  }
  text += "\nRun 'kelvt-cli COMMAND --help' for the options of a command.";
  return text;
}

// The global options as a command's help lists them below its own: they
// are taken after the command too.
std::string GlobalOptionsFooter(const std::vector<const CLI::Option*>& globals) {
  std::string text = "Global options (also accepted after the command):\n";
  for (const CLI::Option* option : globals) {
    std::string names = option->get_name(false, true);
    if (!option->get_type_name().empty()) names += " " + option->get_type_name();
    names.resize(std::max<std::size_t>(names.size() + 2, 28), ' ');
    text += "  " + names + option->get_description() + "\n";
  }
  return text;
}

void AddFooterToCommands(CLI::App& app, const std::string& footer) {
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->footer(footer);
    AddFooterToCommands(*sub, footer);
  }
}

}  // namespace

int RunCli(int argc, const char* const* argv, CliContext& ctx) {
  CLI::App app{"Configure and service a light-curtain controller from the shell.", "kelvt-cli"};
  app.set_version_flag("--version", std::string("kelvt-cli ") + KELVT_VERSION);
  // Global options are also understood after the subcommand.
  app.fallthrough();

  GlobalOptions& options = ctx.options;
  options = GlobalOptions{};
  CLI::Option* port = app.add_option(
      "-p,--port", options.port,
      "Serial port COM1..COM24 (default: the port chosen in the desktop tool, else COM2)");
  port->type_name("COMn");
  CLI::Option* device =
      app.add_option("-d,--device", options.device, "Serial device path, e.g. /dev/ttyUSB0");
  device->type_name("PATH");
  port->excludes(device);
  // An unset shell variable must not mean "the default port".
  const CLI::Validator not_empty(
      [](std::string& value) { return value.empty() ? std::string("must not be empty") : std::string(); },
      "");
  port->check(not_empty);
  device->check(not_empty);
  CLI::Option* json =
      app.add_flag("--json", options.json, "Machine-readable output: one JSON object per line");
  CLI::Option* verbose = app.add_flag("-v,--verbose", options.verbose,
                                      "Log every frame on the serial line to standard error");

  Commands commands;
  AddPortsCommand(app, ctx, commands);
  AddDiagCommand(app, ctx, commands);
  AddPsfCommands(app, ctx, commands);
  AddBeamsCommand(app, ctx, commands);
  AddMeasureCommand(app, ctx, commands);
  AddNullSpanCommands(app, ctx, commands);
  AddStampCommand(app, ctx, commands);
  AddJournalCommands(app, ctx, commands);
  AddBackupCommand(app, ctx, commands);
  app.require_subcommand(1);
  app.footer(ExitCodeFooter());
  AddFooterToCommands(app, GlobalOptionsFooter({port, device, json, verbose}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const std::vector<std::string> left = app.remaining();
    if (app.get_subcommands().empty() && !left.empty() && e.get_exit_code() != 0) {
      ctx.err << "kelvt-cli: unknown command '" << left.front() << "'\n"
              << "Run with --help for the commands.\n";
      return kExitUsage;
    }
    const int code = app.exit(e, ctx.out, ctx.err);
    return code == 0 ? kExitOk : kExitUsage;
  }

  for (const Command& command : commands) {
    if (!command.app->parsed()) continue;
    const int status = command.run();
    // A pulled adapter is no controller that stopped answering: the port is gone.
    const bool lost = status == kExitNoAnswer || status == kExitRefused;
    return lost && ctx.DeviceUnplugged() ? kExitPortOpen : status;
  }
  return kExitUsage;  // not reached: a subcommand is required
}

int RunCli(const std::vector<std::string>& args, CliContext& ctx) {
  std::vector<const char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return RunCli(static_cast<int>(args.size()), argv.data(), ctx);
}

}  // namespace kelvt::cli
