// Shared by the fuzz targets: the check that stops a run when an invariant fails (libFuzzer then
// keeps the input as a crash artifact), and a reader that hands out the input's bytes one value at
// a time, answering 0 once they are used up so that every input, however short, is a whole case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                            \
  do {                                                                                         \
    if (!(condition)) {                                                                        \
      std::fprintf(stderr, "\nfuzz oracle failure at %s:%d: %s\n  (%s)\n", __FILE__, __LINE__, \
                   what, #condition);                                                          \
      std::abort();                                                                            \
    }                                                                                          \
  } while (0)

namespace fuzz {

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return position_ >= size_; }
  std::size_t Remaining() const { return Empty() ? 0 : size_ - position_; }

  std::uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
  std::uint16_t Word() {
    const std::uint16_t low = Byte();
    return static_cast<std::uint16_t>(low | (Byte() << 8));
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | (static_cast<std::uint32_t>(Word()) << 16);
  }
  // A value from 0 to `limit` - 1 (0 when `limit` is 0).
  std::uint32_t Below(std::uint32_t limit) { return limit == 0 ? 0 : Byte() % limit; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

}  // namespace fuzz
