// Documents: the sections for raw texts, incident runs, staves, current staves, clefs and
// measure-number regions; what they put into the host's records, what saving gives back, and how
// a malformed entry is refused.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "hostsim/staff_records.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

constexpr std::uint32_t kTextTag = 0x74787431;      // 'txt1'
constexpr std::uint32_t kIncidentTag = 0x626C6B31;  // 'blk1'

std::string Hex(std::size_t count, std::uint8_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[value >> 4];
    hex += kDigits[value & 0x0F];
  }
  return hex;
}

const Bytes& Record(const RecordStore& store, std::uint32_t tag, const Identity& id) {
  const Bytes* record = store.Find(tag, id);
  if (!record) {
    ADD_FAILURE() << "no record of tag " << std::hex << tag;
    static const Bytes kNone;
    return kNone;
  }
  return *record;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// --- Texts ---

TEST(DocumentTexts, AreStoredWithTheirNulUnlessSaidOtherwise) {
  const RecordStore store = Load(R"({"texts": [
      {"tag": "0x74787431", "number": 1, "text": "Fine"},
      {"tag": "0x74787431", "number": 2, "text": "Fine", "terminated": false},
      {"tag": "0x74787431", "number": 3, "text": ""},
      {"tag": "0x74787431", "number": 4, "text": "", "terminated": false},
      {"tag": "0x74787431", "number": 5, "text": "D.C.", "terminated": true}]})");
  EXPECT_EQ(Record(store, kTextTag, ItemIdentity(1)), (Bytes{'F', 'i', 'n', 'e', 0}));
  EXPECT_EQ(Record(store, kTextTag, ItemIdentity(2)), Text("Fine"));
  EXPECT_EQ(Record(store, kTextTag, ItemIdentity(3)), Bytes{0});
  EXPECT_EQ(Record(store, kTextTag, ItemIdentity(4)), Bytes{}) << "a record of no bytes";
  EXPECT_EQ(Record(store, kTextTag, ItemIdentity(5)), (Bytes{'D', '.', 'C', '.', 0}));
  EXPECT_EQ(store.FormOf(kTextTag), TagForm::kTexts);
}

TEST(DocumentTexts, TakeSignedNumbersInTheFirstIdentityWordAlone) {
  const RecordStore store = Load(R"({"texts": [
      {"tag": "0x74787431", "number": -1, "text": "a"},
      {"tag": "0x74787431", "number": -32768, "text": "b"},
      {"tag": "0x74787431", "number": 32767, "bytes": "00ff"}]})");
  EXPECT_EQ(Record(store, kTextTag, Identity{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}), (Bytes{'a', 0}));
  EXPECT_EQ(Record(store, kTextTag, Identity{0x00, 0x80, 0, 0, 0, 0, 0, 0}), (Bytes{'b', 0}));
  EXPECT_EQ(Record(store, kTextTag, Identity{0xFF, 0x7F, 0, 0, 0, 0, 0, 0}), (Bytes{0x00, 0xFF}));
  EXPECT_EQ(store.Records().size(), 3u);
}

// --- Incident runs ---

TEST(DocumentIncidents, PutEachIncidentUnderItsItemAndNumberGapsAndAll) {
  const RecordStore store = Load(R"({"incidents": [
      {"tag": "0x626C6B31", "number": 3, "incidents": [
        {"inci": 0, "bytes": "01"}, {"inci": 1, "bytes": "02"}, {"inci": 2, "bytes": ""},
        {"inci": 4, "bytes": "0405"}]},
      {"tag": "0x626C6B31", "number": 300, "incidents": [{"inci": 32767, "bytes": "07"}]}]})");
  EXPECT_EQ(Record(store, kIncidentTag, ItemIdentity(3, 0)), Bytes{1});
  EXPECT_EQ(Record(store, kIncidentTag, ItemIdentity(3, 1)), Bytes{2});
  EXPECT_EQ(Record(store, kIncidentTag, ItemIdentity(3, 2)), Bytes{});
  EXPECT_EQ(store.Find(kIncidentTag, ItemIdentity(3, 3)), nullptr) << "the gap stays a gap";
  EXPECT_EQ(Record(store, kIncidentTag, ItemIdentity(3, 4)), (Bytes{4, 5}));
  EXPECT_EQ(Record(store, kIncidentTag, Identity{0x2C, 0x01, 0xFF, 0x7F, 0, 0, 0, 0}), Bytes{7});
  EXPECT_EQ(store.Records().size(), 5u);
  EXPECT_EQ(store.FormOf(kIncidentTag), TagForm::kIncidents);
}

// --- Staves and current staves ---

TEST(DocumentStaves, PutTheTranspositionWordAtByte20AndFillTheRest) {
  const RecordStore store = Load(R"({"staves": [
      {"number": 1},
      {"number": 2, "transposition": 40962},
      {"number": 3, "chromatic": true, "interval": -7, "simplifyKey": false},
      {"number": 4, "interval": 1, "alteration": 2, "setToClef": true}]})");
  const Bytes& plain = Record(store, kStaffTag, ItemIdentity(1));
  ASSERT_EQ(plain.size(), 114u);
  EXPECT_EQ(WordAt(plain, 20), 0) << "a staff built from its fields is not transposed";
  for (const std::size_t offset :
       {std::size_t{0}, std::size_t{19}, std::size_t{22}, std::size_t{113}}) {
    EXPECT_EQ(plain[offset], FillByte(kStaffTag, 1, offset)) << offset;
  }
  EXPECT_EQ(WordAt(Record(store, kStaffTag, ItemIdentity(2)), 20), 0xA002);
  EXPECT_EQ(WordAt(Record(store, kStaffTag, ItemIdentity(3)), 20), 0x60F9);
  EXPECT_EQ(WordAt(Record(store, kStaffTag, ItemIdentity(4)), 20), 0x8042);
}

TEST(DocumentStaves, KeepTheGivenWordUnlessATranspositionIsNamed) {
  const std::string bytes = Hex(114, 0x33);
  const RecordStore store =
      Load(R"({"staves": [{"number": 1, "bytes": ")" + bytes +
           R"("}, {"number": 2, "transposition": 5, "bytes": ")" + bytes + R"("}]})");
  EXPECT_EQ(Record(store, kStaffTag, ItemIdentity(1)), Bytes(114, 0x33));
  Bytes expected(114, 0x33);
  expected[20] = 5;
  expected[21] = 0;
  EXPECT_EQ(Record(store, kStaffTag, ItemIdentity(2)), expected);
}

TEST(DocumentCurrentStaves, AreStoredAtStaffMeasureAndPosition) {
  const RecordStore store = Load(R"({"currentStaves": [
      {"staff": 2, "measure": 9, "position": -512, "chromatic": true, "interval": 2},
      {"staff": 2, "measure": 9}]})");
  const Bytes& moved =
      Record(store, kCurrentStaffTag, Identity{0x02, 0x00, 0x09, 0x00, 0x00, 0xFE, 0xFF, 0xFF});
  ASSERT_EQ(moved.size(), 114u);
  EXPECT_EQ(WordAt(moved, 20), 0x2002);
  const Bytes& at_start = Record(store, kCurrentStaffTag, Identity{2, 0, 9, 0, 0, 0, 0, 0});
  EXPECT_EQ(WordAt(at_start, 20), 0) << "position 0 by default, not transposed";
  EXPECT_NE(moved[0], at_start[0]) << "two records at one staff fill their bytes differently";
}

// --- Clefs ---

TEST(DocumentClefs, CountFromZeroAndHoldTheirSignedBaseline) {
  const RecordStore store = Load(R"({"clefs": [
      {"number": 0, "baseline": -12}, {"number": 65534, "baseline": 32767}]})");
  const Bytes& treble = Record(store, kClefTag, ItemIdentity(0));
  ASSERT_EQ(treble.size(), 18u);
  EXPECT_EQ(treble[0], 0xF4);
  EXPECT_EQ(treble[1], 0xFF);
  EXPECT_EQ(treble[2], FillByte(kClefTag, 0, 2));
  EXPECT_EQ(treble[17], FillByte(kClefTag, 0, 17));
  EXPECT_EQ(ClefBaselineOf(Record(store, kClefTag, ItemIdentity(65534))), 32767);
}

// --- Measure-number regions ---

TEST(DocumentRegions, StoreTheirFieldsInEitherLayout) {
  const RecordStore store = Load(R"({"measureNumberRegions": [
      {"number": 1, "startMeasure": 1, "endMeasure": 10, "startNumber": 1},
      {"number": 2, "layout": 88, "startMeasure": 11, "endMeasure": 24, "startNumber": 5}]})");
  const Bytes& current = Record(store, kMeasureNumberRegionTag, ItemIdentity(1));
  ASSERT_EQ(current.size(), 196u) << "the newer layout by default";
  EXPECT_EQ(WordAt(current, 132), 1);
  EXPECT_EQ(WordAt(current, 134), 11);
  EXPECT_EQ(WordAt(current, 140), 0);
  EXPECT_EQ(current[136], FillByte(kMeasureNumberRegionTag, 1, 136));
  const Bytes& old = Record(store, kMeasureNumberRegionTag, ItemIdentity(2));
  ASSERT_EQ(old.size(), 88u);
  EXPECT_EQ(WordAt(old, 6), 11);
  EXPECT_EQ(WordAt(old, 8), 25);
  EXPECT_EQ(WordAt(old, 16), 4);
}

TEST(DocumentRegions, StoreTheLimitsWrapped) {
  const RecordStore store = Load(R"({"measureNumberRegions": [
      {"number": 1, "startMeasure": -32768, "endMeasure": 32767, "startNumber": -32768},
      {"number": 2, "startMeasure": 32767, "endMeasure": -32768, "startNumber": 32767}]})");
  const Bytes& first = Record(store, kMeasureNumberRegionTag, ItemIdentity(1));
  EXPECT_EQ(WordAt(first, 132), 0x8000);
  EXPECT_EQ(WordAt(first, 134), 0x8000) << "32767 + 1 wraps";
  EXPECT_EQ(WordAt(first, 140), 0x7FFF) << "-32768 - 1 wraps";
  const Bytes& second = Record(store, kMeasureNumberRegionTag, ItemIdentity(2));
  EXPECT_EQ(WordAt(second, 132), 0x7FFF);
  EXPECT_EQ(WordAt(second, 134), 0x8001);
  EXPECT_EQ(WordAt(second, 140), 0x7FFE);
}

TEST(DocumentRegions, TakeTheLayoutFromGivenBytesAndWriteNamedFieldsOverThem) {
  const RecordStore store =
      Load(R"({"measureNumberRegions": [
      {"number": 1, "bytes": ")" +
           Hex(88, 0x10) + R"("}, {"number": 2, "endMeasure": 7, "bytes": ")" + Hex(196, 0x10) +
           R"("}]})");
  EXPECT_EQ(Record(store, kMeasureNumberRegionTag, ItemIdentity(1)), Bytes(88, 0x10));
  Bytes expected(196, 0x10);
  expected[134] = 8;
  expected[135] = 0;
  EXPECT_EQ(Record(store, kMeasureNumberRegionTag, ItemIdentity(2)), expected);
}

// --- Saving ---

// Every new kind, and the records of their tags that the friendly form cannot name.
RecordStore EveryKind() {
  RecordStore store = Load(R"({
    "categories": [{"number": 1, "name": "Tempo"}],
    "texts": [
      {"tag": "0x74787431", "number": -1, "text": "Tab\there"},
      {"tag": "0x74787431", "number": 1, "text": "Allegro"},
      {"tag": "0x74787431", "number": 2, "text": "Fine", "terminated": false},
      {"tag": "0x74787431", "number": 3, "text": ""},
      {"tag": "0x74787431", "number": 4, "text": "", "terminated": false},
      {"tag": "0x74787431", "number": 5, "bytes": "41420043"},
      {"tag": "0x74787432", "number": 1, "bytes": "c3"}],
    "incidents": [
      {"tag": "0x626C6B31", "number": 3, "incidents": [
        {"inci": 0, "bytes": "01"}, {"inci": 1, "bytes": "02"}, {"inci": 2, "bytes": "03"},
        {"inci": 4, "bytes": ""}]},
      {"tag": "0x626C6B31", "number": 7, "incidents": [{"inci": 5, "bytes": "ff"}]}],
    "staves": [{"number": 1}, {"number": 2, "chromatic": true, "interval": -7},
               {"number": 3, "transposition": 4096}],
    "currentStaves": [{"staff": 2, "measure": 9, "position": -1, "interval": 3}],
    "clefs": [{"number": 0, "baseline": 0}, {"number": 1, "baseline": -12}],
    "measureNumberRegions": [
      {"number": 1, "startMeasure": 1, "endMeasure": 32767, "startNumber": -32768},
      {"number": 2, "layout": 88, "startMeasure": -5, "endMeasure": -1, "startNumber": 0}]
  })");
  // Records of these tags that have to go out raw.
  store.Put(kTextTag, ItemIdentity(6, 1), Text("incident"));
  store.Put(kIncidentTag, Identity{3, 0, 1, 0, 0, 0, 1, 0}, Bytes{9});
  store.Put(kIncidentTag, ItemIdentity(3, -1), Bytes{8});
  store.Put(kIncidentTag, ItemIdentity(0xFFFF), Bytes{7});
  store.Put(kStaffTag, ItemIdentity(4), Bytes(50, 1));
  store.Put(kStaffTag, ItemIdentity(5, 1), Bytes(114, 1));
  store.Put(kCurrentStaffTag, Identity{0, 0, 9, 0, 0, 0, 0, 0}, Bytes(114, 2));
  store.Put(kClefTag, ItemIdentity(0xFFFF), Bytes(18, 3));
  store.Put(kClefTag, ItemIdentity(2), Bytes(17, 3));
  store.Put(kMeasureNumberRegionTag, ItemIdentity(3), Bytes(100, 4));
  return store;
}

TEST(DocumentSections, RoundTripByteForByte) {
  const RecordStore original = EveryKind();
  const std::string saved = SaveDocument(original);
  RecordStore reloaded;
  std::string error;
  ASSERT_TRUE(LoadDocument(saved, &reloaded, &error)) << error << "\n" << saved;
  EXPECT_TRUE(reloaded == original) << saved;
  EXPECT_EQ(SaveDocument(reloaded), saved);
  EXPECT_EQ(reloaded.FormOf(kTextTag), TagForm::kTexts);
  EXPECT_EQ(reloaded.FormOf(kIncidentTag), TagForm::kIncidents);
}

TEST(DocumentSections, TheSampleRoundTripsByteForByte) {
  RecordStore sample;
  std::string error;
  ASSERT_TRUE(
      LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/staff_and_text.json", &sample, &error))
      << error;
  const std::string saved = SaveDocument(sample);
  RecordStore reloaded;
  ASSERT_TRUE(LoadDocument(saved, &reloaded, &error)) << error;
  EXPECT_TRUE(reloaded == sample);
  EXPECT_EQ(SaveDocument(reloaded), saved);
}

TEST(DocumentSections, AreSavedInTheirFriendlyForm) {
  const std::string saved = SaveDocument(EveryKind());
  for (const char* expected : {
           R"("number": -1,
      "text": "Tab\there")",
           R"("text": "Fine",
      "terminated": false)",
           R"("text": "",
      "terminated": false)",
           R"("number": 5,
      "bytes": "41420043")",
           R"("number": 1,
      "bytes": "c3")",
           R"("incidents": [
        {
          "inci": 0,
          "bytes": "01")",
           R"("inci": 4,
          "bytes": "")",
           R"("chromatic": true,
      "interval": -7,
      "alteration": 0,
      "simplifyKey": true,
      "setToClef": false)",
           R"("number": 3,
      "transposition": 4096)",
           R"("staff": 2,
      "measure": 9,
      "position": -1)",
           R"("number": 1,
      "baseline": -12)",
           R"("layout": 196,
      "startMeasure": 1,
      "endMeasure": 32767,
      "startNumber": -32768)",
           R"("layout": 88,
      "startMeasure": -5)",
       }) {
    EXPECT_NE(saved.find(expected), std::string::npos) << expected << "\nin\n" << saved;
  }
}

TEST(DocumentSections, SendWhatTheFriendlyFormCannotNameToTheRawRecords) {
  const std::string saved = SaveDocument(EveryKind());
  const std::string records = saved.substr(saved.find("\"records\""));
  for (const char* raw : {"0600010000000000", "0300010000000100", "0300ffff00000000",
                          "ffff000000000000", "0400000000000000", "0500010000000000",
                          "0000090000000000", "0200000000000000", "0300000000000000"}) {
    EXPECT_NE(records.find(raw), std::string::npos) << raw << "\nin\n" << records;
  }
  std::size_t count = 0;
  for (auto at = records.find("\"tag\""); at != std::string::npos;
       at = records.find("\"tag\"", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 10u) << "the records put in raw, and no others\n" << records;
}

TEST(DocumentSections, AreLeftOutOfDocumentsWithoutThem) {
  const std::string saved =
      SaveDocument(Load(R"({"categories": [{"number": 1, "name": "Tempo"}]})"));
  EXPECT_EQ(saved.find("\"texts\""), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\"staves\""), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\"measureNumberRegions\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"records\": []"), std::string::npos) << saved;
}

// --- Malformed entries ---

struct Malformed {
  const char* what;
  std::string document;
  std::string message;
};

class DocumentSectionMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(DocumentSectionMalformed, IsRefusedWithItsPlaceAndChangesNothing) {
  RecordStore store = Load(R"({"texts": [{"tag": "0x1", "number": 1, "text": "kept"}]})");
  const RecordStore before = store;
  std::string error;
  EXPECT_FALSE(LoadDocument(GetParam().document, &store, &error));
  EXPECT_NE(error.find(GetParam().message), std::string::npos)
      << "message: " << error << "\nwanted: " << GetParam().message;
  EXPECT_TRUE(store == before);
  EXPECT_EQ(store.FormOf(0x1), TagForm::kTexts) << "the forms are left alone too";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentSectionMalformed,
    ::testing::Values(
        Malformed{"text without a tag", R"({"texts": [{"number": 1, "text": "a"}]})",
                  "texts[0].tag: required"},
        Malformed{"text number above 16 bits",
                  R"({"texts": [{"tag": "0x1", "number": 32768, "text": "a"}]})",
                  "texts[0].number: expected an integer from -32768 to 32767"},
        Malformed{"text number below 16 bits",
                  R"({"texts": [{"tag": "0x1", "number": -32769, "text": "a"}]})",
                  "texts[0].number: expected an integer from -32768 to 32767"},
        Malformed{"text number repeated",
                  R"({"texts": [{"tag": "0x1", "number": -3, "text": "a"},
                                {"tag": "0x1", "number": -3, "text": "b"}]})",
                  "texts[1].number: -3 is already used by texts[0]"},
        Malformed{"text and bytes",
                  R"({"texts": [{"tag": "0x1", "number": 1, "text": "a", "bytes": "61"}]})",
                  "texts[0].bytes: give either \"text\" or \"bytes\", not both"},
        Malformed{"neither text nor bytes", R"({"texts": [{"tag": "0x1", "number": 1}]})",
                  "texts[0].text: required when \"bytes\" is not given"},
        Malformed{"terminated with bytes",
                  R"({"texts": [{"tag": "0x1", "number": 1, "bytes": "61", "terminated": true}]})",
                  "texts[0].terminated: applies to \"text\" only"},
        Malformed{"terminated not a bool",
                  R"({"texts": [{"tag": "0x1", "number": 1, "text": "a", "terminated": 0}]})",
                  "texts[0].terminated: expected true or false"},
        Malformed{"text with a NUL",
                  R"({"texts": [{"tag": "0x1", "number": 1, "text": "a\u0000b"}]})",
                  "texts[0].text: must not contain a NUL byte"},
        Malformed{"text under a tag with a section of its own",
                  R"({"texts": [{"tag": "0x534F4953", "number": 1, "text": "a"}]})",
                  "texts[0].tag: 0x534F4953 is the tag of the records in \"staves\""},
        Malformed{"texts and incidents under one tag",
                  R"({"texts": [{"tag": "0x2", "number": 1, "text": "a"}],
                      "incidents": [{"tag": "0x2", "number": 1,
                                     "incidents": [{"inci": 0, "bytes": ""}]}]})",
                  "incidents[0].tag: 0x00000002 already holds texts (texts[0])"},
        Malformed{"incidents not a list",
                  R"({"incidents": [{"tag": "0x2", "number": 1, "incidents": {}}]})",
                  "incidents[0].incidents: expected an array of at least one incident"},
        Malformed{"no incidents",
                  R"({"incidents": [{"tag": "0x2", "number": 1, "incidents": []}]})",
                  "incidents[0].incidents: expected an array of at least one incident"},
        Malformed{"incidents missing", R"({"incidents": [{"tag": "0x2", "number": 1}]})",
                  "incidents[0].incidents: required"},
        Malformed{"incident item 0",
                  R"({"incidents": [{"tag": "0x2", "number": 0,
                                     "incidents": [{"inci": 0, "bytes": ""}]}]})",
                  "incidents[0].number: expected an integer from 1 to 65534"},
        Malformed{"incident item repeated",
                  R"({"incidents": [
                      {"tag": "0x2", "number": 4, "incidents": [{"inci": 0, "bytes": ""}]},
                      {"tag": "0x2", "number": 4, "incidents": [{"inci": 1, "bytes": ""}]}]})",
                  "incidents[1].number: 4 is already used by incidents[0]"},
        Malformed{"negative incident",
                  R"({"incidents": [{"tag": "0x2", "number": 1,
                                     "incidents": [{"inci": -1, "bytes": ""}]}]})",
                  "incidents[0].incidents[0].inci: expected an integer from 0 to 32767"},
        Malformed{"incident repeated",
                  R"({"incidents": [{"tag": "0x2", "number": 1, "incidents": [
                      {"inci": 0, "bytes": ""}, {"inci": 2, "bytes": ""},
                      {"inci": 2, "bytes": "00"}]}]})",
                  "incidents[0].incidents[2].inci: 2 is already used by incidents[0].incidents[1]"},
        Malformed{"incident without bytes",
                  R"({"incidents": [{"tag": "0x2", "number": 1, "incidents": [{"inci": 0}]}]})",
                  "incidents[0].incidents[0].bytes: required"},
        Malformed{"incident not an object",
                  R"({"incidents": [{"tag": "0x2", "number": 1, "incidents": [3]}]})",
                  "incidents[0].incidents[0]: expected an object"},
        Malformed{"incident with an unknown field",
                  R"({"incidents": [{"tag": "0x2", "number": 1,
                                     "incidents": [{"inci": 0, "bytes": "", "size": 0}]}]})",
                  "incidents[0].incidents[0].size: unknown field"},
        Malformed{"transposition above 16 bits",
                  R"({"staves": [{"number": 1, "transposition": 65536}]})",
                  "staves[0].transposition: expected an integer from 0 to 65535"},
        Malformed{"transposition both ways",
                  R"({"staves": [{"number": 1, "transposition": 5, "interval": 1}]})",
                  "staves[0].interval: give either \"transposition\" or its decoded fields"},
        Malformed{"diatonic interval too high", R"({"staves": [{"number": 1, "interval": 32}]})",
                  "staves[0].interval: expected an integer from -32 to 31 for a diatonic"},
        Malformed{"diatonic alteration too low",
                  R"({"staves": [{"number": 1, "alteration": -33}]})",
                  "staves[0].alteration: expected an integer from -32 to 31 for a diatonic"},
        Malformed{"chromatic interval too low",
                  R"({"staves": [{"number": 1, "chromatic": true, "interval": -129}]})",
                  "staves[0].interval: expected an integer from -128 to 127 for a chromatic"},
        Malformed{"chromatic alteration too high",
                  R"({"staves": [{"number": 1, "chromatic": true, "alteration": 8}]})",
                  "staves[0].alteration: expected an integer from -8 to 7 for a chromatic"},
        Malformed{"interval not an integer", R"({"staves": [{"number": 1, "interval": 1.5}]})",
                  "staves[0].interval: expected an integer from -32 to 31"},
        Malformed{"chromatic not a bool", R"({"staves": [{"number": 1, "chromatic": 1}]})",
                  "staves[0].chromatic: expected true or false"},
        Malformed{"staff bytes of the wrong size", R"({"staves": [{"number": 1, "bytes": "00"}]})",
                  "staves[0].bytes: expected 114 bytes, got 1"},
        Malformed{"staff number repeated", R"({"staves": [{"number": 2}, {"number": 2}]})",
                  "staves[1].number: 2 is already used by staves[0]"},
        Malformed{"current staff without a measure", R"({"currentStaves": [{"staff": 1}]})",
                  "currentStaves[0].measure: required"},
        Malformed{"current staff position above 32 bits",
                  R"({"currentStaves": [{"staff": 1, "measure": 1, "position": 2147483648}]})",
                  "currentStaves[0].position: expected an integer from -2147483648 to 2147483647"},
        Malformed{"current staff repeated",
                  R"({"currentStaves": [{"staff": 1, "measure": 2, "position": 3},
                                        {"staff": 1, "measure": 2, "position": 3}]})",
                  "currentStaves[1]: the document already holds a record with tag 0x534F5343"},
        Malformed{"clef number 65535", R"({"clefs": [{"number": 65535, "baseline": 0}]})",
                  "clefs[0].number: expected an integer from 0 to 65534"},
        Malformed{"clef without a baseline", R"({"clefs": [{"number": 0}]})",
                  "clefs[0].baseline: required when \"bytes\" is not given"},
        Malformed{"clef baseline above 16 bits", R"({"clefs": [{"number": 0, "baseline": 32768}]})",
                  "clefs[0].baseline: expected an integer from -32768 to 32767"},
        Malformed{"clef bytes of the wrong size", R"({"clefs": [{"number": 0, "bytes": "00"}]})",
                  "clefs[0].bytes: expected 18 bytes, got 1"},
        Malformed{"region layout neither",
                  R"({"measureNumberRegions": [{"number": 1, "layout": 100, "startMeasure": 1,
                      "endMeasure": 2, "startNumber": 1}]})",
                  "measureNumberRegions[0].layout: expected 196 or 88"},
        Malformed{"region bytes of neither size",
                  R"({"measureNumberRegions": [{"number": 1, "bytes": "0000"}]})",
                  "measureNumberRegions[0].bytes: expected 196 or 88 bytes, got 2"},
        Malformed{"region bytes against the layout",
                  R"({"measureNumberRegions": [{"number": 1, "layout": 88, "bytes": ")" +
                      Hex(196, 0) + "\"}]}",
                  "measureNumberRegions[0].bytes: expected 88 bytes, got 196"},
        Malformed{"region end above 16 bits",
                  R"({"measureNumberRegions": [{"number": 1, "startMeasure": 1,
                      "endMeasure": 32768, "startNumber": 1}]})",
                  "measureNumberRegions[0].endMeasure: expected an integer from -32768 to 32767"},
        Malformed{"region start number below 16 bits",
                  R"({"measureNumberRegions": [{"number": 1, "startMeasure": 1,
                      "endMeasure": 2, "startNumber": -32769}]})",
                  "measureNumberRegions[0].startNumber: expected an integer from -32768"},
        Malformed{"region without its end",
                  R"({"measureNumberRegions": [{"number": 1, "startMeasure": 1,
                      "startNumber": 1}]})",
                  "measureNumberRegions[0].endMeasure: required when \"bytes\" is not given"},
        Malformed{"number beyond what JSON numbers hold",
                  R"({"clefs": [{"number": 0, "baseline": -8e999999999}]})",
                  "document: not valid JSON (number overflow"},
        Malformed{"fault after good sections",
                  R"({"texts": [{"tag": "0x5", "number": 1, "text": "a"}],
                      "staves": [{"number": 1}],
                      "clefs": [{"number": 0, "baseline": 0}, {"number": 1, "baseline": "x"}]})",
                  "clefs[1].baseline: expected an integer"}),
    [](const ::testing::TestParamInfo<Malformed>& info) {
      std::string name;
      for (const char c : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      }
      return name;
    });

}  // namespace
}  // namespace hostsim
