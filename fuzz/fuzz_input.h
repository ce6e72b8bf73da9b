#pragma once
// Shared pieces of the fuzz targets: reading a fuzzer's bytes as a script of
// choices, and a property check that names what failed.

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Names the property that failed, then stops like any other finding.
#define Check(condition)                                                            \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      __builtin_trap();                                                             \
    }                                                                               \
  } while (0)

namespace kelvt::fuzz {

// The fuzzer's bytes consumed in order; past the end every read gives 0.
class Script {
 public:
  Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Four bytes, least significant first.
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  int32_t Int() { return static_cast<int32_t>(Word()); }
  // Copies up to n bytes; returns how many there were.
  size_t Take(char* out, size_t n) {
    size_t k = 0;
    for (; k < n && pos_ < size_; ++k) out[k] = static_cast<char>(data_[pos_++]);
    return k;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace kelvt::fuzz
