#include "bench/heap_meter.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

// The benchmarks run on one thread; Google Benchmark's own allocations are counted too, which is
// why a run's peak is measured above what was held when it began.
// Counting costs a little on every allocation, so it is done only while a run is metered: the
// timed runs allocate as they would without the meter.
bool metering = false;
std::size_t in_use = 0;
std::size_t peak = 0;

void* Take(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (!block) throw std::bad_alloc();
  if (metering) {
    in_use += malloc_usable_size(block);
    if (in_use > peak) peak = in_use;
  }
  return block;
}

void Give(void* block) noexcept {
  if (!block) return;
  if (metering) {
    // A block from before the metering began is not in the count.
    const std::size_t size = malloc_usable_size(block);
    in_use = size > in_use ? 0 : in_use - size;
  }
  std::free(block);
}

}  // namespace

namespace bench {

void StartMetering() {
  metering = true;
  in_use = 0;
  peak = 0;
}

std::size_t StopMetering() {
  metering = false;
  return peak;
}

}  // namespace bench

void* operator new(std::size_t size) {
  return Take(size);
}
void* operator new[](std::size_t size) {
  return Take(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Take(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Take(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept {
  Give(block);
}
void operator delete[](void* block) noexcept {
  Give(block);
}
void operator delete(void* block, std::size_t) noexcept {
  Give(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  Give(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  Give(block);
}
