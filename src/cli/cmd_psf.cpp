// psf get / send / show / set / diff: the controller's parameter set and .PSF files.

#include <cerrno>
#include <cstring>

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "ops/confirmed_read.h"
#include "ops/journaled_send.h"
#include "ops/status_messages.h"
#include "cli/psf_restore.h"
#include "cli/set_output.h"
#include "ops/set_changes.h"
#include "cli/json_writer.h"
#include "ops/psf_fields.h"
#include "ops/psf_report.h"
#include "ops/scan_csv.h"
#include "psf/config_rules.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt::cli {
namespace {

// The word that names the controller instead of a file.
constexpr const char kControllerSource[] = "controller";

constexpr const char kNotCompatible[] = "This File is Not Compatible";

struct PsfArgs {
  std::string file;
  std::string a;
  std::string b;
  bool html = false;
  bool no_backup = false;
  std::vector<std::string> changes;  // psf set: KEY=VALUE
};

// Where sets come from: files, or the controller (one link, opened on first use).
class SetSource {
 public:
  explicit SetSource(CliContext& ctx) : ctx_(ctx) {}

  // Fills `record`; on failure reports and returns the exit status.
  int Load(const std::string& source, PsfRecord& record) {
    if (source == kControllerSource) return LoadFromController(record);
    PsfRecord scratch;
    if (!ReadPsfFile(scratch, source.c_str())) {
      ctx_.Error(kNotCompatible, PsfFileAdvice(source));
      return kExitFileRejected;
    }
    record = scratch;
    return kExitOk;
  }

 private:
  int LoadFromController(PsfRecord& record) {
    if (!link_) {
      int status = kExitOk;
      link_ = ctx_.OpenLink(status);
      if (!link_) return status;
    }
    PsfImage image;
    // Only a set read cleanly and confirmed is shown or saved.
    if (!ReadConfirmedPsf(*link_, image)) {
      ctx_.Error("Unable to input psf.", ctx_.NoAnswerAdvice());
      return kExitNoAnswer;
    }
    record.Decode(image.Data());
    image_ = image;
    char time[kIsoTimeSize];
    FormatIsoTime(NowWallTime(), time, sizeof time);
    read_at_ = time;
    return kExitOk;
  }

 public:
  // Part number and date code of the last set read from the controller.
  const PsfImage& LastImage() const { return image_; }
  const std::string& ReadAt() const { return read_at_; }

 private:
  PsfImage image_;
  std::string read_at_;
  CliContext& ctx_;
  std::unique_ptr<ControllerLink> link_;
};

void WriteFieldsJson(JsonWriter& json, const PsfRecord& record) {
  json.Key("fields").BeginObject();
  // Counts, thresholds and the baud rate as numbers; named choices as text.
  for (const PsfField& field : DescribePsf(record)) {
    json.Key(field.key);
    if (IsSmallNumber(field.value)) json.Number(std::stoll(field.value)); else json.String(field.value);
  }
  json.EndObject();
}

void WriteFieldsText(std::ostream& out, const PsfRecord& record) {
  for (const PsfField& field : DescribePsf(record)) {
    out << PadRight(field.label, 42) << "  " << Printable(field.value) << '\n';
  }
}

}  // namespace

int PrintSet(CliContext& ctx, const std::string& source, const PsfRecord& record) {
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("source", source);
    WriteFieldsJson(json, record);
    json.EndObject().EndLine();
  } else {
    WriteFieldsText(ctx.out, record);
  }
  return kExitOk;
}

void PrintSetReport(CliContext& ctx, const PsfRecord& record, const PsfReportSource& about) {
  ctx.out << PsfReportHtml(DescribePsf(record), about);
}

namespace {

int ShowSet(CliContext& ctx, const std::string& source, const PsfRecord& record,
            const std::string& written_to) {
  if (written_to.empty()) return PrintSet(ctx, source, record);
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("source", source);
    if (!written_to.empty()) json.Field("file", written_to);
    WriteFieldsJson(json, record);
    json.EndObject().EndLine();
  } else {
    ctx.out << "PSF written to " << Printable(written_to) << '\n';
  }
  return kExitOk;
}

int RunGet(CliContext& ctx, const PsfArgs& args) {
  SetSource sets(ctx);
  PsfRecord record;
  if (const int status = sets.Load(kControllerSource, record); status != kExitOk) return status;
  if (!args.file.empty() && !WritePsfFile(record, args.file.c_str())) {
    ctx.Error(kPsfWriteFailedMessage, args.file + ": " + std::strerror(errno));
    return kExitFileWrite;
  }
  return ShowSet(ctx, kControllerSource, record, args.file);
}

int WriteReport(CliContext& ctx, const std::string& source, const SetSource& sets,
                const PsfRecord& record) {
  PsfReportSource about;
  char time[kIsoTimeSize];
  FormatIsoTime(NowWallTime(), time, sizeof time);
  about.made = time;
  if (source == kControllerSource) {
    about.part_number = ImageText(sets.LastImage(), 66, 6);
    about.date_code = ImageText(sets.LastImage(), 72, 4);
    about.origin = "Controller on " + (ctx.options.port.empty() ? "COM" + std::to_string(ctx.SelectedPort()) : ctx.options.port) +
                   ", read " + sets.ReadAt();
  } else {
    about.origin = "File " + source;
  }
  PrintSetReport(ctx, record, about);
  return kExitOk;
}

int RunShow(CliContext& ctx, const PsfArgs& args) {
  SetSource sets(ctx);
  PsfRecord record;
  if (const int status = sets.Load(args.file, record); status != kExitOk) return status;
  if (args.html) return WriteReport(ctx, args.file, sets, record);
  return ShowSet(ctx, args.file, record, {});
}

// The .PSF file `path` into `record`; false, having said why, when it is not one.
bool ReadPsfArg(CliContext& ctx, const std::string& path, PsfRecord& record) {
  if (ReadPsfFile(record, path.c_str())) return true;
  ctx.Error(kNotCompatible, PsfFileAdvice(path));
  return false;
}

int RunSend(CliContext& ctx, const PsfArgs& args) {
  PsfRecord record;
  if (!ReadPsfArg(ctx, args.file, record)) return kExitFileRejected;
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;

  char bytes[kPsfSize + 1];
  record.Encode(bytes);
  PsfImage image;
  image.FromBytes(bytes, 0);
  const SendResult sent = SendWithCopy(*link, InstalledJournal(), TagFor(ctx, "send"), image,
                                       [&args] { return args.no_backup; });
  switch (sent.status) {
    case SendStatus::kNoAnswer:
      if (link->PsfFrameSent()) break;
      ctx.Error("Unable to output psf.", ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case SendStatus::kNotRead:
      ctx.Error(kOwnSetUnreadMessage, NoBackupAdvice());
      return kExitNoAnswer;
    case SendStatus::kNotJournaled:
      ctx.Error(kNotJournaledMessage, JournalAdvice());
      return kExitFileWrite;
    case SendStatus::kAccepted:
    case SendStatus::kNotAccepted:
      break;
  }
  if (!sent.copied) {
    ctx.err << "kelvt-cli: warning: the controller's own PSF could not be read; it was "
               "replaced without a copy (--no-backup)\n";
  }
  const bool accepted = sent.status == SendStatus::kAccepted;
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("file", args.file).Field("accepted", accepted).Key("entry");
    if (sent.entry_id.empty()) json.Null(); else json.String(sent.entry_id);
    json.EndObject().EndLine();
  } else if (accepted) {
    ctx.out << "PSF Accepted\n";
  }
  if (!accepted && !link->PsfFrameSent()) {
    // The controller went away before the set went out: nothing was refused.
    ctx.Error("PSF Not Accepted", ctx.NoAnswerAdvice());
    return kExitNoAnswer;
  }
  if (!accepted) {
    ctx.Error("PSF Not Accepted",
              ctx.ControllerAdvice("The controller answered but did not acknowledge the set. "
                                   "Check the set with 'kelvt-cli psf show " + args.file +
                                   "' and try again."));
    return kExitRefused;
  }
  return kExitOk;
}

int RunDiff(CliContext& ctx, const PsfArgs& args) {
  SetSource sets(ctx);
  PsfRecord a;
  PsfRecord b;
  if (const int status = sets.Load(args.a, a); status != kExitOk) return status;
  if (const int status = sets.Load(args.b, b); status != kExitOk) return status;
  const std::vector<PsfDifference> differences = DiffPsf(a, b);

  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject()
        .Field("a", args.a)
        .Field("b", args.b)
        .Field("identical", differences.empty());
    WriteDifferencesJson(json, "differences", differences, "a", "b");
    json.EndObject().EndLine();
  } else if (differences.empty()) {
    ctx.out << "The sets are identical.\n";
  } else {
    ctx.out << PadRight("Field", 42) << "  " << PadRight(Printable(args.a), 20) << "  "
            << Printable(args.b) << '\n';
    for (const PsfDifference& d : differences) {
      ctx.out << PadRight(d.label, 42) << "  " << PadRight(Printable(d.a), 20) << "  "
              << Printable(d.b) << '\n';
    }
  }
  return differences.empty() ? kExitOk : kExitDifferent;
}

// Every change through the editor's rules, in the order given; the file is
// replaced (through a synced temporary file) only when all of them passed.
int RunSet(CliContext& ctx, const PsfArgs& args) {
  PsfRecord before;
  if (!ReadPsfArg(ctx, args.file, before)) return kExitFileRejected;
  PsfRecord record = before;
  for (const std::string& change : args.changes) {
    const std::size_t equals = change.find('=');
    if (equals == std::string::npos || equals == 0) {
      ctx.Error("'" + change + "' is not KEY=VALUE", "Name fields as 'kelvt-cli psf show --json' does.");
      return kExitUsage;
    }
    const std::string key = change.substr(0, equals);
    const PsfSetResult result = SetPsfField(record, key, std::string_view(change).substr(equals + 1));
    if (result.status == PsfSetStatus::kUnknownKey) {
      std::string keys;
      for (const std::string& k : SettablePsfKeys()) keys += (keys.empty() ? "" : " ") + k;
      ctx.Error("No field is called '" + key + "'", "The fields: " + keys);
      return kExitUsage;
    }
    if (result.status == PsfSetStatus::kRefused) {
      ctx.Error(result.message, "Refused: " + change + ". " + args.file + " is unchanged.");
      return kExitFileRejected;
    }
    if (!result.message.empty()) ctx.err << "kelvt-cli: " << change << ": " << result.message << '\n';
  }
  // Edge sends no blanking; the editor saves it so too.
  ApplyEdgeBlanking(record);
  const std::vector<PsfDifference> differences = DiffPsf(before, record);
  if (!differences.empty() && !WritePsfFile(record, args.file.c_str())) {
    ctx.Error(kPsfWriteFailedMessage, args.file + ": " + std::strerror(errno) + "; the file is as it was.");
    return kExitFileWrite;
  }
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("file", args.file).Field("written", !differences.empty());
    WriteDifferencesJson(json, "changes", differences, "before", "after");
    json.EndObject().EndLine();
    return kExitOk;
  }
  for (const PsfDifference& d : differences) {
    ctx.out << PadRight(d.label, 42) << "  " << Printable(d.a) << " -> " << Printable(d.b) << '\n';
  }
  ctx.out << (differences.empty() ? "The set is unchanged: " + Printable(args.file) + " was not written.\n"
                                  : "PSF written to " + Printable(args.file) + "\n");
  return kExitOk;
}

}  // namespace

void AddPsfCommands(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto args = std::make_shared<PsfArgs>();
  CLI::App* psf =
      app.add_subcommand("psf", "The parameter set (PSF): read, send, show, change, compare");
  psf->require_subcommand(1);

  CLI::App* get = psf->add_subcommand(
      "get", "Read the controller's PSF; write it to FILE as a .PSF file, or show it");
  get->add_option("FILE", args->file, "The .PSF file to write (replaced if it exists)");
  commands.push_back({get, [&ctx, args] { return RunGet(ctx, *args); }});

  CLI::App* send =
      psf->add_subcommand("send", "Send the PSF of a .PSF file to the controller");
  send->add_option("FILE", args->file, "The .PSF file to send")->required();
  send->add_flag("--no-backup", args->no_backup,
                 "Send even when the controller's own PSF cannot be read (and so not journaled)");
  commands.push_back({send, [&ctx, args] { return RunSend(ctx, *args); }});

  CLI::App* show = psf->add_subcommand(
      "show", "Show every field of a .PSF file (or of the controller's PSF) with its meaning");
  show->add_option("SOURCE", args->file, "A .PSF file, or the word 'controller'")->required();
  show->add_flag("--html", args->html,
                 "Write a printable HTML report (fields, meanings, values, source, date) instead");
  commands.push_back({show, [&ctx, args] { return RunShow(ctx, *args); }});

  CLI::App* set = psf->add_subcommand(
      "set", "Change fields of a .PSF file through the editor's rules (exit 6 when one refuses)");
  set->add_option("FILE", args->file, "The .PSF file to change (replaced only when all pass)")
      ->required();
  set->add_option("CHANGES", args->changes, "KEY=VALUE, keys and values as 'psf show --json' names them")
      ->required();
  commands.push_back({set, [&ctx, args] { return RunSet(ctx, *args); }});

  CLI::App* diff = psf->add_subcommand(
      "diff", "List the fields in which two sets differ (exit status 1 when they do)");
  diff->add_option("A", args->a, "A .PSF file, or the word 'controller'")->required();
  diff->add_option("B", args->b, "A .PSF file, or the word 'controller'")->required();
  commands.push_back({diff, [&ctx, args] { return RunDiff(ctx, *args); }});
}

}  // namespace kelvt::cli
