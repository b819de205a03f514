// The simulated host serving what the framework's cells, regions and MIDI expressions ask of it:
// slot conversions per slot key, the selection and the whole document from FX_GetCurERegions,
// MIDI expression records (short ones too) through the record calls, and layer counts beyond
// what a cell can hold or below zero.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/sim_host.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

constexpr Word kVersion = 0x0F000200;
// The host's record layouts written out here rather than taken from its own constants, so that a
// wrong offset in the host fails these tests.
constexpr std::uint32_t kMidiTag = 0x64744D45;
constexpr std::size_t kRegionBytes = 20;
constexpr std::uint8_t kUntouched = 0xEE;

Word S(std::int16_t value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}

Word AddressWord(const void* pointer) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(pointer));
}

std::uint16_t U16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t U32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// A region record read field by field at the host's offsets.
struct Region {
  std::uint16_t start_key;
  std::int16_t start_slot;
  std::int16_t start_measure;
  std::int32_t start_position;
  std::uint16_t end_key;
  std::int16_t end_slot;
  std::int16_t end_measure;
  std::int32_t end_position;
};

Region ReadRegion(const std::uint8_t* at) {
  return Region{U16(at + 0),
                static_cast<std::int16_t>(U16(at + 2)),
                static_cast<std::int16_t>(U16(at + 4)),
                static_cast<std::int32_t>(U32(at + 6)),
                U16(at + 10),
                static_cast<std::int16_t>(U16(at + 12)),
                static_cast<std::int16_t>(U16(at + 14)),
                static_cast<std::int32_t>(U32(at + 16))};
}

void ExpectRegion(const std::uint8_t* at, const Region& expected, const char* what) {
  const Region got = ReadRegion(at);
  EXPECT_EQ(got.start_key, expected.start_key) << what;
  EXPECT_EQ(got.start_slot, expected.start_slot) << what;
  EXPECT_EQ(got.start_measure, expected.start_measure) << what;
  EXPECT_EQ(got.start_position, expected.start_position) << what;
  EXPECT_EQ(got.end_key, expected.end_key) << what;
  EXPECT_EQ(got.end_slot, expected.end_slot) << what;
  EXPECT_EQ(got.end_measure, expected.end_measure) << what;
  EXPECT_EQ(got.end_position, expected.end_position) << what;
}

bool AllBytes(const std::uint8_t* at, std::size_t size, std::uint8_t value) {
  for (std::size_t i = 0; i < size; ++i) {
    if (at[i] != value) return false;
  }
  return true;
}

// Staves 1 to 3 with frames up to measure 4; staff record 5, shown by slot 6 (key 0); key 7
// swaps slots 1 and 2, key 9 maps slot 10 to staff 5 (and back); a selection from slot 1
// (key 7), measure 2, position 512 to slot 2 (key 9), measure 3, position 1024.
const char kDocument[] = R"({
  "staves": [{"number": 5}],
  "slots": {"5": 6, "6": 5},
  "slotKeys": {"7": {"1": 2, "2": 1}, "9": {"10": 5, "5": 10}},
  "selection": {"startSlot": 1, "startMeasure": 2, "startPosition": 512, "startSlotKey": 7,
                "endSlot": 2, "endMeasure": 3, "endPosition": 1024, "endSlotKey": 9},
  "frames": [{"staff": 1, "measure": 1, "layer": 0}, {"staff": 3, "measure": 4, "layer": 1},
             {"staff": 2, "measure": 2, "layer": 0}],
  "midiExpressions": [
    {"staff": 1, "measure": 2, "inci": 0, "position": 0, "status": 176, "data1": 7,
     "data2": 100},
    {"staff": 1, "measure": 2, "inci": 1, "bytes": "000200"},
    {"staff": 1, "measure": 2, "inci": 2, "bytes": ""},
    {"staff": 1, "measure": 2, "inci": 3, "bytes": "0004000090aa3c004000ffff"},
    {"staff": 2, "measure": 1, "inci": 0, "position": 96, "status": 144, "data1": 60,
     "data2": 64}]
})";

class SimHostRegions : public ::testing::Test {
 protected:
  void SetUp() override { LoadInto(kDocument); }
  void TearDown() override { host().Reset(); }

  static SimHost& host() { return SimHost::Instance(); }

  static void LoadInto(const char* document) {
    host().Reset();
    std::string error;
    ASSERT_TRUE(LoadDocument(document, &host().Records(), &error)) << error;
  }

  static Word Call(ExportId id, std::vector<Word> args) {
    args.resize(static_cast<std::size_t>(ExportWordCount(id)), 0);
    return host().Dispatch(id, args.data());
  }
  static std::int16_t SlotToInst(std::int16_t slot, Word key) {
    return static_cast<std::int16_t>(Call(ExportId::FX_SlotToInst, {S(slot), key, kVersion}));
  }
  static std::int16_t InstToSlot(std::int16_t staff, Word key) {
    return static_cast<std::int16_t>(Call(ExportId::FX_InstToSlot, {S(staff), key, kVersion}));
  }

  // The three places of FX_GetCurERegions, filled beforehand, with room after each to see that
  // the host writes no further than it should.
  struct Places {
    std::uint8_t count[8];
    std::uint8_t selection[kRegionBytes + 4];
    std::uint8_t document[kRegionBytes + 4];
    Places() {
      std::memset(count, kUntouched, sizeof count);
      std::memset(selection, kUntouched, sizeof selection);
      std::memset(document, kUntouched, sizeof document);
    }
  };
  static Word CurrentRegions(const void* count, const void* selection, const void* document) {
    return Call(ExportId::FX_GetCurERegions,
                {AddressWord(count), AddressWord(selection), AddressWord(document), kVersion});
  }

  // FX_LoadEData of a MIDI expression into a buffer of `capacity` bytes filled beforehand; the
  // answer, the size it reports and the buffer.
  struct Loaded {
    Word answer = 0;
    std::int32_t size = 0;
    Bytes buffer;
  };
  static Loaded LoadMidi(Identity id, std::int32_t capacity) {
    Loaded loaded;
    loaded.buffer.assign(static_cast<std::size_t>(capacity), kUntouched);
    loaded.size = capacity;
    loaded.answer =
        Call(ExportId::FX_LoadEData, {kMidiTag, AddressWord(id.data()),
                                      capacity > 0 ? AddressWord(loaded.buffer.data()) : 0,
                                      AddressWord(&loaded.size), kVersion});
    return loaded;
  }
};

// --- Slots per key ---

TEST_F(SimHostRegions, SlotToInstAnswersFromTheMapOfTheKeyItIsGiven) {
  EXPECT_EQ(SlotToInst(1, 0), 1) << "key 0 leaves slot 1 alone";
  EXPECT_EQ(SlotToInst(1, 7), 2);
  EXPECT_EQ(SlotToInst(2, 7), 1);
  EXPECT_EQ(SlotToInst(6, 7), 6) << "key 7's map does not name slot 6";
  EXPECT_EQ(SlotToInst(6, 0), 5);
  EXPECT_EQ(SlotToInst(10, 9), 5);
  EXPECT_EQ(SlotToInst(5, 9), 10);
  EXPECT_EQ(SlotToInst(1, 8), 1) << "a key without a map";
  EXPECT_EQ(SlotToInst(1, 0xFFFF), 1);
  EXPECT_EQ(SlotToInst(-3, 7), -3);
  // The key is an unsigned 16-bit argument: the rest of its word is not the host's to read.
  EXPECT_EQ(SlotToInst(1, 0xABCD0007u), 2);
  EXPECT_EQ(SlotToInst(6, 0x00010000u), 5) << "key 0 with the word's upper half set";
}

TEST_F(SimHostRegions, InstToSlotAnswersFromTheMapOfTheKeyItIsGiven) {
  EXPECT_EQ(InstToSlot(2, 7), 1);
  EXPECT_EQ(InstToSlot(1, 7), 2);
  EXPECT_EQ(InstToSlot(5, 0), 6);
  EXPECT_EQ(InstToSlot(5, 9), 10);
  EXPECT_EQ(InstToSlot(5, 7), 5) << "key 7's map does not name staff 5";
  EXPECT_EQ(InstToSlot(2, 0), 2);
  EXPECT_EQ(InstToSlot(2, 3), 2) << "a key without a map";
  EXPECT_EQ(InstToSlot(2, 0x12340007u), 1);
  // A slot re-based from one key to another, as a region's cells are listed.
  EXPECT_EQ(InstToSlot(SlotToInst(10, 9), 0), 6);
  EXPECT_EQ(InstToSlot(SlotToInst(1, 7), 0), 2);
}

TEST_F(SimHostRegions, SlotMapsComeFromTheDocumentAndFollowItsChanges) {
  host().Records().Layers().keyed_slot_staves[7] = {{1, 4}, {4, 1}};
  EXPECT_EQ(SlotToInst(1, 7), 4);
  EXPECT_EQ(InstToSlot(1, 7), 4);
  EXPECT_EQ(SlotToInst(2, 7), 2);
  host().Records().Layers().keyed_slot_staves.clear();
  EXPECT_EQ(SlotToInst(1, 7), 1);
}

// --- FX_GetCurERegions ---

TEST_F(SimHostRegions, CurrentRegionsGiveTheCountTheSelectionAndTheWholeDocument) {
  Places places;
  EXPECT_EQ(CurrentRegions(places.count, places.selection, places.document), 1u);
  EXPECT_EQ(U32(places.count), 1u);
  ExpectRegion(places.selection, Region{7, 1, 2, 512, 9, 2, 3, 1024}, "the selection");
  // Staves 1-3 in their own slots, staff 5 in slot 6; frames up to measure 4.
  ExpectRegion(places.document, Region{0, 1, 1, 0, 0, 6, 4, 0x7FFFFFFF}, "the whole document");
  EXPECT_TRUE(AllBytes(places.count + 4, 4, kUntouched)) << "the count is 32 bits";
  EXPECT_TRUE(AllBytes(places.selection + kRegionBytes, 4, kUntouched));
  EXPECT_TRUE(AllBytes(places.document + kRegionBytes, 4, kUntouched));
}

TEST_F(SimHostRegions, WithoutASelectionTheCountIsZeroAndItsRecordAllZero) {
  host().Records().SetSelection(std::nullopt);
  Places places;
  EXPECT_EQ(CurrentRegions(places.count, places.selection, places.document), 1u);
  EXPECT_EQ(U32(places.count), 0u);
  EXPECT_TRUE(AllBytes(places.selection, kRegionBytes, 0));
  EXPECT_TRUE(AllBytes(places.selection + kRegionBytes, 4, kUntouched));
  ExpectRegion(places.document, Region{0, 1, 1, 0, 0, 6, 4, 0x7FFFFFFF}, "the whole document");
}

TEST_F(SimHostRegions, ASelectionSetFromCodeIsReportedAtOnce) {
  RegionSpan span;
  span.start_slot = -1;
  span.start_measure = 32767;
  span.start_position = -5;
  span.end_slot_key = 65535;
  span.end_slot = -32768;
  span.end_measure = 1;
  host().Records().SetSelection(span);
  Places places;
  CurrentRegions(places.count, places.selection, nullptr);
  EXPECT_EQ(U32(places.count), 1u);
  ExpectRegion(places.selection, Region{0, -1, 32767, -5, 65535, -32768, 1, 0x7FFFFFFF},
               "the selection set");
}

TEST_F(SimHostRegions, NullPlacesAreSkippedAndTheOthersStillFilled) {
  {
    Places places;
    EXPECT_EQ(CurrentRegions(nullptr, nullptr, places.document), 1u);
    ExpectRegion(places.document, Region{0, 1, 1, 0, 0, 6, 4, 0x7FFFFFFF}, "document alone");
  }
  {
    Places places;
    EXPECT_EQ(CurrentRegions(places.count, nullptr, nullptr), 1u);
    EXPECT_EQ(U32(places.count), 1u);
  }
  {
    Places places;
    EXPECT_EQ(CurrentRegions(nullptr, places.selection, nullptr), 1u);
    ExpectRegion(places.selection, Region{7, 1, 2, 512, 9, 2, 3, 1024}, "selection alone");
  }
  EXPECT_EQ(CurrentRegions(nullptr, nullptr, nullptr), 1u);
}

TEST_F(SimHostRegions, PlacesAtOddAddressesAreFilledByteForByte) {
  std::vector<std::uint8_t> block(4 + 2 * kRegionBytes + 8, kUntouched);
  std::uint8_t* count = block.data() + 1;
  std::uint8_t* selection = count + 4 + 2;                // odd
  std::uint8_t* document = selection + kRegionBytes + 2;  // odd
  EXPECT_EQ(CurrentRegions(count, selection, document), 1u);
  EXPECT_EQ(block[0], kUntouched);
  EXPECT_EQ(U32(count), 1u);
  ExpectRegion(selection, Region{7, 1, 2, 512, 9, 2, 3, 1024}, "odd selection");
  ExpectRegion(document, Region{0, 1, 1, 0, 0, 6, 4, 0x7FFFFFFF}, "odd document");
  EXPECT_TRUE(AllBytes(count + 4, 2, kUntouched));
  EXPECT_TRUE(AllBytes(selection + kRegionBytes, 2, kUntouched));
}

TEST_F(SimHostRegions, AProgrammedAnswerOrAFailedCallWritesNothing) {
  const auto expect_nothing_written = [](const char* what) {
    Places places;
    const Places untouched;
    EXPECT_EQ(CurrentRegions(places.count, places.selection, places.document), 0u) << what;
    EXPECT_EQ(std::memcmp(&places, &untouched, sizeof places), 0) << what;
  };
  host().SetResult("FX_GetCurERegions", 0);
  expect_nothing_written("answer 0 programmed");
  host().ClearResult("FX_GetCurERegions");
  host().FailCall("FX_GetCurERegions", 2);
  expect_nothing_written("the second call made to fail");
  EXPECT_EQ(host().CountCalls("FX_GetCurERegions"), 2);
  Places places;
  EXPECT_EQ(CurrentRegions(places.count, places.selection, places.document), 1u);
  EXPECT_EQ(U32(places.count), 1u) << "its own behaviour is back";
}

TEST_F(SimHostRegions, TheWholeDocumentEndsAtTheHighestSlotOfKeyZeroAndMeasureOfAnyFrame) {
  struct Case {
    const char* document;
    Region expected;
  };
  const Case cases[] = {
      {"{}", Region{0, 1, 1, 0, 0, 0, 0, 0x7FFFFFFF}},
      // A staff record alone gives the slot, not the measure.
      {R"({"staves": [{"number": 3}]})", Region{0, 1, 1, 0, 0, 3, 0, 0x7FFFFFFF}},
      // The slot showing the staff counts, not the staff's number.
      {R"({"slots": {"2": 9, "9": 2}, "frames": [{"staff": 9, "measure": 12, "layer": 0}]})",
       Region{0, 1, 1, 0, 0, 2, 12, 0x7FFFFFFF}},
      {R"({"slots": {"2": 9, "9": 2}, "frames": [{"staff": 2, "measure": 1, "layer": 0}]})",
       Region{0, 1, 1, 0, 0, 9, 1, 0x7FFFFFFF}},
      // Only key 0's map: another key's says nothing about the document's slots.
      {R"({"slotKeys": {"4": {"2": 9, "9": 2}}, "staves": [{"number": 2}]})",
       Region{0, 1, 1, 0, 0, 2, 0, 0x7FFFFFFF}},
      // Other records do not make the document longer or wider.
      {R"({"currentStaves": [{"staff": 8, "measure": 30}],
          "midiExpressions": [{"staff": 7, "measure": 40, "inci": 0, "status": 176}]})",
       Region{0, 1, 1, 0, 0, 0, 0, 0x7FFFFFFF}},
  };
  for (const Case& c : cases) {
    LoadInto(c.document);
    Places places;
    CurrentRegions(places.count, places.selection, places.document);
    ExpectRegion(places.document, c.expected, c.document);
    EXPECT_EQ(U32(places.count), 0u) << c.document;
  }
}

TEST_F(SimHostRegions, ResetForgetsTheSelection) {
  host().Reset();
  Places places;
  CurrentRegions(places.count, places.selection, places.document);
  EXPECT_EQ(U32(places.count), 0u);
  EXPECT_TRUE(AllBytes(places.selection, kRegionBytes, 0));
}

// --- MIDI expressions through the record calls ---

TEST_F(SimHostRegions, MidiExpressionsLoadAtStaffMeasureAndIncident) {
  const Loaded controller = LoadMidi(CellIdentity(1, 2, 0), 10);
  EXPECT_EQ(controller.answer, 1u);
  EXPECT_EQ(controller.size, 10);
  EXPECT_EQ(U32(controller.buffer.data()), 0u);
  EXPECT_EQ(controller.buffer[4], 0xB0);
  EXPECT_EQ(U16(controller.buffer.data() + 6), 7);
  EXPECT_EQ(U16(controller.buffer.data() + 8), 100);
  const Loaded note = LoadMidi(CellIdentity(2, 1, 0), 10);
  EXPECT_EQ(note.answer, 1u);
  EXPECT_EQ(U32(note.buffer.data()), 96u);
  EXPECT_EQ(note.buffer[4], 0x90);
  EXPECT_EQ(LoadMidi(CellIdentity(2, 1, 1), 10).answer, 0u) << "no incident 1 in that cell";
  EXPECT_EQ(LoadMidi(CellIdentity(2, 1, 0x0100), 10).answer, 0u);
  EXPECT_EQ(LoadMidi(CellIdentity(1, 1, 0), 10).answer, 0u) << "staff and measure are not swapped";
  Identity fourth_word = CellIdentity(1, 2, 0);
  fourth_word[6] = 1;
  EXPECT_EQ(LoadMidi(fourth_word, 10).answer, 0u) << "the fourth word is 0";
}

TEST_F(SimHostRegions, ShortAndLongMidiExpressionsDeliverWhatTheyHold) {
  const Loaded three = LoadMidi(CellIdentity(1, 2, 1), 10);
  EXPECT_EQ(three.answer, 1u);
  EXPECT_EQ(three.size, 3) << "the size delivered";
  EXPECT_EQ(Bytes(three.buffer.begin(), three.buffer.begin() + 3), (Bytes{0x00, 0x02, 0x00}));
  EXPECT_TRUE(AllBytes(three.buffer.data() + 3, 7, kUntouched)) << "nothing past the record";

  const Loaded empty = LoadMidi(CellIdentity(1, 2, 2), 10);
  EXPECT_EQ(empty.answer, 1u) << "an empty record is still there";
  EXPECT_EQ(empty.size, 0);
  EXPECT_TRUE(AllBytes(empty.buffer.data(), 10, kUntouched));

  const Loaded twelve = LoadMidi(CellIdentity(1, 2, 3), 10);
  EXPECT_EQ(twelve.answer, 1u);
  EXPECT_EQ(twelve.size, 10) << "no more than the buffer holds";
  EXPECT_EQ(U16(twelve.buffer.data() + 8), 0x0040);

  for (const auto& [inci, size] :
       {std::pair<std::uint16_t, std::int32_t>{0, 10}, {1, 3}, {2, 0}, {3, 12}}) {
    const Loaded query = LoadMidi(CellIdentity(1, 2, inci), 0);
    EXPECT_EQ(query.answer, 1u) << "incident " << inci;
    EXPECT_EQ(query.size, size) << "the size a query reports, incident " << inci;
  }
}

TEST_F(SimHostRegions, AWalkOverACellsIncidentsStopsWhereTheyEnd) {
  std::vector<std::int32_t> sizes;
  for (std::uint16_t inci = 0; inci < 100; ++inci) {
    const Loaded loaded = LoadMidi(CellIdentity(1, 2, inci), 10);
    if (!loaded.answer) break;
    sizes.push_back(loaded.size);
  }
  EXPECT_EQ(sizes, (std::vector<std::int32_t>{10, 3, 0, 10}));
}

TEST_F(SimHostRegions, MidiExpressionsAreSteppedInStaffMeasureIncidentOrder) {
  Identity id{};
  std::vector<Identity> seen;
  while (Call(ExportId::FX_NextEData, {kMidiTag, AddressWord(id.data()), 0, 0, kVersion})) {
    seen.push_back(id);
  }
  EXPECT_EQ(seen, (std::vector<Identity>{CellIdentity(1, 2, 0), CellIdentity(1, 2, 1),
                                         CellIdentity(1, 2, 2), CellIdentity(1, 2, 3),
                                         CellIdentity(2, 1, 0)}));
}

TEST_F(SimHostRegions, ASavedShortMidiExpressionStaysShort) {
  const Identity id = CellIdentity(2, 1, 0);
  Bytes record{0x01, 0x02, 0x03, 0x04};
  EXPECT_EQ(Call(ExportId::FX_SaveEData,
                 {kMidiTag, AddressWord(id.data()), AddressWord(record.data()), 4, kVersion}),
            1u);
  EXPECT_EQ(LoadMidi(id, 0).size, 4);
  const RecordStore saved = [] {
    RecordStore store;
    std::string error;
    EXPECT_TRUE(LoadDocument(SaveDocument(host().Records()), &store, &error)) << error;
    return store;
  }();
  EXPECT_TRUE(saved == host().Records()) << "a short record saves and loads back as it is";
}

// --- Layer counts ---

TEST_F(SimHostRegions, AboveTwentyLayersEveryLayerBelowTheCountIsShownAndHasAFrame) {
  LoadInto(R"({"layers": 25, "hiddenLayers": [3],
               "frames": [{"staff": 1, "measure": 1, "layer": 0}]})");
  EXPECT_EQ(Call(ExportId::FX_GetMaxLayers, {kVersion}), 25u);
  for (std::int16_t layer = 0; layer < 25; ++layer) {
    EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(layer), kVersion}), layer == 3 ? 0u : 1u)
        << "layer " << layer;
    const Word frame = Call(ExportId::FX_LoadTGF, {0, S(1), S(1), S(layer), 1, kVersion});
    EXPECT_NE(frame, 0u) << "layer " << layer << " of a staff and measure the document names";
    if (frame) Call(ExportId::FX_FreeTGF, {frame, kVersion});
  }
  EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(25), kVersion}), 0u);
  EXPECT_EQ(Call(ExportId::FX_LoadTGF, {0, S(1), S(1), S(25), 1, kVersion}), 0u);
  EXPECT_EQ(Call(ExportId::FX_LoadTGF, {0, S(1), S(2), S(19), 1, kVersion}), 0u)
      << "a measure the document does not name";
  EXPECT_TRUE(host().Frames().NeverFreed().empty());
  EXPECT_TRUE(host().Frames().problems.empty());
}

TEST_F(SimHostRegions, WithANegativeOrNoLayerCountNothingIsShownOrLent) {
  for (const char* document : {R"({"layers": -3, "staves": [{"number": 1}]})",
                               R"({"layers": -32768})", R"({"layers": 0})"}) {
    LoadInto(document);
    const auto count = static_cast<std::int16_t>(Call(ExportId::FX_GetMaxLayers, {kVersion}));
    EXPECT_EQ(count, host().Records().Layers().layers) << document;
    for (std::int16_t layer = -1; layer < 20; ++layer) {
      EXPECT_EQ(Call(ExportId::FX_GetShowLayer, {S(layer), kVersion}), 0u)
          << document << ", layer " << layer;
      EXPECT_EQ(Call(ExportId::FX_LoadTGF, {0, S(1), S(1), S(layer), 1, kVersion}), 0u)
          << document << ", layer " << layer;
    }
  }
  EXPECT_EQ(host().Frames().lent, 0);
}

}  // namespace
}  // namespace hostsim
