// Memory the simulated host lends by a 32-bit address: every block ends below 4 GiB, and when no
// such memory is left the caller gets a clear error instead of an address that would be cut.
#include "hostsim/low_memory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace hostsim {
namespace {

using ::testing::HasSubstr;

constexpr std::uint64_t kFourGib = std::uint64_t{1} << 32;

bool EndsBelowFourGib(const void* block, std::size_t bytes) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(block)) + bytes <= kFourGib;
}

TEST(LowMemory, BlocksAreZeroedWritableAndBelowFourGib) {
  std::string error;
  for (const std::size_t bytes : {std::size_t{0}, std::size_t{146}, std::size_t{1} << 20}) {
    auto* block = static_cast<unsigned char*>(AllocateLowMemory(bytes, &error));
    ASSERT_NE(block, nullptr) << error;
    EXPECT_TRUE(EndsBelowFourGib(block, bytes));
    const std::size_t used = bytes == 0 ? 1 : bytes;
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[used - 1], 0);
    std::memset(block, 0xA5, used);
    FreeLowMemory(block, bytes);
  }
}

TEST(LowMemory, ARequestThatCannotFitBelowFourGibIsAnError) {
  std::string error;
  // 4 GiB itself on 64-bit builds; on 32-bit builds nearly the whole address space.
  const std::size_t too_large =
      sizeof(std::size_t) > 4 ? static_cast<std::size_t>(kFourGib) : std::size_t{0xFFF00000u};
  EXPECT_EQ(AllocateLowMemory(too_large, &error), nullptr);
  EXPECT_THAT(error, HasSubstr("no memory below 4 GiB is left"));
  EXPECT_THAT(error, HasSubstr(std::to_string(too_large) + " bytes"));
}

// Takes low memory in large blocks until none is left: every block handed out lies below 4 GiB,
// and the first refusal says so. Nothing is touched, so no memory is really used.
TEST(LowMemory, RunningOutIsAnErrorNeverACutAddress) {
  constexpr std::size_t kBlock = std::size_t{256} << 20;
  std::vector<void*> blocks;
  std::string error;
  for (int i = 0; i < 24 && error.empty(); ++i) {
    if (void* block = AllocateLowMemory(kBlock, &error)) {
      EXPECT_TRUE(EndsBelowFourGib(block, kBlock));
      blocks.push_back(block);
    }
  }
  for (void* block : blocks) FreeLowMemory(block, kBlock);
  EXPECT_THAT(error, HasSubstr("no memory below 4 GiB is left for a block of"));
  EXPECT_LT(blocks.size(), 24u);
}

TEST(LowMemory, FreeingNullDoesNothing) {
  FreeLowMemory(nullptr, 64);
  std::string error;
  void* block = AllocateLowMemory(64, &error);
  ASSERT_NE(block, nullptr) << error;
  FreeLowMemory(block, 64);
}

}  // namespace
}  // namespace hostsim
