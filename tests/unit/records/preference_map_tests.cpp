// The preference map tables and lookups, checked by properties that a slip in a table would
// break rather than by restating the tables.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/unit/records/preference_tables.h"

namespace records_test {
namespace {

using Entry = PREFERENCE_LOCATION_MAPRECORD;

TEST(PreferenceTables, EachStructureTagAnswersItsTableAndCount) {
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    const Entry* table = nullptr;
    short count = 0;
    ASSERT_TRUE(mapPrefStruct(structure.tag, 0, &table, &count));
    EXPECT_EQ(table, structure.table);
    EXPECT_EQ(count, structure.entries);
  }
}

TEST(PreferenceTables, EntriesCoverEveryByteOfTheStructureExactlyOnce) {
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    std::vector<int> claims(static_cast<std::size_t>(structure.size), 0);
    std::int32_t total = 0;
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      total += entry.size;
      ASSERT_GE(entry.offset, 0) << "entry " << i;
      ASSERT_LE(entry.offset + entry.size, structure.size) << "entry " << i;
      for (int byte = entry.offset; byte < entry.offset + entry.size; ++byte) ++claims[byte];
    }
    EXPECT_EQ(total, structure.size);
    for (std::size_t byte = 0; byte < claims.size(); ++byte) {
      EXPECT_EQ(claims[byte], 1) << "byte " << byte;
    }
  }
}

TEST(PreferenceTables, FieldWidthsMatchTheirConversionAndWords) {
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      SCOPED_TRACE(::testing::Message() << "entry " << i << " at offset " << entry.offset);
      if (entry.size == 4) {
        EXPECT_TRUE(entry.conversion == 1 || entry.conversion == 2);
        EXPECT_GE(entry.wordindex, 0);
        EXPECT_LE(entry.wordindex + 1, 5);
      } else {
        EXPECT_EQ(entry.size, 2);
        EXPECT_TRUE(entry.conversion == 0 || entry.conversion == 3 || entry.conversion == 4);
        EXPECT_GE(entry.wordindex, 0);
        EXPECT_LE(entry.wordindex, 5);
      }
      EXPECT_EQ(entry.processed, 0);
      EXPECT_TRUE(std::isupper(entry.tagchar1) || std::isdigit(entry.tagchar1));
      EXPECT_TRUE(std::isupper(entry.tagchar2) || std::isdigit(entry.tagchar2));
      EXPECT_GE(entry.cmper, 0);
      EXPECT_GE(entry.inci, 0);
    }
  }
}

// Each preference value lives in one place: no word of an 'ot' record serves two fields, in one
// structure or across structures. A slipped word index usually lands on a word already taken.
TEST(PreferenceTables, NoRecordWordServesTwoFields) {
  std::map<std::tuple<char, char, short, short, int>, std::string> owners;
  for (const PrefStructure& structure : kPrefStructures) {
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      const std::string owner =
          std::string(structure.name) + " offset " + std::to_string(entry.offset);
      for (int word = entry.wordindex; word < entry.wordindex + entry.size / 2; ++word) {
        const auto place =
            std::make_tuple(entry.tagchar1, entry.tagchar2, entry.cmper, entry.inci, word);
        const auto [found, fresh] = owners.emplace(place, owner);
        EXPECT_TRUE(fresh) << owner << " reuses word " << word << " of " << found->second;
      }
    }
  }
}

TEST(MapPrefStruct, PageFormatIsAStructureOnlyForCmperZero) {
  const Entry* table = nullptr;
  short count = 0;
  ASSERT_TRUE(mapPrefStruct(0x70665046, 0, &table, &count));
  EXPECT_EQ(table, EDTPageFormatPrefsScore_MAP_ARRAY);
  EXPECT_EQ(count, 22);

  const Entry sentinel_table[1] = {};
  for (short cmper : {1, 2, -1, -2}) {
    table = sentinel_table;
    count = 99;
    EXPECT_FALSE(mapPrefStruct(0x70665046, cmper, &table, &count));
    EXPECT_EQ(table, sentinel_table) << "cmper " << cmper;
    EXPECT_EQ(count, 99) << "cmper " << cmper;
  }
}

TEST(MapPrefStruct, OtherStructuresIgnoreTheCmper) {
  for (const PrefStructure& structure : kPrefStructures) {
    if (structure.tag == 0x70665046) continue;
    for (short cmper : {1, -2, 32767}) {
      const Entry* table = nullptr;
      short count = 0;
      EXPECT_TRUE(mapPrefStruct(structure.tag, cmper, &table, &count)) << structure.name;
      EXPECT_EQ(table, structure.table);
    }
  }
}

TEST(MapPrefStruct, UnknownTagAnswersNullAndZero) {
  const Entry sentinel_table[1] = {};
  // An array tag, an 'ot' record and tags one away from structure tags.
  for (std::uint32_t tag : {0x70665443ul, 0x6F743737ul, 0x70665047ul, 0x70664459ul, 0ul}) {
    const Entry* table = sentinel_table;
    short count = 99;
    EXPECT_FALSE(mapPrefStruct(tag, 0, &table, &count));
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(count, 0);
  }
}

struct ArrayAnswer {
  std::uint32_t record_tag;
  short count;
  short first;
  bool operator==(const ArrayAnswer& other) const {
    return record_tag == other.record_tag && count == other.count && first == other.first;
  }
};

std::ostream& operator<<(std::ostream& out, const ArrayAnswer& answer) {
  return out << std::hex << "{0x" << answer.record_tag << std::dec << ", " << answer.count << ", "
             << answer.first << "}";
}

ArrayAnswer AskArray(std::uint32_t tag, short cmper) {
  ArrayAnswer answer{0xDEADBEEF, 77, 77};
  mapPrefTag(tag, cmper, &answer.record_tag, &answer.count, &answer.first);
  return answer;
}

const ArrayAnswer kNoArray{0, 0, 0};

TEST(MapPrefTag, PageFormatCmperOneIsTheOt77Array) {
  EXPECT_EQ(AskArray(0x70665046, 1), (ArrayAnswer{0x6F743737, 4, 0}));
  EXPECT_EQ(AskArray(0x70665046, 0), kNoArray);
  EXPECT_EQ(AskArray(0x70665046, 2), kNoArray);
}

TEST(MapPrefTag, RangedArraysCountFromCmperMinusOne) {
  EXPECT_EQ(AskArray(0x7066534E, 1), (ArrayAnswer{0x6F743430, 1, 0}));
  EXPECT_EQ(AskArray(0x7066534E, 128), (ArrayAnswer{0x6F743430, 1, 127}));
  EXPECT_EQ(AskArray(0x70664762, 4), (ArrayAnswer{0x6F743938, 1, 3}));
  EXPECT_EQ(AskArray(0x7066536C, 15), (ArrayAnswer{0x6F743236, 1, 14}));
  EXPECT_EQ(AskArray(0x70665473, 9), (ArrayAnswer{0x6F743930, 1, 8}));
  EXPECT_EQ(AskArray(0x70664773, 1), (ArrayAnswer{0x6F743931, 1, 0}));
}

TEST(MapPrefTag, CmperOutsideTheRangeGivesNoArray) {
  const std::pair<std::uint32_t, short> outside[] = {
      {0x7066534E, 129}, {0x7066534E, 0},  {0x7066534E, -1}, {0x7066534E, -32768}, {0x70664762, 5},
      {0x70664762, 0},   {0x7066536C, 16}, {0x70665473, 10}, {0x70664773, 2},      {0x70664773, 0}};
  for (const auto& [tag, cmper] : outside) {
    EXPECT_EQ(AskArray(tag, cmper), kNoArray) << std::hex << tag << std::dec << " " << cmper;
  }
}

TEST(MapPrefTag, UnconditionedArraysTakeAnyCmper) {
  for (short cmper : {-32768, -2, 0, 1, 500, 32767}) {
    EXPECT_EQ(AskArray(0x70665443, cmper), (ArrayAnswer{0x6F743836, 5, 0}));
    EXPECT_EQ(AskArray(0x70664747, cmper), (ArrayAnswer{0x6F743838, 11, 0}));
  }
}

TEST(MapPrefTag, StructureAndUnknownTagsGiveNoArray) {
  for (const PrefStructure& structure : kPrefStructures) {
    if (structure.tag == 0x70665046) continue;
    EXPECT_EQ(AskArray(structure.tag, 1), kNoArray) << structure.name;
  }
  EXPECT_EQ(AskArray(0x6F743836, 0), kNoArray);
}

TEST(MakePrefsFourbyte, JoinsTheWordsInTheConversionsOrder) {
  EXPECT_EQ(static_cast<std::uint32_t>(makePrefsFourbyte(1, -1, MAPCONV_HIGH_LOW)), 0x0001FFFFu);
  EXPECT_EQ(static_cast<std::uint32_t>(makePrefsFourbyte(1, -1, MAPCONV_LOW_HIGH)), 0xFFFF0001u);
  EXPECT_EQ(static_cast<std::uint32_t>(makePrefsFourbyte(-1, -1, MAPCONV_HIGH_LOW)), 0xFFFFFFFFu);
  EXPECT_EQ(makePrefsFourbyte(-32768, 0, MAPCONV_HIGH_LOW), static_cast<std::int32_t>(0x80000000u));
}

TEST(MakePrefsFourbyte, OtherConversionsGiveZero) {
  for (auto conversion : {MAPCONV_NONE, MAPCONV_BOOL_INVERSE, MAPCONV_LOW_BYTE,
                          static_cast<MAP_ARRAY_CONVERSION>(5)}) {
    EXPECT_EQ(makePrefsFourbyte(0x1234, 0x5678, conversion), 0);
  }
}

TEST(MakePrefsTwobytes, SplitsTheValueInTheConversionsOrder) {
  short first = 0, second = 0;
  makePrefsTwobytes(0x12345678, &first, &second, MAPCONV_HIGH_LOW);
  EXPECT_EQ(first, 0x1234);
  EXPECT_EQ(second, 0x5678);
  makePrefsTwobytes(0x12345678, &first, &second, MAPCONV_LOW_HIGH);
  EXPECT_EQ(first, 0x5678);
  EXPECT_EQ(second, 0x1234);
}

TEST(MakePrefsTwobytes, OtherConversionsStoreNothing) {
  for (auto conversion : {MAPCONV_NONE, MAPCONV_BOOL_INVERSE, MAPCONV_LOW_BYTE}) {
    short first = 7, second = 8;
    makePrefsTwobytes(0x12345678, &first, &second, conversion);
    EXPECT_EQ(first, 7);
    EXPECT_EQ(second, 8);
  }
}

TEST(MakePrefsTwobytes, UndoesMakePrefsFourbyte) {
  const std::int32_t values[] = {0,
                                 1,
                                 -1,
                                 0x7FFFFFFF,
                                 static_cast<std::int32_t>(0x80000000u),
                                 0x0000FFFF,
                                 static_cast<std::int32_t>(0xFFFF0000u),
                                 0x00018000};
  for (auto conversion : {MAPCONV_HIGH_LOW, MAPCONV_LOW_HIGH}) {
    for (std::int32_t value : values) {
      short first = 0, second = 0;
      makePrefsTwobytes(value, &first, &second, conversion);
      EXPECT_EQ(makePrefsFourbyte(first, second, conversion), value) << std::hex << value;
    }
  }
}

}  // namespace
}  // namespace records_test
