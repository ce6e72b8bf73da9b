#pragma once
// What every subcommand works with: the global options, the two output
// streams, the settings file, and the way to the controller (open the port,
// log its frames when asked, bind the link). Tests replace the port opener.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/port_target.h"
#include "link/controller_link.h"
#include "platform/profile.h"
#include "serial/rs232.h"
#include "serial/sysfs_serial_devices.h"

namespace kelvt::cli {

struct GlobalOptions {
  std::string port;    // --port as given; empty: the settings file's port
  std::string device;  // --device as given
  bool json = false;
  bool verbose = false;
};

// Opens the device of a target at 9600 baud, 8E2, DTR and RTS low. Whatever
// it returns is checked with ErrorStatus().
using PortOpener = std::function<std::unique_ptr<RS232>(const PortTarget& target)>;

std::unique_ptr<RS232> OpenPosixPort(const PortTarget& target);

class CliContext {
 public:
  CliContext(std::ostream& out, std::ostream& err);

  GlobalOptions options;
  std::ostream& out;
  std::ostream& err;

  // The settings file, read on first use (a missing file reads as empty).
  const Profile& Settings();
  // Use this profile instead of reading the settings file.
  void SetSettings(Profile profile) { settings_ = std::move(profile); }
  void SetPortOpener(PortOpener opener) { opener_ = std::move(opener); }
  // Where a set that could not be restored is saved (default: the current
  // directory, then $HOME, then /tmp).
  void SetRescueDirectories(std::vector<std::string> directories) {
    rescue_directories_ = std::move(directories);
  }
  std::vector<std::string> RescueDirectories() const;

  // The settings file's port (Communication/Port, default COM2).
  int SelectedPort();
  // Where the global options point. False after reporting a bad --port.
  bool ResolveTarget(PortTarget& target);

  // Resolves the target, opens the port (reporting why not, with the exit
  // status in `status`), wraps it in a frame log under --verbose and binds
  // the link to it.
  std::unique_ptr<ControllerLink> OpenLink(int& status);
  // The target of the last OpenLink, for messages.
  const PortTarget& Target() const { return target_; }

  // "kelvt-cli: <message>" on standard error, then each line of `advice`
  // indented below it.
  void Error(std::string_view message, std::string_view advice = {});
  // What a controller that does not answer needs: where we looked and what
  // to check; or, when the device itself went away, that it was unplugged.
  std::string NoAnswerAdvice() const;
  // The device opened by the last OpenLink has since been unplugged.
  bool DeviceUnplugged() const { return device_watch_.Unplugged(); }
  std::string UnpluggedAdvice() const;
  // `advice` about a controller that did not acknowledge, unless the
  // device itself went away meanwhile.
  std::string ControllerAdvice(std::string advice) const {
    return DeviceUnplugged() ? UnpluggedAdvice() : advice;
  }

 private:
  std::optional<Profile> settings_;
  PortOpener opener_;
  PortTarget target_;
  DeviceWatch device_watch_;
  double round_trip_ms_ = -1;     // of the last network port opened
  std::string slow_link_advice_;  // set when that round trip is too long
  std::vector<std::string> rescue_directories_;
};

// Why a port did not open, for a person: device, system reason, and what to
// do about it (the dialout group for a permission problem).
std::string PortOpenAdvice(const RS232& port, const PortTarget& target);

}  // namespace kelvt::cli
