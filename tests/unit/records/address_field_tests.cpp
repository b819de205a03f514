// The 32-bit address fields of host records, read and written at any byte offset on every build.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "vaz/records.h"

namespace {

using Record = std::array<unsigned char, 32>;

void* AddressOf(std::uintptr_t value) {
  return reinterpret_cast<void*>(value);
}

TEST(AddressField, ReadsLittleEndianAtAnUnalignedOffset) {
  Record record{};
  record[14] = 0x78;
  record[15] = 0x56;
  record[16] = 0x34;
  record[17] = 0x12;
  EXPECT_EQ(vaz::ReadAddressField(record.data(), kFrameEntriesOffset), AddressOf(0x12345678u));
}

// An address at or above 2 GiB must not sign-extend: on x86_64 0x80000000 read through a signed
// 32-bit value would become 0xFFFFFFFF80000000.
TEST(AddressField, AddressesAtOrAboveTwoGibAreZeroExtended) {
  Record record{};
  for (const std::uint32_t value : {0x80000000u, 0xFFFFF000u, 0xFFFFFFFFu}) {
    ASSERT_TRUE(vaz::WriteAddressField(record.data(), kFrameEntriesOffset, AddressOf(value)));
    EXPECT_EQ(
        reinterpret_cast<std::uintptr_t>(vaz::ReadAddressField(record.data(), kFrameEntriesOffset)),
        static_cast<std::uintptr_t>(value));
  }
}

TEST(AddressField, WritesOnlyItsFourBytes) {
  Record record;
  record.fill(0xEE);
  ASSERT_TRUE(vaz::WriteAddressField(record.data(), 3, AddressOf(0x0A0B0C0Du)));
  EXPECT_EQ(record[2], 0xEE);
  EXPECT_EQ(record[3], 0x0D);
  EXPECT_EQ(record[4], 0x0C);
  EXPECT_EQ(record[5], 0x0B);
  EXPECT_EQ(record[6], 0x0A);
  EXPECT_EQ(record[7], 0xEE);
}

TEST(AddressField, NullRoundTrips) {
  Record record;
  record.fill(0xEE);
  ASSERT_TRUE(vaz::WriteAddressField(record.data(), kFrameEntriesOffset, nullptr));
  EXPECT_EQ(vaz::ReadAddressField(record.data(), kFrameEntriesOffset), nullptr);
}

#if UINTPTR_MAX > UINT32_MAX
// An address above 4 GiB cannot be carried: it is refused and the field keeps its old value,
// rather than being cut to an address of somebody else's memory.
TEST(AddressField, AnAddressAboveFourGibIsRefusedAndTheFieldKept) {
  Record record{};
  ASSERT_TRUE(vaz::WriteAddressField(record.data(), kFrameEntriesOffset, AddressOf(0x1000u)));
  int local = 0;  // the stack of a 64-bit process lies above 4 GiB
  ASSERT_GT(reinterpret_cast<std::uintptr_t>(&local), std::uintptr_t{UINT32_MAX});
  EXPECT_FALSE(vaz::WriteAddressField(record.data(), kFrameEntriesOffset, &local));
  EXPECT_FALSE(vaz::WriteAddressField(record.data(), kFrameEntriesOffset,
                                      AddressOf(std::uintptr_t{1} << 32)));
  EXPECT_EQ(vaz::ReadAddressField(record.data(), kFrameEntriesOffset), AddressOf(0x1000u));
}
#endif

}  // namespace
