// stamp: part number and date code, as Set Part Number does.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/stamp_values.h"
#include "cli/psf_restore.h"
#include "ops/alignment_steps.h"
#include "ops/status_messages.h"
#include "psf/date_code.h"
#include "psf/part_numbers.h"

namespace kelvt::cli {
namespace {

constexpr const char kPartNumbersSection[] = "PartNumbers";

struct StampArgs {
  std::string part;
  std::string date_code;
  bool list = false;
};

int RunList(CliContext& ctx) {
  const auto entries = ctx.Settings().Entries(kPartNumbersSection);
  const PartNumberChoice choice = ChoosePartNumbers(entries);
  for (const std::string& warning : choice.warnings) ctx.err << "kelvt-cli: " << warning << '\n';
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("settings_file", ctx.Settings().path());
    json.Key("part_numbers").BeginArray();
    for (const auto& [name, value] : entries) {
      if (!IsValidPartNumber(value)) continue;
      json.BeginObject().Field("entry", name).Field("part_number", value).EndObject();
    }
    json.EndArray().EndObject().EndLine();
    return kExitOk;
  }
  if (choice.part_numbers.empty()) {
    ctx.out << "No part numbers in section [" << kPartNumbersSection << "] of "
            << Printable(ctx.Settings().path()) << '\n';
    return kExitOk;
  }
  for (const auto& [name, value] : entries) {
    if (IsValidPartNumber(value)) ctx.out << Printable(value) << "  " << Printable(name) << '\n';
  }
  return kExitOk;
}

int RunStamp(CliContext& ctx, const StampArgs& args) {
  if (args.list) return RunList(ctx);
  if (args.part.empty()) {
    ctx.Error("stamp: --part is required", "Run 'kelvt-cli stamp --help' for the options.");
    return kExitUsage;
  }
  const std::string part =
      ResolvePartNumber(args.part, ctx.Settings().Entries(kPartNumbersSection));
  if (part.empty()) {
    ctx.Error("--part: '" + Printable(args.part) + "' is not a part number",
              "Give exactly six characters, or the name of an entry of the settings file's "
              "[PartNumbers] section ('kelvt-cli stamp --list').");
    return kExitUsage;
  }
  char date_code[kDateCodeSize] = {};
  if (args.date_code.empty()) {
    TodayDateCode(date_code);
  } else if (IsValidDateCode(args.date_code)) {
    std::snprintf(date_code, sizeof date_code, "%s", args.date_code.c_str());
  } else {
    ctx.Error("--date-code: '" + Printable(args.date_code) + "' is not a date code",
              "Give four digits YYWW: the year within its century and the week 01 to 53.");
    return kExitUsage;
  }

  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  CliRestore restore(ctx, *link, "stamp");
  PsfImage image;
  const StampStatus stamped = StampPartNumber(*link, restore.Guard(), part.c_str(), date_code, image);
  switch (stamped) {
    case StampStatus::Stamped:
      break;
    case StampStatus::InputPsfFailed:
    case StampStatus::OutputPsfNoAnswer:
      ctx.Error(StampMessage(stamped), ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case StampStatus::NotJournaled:
      ctx.Error(StampMessage(stamped), JournalAdvice());
      return kExitFileWrite;
    case StampStatus::OutputPsfFailed: {
      ctx.Error(StampMessage(stamped),
                ctx.ControllerAdvice(
                "The controller did not acknowledge the stamped set; run 'kelvt-cli diag' to see "
                "what it holds, and try again."));
      const int restored = restore.Finish();
      return restored != kExitOk ? restored : kExitRefused;
    }
    case StampStatus::BadPartNumber:
    case StampStatus::BadDateCode:
      ctx.Error("Part number or date code of the wrong length");
      return kExitUsage;
  }
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject()
        .Field("part_number", part)
        .Field("date_code", date_code)
        .Field("stamped", true)
        .EndObject()
        .EndLine();
  } else {
    ctx.out << "Part Number and Date Code Set.\n"
            << "Part Number:  " << Printable(part) << '\n'
            << "Date Code:    " << date_code << '\n';
  }
  return kExitOk;
}

}  // namespace

void AddStampCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto args = std::make_shared<StampArgs>();
  CLI::App* sub = app.add_subcommand(
      "stamp", "Set the controller's part number and date code (default: today's)");
  CLI::Option* part = sub->add_option(
      "--part", args->part,
      "Part number: six characters, or the name of a [PartNumbers] entry in the settings file");
  sub->add_option("--date-code", args->date_code, "Date code YYWW (default: today's)");
  CLI::Option* list = sub->add_flag("--list", args->list,
                                    "List the part numbers of the settings file and exit");
  part->excludes(list);
  commands.push_back({sub, [&ctx, args] { return RunStamp(ctx, *args); }});
}

}  // namespace kelvt::cli
