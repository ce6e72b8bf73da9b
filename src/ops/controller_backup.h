#pragma once
// Backing up one controller's set to a folder: find it on a device, read its
// set confirmed (as every kept set is), and write it as a new .PSF file named
// <letter>-<part number>-<date code>-<device name>.PSF. One device, one
// port, one thread: a fleet is backed up by running this once per device.

#include <string>

#include "link/controller_probe.h"

namespace kelvt {

struct BackupResult {
  std::string device;
  int open_status = 0;  // 0 opened, else the port's error code
  bool found = false;   // a controller answered
  char letter = 0;
  std::string part_number;
  std::string date_code;
  std::string file;   // the file written; empty when none
  std::string error;  // why not, for a person; empty when saved or no controller
  bool write_failed = false;
};

// The name of a backup file; every piece made safe for a file name (only
// letters, digits, '.', '_' and '-'; anything else becomes '-').
std::string BackupFileName(char letter, const std::string& part_number,
                           const std::string& date_code, const std::string& device);

// Backs up the controller on `device` into `folder` (which must exist);
// never over an existing file: a name in use gets "-2", "-3", ... before
// ".PSF".
BackupResult BackupController(const std::string& device, const std::string& folder,
                              const ProbeOpener& open = OpenProbePort);

}  // namespace kelvt
