#pragma once
// UUCP lock files (LCK..ttyUSB0 in /var/lock), the lock that terminal
// programs such as minicom or picocom take on a serial device. A device whose
// lock names a live process is someone else's; a lock whose process is gone
// is stale and ignored (left where it is: it is not ours to delete).

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvt {

// The live process, other than this one, that holds a UUCP lock on
// `device_path` (looked up under its own name and under the name of the
// device a link leads to); 0 when none does.
pid_t UucpLockHolder(const std::string& device_path, std::string* lock_file = nullptr);

// The folders searched for lock files; empty restores /var/lock and /run/lock.
void SetUucpLockDirectories(std::vector<std::string> directories);

// The process a lock file's contents name: ASCII digits (the usual form,
// padded with blanks) or a 4-byte binary number (the old form); 0 for anything else.
pid_t ParseUucpLock(const char* data, size_t size);

}  // namespace kelvt
