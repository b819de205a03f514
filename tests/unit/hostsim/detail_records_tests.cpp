// Entry details, pages, articulation definitions and key signatures in the simulated host: how
// it numbers detail records, and how documents and `scorix-sim show` name all four.
#include "hostsim/detail_records.h"

#include <gtest/gtest.h>

#include <string>

#include "hostsim/document.h"
#include "hostsim/layout_records.h"
#include "hostsim/record_listings.h"
#include "hostsim/score_records.h"
#include "hostsim/sim_host.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

constexpr std::uint32_t kDetailTag = 0x654E4454;  // 'eNDT'

// Written out from the layout (entry number in bytes 0-3, incident in bytes 4-5), not taken from
// the host's own code.
Identity Detail(std::int32_t entry, std::uint16_t inci) {
  const auto word = static_cast<std::uint32_t>(entry);
  return Identity{static_cast<std::uint8_t>(word & 0xFF),
                  static_cast<std::uint8_t>((word >> 8) & 0xFF),
                  static_cast<std::uint8_t>((word >> 16) & 0xFF),
                  static_cast<std::uint8_t>(word >> 24),
                  static_cast<std::uint8_t>(inci & 0xFF),
                  static_cast<std::uint8_t>(inci >> 8),
                  0,
                  0};
}

RecordStore DetailStore(std::initializer_list<std::pair<Identity, std::uint8_t>> records) {
  RecordStore store;
  store.SetTagForm(kDetailTag, TagForm::kDetails);
  for (const auto& [id, fill] : records) store.Put(kDetailTag, id, Bytes(4, fill));
  return store;
}

// 0x0001FFFF shares its low half with 0xFFFF, the item number that asks for a new one.
TEST(DetailRecords, ACreateTakesTheNextIncidentOfItsOwnEntryUpTo32767) {
  RecordStore store = DetailStore({{Detail(0x0001FFFF, 0x7FFE), 1}, {Detail(0xFFFF, 4), 2}});
  Identity id = Detail(0x0001FFFF, 0xFFFF);
  ASSERT_TRUE(CreateDetail(&store, kDetailTag, &id, Bytes{7}));
  EXPECT_EQ(id, Detail(0x0001FFFF, 0x7FFF));
  EXPECT_EQ(*store.Find(kDetailTag, id), Bytes{7});
  const RecordStore before = store;
  for (const Identity refused : {Detail(0x0001FFFF, 0xFFFF), Detail(0xFFFF, 4)}) {
    id = refused;
    EXPECT_FALSE(CreateDetail(&store, kDetailTag, &id, Bytes{8}));
    EXPECT_EQ(id, refused);
    EXPECT_TRUE(store == before);
  }
}

TEST(DetailRecords, ADeleteMovesTheIncidentsAboveItDownUnlessTheGapIsLeft) {
  const RecordStore start = DetailStore({{Detail(5, 0), 1},
                                         {Detail(5, 1), 2},
                                         {Detail(5, 2), 3},
                                         {Detail(5, 0xFFFF), 4},
                                         {Detail(6, 1), 5}});
  RecordStore store = start;
  ASSERT_TRUE(DeleteDetail(&store, kDetailTag, Detail(5, 0), false));
  EXPECT_TRUE(
      store ==
      DetailStore(
          {{Detail(5, 0), 2}, {Detail(5, 1), 3}, {Detail(5, 0xFFFF), 4}, {Detail(6, 1), 5}}));
  EXPECT_FALSE(DeleteDetail(&store, kDetailTag, Detail(5, 2), false));

  // Through the export, with the host told to leave the gap.
  SimHost& host = SimHost::Instance();
  host.Reset();
  host.Records() = start;
  host.SetDetailDeleteLeavesGap(true);
  Identity id = Detail(5, 0);
  const Word remove[] = {kDetailTag, reinterpret_cast<Word>(id.data()), 0x0F000200};
  EXPECT_EQ(host.Dispatch(ExportId::FX_DeleteEData, remove), 1u);
  EXPECT_TRUE(
      host.Records() ==
      DetailStore(
          {{Detail(5, 1), 2}, {Detail(5, 2), 3}, {Detail(5, 0xFFFF), 4}, {Detail(6, 1), 5}}));
  host.Reset();
}

const char kDocument[] = R"({
  "frames": [{"staff": 1, "measure": 1, "layer": 0,
              "entries": [{"entnum": 70000, "duration": 1024}, {"entnum": 3, "duration": 1024}]}],
  "details": [{"tag": "0x654E4454", "entry": 70000, "incidents": [
                 {"inci": 0, "bytes": "0102"},
                 {"inci": 3, "bytes": "000102030405060708090a0b0c0d0e0f10"}]},
              {"tag": "0x654E4454", "entry": -1, "incidents": [{"inci": 0, "bytes": ""}]}],
  "pages": [{"number": 2, "firstSystem": -3}],
  "articulationDefs": [{"number": 1, "font": 9, "automatic": true, "side": 4},
                       {"number": 2, "noFont": true}],
  "keySignatures": [{"number": 1, "keyWord": 509}]})";

TEST(DetailDocuments, LoadSaveAndRefuse) {
  const RecordStore store = Load(kDocument);
  EXPECT_EQ(*store.Find(kDetailTag, Detail(70000, 0)), (Bytes{1, 2}));
  EXPECT_EQ(*store.Find(kDetailTag, Detail(-1, 0)), Bytes{});
  const Bytes& articulation = *store.Find(kArticulationTag, ItemIdentity(1));
  EXPECT_EQ(articulation[5] & 0xF0, FillByte(kArticulationTag, 1, 5) & 0xF0) << "the rest filled";

  const std::string saved = SaveDocument(store);
  const RecordStore reloaded = Load(saved);
  EXPECT_TRUE(reloaded == store);
  EXPECT_EQ(reloaded.FormOf(kDetailTag), TagForm::kDetails);
  EXPECT_NE(saved.find("\"records\": []"), std::string::npos) << "nothing saved raw";

  ExpectRefused(RecordStore(), R"({"details": [{"tag": "0x534F5047", "entry": 1,
      "incidents": [{"inci": 0, "bytes": ""}]}]})",
                "details[0].tag: 0x534F5047 is the tag of the records in \"pages\", which have a "
                "section of their own");
  ExpectRefused(RecordStore(), R"({"texts": [{"tag": "0x654E4454", "number": 1, "text": "x"}],
      "details": [{"tag": "0x654E4454", "entry": 1, "incidents": [{"inci": 0, "bytes": ""}]}]})",
                "details[0].tag: 0x654E4454 already holds texts (texts[0])");
  ExpectRefused(RecordStore(), R"({"articulationDefs": [{"number": 1, "side": 8}]})",
                "articulationDefs[0].side: expected an integer from 0 to 7");
}

TEST(DetailListings, ShowDetailsUnderTheirEntriesAndTheRestApart) {
  const std::string listing = RecordListings(Load(kDocument));
  const std::string gap(52, ' ');
  for (const std::string& block :
       {"      1        1  0      70000         0      1024  rest    0x00000000  none\n" + gap +
            "detail              0x654E4454 'eNDT' incident 0, 2 bytes: 0102\n" + gap +
            "detail              0x654E4454 'eNDT' incident 3, 17 bytes: "
            "000102030405060708090a0b0c0d0e0f...\n"
            "                             3      1024      1024  rest",
        std::string("Details of entries in no frame:\n  Entry  Detail\n  -----  ") +
            std::string(37, '-') + "\n     -1  0x654E4454 'eNDT' incident 0, 0 bytes\n",
        std::string("Pages:\n  Page  First system\n  ----  ------------\n     2            -3\n"),
        std::string("    1  0x01FD (count -3, mode 1)\n"),
        std::string("             1  9     automatic, side code 4\n"
                    "             2  none  by hand\n")}) {
    EXPECT_NE(listing.find(block), std::string::npos) << block << "\nin:\n" << listing;
  }
}

}  // namespace
}  // namespace hostsim
