// nullspan get / set: the null and span of the two analog outputs.

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/json_writer.h"
#include "cli/nullspan_values.h"
#include "cli/psf_restore.h"
#include "link/null_span_frame.h"
#include "ops/null_span_steps.h"
#include "ops/status_messages.h"

namespace kelvt::cli {
namespace {

struct NullSpanArgs {
  std::vector<std::string> values;
  std::string update = "ok";
  bool no_backup = false;

  char Function() const {
    if (update == "null") return kNullSpanNullUpdate;
    if (update == "span") return kNullSpanSpanUpdate;
    return kNullSpanFinish;
  }
};

const char* FunctionName(char function) {
  switch (function) {
    case kNullSpanNullUpdate: return "null";
    case kNullSpanSpanUpdate: return "span";
    default: return "ok";
  }
}

void WriteValuesJson(JsonWriter& json, const char* name, const NullSpanValues& v) {
  json.Key(name)
      .BeginObject()
      .Field("null1", v.null1)
      .Field("span1", v.span1)
      .Field("null2", v.null2)
      .Field("span2", v.span2)
      .EndObject();
}

void WriteValuesText(std::ostream& out, const NullSpanValues& v) {
  out << "Analog Output#1  Null " << v.null1 << "  Span " << v.span1 << '\n';
  out << "Analog Output#2  Null " << v.null2 << "  Span " << v.span2 << '\n';
}

// Reads the four values; the reply also names the controller for the updates.
// Only a whole, clean reply counts: a garbled one is reported as no answer.
int ReadValues(CliContext& ctx, ControllerLink& link, NullSpanValues& values, char& letter) {
  char frame[kNullSpanBufferSize];
  if (!ReadNullSpanFrame(link, frame)) {
    ctx.Error("Serial interface is not active", ctx.NoAnswerAdvice());
    return kExitNoAnswer;
  }
  values = DecodeNullSpanValues(frame);
  letter = frame[1];
  return kExitOk;
}

int RunGet(CliContext& ctx) {
  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  NullSpanValues values;
  char letter = 0;
  if ((status = ReadValues(ctx, *link, values, letter)) != kExitOk) return status;
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject();
    WriteValuesJson(json, "values", values);
    json.EndObject().EndLine();
  } else {
    WriteValuesText(ctx.out, values);
  }
  return kExitOk;
}

int RunSet(CliContext& ctx, const NullSpanArgs& args) {
  NullSpanValues wanted;
  for (int i = 0; i < 4; ++i) {
    const NullSpanArgument a =
        ClampNullSpanArgument(args.values[static_cast<std::size_t>(i)], NullSpanMin(i), NullSpanMax(i));
    if (!a.valid) {
      ctx.Error(std::string(NullSpanName(i)) + ": '" + args.values[static_cast<std::size_t>(i)] +
                    "' is not a number",
                "Give four whole numbers: NULL1 SPAN1 NULL2 SPAN2.");
      return kExitUsage;
    }
    if (a.clamped) {
      ctx.err << "kelvt-cli: " << NullSpanName(i) << ' ' << args.values[static_cast<std::size_t>(i)]
              << " is outside " << NullSpanMin(i) << '-' << NullSpanMax(i) << "; " << a.value
              << " is sent\n";
    }
    wanted[i] = a.value;
  }

  int status = kExitOk;
  std::unique_ptr<ControllerLink> link = ctx.OpenLink(status);
  if (!link) return status;
  // What the controller holds goes into the journal first.
  const NullSpanResult sent =
      SendNullSpanWithCopy(*link, InstalledJournal(), TagFor(ctx, "null/span"), args.Function(),
                           0, wanted, [&args] { return args.no_backup; });
  switch (sent.status) {
    case NullSpanStatus::kNotRead:
      ctx.Error("Serial interface is not active",
                ctx.NoAnswerAdvice() +
                    "\nNothing was sent: the values it holds could not be read, so no copy of "
                    "them could be kept (--no-backup sends without one).");
      return kExitNoAnswer;
    case NullSpanStatus::kNotJournaled:
      ctx.Error(kNotJournaledMessage, JournalAdvice());
      return kExitFileWrite;
    case NullSpanStatus::kNotSent:
      ctx.Error("We are unable to establish the Serial Interface", ctx.NoAnswerAdvice());
      return kExitNoAnswer;
    case NullSpanStatus::kAcknowledged:
    case NullSpanStatus::kNotAcknowledged:
      break;
  }
  if (!sent.copied) {
    ctx.err << "kelvt-cli: warning: the controller's null and span values could not be read; "
               "they were replaced without a copy (--no-backup)\n";
  }
  const bool acknowledged = sent.status == NullSpanStatus::kAcknowledged;
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("update", FunctionName(args.Function()));
    if (sent.copied) WriteValuesJson(json, "before", sent.before); else json.Key("before").Null();
    WriteValuesJson(json, "sent", wanted);
    json.Field("acknowledged", acknowledged).EndObject().EndLine();
  } else if (acknowledged) {
    WriteValuesText(ctx.out, wanted);
  }
  if (!acknowledged) {
    ctx.Error("The Serial Interface is not functioning properly",
              "The controller did not confirm the values sent. Read them back with "
              "'kelvt-cli nullspan get'.");
    return kExitRefused;
  }
  return kExitOk;
}

}  // namespace

void AddNullSpanCommands(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto args = std::make_shared<NullSpanArgs>();
  CLI::App* group =
      app.add_subcommand("nullspan", "Null and span of the two analog outputs");
  group->require_subcommand(1);

  CLI::App* get = group->add_subcommand("get", "Read the four null and span values");
  commands.push_back({get, [&ctx] { return RunGet(ctx); }});

  CLI::App* set = group->add_subcommand(
      "set", "Send null and span of both outputs (nulls 0-1000, spans 2000-4095; clamped)");
  set->add_option("VALUES", args->values, "NULL1 SPAN1 NULL2 SPAN2")->required()->expected(4);
  set->add_option("-u,--update", args->update,
                  "Which update to send: null, span, or ok (default; as the dialog's OK)")
      ->transform(CLI::IsMember({"null", "span", "ok"}, CLI::ignore_case).description(""))
      ->type_name("null|span|ok");
  set->add_flag("--no-backup", args->no_backup,
                "Send even when the values the controller holds cannot be read (and so not "
                "journaled)");
  commands.push_back({set, [&ctx, args] { return RunSet(ctx, *args); }});
}

}  // namespace kelvt::cli
