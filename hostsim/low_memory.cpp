#include "hostsim/low_memory.h"

#include <cstdint>
#include <string>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <sys/mman.h>
#endif

namespace hostsim {

namespace {

constexpr std::uint64_t kFourGib = std::uint64_t{1} << 32;

bool EndsBelowFourGib(const void* address, std::size_t bytes) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address)) + bytes <= kFourGib;
}

std::string NoLowMemory(std::size_t bytes) {
  return "no memory below 4 GiB is left for a block of " + std::to_string(bytes) + " bytes";
}

#ifdef _WIN32
// Windows has no flag for low memory: walk the address space from its first allocation
// granule up and take the first free region that is large enough and ends below 4 GiB.
void* MapLow(std::size_t bytes) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const std::uintptr_t granule = system.dwAllocationGranularity;
  std::uintptr_t at = granule;
  MEMORY_BASIC_INFORMATION region;
  while (at + bytes <= kFourGib &&
         VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == sizeof region) {
    const auto base = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
    const std::uintptr_t end = base + region.RegionSize;
    const std::uintptr_t start = (at + granule - 1) / granule * granule;
    if (region.State == MEM_FREE && start + bytes <= end) {
      if (void* block = VirtualAlloc(reinterpret_cast<void*>(start), bytes,
                                     MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
        return block;
      }
    }
    if (end <= at) break;
    at = end;
  }
  return nullptr;
}

void Unmap(void* address, std::size_t) {
  VirtualFree(address, 0, MEM_RELEASE);
}
#else
void* MapLow(std::size_t bytes) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
#if defined(__x86_64__)
  flags |= MAP_32BIT;  // the first 2 GiB of the address space
#endif
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void Unmap(void* address, std::size_t bytes) {
  munmap(address, bytes);
}
#endif

}  // namespace

void* AllocateLowMemory(std::size_t bytes, std::string* error) {
  if (bytes == 0) bytes = 1;
  if (static_cast<std::uint64_t>(bytes) >= kFourGib) {
    if (error) *error = NoLowMemory(bytes);
    return nullptr;
  }
  void* block = MapLow(bytes);
  if (block && !EndsBelowFourGib(block, bytes)) {
    Unmap(block, bytes);  // a system that ignored the request: never hand out a cut address
    block = nullptr;
  }
  if (!block && error) *error = NoLowMemory(bytes);
  return block;  // fresh mappings are zeroed
}

void FreeLowMemory(void* address, std::size_t bytes) {
  if (address) Unmap(address, bytes == 0 ? 1 : bytes);
}

}  // namespace hostsim
