#include "ops/csv_recorder.h"

#include <cstring>

namespace kelvt {

int CsvRecorder::Open(const std::string& path, const char* header, std::size_t buffer) {
  Close();
  failed_ = false;
  rows_ = 0;
  used_ = 0;
  if (buffer < 256) buffer = 256;
  std::FILE* f = std::fopen(path.c_str(), "wx");  // x: never an existing file
  if (!f) return 0;
  std::setvbuf(f, nullptr, _IONBF, 0);
  file_ = f;
  path_ = path;
  buffer_.reset(new char[buffer]);
  capacity_ = buffer;
  std::size_t n = std::strlen(header);
  if (std::fwrite(header, 1, n, f) != n || std::fflush(f) != 0) {
    failed_ = true;
    return 0;
  }
  return 1;
}

int CsvRecorder::WriteOut() {
  if (used_ == 0) return 1;
  if (std::fwrite(buffer_.get(), 1, used_, file_) != used_ || std::fflush(file_) != 0) {
    failed_ = true;
  }
  used_ = 0;
  return failed_ ? 0 : 1;
}

int CsvRecorder::Append(const char* row, std::size_t length) {
  if (!file_ || failed_) return 0;
  if (used_ + length > capacity_) {
    if (!WriteOut()) return 0;
    if (length > capacity_) {
      // A row larger than the whole buffer goes straight out.
      if (std::fwrite(row, 1, length, file_) != length) failed_ = true;
      if (!failed_) ++rows_;
      return failed_ ? 0 : 1;
    }
  }
  std::memcpy(buffer_.get() + used_, row, length);
  used_ += length;
  ++rows_;
  return 1;
}

int CsvRecorder::Flush() {
  if (!file_ || failed_) return 0;
  return WriteOut();
}

int CsvRecorder::Close() {
  if (!file_) return failed_ ? 0 : 1;
  if (!failed_) WriteOut();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  buffer_.reset();
  capacity_ = used_ = 0;
  return failed_ ? 0 : 1;
}

}  // namespace kelvt
