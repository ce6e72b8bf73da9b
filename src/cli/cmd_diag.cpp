// diag: what the controller reports about itself.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/unfinished_note.h"
#include "cli/json_writer.h"
#include "link/diagnostic_record.h"

namespace kelvt::cli {
namespace {

constexpr const char kSensorNotResponding[] = "Sensor Not Responding";

struct DiagOptions {
  bool check = false;
};

bool BothBarsAnswer(const DiagnosticRecord& d) {
  return d.emitter_count > 0 && d.receiver_count > 0;
}

// The state as the diagnostics view shows it: a bar without boards means
// the sensor does not respond, whatever the decoded state says.
std::string ShownState(const DiagnosticRecord& d) {
  return BothBarsAnswer(d) ? d.SystemStateName() : kSensorNotResponding;
}

bool IsOperational(const DiagnosticRecord& d) {
  return BothBarsAnswer(d) && d.system_state == kOperational;
}

// Numbers for scripts; null where the controller sent a code it has no
// meaning for (the text output shows it as "??" or "Invalid Error Code").
int ChannelCount(char code) { return code == '8' ? 8 : code == 'G' ? 16 : -1; }

int ErrorCodeNumber(char code) {
  if (code >= '0' && code <= '9') return code - '0';
  if (code >= 'A' && code <= 'I') return 10 + (code - 'A');
  return -1;
}

void NumberOrNull(JsonWriter& json, int value) {
  if (value >= 0) json.Number(value); else json.Null();
}

void WriteBoardsJson(JsonWriter& json, const BoardEntry* boards, int count, const char* type) {
  for (int i = 0; i < count && i < kMaxBoards; ++i) {
    const BoardEntry& b = boards[i];
    json.BeginObject()
        .Field("type", type)
        .Field("board", i + 1)
        .Key("channels");
    NumberOrNull(json, ChannelCount(b.channel_code));
    json.Key("error_code");
    NumberOrNull(json, ErrorCodeNumber(b.error_code));
    json.Field("error", DiagnosticRecord::ErrorCodeName(b.error_code))
        .EndObject();
  }
}

void WriteBoardsText(std::ostream& out, const BoardEntry* boards, int count, const char* type) {
  for (int i = 0; i < count && i < kMaxBoards; ++i) {
    const BoardEntry& b = boards[i];
    out << PadLeft(std::to_string(i + 1), 5) << "  "
        << PadRight(DiagnosticRecord::ChannelCountText(b), 12) << "  " << PadRight(type, 4)
        << "  " << DiagnosticRecord::ErrorCodeName(b.error_code) << '\n';
  }
}

int RunDiag(CliContext& ctx, const DiagOptions& options) {
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  NoteUnfinished(ctx, ctx.Target().device_path);

  DiagnosticRecord d;
  if (!link->InputDiagnostics(d)) {
    ctx.Error("Error reading diagnostics", ctx.NoAnswerAdvice());
    return kExitNoAnswer;
  }
  const std::string state = ShownState(d);
  const int emitters = d.emitter_count < kMaxBoards ? d.emitter_count : kMaxBoards;
  const int receivers = d.receiver_count < kMaxBoards ? d.receiver_count : kMaxBoards;

  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject()
        .Field("system_state", state)
        .Field("operational", IsOperational(d))
        .Field("emitter_count", d.emitter_count)
        .Field("receiver_count", d.receiver_count)
        .Field("total_channels", d.total_channels);
    json.Key("boards").BeginArray();
    WriteBoardsJson(json, d.emitter_boards, emitters, "E");
    WriteBoardsJson(json, d.receiver_boards, receivers, "R");
    json.EndArray()
        .Field("part_number", d.part_number)
        .Field("date_code", d.date_code)
        .EndObject()
        .EndLine();
  } else {
    std::ostream& out = ctx.out;
    out << "System State:               " << state << '\n';
    out << "Number Of Emitter Boards:   "
        << (d.emitter_count > 0 ? std::to_string(d.emitter_count) : "No Response From Emitter")
        << '\n';
    out << "Number Of Receiver Boards:  "
        << (d.receiver_count > 0 ? std::to_string(d.receiver_count)
                                 : "No Response From Receiver")
        << '\n';
    if (emitters + receivers > 0) {
      out << "\nBoard  Num Channels  Type  State\n";
      WriteBoardsText(out, d.emitter_boards, emitters, "E");
      WriteBoardsText(out, d.receiver_boards, receivers, "R");
      out << '\n';
    }
    out << "Part Number:  " << Printable(d.part_number) << '\n';
    out << "Date Code:    " << Printable(d.date_code) << '\n';
  }

  if (options.check && !IsOperational(d)) {
    ctx.Error("The controller is not operational: " + state,
              "Check the boards listed above and the cabling of the emitter and receiver bars.");
    return kExitRefused;
  }
  return kExitOk;
}

}  // namespace

void AddDiagCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto options = std::make_shared<DiagOptions>();
  CLI::App* sub = app.add_subcommand(
      "diag", "Read the diagnostics: system state, boards and their errors, part number, date code");
  sub->add_flag("--check", options->check,
                "Exit with status 5 unless the controller reports itself operational");
  commands.push_back({sub, [&ctx, options] { return RunDiag(ctx, *options); }});
}

}  // namespace kelvt::cli
