// measure: the trial run of a .PSF file. The controller runs the file's set
// in Host Mode with binary values while we scan; its own set goes back
// afterwards, also when the command is interrupted.

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/csv_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/psf_restore.h"
#include "cli/scan_loop.h"
#include "link/measurement_statistics.h"
#include "ops/scan_csv.h"
#include "ops/status_messages.h"
#include "ops/trial_run_steps.h"
#include "link/scan_record.h"
#include "psf/config_rules.h"
#include "psf/psf_file.h"
#include "psf/trial_run.h"

namespace kelvt::cli {
namespace {

struct MeasureArgs {
  std::string file;
  ScanLoopOptions loop;
  bool csv = false;
};

struct Row {
  const char* label;
  bool enabled;
  const MeasurementStatistics* stats;
};

void PrintJson(std::ostream& out, int scan_number, const Row (&rows)[2]) {
  JsonWriter json(out);
  json.BeginObject().Field("scan", scan_number);
  json.Key("measurements").BeginArray();
  for (int i = 0; i < 2; ++i) {
    json.BeginObject()
        .Field("measurement", i + 1)
        .Field("label", rows[i].label)
        .Field("enabled", rows[i].enabled);
    if (rows[i].enabled) {
      json.Field("low", static_cast<int64_t>(rows[i].stats->low))
          .Field("high", static_cast<int64_t>(rows[i].stats->high))
          .Field("present", static_cast<int64_t>(rows[i].stats->present));
    }
    json.EndObject();
  }
  json.EndArray().EndObject().EndLine();
}

void PrintText(std::ostream& out, int scan_number, const Row (&rows)[2]) {
  out << "Scan " << scan_number << '\n';
  out << "Measurement       Low      High   Present\n";
  for (const Row& row : rows) {
    if (!row.enabled) {
      out << Printable(row.label) << '\n';  // a measurement the set does not report
      continue;
    }
    out << PadRight(Printable(row.label), 11) << PadLeft(std::to_string(row.stats->low), 10)
        << PadLeft(std::to_string(row.stats->high), 10)
        << PadLeft(std::to_string(row.stats->present), 10) << '\n';
  }
  out << '\n';
  out.flush();
}

int RunMeasure(CliContext& ctx, const MeasureArgs& args) {
  if (!CsvOptionAllowed(ctx, args.csv)) return kExitUsage;
  PsfRecord record;
  if (!ReadPsfFile(record, args.file.c_str())) {
    ctx.Error("This File is Not Compatible", PsfFileAdvice(args.file));
    return kExitFileRejected;
  }
  const RuleResult modes = CheckExecuteModes(record);
  if (!modes.allowed) {
    ctx.Error(modes.message != nullptr ? modes.message : kMsgNoneOrAll, "Change the analysis modes of " + args.file +
                           " (a measurement other than 'None' and 'ALL') and try again.");
    return kExitFileRejected;
  }

  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  if (Interrupted()) return kExitInterrupted;

  CliRestore restore(ctx, *link, "trial run");
  const TrialRunStatus started = StartTrialRun(*link, record, restore.Guard());
  int code = kExitOk;
  switch (started) {
    case TrialRunStatus::kStarted:
      break;
    case TrialRunStatus::kSavedPsfNotRead:
    case TrialRunStatus::kTrialPsfNoAnswer:
    case TrialRunStatus::kOwnPsfNotBack:  // a fresh guard owes nothing
      ctx.Error(TrialRunMessage(started), ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case TrialRunStatus::kNotJournaled:
      ctx.Error(TrialRunMessage(started), JournalAdvice());
      return kExitFileWrite;
    case TrialRunStatus::kTrialPsfNotAccepted:
      ctx.Error(TrialRunMessage(started), "The controller did not accept the set of " + args.file +
                                              "; its own set is unchanged.");
      return kExitRefused;
    case TrialRunStatus::kTrialPsfUnconfirmed:
      // The controller may run the trial set without having acknowledged it.
      ctx.Error(TrialRunMessage(started),
                "The set of " + args.file +
                    " went out without an acknowledgement and the controller's own set could "
                    "not be confirmed; it is being put back.");
      code = restore.Finish();
      return code != kExitOk ? code : kExitRefused;
  }

  const int mode = TrialMeasurementMode(record.meas1_mode, record.meas2_mode);
  const MeasurementLabel label1 = TrialMeasurementLabel(record.meas1_mode);
  const MeasurementLabel label2 = TrialMeasurementLabel(record.meas2_mode);
  MeasurementStatistics stats1;
  MeasurementStatistics stats2;
  const Row rows[2] = {{label1.text, ReportsMeasurement1(mode), &stats1},
                       {label2.text, ReportsMeasurement2(mode), &stats2}};
  if (args.loop.watch && !ctx.options.json && !args.csv) {
    ctx.err << "kelvt-cli: measuring; Ctrl-C stops and puts the controller's own PSF back\n";
  }

  MeasurementScan current(mode);
  MeasurementScan previous(mode);
  char row[kMeasurementCsvRowSize];
  int done = 0;
  LoopEnd end = LoopEnd::kDone;
  if (args.csv && !WriteCsvRow(ctx.out, row, MeasurementCsvHeader(mode, row, sizeof row))) {
    end = LoopEnd::kOutputLost;
  }
  while (end == LoopEnd::kDone && ContinueLoop(args.loop, done, end)) {
    if (!link->Scan(current)) {
      end = ReportScanFailure(ctx, *link, "Could not input scan");
      break;
    }
    ++done;
    if (ReportsMeasurement1(mode)) stats1.Update(current.value1);
    if (ReportsMeasurement2(mode)) stats2.Update(current.value2);
    if (args.csv) {
      // A record: every scan is a row, watching or not.
      const int length = MeasurementCsvRow(NowWallTime(), done, mode, stats1, stats2, row, sizeof row);
      if (!WriteCsvRow(ctx.out, row, length)) {
        end = LoopEnd::kOutputLost;
        break;
      }
      continue;
    }
    // Watching shows only values that changed; counted scans all show.
    if (!args.loop.watch || done == 1 || current.Differs(previous)) {
      if (ctx.options.json) {
        PrintJson(ctx.out, done, rows);
      } else {
        PrintText(ctx.out, done, rows);
      }
      if (!ctx.out) {
        end = LoopEnd::kOutputLost;
        break;
      }
    }
    previous.CopyValues(current);
  }
  const int restored = restore.Finish();
  if (restored != kExitOk) return restored;
  return LoopExitStatus(end);
}

}  // namespace

void AddMeasureCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto args = std::make_shared<MeasureArgs>();
  CLI::App* sub = app.add_subcommand(
      "measure", "Trial run of a .PSF file: lowest, highest and present value of each measurement");
  sub->add_option("FILE", args->file, "The .PSF file to try")->required();
  AddScanLoopOptions(*sub, args->loop);
  sub->add_flag("--csv", args->csv,
                "CSV rows as the desktop Record writes them: a header, then a row for every "
                "scan (also with --watch); excludes --json");
  commands.push_back({sub, [&ctx, args] { return RunMeasure(ctx, *args); }});
}

}  // namespace kelvt::cli
