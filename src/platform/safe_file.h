#pragma once
// Writing and reading the user's files without losing them: a file is
// replaced only by a complete, synced copy; a rescue file is always a new
// file of the user's own; a reader never blocks on something that is not a
// regular file and never takes more than it can use.
//
// Results are 1 for success and 0 for failure, with errno telling why.

#include <cstddef>
#include <string>

namespace kelvt {

// Largest file the settings and .PSF readers take.
inline constexpr std::size_t kUserFileLimit = 1024 * 1024;

// Writes `size` bytes to a temporary file beside `path` (through a symbolic
// link: beside the file it names), syncs it, renames it over `path` and syncs
// the folder. The file at `path` stays as it was after any failure, and the
// temporary file is removed. A new file gets `new_mode` less the umask; an
// existing one keeps its mode. When only the folder's sync failed after the
// rename, the result is 0 but the new file is in place: `renamed` (if given)
// tells that apart (true from the rename on).
int ReplaceFileDurably(const char* path, const char* data, std::size_t size,
                       unsigned new_mode = 0644, bool* renamed = nullptr);

// Creates `path` as a new file (never through a symbolic link, never over an
// existing file: EEXIST), mode 0600 less the umask, writes and syncs it.
// Nothing is left behind after a failed write; when only the folder's sync
// failed (0, errno set) the complete file is there.
int CreateNewFile(const char* path, const char* data, std::size_t size);

// Whether others may create files in the folder (world-writable, like /tmp).
bool FolderIsWorldWritable(const char* folder);

// Syncs the folder that holds `path`.
int SyncFolderOf(const char* path);

// Why ReadUserFile refused a file.
enum class ReadRefusal {
  kNone,
  kCannotOpen,     // errno says why (ENOENT: no file)
  kNotRegular,     // a FIFO, device, socket or folder
  kTooLarge,       // over the limit
  kReadFailed,     // errno says why
};

// Reads the whole regular file at `path` into `out`, refusing anything that is
// not a regular file (checked before any read, with an open that cannot
// block) or larger than `limit`.
ReadRefusal ReadUserFile(const char* path, std::size_t limit, std::string& out);
// Words for a refusal, for the user: "not a regular file", "larger than 1 MiB", ...
std::string RefusalText(ReadRefusal refusal, int err);

// Creates `folder` and its parents (mode 0700 for those it creates).
int MakeFolders(const std::string& folder, unsigned mode = 0700);

}  // namespace kelvt
