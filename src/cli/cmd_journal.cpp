// journal: the sets the tool ever read from a controller before changing it;
// recover: send back those an interrupted command left on the controller.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/unfinished_note.h"
#include "ops/recover.h"
#include "ops/set_journal.h"
#include "ops/status_messages.h"

namespace kelvt::cli {
namespace {

SetJournal& JournalOf() {
  static SetJournal fallback{std::string()};
  SetJournal* journal = InstalledJournal();
  return journal != nullptr ? *journal : fallback;
}

int RunJournal(CliContext& ctx) {
  const std::vector<JournalEntry> entries = JournalOf().Entries();
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("folder", JournalOf().Folder()).Key("entries").BeginArray();
    for (const JournalEntry& e : entries) {
      json.BeginObject()
          .Field("time", e.time)
          .Field("port", e.tag.port)
          .Field("device", e.tag.device)
          .Field("controller", std::string(1, e.letter))
          .Field("part_number", e.part_number)
          .Field("date_code", e.date_code)
          .Field("operation", e.tag.operation)
          .Field("finished", e.finished)
          .Field("file", e.path)
          .EndObject();
    }
    json.EndArray().EndObject().EndLine();
    return kExitOk;
  }
  if (entries.empty()) {
    ctx.out << "No sets in the journal (" << Printable(JournalOf().Folder()) << ")\n";
    return kExitOk;
  }
  for (const JournalEntry& e : entries) {
    ctx.out << e.time << "  " << PadRight(e.finished ? "finished" : "UNFINISHED", 10) << "  "
            << PadRight(e.tag.operation, 10) << "  "
            << Printable(e.tag.port.empty() ? e.tag.device : e.tag.port + " " + e.tag.device)
            << "  " << e.letter << "  " << Printable(e.part_number) << "  "
            << Printable(e.date_code) << "\n    " << Printable(e.path) << '\n';
  }
  return kExitOk;
}

int RunRecover(CliContext& ctx) {
  PortTarget target;
  if (!ctx.ResolveTarget(target)) return kExitUsage;
  const std::vector<JournalEntry> entries = JournalOf().Unfinished(target.device_path);
  if (entries.empty()) {
    ctx.out << "Nothing to put back on " << Printable(target.Describe()) << '\n';
    return kExitOk;
  }
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  if (!RecoverUnfinished(*link, JournalOf(), entries)) {
    ctx.Error(kRestoreFailedMessage,
              ctx.NoAnswerAdvice() + "\nThe sets stay in the journal; run 'kelvt-cli recover' again.");
    return kExitNoAnswer;
  }
  ctx.out << "The controller's own PSF is back on " << Printable(target.Describe()) << " ("
          << entries.size() << (entries.size() == 1 ? " set" : " sets") << " sent, the last from "
          << entries.back().time << ")\n";
  return kExitOk;
}

}  // namespace

void NoteUnfinished(CliContext& ctx, const std::string& device) {
  const std::vector<JournalEntry> entries = JournalOf().Unfinished(device);
  if (entries.empty()) return;
  const JournalEntry& oldest = entries.back();
  ctx.err << "kelvt-cli: note: the controller on " << Printable(device)
          << " may still run the set of an interrupted " << oldest.tag.operation << " ("
          << oldest.time << "); 'kelvt-cli recover' puts its own set back\n";
}

void AddJournalCommands(CLI::App& app, CliContext& ctx, Commands& commands) {
  CLI::App* journal = app.add_subcommand(
      "journal", "List the controllers' own sets saved before each change, newest first");
  commands.push_back({journal, [&ctx] { return RunJournal(ctx); }});
  CLI::App* recover = app.add_subcommand(
      "recover", "Send back the own sets that an interrupted command left unfinished");
  commands.push_back({recover, [&ctx] { return RunRecover(ctx); }});
}

}  // namespace kelvt::cli
