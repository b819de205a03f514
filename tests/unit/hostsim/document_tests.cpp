// Documents: what a JSON document puts into the host's records, and what saving gives back.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

const char kWorkedExample[] = R"({
  "categories": [
    {"number": 1, "name": "Base", "usercreated": false},
    {"number": 2, "name": "Zeta", "usercreated": true},
    {"number": 3, "name": "Alpha", "usercreated": true}
  ],
  "textExpressions": [
    {"number": 1, "category": 2, "description": "X"},
    {"number": 2, "category": 3, "description": "Y"}
  ],
  "shapeExpressions": [ {"number": 7, "category": 3} ],
  "records": [ {"tag": "0x6F743134", "id": "0100020000000000", "bytes": "00ff10"} ]
})";

std::string Hex(std::size_t count, std::uint8_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < count; ++i) {
    hex += kDigits[value >> 4];
    hex += kDigits[value & 0x0F];
  }
  return hex;
}

const Bytes& Record(const RecordStore& store, std::uint32_t tag, std::uint16_t number) {
  const Bytes* record = store.Find(tag, ItemIdentity(number));
  if (!record) {
    ADD_FAILURE() << "no record " << number << " of tag " << tag;
    static const Bytes kNone;
    return kNone;
  }
  return *record;
}

TEST(DocumentLoad, BuildsCategoryRecordsFromTheirFields) {
  const RecordStore store = Load(kWorkedExample);
  const Bytes& zeta = Record(store, kCategoryTag, 2);
  ASSERT_EQ(zeta.size(), category_record::kSize);
  EXPECT_EQ(CategoryIdOf(zeta), 2);
  EXPECT_EQ(CategoryNameOf(zeta), "Zeta");
  EXPECT_EQ(zeta[category_record::kName + 4], 0) << "the name ends with a NUL inside its field";
  EXPECT_TRUE(IsUserCreated(zeta));
  EXPECT_FALSE(IsUserCreated(Record(store, kCategoryTag, 1)));
}

TEST(DocumentLoad, BuildsExpressionRecordsFromTheirFields) {
  const RecordStore store = Load(kWorkedExample);
  const Bytes& x = Record(store, kTextExpressionTag, 1);
  EXPECT_EQ(x.size(), DefaultTextExpressionSize(1));
  EXPECT_EQ(ExpressionCategoryOf(x), 2);
  EXPECT_EQ(ExpressionDescriptionOf(x), std::string("X"));
  const Bytes& shape = Record(store, kShapeExpressionTag, 7);
  EXPECT_EQ(shape.size(), expression_record::kShapeSize);
  EXPECT_EQ(ExpressionCategoryOf(shape), 3);
}

TEST(DocumentLoad, KeepsRawRecordsUnderTheirTagAndIdentity) {
  const RecordStore store = Load(kWorkedExample);
  const Identity id{0x01, 0x00, 0x02, 0x00, 0, 0, 0, 0};
  const Bytes* raw = store.Find(0x6F743134, id);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(*raw, (Bytes{0x00, 0xFF, 0x10}));
  EXPECT_EQ(store.Records().size(), 7u);
}

TEST(DocumentLoad, FillsUninterpretedBytesWithThePattern) {
  const RecordStore store = Load(kWorkedExample);
  const Bytes& zeta = Record(store, kCategoryTag, 2);
  // Bytes after the name's NUL, the three zeroed-on-construction groups and the tail.
  for (std::size_t offset : {std::size_t{7}, std::size_t{67}, std::size_t{68}, std::size_t{85},
                             std::size_t{101}, std::size_t{103}}) {
    EXPECT_EQ(zeta[offset], FillByte(kCategoryTag, 2, offset)) << "offset " << offset;
  }
  // The flags byte keeps the pattern in every bit but the user-created one.
  EXPECT_EQ(zeta[category_record::kFlags] & 0x7F, FillByte(kCategoryTag, 2, 102) & 0x7F);
  const Bytes& x = Record(store, kTextExpressionTag, 1);
  EXPECT_EQ(x[27], FillByte(kTextExpressionTag, 1, 27)) << "the category's high byte is filled";
  EXPECT_EQ(x[0], FillByte(kTextExpressionTag, 1, 0));
}

TEST(DocumentFillPattern, DiffersBetweenRecordsKindsAndNeighbouringBytes) {
  for (std::size_t offset = 0; offset < 104; ++offset) {
    EXPECT_NE(FillByte(kCategoryTag, 2, offset), FillByte(kCategoryTag, 3, offset));
    EXPECT_NE(FillByte(kCategoryTag, 2, offset), FillByte(kCategoryTag, 258, offset));
    EXPECT_NE(FillByte(kCategoryTag, 2, offset), FillByte(kShapeExpressionTag, 2, offset));
    EXPECT_NE(FillByte(kCategoryTag, 2, offset), FillByte(kCategoryTag, 2, offset + 1));
  }
  EXPECT_EQ(FillByte(kCategoryTag, 1, 0), 0xA5 + 0x3B);
}

TEST(DocumentLoad, WritesNamedFieldsOverGivenBytes) {
  const std::string bytes = Hex(104, 0x11);
  const RecordStore store = Load(R"({"categories": [{"number": 5, "name": "Harp",
      "usercreated": true, "bytes": ")" +
                                 bytes + R"("}]})");
  const Bytes& harp = Record(store, kCategoryTag, 5);
  EXPECT_EQ(CategoryIdOf(harp), 5) << "the number is written as the category id";
  EXPECT_EQ(CategoryNameOf(harp), "Harp");
  EXPECT_EQ(harp[category_record::kName + 5], 0x11) << "bytes after the name's NUL are kept";
  EXPECT_EQ(harp[category_record::kFlags], 0x91) << "only bit 7 of the flags is set";
  EXPECT_EQ(harp[category_record::kSize - 1], 0x11);
}

TEST(DocumentLoad, KeepsTheBytesWhereNoFieldIsNamed) {
  Bytes expected(104, 0x80);
  expected[0] = 9;
  expected[1] = 0;
  const RecordStore store =
      Load(R"({"categories": [{"number": 9, "bytes": ")" + Hex(104, 0x80) + R"("}]})");
  EXPECT_EQ(Record(store, kCategoryTag, 9), expected)
      << "the user-created bit and the name come from the bytes";
}

TEST(DocumentLoad, TakesAnExplicitCategoryIdApartFromTheNumber) {
  const RecordStore store =
      Load(R"({"categories": [{"number": 4, "name": "Odd", "categoryid": -2}]})");
  EXPECT_EQ(CategoryIdOf(Record(store, kCategoryTag, 4)), -2);
}

TEST(DocumentLoad, AllowsANameThatFillsItsWholeField) {
  const std::string name(66, 'n');
  const RecordStore store = Load(R"({"categories": [{"number": 1, "name": ")" + name + R"("}]})");
  const Bytes& record = Record(store, kCategoryTag, 1);
  EXPECT_EQ(CategoryNameOf(record), name);
  EXPECT_EQ(record[68], FillByte(kCategoryTag, 1, 68)) << "no terminator written past the field";
}

TEST(DocumentLoad, WritesTextExpressionFieldsIntoGivenBytesOfAnySize) {
  const RecordStore store = Load(R"({"textExpressions": [{"number": 3, "category": 200,
      "description": "pizz.", "bytes": ")" +
                                 Hex(48, 0x22) + R"("}]})");
  const Bytes& record = Record(store, kTextExpressionTag, 3);
  ASSERT_EQ(record.size(), 48u);
  EXPECT_EQ(record[26], 200);
  EXPECT_EQ(record[27], 0x22) << "the high byte of the category word is left alone";
  EXPECT_EQ(ExpressionDescriptionOf(record), std::string("pizz."));
  EXPECT_EQ(record[39], 0);
  EXPECT_EQ(record[40], 0x22) << "bytes after the NUL are kept";
}

TEST(DocumentSave, RoundTripsByteForByte) {
  RecordStore original = Load(kWorkedExample);
  // Records the friendly form cannot name go out raw: an incident, an odd size, a bad name.
  original.Put(kCategoryTag, ItemIdentity(8, 1), Bytes(104, 0x41));
  original.Put(kCategoryTag, ItemIdentity(9), Bytes(50, 0x42));
  Bytes bad_name(104, 0xFF);
  original.Put(kCategoryTag, ItemIdentity(10), bad_name);
  original.Put(kShapeExpressionTag, ItemIdentity(0xFFFF), Bytes(34, 1));
  original.Put(kTextExpressionTag, ItemIdentity(11), Bytes(20, 2));
  Bytes unterminated(40, 'a');
  original.Put(kTextExpressionTag, ItemIdentity(12), unterminated);
  Bytes other_id(104, 0x43);
  other_id[0] = 0x30;
  original.Put(kCategoryTag, ItemIdentity(13), other_id);

  const std::string saved = SaveDocument(original);
  RecordStore reloaded;
  std::string error;
  ASSERT_TRUE(LoadDocument(saved, &reloaded, &error)) << error << "\n" << saved;
  EXPECT_TRUE(reloaded == original);
  EXPECT_EQ(SaveDocument(reloaded), saved);
}

TEST(DocumentSave, WritesKnownKindsInTheFriendlyFormWithTheirBytes) {
  const std::string saved = SaveDocument(Load(kWorkedExample));
  EXPECT_NE(saved.find(R"("name": "Zeta")"), std::string::npos) << saved;
  EXPECT_NE(saved.find(R"("description": "Y")"), std::string::npos) << saved;
  EXPECT_NE(saved.find(R"("tag": "0x6F743134")"), std::string::npos) << saved;
  EXPECT_EQ(saved.find(R"("tag": "0x534F4D43")"), std::string::npos)
      << "categories are not written raw";
}

// --- Malformed documents ---

struct Malformed {
  const char* what;
  std::string document;
  std::string message;
};

class DocumentMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(DocumentMalformed, IsRefusedWithItsPlaceAndChangesNothing) {
  RecordStore store = Load(kWorkedExample);
  const RecordStore before = store;
  std::string error;
  EXPECT_FALSE(LoadDocument(GetParam().document, &store, &error));
  EXPECT_NE(error.find(GetParam().message), std::string::npos)
      << "message: " << error << "\nwanted: " << GetParam().message;
  EXPECT_TRUE(store == before);
}

const std::string k67 = std::string(67, 'n');

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentMalformed,
    ::testing::Values(
        Malformed{"not JSON", "{\"categories\": [", "document: not valid JSON"},
        Malformed{"not an object", "[1, 2]", "document: expected a JSON object"},
        Malformed{"unknown list", R"({"cats": []})", "document.cats: unknown field"},
        Malformed{"list not an array", R"({"categories": {}})", "categories: expected an array"},
        Malformed{"entry not an object", R"({"categories": [{"number": 1, "name": "a"}, 5]})",
                  "categories[1]: expected an object"},
        Malformed{"unknown field", R"({"categories": [{"number": 1, "name": "a", "user": true}]})",
                  "categories[0].user: unknown field"},
        Malformed{"name not a string", R"({"categories": [{"number": 1, "name": 5}]})",
                  "categories[0].name: expected a string of at most 66 bytes"},
        Malformed{"name too long", R"({"categories": [{"number": 1, "name": ")" + k67 + "\"}]}",
                  "categories[0].name: expected a string of at most 66 bytes"},
        Malformed{"name with a NUL", R"({"categories": [{"number": 1, "name": "a\u0000b"}]})",
                  "categories[0].name: must not contain a NUL byte"},
        Malformed{"name missing", R"({"categories": [{"number": 1}]})",
                  "categories[0].name: required"},
        Malformed{"usercreated not a bool",
                  R"({"categories": [{"number": 1, "name": "a", "usercreated": 1}]})",
                  "categories[0].usercreated: expected true or false"},
        Malformed{"number missing", R"({"shapeExpressions": [{"category": 1}]})",
                  "shapeExpressions[0].number: required"},
        Malformed{"number zero", R"({"categories": [{"number": 0, "name": "a"}]})",
                  "categories[0].number: expected an integer from 1 to 65534"},
        Malformed{"number 0xFFFF", R"({"categories": [{"number": 65535, "name": "a"}]})",
                  "categories[0].number: expected an integer from 1 to 65534"},
        Malformed{"number fractional", R"({"categories": [{"number": 1.5, "name": "a"}]})",
                  "categories[0].number: expected an integer from 1 to 65534"},
        Malformed{"number a string", R"({"categories": [{"number": "1", "name": "a"}]})",
                  "categories[0].number: expected an integer"},
        Malformed{"duplicate number",
                  R"({"textExpressions": [{"number": 4, "category": 1},
                                          {"number": 4, "category": 2}]})",
                  "textExpressions[1].number: 4 is already used by textExpressions[0]"},
        Malformed{"category above 255", R"({"textExpressions": [{"number": 1, "category": 256}]})",
                  "textExpressions[0].category: expected an integer from 0 to 255"},
        Malformed{"category negative", R"({"shapeExpressions": [{"number": 1, "category": -1}]})",
                  "shapeExpressions[0].category: expected an integer from 0 to 255"},
        Malformed{"category missing", R"({"textExpressions": [{"number": 1}]})",
                  "textExpressions[0].category: required"},
        Malformed{"bad hex digit", R"({"records": [{"tag": "0x1", "id": "0100000000000000",
                  "bytes": "0g"}]})",
                  "records[0].bytes: character 1 is not a hex digit"},
        Malformed{"odd hex length", R"({"records": [{"tag": "0x1", "id": "0100000000000000",
                  "bytes": "012"}]})",
                  "records[0].bytes: expected an even number of hex digits"},
        Malformed{"bytes not a string", R"({"shapeExpressions": [{"number": 1, "bytes": 12}]})",
                  "shapeExpressions[0].bytes: expected a string of hex digits"},
        Malformed{"category bytes of the wrong size",
                  R"({"categories": [{"number": 1, "bytes": "00"}]})",
                  "categories[0].bytes: expected 104 bytes, got 1"},
        Malformed{"shape bytes of the wrong size",
                  R"({"shapeExpressions": [{"number": 1, "bytes": "0000"}]})",
                  "shapeExpressions[0].bytes: expected 34 bytes, got 2"},
        Malformed{"text bytes too short for the category",
                  R"({"textExpressions": [{"number": 1, "category": 1, "bytes": "0000"}]})",
                  "textExpressions[0].category: the record's 2 bytes do not reach byte 26"},
        Malformed{"description too long for the bytes",
                  R"({"textExpressions": [{"number": 1, "description": "abc", "bytes": ")" +
                      Hex(37, 0) + "\"}]}",
                  "textExpressions[0].description: does not fit"},
        Malformed{"tag not hex", R"({"records": [{"tag": "SOMC", "id": "0100000000000000",
                  "bytes": ""}]})",
                  "records[0].tag: expected a string such as"},
        Malformed{"id too short", R"({"records": [{"tag": "0x1", "id": "0100", "bytes": ""}]})",
                  "records[0].id: expected 16 hex digits"},
        Malformed{"raw bytes missing", R"({"records": [{"tag": "0x1", "id": "0100000000000000"}]})",
                  "records[0].bytes: required"},
        Malformed{"raw record repeating a category",
                  R"({"categories": [{"number": 1, "name": "a"}],
                      "records": [{"tag": "0x534F4D43", "id": "0100000000000000", "bytes": ""}]})",
                  "records[0]: the document already holds a record with tag 0x534F4D43"},
        Malformed{"fault after good entries",
                  R"({"categories": [{"number": 1, "name": "a"}, {"number": 2, "name": "b"},
                      {"number": 3, "name": "c"}, {"number": 4, "name": 7}]})",
                  "categories[3].name: expected a string of at most 66 bytes"}),
    [](const ::testing::TestParamInfo<Malformed>& info) {
      std::string name;
      for (const char c : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      }
      return name;
    });

TEST(DocumentLoadFile, NamesTheFileItCannotRead) {
  RecordStore store;
  std::string error;
  EXPECT_FALSE(LoadDocumentFile("/nonexistent/score.json", &store, &error));
  EXPECT_EQ(error, "/nonexistent/score.json: cannot read the file");
}

}  // namespace
}  // namespace hostsim
