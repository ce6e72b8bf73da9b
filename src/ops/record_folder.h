#pragma once
// Where scan recordings go and what their files are called: one new file per
// recording, `<kind>-YYYYMMDD-HHMMSS.csv` in the record folder (the one the
// technician chose, else ~/Documents/kelvt when there is a ~/Documents, else
// the home folder).

#include <string>

#include "ops/scan_csv.h"

namespace kelvt {

// The default folder for the home folder `home`: home/Documents/kelvt when
// home/Documents is a folder, else `home` itself.
std::string DefaultRecordFolder(const std::string& home);
// The same for the user's home folder; empty when there is none.
std::string DefaultRecordFolder();

// "<folder>/<kind>-20261207-200553.csv"; `attempt` > 1 adds "-<attempt>"
// before ".csv", for a second recording started in the same second.
std::string RecordFilePath(const std::string& folder, const char* kind, const WallTime& t,
                           int attempt = 1);

// Creates the folder and its parents where missing. 1 on success; 0 with
// errno telling why (ENOTDIR when something in the way is not a folder).
int MakeRecordFolder(const std::string& folder);

}  // namespace kelvt
