#pragma once
// Appends scan rows to a CSV file without slowing the scan loop: Append only
// copies the row into a buffer sized at Open; Flush, called between scans by
// whoever owns the loop (a timer, the end of Run), writes what has gathered.
// Only a buffer that fills before a Flush is written from Append, so no row
// is ever lost. The file is created new and never replaces an existing one.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace kelvt {

class CsvRecorder {
 public:
  static constexpr std::size_t kDefaultBuffer = 1 << 20;

  CsvRecorder() = default;
  ~CsvRecorder() { Close(); }
  CsvRecorder(const CsvRecorder&) = delete;
  CsvRecorder& operator=(const CsvRecorder&) = delete;

  // Creates `path` (failing when it exists) and writes `header`. 1 on
  // success, 0 when the file cannot be created or written.
  int Open(const std::string& path, const char* header, std::size_t buffer = kDefaultBuffer);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }

  // Copies `length` bytes of `row`; 0 when the file is not open or a write
  // failed (the recording is then broken and stays so until Close).
  int Append(const char* row, std::size_t length);
  // Writes what is buffered; 0 on a write failure.
  int Flush();
  // Flushes and closes; 0 when anything was lost.
  int Close();
  long long Rows() const { return rows_; }
  bool Failed() const { return failed_; }

 private:
  int WriteOut();

  std::FILE* file_ = nullptr;
  std::string path_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  long long rows_ = 0;
  bool failed_ = false;
};

}  // namespace kelvt
