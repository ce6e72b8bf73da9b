// journal show ID / journal put-back ID: one entry of the journal, its set
// shown as psf show shows a set, or sent back to its controller.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/device_report.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/psf_restore.h"
#include "cli/set_output.h"
#include "ops/journal_view.h"
#include "ops/put_back.h"
#include "ops/recover.h"
#include "ops/scan_csv.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

struct EntryArgs {
  std::string id;
  bool html = false;
  bool sent = false;
  bool force = false;
  bool no_backup = false;
};

SetJournal& EntryJournal() {
  static SetJournal fallback{std::string()};
  SetJournal* journal = InstalledJournal();
  return journal != nullptr ? *journal : fallback;
}

// The entry named on the command line; reports and returns false when none.
bool FindNamed(CliContext& ctx, const std::string& id, JournalEntry& entry) {
  switch (FindEntry(EntryJournal().Entries(), id, entry)) {
    case FindResult::kFound:
      return true;
    case FindResult::kAmbiguous:
      ctx.Error("journal: '" + Printable(id) + "' names more than one entry",
                "Give more of the id ('kelvt-cli journal' lists them).");
      return false;
    case FindResult::kNone:
      break;
  }
  ctx.Error("journal: no entry '" + Printable(id) + "'",
            "'kelvt-cli journal' lists the entries and their ids (" +
                EntryJournal().Folder() + ").");
  return false;
}

void WriteEntryValues(CliContext& ctx, const NullSpanValues& v) {
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject()
        .Key("values")
        .BeginObject()
        .Field("null1", v.null1)
        .Field("span1", v.span1)
        .Field("null2", v.null2)
        .Field("span2", v.span2)
        .EndObject()
        .EndObject()
        .EndLine();
    return;
  }
  ctx.out << "Analog Output#1  Null " << v.null1 << "  Span " << v.span1 << '\n';
  ctx.out << "Analog Output#2  Null " << v.null2 << "  Span " << v.span2 << '\n';
}

int RunEntryShow(CliContext& ctx, const EntryArgs& args) {
  JournalEntry entry;
  if (!FindNamed(ctx, args.id, entry)) return kExitUsage;
  if (args.sent && !entry.has_sent) {
    ctx.Error("journal show --sent: entry " + entry.id + " records no set sent");
    return kExitFileRejected;
  }
  if (entry.kind == EntryKind::kNullSpan) {
    if (args.html) {
      ctx.Error("journal show --html: entry " + entry.id + " holds null and span values, not a set",
                "Leave out --html to see them.");
      return kExitUsage;
    }
    NullSpanValues before;
    NullSpanValues sent;
    const LoadResult read = EntryJournal().LoadNullSpan(entry, before, sent);
    if (read != LoadResult::kOk) {
      ctx.Error("journal: entry " + entry.id + " cannot be read", LoadResultText(read));
      return kExitFileRejected;
    }
    WriteEntryValues(ctx, args.sent ? sent : before);
    return kExitOk;
  }
  PsfImage image;
  const LoadResult read = args.sent ? EntryJournal().LoadSent(entry, image)
                                    : EntryJournal().Load(entry, image);
  if (read != LoadResult::kOk) {
    ctx.Error("journal: entry " + entry.id + " cannot be read",
              std::string(LoadResultText(read)) + " (" + entry.set_path + ")");
    return kExitFileRejected;
  }
  PsfRecord record;
  record.Decode(image.Data());
  const std::string source = "journal " + entry.id + (args.sent ? " (sent)" : "");
  if (!args.html) return PrintSet(ctx, source, record);
  PsfReportSource about;
  char time[kIsoTimeSize];
  FormatIsoTime(NowWallTime(), time, sizeof time);
  about.made = time;
  about.origin = std::string(args.sent ? "Set sent by the " : "Set held before the ") +
                 entry.tag.operation + " on " + EntryPlaceText(entry) + ", " + entry.time +
                 " (journal entry " + entry.id + ")";
  about.part_number = args.sent && !entry.new_part_number.empty() ? entry.new_part_number
                                                                  : entry.part_number;
  about.date_code = args.sent && !entry.new_date_code.empty() ? entry.new_date_code
                                                              : entry.date_code;
  PrintSetReport(ctx, record, about);
  return kExitOk;
}

int RunEntryPutBack(CliContext& ctx, const EntryArgs& args) {
  JournalEntry entry;
  if (!FindNamed(ctx, args.id, entry)) return kExitUsage;
  // Without --port or --device: wherever the entry's device is now.
  if (ctx.options.port.empty() && ctx.options.device.empty()) {
    const std::string path = PresentPathOf(entry, CurrentDeviceSource().List());
    if (path.empty()) {
      ctx.Error("The device of entry " + entry.id + " is not connected: " +
                    Printable(entry.tag.device),
                "Connect it, or name the port with --port or --device.");
      return kExitPortOpen;
    }
    ctx.options.device = path;
  }
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  const std::string place = ctx.Target().Describe();
  const PutBackOutcome outcome =
      PutBackEntry(*link, EntryJournal(), entry, args.force,
                   [&args] { return args.no_backup; }, TagFor(ctx, "put back"));
  const std::string message = PutBackMessage(outcome, entry, place);
  switch (outcome.status) {
    case PutBackStatus::kPutBack:
      break;
    case PutBackStatus::kUnloadable:
      ctx.Error(message);
      return kExitFileRejected;
    case PutBackStatus::kNoAnswer:
      ctx.Error(message, ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case PutBackStatus::kMismatch:
      ctx.Error(message, "Nothing was changed. Connect the controller the set belongs to, or "
                         "give --force to put it "
                         "back on this one all the same (what it holds is journaled first).");
      return kExitRefused;
    case PutBackStatus::kNotRead:
      ctx.Error(kOwnSetUnreadMessage, NoBackupAdvice());
      return kExitNoAnswer;
    case PutBackStatus::kNotJournaled:
      ctx.Error(kNotJournaledMessage, JournalAdvice());
      return kExitFileWrite;
  }
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("id", entry.id).Field("device", place).Field("put_back", true).Key("replaced");
    if (outcome.replaced_id.empty()) json.Null(); else json.String(outcome.replaced_id);
    json.EndObject().EndLine();
  } else {
    ctx.out << Printable(message) << '\n';
  }
  return kExitOk;
}

}  // namespace

void AddJournalEntryCommands(CLI::App& journal, CliContext& ctx, Commands& commands) {
  auto args = std::make_shared<EntryArgs>();
  CLI::App* show = journal.add_subcommand(
      "show", "Show the set an entry holds (the set before the change) as psf show does");
  show->add_option("ID", args->id, "The entry's id, or its beginning")->required();
  show->add_flag("--html", args->html, "Write the printable HTML report instead");
  show->add_flag("--sent", args->sent, "The set (or values) the change sent instead");
  commands.push_back({show, [&ctx, args] { return RunEntryShow(ctx, *args); }});

  CLI::App* put_back = journal.add_subcommand(
      "put-back", "Send an entry's set back to its controller (its present set journaled first)");
  put_back->add_option("ID", args->id, "The entry's id, or its beginning")->required();
  put_back->add_flag("--force", args->force,
                     "Send it even when another controller answers");
  put_back->add_flag("--no-backup", args->no_backup,
                     "Send it even when the controller's present set cannot be read");
  commands.push_back({put_back, [&ctx, args] { return RunEntryPutBack(ctx, *args); }});
}

}  // namespace kelvt::cli
