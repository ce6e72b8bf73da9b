#pragma once
// The serial devices for `kelvt-cli ports`: the list beside the 24 port
// numbers, `--watch` (the list again whenever a device comes or goes) and
// `--probe` (where a controller answers, at which rate and letter).

#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "serial/device_mapping.h"
#include "serial/serial_device_list.h"

namespace kelvt::cli {

// Where the devices come from; nullptr restores the system's. Tests give a fake.
void SetDeviceSource(SerialDeviceSource* source);
SerialDeviceSource& CurrentDeviceSource();

// The devices found, merged with the settings file's mappings.
std::vector<DeviceEntry> DeviceEntries(CliContext& ctx);

// The device list as text (a heading and one line per device).
void PrintDevices(std::ostream& out, const std::vector<DeviceEntry>& entries);
// One device as a JSON object's members.
void WriteDeviceJson(class JsonWriter& json, const DeviceEntry& entry);

// kelvt-cli ports --watch: until interrupted. Exit status.
int WatchDevices(CliContext& ctx);
// kelvt-cli ports --probe: 0 when a controller answered, 4 when none did.
int ProbeDevices(CliContext& ctx);

}  // namespace kelvt::cli
