#include "cli/device_report.h"

#include <poll.h>

#include <map>

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/json_writer.h"
#include "cli/port_target.h"
#include "link/controller_probe.h"

namespace kelvt::cli {
namespace {

SerialDeviceSource* installed_source = nullptr;

// Without a hot-plug monitor the list is read again this often.
constexpr int kWatchPollMs = 1000;

std::string Description(const SerialDevice& d) {
  std::string text = d.maker;
  if (!d.product.empty()) text += (text.empty() ? "" : " ") + d.product;
  if (text.empty()) text = d.driver;
  return text;
}

std::string MappedPort(const DeviceEntry& e) { return e.port_number >= 0 ? PortName(e.port_number) : "-"; }

void WriteController(JsonWriter& json, const ProbeResult& r) {
  json.Key("controller");
  if (!r.answered) {
    json.Null();
    return;
  }
  json.BeginObject().Field("rate", static_cast<int64_t>(r.rate)).Field("letter", std::string(1, r.letter)).EndObject();
}

}  // namespace

void SetDeviceSource(SerialDeviceSource* source) { installed_source = source; }

SerialDeviceSource& CurrentDeviceSource() {
  if (installed_source != nullptr) return *installed_source;
  static SystemSerialDevices system;
  return system;
}

std::vector<DeviceEntry> DeviceEntries(CliContext& ctx) {
  return MergeDevices(CurrentDeviceSource().List(), DeviceOverridesFrom(ctx.Settings()));
}

void PrintDevices(std::ostream& out, const std::vector<DeviceEntry>& entries) {
  if (entries.empty()) {
    out << "No serial devices found.\n";
    return;
  }
  std::size_t width = 6;
  for (const DeviceEntry& e : entries) width = std::max(width, Printable(e.path).size());
  out << "Device  " << PadRight("Path", width) << "  Mapped  Serial number     Maker, product\n";
  for (const DeviceEntry& e : entries) {
    const std::string name = e.listed ? e.device.kernel_name : !e.present ? "absent" : "mapped";
    out << PadRight(Printable(name), 8) << PadRight(Printable(e.path), width) << "  "
        << PadRight(MappedPort(e), 6) << "  " << PadRight(Printable(e.device.serial_number), 16)
        << "  "
        << (e.present ? Printable(Description(e.device)) : std::string("not plugged in")) << '\n';
  }
}

void WriteDeviceJson(JsonWriter& json, const DeviceEntry& e) {
  json.Field("path", e.path).Key("by_id");
  if (e.device.by_id.empty()) json.Null(); else json.String(e.device.by_id);
  json.Key("port");
  if (e.port_number >= 0) json.String(PortName(e.port_number)); else json.Null();
  json.Field("kernel_name", e.device.kernel_name)
      .Field("driver", e.device.driver)
      .Field("vendor_id", e.device.vendor_id)
      .Field("product_id", e.device.product_id)
      .Field("maker", e.device.maker)
      .Field("product", e.device.product)
      .Field("serial_number", e.device.serial_number)
      .Field("listed", e.listed)
      .Field("present", e.present);
}

int WatchDevices(CliContext& ctx) {
  SerialDeviceSource& source = CurrentDeviceSource();
  std::map<std::string, DeviceEntry> shown;
  bool first = true;
  while (!Interrupted()) {
    std::map<std::string, DeviceEntry> now;
    for (DeviceEntry& e : DeviceEntries(ctx)) {
      if (e.present) now.emplace(e.path, std::move(e));
    }
    for (const auto& [path, e] : now) {
      if (shown.count(path) != 0) continue;
      if (ctx.options.json) {
        JsonWriter json(ctx.out);
        json.BeginObject().Field("event", first ? "present" : "added");
        WriteDeviceJson(json, e);
        json.EndObject().EndLine();
      } else {
        ctx.out << (first ? "present " : "added   ") << Printable(path) << "  "
                << Printable(Description(e.device)) << '\n';
      }
    }
    for (const auto& [path, e] : shown) {
      if (now.count(path) != 0) continue;
      if (ctx.options.json) {
        JsonWriter json(ctx.out);
        DeviceEntry gone = e;
        gone.present = false;
        json.BeginObject().Field("event", "removed");
        WriteDeviceJson(json, gone);
        json.EndObject().EndLine();
      } else {
        ctx.out << "removed " << Printable(path) << '\n';
      }
    }
    ctx.out.flush();
    shown = std::move(now);
    first = false;
    // Wait for the monitor (or the next look), waking now and then for Ctrl-C.
    const int fd = source.MonitorDescriptor();
    for (int waited = 0; waited < kWatchPollMs && !Interrupted(); waited += 200) {
      pollfd p{fd, POLLIN, 0};
      if (fd >= 0 && poll(&p, 1, 200) > 0) {
        source.TakeChanges();
        break;
      }
      if (fd < 0) poll(nullptr, 0, 200);
    }
  }
  return kExitOk;
}

int ProbeDevices(CliContext& ctx) {
  const std::vector<DeviceEntry> entries = DeviceEntries(ctx);
  bool found = false;
  std::size_t width = 6;
  for (const DeviceEntry& e : entries) width = std::max(width, Printable(e.path).size());
  for (const DeviceEntry& e : entries) {
    if (Interrupted()) return kExitInterrupted;
    ProbeResult r;
    r.path = e.path;
    if (e.present) {
      if (!ctx.options.json) {
        ctx.out << PadRight(Printable(e.path), width) << "  " << PadRight(MappedPort(e), 6) << "  ";
        ctx.out.flush();
      }
      r = ProbeController(e.path);
    }
    found = found || r.answered;
    if (ctx.options.json) {
      JsonWriter json(ctx.out);
      json.BeginObject().Field("path", e.path).Key("by_id");
      if (e.device.by_id.empty()) json.Null(); else json.String(e.device.by_id);
      json.Key("port");
      if (e.port_number >= 0) json.String(PortName(e.port_number)); else json.Null();
      WriteController(json, r);
      if (!e.present) json.Field("skipped", "not plugged in");
      else if (r.open_status != 0) json.Field("skipped", r.reason);
      json.EndObject().EndLine();
    } else if (!e.present) {
      ctx.out << PadRight(Printable(e.path), width) << "  " << PadRight(MappedPort(e), 6)
              << "  not plugged in\n";
    } else if (r.open_status != 0) {
      ctx.out << "skipped: " << Printable(r.reason) << '\n';
    } else if (r.answered) {
      ctx.out << "controller " << Printable(std::string(1, r.letter)) << " at " << r.rate
              << " baud\n";
    } else {
      ctx.out << "no controller\n";
    }
    ctx.out.flush();
  }
  if (!found && !ctx.options.json) {
    ctx.err << "kelvt-cli: no controller answered at 9600, 19200 or 38400 baud\n";
  }
  return found ? kExitOk : kExitNoAnswer;
}

}  // namespace kelvt::cli
