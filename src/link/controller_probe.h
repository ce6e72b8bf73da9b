#pragma once
// Finding the controller: each device in turn is opened as an operation opens
// its port (9600, 8E2, DTR and RTS low) and woken with the link's own baud
// search (9600, 19200, 38400). One device at a time; a device another program
// holds is skipped and reported. The serial layer's idle step runs while it
// waits, so a window keeps answering and can ask to stop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/rs232.h"

namespace kelvt {

struct ProbeResult {
  std::string path;
  int open_status = 0;  // 0 opened; else the port's error code (kPortInUse: held by another program)
  std::string reason;   // why it did not open, for a person
  bool answered = false;
  int32_t rate = 0;     // the rate the controller answered at
  char letter = 0;      // the controller's letter
};

using ProbeOpener = std::function<std::unique_ptr<RS232>(const std::string& path)>;
// Asked before each device (its index in the list); false stops the search.
using ProbeGoOn = std::function<bool(size_t index)>;

// The POSIX port on `path` as an operation opens it.
std::unique_ptr<RS232> OpenProbePort(const std::string& path);

// One result per device searched, in list order; a path that leads to a
// device already searched is not searched again. Stops early when `go_on`
// says so.
std::vector<ProbeResult> ProbeControllers(const std::vector<std::string>& paths,
                                          const ProbeOpener& open = OpenProbePort,
                                          const ProbeGoOn& go_on = {});

// The result for one device.
ProbeResult ProbeController(const std::string& path, const ProbeOpener& open = OpenProbePort);

}  // namespace kelvt
