// Documents: the maps of slot keys other than 0, the user's selection and the MIDI expressions
// attached to cells; what they put into the store, what saving gives back, how `show` lists them,
// and how a malformed entry is refused with its place.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "hostsim/document.h"
#include "hostsim/record_listings.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The MIDI expression tag and identity layout written out here rather than taken from the host's
// own constants, so that a wrong tag or word order in the host fails these tests.
constexpr std::uint32_t kMidiTag = 0x64744D45;

const Bytes* Midi(const RecordStore& store, std::uint16_t staff, std::uint16_t measure,
                  std::uint16_t inci) {
  return store.Find(kMidiTag, CellIdentity(staff, measure, inci));
}

// Load -> save -> load gives the same store, and saving it again the same text; answers the text.
std::string ExpectRoundTrip(const RecordStore& store) {
  const std::string saved = SaveDocument(store);
  RecordStore reloaded;
  std::string error;
  EXPECT_TRUE(LoadDocument(saved, &reloaded, &error)) << error << "\n" << saved;
  EXPECT_TRUE(reloaded == store) << saved;
  EXPECT_EQ(SaveDocument(reloaded), saved);
  return saved;
}

// --- Slot keys ---

TEST(DocumentSlotKeys, GiveEachKeyItsOwnMapBesideTheSlotsOfKeyZero) {
  const RecordStore store = Load(R"({"slots": {"1": 3, "3": 1},
      "slotKeys": {"7": {"1": 2, "2": 1}, "65535": {"-1": 5, "5": -1}}})");
  const LayerSetup& setup = store.Layers();
  EXPECT_EQ(setup.StaffOfSlot(1), 3) << "key 0 is the \"slots\" map";
  EXPECT_EQ(setup.StaffOfSlot(1, 0), 3);
  EXPECT_EQ(setup.StaffOfSlot(1, 7), 2);
  EXPECT_EQ(setup.StaffOfSlot(2, 7), 1);
  EXPECT_EQ(setup.StaffOfSlot(3, 7), 3) << "a slot key 7's map does not name";
  EXPECT_EQ(setup.StaffOfSlot(-1, 65535), 5);
  EXPECT_EQ(setup.StaffOfSlot(1, 8), 1) << "a key without a map: every slot its own staff";
  EXPECT_EQ(setup.SlotOfStaff(2, 7), 1);
  EXPECT_EQ(setup.SlotOfStaff(1, 7), 2);
  EXPECT_EQ(setup.SlotOfStaff(3, 7), 3);
  EXPECT_EQ(setup.SlotOfStaff(3), 1);
  EXPECT_EQ(setup.SlotOfStaff(5, 65535), -1);
  EXPECT_EQ(setup.SlotOfStaff(2, 8), 2);
  EXPECT_EQ(setup.keyed_slot_staves.size(), 2u);
}

TEST(DocumentSlotKeys, RoundTripAndAreSavedUnderTheirKey) {
  const RecordStore store = Load(R"({"slots": {"1": 2, "2": 1},
      "slotKeys": {"300": {"-32768": 32767, "32767": -32768}, "7": {"1": 3, "3": 2, "2": 1}}})");
  const std::string saved = ExpectRoundTrip(store);
  EXPECT_THAT(saved, HasSubstr(R"("slotKeys": {
    "7": {
      "1": 3,
      "2": 1,
      "3": 2
    },
    "300": {)"));
}

TEST(DocumentSlotKeys, AnEmptyMapIsNoMapAndNothingIsSaved) {
  const RecordStore store = Load(R"({"slotKeys": {"7": {}}})");
  EXPECT_TRUE(store.Layers().keyed_slot_staves.empty());
  EXPECT_TRUE(store.Layers().IsDefault());
  EXPECT_THAT(SaveDocument(store), Not(HasSubstr("slotKeys")));
  EXPECT_THAT(SaveDocument(Load("{}")), Not(HasSubstr("slotKeys")));
}

TEST(DocumentSlotKeys, TellTwoDocumentsApart) {
  const RecordStore one = Load(R"({"slotKeys": {"7": {"1": 2, "2": 1}}})");
  EXPECT_FALSE(one == Load(R"({"slotKeys": {"8": {"1": 2, "2": 1}}})"));
  EXPECT_FALSE(one == Load(R"({"slotKeys": {"7": {"1": 3, "3": 1}}})"));
  EXPECT_FALSE(one == Load(R"({"slots": {"1": 2, "2": 1}})")) << "key 7 is not key 0";
  EXPECT_FALSE(one == Load("{}"));
  EXPECT_TRUE(one == Load(R"({"slotKeys": {"7": {"2": 1, "1": 2}}})"));
}

// --- Selection ---

TEST(DocumentSelection, IsStoredWithEveryField) {
  const RecordStore store = Load(R"({"selection": {"startSlot": 1, "startMeasure": 2,
      "startPosition": 512, "endSlot": 2, "endMeasure": 3, "endPosition": 1024,
      "startSlotKey": 7, "endSlotKey": 65535}})");
  ASSERT_TRUE(store.Selection().has_value());
  const RegionSpan& span = *store.Selection();
  EXPECT_EQ(span.start_slot_key, 7);
  EXPECT_EQ(span.start_slot, 1);
  EXPECT_EQ(span.start_measure, 2);
  EXPECT_EQ(span.start_position, 512);
  EXPECT_EQ(span.end_slot_key, 65535);
  EXPECT_EQ(span.end_slot, 2);
  EXPECT_EQ(span.end_measure, 3);
  EXPECT_EQ(span.end_position, 1024);
}

TEST(DocumentSelection, DefaultsTheKeysAndPositionsToTheWholeOfItsMeasures) {
  const RecordStore store = Load(R"({"selection": {"startSlot": -32768, "startMeasure": 32767,
      "endSlot": 32767, "endMeasure": -32768}})");
  ASSERT_TRUE(store.Selection().has_value());
  const RegionSpan& span = *store.Selection();
  EXPECT_EQ(span.start_slot_key, 0);
  EXPECT_EQ(span.end_slot_key, 0);
  EXPECT_EQ(span.start_position, 0);
  EXPECT_EQ(span.end_position, 0x7FFFFFFF);
  EXPECT_EQ(span.start_slot, -32768);
  EXPECT_EQ(span.end_measure, -32768);
  EXPECT_FALSE(Load("{}").Selection().has_value()) << "no selection unless the document has one";
}

TEST(DocumentSelection, RoundTripsWithEveryFieldWritten) {
  const RecordStore store = Load(R"({"selection": {"startSlot": 1, "startMeasure": 2,
      "startPosition": -2147483648, "endSlot": 2, "endMeasure": 3, "endPosition": 2147483647,
      "endSlotKey": 4}})");
  const std::string saved = ExpectRoundTrip(store);
  EXPECT_THAT(saved, HasSubstr(R"("selection": {
    "startSlot": 1,
    "startMeasure": 2,
    "startPosition": -2147483648,
    "endSlot": 2,
    "endMeasure": 3,
    "endPosition": 2147483647,
    "startSlotKey": 0,
    "endSlotKey": 4
  })"));
  EXPECT_THAT(SaveDocument(Load("{}")), Not(HasSubstr("selection")));
}

TEST(DocumentSelection, TellsTwoDocumentsApartAndIsSetFromCode) {
  const std::string text = R"({"selection": {"startSlot": 1, "startMeasure": 2, "endSlot": 2,
      "endMeasure": 3}})";
  RecordStore store = Load(text);
  EXPECT_TRUE(store == Load(text));
  RegionSpan span = *store.Selection();
  span.end_position = 100;
  store.SetSelection(span);
  EXPECT_FALSE(store == Load(text)) << "the end position differs";
  span = *Load(text).Selection();
  span.start_slot_key = 1;
  store.SetSelection(span);
  EXPECT_FALSE(store == Load(text)) << "the start slot key differs";
  store.SetSelection(std::nullopt);
  EXPECT_TRUE(store == Load("{}"));
  store.SetSelection(span);
  store.Clear();
  EXPECT_FALSE(store.Selection().has_value()) << "a cleared store has no selection";
}

// --- MIDI expressions ---

TEST(DocumentMidiExpressions, BuildTheTenByteRecordAtStaffMeasureAndIncident) {
  const RecordStore store = Load(R"({"midiExpressions": [
      {"staff": 1, "measure": 2, "inci": 0, "position": 256, "status": 176, "data1": 7,
       "data2": 100},
      {"staff": 32767, "measure": 300, "inci": 32767, "position": -2, "status": 144,
       "data1": -32768, "data2": 32767},
      {"staff": 1, "measure": 2, "inci": 2, "status": 255}]})");
  const Bytes* controller = Midi(store, 1, 2, 0);
  ASSERT_NE(controller, nullptr);
  ASSERT_EQ(controller->size(), 10u);
  EXPECT_EQ(Bytes(controller->begin(), controller->begin() + 5),
            (Bytes{0x00, 0x01, 0x00, 0x00, 0xB0}));
  EXPECT_EQ((*controller)[5], FillByte(kMidiTag, 1 + 256 * 2 + 0, 5)) << "nobody reads byte 5";
  EXPECT_EQ(Bytes(controller->begin() + 6, controller->end()), (Bytes{7, 0, 100, 0}));

  const Bytes* extremes = Midi(store, 32767, 300, 32767);
  ASSERT_NE(extremes, nullptr);
  EXPECT_EQ(Bytes(extremes->begin(), extremes->begin() + 5), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x90}));
  EXPECT_EQ(Bytes(extremes->begin() + 6, extremes->end()), (Bytes{0x00, 0x80, 0xFF, 0x7F}));
  EXPECT_NE((*extremes)[5], (*controller)[5]) << "two events fill byte 5 differently";

  const Bytes* defaults = Midi(store, 1, 2, 2);
  ASSERT_NE(defaults, nullptr);
  EXPECT_EQ(*defaults, (Bytes{0, 0, 0, 0, 0xFF, (*defaults)[5], 0, 0, 0, 0}))
      << "position and data 0 unless given";
  EXPECT_EQ(Midi(store, 1, 2, 1), nullptr) << "the gap stays a gap";
  EXPECT_EQ(store.Records().size(), 3u);
}

TEST(DocumentMidiExpressions, BytesGiveTheRecordAtAnyLengthAndFieldsAreWrittenOverThem) {
  const RecordStore store = Load(R"({"midiExpressions": [
      {"staff": 1, "measure": 1, "inci": 0, "bytes": ""},
      {"staff": 1, "measure": 1, "inci": 1, "bytes": "010203"},
      {"staff": 1, "measure": 1, "inci": 2, "bytes": "000000000000000000000000", "status": 176,
       "data2": -1},
      {"staff": 1, "measure": 1, "inci": 3, "bytes": "1111111111", "position": 5}]})");
  ASSERT_NE(Midi(store, 1, 1, 0), nullptr);
  EXPECT_EQ(*Midi(store, 1, 1, 0), Bytes{});
  EXPECT_EQ(*Midi(store, 1, 1, 1), (Bytes{1, 2, 3}));
  EXPECT_EQ(*Midi(store, 1, 1, 2), (Bytes{0, 0, 0, 0, 0xB0, 0, 0, 0, 0xFF, 0xFF, 0, 0}))
      << "twelve bytes stay twelve";
  EXPECT_EQ(*Midi(store, 1, 1, 3), (Bytes{5, 0, 0, 0, 0x11})) << "a field the bytes reach";
}

TEST(DocumentMidiExpressions, RoundTripInTheirSection) {
  RecordStore store = Load(R"({"midiExpressions": [
      {"staff": 2, "measure": 1, "inci": 0, "position": 512, "status": 176, "data1": 7,
       "data2": 100},
      {"staff": 1, "measure": 3, "inci": 4, "bytes": "0102"},
      {"staff": 1, "measure": 3, "inci": 5, "bytes": ""},
      {"staff": 1, "measure": 3, "inci": 6, "bytes": "0102030405060708090a0b"}]})");
  // Records of the tag that no entry of the section can name.
  store.Put(kMidiTag, CellIdentity(0, 1, 0), Bytes(10, 1));
  store.Put(kMidiTag, CellIdentity(1, 0x8000, 0), Bytes(10, 2));
  store.Put(kMidiTag, CellIdentity(1, 1, 0x8000), Bytes(10, 3));
  Identity fourth_word = CellIdentity(1, 1, 0);
  fourth_word[6] = 1;
  store.Put(kMidiTag, fourth_word, Bytes(10, 4));
  const std::string saved = ExpectRoundTrip(store);
  const std::string section =
      saved.substr(saved.find("\"midiExpressions\""),
                   saved.find("\"records\"") - saved.find("\"midiExpressions\""));
  EXPECT_THAT(section, HasSubstr(R"("staff": 2,
      "measure": 1,
      "inci": 0,
      "position": 512,
      "status": 176,
      "data1": 7,
      "data2": 100,
      "bytes": "00020000b0)"));
  EXPECT_THAT(section, HasSubstr(R"("inci": 4,
      "bytes": "0102")"))
      << "a short record keeps to its bytes";
  EXPECT_THAT(section, HasSubstr(R"("inci": 5,
      "bytes": "")"));
  EXPECT_THAT(section, HasSubstr(R"("inci": 6,
      "bytes": "0102030405060708090a0b")"));
  const std::string records = saved.substr(saved.find("\"records\""));
  for (const char* raw :
       {"0000010000000000", "0100008000000000", "0100010000800000", "0100010000000100"}) {
    EXPECT_THAT(records, HasSubstr(raw)) << "a cell the section cannot name goes out raw";
  }
  EXPECT_THAT(SaveDocument(Load("{}")), Not(HasSubstr("midiExpressions")));
}

TEST(DocumentMidiExpressions, AreListedByShowWithTheFieldsTheirRecordsReach) {
  const std::string listing = RecordListings(Load(R"({"midiExpressions": [
      {"staff": 2, "measure": 9, "inci": 0, "position": 512, "status": 176, "data1": 7,
       "data2": 100},
      {"staff": 2, "measure": 9, "inci": 1, "position": 0, "status": 144, "data1": 60,
       "data2": -5},
      {"staff": 2, "measure": 9, "inci": 2, "bytes": "0004000090"}]})"));
  EXPECT_THAT(listing, HasSubstr("MIDI expressions:"));
  EXPECT_THAT(listing, HasSubstr("Staff  Measure  Inci  Bytes  Position  Status           Data 1"));
  EXPECT_THAT(listing, HasSubstr("    2        9     0     10       512  0xB0 controller       7"));
  EXPECT_THAT(listing, HasSubstr("    2        9     1     10         0  0x90                 60"));
  EXPECT_THAT(listing, HasSubstr("-5"));
  EXPECT_THAT(listing, HasSubstr("    2        9     2      5      1024  0x90"))
      << "the data fields a 5-byte record does not reach are blank";
  EXPECT_THAT(RecordListings(Load("{}")), Not(HasSubstr("MIDI")));
}

TEST(DocumentListings, ShowTheSelectionAndTheMapsOfOtherSlotKeys) {
  const std::string listing = RecordListings(Load(R"({"slotKeys": {"7": {"1": 2, "2": 1}},
      "selection": {"startSlot": 1, "startMeasure": 2, "startPosition": 512, "endSlot": 2,
                    "endMeasure": 3, "endSlotKey": 7}})"));
  EXPECT_THAT(listing, HasSubstr("Selection: from slot 1 (key 0), measure 2, position 512 to slot "
                                 "2 (key 7), measure 3, position 2147483647\n"));
  EXPECT_THAT(listing, HasSubstr("Slots of key 7: slot 1 shows staff 2, slot 2 shows staff 1; "
                                 "every other slot its own staff\n"));
  EXPECT_THAT(listing, Not(HasSubstr("Slots:"))) << "key 0 shows every slot's own staff";
}

// --- Malformed entries ---

struct MalformedCase {
  const char* name;
  const char* json;
  const char* error;
};

class DocumentRegionsRefuse : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(DocumentRegionsRefuse, NamingThePlaceAndChangingNothing) {
  ExpectRefused(Load(R"({"slotKeys": {"3": {"1": 2, "2": 1}},
      "selection": {"startSlot": 1, "startMeasure": 1, "endSlot": 1, "endMeasure": 1},
      "midiExpressions": [{"staff": 1, "measure": 1, "inci": 0, "status": 176}]})"),
                GetParam().json, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentRegionsRefuse,
    ::testing::Values(
        // Slot keys
        MalformedCase{"SlotKeysNotAMap", R"({"slotKeys": [1]})",
                      R"(slotKeys: expected an object such as {"7": {"1": 2, "2": 1}})"},
        MalformedCase{
            "SlotKeyZero", R"({"slotKeys": {"0": {"1": 2, "2": 1}}})",
            R"(slotKeys.0: a slot key is a number from 1 to 65535 (the map of key 0 is "slots"))"},
        MalformedCase{
            "SlotKeyTooHigh", R"({"slotKeys": {"65536": {}}})",
            R"(slotKeys.65536: a slot key is a number from 1 to 65535 (the map of key 0 is "slots"))"},
        MalformedCase{
            "SlotKeyNegative", R"({"slotKeys": {"-1": {}}})",
            R"(slotKeys.-1: a slot key is a number from 1 to 65535 (the map of key 0 is "slots"))"},
        MalformedCase{
            "SlotKeyNotANumber", R"({"slotKeys": {"seven": {}}})",
            R"(slotKeys.seven: a slot key is a number from 1 to 65535 (the map of key 0 is "slots"))"},
        MalformedCase{"SlotKeyTwice", R"({"slotKeys": {"7": {}, "07": {"1": 2, "2": 1}}})",
                      "slotKeys.07: slot key 7 is already given by slotKeys.7"},
        MalformedCase{"KeyedMapNotAMap", R"({"slotKeys": {"7": [1, 2]}})",
                      R"(slotKeys.7: expected an object such as {"1": 3, "3": 1})"},
        MalformedCase{"KeyedSlotTooLow", R"({"slotKeys": {"7": {"-32769": 1}}})",
                      "slotKeys.7.-32769: a slot is a number from -32768 to 32767"},
        MalformedCase{"KeyedStaffTooHigh", R"({"slotKeys": {"7": {"1": 32768}}})",
                      "slotKeys.7.1: expected an integer from -32768 to 32767 (the staff the "
                      "slot shows)"},
        MalformedCase{"KeyedTwoSlotsOneStaff", R"({"slotKeys": {"7": {"1": 3, "2": 3, "3": 1}}})",
                      "slotKeys.7.2: staff 3 is already shown by slotKeys.7.1"},
        MalformedCase{"KeyedNotOneToOne", R"({"slotKeys": {"7": {"1": 3, "3": 2}}})",
                      "slotKeys.7.3: staff 2 must be a slot of the map too, so that the map is "
                      "one-to-one"},
        MalformedCase{"KeyedSlotTwice", R"({"slotKeys": {"7": {"1": 2, "01": 1, "2": 1}}})",
                      "slotKeys.7.01: slot 1 is already given by slotKeys.7.1"},
        MalformedCase{"SlotTwice", R"({"slots": {"01": 2, "1": 3, "2": 1, "3": 1}})",
                      "slots.1: slot 1 is already given by slots.01"},
        // Selection
        MalformedCase{"SelectionNotAnObject", R"({"selection": [1, 1, 1, 1]})",
                      "selection: expected an object"},
        MalformedCase{"SelectionWithoutStartSlot",
                      R"({"selection": {"startMeasure": 1, "endSlot": 1, "endMeasure": 1}})",
                      "selection.startSlot: required"},
        MalformedCase{"SelectionWithoutEndMeasure",
                      R"({"selection": {"startSlot": 1, "startMeasure": 1, "endSlot": 1}})",
                      "selection.endMeasure: required"},
        MalformedCase{"SelectionMeasureTooHigh",
                      R"({"selection": {"startSlot": 1, "startMeasure": 32768, "endSlot": 1,
                          "endMeasure": 1}})",
                      "selection.startMeasure: expected an integer from -32768 to 32767"},
        MalformedCase{"SelectionSlotTooLow",
                      R"({"selection": {"startSlot": 1, "startMeasure": 1, "endSlot": -32769,
                          "endMeasure": 1}})",
                      "selection.endSlot: expected an integer from -32768 to 32767"},
        MalformedCase{"SelectionPositionBeyond32Bits",
                      R"({"selection": {"startSlot": 1, "startMeasure": 1, "endSlot": 1,
                          "endMeasure": 1, "endPosition": 2147483648}})",
                      "selection.endPosition: expected an integer from -2147483648 to "
                      "2147483647"},
        MalformedCase{"SelectionKeyBeyond16Bits",
                      R"({"selection": {"startSlot": 1, "startMeasure": 1, "endSlot": 1,
                          "endMeasure": 1, "startSlotKey": 65536}})",
                      "selection.startSlotKey: expected an integer from 0 to 65535"},
        MalformedCase{"SelectionUnknownField",
                      R"({"selection": {"startSlot": 1, "startMeasure": 1, "endSlot": 1,
                          "endMeasure": 1, "startStaff": 1}})",
                      "selection.startStaff: unknown field"},
        // MIDI expressions
        MalformedCase{"MidiStaffZero",
                      R"({"midiExpressions": [{"staff": 0, "measure": 1, "inci": 0,
                          "status": 176}]})",
                      "midiExpressions[0].staff: expected an integer from 1 to 32767"},
        MalformedCase{"MidiMeasureTooHigh",
                      R"({"midiExpressions": [{"staff": 1, "measure": 32768, "inci": 0,
                          "status": 176}]})",
                      "midiExpressions[0].measure: expected an integer from 1 to 32767"},
        MalformedCase{"MidiIncidentNegative",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": -1,
                          "status": 176}]})",
                      "midiExpressions[0].inci: expected an integer from 0 to 32767"},
        MalformedCase{"MidiWithoutIncident",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "status": 176}]})",
                      "midiExpressions[0].inci: required"},
        MalformedCase{"MidiStatusBeyondAByte",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "status": 256}]})",
                      "midiExpressions[0].status: expected an integer from 0 to 255"},
        MalformedCase{"MidiDataBeyond16Bits",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "status": 176, "data1": 32768}]})",
                      "midiExpressions[0].data1: expected an integer from -32768 to 32767"},
        MalformedCase{"MidiPositionBeyond32Bits",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "status": 176, "position": -2147483649}]})",
                      "midiExpressions[0].position: expected an integer from -2147483648 to "
                      "2147483647"},
        MalformedCase{"MidiWithoutStatusOrBytes",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "data1": 7}]})",
                      R"(midiExpressions[0].status: required when "bytes" is not given)"},
        MalformedCase{"MidiFieldPastShortBytes",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "bytes": "0000000090000700", "data2": 1}]})",
                      "midiExpressions[0].data2: the record's 8 bytes do not reach byte 9"},
        MalformedCase{"MidiIdentityTwice",
                      R"({"midiExpressions": [
                          {"staff": 1, "measure": 2, "inci": 3, "status": 176},
                          {"staff": 1, "measure": 2, "inci": 3, "bytes": ""}]})",
                      "midiExpressions[1]: the document already holds a record with tag "
                      "0x64744D45 and id 0100020003000000"},
        MalformedCase{"MidiAlsoInRecords",
                      R"({"midiExpressions": [{"staff": 1, "measure": 2, "inci": 3,
                          "status": 176}],
                          "records": [{"tag": "0x64744D45", "id": "0100020003000000",
                          "bytes": ""}]})",
                      "records[0]: the document already holds a record with tag 0x64744D45 and "
                      "id 0100020003000000"},
        MalformedCase{"MidiUnknownField",
                      R"({"midiExpressions": [{"staff": 1, "measure": 1, "inci": 0,
                          "status": 176, "channel": 1}]})",
                      "midiExpressions[0].channel: unknown field"},
        MalformedCase{"TextsUnderTheMidiTag",
                      R"({"texts": [{"tag": "0x64744D45", "number": 1, "text": "a"}]})",
                      "texts[0].tag: 0x64744D45 is the tag of the records in "
                      "\"midiExpressions\", which have a section of their own"}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hostsim
