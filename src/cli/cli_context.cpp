#include "cli/cli_context.h"

#include <cerrno>
#include <cstdio>

#include "cli/exit_codes.h"
#include "cli/frame_log_port.h"
#include "cli/psf_restore.h"
#include "serial/port_factory.h"

namespace kelvt::cli {

namespace {
constexpr int kDefaultPort = 1;  // COM2, as the desktop tool
}  // namespace

std::unique_ptr<RS232> OpenPosixPort(const PortTarget& target) {
  // Even parity, 8 data bits, two stop bits (code 1), DTR and RTS low, no
  // flow control: the line every operation starts on.
  return OpenControllerPort(target.device_path, target.port_number < 0 ? 0 : target.port_number,
                            BaudRateTable[0]);
}

std::string PortOpenAdvice(const RS232& port, const PortTarget& target) {
  std::string advice = "Device: " + target.device_path;
  const int err = PortSystemErrno(port);
  const std::string reason = PortSystemReason(port);
  if (!reason.empty()) advice += "\nReason: " + reason;
  if (err == EACCES || err == EPERM) {
    advice +=
        "\nSerial devices need membership of the 'dialout' group: run "
        "'sudo adduser $USER dialout', then log out and in again.";
  } else if (target.device_path.find("://") != std::string::npos) {
    advice +=
        "\nA network device: rfc2217://HOST:PORT or tcp://HOST:PORT. Check that the server "
        "runs and listens on that port (ser2net: accepter telnet(rfc2217),tcp,PORT) and that "
        "nothing between blocks it.";
  } else if (port.ErrorStatus() == kPortInUse) {
    advice += "\nAnother program holds the port; close it (or the desktop tool) and try again.";
  } else {
    advice +=
        "\nName the device with --device PATH, or map the port in the settings file, "
        "section [Devices], e.g. COM1=/dev/ttyUSB0. 'kelvt-cli ports' lists the devices.";
  }
  return advice;
}

CliContext::CliContext(std::ostream& out, std::ostream& err)
    : out(out), err(err), opener_(OpenPosixPort) {}

const Profile& CliContext::Settings() {
  if (!settings_) {
    settings_.emplace(SettingsFilePath());
    if (!settings_->Load() && !settings_->LoadError().empty()) {
      err << "kelvt-cli: warning: the settings file " << settings_->path()
          << " could not be read (" << settings_->LoadError() << "); defaults are used\n";
    }
  }
  return *settings_;
}

std::vector<std::string> CliContext::RescueDirectories() const {
  return rescue_directories_.empty() ? cli::RescueDirectories() : rescue_directories_;
}

int CliContext::SelectedPort() {
  return Settings().GetInt("Communication", "Port", kDefaultPort);
}

bool CliContext::ResolveTarget(PortTarget& target) {
  std::string error;
  const DeviceOverrides overrides = DeviceOverridesFrom(Settings());
  if (!ResolvePortTarget(options.port, options.device, SelectedPort(), overrides, target,
                         error)) {
    Error(error);
    return false;
  }
  return true;
}

std::unique_ptr<ControllerLink> CliContext::OpenLink(int& status) {
  if (!ResolveTarget(target_)) {
    status = kExitUsage;
    return nullptr;
  }
  device_watch_ = DeviceWatch(target_.device_path);
  std::unique_ptr<RS232> port = opener_(target_);
  const int port_status = port ? port->ErrorStatus() : kGeneralError;
  if (port_status != 0) {
    const char* name = port ? port->ErrorName(port_status) : RS232ErrorName(port_status);
    const std::string what = target_.port_number >= 0
                                 ? "Unable to open " + std::to_string(target_.port_number + 1)
                                 : "Unable to open " + target_.device_path;
    std::string advice = std::string(name != nullptr ? name : "???");
    if (port) advice += "\n" + PortOpenAdvice(*port, target_);
    Error(what, advice);
    status = kExitPortOpen;
    return nullptr;
  }
  round_trip_ms_ = PortRoundTripMs(*port);
  slow_link_advice_ = RoundTripAdvice(*port);
  if (options.verbose) {
    err << "kelvt-cli: opened " << target_.Describe() << " at " << BaudRateTable[0]
        << " baud, 8E2";
    if (round_trip_ms_ >= 0) {
      char rtt[48];
      std::snprintf(rtt, sizeof rtt, " (network round trip %.2f ms)", round_trip_ms_);
      err << rtt;
    }
    err << '\n';
    port = std::make_unique<FrameLogPort>(std::move(port), err);
  }
  status = kExitOk;
  return std::make_unique<ControllerLink>(port.release());
}

void CliContext::Error(std::string_view message, std::string_view advice) {
  err << "kelvt-cli: " << message << '\n';
  std::size_t start = 0;
  while (start < advice.size()) {
    std::size_t end = advice.find('\n', start);
    if (end == std::string_view::npos) end = advice.size();
    err << "  " << advice.substr(start, end - start) << '\n';
    start = end + 1;
  }
  err.flush();
}

std::string CliContext::UnpluggedAdvice() const {
  const std::string port =
      target_.port_number >= 0 ? " (" + PortName(target_.port_number) + ")" : std::string();
  return "The device " + target_.device_path + port +
         " was unplugged.\nPlug it in again and repeat the command; 'kelvt-cli journal' lists "
         "the controller's own set where one was kept.";
}

std::string CliContext::NoAnswerAdvice() const {
  if (DeviceUnplugged()) return UnpluggedAdvice();
  // A link too slow for the reply windows is not a silent controller.
  if (!slow_link_advice_.empty()) return slow_link_advice_;
  if (target_.device_path.rfind("tcp://", 0) == 0) {
    return "No controller answered on " + target_.Describe() +
           ".\nA tcp:// device runs at the server's own fixed line settings: the controller "
           "is found only when the server is set to its rate (9600, 19200 or 38400 baud, "
           "even parity, 8 data bits, two stop bits); rfc2217:// lets the tool set the line.";
  }
  return "No controller answered on " + target_.Describe() +
         " at 9600, 19200 or 38400 baud.\n"
         "Check the cable and the controller's power, and that --port or --device names "
         "the controller's port.";
}

}  // namespace kelvt::cli
