// backup FOLDER: every controller on every device the tool knows (found,
// mapped, network), each set read confirmed and written as a new .PSF file.
// One thread per device, a few at a time: each thread owns its port and
// link, so the core stays single-threaded per port.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/device_report.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/port_target.h"
#include "ops/controller_backup.h"
#include "platform/safe_file.h"

namespace kelvt::cli {
namespace {

// Devices searched at once: a server's ports answer in parallel, but a
// machine with dozens of adapters should not open them all together.
constexpr size_t kMaxWorkers = 8;

void PrintBackup(CliContext& ctx, const DeviceEntry& e, const BackupResult& r) {
  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("device", r.device).Key("port");
    if (e.port_number >= 0) json.String(PortName(e.port_number)); else json.Null();
    json.Key("controller");
    if (r.found) {
      json.BeginObject()
          .Field("letter", std::string(1, r.letter))
          .Field("part_number", r.part_number)
          .Field("date_code", r.date_code)
          .EndObject();
    } else {
      json.Null();
    }
    json.Key("file");
    if (r.file.empty()) json.Null(); else json.String(r.file);
    json.Key("error");
    if (r.error.empty()) json.Null(); else json.String(r.error);
    json.EndObject().EndLine();
    return;
  }
  ctx.out << Printable(r.device) << ": ";
  if (!r.file.empty()) {
    ctx.out << "controller " << Printable(std::string(1, r.letter)) << " saved to "
            << Printable(r.file) << '\n';
  } else if (!r.error.empty()) {
    ctx.out << (r.found ? "controller " + Printable(std::string(1, r.letter)) + " NOT saved: "
                        : std::string("skipped: "))
            << Printable(r.error) << '\n';
  } else {
    ctx.out << "no controller\n";
  }
}

int RunBackup(CliContext& ctx, const std::string& folder) {
  if (!MakeFolders(folder)) {
    ctx.Error("Cannot create the folder " + folder, std::strerror(errno));
    return kExitFileWrite;
  }
  std::vector<DeviceEntry> entries = DeviceEntries(ctx);
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const DeviceEntry& e) { return !e.present; }),
                entries.end());
  std::vector<BackupResult> results(entries.size());
  for (size_t start = 0; start < entries.size() && !Interrupted(); start += kMaxWorkers) {
    std::vector<std::thread> workers;
    const size_t end = std::min(entries.size(), start + kMaxWorkers);
    for (size_t i = start; i < end; ++i) {
      workers.emplace_back([&entries, &results, &folder, i] {
        results[i] = BackupController(entries[i].path, folder);
      });
    }
    for (std::thread& t : workers) t.join();
    for (size_t i = start; i < end; ++i) PrintBackup(ctx, entries[i], results[i]);
    ctx.out.flush();
  }
  if (Interrupted()) return kExitInterrupted;
  int found = 0;
  bool write_failed = false;
  bool failed = false;
  for (const BackupResult& r : results) {
    found += r.found ? 1 : 0;
    write_failed = write_failed || r.write_failed;
    // A device that could not be opened may hold a controller too.
    failed = failed || (r.found && r.file.empty()) || r.open_status != 0;
  }
  if (write_failed) return kExitFileWrite;
  if (failed) return kExitNoAnswer;
  if (found == 0) {
    ctx.Error("No controller answered at 9600, 19200 or 38400 baud on any device");
    return kExitNoAnswer;
  }
  return kExitOk;
}

}  // namespace

void AddBackupCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  auto folder = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand(
      "backup", "Save the set of every controller on every device known (found, mapped in "
                "[Devices], network) as FOLDER/<letter>-<part number>-<date code>-<device>.PSF");
  sub->add_option("FOLDER", *folder, "Where the files go (created when missing)")->required();
  commands.push_back({sub, [&ctx, folder] { return RunBackup(ctx, *folder); }});
}

}  // namespace kelvt::cli
