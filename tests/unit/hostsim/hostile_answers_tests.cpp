// The hostile host's answers to FX_LoadEData, as a plug-in meets them through the export: records
// that come short or empty, and sizes larger than the buffer offered.
#include "hostsim/hostile_answers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "hostsim/score_records.h"
#include "hostsim/sim_host.h"

namespace hostsim {
namespace {

constexpr std::uint32_t kVersionWord = 0x0F000200;

Word WordOf(const void* pointer) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(pointer));
}

class HostileAnswersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host().Reset();
    host().Records().Put(kCategoryTag, ItemIdentity(1), Bytes(kRecordBytes, 0x5A));
  }
  void TearDown() override { host().Reset(); }

  static SimHost& host() { return SimHost::Instance(); }

  // FX_LoadEData of category `number` into a buffer of `capacity` bytes (a size query when
  // null); answers the host's answer, and what it said in the size variable.
  Word Load(std::uint16_t number, std::uint8_t* buffer, std::int32_t capacity, std::int32_t* said) {
    Identity id = ItemIdentity(number);
    *said = capacity;
    const Word args[] = {kCategoryTag, WordOf(id.data()), WordOf(buffer), WordOf(said),
                         kVersionWord};
    return host().Dispatch(ExportId::FX_LoadEData, args);
  }

  static constexpr std::int32_t kRecordBytes = 104;
};

TEST_F(HostileAnswersTest, ShortRecordsAreReportedAndDeliveredShort) {
  DeliverRecordsShort(host(), [](std::int32_t size) { return size / 2; });
  std::int32_t said = 0;
  EXPECT_EQ(Load(1, nullptr, 0, &said), 1u);
  EXPECT_EQ(said, kRecordBytes / 2);
  std::vector<std::uint8_t> buffer(kRecordBytes, 0);
  EXPECT_EQ(Load(1, buffer.data(), kRecordBytes, &said), 1u);
  EXPECT_EQ(said, kRecordBytes / 2);
  EXPECT_EQ(buffer[kRecordBytes / 2 - 1], 0x5A);
  EXPECT_EQ(buffer[kRecordBytes / 2], 0) << "delivered past the short size";
  // A smaller buffer still bounds what is delivered.
  EXPECT_EQ(Load(1, buffer.data(), 10, &said), 1u);
  EXPECT_EQ(said, 10);
  // A record the host does not have is refused, as before.
  EXPECT_EQ(Load(2, nullptr, 0, &said), 0u);
}

TEST_F(HostileAnswersTest, EmptyRecordsAreAnsweredWithNothing) {
  DeliverRecordsShort(host(), [](std::int32_t) { return 0; });
  std::int32_t said = -1;
  EXPECT_EQ(Load(1, nullptr, 0, &said), 1u);
  EXPECT_EQ(said, 0);
  std::vector<std::uint8_t> buffer(kRecordBytes, 0);
  EXPECT_EQ(Load(1, buffer.data(), kRecordBytes, &said), 1u);
  EXPECT_EQ(said, 0);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(HostileAnswersTest, SizesClaimMoreThanTheRecordAndTheBufferHold) {
  ClaimMoreThanOffered(host(), kOversize);
  std::int32_t said = 0;
  EXPECT_EQ(Load(1, nullptr, 0, &said), 1u);
  EXPECT_EQ(said, kRecordBytes + kOversize);
  // The bytes stay within the buffer; only the claim runs past it.
  std::vector<std::uint8_t> buffer(kRecordBytes + 8, 0);
  EXPECT_EQ(Load(1, buffer.data(), 40, &said), 1u);
  EXPECT_EQ(said, 40 + kOversize);
  EXPECT_EQ(buffer[39], 0x5A);
  EXPECT_EQ(buffer[40], 0);
}

TEST_F(HostileAnswersTest, LayOverTheBehaviourTheExportHasNow) {
  EXPECT_TRUE(host().BehaviorOf("FX_LoadEData"));
  EXPECT_FALSE(host().BehaviorOf("FX_NoSuchExport"));
  DeliverRecordsShort(host(), [](std::int32_t size) { return size - 4; });
  DeliverRecordsShort(host(), [](std::int32_t size) { return size - 4; });
  std::int32_t said = 0;
  EXPECT_EQ(Load(1, nullptr, 0, &said), 1u);
  EXPECT_EQ(said, kRecordBytes - 8) << "the second shortening takes what the first answers";
}

}  // namespace
}  // namespace hostsim
