#include "ops/controller_backup.h"

#include <cerrno>
#include <cstring>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "ops/confirmed_read.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "serial/port_factory.h"

namespace kelvt {
namespace {

constexpr int kLetterByte = 65;
constexpr int kPartNumberByte = 66;
constexpr int kPartNumberSize = 6;
constexpr int kDateCodeByte = 72;
constexpr int kDateCodeSize = 4;
constexpr int kMaxNameTries = 99;

std::string SafeForFileName(const std::string& text) {
  std::string safe;
  for (const char c : text) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
    const char put = keep ? c : '-';
    if (put == '-' && !safe.empty() && safe.back() == '-') continue;
    safe += put;
  }
  while (!safe.empty() && (safe.front() == '-' || safe.front() == '.')) safe.erase(0, 1);
  while (!safe.empty() && safe.back() == '-') safe.pop_back();
  return safe.empty() ? "unknown" : safe;
}

// The device as a short name: the by-id link's own name, a terminal's name
// under /dev, a network device's scheme, host and port.
std::string DeviceName(const std::string& device) {
  const std::string by_id = "/dev/serial/by-id/";
  if (device.rfind(by_id, 0) == 0) return device.substr(by_id.size());
  if (device.rfind("/dev/", 0) == 0) return device.substr(5);
  return device;
}

}  // namespace

std::string BackupFileName(char letter, const std::string& part_number,
                           const std::string& date_code, const std::string& device) {
  return SafeForFileName(std::string(1, letter)) + "-" + SafeForFileName(part_number) + "-" +
         SafeForFileName(date_code) + "-" + SafeForFileName(DeviceName(device)) + ".PSF";
}

BackupResult BackupController(const std::string& device, const std::string& folder,
                              const ProbeOpener& open) {
  BackupResult r;
  r.device = device;
  std::unique_ptr<RS232> port = open(device);
  r.open_status = port ? port->ErrorStatus() : kGeneralError;
  if (r.open_status != 0) {
    const char* name = port ? port->ErrorName(r.open_status) : RS232ErrorName(r.open_status);
    r.error = name != nullptr ? name : "???";
    const std::string why = port ? PortSystemReason(*port) : std::string();
    if (!why.empty()) r.error += ": " + why;
    return r;
  }
  ControllerLink link(port.release());
  SyncReply sync;
  if (!link.Synchronize(sync)) return r;  // no controller: nothing to save
  r.found = true;
  r.letter = sync.controller_id;
  PsfImage image;
  if (!ReadConfirmedPsf(link, image)) {
    r.error = "the set could not be read cleanly and confirmed";
    return r;
  }
  // As `psf get` writes it: the decoded set encoded again, so the file
  // loads and sends like any other.
  PsfRecord record;
  record.Decode(image.Data());
  char bytes[kPsfSize + 1] = {};
  record.Encode(bytes);
  r.letter = bytes[kLetterByte];
  // The controller keeps its part number and date code beside the set
  // (the set's own fields may be placeholders): the diagnostics name them.
  DiagnosticRecord diag;
  if (link.InputDiagnostics(diag)) {
    r.part_number = diag.part_number;
    r.date_code = diag.date_code;
  } else {
    r.part_number.assign(bytes + kPartNumberByte, kPartNumberSize);
    r.date_code.assign(bytes + kDateCodeByte, kDateCodeSize);
  }
  const std::string name = BackupFileName(r.letter, r.part_number, r.date_code, device);
  const std::string stem = folder + "/" + name.substr(0, name.size() - 4);
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string path = n == 1 ? stem + ".PSF" : stem + "-" + std::to_string(n) + ".PSF";
    if (CreateImageFile(path.c_str(), bytes)) {
      r.file = path;
      return r;
    }
    if (errno != EEXIST) {
      r.error = "cannot write " + path + ": " + std::strerror(errno);
      r.write_failed = true;
      return r;
    }
  }
  r.error = "every name up to " + stem + "-" + std::to_string(kMaxNameTries) + ".PSF is taken";
  r.write_failed = true;
  return r;
}

}  // namespace kelvt
