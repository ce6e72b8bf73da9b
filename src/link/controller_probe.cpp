#include "link/controller_probe.h"

#include <cstdlib>
#include <set>

#include "link/controller_link.h"
#include "serial/port_factory.h"

namespace kelvt {
namespace {

std::string Identity(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string text(real);
  std::free(real);
  return text;
}

}  // namespace

std::unique_ptr<RS232> OpenProbePort(const std::string& path) {
  return OpenControllerPort(path, 0, BaudRateTable[0]);
}

ProbeResult ProbeController(const std::string& path, const ProbeOpener& open) {
  ProbeResult result;
  result.path = path;
  std::unique_ptr<RS232> port = open(path);
  result.open_status = port ? port->ErrorStatus() : kGeneralError;
  if (result.open_status != 0) {
    const char* name = port ? port->ErrorName(result.open_status) : RS232ErrorName(result.open_status);
    result.reason = name != nullptr ? name : "???";
    const std::string why = port ? PortSystemReason(*port) : std::string();
    if (!why.empty()) result.reason += ": " + why;
    return result;
  }
  ControllerLink link(port.release());
  SyncReply reply;
  if (link.Synchronize(reply)) {
    result.answered = true;
    result.rate = BaudRateTable[link.BaudIndex()];
    result.letter = reply.controller_id;
  }
  return result;
}

std::vector<ProbeResult> ProbeControllers(const std::vector<std::string>& paths,
                                          const ProbeOpener& open, const ProbeGoOn& go_on) {
  std::vector<ProbeResult> results;
  std::set<std::string> searched;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (go_on && !go_on(i)) break;
    if (!searched.insert(Identity(paths[i])).second) continue;
    results.push_back(ProbeController(paths[i], open));
  }
  return results;
}

}  // namespace kelvt
