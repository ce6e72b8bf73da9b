#pragma once
// The .PSF text file: a title, the date of writing, a version line and the
// 81 image bytes, one per line, each followed by a comment naming it.

#include <cstddef>
#include <ctime>

namespace kelvt {

struct PsfRecord;

// What the user is told when WritePsfFile / WriteImageFile return 0; the
// path and the system's reason (strerror(errno)) belong in the detail.
inline constexpr const char kPsfWriteFailedMessage[] = "Unable to save the PSF file.";

// Longest text ReadPsfFile looks at: 84 reads of at most 99 characters, a
// CR LF pair counting as one, plus the byte after the last read.
inline constexpr std::size_t kPsfReadLimit = 84 * 100 + 1;

// Comment written after image byte `index` (0..80), starting with two blanks
// and "//"; "" for any other index.
const char* ByteComment(int index);

// The date line in asctime's layout ("Wed Jun 30 21:49:08 1993\n"), always
// with English names whatever the locale. out holds at least 32 bytes.
void FormatAsctime(const std::tm& when, char* out);

// Writes the 84 lines for an 81-byte image, replacing any file at `path`
// through a synced temporary file beside it. 1 on success; 0 when the file
// cannot be created or fully written, with errno telling why: the file that
// was at `path` is then as it was.
int WriteImageFile(const char* path, const char* image);
// Writes them to a new file (O_EXCL, O_NOFOLLOW, mode 0600; EEXIST when
// `path` exists, a symbolic link included). Nothing is left after a failure.
int CreateImageFile(const char* path, const char* image);
// The file's text for `image` as WriteImageFile writes it, dated now, into
// `text`; its length, or 0 when it did not fit `size` (6144 always does).
std::size_t ImageFileText(const char* image, char* text, std::size_t size);
// Encodes the record and writes it with WriteImageFile; same result.
int WritePsfFile(const PsfRecord& record, const char* path);

// Collects the 81 value bytes from a file's text. 1 when the version line
// and all 81 value lines are accepted, else 0 (image then undefined).
int ParsePsfText(const char* data, std::size_t size, char* image);
// ParsePsfText, then Decode into `record`; 1 only when accepted and the
// command byte is C or E. The record is untouched when the text is rejected
// before decoding, but filled when only the command byte is wrong: read into
// a scratch record and take it over on 1.
int ReadPsfText(PsfRecord& record, const char* data, std::size_t size);
// Reads the file at `path` with ReadPsfText; 0 when it cannot be opened or
// read, is not a regular file (a FIFO, device or folder is refused without an
// open that could wait) or is larger than 1 MiB (errno EFBIG).
int ReadPsfFile(PsfRecord& record, const char* path);

}  // namespace kelvt
