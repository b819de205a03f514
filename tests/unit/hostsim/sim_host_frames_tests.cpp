// The simulated host's frames: what FX_LoadTGF lends and where, what saving, freeing, inserting,
// deleting and reducing do, the checks every frame call makes (cleaned, as lent, header bytes,
// freed frames), the ledger, the layer and slot answers, and fault injection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/entry_records.h"
#include "hostsim/sim_host.h"

namespace hostsim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr Word kVersion = 0x0F000200;
// The frame layout written out here rather than taken from the host's own constants, so that a
// wrong offset in the host fails these tests.
constexpr std::size_t kArrayField = 14;
constexpr std::size_t kCountField = 18;
constexpr std::size_t kEntryBytes = 146;

// Staff 1, measure 1: layer 0 holds a note entry, a note entry of no duration and a rest (so it
// is not cleaned as lent: the rest has no note record); layer 1 is named without entries; layer
// 2 exists but is hidden. Staff 2, measure 1, layer 0 holds one cleaned note entry.
const char kDocument[] = R"({
  "layers": 3, "hiddenLayers": [2], "slots": {"1": 2, "2": 1},
  "frames": [
    {"staff": 1, "measure": 1, "layer": 0, "entries": [
      {"entnum": 10, "duration": 1024, "notes": [{"displacement": 3},
                                                {"displacement": -2, "raiselower": 1}]},
      {"entnum": 11, "duration": 0, "notes": [{"displacement": 5}]},
      {"entnum": 12, "duration": 1024}]},
    {"staff": 1, "measure": 1, "layer": 1},
    {"staff": 2, "measure": 1, "layer": 0, "entries": [
      {"entnum": 20, "duration": 4096, "notes": [{"displacement": 0}]}]}
  ]
})";

Word S(std::int16_t value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}

// A signed 32-bit answer, as the plug-in reads it.
std::int32_t Signed(Word answer) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(answer & 0xFFFFFFFFu));
}

std::uint8_t* Block(Word frame) {
  return reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(frame));
}

std::uint8_t* Array(Word frame) {
  std::uint32_t address = 0;
  std::memcpy(&address, Block(frame) + kArrayField, sizeof address);  // little-endian host
  return reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(address));
}

std::int16_t Count(Word frame) {
  return ReadS16(Block(frame) + kCountField);
}

std::uint8_t* Entry(Word frame, std::size_t index) {
  return Array(frame) + index * kEntryBytes;
}

Bytes Entries(Word frame) {
  return Bytes(Array(frame), Array(frame) + Count(frame) * kEntryBytes);
}

// What the plug-in's cleaning does to a frame before it hands it back.
void CleanFrame(Word frame) {
  Bytes entries = Entries(frame);
  CleanEntries(&entries);
  if (!entries.empty()) std::memcpy(Array(frame), entries.data(), entries.size());
}

bool AllBytes(const std::uint8_t* at, std::size_t size, std::uint8_t value) {
  for (std::size_t i = 0; i < size; ++i) {
    if (at[i] != value) return false;
  }
  return true;
}

std::vector<FrameProblemKind> Kinds(const FrameLedger& ledger) {
  std::vector<FrameProblemKind> kinds;
  for (const FrameProblem& problem : ledger.problems) kinds.push_back(problem.kind);
  return kinds;
}

class SimHostFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    host().Reset();
    std::string error;
    ASSERT_TRUE(LoadDocument(kDocument, &host().Records(), &error)) << error;
  }
  void TearDown() override { host().Reset(); }

  static SimHost& host() { return SimHost::Instance(); }

  static Word Call(ExportId id, std::vector<Word> args) {
    args.resize(static_cast<std::size_t>(ExportWordCount(id)), 0);
    return host().Dispatch(id, args.data());
  }
  static Word Load(std::int16_t staff, std::int16_t measure, std::int16_t layer) {
    return Call(ExportId::FX_LoadTGF, {0, S(staff), S(measure), S(layer), 1, kVersion});
  }
  static Word Save(Word frame) { return Call(ExportId::FX_SaveTGF, {frame, kVersion}); }
  static Word Free(Word frame) { return Call(ExportId::FX_FreeTGF, {frame, kVersion}); }
  static Word Insert(Word frame, std::int16_t index, std::int16_t count) {
    return Call(ExportId::FX_InsertEXENTRY, {frame, S(index), S(count), kVersion});
  }
  static Word Delete(Word frame, std::int16_t index, std::int16_t count) {
    return Call(ExportId::FX_DeleteEXENTRY, {frame, S(index), S(count), kVersion});
  }
  static Word Reduce(Word frame) { return Call(ExportId::FX_ReduceEntries, {frame, kVersion}); }
  static Word Duration(Word frame) { return Call(ExportId::FX_GetTGFDuration, {frame, kVersion}); }

  static const Bytes& Stored(const FrameKey& key) {
    const Bytes* entries = host().Records().FindFrame(key);
    if (!entries) {
      ADD_FAILURE() << "the document has no frame for staff " << key.staff;
      static const Bytes kNone;
      return kNone;
    }
    return *entries;
  }
};

// --- Lending ---

TEST_F(SimHostFrames, LoadLendsTheEntriesWithTheArrayAddressAt14AndTheCountAt18) {
  const Word frame = Load(1, 1, 0);
  ASSERT_NE(frame, 0u);
  EXPECT_EQ(Count(frame), 3);
  EXPECT_EQ(Entries(frame), Stored(FrameKey{1, 1, 0}));
  EXPECT_EQ(ReadS32(Entry(frame, 2)), 12);
  // The host's own bytes hold a pattern, not zeros the plug-in could lose unnoticed.
  for (std::size_t offset = 0; offset < 32; ++offset) {
    if (offset >= 14 && offset < 20) continue;
    EXPECT_EQ(Block(frame)[offset], static_cast<std::uint8_t>(0x96 + 0x2F * offset + 0x4D))
        << "byte " << offset;
  }
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.loads, 1);
  EXPECT_EQ(ledger.lent, 1);
  ASSERT_EQ(ledger.frames.size(), 1u);
  EXPECT_EQ(ledger.frames[0].address, frame);
  EXPECT_EQ(ledger.frames[0].key, (FrameKey{1, 1, 0}));
  EXPECT_FALSE(ledger.frames[0].freed);
}

TEST_F(SimHostFrames, EachLoadLendsAFreshCopyAndAFrameOfItsOwn) {
  const Word first = Load(1, 1, 0);
  const Word second = Load(1, 1, 0);
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);
  EXPECT_NE(Array(first), Array(second));
  EXPECT_NE(Block(first)[0], Block(second)[0]) << "the host's bytes differ from frame to frame";
  NoteFields note = ReadNote(Entry(first, 0), 0);
  note.displacement = 40;
  WriteNote(Entry(first, 0), 0, note);
  EXPECT_EQ(ReadNote(Entry(second, 0), 0).displacement, 3);
  EXPECT_EQ(ReadNote(Stored(FrameKey{1, 1, 0}).data(), 0).displacement, 3)
      << "nothing reaches the document before a save";
}

TEST_F(SimHostFrames, LoadAnswersNullForAStaffMeasureOrLayerTheDocumentLacks) {
  EXPECT_EQ(Load(3, 1, 0), 0u);
  EXPECT_EQ(Load(1, 2, 0), 0u);
  EXPECT_EQ(Load(1, 1, 3), 0u) << "beyond the document's 3 layers";
  EXPECT_EQ(Load(1, 1, -1), 0u);
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.loads, 4);
  EXPECT_EQ(ledger.refused, 4);
  EXPECT_EQ(ledger.lent, 0);
}

TEST_F(SimHostFrames, ALayerWithoutEntriesLendsAnEmptyFrame) {
  // Named without entries; not named, and hidden; not named, of a staff named at layer 0.
  for (const FrameKey& key : {FrameKey{1, 1, 1}, FrameKey{1, 1, 2}, FrameKey{2, 1, 1}}) {
    const Word frame = Load(key.staff, key.measure, key.layer);
    ASSERT_NE(frame, 0u) << key.staff << ", layer " << key.layer;
    EXPECT_EQ(Count(frame), 0);
    EXPECT_NE(Array(frame), nullptr) << "an array address all the same";
    EXPECT_EQ(Free(frame), 1u);
  }
  EXPECT_EQ(host().Frames().lent, 3);
}

TEST_F(SimHostFrames, ARefusedLoadAnswersNullAndOnlyForItsStaffMeasureAndLayer) {
  host().RefuseFrameLoad(1, 1, 0);
  EXPECT_EQ(Load(1, 1, 0), 0u);
  const Word other = Load(1, 1, 1);
  EXPECT_NE(other, 0u);
  EXPECT_EQ(host().Frames().refused, 1);
  Free(other);
  host().Reset();
  std::string error;
  ASSERT_TRUE(LoadDocument(kDocument, &host().Records(), &error)) << error;
  EXPECT_NE(Load(1, 1, 0), 0u) << "Reset forgets the refusal";
}

TEST_F(SimHostFrames, OddAddressesPutTheFrameAndItsArrayAtOddAddresses) {
  host().SetOddFrameAddresses(true);
  for (int i = 0; i < 3; ++i) {
    const Word frame = Load(1, 1, 0);
    ASSERT_NE(frame, 0u);
    EXPECT_EQ(frame % 2, 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Array(frame)) % 2, 1u);
    EXPECT_EQ(Entries(frame), Stored(FrameKey{1, 1, 0}));
    CleanFrame(frame);
    EXPECT_EQ(Insert(frame, 1, 1), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Array(frame)) % 2, 1u) << "the moved array too";
    Free(frame);
  }
  host().SetOddFrameAddresses(false);
  const Word even = Load(1, 1, 0);
  EXPECT_EQ(even % 16, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(Array(even)) % 16, 0u);
}

// On 64-bit builds every frame word fits in 31 bits, so no plug-in can read an address as a
// negative number; on 32-bit builds any address is a whole word already.
TEST_F(SimHostFrames, EveryFrameWordFitsIn31BitsOn64BitBuilds) {
  if (sizeof(void*) == 4) GTEST_SKIP() << "does not apply on this build: addresses are 32 bits";
  constexpr std::uint64_t kTwoGib = std::uint64_t{1} << 31;
  // A document with one large frame, so the arrays span more than one block of host memory.
  RecordStore& document = host().Records();
  document.PutFrame(FrameKey{5, 5, 0}, Bytes(entry_record::kSize * 8000, 0x11));
  for (int i = 0; i < 20; ++i) {
    for (const Word frame : {Load(1, 1, 0), Load(5, 5, 0)}) {
      ASSERT_NE(frame, 0u) << host().Frames().memory_error;
      const auto array = reinterpret_cast<std::uintptr_t>(Array(frame));
      EXPECT_LE(frame + 32, kTwoGib);
      EXPECT_LE(array + static_cast<std::uint64_t>(Count(frame)) * entry_record::kSize, kTwoGib);
      CleanFrame(frame);
      ASSERT_EQ(Insert(frame, 0, 1), 1u);
      EXPECT_LE(reinterpret_cast<std::uintptr_t>(Array(frame)) +
                    static_cast<std::uint64_t>(Count(frame)) * entry_record::kSize,
                kTwoGib);
      Free(frame);
    }
  }
  EXPECT_EQ(host().Frames().lent, 40);
}

// --- Saving ---

TEST_F(SimHostFrames, SaveCommitsTheEntriesToTheDocument) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  NoteFields note = ReadNote(Entry(frame, 0), 1);
  note.displacement = 9;
  WriteNote(Entry(frame, 0), 1, note);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_EQ(Stored(FrameKey{1, 1, 0}), Entries(frame));
  EXPECT_EQ(ReadNote(Stored(FrameKey{1, 1, 0}).data(), 1).displacement, 9);
  EXPECT_EQ(ReadS16(Stored(FrameKey{1, 1, 0}).data() + 2 * entry_record::kSize + 14), 1)
      << "the rest, with the placeholder the cleaning gave it";
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.saved, 1);
  EXPECT_EQ(ledger.frames[0].saves, 1);
  EXPECT_THAT(ledger.problems, IsEmpty());
}

TEST_F(SimHostFrames, TheNthSaveCanBeMadeToFailAndIsStillChecked) {
  host().FailCall("FX_SaveTGF", 2);
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  EXPECT_EQ(Save(frame), 1u);
  const Bytes saved = Stored(FrameKey{1, 1, 0});
  WriteU16(Entry(frame, 0) + entry_record::kDuration, 77);
  WriteU16(NoteSlot(Entry(frame, 0), 0) + note_record::kNoteId, 0);  // not cleaned
  EXPECT_EQ(Save(frame), 0u);
  EXPECT_EQ(Stored(FrameKey{1, 1, 0}), saved) << "a failed save changes nothing";
  EXPECT_THAT(Kinds(host().Frames()), ElementsAre(FrameProblemKind::kNotCleaned));
  EXPECT_EQ(host().Frames().saved, 1);
  CleanFrame(frame);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_EQ(ReadS16(Stored(FrameKey{1, 1, 0}).data() + entry_record::kDuration), 77);
}

TEST_F(SimHostFrames, ASaveInACancelledEditIsRolledBack) {
  const RecordStore before = host().Records();
  ASSERT_EQ(Call(ExportId::FX_StartScorixEdit, {0, kVersion}), 1u);
  const Word frame = Load(2, 1, 0);
  WriteU16(Entry(frame, 0) + entry_record::kDuration, 2048);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_FALSE(host().Records() == before);
  ASSERT_EQ(Call(ExportId::FX_CancelScorixEdit, {kVersion}), 1u);
  EXPECT_TRUE(host().Records() == before);
}

TEST_F(SimHostFrames, SavingALayerTheDocumentNeverNamedEmptyLeavesItUnnamed) {
  const RecordStore before = host().Records();
  const Word empty = Load(1, 1, 2);
  EXPECT_EQ(Save(empty), 1u);
  EXPECT_TRUE(host().Records() == before);
  ASSERT_EQ(Insert(empty, 0, 1), 1u);
  CleanFrame(empty);
  EXPECT_EQ(Save(empty), 1u);
  EXPECT_EQ(EntryCount(Stored(FrameKey{1, 1, 2})), 1u) << "with an entry it is named";
}

// --- Freeing ---

TEST_F(SimHostFrames, FreeTakesTheFrameBackAndPoisonsItsMemory) {
  const Word frame = Load(1, 1, 0);
  std::uint8_t* array = Array(frame);
  EXPECT_EQ(Free(frame), 1u);
  EXPECT_TRUE(AllBytes(Block(frame), 32, 0xDD));
  EXPECT_TRUE(AllBytes(array, 3 * entry_record::kSize, 0xDD));
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.freed, 1);
  EXPECT_TRUE(ledger.frames[0].freed);
  EXPECT_THAT(ledger.NeverFreed(), IsEmpty());
  EXPECT_THAT(ledger.problems, IsEmpty());
}

TEST_F(SimHostFrames, FreesOfFramesNotLentAnswerMinusOneAndAreTold) {
  const Word frame = Load(1, 1, 0);
  ASSERT_EQ(Free(frame), 1u);
  std::uint8_t stranger[32] = {};
  const Word strange = static_cast<Word>(reinterpret_cast<std::uintptr_t>(stranger));
  for (const Word answer : {Free(frame), Free(strange), Free(0)}) {
    EXPECT_EQ(Signed(answer), -1);
    EXPECT_EQ(answer, ~Word{0}) << "sign-extended to the word's width";
  }
  const FrameLedger& ledger = host().Frames();
  EXPECT_THAT(Kinds(ledger),
              ElementsAre(FrameProblemKind::kDoubleFree, FrameProblemKind::kUnknownFree,
                          FrameProblemKind::kNullFree));
  EXPECT_EQ(ledger.problems[1].frame, strange);
  EXPECT_EQ(ledger.problems[0].call, "FX_FreeTGF");
  EXPECT_EQ(ledger.freed, 1);
  EXPECT_THAT(DescribeFrameProblem(ledger.problems[0]), HasSubstr("a double free"));
}

TEST_F(SimHostFrames, EveryFrameCallOnAFreedFrameIsAUseAfterFree) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  Free(frame);
  EXPECT_EQ(Save(frame), 0u);
  EXPECT_EQ(Insert(frame, 0, 1), 0u);
  EXPECT_EQ(Delete(frame, 0, 1), 0u);
  EXPECT_EQ(Signed(Reduce(frame)), -1);
  EXPECT_EQ(Duration(frame), 0u);
  Call(ExportId::FX_GetTGFEntryMetrics, {frame, 0, 0, 0, kVersion});
  Call(ExportId::FX_GetTGFEntryMetrics2009a, {frame, 0, 0, 0, kVersion});
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.Count(FrameProblemKind::kUseAfterFree), 7);
  EXPECT_EQ(ledger.problems.size(), 7u);
  EXPECT_EQ(ledger.problems[6].call, "FX_GetTGFEntryMetrics2009a");
  EXPECT_EQ(ledger.saved, 0);
}

TEST_F(SimHostFrames, CallsOnNullOrUnknownFramesAreTold) {
  std::uint8_t stranger[32] = {};
  const Word strange = static_cast<Word>(reinterpret_cast<std::uintptr_t>(stranger));
  EXPECT_EQ(Save(0), 0u);
  EXPECT_EQ(Save(strange), 0u);
  EXPECT_EQ(Signed(Reduce(0)), -1);
  EXPECT_THAT(Kinds(host().Frames()),
              ElementsAre(FrameProblemKind::kNullFrame, FrameProblemKind::kUnknownFrame,
                          FrameProblemKind::kNullFrame));
  EXPECT_TRUE(AllBytes(stranger, sizeof stranger, 0)) << "nothing written to it";
}

TEST_F(SimHostFrames, FramesNeverFreedAreListedInTheOrderLent) {
  const Word first = Load(1, 1, 0);
  const Word second = Load(1, 1, 1);
  const Word third = Load(2, 1, 0);
  Free(second);
  EXPECT_THAT(host().Frames().NeverFreed(), ElementsAre(first, third));
}

// A cell walk as a plug-in makes it: every shown layer of each cell loaded, a refused load
// releasing what the cell held, every frame freed once.
TEST_F(SimHostFrames, LedgerOfAWalkWithARefusedLoad) {
  host().RefuseFrameLoad(2, 1, 1);
  for (const std::int16_t slot : {1, 2}) {
    const auto staff = static_cast<std::int16_t>(Call(ExportId::FX_SlotToInst, {S(slot), 0}));
    std::vector<Word> held;
    const auto layers = static_cast<std::int16_t>(Call(ExportId::FX_GetMaxLayers, {kVersion}));
    for (std::int16_t layer = 0; layer < layers; ++layer) {
      if (Call(ExportId::FX_GetShowLayer, {S(layer), kVersion}) == 0) continue;
      const Word frame = Load(staff, 1, layer);
      if (!frame) break;
      held.push_back(frame);
    }
    for (const Word frame : held) {
      CleanFrame(frame);
      Save(frame);
      Free(frame);
    }
  }
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.loads, 4) << "staff 2: layers 0 and 1 (refused); staff 1: layers 0 and 1";
  EXPECT_EQ(ledger.lent, 3);
  EXPECT_EQ(ledger.refused, 1);
  EXPECT_EQ(ledger.saved, 3);
  EXPECT_EQ(ledger.freed, 3);
  EXPECT_THAT(ledger.NeverFreed(), IsEmpty());
  EXPECT_THAT(ledger.problems, IsEmpty());
  EXPECT_EQ(ledger.frames[0].key, (FrameKey{2, 1, 0})) << "slot 1 shows staff 2";
}

// --- Cleaned and as lent ---

TEST_F(SimHostFrames, ACleanedFramePassesSaveInsertDeleteAndReduce) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_EQ(Insert(frame, 3, 2), 1u);
  CleanFrame(frame);  // the new entries are rests without a note record
  EXPECT_EQ(Delete(frame, 0, 1), 1u);
  EXPECT_EQ(Signed(Reduce(frame)), 1);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_THAT(host().Frames().problems, IsEmpty());
}

TEST_F(SimHostFrames, AnUncleanedFrameIsToldForEachEntryAndEachCall) {
  const Word frame = Load(1, 1, 0);  // the rest has no note record
  Save(frame);
  Insert(frame, 0, 1);  // and now a new entry without one too
  const FrameLedger& ledger = host().Frames();
  EXPECT_THAT(Kinds(ledger),
              ElementsAre(FrameProblemKind::kNotCleaned, FrameProblemKind::kNotCleaned));
  EXPECT_EQ(ledger.problems[0].call, "FX_SaveTGF");
  EXPECT_EQ(ledger.problems[0].detail,
            "entry 2 (entnum 12): no note record (the cleaning gives a rest a placeholder note)");
  Delete(frame, 0, 1);
  EXPECT_EQ(host().Frames().Count(FrameProblemKind::kNotCleaned), 4)
      << "the inserted entry and the rest";
}

struct UncleanedEdit {
  const char* name;
  void (*edit)(std::uint8_t* entry);
  const char* detail;
};

class SimHostFramesUncleaned : public SimHostFrames,
                               public ::testing::WithParamInterface<UncleanedEdit> {};

TEST_P(SimHostFramesUncleaned, IsCaughtByEveryCallThatMustSeeACleanedFrame) {
  for (const auto& call : {&SimHostFrames::Save, &SimHostFrames::Reduce}) {
    host().Reset();
    std::string error;
    ASSERT_TRUE(LoadDocument(kDocument, &host().Records(), &error)) << error;
    const Word frame = Load(1, 1, 0);
    CleanFrame(frame);
    GetParam().edit(Entry(frame, 0));
    call(frame);
    const FrameLedger& ledger = host().Frames();
    ASSERT_EQ(ledger.problems.size(), 1u);
    EXPECT_EQ(ledger.problems[0].kind, FrameProblemKind::kNotCleaned);
    EXPECT_EQ(ledger.problems[0].detail, std::string("entry 0 (entnum 10): ") + GetParam().detail);
  }
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  GetParam().edit(Entry(frame, 0));
  Insert(frame, 0, 0);  // refused, but checked all the same
  Delete(frame, 5, 1);
  EXPECT_EQ(host().Frames().Count(FrameProblemKind::kNotCleaned), 3);
}

void SetNoteId(std::uint8_t* entry, std::size_t slot, std::int16_t id) {
  WriteU16(NoteSlot(entry, slot) + note_record::kNoteId, static_cast<std::uint16_t>(id));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SimHostFramesUncleaned,
    ::testing::Values(
        UncleanedEdit{"ZeroId", [](std::uint8_t* e) { SetNoteId(e, 1, 0); }, "note 1 has ID 0"},
        UncleanedEdit{"SharedId",
                      [](std::uint8_t* e) {
                        SetNoteId(e, 1, 1);
                        WriteU32(NoteSlot(e, 1) + note_record::kNoteFlags, 0x00010000);
                      },
                      "notes 0 and 1 share ID 1"},
        UncleanedEdit{
            "UnmirroredId",
            [](std::uint8_t* e) { WriteU32(NoteSlot(e, 0) + note_record::kNoteFlags, 0); },
            "note 0 (ID 1) has 0 in bits 16-20 of its flags, not 1"},
        UncleanedEdit{"SlotPastTheNotes", [](std::uint8_t* e) { NoteSlot(e, 2)[0] = 1; },
                      "note slot 2 (beyond the 2 notes in use) is not zero"},
        UncleanedEdit{"NoNotes",
                      [](std::uint8_t* e) {
                        WriteU16(e + entry_record::kNoteCount, 0);
                        std::memset(NoteSlot(e, 0), 0, 2 * note_record::kSize);
                      },
                      "no note record (the cleaning gives a rest a placeholder note)"}),
    [](const ::testing::TestParamInfo<UncleanedEdit>& info) { return info.param.name; });

TEST_F(SimHostFrames, EntriesWithHostileNoteCountsAreNotTheCleaningsToCheck) {
  Bytes entries = Stored(FrameKey{2, 1, 0});
  Bytes hostile(entry_record::kSize, 0xEE);
  for (const std::int16_t count : {13, 200, -1, -32768}) {
    WriteU16(hostile.data() + entry_record::kNoteCount, static_cast<std::uint16_t>(count));
    entries.insert(entries.end(), hostile.begin(), hostile.end());
  }
  host().Records().PutFrame(FrameKey{2, 1, 0}, entries);
  const Word frame = Load(2, 1, 0);
  EXPECT_EQ(Count(frame), 5);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_THAT(host().Frames().problems, IsEmpty());
}

TEST_F(SimHostFrames, CallsThatReadTheFrameAsLentPassItUntouched) {
  const Word frame = Load(1, 1, 0);
  EXPECT_EQ(Signed(Duration(frame)), 2048);
  EXPECT_EQ(Call(ExportId::FX_GetTGFEntryMetrics, {frame, 0, 0, 0, kVersion}), 0u);
  Call(ExportId::FX_GetTGFEntryMetrics2009a, {frame, 0, 0, 0, kVersion});
  EXPECT_THAT(host().Frames().problems, IsEmpty());
  // After a save, the entries saved are the ones the host handed over.
  CleanFrame(frame);
  Save(frame);
  Duration(frame);
  EXPECT_THAT(host().Frames().problems, IsEmpty());
}

TEST_F(SimHostFrames, AFrameCleanedBeforeACallThatReadsItAsLentIsCaught) {
  const ExportId calls[] = {ExportId::FX_GetTGFDuration, ExportId::FX_GetTGFEntryMetrics,
                            ExportId::FX_GetTGFEntryMetrics2009a};
  for (const ExportId id : calls) {
    const Word frame = Load(1, 1, 0);
    CleanFrame(frame);
    Call(id, {frame, 0, 0, 0, kVersion});
  }
  const FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.Count(FrameProblemKind::kCleanedTooSoon), 3);
  EXPECT_EQ(ledger.problems.size(), 3u);
  EXPECT_THAT(ledger.problems[0].detail, HasSubstr("the entries are the lent ones cleaned"));
  EXPECT_THAT(ledger.problems[0].detail, HasSubstr("entry 2 (entnum 12) differs from byte 11"))
      << "the rest's placeholder bit is the first byte the cleaning changed";
}

TEST_F(SimHostFrames, AnEditedFrameIsNotedApartFromACleanedOne) {
  const Word frame = Load(2, 1, 0);
  WriteU16(Entry(frame, 0) + entry_record::kDuration, 1000);
  EXPECT_EQ(Signed(Duration(frame)), 1000);
  const FrameLedger& ledger = host().Frames();
  EXPECT_THAT(Kinds(ledger), ElementsAre(FrameProblemKind::kNotAsLent));
  EXPECT_EQ(ledger.problems[0].detail, "entry 0 (entnum 20) differs from byte 4");
}

TEST_F(SimHostFrames, ChangedHostBytesAreToldOnceAndNotFollowed) {
  const Word frame = Load(2, 1, 0);
  CleanFrame(frame);
  Block(frame)[0] ^= 0xFF;
  WriteU16(Block(frame) + kCountField, 0x0100);  // a count the host never gave
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_EQ(Save(frame), 1u);
  const FrameLedger& ledger = host().Frames();
  EXPECT_THAT(Kinds(ledger), ElementsAre(FrameProblemKind::kHeaderChanged));
  EXPECT_EQ(ledger.problems[0].detail, "bytes 0, 18-19 of the frame block");
  EXPECT_EQ(EntryCount(Stored(FrameKey{2, 1, 0})), 1u) << "the host saves the entries it lent";
  Block(frame)[31] ^= 1;
  Free(frame);
  EXPECT_EQ(host().Frames().Count(FrameProblemKind::kHeaderChanged), 2) << "a new change is told";
}

// --- Insert, delete, reduce ---

TEST_F(SimHostFrames, InsertPutsNewEntriesBeforeTheIndexInANewArray) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  const Bytes before = Entries(frame);
  std::uint8_t* old_array = Array(frame);
  const std::size_t old_bytes = before.size();
  ASSERT_EQ(Insert(frame, 1, 2), 1u);
  EXPECT_NE(Array(frame), old_array);
  EXPECT_EQ(Count(frame), 5);
  EXPECT_TRUE(AllBytes(old_array, old_bytes, 0xDD)) << "the old array is poisoned";
  const Bytes after = Entries(frame);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + entry_record::kSize, after.begin()));
  EXPECT_TRUE(std::equal(before.begin() + entry_record::kSize, before.end(),
                         after.begin() + 3 * entry_record::kSize));
  // New entries: zero but for entry numbers above every one in use (20 is staff 2's).
  EXPECT_EQ(ReadS32(Entry(frame, 1)), 21);
  EXPECT_EQ(ReadS32(Entry(frame, 2)), 22);
  EXPECT_TRUE(AllBytes(Entry(frame, 1) + 4, entry_record::kSize - 4, 0));
  EXPECT_EQ(EntryCount(Stored(FrameKey{1, 1, 0})), 3u) << "not committed before a save";
  EXPECT_EQ(host().Frames().problems.size(), 0u);
}

TEST_F(SimHostFrames, InsertAndDeleteOutOfRangeAnswerZeroAndKeepTheArray) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  std::uint8_t* array = Array(frame);
  EXPECT_EQ(Insert(frame, -1, 1), 0u);
  EXPECT_EQ(Insert(frame, 4, 1), 0u);
  EXPECT_EQ(Insert(frame, 0, 0), 0u);
  EXPECT_EQ(Insert(frame, 0, -3), 0u);
  EXPECT_EQ(Insert(frame, 0, 32767), 0u) << "more than 32767 entries";
  EXPECT_EQ(Delete(frame, -1, 1), 0u);
  EXPECT_EQ(Delete(frame, 2, 2), 0u);
  EXPECT_EQ(Delete(frame, 0, 0), 0u);
  EXPECT_EQ(Array(frame), array);
  EXPECT_EQ(Count(frame), 3);
  EXPECT_EQ(Insert(frame, 3, 1), 1u) << "at the end";
  EXPECT_EQ(Count(frame), 4);
}

TEST_F(SimHostFrames, DeleteRemovesEntriesFromTheIndexInANewArray) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  const Bytes before = Entries(frame);
  std::uint8_t* old_array = Array(frame);
  ASSERT_EQ(Delete(frame, 0, 2), 1u);
  EXPECT_NE(Array(frame), old_array);
  EXPECT_EQ(Count(frame), 1);
  EXPECT_EQ(ReadS32(Entry(frame, 0)), 12);
  EXPECT_TRUE(AllBytes(old_array, before.size(), 0xDD));
  ASSERT_EQ(Delete(frame, 0, 1), 1u);
  EXPECT_EQ(Count(frame), 0);
  CleanFrame(frame);
  EXPECT_EQ(Save(frame), 1u);
  EXPECT_TRUE(Stored(FrameKey{1, 1, 0}).empty()) << "a named layer saved empty stays named";
}

TEST_F(SimHostFrames, ReduceDropsEntriesOfNoDurationAndAnswersTheCount) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  std::uint8_t* old_array = Array(frame);
  EXPECT_EQ(Signed(Reduce(frame)), 2);
  EXPECT_EQ(Count(frame), 2);
  EXPECT_EQ(ReadS32(Entry(frame, 0)), 10);
  EXPECT_EQ(ReadS32(Entry(frame, 1)), 12);
  EXPECT_NE(Array(frame), old_array);
  std::uint8_t* kept_array = Array(frame);
  EXPECT_EQ(Signed(Reduce(frame)), 2) << "moved even when nothing is dropped";
  EXPECT_NE(Array(frame), kept_array);
}

TEST_F(SimHostFrames, WritesThroughAStalePointerAreFoundLater) {
  const Word frame = Load(1, 1, 0);
  CleanFrame(frame);
  std::uint8_t* old_array = Array(frame);
  Insert(frame, 0, 1);
  old_array[entry_record::kSize + 16] = 7;  // a note of the old entry 1
  CleanFrame(frame);
  std::uint8_t* block = Block(frame);
  Free(frame);
  block[3] = 0;
  const FrameLedger& ledger = host().Frames();
  ASSERT_EQ(ledger.Count(FrameProblemKind::kWriteAfterFree), 2);
  EXPECT_EQ(ledger.problems[0].detail, "the entry array FX_InsertEXENTRY replaced at byte 162");
  EXPECT_EQ(ledger.problems[1].detail, "the frame block at byte 3");
  EXPECT_EQ(host().Frames().Count(FrameProblemKind::kWriteAfterFree), 2) << "each told once";
}

// --- Layers and slots ---

TEST_F(SimHostFrames, LayerAndSlotAnswersComeFromTheDocument) {
  EXPECT_EQ(Call(ExportId::FX_GetMaxLayers, {kVersion}), 3u);
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(0), kVersion}), 1u);
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(1), kVersion}), 1u);
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(2), kVersion}), 0u) << "hidden";
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(3), kVersion}), 0u) << "beyond the layers";
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(-1), kVersion}), 0u);
  EXPECT_EQ(Call(ExportId::FX_SlotToInst, {S(1), 0, kVersion}), 2u);
  EXPECT_EQ(Call(ExportId::FX_SlotToInst, {S(2), 0xFFFF, kVersion}), 2u)
      << "a slot key without a map of its own shows every slot's own staff";
  EXPECT_EQ(Call(ExportId::FX_SlotToInst, {S(7), 0, kVersion}), 7u);
  EXPECT_EQ(Call(ExportId::FX_InstToSlot, {S(2), 0, kVersion}), 1u);
  EXPECT_EQ(Call(ExportId::FX_InstToSlot, {S(1), 0, kVersion}), 2u);
  EXPECT_EQ(Signed(Call(ExportId::FX_SlotToInst, {S(-4), 0, kVersion})), -4);
  host().Records().Layers().layers = -2;
  EXPECT_EQ(Call(ExportId::FX_GetMaxLayers, {kVersion}), S(-2)) << "a hostile count, sign-extended";
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(0), kVersion}), 0u);
}

TEST_F(SimHostFrames, ResetGivesEverythingBack) {
  host().SetOddFrameAddresses(true);
  Load(1, 1, 0);
  Save(0);
  host().Reset();
  EXPECT_EQ(host().Frames().loads, 0);
  EXPECT_THAT(host().Frames().frames, IsEmpty());
  EXPECT_THAT(host().Frames().problems, IsEmpty());
  EXPECT_EQ(Load(1, 1, 0), 0u) << "the document went with the reset";
  std::string error;
  ASSERT_TRUE(LoadDocument(kDocument, &host().Records(), &error)) << error;
  EXPECT_EQ(Load(1, 1, 0) % 2, 0u) << "the odd-address mode is off again";
}

}  // namespace
}  // namespace hostsim
