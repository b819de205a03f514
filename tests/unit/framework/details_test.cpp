// Entry details kept per note: finding a note's record by its ID, saving and erasing it, and the
// entry's flag, against a host that numbers each entry's records by incident.
#include "framework/details.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "tests/support/test_frames.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

using hostsim::Bytes;
using hostsim::Word;
using Records = std::map<hostsim::RecordKey, Bytes>;

constexpr std::uint32_t kFlag = vaz::exentry::kNoteDetails;

// 12 bytes, the note ID at bytes 10-11: a record delivered short does not reach it.
class TestNoteDetail : public __FCFixedSizeData<__FCEntryDetailNoteID, 12> {
 public:
  static constexpr std::uint32_t kTag = 0x654E4454;  // 'eNDT'

  TestNoteDetail() : __FCFixedSizeData(kScorixApiVersion) {}
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t) override { return new TestNoteDetail; }
  bool LoadFirst() override { return false; }
  void _SetConnectedFlag(__FCBase* connected, bool state) override {
    connected_calls.emplace_back(connected, state);
  }
  void _SetNoteID(short noteid) override { vaz::WriteField<std::int16_t>(_record, 10, noteid); }
  bool _IsNoteIDMatch(const void* record, short noteid) override {
    return vaz::ReadField<std::int16_t>(record, 10) == noteid;
  }
  void _SetNoteFlag(FCNote* note, bool state) override { note->_SetNoteDetailEntryFlag(state); }

  void SetPayload(unsigned seed) { std::memcpy(_record, RandomBytes(10, seed).data(), 10); }
  Bytes Record() const { return Bytes(_record, _record + 12); }
  Bytes Identity() const { return Bytes(_dataid.bytes, _dataid.bytes + 8); }

  std::vector<std::pair<__FCBase*, bool>> connected_calls;
};

// Written out from the layout (entry number in bytes 0-3, incident in bytes 4-5), not taken from
// the host's code.
hostsim::RecordKey Key(std::int32_t entry, std::int16_t inci) {
  hostsim::Identity id{};
  std::memcpy(&id[0], &entry, 4);
  std::memcpy(&id[4], &inci, 2);
  return {TestNoteDetail::kTag, id};
}

Bytes RecordOfNote(std::int16_t noteid, unsigned seed) {
  Bytes record = RandomBytes(12, seed);
  std::memcpy(&record[10], &noteid, 2);
  return record;
}

class EntryDetailTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    Reset();
  }
  void Reset() {
    host().Reset();
    host().Records().SetTagForm(TestNoteDetail::kTag, hostsim::TagForm::kDetails);
  }
  // An entry numbered `entnum` with notes of IDs 1, 2 and 5; Note(id) is one of them.
  FCNoteEntry& MakeEntry(std::int32_t entnum, std::uint32_t flags = 0) {
    frames_.push_back(std::make_unique<TestFrame>(1));
    frames_.back()->SetNotes(0, {1, 2, 5});
    vaz::WriteField<std::int32_t>(frames_.back()->Entry(0), vaz::exentry::kEntnum, entnum);
    entry_ = std::make_unique<FCNoteEntry>(frames_.back()->Entry(0), nullptr, 1, 1);
    entry_->SetFlags(entry_->GetFlags() | flags);
    return *entry_;
  }
  FCNote* Note(short id) { return entry_->GetNoteAt(id == 5 ? 2 : id - 1); }
  void Plant(std::int32_t entry, std::int16_t inci, Bytes record) {
    const hostsim::RecordKey key = Key(entry, inci);
    host().Records().Put(key.tag, key.id, std::move(record));
  }
  const Records& Stored() { return host().Records().Records(); }

  std::vector<std::unique_ptr<TestFrame>> frames_;
  std::unique_ptr<FCNoteEntry> entry_;
};

// 0x0001FFFF has 0xFFFF, which asks an item-numbered create for a new number, in its low half;
// 70000 does not fit in 16 bits. Records under the same low half must be left alone.
TEST_F(EntryDetailTest, SaveAtCreatesThenOverwritesAndTouchesNoOtherRecord) {
  for (const std::int32_t entnum : {0x0001FFFF, 70000}) {
    Reset();
    FCNoteEntry& entry = MakeEntry(entnum);
    Plant(entnum, 0, RecordOfNote(2, 1));
    Plant(entnum & 0xFFFF, 0, RecordOfNote(1, 2));
    Records expected = Stored();
    TestNoteDetail detail;
    detail.SetPayload(4);

    ASSERT_TRUE(detail.SaveAt(Note(1))) << entnum;
    EXPECT_EQ(detail.GetEntryNumber(), entnum);
    EXPECT_EQ(detail.GetIncident(), 1);
    EXPECT_EQ(detail.Record()[10], 1);  // the note's ID went with it
    expected[Key(entnum, 1)] = detail.Record();
    EXPECT_EQ(Stored(), expected) << entnum;
    EXPECT_EQ(entry.GetFlags() & kFlag, kFlag);

    detail.SetPayload(5);
    ASSERT_TRUE(detail.SaveAt(Note(1)));
    EXPECT_EQ(detail.GetIncident(), 1);
    expected[Key(entnum, 1)] = detail.Record();
    EXPECT_EQ(Stored(), expected) << entnum;
    EXPECT_EQ(host().CountCalls("FX_CreateEData"), 1);
    EXPECT_EQ(host().CountCalls("FX_SaveEData"), 1);
  }
}

TEST_F(EntryDetailTest, EraseAtRenumbersClearsTheFlagWithTheLastAndNeverErasesIncidentMinus1) {
  FCNoteEntry& entry = MakeEntry(70000, kFlag);
  Plant(70000, 0, RecordOfNote(1, 1));
  const Bytes second = RecordOfNote(2, 2), planted = RecordOfNote(7, 3);
  Plant(70000, 1, second);
  Plant(70000, -1, planted);  // what a delete of incident -1 would remove
  TestNoteDetail detail;
  ASSERT_TRUE(detail.SaveAt(Note(1)));
  const Bytes identity = detail.Identity();

  EXPECT_FALSE(detail.EraseAt(Note(5))) << "note 5 has no record";
  EXPECT_EQ(host().CountCalls("FX_DeleteEData"), 0);
  EXPECT_EQ(detail.Identity(), identity);
  EXPECT_EQ(entry.GetFlags() & kFlag, kFlag);

  ASSERT_TRUE(detail.EraseAt(Note(1)));
  // The host moved the other record down to incident 0.
  EXPECT_EQ(Stored(), (Records{{Key(70000, 0), second}, {Key(70000, -1), planted}}));
  EXPECT_EQ(entry.GetFlags() & kFlag, kFlag);
  EXPECT_EQ(detail.GetEntryNumber(), 70000);
  EXPECT_EQ(detail.GetIncident(), -1);
  EXPECT_FALSE(detail.Save()) << "an erased detail names no record";
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 1);

  ASSERT_TRUE(detail.EraseAt(Note(2)));
  EXPECT_EQ(Stored(), (Records{{Key(70000, -1), planted}}));
  EXPECT_EQ(entry.GetFlags() & kFlag, 0u);
}

TEST_F(EntryDetailTest, EachRefusalLeavesIdentityFlagsAndDocumentAsTheyWere) {
  // Note 5 has a record, note 1 has none.
  for (const char* refused : {"FX_CreateEData", "FX_SaveEData", "FX_DeleteEData"}) {
    Reset();
    const bool erase = std::string(refused) == "FX_DeleteEData";
    FCNoteEntry& entry = MakeEntry(70000, erase ? kFlag : 0);
    Plant(70000, 0, RecordOfNote(5, 1));
    const Records before = Stored();
    const std::uint32_t flags = entry.GetFlags();
    TestNoteDetail detail;
    detail.SetEntryNumber(3);
    const Bytes identity = detail.Identity();
    host().FailEveryCall(refused);

    FCNote* note = Note(std::string(refused) == "FX_CreateEData" ? 1 : 5);
    EXPECT_FALSE(erase ? detail.EraseAt(note) : detail.SaveAt(note)) << refused;
    EXPECT_EQ(host().CountCalls(refused), 1) << refused;
    EXPECT_EQ(detail.Identity(), identity) << refused;
    EXPECT_EQ(entry.GetFlags(), flags) << refused;
    EXPECT_EQ(Stored(), before) << refused;
  }
}

// A short record (4 bytes, short of the ID) must neither read as note 5's through what an earlier
// record left in the buffer nor narrow what the next incident may deliver: every probe offers a
// cleared buffer of its whole capacity.
TEST_F(EntryDetailTest, AShortRecordNeverMatchesAndTheRealMatchIsFound) {
  MakeEntry(20);
  Plant(20, 0, Bytes{1, 2, 3, 4});
  Plant(20, 1, RecordOfNote(5, 2));
  Records expected = Stored();
  std::vector<std::pair<bool, std::int32_t>> offered;
  const hostsim::Behavior deliver = host().BehaviorOf("FX_LoadEData");
  host().SetBehavior("FX_LoadEData", [&](const Word* a) {
    const auto* buffer = reinterpret_cast<const std::uint8_t*>(a[2]);
    const std::int32_t size = *reinterpret_cast<const std::int32_t*>(a[3]);
    offered.emplace_back(std::all_of(buffer, buffer + size, [](int b) { return b == 0; }), size);
    return deliver(a);
  });
  TestNoteDetail detail;
  ASSERT_EQ(detail._ScanForNoteID(Note(2)), -1);  // incident 1 holds note 5
  detail.SetPayload(3);
  ASSERT_TRUE(detail.SaveAt(Note(5)));
  expected[Key(20, 1)] = detail.Record();
  EXPECT_EQ(Stored(), expected);
  EXPECT_EQ(offered, (std::vector<std::pair<bool, std::int32_t>>(5, {true, 208})));
}

// A record that stops inside the note-ID field, or before it, is nobody's: its missing bytes
// would otherwise read as an ID of 0 (or the low half of one) and SaveAt would write over it.
TEST_F(EntryDetailTest, ARecordTooShortForTheNoteIdMatchesNoNote) {
  MakeEntry(30);
  Bytes half = RecordOfNote(1, 4);
  half.resize(11);  // the ID's low byte, 1, and no high byte
  Plant(30, 0, half);
  Plant(30, 1, Bytes{9, 9, 9, 9});
  const Records before = Stored();
  TestNoteDetail detail;
  EXPECT_EQ(detail._ScanForNoteID(Note(1)), -1);
  Note(2)->SetNoteID(0);
  EXPECT_EQ(detail._ScanForNoteID(Note(2)), -1);
  EXPECT_FALSE(detail.EraseAt(Note(2)));
  EXPECT_EQ(Stored(), before);
  detail.SetPayload(6);
  ASSERT_TRUE(detail.SaveAt(Note(1)));
  EXPECT_EQ(detail.GetIncident(), 2);  // created after them, neither overwritten
  EXPECT_EQ(Stored().at(Key(30, 0)), half);
}

TEST_F(EntryDetailTest, TheScanStopsAfterIncident32767) {
  MakeEntry(70000);
  host().SetBehavior("FX_LoadEData", [](const Word*) -> Word { return 1; });  // never note 1
  EXPECT_EQ(TestNoteDetail()._ScanForNoteID(Note(1)), -1);
  EXPECT_EQ(host().CountCalls("FX_LoadEData"), 0x8000);
}

TEST_F(EntryDetailTest, SaveNewTakesTheNextIncidentAndMarksTheConnectedObject) {
  Plant(70000, 0, RecordOfNote(2, 1));
  __FCBase owner;
  TestNoteDetail detail;
  detail.SetEntryNumber(70000);
  detail.SetConnected(&owner);
  ASSERT_TRUE(detail.SaveNew());
  EXPECT_EQ(detail.GetIncident(), 1);
  EXPECT_EQ(Stored().at(Key(70000, 1)), Bytes(12, 0));
  host().FailEveryCall("FX_CreateEData");
  const Bytes identity = detail.Identity();
  EXPECT_FALSE(detail.SaveNew());
  EXPECT_EQ(detail.Identity(), identity);
  EXPECT_EQ(detail.connected_calls, (std::vector<std::pair<__FCBase*, bool>>{{&owner, true}}));
}

}  // namespace
