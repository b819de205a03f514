// Documents: the music sections (layers, hidden layers, slots and the frames of entries and
// notes), what they put into the store, what saving gives back byte for byte, and how a malformed
// entry is refused with its place.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "hostsim/document.h"
#include "hostsim/entry_records.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

using ::testing::HasSubstr;

const std::uint8_t* EntryAt(const RecordStore& store, const FrameKey& key, std::size_t index) {
  const Bytes* entries = store.FindFrame(key);
  if (!entries || EntryCount(*entries) <= index) {
    ADD_FAILURE() << "no entry " << index << " in staff " << key.staff << ", measure "
                  << key.measure << ", layer " << key.layer;
    static const Bytes kNone(entry_record::kSize, 0);
    return kNone.data();
  }
  return entries->data() + index * entry_record::kSize;
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

TEST(DocumentFrames, BuildEachEntryFromItsFieldsWithTheFillInTheBytesNobodyReads) {
  const RecordStore store = Load(R"({"frames": [{"staff": 3, "measure": 7, "layer": 1,
      "entries": [{"entnum": -9, "duration": 768, "position": 256, "clef": 2, "flags": 3221225473,
        "notes": [{"displacement": -4, "raiselower": 1, "noteid": 5, "noteflags": 2147483648},
                  {"displacement": 12}]}]}]})");
  const FrameKey key{3, 7, 1};
  const std::uint8_t* entry = EntryAt(store, key, 0);
  EXPECT_EQ(ReadS32(entry + 0), -9);
  EXPECT_EQ(ReadS16(entry + 4), 768);
  EXPECT_EQ(ReadU32(entry + 8), 3221225473u);
  EXPECT_EQ(ReadS16(entry + 14), 2) << "numnotes: the notes given";
  EXPECT_EQ(ReadS32(entry + 136), 256);
  EXPECT_EQ(ReadS16(entry + 144), 2);
  const NoteFields first = ReadNote(entry, 0);
  EXPECT_EQ(first.displacement, -4);
  EXPECT_EQ(first.raise_lower, 1);
  EXPECT_EQ(first.note_id, 5);
  EXPECT_EQ(first.note_flags, 0x80000000u) << "noteflags as given, even when not mirrored";
  const NoteFields second = ReadNote(entry, 1);
  EXPECT_EQ(second.displacement, 12);
  EXPECT_EQ(second.note_id, 1) << "the lowest ID the entry leaves free";
  EXPECT_EQ(second.note_flags, 0x00010000u) << "the ID mirrored, as a cleaned frame holds it";
  for (std::size_t offset = 16 + 20; offset < 136; ++offset) {
    EXPECT_EQ(entry[offset], 0) << "unused note slots are zero: byte " << offset;
  }
  for (const std::size_t offset : {6u, 7u, 12u, 13u, 140u, 141u, 142u, 143u}) {
    EXPECT_EQ(entry[offset], EntryFillByte(key, 0, offset)) << "byte " << offset;
  }
  EXPECT_NE(entry[6], entry[7]);
}

TEST(DocumentFrames, DefaultTheRestFromTheDocument) {
  const RecordStore store = Load(R"({"frames": [
      {"staff": 1, "measure": 1, "layer": 0, "entries": [
        {"duration": 1024, "notes": [{"noteid": 1}, {"noteid": 3}, {}]},
        {"duration": 512},
        {"duration": -256, "position": 5000},
        {"duration": 100}]},
      {"staff": 1, "measure": 2, "layer": 0, "entries": [
        {"entnum": 2, "duration": 1}, {"entnum": 5, "duration": 1}]}]})");
  const FrameKey first{1, 1, 0};
  // Entry numbers: the lowest positive ones no entry names, in document order.
  EXPECT_EQ(ReadS32(EntryAt(store, first, 0)), 1);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 1)), 3);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 2)), 4);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 3)), 6);
  // Positions: where the entry before ends.
  EXPECT_EQ(ReadS32(EntryAt(store, first, 0) + 136), 0);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 1) + 136), 1024);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 2) + 136), 5000);
  EXPECT_EQ(ReadS32(EntryAt(store, first, 3) + 136), 4744);
  // Flags: a note entry when it has notes, a rest when not.
  EXPECT_EQ(ReadU32(EntryAt(store, first, 0) + 8), entry_record::kIsNote);
  EXPECT_EQ(ReadU32(EntryAt(store, first, 1) + 8), 0u);
  EXPECT_EQ(ReadS16(EntryAt(store, first, 1) + 14), 0);
  EXPECT_EQ(ReadNote(EntryAt(store, first, 0), 2).note_id, 2) << "the gap between 1 and 3";
  EXPECT_EQ(ReadS16(EntryAt(store, first, 0) + 144), 0) << "clef 0";
}

TEST(DocumentFrames, BytesGiveTheWholeEntryAndNamedFieldsAreWrittenOverThem) {
  Bytes hostile(entry_record::kSize, 0xEE);
  WriteU16(hostile.data() + entry_record::kNoteCount, 13);
  Bytes notes_over = hostile;
  const RecordStore store = Load(R"({"frames": [{"staff": 1, "measure": 1, "layer": 0,
      "entries": [{"bytes": ")" + Hex(hostile) +
                                 R"("},
                  {"bytes": ")" + Hex(notes_over) +
                                 R"(", "duration": 7,
                   "notes": [{"displacement": 1}]}]}]})");
  const FrameKey key{1, 1, 0};
  const std::uint8_t* kept = EntryAt(store, key, 0);
  EXPECT_EQ(Bytes(kept, kept + entry_record::kSize), hostile) << "numnotes 13 and all";
  const std::uint8_t* over = EntryAt(store, key, 1);
  WriteU16(notes_over.data() + entry_record::kDuration, 7);
  WriteU16(notes_over.data() + entry_record::kNoteCount, 1);
  WriteU16(notes_over.data() + entry_record::kNotes, 1);
  EXPECT_EQ(Bytes(over, over + entry_record::kSize), notes_over)
      << "only the duration, numnotes and the displacement are written over the bytes";
}

TEST(DocumentFrames, LayersNamedWithoutEntriesAreEmptyFrames) {
  const RecordStore store = Load(R"({"frames": [{"staff": 1, "measure": 1, "layer": 3}]})");
  const Bytes* entries = store.FindFrame(FrameKey{1, 1, 3});
  ASSERT_NE(entries, nullptr);
  EXPECT_TRUE(entries->empty());
}

TEST(DocumentFrames, TheHostHasEveryLayerOfAStaffAndMeasureTheDocumentNames) {
  const RecordStore store = Load(R"({"layers": 3, "frames": [
      {"staff": 2, "measure": 5, "layer": 1, "entries": [{"duration": 1}]}]})");
  EXPECT_TRUE(store.HasFrame(FrameKey{2, 5, 1}));
  EXPECT_TRUE(store.HasFrame(FrameKey{2, 5, 0})) << "an empty layer";
  EXPECT_TRUE(store.HasFrame(FrameKey{2, 5, 2}));
  EXPECT_FALSE(store.HasFrame(FrameKey{2, 5, 3})) << "beyond the staff's layers";
  EXPECT_FALSE(store.HasFrame(FrameKey{2, 5, -1}));
  EXPECT_FALSE(store.HasFrame(FrameKey{2, 4, 1})) << "a measure the document does not name";
  EXPECT_FALSE(store.HasFrame(FrameKey{1, 5, 1}));
  EXPECT_FALSE(store.HasFrame(FrameKey{3, 5, 0}));
}

TEST(DocumentLayers, DefaultToFourShownLayersAndSlotsThatShowTheirOwnStaff) {
  const RecordStore store = Load("{}");
  const LayerSetup& setup = store.Layers();
  EXPECT_EQ(setup.layers, 4);
  for (std::int16_t layer = 0; layer < 4; ++layer) EXPECT_TRUE(setup.IsShown(layer));
  EXPECT_FALSE(setup.IsShown(4));
  EXPECT_FALSE(setup.IsShown(-1));
  EXPECT_EQ(setup.StaffOfSlot(7), 7);
  EXPECT_EQ(setup.SlotOfStaff(-3), -3);
  EXPECT_TRUE(setup.IsDefault());
  const std::string saved = SaveDocument(store);
  EXPECT_THAT(saved, ::testing::Not(HasSubstr("layers")));
  EXPECT_THAT(saved, ::testing::Not(HasSubstr("slots")));
  EXPECT_THAT(saved, ::testing::Not(HasSubstr("frames")));
}

TEST(DocumentLayers, TakeTheCountTheHiddenLayersAndASlotMap) {
  const RecordStore store =
      Load(R"({"layers": 6, "hiddenLayers": [5, 0], "slots": {"1": 3, "3": 2, "2": 1}})");
  const LayerSetup& setup = store.Layers();
  EXPECT_EQ(setup.layers, 6);
  EXPECT_FALSE(setup.IsShown(0));
  EXPECT_TRUE(setup.IsShown(1));
  EXPECT_FALSE(setup.IsShown(5));
  EXPECT_EQ(setup.StaffOfSlot(1), 3);
  EXPECT_EQ(setup.StaffOfSlot(3), 2);
  EXPECT_EQ(setup.StaffOfSlot(4), 4);
  EXPECT_EQ(setup.SlotOfStaff(3), 1);
  EXPECT_EQ(setup.SlotOfStaff(1), 2);
  EXPECT_EQ(setup.SlotOfStaff(9), 9);
  for (std::int16_t slot = -2; slot < 6; ++slot) {
    EXPECT_EQ(setup.SlotOfStaff(setup.StaffOfSlot(slot)), slot);
  }
}

TEST(DocumentLayers, AllowAHostileCount) {
  EXPECT_EQ(Load(R"({"layers": 25})").Layers().layers, 25);
  EXPECT_EQ(Load(R"({"layers": -1})").Layers().layers, -1);
  EXPECT_EQ(Load(R"({"layers": 0})").Layers().layers, 0);
}

// Load -> save -> load gives the same store, and saving it again the same text.
void ExpectRoundTrip(const RecordStore& store) {
  const std::string saved = SaveDocument(store);
  RecordStore reloaded;
  std::string error;
  ASSERT_TRUE(LoadDocument(saved, &reloaded, &error)) << error << "\n" << saved;
  EXPECT_TRUE(reloaded == store) << saved;
  EXPECT_EQ(reloaded.Frames(), store.Frames());
  EXPECT_EQ(SaveDocument(reloaded), saved);
}

TEST(DocumentFrames, RoundTripTheSampleByteForByte) {
  RecordStore store;
  std::string error;
  ASSERT_TRUE(
      LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/note_entries.json", &store, &error))
      << error;
  EXPECT_EQ(store.Frames().size(), 6u);
  EXPECT_EQ(store.Layers().hidden, std::set<std::int16_t>{2});
  EXPECT_EQ(store.Layers().StaffOfSlot(1), 2);
  ExpectRoundTrip(store);
}

TEST(DocumentFrames, RoundTripHostileEntriesAndSetups) {
  std::string entries;
  for (const std::int16_t count : {13, 200, -1, -32768, 12, 0}) {
    Bytes entry(entry_record::kSize);
    for (std::size_t i = 0; i < entry.size(); ++i) {
      entry[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(count));
    }
    WriteU16(entry.data() + entry_record::kNoteCount, static_cast<std::uint16_t>(count));
    entries += (entries.empty() ? "" : ", ") + std::string(R"({"bytes": ")") + Hex(entry) + "\"}";
  }
  const RecordStore store = Load(R"({"layers": 21, "hiddenLayers": [20],
      "slots": {"-1": 32767, "32767": -1}, "frames": [
      {"staff": 32767, "measure": 32767, "layer": 20, "entries": [)" +
                                 entries + R"(]},
      {"staff": 1, "measure": 1, "layer": 0}]})");
  ASSERT_EQ(EntryCount(*store.FindFrame(FrameKey{32767, 32767, 20})), 6u);
  ExpectRoundTrip(store);
}

struct MalformedCase {
  const char* name;
  const char* json;
  const char* error;
};

class DocumentFramesRefuse : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(DocumentFramesRefuse, NamingThePlace) {
  RecordStore store;
  store.PutFrame(FrameKey{9, 9, 0}, Bytes(entry_record::kSize, 1));
  ExpectRefused(store, GetParam().json, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DocumentFramesRefuse,
    ::testing::Values(
        MalformedCase{"FramesNotAList", R"({"frames": {}})", "frames: expected an array"},
        MalformedCase{"UnknownFrameField",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "voice": 1}]})",
                      "frames[0].voice: unknown field"},
        MalformedCase{"NoStaff", R"({"frames": [{"measure": 1, "layer": 0}]})",
                      "frames[0].staff: required"},
        MalformedCase{"StaffZero", R"({"frames": [{"staff": 0, "measure": 1, "layer": 0}]})",
                      "frames[0].staff: expected an integer from 1 to 32767"},
        MalformedCase{"MeasureTooHigh",
                      R"({"frames": [{"staff": 1, "measure": 32768, "layer": 0}]})",
                      "frames[0].measure: expected an integer from 1 to 32767"},
        MalformedCase{"LayerBeyondTheCount",
                      R"({"layers": 2, "frames": [{"staff": 1, "measure": 1, "layer": 2}]})",
                      "frames[0].layer: expected an integer from 0 to 1"},
        MalformedCase{"NoLayers",
                      R"({"layers": 0, "frames": [{"staff": 1, "measure": 1, "layer": 0}]})",
                      "frames[0].layer: the document has no layers (\"layers\": 0)"},
        MalformedCase{"FrameTwice",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0},
                                     {"staff": 1, "measure": 1, "layer": 0}]})",
                      "frames[1]: staff 1, measure 1, layer 0 is already given by frames[0]"},
        MalformedCase{"EntriesNotAList",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": 3}]})",
                      "frames[0].entries: expected an array of at most 32767 entries"},
        MalformedCase{"EntryNotAnObject",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [1]}]})",
                      "frames[0].entries[0]: expected an object"},
        MalformedCase{"NoDuration",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1}, {"position": 5}]}]})",
                      "frames[0].entries[1].duration: required when \"bytes\" is not given"},
        MalformedCase{"DurationTooLong",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 32768}]}]})",
                      "frames[0].entries[0].duration: expected an integer from -32768 to 32767"},
        MalformedCase{"NegativeFlags",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "flags": -1}]}]})",
                      "frames[0].entries[0].flags: expected an integer from 0 to 4294967295"},
        MalformedCase{"EntnumTooLarge",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "entnum": 2147483648}]}]})",
                      "frames[0].entries[0].entnum: expected an integer from -2147483648 to "
                      "2147483647"},
        MalformedCase{"UnknownEntryField",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "numnotes": 2}]}]})",
                      "frames[0].entries[0].numnotes: unknown field"},
        MalformedCase{"ShortBytes",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"bytes": "0001"}]}]})",
                      "frames[0].entries[0].bytes: expected 146 bytes, got 2"},
        MalformedCase{"ThirteenNotes",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "notes": [{},{},{},{},{},{},{},{},{},{},{},{},{}]}]}]})",
                      "frames[0].entries[0].notes: expected an array of at most 12 notes"},
        MalformedCase{"NoteNotAnObject",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "notes": [{}, 4]}]}]})",
                      "frames[0].entries[0].notes[1]: expected an object"},
        MalformedCase{"NoteIdTooLarge",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1, "notes": [{"noteid": 40000}]}]}]})",
                      "frames[0].entries[0].notes[0].noteid: expected an integer from -32768 to "
                      "32767"},
        MalformedCase{"UnknownNoteField",
                      R"({"frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
                          {"duration": 1}, {"duration": 1, "notes": [{"pitch": 60}]}]}]})",
                      "frames[0].entries[1].notes[0].pitch: unknown field"},
        MalformedCase{"LayersNotANumber", R"({"layers": "4"})",
                      "layers: expected an integer from -32768 to 32767"},
        MalformedCase{"HiddenLayerBeyondTheCount", R"({"hiddenLayers": [1, 4]})",
                      "hiddenLayers[1]: expected a layer from 0 to 3"},
        MalformedCase{"HiddenLayerTwice", R"({"hiddenLayers": [1, 1]})",
                      "hiddenLayers[1]: layer 1 is already listed by hiddenLayers[0]"},
        MalformedCase{"HiddenLayersNotAList", R"({"hiddenLayers": 1})",
                      "hiddenLayers: expected an array of layers"},
        MalformedCase{"SlotsNotAMap", R"({"slots": [1, 2]})",
                      "slots: expected an object such as {\"1\": 3, \"3\": 1}"},
        MalformedCase{"SlotNotANumber", R"({"slots": {"one": 2, "2": 1}})",
                      "slots.one: a slot is a number from -32768 to 32767"},
        MalformedCase{"SlotTooHigh", R"({"slots": {"32768": 1}})",
                      "slots.32768: a slot is a number from -32768 to 32767"},
        MalformedCase{"SlotStaffNotANumber", R"({"slots": {"1": "2"}})",
                      "slots.1: expected an integer from -32768 to 32767 (the staff the slot "
                      "shows)"},
        MalformedCase{"TwoSlotsOneStaff", R"({"slots": {"1": 3, "2": 3, "3": 1}})",
                      "slots.2: staff 3 is already shown by slots.1"},
        MalformedCase{"NotOneToOne", R"({"slots": {"1": 3}})",
                      "slots.1: staff 3 must be a slot of the map too, so that the map is "
                      "one-to-one"}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hostsim
