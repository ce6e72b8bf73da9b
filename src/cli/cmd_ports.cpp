// ports: the 24 port numbers, the device each maps to, and whether it is there;
// the serial devices found; --watch and --probe (device_report.cpp).

#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include <CLI/CLI.hpp>

#include "cli/cli_output.h"
#include "cli/commands.h"
#include "cli/device_report.h"
#include "cli/exit_codes.h"
#include "cli/unfinished_note.h"
#include "cli/json_writer.h"
#include "serial/device_mapping.h"
#include "serial/device_path.h"
#include "serial/network_serial_port.h"
#include "serial/sysfs_serial_devices.h"

namespace kelvt::cli {
namespace {

struct PortRow {
  int port_number;
  std::string device;
  bool from_settings;
  bool exists;
  bool accessible;  // this user may read and write it
  bool selected;    // commands use it when no --port or --device is given
};

struct PortsOptions {
  bool watch = false;
  bool probe = false;
};

int RunPorts(CliContext& ctx, const PortsOptions& options) {
  if (options.probe) return ProbeDevices(ctx);
  if (options.watch) return WatchDevices(ctx);
  PortTarget target;
  if (!ctx.ResolveTarget(target)) return kExitUsage;
  NoteUnfinished(ctx, target.device_path);
  const DeviceOverrides overrides = DeviceOverridesFrom(ctx.Settings());

  std::vector<PortRow> rows;
  for (int n = 0; n < kPortCount; ++n) {
    PortRow row{n, DevicePathForPort(n, &overrides), overrides.count(n) != 0, false, false,
                false};
    struct stat info {};
    if (IsNetworkPath(row.device)) {
      // A network device is there when its server takes a connection.
      row.exists = row.accessible = DevicePresent(row.device);
    } else {
      // A ttyS node with no UART behind it is no port the machine has.
      row.exists = stat(row.device.c_str(), &info) == 0 &&
                   SerialHardwarePresent(TtyKernelName(row.device));
      row.accessible = row.exists && access(row.device.c_str(), R_OK | W_OK) == 0;
    }
    row.selected = target.port_number == n;
    rows.push_back(row);
  }

  if (ctx.options.json) {
    JsonWriter json(ctx.out);
    json.BeginObject().Field("settings_file", ctx.Settings().path());
    json.Key("ports").BeginArray();
    for (const PortRow& row : rows) {
      json.BeginObject()
          .Field("port", PortName(row.port_number))
          .Field("number", row.port_number + 1)
          .Field("device", row.device)
          .Field("from_settings", row.from_settings)
          .Field("exists", row.exists)
          .Field("accessible", row.accessible)
          .Field("selected", row.selected)
          .EndObject();
    }
    json.EndArray();
    json.Key("devices").BeginArray();
    for (const DeviceEntry& entry : DeviceEntries(ctx)) {
      json.BeginObject();
      WriteDeviceJson(json, entry);
      json.EndObject();
    }
    json.EndArray();
    if (target.port_number < 0) json.Field("device", target.device_path);
    json.EndObject().EndLine();
    return kExitOk;
  }

  std::size_t width = 6;
  for (const PortRow& row : rows) width = std::max(width, row.device.size());
  ctx.out << "Port    " << PadRight("Device", width) << "  Exists  Access  Mapped by\n";
  for (const PortRow& row : rows) {
    ctx.out << PadRight(PortName(row.port_number), 5) << (row.selected ? " * " : "   ")
            << PadRight(Printable(row.device), width) << "  " << PadRight(row.exists ? "yes" : "no", 6)
            << "  " << PadRight(!row.exists ? "-" : row.accessible ? "yes" : "no", 6) << "  "
            << (row.from_settings ? "settings [Devices]" : "default") << '\n';
  }
  if (target.port_number >= 0) {
    ctx.out << "* the port the controller commands use with these options.\n";
  } else {
    ctx.out << "--device " << Printable(target.device_path) << " is used.\n";
  }
  ctx.out << "Settings file: " << Printable(ctx.Settings().path()) << "\n\n";
  PrintDevices(ctx.out, DeviceEntries(ctx));
  return kExitOk;
}

}  // namespace

void AddPortsCommand(CLI::App& app, CliContext& ctx, Commands& commands) {
  CLI::App* sub = app.add_subcommand(
      "ports",
      "List COM1..COM24 with the device each maps to, and the serial devices found");
  auto options = std::make_shared<PortsOptions>();
  sub->add_flag("--watch", options->watch,
                "Keep listing the devices as they are plugged in and out (until Ctrl-C)");
  sub->add_flag("--probe", options->probe,
                "Look for a controller on every device found or mapped, at 9600, 19200 and "
                "38400 baud (exit 0 when one answered, 4 when none did)");
  commands.push_back({sub, [&ctx, options] { return RunPorts(ctx, *options); }});
}

}  // namespace kelvt::cli
