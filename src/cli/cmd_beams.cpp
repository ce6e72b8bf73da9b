// beams: the alignment scan. The controller gets the alignment set (full
// beam map on request) for the length of the command and its own set back
// afterwards, also when the command is interrupted.

#include <CLI/CLI.hpp>
#include <vector>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/csv_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/psf_restore.h"
#include "cli/scan_loop.h"
#include "ops/alignment_steps.h"
#include "ops/beam_history.h"
#include "ops/scan_csv.h"
#include "ops/status_messages.h"
#include "link/beam_ranges.h"
#include "link/scan_record.h"

namespace kelvt::cli {
namespace {

struct BeamsOptions {
  ScanLoopOptions loop;
  ChannelFilter filter = ChannelFilter::Broken;
  bool csv = false;
  bool summary = false;
};

const char* FilterName(ChannelFilter filter) {
  switch (filter) {
    case ChannelFilter::Broken: return "broken";
    case ChannelFilter::Made: return "made";
    case ChannelFilter::Both: return "both";
  }
  return "broken";
}

void WriteKindJson(JsonWriter& json, const char* name, int32_t count, int32_t first,
                   int32_t last) {
  json.Key(name).BeginObject().Field("count", static_cast<int64_t>(count));
  if (count > 0) {
    json.Field("first", static_cast<int64_t>(first) + 1).Field("last", static_cast<int64_t>(last) + 1);
  } else {
    json.Key("first").Null().Key("last").Null();
  }
  json.EndObject();
}

void PrintScanJson(std::ostream& out, int scan_number, const BeamBitmapScan& scan,
                   ChannelFilter filter) {
  const BeamStatistics& s = scan.statistics;
  JsonWriter json(out);
  json.BeginObject().Field("scan", scan_number).Field("beams", scan.ChannelCount());
  WriteKindJson(json, "broken", s.broken_count, s.first_broken, s.last_broken);
  WriteKindJson(json, "made", s.made_count, s.first_made, s.last_made);
  json.Field("filter", FilterName(filter));
  json.Key("ranges").BeginArray();
  ForEachShownRun(scan, filter, [&json](const BeamRun& run) {
    char channels[kRunTextSize];
    FormatRunChannels(run, channels, sizeof channels);
    json.BeginObject()
        .Field("channels", channels)
        .Field("first", run.first + 1)
        .Field("last", run.last + 1)
        .Field("state", BeamStateText(run.state))
        .EndObject();
  });
  json.EndArray().EndObject().EndLine();
}

void PrintScanText(std::ostream& out, int scan_number, const BeamBitmapScan& scan,
                   ChannelFilter filter) {
  BeamSummaryCells cells;
  FillBeamSummary(scan.statistics, cells);
  out << "Scan " << scan_number << " (" << scan.ChannelCount() << " beams)\n";
  out << "Channel   Broken    Made\n";
  for (int row = 0; row < kSummaryRows; ++row) {
    out << PadRight(kSummaryRowLabels[row], 8) << PadLeft(cells.text[row][0], 8)
        << PadLeft(cells.text[row][1], 8) << '\n';
  }
  out << "Channel        Status\n";
  const int shown = ForEachShownRun(scan, filter, [&out](const BeamRun& run) {
    char channels[kRunTextSize];
    FormatRunChannels(run, channels, sizeof channels);
    out << PadRight(channels, 13) << "  " << BeamStateText(run.state) << '\n';
  });
  if (shown == 0) out << "(none " << FilterName(filter) << ")\n";
  out << '\n';
  out.flush();
}

// What changed over the run: the beams that changed state and how often,
// and which of them flicker.
void PrintSummaryJson(std::ostream& out, const BeamHistory& history) {
  JsonWriter json(out);
  json.BeginObject().Field("scans", history.Scans()).Field("beams", history.Beams());
  for (const bool flickering_only : {false, true}) {
    json.Key(flickering_only ? "flickering" : "changes").BeginArray();
    for (int beam = 0; beam < history.Beams(); ++beam) {
      if (history.Changes(beam) == 0 || (flickering_only && !history.Flickering(beam))) continue;
      json.BeginObject().Field("beam", beam + 1).Field("changes", history.Changes(beam)).EndObject();
    }
    json.EndArray();
  }
  json.EndObject().EndLine();
}

void PrintSummaryText(std::ostream& out, const BeamHistory& history) {
  out << "Summary of " << history.Scans() << " scans (" << history.Beams() << " beams)\n";
  out << "Beam      Changes\n";
  int changed = 0;
  for (int beam = 0; beam < history.Beams(); ++beam) {
    if (history.Changes(beam) == 0) continue;
    out << PadRight(std::to_string(beam + 1), 6) << PadLeft(std::to_string(history.Changes(beam)), 11)
        << '\n';
    ++changed;
  }
  if (changed == 0) out << "(no beam changed)\n";
  char list[1024];
  FormatFlickeringList(history, list, sizeof list);
  out << "flickering: " << (list[0] != '\0' ? list : "none") << '\n';
  out.flush();
}

int ReportPrepareFailure(CliContext& ctx, AlignmentStatus status, const AlignmentSetup& setup) {
  const char* message = AlignmentMessage(status);
  switch (status) {
    case AlignmentStatus::DiagnosticsFailed:
    case AlignmentStatus::InputPsfFailed:
    case AlignmentStatus::OutputPsfNoAnswer:
      ctx.Error(message, ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case AlignmentStatus::NotOperational:
      ctx.Error(message, std::string("The controller reports: ") +
                             setup.diagnostics.SystemStateName() +
                             "\nRun 'kelvt-cli diag' to see which board reports an error.");
      return kExitRefused;
    case AlignmentStatus::NotJournaled:
      ctx.Error(message, JournalAdvice());
      return kExitFileWrite;
    case AlignmentStatus::OutputPsfFailed:
      ctx.Error(message, ctx.ControllerAdvice(
                             "The controller did not accept the alignment set; its own set is "
                             "unchanged."));
      return kExitRefused;
    case AlignmentStatus::OutputPsfUnconfirmed:
      ctx.Error(message,
                "The alignment set went out without an acknowledgement and the controller's "
                "own set could not be confirmed; it is being put back.");
      return kExitRefused;
    case AlignmentStatus::Ready:
      break;
  }
  return kExitOk;
}

int RunBeams(CliContext& ctx, const BeamsOptions& options) {
  if (!CsvOptionAllowed(ctx, options.csv)) return kExitUsage;
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  if (Interrupted()) return kExitInterrupted;

  CliRestore restore(ctx, *link, "alignment");
  PsfImage working;
  AlignmentSetup setup;
  const AlignmentStatus prepared = PrepareAlignment(*link, restore.Guard(), working, setup);
  if (prepared != AlignmentStatus::Ready) {
    // An unconfirmed send armed the guard: the own set goes back here too.
    const int code = ReportPrepareFailure(ctx, prepared, setup);
    const int restored = restore.Finish();
    return restored != kExitOk ? restored : code;
  }

  if (options.loop.watch && !ctx.options.json && !options.csv) {
    ctx.err << "kelvt-cli: scanning " << setup.channel_count
            << " beams; Ctrl-C stops and puts the controller's own PSF back\n";
  }

  BeamBitmapScan current(setup.channel_count);
  BeamBitmapScan last(setup.channel_count);
  std::vector<char> row(AlignmentCsvRowSize(setup.channel_count));
  BeamHistory history(options.summary ? setup.channel_count : 0);
  int done = 0;
  LoopEnd end = LoopEnd::kDone;
  if (options.csv && !WriteCsvRow(ctx.out, row.data(), AlignmentCsvHeader(row.data(), row.size()))) {
    end = LoopEnd::kOutputLost;
  }
  while (end == LoopEnd::kDone && ContinueLoop(options.loop, done, end)) {
    if (!link->Scan(current)) {
      end = ReportScanFailure(ctx, *link, "Unable to Input Scan.");
      break;
    }
    ++done;
    if (options.summary) history.Add(current);
    if (options.csv) {
      // A record: every scan is a row, watching or not.
      const int length = AlignmentCsvRow(NowWallTime(), done, current, row.data(), row.size());
      if (!WriteCsvRow(ctx.out, row.data(), length)) {
        end = LoopEnd::kOutputLost;
        break;
      }
      continue;
    }
    // Watching shows a beam map only when it changed; counted scans all show.
    if (!options.loop.watch || done == 1 || !last.Equals(current)) {
      if (ctx.options.json) {
        PrintScanJson(ctx.out, done, current, options.filter);
      } else {
        PrintScanText(ctx.out, done, current, options.filter);
      }
      last.Assign(current);
      if (!ctx.out) {
        end = LoopEnd::kOutputLost;
        break;
      }
    }
  }
  // Also after Ctrl-C or a failed scan: what was seen until then.
  if (options.summary && history.Scans() > 0 && end != LoopEnd::kOutputLost) {
    if (ctx.options.json) {
      PrintSummaryJson(ctx.out, history);
    } else {
      PrintSummaryText(ctx.out, history);
    }
  }
  const int restored = restore.Finish();
  if (restored != kExitOk) return restored;
  return LoopExitStatus(end);
}

}  // namespace

void AddBeamsCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto options = std::make_shared<BeamsOptions>();
  CLI::App* sub = app.add_subcommand(
      "beams",
      "Alignment scan: broken and made beams, first and last of each, ranges of channels");
  AddScanLoopOptions(*sub, options->loop);
  const std::map<std::string, ChannelFilter> filters{{"broken", ChannelFilter::Broken},
                                                     {"made", ChannelFilter::Made},
                                                     {"both", ChannelFilter::Both}};
  sub->add_option("-f,--filter", options->filter,
                  "Ranges listed: broken (default), made or both")
      ->transform(CLI::CheckedTransformer(filters, CLI::ignore_case).description(""))
      ->type_name("broken|made|both");
  CLI::Option* csv = sub->add_flag(
      "--csv", options->csv,
      "CSV rows as the desktop Record writes them: a header, then a row for every "
      "scan (also with --watch); excludes --json");
  sub->add_flag("--summary", options->summary,
                "At the end, how often each beam changed state and which beams flicker "
                "(changed in fewer than 5 % of the scans)")
      ->excludes(csv);
  commands.push_back({sub, [&ctx, options] { return RunBeams(ctx, *options); }});
}

}  // namespace kelvt::cli
