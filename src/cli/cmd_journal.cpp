// journal: the sets the tool ever read from a controller before changing it;
// recover: send back those an interrupted command left on the controller.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/psf_restore.h"
#include "cli/unfinished_note.h"
#include "ops/journal_filter.h"
#include "ops/journal_view.h"
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

struct JournalArgs {
  std::string since;
  bool no_backup = false;  // recover
};

// The entries the listing asks for: --port or --device (that device under
// any name), --since. False after reporting a bad value.
bool ListedEntries(CliContext& ctx, const JournalArgs& args, std::vector<JournalEntry>& entries) {
  EntryFilter filter;
  if (!args.since.empty() && !ParseSince(args.since, std::time(nullptr), filter.since)) {
    ctx.Error("--since: '" + Printable(args.since) + "' is not a time",
              "Give a date (2026-12-01), a date and time (2026-12-01 14:30) or an age (30m, "
              "12h, 7d).");
    return false;
  }
  if (!ctx.options.port.empty() || !ctx.options.device.empty()) {
    PortTarget target;
    if (!ctx.ResolveTarget(target)) return false;
    filter.device = IdentifyDevice(target.device_path);
  }
  entries = FilterEntries(JournalOf().Entries(), filter);
  return true;
}

void WriteChangesJson(JsonWriter& json, const EntryChanges& changes) {
  WriteDifferencesJson(json, "changes", changes.fields, "before", "after");
}

int RunJournal(CliContext& ctx, const JournalArgs& args) {
  const std::string problem = JournalOf().IndexProblem();
  if (!problem.empty()) {
    ctx.Error("The journal cannot be read", problem);
    return kExitFileRejected;
  }
  std::vector<JournalEntry> entries;
  if (!ListedEntries(ctx, args, entries)) return kExitUsage;
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
          .Field("kind", e.kind == EntryKind::kNullSpan ? "null/span" : "set");
      WriteChangesJson(json, ChangesOf(JournalOf(), e));
      json.EndObject();
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
    // A stamp's new part number and date code (other sets keep the old ones).
    if (!e.new_part_number.empty() &&
        (e.new_part_number != e.part_number || e.new_date_code != e.date_code)) {
      ctx.out << " -> " << Printable(e.new_part_number) << "  " << Printable(e.new_date_code);
    }
    ctx.out << "\n    " << Printable(e.id);
    if (!EntryWho(e).empty()) ctx.out << "  by " << Printable(EntryWho(e));
    ctx.out << "  " << Printable(e.legacy ? e.path : e.set_path) << '\n';
    // What the change did, field by field.
    const EntryChanges changes = ChangesOf(JournalOf(), e);
    for (const PsfDifference& d : changes.fields) {
      ctx.out << "    " << Printable(d.label) << ": " << Printable(d.a) << " -> "
              << Printable(d.b) << '\n';
    }
    if (changes.known && changes.fields.empty()) ctx.out << "    (no field changed)\n";
    if (!e.exact && !e.finished) {
      ctx.out << "    (written by an earlier version; its .PSF text cannot give every byte "
                 "back, so recover does not send it: open it in the editor and check it)\n";
    }
  }
  return kExitOk;
}

int RunRecover(CliContext& ctx, bool force, bool no_backup) {
  PortTarget target;
  if (!ctx.ResolveTarget(target)) return kExitUsage;
  const std::string problem = JournalOf().IndexProblem();
  if (!problem.empty()) {
    ctx.Error("The journal cannot be read", problem);
    return kExitFileRejected;
  }
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
      RecoverUnfinished(*link, JournalOf(), entries, force, TagFor(ctx, "recover"),
                        [no_backup] { return no_backup; });
  for (const std::string& waiting : outcome.waiting) {
    ctx.err << "kelvt-cli: note: the journal's entry of " << Printable(waiting)
            << " waits for its own controller\n";
  }
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
                "Nothing was changed. " + ctx.NoAnswerAdvice() +
                    "\n--no-backup puts the sets back without a copy of it.");
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
  auto args = std::make_shared<JournalArgs>();
  CLI::App* journal = app.add_subcommand(
      "journal",
      "Every change made to a controller, newest first: the set it held before, the fields "
      "changed; --port/--device keep one device's entries");
  journal->add_option("--since", args->since,
                      "Only entries made since: a date, a date and time, or an age (30m, 12h, 7d)")
      ->type_name("WHEN");
  // journal show and put-back first: the listing runs only without them.
  AddJournalEntryCommands(*journal, ctx, commands);
  commands.push_back({journal, [&ctx, args] { return RunJournal(ctx, *args); }});
  CLI::App* recover = app.add_subcommand(
      "recover", "Send back the own sets that an interrupted command left unfinished");
  auto force = std::make_shared<bool>(false);
  recover->add_flag("--force", *force,
                    "Send them even when another controller answers (its own set is journaled "
                    "first)");
  recover->add_flag("--no-backup", args->no_backup,
                    "Send them even when the controller's present set cannot be read");
  commands.push_back(
      {recover, [&ctx, force, args] { return RunRecover(ctx, *force, args->no_backup); }});
}

}  // namespace kelvt::cli
