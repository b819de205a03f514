// The three records whose host answers the binding does not take as they come.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/unit/records/records_fixture.h"

namespace records_test {
namespace {

constexpr std::uint32_t kSOSD = 0x534F5344;
constexpr std::uint32_t kotSD = 0x6F745344;

// --- Records cleared before the host fills them
// ----------------------------------------------------

struct ClearedTag {
  std::uint32_t tag;
  std::int32_t cleared;
};

class PreclearedLoad : public RecordsTest, public ::testing::WithParamInterface<ClearedTag> {
 protected:
  std::uint32_t tag() const { return GetParam().tag; }
  std::int32_t cleared() const { return GetParam().cleared; }

  // The host answers 0 to the record and first writes `value` at byte `at` (when `at` >= 0).
  void HostRefusesAfterWriting(std::int32_t at, std::uint8_t value) {
    host().SetBehavior("FX_LoadEData", [at, value](const Word* args) -> Word {
      if (at >= 0 && args[2]) At<std::uint8_t>(args[2])[at] = value;
      return 0;
    });
  }

  short Load(std::vector<std::uint8_t>& buffer, std::int32_t* size) {
    EDataID id = ItemId(1);
    return FX_LoadEData(tag(), &id, buffer.data(), size, kScorixApiVersion);
  }
};

TEST_P(PreclearedLoad, HostAnsweringZeroWithoutWritingFails) {
  HostRefusesAfterWriting(-1, 0);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cleared() + 10), 0xAB);
  std::int32_t size = static_cast<std::int32_t>(buffer.size());
  EXPECT_EQ(Load(buffer, &size), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + cleared()),
            std::vector<std::uint8_t>(static_cast<std::size_t>(cleared()), 0));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + cleared(), buffer.end()),
            std::vector<std::uint8_t>(10, 0xAB));
  EXPECT_EQ(HostLoads(), 1);
}

TEST_P(PreclearedLoad, HostAnsweringZeroAfterWritingSucceeds) {
  for (std::int32_t at : {0, cleared() - 1}) {
    HostRefusesAfterWriting(at, 0x01);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cleared()), 0xAB);
    std::int32_t size = cleared();
    EXPECT_EQ(Load(buffer, &size), 1) << "byte " << at;
  }
}

TEST_P(PreclearedLoad, OnlyTheClearedBytesCount) {
  HostRefusesAfterWriting(cleared(), 0x01);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cleared() + 4), 0xAB);
  std::int32_t size = static_cast<std::int32_t>(buffer.size());
  EXPECT_EQ(Load(buffer, &size), 0);
}

TEST_P(PreclearedLoad, ClearingStopsAtTheCapacity) {
  HostRefusesAfterWriting(-1, 0);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cleared()), 0xAB);
  std::int32_t size = 20;
  EXPECT_EQ(Load(buffer, &size), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 20),
            std::vector<std::uint8_t>(20, 0));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 20, buffer.end()),
            std::vector<std::uint8_t>(buffer.size() - 20, 0xAB));

  size = -5;
  std::fill(buffer.begin(), buffer.end(), 0xAB);
  EXPECT_EQ(Load(buffer, &size), 0);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(buffer.size(), 0xAB));
}

TEST_P(PreclearedLoad, HostAnsweringYesIsAskedAgainPlainly) {
  host().Records().Put(tag(), ItemIdentity(1), Bytes(static_cast<std::size_t>(cleared()), 0x42));
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(cleared()), 0xAB);
  std::int32_t size = cleared();
  EXPECT_EQ(Load(buffer, &size), 1);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(buffer.size(), 0x42));
  EXPECT_EQ(HostLoads(), 2);

  // The second, plain answer is the one returned.
  host().ClearCalls();
  host().FailCall("FX_LoadEData", 4);
  EXPECT_EQ(Load(buffer, &size), 0);
}

TEST_P(PreclearedLoad, SizeQueryIsAPlainRequest) {
  host().Records().Put(tag(), ItemIdentity(1), Bytes(7, 0x42));
  EDataID id = ItemId(1);
  std::int32_t size = 0;
  EXPECT_EQ(FX_LoadEData(tag(), &id, nullptr, &size, kScorixApiVersion), 1);
  EXPECT_EQ(size, 7);
  EXPECT_EQ(HostLoads(), 1);
}

INSTANTIATE_TEST_SUITE_P(BothTags, PreclearedLoad,
                         ::testing::Values(ClearedTag{0x4F044958, 48}, ClearedTag{0x4F096649, 108}),
                         [](const ::testing::TestParamInfo<ClearedTag>& info) {
                           return info.param.cleared == 48 ? "O4IX" : "O9fI";
                         });

// --- A record that stands in as zeros when only its companion exists
// --------------------------------

class CompanionLoad : public RecordsTest {
 protected:
  void PutCompanion(std::uint16_t cmper) {
    host().Records().Put(kotSD, ItemIdentity(cmper, 0), Bytes(12, 0x99));
  }

  short Load(std::vector<std::uint8_t>& buffer, std::int32_t* size, std::int16_t inci = 3) {
    EDataID id = ItemId(5, inci);
    return FX_LoadEData(kSOSD, &id, buffer.data(), size, kScorixApiVersion);
  }
};

TEST_F(CompanionLoad, RefusedRecordWithCompanionLoadsAs66Zeros) {
  PutCompanion(5);
  std::vector<std::uint8_t> buffer(100, 0xAB);
  std::int32_t size = 100;
  EXPECT_EQ(Load(buffer, &size), 1);
  EXPECT_EQ(size, 100);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 66),
            std::vector<std::uint8_t>(66, 0));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 66, buffer.end()),
            std::vector<std::uint8_t>(34, 0xAB));
}

TEST_F(CompanionLoad, ZerosStopAtTheCapacity) {
  PutCompanion(5);
  std::vector<std::uint8_t> buffer(100, 0xAB);
  std::int32_t size = 40;
  EXPECT_EQ(Load(buffer, &size), 1);
  EXPECT_EQ(size, 40);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 40),
            std::vector<std::uint8_t>(40, 0));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin() + 40, buffer.end()),
            std::vector<std::uint8_t>(60, 0xAB));

  for (std::int32_t capacity : {0, -1, -100}) {
    std::fill(buffer.begin(), buffer.end(), 0xAB);
    size = capacity;
    EXPECT_EQ(Load(buffer, &size), 1);
    EXPECT_EQ(size, capacity);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(100, 0xAB)) << capacity;
  }
}

TEST_F(CompanionLoad, SizeQueryReports66) {
  PutCompanion(5);
  EDataID id = ItemId(5, 3);
  std::int32_t size = 0;
  EXPECT_EQ(FX_LoadEData(kSOSD, &id, nullptr, &size, kScorixApiVersion), 1);
  EXPECT_EQ(size, 66);
}

TEST_F(CompanionLoad, WithoutCompanionTheLoadFails) {
  PutCompanion(6);  // another cmper
  std::vector<std::uint8_t> buffer(100, 0xAB);
  std::int32_t size = 100;
  EXPECT_EQ(Load(buffer, &size), 0);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(100, 0xAB));
  EDataID id = ItemId(5, 3);
  std::int32_t query = 0;
  EXPECT_EQ(FX_LoadEData(kSOSD, &id, nullptr, &query, kScorixApiVersion), 0);
}

TEST_F(CompanionLoad, CompanionIsSoughtAtIncidentZeroWithTheRestOfTheIdentity) {
  SpyOnRecords();
  Identity companion = ItemIdentity(5, 0);
  companion[4] = 1;
  companion[5] = 2;
  companion[6] = 3;
  companion[7] = 4;
  host().Records().Put(kotSD, companion, Bytes(12, 0x99));

  EDataID id = ItemId(5, 3);
  id.bytes[4] = 1;
  id.bytes[5] = 2;
  id.bytes[6] = 3;
  id.bytes[7] = 4;
  std::vector<std::uint8_t> buffer(66, 0xAB);
  std::int32_t size = 66;
  ASSERT_EQ(FX_LoadEData(kSOSD, &id, buffer.data(), &size, 0x0A000000), 1);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(66, 0));
  EXPECT_EQ(id.other.inci, 3);  // the caller's identity is left alone

  const auto loads = RequestsOf("FX_LoadEData");
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(loads[0].tag, kSOSD);
  EXPECT_EQ(loads[0].version, 0x0A000000u);
  EXPECT_EQ(loads[1].tag, kotSD);
  EXPECT_EQ(loads[1].id, companion);
  EXPECT_EQ(loads[1].size, 12);
  EXPECT_EQ(loads[1].version, 0x0F000200u);
}

TEST_F(CompanionLoad, BytesWrittenByARefusingHostAreZeroed) {
  host().SetBehavior("FX_LoadEData", [](const Word* args) -> Word {
    if (args[0] == kotSD) return 1;
    if (args[2]) std::fill_n(At<std::uint8_t>(args[2]), 66, 0xEE);
    return 0;
  });
  std::vector<std::uint8_t> buffer(66, 0xAB);
  std::int32_t size = 66;
  EXPECT_EQ(Load(buffer, &size), 1);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(66, 0));
}

TEST_F(CompanionLoad, DeliveredRecordIsAskedForAgainPlainly) {
  host().Records().Put(kSOSD, ItemIdentity(5, 3), Bytes(66, 0x42));
  std::vector<std::uint8_t> buffer(66, 0xAB);
  std::int32_t size = 66;
  EXPECT_EQ(Load(buffer, &size), 1);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(66, 0x42));
  EXPECT_EQ(HostLoads(), 2);
  for (const hostsim::CallRecord& call : host().Calls()) EXPECT_EQ(call.args[0], kSOSD);
}

// --- Requests without an identity or a size variable ---------------------------------------------

using RecordRequests = RecordsTest;

TEST_F(RecordRequests, WithoutIdentityOrSizeVariableTheHostIsNotAsked) {
  std::vector<std::uint8_t> buffer(66);
  std::int32_t size = 66;
  EDataID id = ItemId(5);
  EXPECT_EQ(FX_LoadEData(kSOSD, nullptr, buffer.data(), &size, kScorixApiVersion), 0);
  EXPECT_EQ(FX_LoadEData(kSOSD, &id, buffer.data(), nullptr, kScorixApiVersion), 0);
  EXPECT_EQ(FX_SaveEData(0x70665443, nullptr, buffer.data(), 60, kScorixApiVersion), 0);
  EXPECT_EQ(host().Calls().size(), 0u);
}

}  // namespace
}  // namespace records_test
