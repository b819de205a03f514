// The listings `scorix-sim show` adds after the categories and expression definitions: texts,
// incident runs, staves, current staves, clefs and measure-number regions, read as far as each
// record goes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "hostsim/document.h"
#include "hostsim/record_listings.h"
#include "hostsim/run_command.h"
#include "hostsim/staff_records.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(DescribeText, SaysWhatIsOddAboutARawText) {
  EXPECT_EQ(DescribeText(Bytes{'F', 'i', 'n', 'e', 0}), "\"Fine\"");
  EXPECT_EQ(DescribeText(Text("Fine")), "\"Fine\" (unterminated)");
  EXPECT_EQ(DescribeText(Bytes{0}), "\"\" (empty)");
  EXPECT_EQ(DescribeText(Bytes{}), "\"\" (empty, unterminated)");
  EXPECT_EQ(DescribeText(Bytes{'A', 0, 'B'}), "\"A\" (1 more byte after the NUL)");
  EXPECT_EQ(DescribeText(Bytes{'A', 0, 'B', 0}), "\"A\" (2 more bytes after the NUL)");
  EXPECT_EQ(DescribeText(Bytes{'\t', 0xC3, '"', 0}), "\"\\x09\\xC3\"\"");
}

TEST(TagLabel, ShowsTheCharactersOnlyWhenAllArePrintable) {
  EXPECT_EQ(TagLabel(0x534F4953), "0x534F4953 'SOIS'");
  EXPECT_EQ(TagLabel(0x4F03444F), "0x4F03444F");
  EXPECT_EQ(TagLabel(0x00000001), "0x00000001");
}

TEST(RecordListings, AreEmptyForADocumentOfCategoriesAndExpressionsAlone) {
  const RecordStore store = Load(R"({"categories": [{"number": 1, "name": "Tempo"}],
      "textExpressions": [{"number": 1, "category": 1, "description": "pp"}],
      "records": [{"tag": "0x6F743134", "id": "0100000000000000", "bytes": "00"}]})");
  EXPECT_EQ(RecordListings(store), "");
}

TEST(RecordListings, ListTextsOfTheTagsGivenAsTexts) {
  RecordStore store = Load(R"({"texts": [
      {"tag": "0x74787431", "number": 1, "text": "Allegro"},
      {"tag": "0x74787431", "number": -1, "text": "", "terminated": false}]})");
  store.Put(0x74787431, ItemIdentity(2, 1), Text("an incident"));
  store.Put(0x6F743134, ItemIdentity(2), Text("raw"));
  EXPECT_EQ(RecordListings(store),
            "\n"
            "Texts:\n"
            "  Tag                Number  Bytes  Text\n"
            "  -----------------  ------  -----  ------------------------\n"
            "  0x74787431 'txt1'       1      8  \"Allegro\"\n"
            "  0x74787431 'txt1'      -1      0  \"\" (empty, unterminated)\n");
}

TEST(RecordListings, ListIncidentRunsWithTheNumbersPresent) {
  const RecordStore store = Load(R"({"incidents": [
      {"tag": "0x626C6B31", "number": 3, "incidents": [{"inci": 0, "bytes": "01"},
        {"inci": 1, "bytes": "0102"}, {"inci": 4, "bytes": ""}]},
      {"tag": "0x626C6B31", "number": 1, "incidents": [{"inci": 7, "bytes": "ff"}]}]})");
  EXPECT_EQ(RecordListings(store),
            "\n"
            "Incidents:\n"
            "  Tag                Item  Incidents  Bytes\n"
            "  -----------------  ----  ---------  -------\n"
            "  0x626C6B31 'blk1'     1  7          1\n"
            "  0x626C6B31 'blk1'     3  0, 1, 4    1, 2, 0\n");
}

TEST(RecordListings, ListStavesWithTheirTranspositionDecoded) {
  RecordStore store = Load(R"({"staves": [{"number": 1},
      {"number": 2, "chromatic": true, "interval": -7, "simplifyKey": false},
      {"number": 3, "interval": 1, "alteration": 2, "setToClef": true}]})");
  store.Put(kStaffTag, ItemIdentity(4), Bytes(21, 0));
  store.Put(kStaffTag, ItemIdentity(5), Bytes(22, 0xFF));
  EXPECT_EQ(RecordListings(store),
            "\n"
            "Staves:\n"
            "  Staff  Transposition                Kind       Interval  Alteration  "
            "Simplify key  Set to clef\n"
            "  -----  ---------------------------  ---------  --------  ----------  "
            "------------  -----------\n"
            "      1  0x0000                       diatonic          0           0  "
            "yes           no\n"
            "      2  0x60F9                       chromatic        -7           0  "
            "no            no\n"
            "      3  0x8042                       diatonic          1           2  "
            "yes           yes\n"
            "      4  (record of 21 bytes)\n"
            "      5  0xFFFF (record of 22 bytes)  chromatic        -1          -1  "
            "no            yes\n");
}

TEST(RecordListings, ListCurrentStavesAtTheirMeasureAndPosition) {
  const RecordStore store = Load(R"({"currentStaves": [
      {"staff": 2, "measure": 9, "position": -512, "transposition": 66}]})");
  const std::string listing = RecordListings(store);
  EXPECT_TRUE(Contains(listing,
                       "Current staves:\n"
                       "  Staff  Measure  Position  Transposition  Kind      Interval"))
      << listing;
  EXPECT_TRUE(Contains(listing, "      2        9      -512  0x0042         diatonic         1"))
      << listing;
}

TEST(RecordListings, ListClefsAndRegions) {
  RecordStore store = Load(R"({"clefs": [{"number": 0, "baseline": -12}],
      "measureNumberRegions": [
        {"number": 1, "startMeasure": 1, "endMeasure": 10, "startNumber": 1},
        {"number": 2, "layout": 88, "startMeasure": -3, "endMeasure": 32767,
         "startNumber": -32768}]})");
  store.Put(kClefTag, ItemIdentity(1), Bytes{5});
  store.Put(kMeasureNumberRegionTag, ItemIdentity(3), Bytes(100, 0));
  EXPECT_EQ(RecordListings(store),
            "\n"
            "Clefs:\n"
            "  Clef            Baseline\n"
            "  ----  ------------------\n"
            "     0                 -12\n"
            "     1  (record of 1 byte)\n"
            "\n"
            "Measure-number regions:\n"
            "  Region  Measures                                    Layout\n"
            "  ------  ------------------------------------------  ------\n"
            "       1  measures 1 to 10, numbered from 1              196\n"
            "       2  measures -3 to 32767, numbered from -32768      88\n"
            "       3  (record of 100 bytes), neither layout\n");
}

TEST(RecordListings, ListTheLayerSetupAndEveryEntryWithItsNotes) {
  RecordStore store = Load(R"({"layers": 3, "hiddenLayers": [1], "slots": {"1": 2, "2": 1},
      "frames": [
        {"staff": 1, "measure": 2, "layer": 0, "entries": [
          {"duration": 1024, "flags": 1073741825,
           "notes": [{"displacement": 3, "noteid": 2}, {"displacement": -2, "raiselower": -1}]},
          {"duration": 512}]},
        {"staff": 1, "measure": 2, "layer": 1, "entries": [
          {"entnum": 40, "duration": 2048, "position": 100, "notes": [{"displacement": 0}]}]},
        {"staff": 2, "measure": 1, "layer": 0}]})");
  Bytes hostile(146, 0);
  hostile[14] = 13;  // numnotes 13
  store.PutFrame(FrameKey{3, 1, 2}, hostile);
  EXPECT_EQ(RecordListings(store),
            "\n"
            "Layers: 3 per staff, layer 1 hidden\n"
            "Slots: slot 1 shows staff 2, slot 2 shows staff 1; every other slot its own staff\n"
            "\n"
            "Entries:\n"
            "  Staff  Measure  Layer       Entry  Position  Duration  Kind  Flags       "
            "Notes\n"
            "  -----  -------  ----------  -----  --------  --------  ----  ----------  "
            "---------------------------------\n"
            "      1        2  0               1         0      1024  note  0x40000001  "
            "+3 (r/l 0) id 2; -2 (r/l -1) id 1\n"
            "                                  2      1024       512  rest  0x00000000  none\n"
            "      1        2  1 (hidden)     40       100      2048  note  0x40000000  "
            "0 (r/l 0) id 1\n"
            "      2        1  0                                                        "
            "no entries\n"
            "      3        1  2               0         0         0  rest  0x00000000  "
            "(numnotes 13: outside 0 to 12)\n");
}

TEST(RecordListings, ListTheLayerSetupAloneWhenItIsNotTheDefault) {
  EXPECT_EQ(RecordListings(Load(R"({"layers": 2})")), "\nLayers: 2 per staff\n");
  EXPECT_EQ(RecordListings(Load(R"({"layers": 4, "slots": {}})")), "");
}

TEST(FrameChanges, ShowEachChangedEntryBeforeAndAfter) {
  const RecordStore before = Load(R"({"frames": [
      {"staff": 1, "measure": 1, "layer": 0, "entries": [
        {"duration": 1024, "notes": [{"displacement": 3}]}, {"duration": 1024}]},
      {"staff": 2, "measure": 1, "layer": 0, "entries": [{"duration": 4096}]}]})");
  RecordStore after = before;
  EXPECT_EQ(FrameChanges(before, after), "");
  Bytes entries = *after.FindFrame(FrameKey{1, 1, 0});
  entries[8] |= 1;      // entry 0's stem turned up
  entries.resize(146);  // entry 1 removed
  after.PutFrame(FrameKey{1, 1, 0}, entries);
  after.PutFrame(FrameKey{1, 1, 1}, Bytes());  // an empty layer named: no entry changed
  EXPECT_EQ(FrameChanges(before, after),
            "\n"
            "Entries, before and after:\n"
            "  Staff  Measure  Layer          Entry  Position  Duration  Kind  Flags       "
            "Notes\n"
            "  -----  -------  -----  ------  -----  --------  --------  ----  ----------  "
            "---------------\n"
            "      1        1  0      before      1         0      1024  note  0x40000000  "
            "+3 (r/l 0) id 1\n"
            "                         after       1         0      1024  note  0x40000001  "
            "+3 (r/l 0) id 1\n"
            "                         before      2      1024      1024  rest  0x00000000  "
            "none\n"
            "                         after                                                "
            "(none)\n");
}

TEST(ShowReport, AddsTheListingsAfterTheExpressionDefinitions) {
  const RecordStore store = Load(R"({"categories": [{"number": 1, "name": "Tempo"}],
      "clefs": [{"number": 0, "baseline": 4}]})");
  std::ostringstream out;
  WriteShowReport(store, out);
  const std::string report = out.str();
  const auto expressions = report.find("Expression definitions:");
  const auto clefs = report.find("\nClefs:\n");
  ASSERT_NE(expressions, std::string::npos) << report;
  ASSERT_NE(clefs, std::string::npos) << report;
  EXPECT_LT(expressions, clefs);
  EXPECT_TRUE(Contains(report, "     0         4\n")) << report;
}

}  // namespace
}  // namespace hostsim
