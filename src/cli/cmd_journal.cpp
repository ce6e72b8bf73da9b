// journal: the sets the tool ever read from a controller before changing it;
// recover: send back those an interrupted command left on the controller.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/psf_restore.h"
#include "cli/unfinished_note.h"
#include "ops/recover.h"
#include "ops/set_journal.h"
#include "ops/status_messages.h"
#include "serial/device_identity.h"

namespace kelvt::cli {
namespace {

SetJournal& JournalOf() {
  static SetJournal fallback{std::string()};
  SetJournal* journal = InstalledJournal();
  return journal != nullptr ? *journal : fallback;
}

const char* StateText(const JournalEntry& e) {
  if (e.state == EntryState::kPutBack) return "put back";
  if (e.finished) return "finished";
  return e.exact ? "UNFINISHED" : "INEXACT";
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
          .Field("id", e.id)
          .Field("state", e.state == EntryState::kPutBack ? "put-back"
                          : e.finished                    ? "finished"
                                                          : "open")
          .Field("exact", e.exact)
          .Field("user", e.user)
          .Field("host", e.host)
          .Field("by_id", e.device.by_id)
          .Field("serial_number", e.device.serial_number)
          .Field("new_part_number", e.new_part_number)
          .Field("new_date_code", e.new_date_code)
          .Field("set_file", e.set_path)
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
    std::string device = e.tag.port.empty() ? e.tag.device : e.tag.port + " " + e.tag.device;
    if (!e.device.serial_number.empty()) device += " [" + e.device.serial_number + "]";
    ctx.out << e.time << "  " << PadRight(StateText(e), 10) << "  "
            << PadRight(e.tag.operation, 10) << "  " << Printable(device) << "  "
            << Printable(std::string(1, e.letter != 0 ? e.letter : '?')) << "  "
            << Printable(e.part_number) << "  " << Printable(e.date_code);
    if (!e.new_part_number.empty()) {
      ctx.out << " -> " << Printable(e.new_part_number) << "  " << Printable(e.new_date_code);
    }
    ctx.out << "\n    " << Printable(e.legacy ? e.path : e.set_path) << '\n';
    if (!e.exact && !e.finished) {
      ctx.out << "    (written by an earlier version; its .PSF text cannot give every byte "
                 "back, so recover does not send it: open it in the editor and check it)\n";
    }
  }
  return kExitOk;
}

int RunRecover(CliContext& ctx, bool force) {
  PortTarget target;
  if (!ctx.ResolveTarget(target)) return kExitUsage;
  const DeviceIdentity device = IdentifyDevice(target.device_path);
  const std::vector<JournalEntry> entries = JournalOf().Unfinished(device);
  if (entries.empty()) {
    ctx.out << "Nothing to put back on " << Printable(target.Describe()) << '\n';
    return kExitOk;
  }
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  const RecoverOutcome outcome =
      RecoverUnfinished(*link, JournalOf(), entries, force, TagFor(ctx, "recover"));
  for (const std::string& skipped : outcome.skipped) {
    ctx.err << "kelvt-cli: not sent, the journal's entry of " << Printable(skipped) << '\n';
  }
  switch (outcome.status) {
    case RecoverStatus::kDone:
      break;
    case RecoverStatus::kNothingLoadable:
      ctx.Error("No set of the journal for " + Printable(target.Describe()) + " can be sent back",
                "Every entry is damaged or inexact; nothing was sent.");
      return kExitFileRejected;
    case RecoverStatus::kMismatch:
      ctx.Error("The controller on " + Printable(target.Describe()) + " is another one: " +
                    DescribeController(outcome.controller) + "; the journal's set is from " +
                    DescribeController(outcome.expected) + ".",
                "Nothing was changed. Connect the controller the set belongs to, or give "
                "--force to send it to this one all the same (its own set is journaled first).");
      return kExitRefused;
    case RecoverStatus::kNotRead:
      ctx.Error("The controller's present set could not be read cleanly",
                "Nothing was changed. " + ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case RecoverStatus::kNotJournaled:
      ctx.Error("The controller's present set could not be saved in the journal",
                JournalAdvice() + "\nNothing was changed.");
      return kExitFileWrite;
    case RecoverStatus::kNoAnswer:
      ctx.Error(kRestoreFailedMessage,
                ctx.NoAnswerAdvice() +
                    "\nThe sets stay in the journal; run 'kelvt-cli recover' again.");
      return kExitNoAnswer;
  }
  ctx.out << "The controller's own PSF is back on " << Printable(target.Describe()) << " ("
          << outcome.sent << (outcome.sent == 1 ? " set" : " sets") << " sent, the last from "
          << outcome.last_time << ")\n";
  return outcome.unsent_older == 0 ? kExitOk : kExitFileRejected;
}

}  // namespace

void NoteUnfinished(CliContext& ctx, const std::string& device) {
  const std::vector<JournalEntry> entries = JournalOf().Unfinished(IdentifyDevice(device));
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
  auto force = std::make_shared<bool>(false);
  recover->add_flag("--force", *force,
                    "Send them even when another controller answers (its own set is journaled "
                    "first)");
  commands.push_back({recover, [&ctx, force] { return RunRecover(ctx, *force); }});
}

}  // namespace kelvt::cli
