// What the fuzz targets share: a check that stops the run with a readable reason, and a reader
// that cuts the fuzzer's bytes into the pieces a target needs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// libFuzzer and the replay driver both take an abort as a found defect and keep the input.
#define FUZZ_CHECK(condition, ...)                                                         \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                   \
      std::fputc('\n', stderr);                                                            \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

namespace orvix::fuzz {

class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return Empty() ? 0 : data_[at_++]; }
  // Up to `count` bytes, fewer at the end of the input.
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = std::min(count, size_ - std::min(at_, size_));
    std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
    at_ += n;
    return out;
  }
  // The bytes up to the next `separator` (dropped) or the end.
  std::string Field(uint8_t separator) {
    std::string out;
    while (!Empty()) {
      const uint8_t b = data_[at_++];
      if (b == separator) break;
      out += static_cast<char>(b);
    }
    return out;
  }
  std::string Rest() {
    std::string out(data_ + std::min(at_, size_), data_ + size_);
    at_ = size_;
    return out;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A copy in a heap block of exactly its size, so that AddressSanitizer sees a read past the end.
class ExactCopy {
 public:
  explicit ExactCopy(const uint8_t* data, size_t size)
      : size_(size), data_(size ? new uint8_t[size] : nullptr) {
    if (size) std::memcpy(data_, data, size);
  }
  ~ExactCopy() { delete[] data_; }
  ExactCopy(const ExactCopy&) = delete;
  ExactCopy& operator=(const ExactCopy&) = delete;
  const uint8_t* data() const { return data_; }
  int size() const { return static_cast<int>(size_); }

 private:
  size_t size_;
  uint8_t* data_;
};

}  // namespace orvix::fuzz
