#include "gui/operation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "gui/prompter.h"
#include "ops/status_messages.h"
#include "ops/send_back.h"
#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "serial/device_mapping.h"
#include "serial/port_factory.h"

namespace kelvt {
namespace {

Operation::PortFactory& InstalledFactory() {
  static Operation::PortFactory factory;
  return factory;
}

DeviceOverrides& Overrides() {
  static DeviceOverrides overrides;
  return overrides;
}

// Even parity, 8 data bits, two stop bits, DTR and RTS low, no flow control.
std::unique_ptr<RS232> OpenPosixPort(int port_number, long baud) {
  return OpenControllerPort(DevicePathForPort(port_number, &Overrides()), port_number, baud);
}

// What the user needs beyond the error name: which port and device were
// tried, and why the system refused it.
std::string OpenFailureDetail(const RS232& port, int port_number) {
  const std::string device = DevicePathForPort(port_number, &Overrides());
  const bool mapped = Overrides().count(port_number) != 0;
  std::string detail = "Port: COM" + std::to_string(port_number + 1) + "\nDevice: " + device;
  if (mapped) detail += " (mapped in the settings file, section [Devices])";
  const int err = PortSystemErrno(port);
  std::string reason = PortSystemReason(port);
  // A mapped device that is not there is an adapter that was pulled out.
  if (mapped && (err == ENOENT || err == ENODEV || err == ENXIO) && !DevicePresent(device)) {
    reason = "not plugged in (" + reason + ")";
  }
  if (!reason.empty()) detail += "\nReason: " + reason;
  if (err == EACCES || err == EPERM) {
    detail +=
        "\nSerial devices usually need membership of the 'dialout' group: "
        "run 'sudo adduser $USER dialout', then log out and in again.";
  }
  detail +=
      "\nOptions > Serial Port > Devices... lists the serial devices and maps a port to one.";
  return detail;
}

}  // namespace

Operation::Operation(QWidget* parent, int port_number, int baud_rate)
    : baud_rate(baud_rate), parent(parent), port_number(port_number) {
  saved_psf[0] = 0;
}

Operation::~Operation() {
  // The guard talks to the link and to this object: both still stand here.
  if (guard) guard->Restore();
  guard.reset();
}

void Operation::SetPortFactory(PortFactory factory) { InstalledFactory() = std::move(factory); }

void Operation::SetDeviceOverrides(const DeviceOverrides& overrides) { Overrides() = overrides; }

const DeviceOverrides& Operation::CurrentDeviceOverrides() { return Overrides(); }

int Operation::Run() {
  if (!OpenPort()) return ExecuteOffline();
  const int result = Execute();
  // Whatever Execute returned: a changed controller gets its own PSF back.
  if (restore_psf) RestoreSavedPsf(saved_psf);
  guard->Restore();
  return result;
}

int Operation::OpenPort() {
  std::unique_ptr<RS232> port = InstalledFactory() ? InstalledFactory()(port_number, baud_rate)
                                                   : OpenPosixPort(port_number, baud_rate);
  const int status = port ? port->ErrorStatus() : kGeneralError;
  if (status != 0) {
    const char* name = port ? port->ErrorName(status) : RS232ErrorName(status);
    char text[160];
    std::snprintf(text, sizeof text, "Unable to open %d\n%s\n", port_number + 1,
                  name != nullptr ? name : "???");
    const std::string detail = port ? OpenFailureDetail(*port, port_number) : std::string();
    port.reset();  // close before the user reads the message
    CurrentPrompter().Message(parent, text, kAppTitle, PromptButtons::Ok, PromptIcon::Warning,
                              detail);
    return 0;
  }
  link = std::make_unique<ControllerLink>(port.release());
  guard = std::make_unique<SavedSetGuard>(*link, *this, InstalledJournal(), Tag("operation"));
  return 1;
}

std::string Operation::JournalProblem() {
  const SetJournal* journal = InstalledJournal();
  return journal != nullptr ? journal->Problem() : std::string();
}

JournalTag Operation::Tag(const char* operation) const {
  char port[16];
  std::snprintf(port, sizeof port, "COM%d", port_number + 1);
  return {port, DevicePathForPort(port_number, &Overrides()), operation};
}

void Operation::RestoreSavedPsf(PsfImage& psf) {
  restore_psf = 0;
  if (!guard) return;
  if (!guard->Adopt(psf)) {
    // No durable copy: send it all the same, it is the controller's own.
    PsfImage sent = psf;
    if (link && SendBack(*link, sent)) return;
    KeepCopy(psf);
    return;
  }
  guard->Arm();
  guard->Restore();
}

void Operation::KeepCopy(const PsfImage& own) {
  const PromptAnswer answer = CurrentPrompter().Message(
      parent,
      std::string(kRestoreFailedMessage) + "\nDo you want to save the original Psf to a file?",
      kAppTitle, PromptButtons::YesNo, PromptIcon::Stop);
  if (answer == PromptAnswer::Yes) {
    PsfImage copy = own;
    SavePsfToFile(copy);
  }
}

void Operation::SavePsfToFile(PsfImage& psf) {
  PsfRecord record;
  record.Decode(psf.Data());
  std::string path;
  if (!CurrentPrompter().SavePsfFile(parent, path)) return;
  errno = 0;
  if (!WritePsfFile(record, path.c_str())) {
    // The file was to be the only copy of the controller's own set: say so.
    const int err = errno;
    CurrentPrompter().Message(parent, kPsfWriteFailedMessage, kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop, FileFailureDetail(path, err));
  }
}

}  // namespace kelvt
