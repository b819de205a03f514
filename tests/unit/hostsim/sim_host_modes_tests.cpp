// The simulated host serving the staff, clef, region, text and incident records: new records
// numbered by the host for every kind, and the two modes that test a plug-in's own bounds (an
// answer for every incident, a size that changes between two queries), together with the fault
// injection every export has.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "hostsim/sim_host.h"
#include "hostsim/staff_records.h"

namespace hostsim {
namespace {

constexpr std::uint32_t kTextTag = 0x74787431;      // 'txt1'
constexpr std::uint32_t kIncidentTag = 0x626C6B31;  // 'blk1'

const char kDocument[] = R"({
  "texts": [ {"tag": "0x74787431", "number": 1, "text": "Allegro"},
             {"tag": "0x74787431", "number": 2, "text": "Fine", "terminated": false} ],
  "incidents": [
    {"tag": "0x626C6B31", "number": 3, "incidents": [
      {"inci": 0, "bytes": "0100000002000000"}, {"inci": 1, "bytes": "0300000004000000"},
      {"inci": 2, "bytes": "05000000"}, {"inci": 4, "bytes": "070000000800000009000000"}]},
    {"tag": "0x626C6B31", "number": 5, "incidents": [
      {"inci": 2, "bytes": "aabb"}, {"inci": 6, "bytes": "ccdd"}]} ],
  "staves": [ {"number": 1}, {"number": 2, "interval": 1, "alteration": 2} ],
  "currentStaves": [ {"staff": 2, "measure": 9, "position": 512} ],
  "clefs": [ {"number": 0, "baseline": 0}, {"number": 1, "baseline": -12} ],
  "measureNumberRegions": [
    {"number": 1, "startMeasure": 1, "endMeasure": 10, "startNumber": 1},
    {"number": 2, "layout": 88, "startMeasure": 11, "endMeasure": 24, "startNumber": 1} ]
})";

Word AddressWord(const void* pointer) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(pointer));
}

class SimHostModes : public ::testing::Test {
 protected:
  void SetUp() override {
    host().Reset();
    std::string error;
    ASSERT_TRUE(LoadDocument(kDocument, &host().Records(), &error)) << error;
  }
  void TearDown() override { host().Reset(); }

  static SimHost& host() { return SimHost::Instance(); }

  Word Call(ExportId id, std::vector<Word> args) {
    args.resize(static_cast<std::size_t>(ExportWordCount(id)), 0);
    return host().Dispatch(id, args.data());
  }

  // FX_LoadEData with a null buffer: the size the host reports, or -1 when it answers 0.
  std::int32_t QuerySize(std::uint32_t tag, Identity id) {
    std::int32_t size = -7;
    const Word answer =
        Call(ExportId::FX_LoadEData, {tag, AddressWord(id.data()), 0, AddressWord(&size), 0});
    return answer ? size : -1;
  }

  // FX_LoadEData into a buffer of `capacity` bytes filled with 0xEE beforehand; nothing when the
  // host answers 0. The buffer comes back whole, with *size the count delivered.
  struct Loaded {
    bool answered = false;
    std::int32_t size = 0;
    Bytes buffer;
  };
  Loaded Load(std::uint32_t tag, Identity id, std::int32_t capacity) {
    Loaded loaded;
    loaded.buffer.assign(static_cast<std::size_t>(capacity) + 4, 0xEE);
    loaded.size = capacity;
    loaded.answered = Call(ExportId::FX_LoadEData,
                           {tag, AddressWord(id.data()), AddressWord(loaded.buffer.data()),
                            AddressWord(&loaded.size), 0}) != 0;
    return loaded;
  }

  Word Create(std::uint32_t tag, Identity* id, Bytes record) {
    return Call(ExportId::FX_CreateEData, {tag, AddressWord(id->data()), AddressWord(record.data()),
                                           static_cast<Word>(record.size()), 0});
  }
};

// --- New records numbered by the host ---

struct CreateCase {
  const char* kind;
  std::uint32_t tag;
  Identity asked;     // item number 0xFFFF, the rest as the plug-in gives it
  Identity expected;  // the identity the host writes back
  std::size_t size;
};

class SimHostCreate : public SimHostModes, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(SimHostCreate, GivesTheNextFreeNumberOfTheKindAndWritesItBack) {
  const CreateCase& c = GetParam();
  Identity id = c.asked;
  Bytes record(c.size, 0x5A);
  const RecordStore before = host().Records();
  ASSERT_EQ(Create(c.tag, &id, record), 1u);
  EXPECT_EQ(id, c.expected) << "the identity written back";
  const Bytes* stored = host().Records().Find(c.tag, c.expected);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(*stored, record);
  EXPECT_EQ(host().Records().Records().size(), before.Records().size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SimHostCreate,
    ::testing::Values(
        CreateCase{"text", kTextTag, ItemIdentity(0xFFFF), ItemIdentity(3), 6},
        CreateCase{"incident", kIncidentTag, ItemIdentity(0xFFFF, 2), ItemIdentity(6, 2), 8},
        CreateCase{"staff", kStaffTag, ItemIdentity(0xFFFF), ItemIdentity(3), 114},
        CreateCase{"currentstaff", kCurrentStaffTag, Identity{0xFF, 0xFF, 9, 0, 0, 2, 0, 0},
                   Identity{3, 0, 9, 0, 0, 2, 0, 0}, 114},
        CreateCase{"clef", kClefTag, ItemIdentity(0xFFFF), ItemIdentity(2), 18},
        CreateCase{"region", kMeasureNumberRegionTag, ItemIdentity(0xFFFF), ItemIdentity(3), 196},
        CreateCase{"oldregion", kMeasureNumberRegionTag, ItemIdentity(0xFFFF), ItemIdentity(3),
                   88}),
    [](const ::testing::TestParamInfo<CreateCase>& info) { return std::string(info.param.kind); });

TEST_F(SimHostModes, TheFirstClefCreatedIsNumberZero) {
  host().Records().Clear();
  Identity id = ItemIdentity(0xFFFF);
  ASSERT_EQ(Create(kClefTag, &id, Bytes(18, 1)), 1u);
  EXPECT_EQ(IdentityWord(id, 0), 0) << "clefs are counted from 0";
  Identity staff = ItemIdentity(0xFFFF);
  ASSERT_EQ(Create(kStaffTag, &staff, Bytes(114, 1)), 1u);
  EXPECT_EQ(IdentityWord(staff, 0), 1) << "staves from 1";
}

TEST_F(SimHostModes, CreateAfterTheHighestNumberTakesAGapNeverFFFF) {
  host().Records().Put(kStaffTag, ItemIdentity(0xFFFE), Bytes(114, 1));
  Identity id = ItemIdentity(0xFFFF);
  ASSERT_EQ(Create(kStaffTag, &id, Bytes(114, 2)), 1u);
  EXPECT_EQ(IdentityWord(id, 0), 3) << "staves 1 and 2 are taken";
  EXPECT_EQ(host().Records().Find(kStaffTag, ItemIdentity(0xFFFF)), nullptr);
}

TEST_F(SimHostModes, CreateAnswersZeroWhenNoNumberIsLeft) {
  for (std::uint32_t number = 1; number <= 0xFFFE; ++number) {
    host().Records().Put(kTextTag, ItemIdentity(static_cast<std::uint16_t>(number)), Bytes{});
  }
  const RecordStore before = host().Records();
  Identity id = ItemIdentity(0xFFFF);
  EXPECT_EQ(Create(kTextTag, &id, Bytes{1}), 0u);
  EXPECT_EQ(id, ItemIdentity(0xFFFF)) << "the identity is left alone";
  EXPECT_TRUE(host().Records() == before);
}

TEST_F(SimHostModes, ACreateMadeToFailCreatesNothing) {
  host().FailCall("FX_CreateEData", 1);
  Identity id = ItemIdentity(0xFFFF);
  const RecordStore before = host().Records();
  EXPECT_EQ(Create(kMeasureNumberRegionTag, &id, Bytes(196, 0)), 0u);
  EXPECT_EQ(id, ItemIdentity(0xFFFF));
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(Create(kMeasureNumberRegionTag, &id, Bytes(196, 0)), 1u) << "only the first fails";
  EXPECT_EQ(IdentityWord(id, 0), 3);
}

// --- An answer for every incident ---

TEST_F(SimHostModes, ByDefaultAMissingIncidentIsNotThere) {
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), -1);
  EXPECT_FALSE(Load(kIncidentTag, ItemIdentity(3, 3), 16).answered);
}

TEST_F(SimHostModes, EveryIncidentAnswersWithTheItemsLowestIncident) {
  host().AnswerEveryIncident(kIncidentTag, true);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), 8) << "the gap";
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 5)), 8) << "after the last";
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 32767)), 8);
  const Loaded phantom = Load(kIncidentTag, ItemIdentity(3, 9), 16);
  ASSERT_TRUE(phantom.answered);
  EXPECT_EQ(phantom.size, 8);
  EXPECT_EQ(Bytes(phantom.buffer.begin(), phantom.buffer.begin() + 9),
            (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 0xEE}));
  // Stored incidents still answer as themselves.
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 2)), 4);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 4)), 12);
}

TEST_F(SimHostModes, EveryIncidentOfAnItemWithoutIncidentZeroAnswersItsLowest) {
  host().AnswerEveryIncident(kIncidentTag, true);
  const Loaded phantom = Load(kIncidentTag, ItemIdentity(5, 0), 8);
  ASSERT_TRUE(phantom.answered);
  EXPECT_EQ(phantom.size, 2);
  EXPECT_EQ(phantom.buffer[0], 0xAA) << "incident 2, not 6";
  EXPECT_EQ(phantom.buffer[1], 0xBB);
  EXPECT_EQ(Load(kIncidentTag, ItemIdentity(5, 7), 8).buffer[0], 0xAA);
}

TEST_F(SimHostModes, EveryIncidentOfAnItemWithNoneIsFourZeroBytes) {
  host().AnswerEveryIncident(kIncidentTag, true);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(4, 0)), 4);
  const Loaded phantom = Load(kIncidentTag, ItemIdentity(4, 12), 8);
  ASSERT_TRUE(phantom.answered);
  EXPECT_EQ(phantom.size, 4);
  EXPECT_EQ(phantom.buffer, (Bytes{0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
  const Loaded short_buffer = Load(kIncidentTag, ItemIdentity(4, 12), 2);
  EXPECT_EQ(short_buffer.size, 2) << "no more than the capacity";
  EXPECT_EQ(short_buffer.buffer[2], 0xEE);
}

TEST_F(SimHostModes, AWalkOverIncidentsNeverHearsTheEndFromTheHost) {
  host().AnswerEveryIncident(kIncidentTag, true);
  int answered = 0;
  for (int inci = 0; inci <= 32767; ++inci) {
    if (QuerySize(kIncidentTag, ItemIdentity(3, static_cast<std::int16_t>(inci))) < 0) break;
    ++answered;
  }
  EXPECT_EQ(answered, 32768) << "only the walk's own bound stops it";
}

TEST_F(SimHostModes, EveryIncidentChangesNothingElse) {
  host().AnswerEveryIncident(kIncidentTag, true);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(9)), -1) << "another tag";
  EXPECT_EQ(host().Records().Find(kIncidentTag, ItemIdentity(3, 3)), nullptr)
      << "nothing is added to the document";
  Identity id = ItemIdentity(3, 3);
  Bytes record(8, 1);
  EXPECT_EQ(Call(ExportId::FX_SaveEData,
                 {kIncidentTag, AddressWord(id.data()), AddressWord(record.data()), 8, 0}),
            0u)
      << "a save still needs a stored record";
  Identity walk = ItemIdentity(3, 4);
  EXPECT_EQ(Call(ExportId::FX_NextEData, {kIncidentTag, AddressWord(walk.data())}), 1u);
  EXPECT_EQ(walk, ItemIdentity(5, 2)) << "the walk steps to the next stored record";
}

TEST_F(SimHostModes, EveryIncidentTurnsOffAndIsOffAfterReset) {
  host().AnswerEveryIncident(kIncidentTag, true);
  host().AnswerEveryIncident(kIncidentTag, false);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), -1);
  host().AnswerEveryIncident(kIncidentTag, true);
  const RecordStore records = host().Records();
  host().Reset();
  host().Records() = records;
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), -1);
}

TEST_F(SimHostModes, EveryIncidentStillObeysInjectedFaults) {
  host().AnswerEveryIncident(kIncidentTag, true);
  host().FailCall("FX_LoadEData", 2);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), 8);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), -1) << "the second call fails";
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 3)), 8);
  host().SetBehavior("FX_LoadEData", [](const Word*) -> Word { return 0; });
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(3, 0)), -1) << "a behaviour of its own wins";
}

// --- A size that changes between two queries ---

TEST_F(SimHostModes, EverySecondSizeQueryReportsTheChangedSize) {
  host().ChangeSizeBetweenQueries(kStaffTag, 6);
  std::vector<std::int32_t> sizes;
  for (int i = 0; i < 5; ++i) sizes.push_back(QuerySize(kStaffTag, ItemIdentity(1)));
  EXPECT_EQ(sizes, (std::vector<std::int32_t>{114, 120, 114, 120, 114}));
  EXPECT_EQ(QuerySize(kClefTag, ItemIdentity(1)), 18) << "other tags are left alone";
  EXPECT_EQ(QuerySize(kClefTag, ItemIdentity(1)), 18);
}

TEST_F(SimHostModes, QueriesOfEveryRecordOfTheTagCountTogether) {
  host().ChangeSizeBetweenQueries(kMeasureNumberRegionTag, -8);
  EXPECT_EQ(QuerySize(kMeasureNumberRegionTag, ItemIdentity(1)), 196);
  EXPECT_EQ(QuerySize(kMeasureNumberRegionTag, ItemIdentity(2)), 80);
  EXPECT_EQ(QuerySize(kMeasureNumberRegionTag, ItemIdentity(9)), -1) << "no such record";
  EXPECT_EQ(QuerySize(kMeasureNumberRegionTag, ItemIdentity(1)), 196)
      << "a query that finds nothing is not counted";
}

TEST_F(SimHostModes, LoadsWithABufferDeliverTheStoredBytesAndAreNotCounted) {
  host().ChangeSizeBetweenQueries(kTextTag, 3);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(1)), 8);
  const Loaded loaded = Load(kTextTag, ItemIdentity(1), 11);
  ASSERT_TRUE(loaded.answered);
  EXPECT_EQ(loaded.size, 8) << "the stored bytes, not the changed size";
  EXPECT_EQ(loaded.buffer[7], 0);
  EXPECT_EQ(loaded.buffer[8], 0xEE);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(1)), 11) << "the second size query";
  const Loaded capped = Load(kTextTag, ItemIdentity(1), 5);
  EXPECT_EQ(capped.size, 5) << "at most the capacity";
  EXPECT_EQ(capped.buffer[5], 0xEE);
}

TEST_F(SimHostModes, AChangedSizeIsNeverBelowZero) {
  host().ChangeSizeBetweenQueries(kTextTag, -100);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(2)), 4);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(2)), 0);
  host().ChangeSizeBetweenQueries(kTextTag, INT32_MAX);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(2)), 4);
  EXPECT_EQ(QuerySize(kTextTag, ItemIdentity(2)), INT32_MAX) << "nor past the largest size";
}

TEST_F(SimHostModes, SettingTheSizeChangeAgainStartsTheCountAfresh) {
  host().ChangeSizeBetweenQueries(kStaffTag, 2);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  host().ChangeSizeBetweenQueries(kStaffTag, 4);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 118);
  host().ChangeSizeBetweenQueries(kStaffTag, 0);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114) << "a step of 0 turns it off";
}

TEST_F(SimHostModes, TheSizeChangeIsOffAfterReset) {
  host().ChangeSizeBetweenQueries(kStaffTag, 2);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  const RecordStore records = host().Records();
  host().Reset();
  host().Records() = records;
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
}

TEST_F(SimHostModes, TheSizeChangeCountsOnlyTheQueriesTheHostAnswersItself) {
  host().ChangeSizeBetweenQueries(kStaffTag, 2);
  host().FailCall("FX_LoadEData", 2);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), -1) << "made to fail";
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 116) << "the second query the host answered";
  host().SetResult("FX_LoadEData", 1);
  std::int32_t size = -7;
  Identity id = ItemIdentity(1);
  EXPECT_EQ(
      Call(ExportId::FX_LoadEData, {kStaffTag, AddressWord(id.data()), 0, AddressWord(&size), 0}),
      1u);
  EXPECT_EQ(size, -7) << "a programmed answer runs no behaviour";
  host().ClearResult("FX_LoadEData");
  EXPECT_EQ(QuerySize(kStaffTag, ItemIdentity(1)), 114);
}

TEST_F(SimHostModes, BothModesTogetherChangeThePhantomIncidentsSizeToo) {
  host().AnswerEveryIncident(kIncidentTag, true);
  host().ChangeSizeBetweenQueries(kIncidentTag, 1);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(4, 0)), 4);
  EXPECT_EQ(QuerySize(kIncidentTag, ItemIdentity(4, 1)), 5);
}

}  // namespace
}  // namespace hostsim
