// Preference structures and arrays read from and written to the host's 'ot' records.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "tests/unit/records/preference_tables.h"
#include "tests/unit/records/records_fixture.h"

namespace records_test {
namespace {

using Entry = PREFERENCE_LOCATION_MAPRECORD;

// Where an entry's record lives in the host.
struct Place {
  std::uint32_t tag;
  std::uint16_t cmper;
  std::int16_t inci;
  bool operator<(const Place& other) const {
    return std::tie(tag, cmper, inci) < std::tie(other.tag, other.cmper, other.inci);
  }
  bool operator==(const Place& other) const {
    return tag == other.tag && cmper == other.cmper && inci == other.inci;
  }
};

Place PlaceOf(const Entry& entry) {
  const auto cmper = entry.cmper == 0 ? std::uint16_t{0xFFFE} : std::uint16_t(entry.cmper);
  return {OtTag(entry.tagchar1, entry.tagchar2), cmper, entry.inci};
}

Place PlaceOf(const HostRequest& request) {
  return {request.tag, hostsim::IdentityWord(request.id, 0),
          static_cast<std::int16_t>(hostsim::IdentityWord(request.id, 1))};
}

const Entry& EntryAt(const PrefStructure& structure, int offset) {
  for (int i = 0; i < structure.entries; ++i) {
    if (structure.table[i].offset == offset) return structure.table[i];
  }
  ADD_FAILURE() << "no entry at offset " << offset;
  return structure.table[0];
}

const PrefStructure& Structure(std::uint32_t tag) {
  for (const PrefStructure& structure : kPrefStructures) {
    if (structure.tag == tag) return structure;
  }
  return kPrefStructures[0];
}

// The field as the structure shows the words of its record.
std::uint32_t FieldFromWords(const Entry& entry, const Words& words) {
  const std::uint32_t word = words[entry.wordindex];
  switch (entry.conversion) {
    case 1:
      return (word << 16) | words[entry.wordindex + 1];
    case 2:
      return (static_cast<std::uint32_t>(words[entry.wordindex + 1]) << 16) | word;
    case 3:
      return word == 0 ? 1 : 0;
    case 4:
      return word & 0xFF;
    default:
      return word;
  }
}

// The record words that hold a field value.
void WordsFromField(const Entry& entry, std::uint32_t value, Words& words) {
  switch (entry.conversion) {
    case 1:
      words[entry.wordindex] = static_cast<std::uint16_t>(value >> 16);
      words[entry.wordindex + 1] = static_cast<std::uint16_t>(value);
      break;
    case 2:
      words[entry.wordindex] = static_cast<std::uint16_t>(value);
      words[entry.wordindex + 1] = static_cast<std::uint16_t>(value >> 16);
      break;
    case 3:
      words[entry.wordindex] = value == 0 ? 1 : 0;
      break;
    case 4:
      words[entry.wordindex] = static_cast<std::uint16_t>(static_cast<std::int8_t>(value & 0xFF));
      break;
    default:
      words[entry.wordindex] = static_cast<std::uint16_t>(value);
  }
}

std::uint32_t ReadField(const std::vector<std::uint8_t>& buffer, const Entry& entry) {
  return entry.size == 4 ? Get32(&buffer[entry.offset]) : Get16(&buffer[entry.offset]);
}

void WriteField(std::vector<std::uint8_t>& buffer, const Entry& entry, std::uint32_t value) {
  if (entry.size == 4) {
    Put32(&buffer[entry.offset], value);
  } else {
    Put16(&buffer[entry.offset], static_cast<std::uint16_t>(value));
  }
}

// A different value of the field that survives a save unchanged (booleans stay 0 or 1, low-byte
// fields stay one byte).
std::uint32_t ChangedValue(const Entry& entry, std::uint32_t value) {
  switch (entry.conversion) {
    case 3:
      return value == 0 ? 1 : 0;
    case 4:
      return (value ^ 0x80) & 0xFF;
    default:
      return entry.size == 4 ? value ^ 0x00010001u : (value + 1) & 0xFFFF;
  }
}

class PreferenceRecords : public RecordsTest {
 protected:
  // Fills every record the structure draws from with varied words, in the forms that a load and
  // a save leave as they are (booleans 0 or 1, low-byte words sign-extended).
  std::map<Place, Words> Seed(const PrefStructure& structure, std::uint32_t salt = 1) {
    std::map<Place, Words> seeds;
    std::uint32_t state = salt * 2654435761u + 12345;
    auto next = [&state] {
      state = state * 1103515245u + 12345u;
      return static_cast<std::uint16_t>(state >> 8);
    };
    for (int i = 0; i < structure.entries; ++i) {
      const Place place = PlaceOf(structure.table[i]);
      if (seeds.count(place) == 0) {
        Words words;
        for (auto& word : words) word = next();
        seeds[place] = words;
      }
    }
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      Words& words = seeds[PlaceOf(entry)];
      if (entry.conversion == 3) words[entry.wordindex] = next() & 1;
      if (entry.conversion == 4) WordsFromField(entry, next(), words);
    }
    for (const auto& [place, words] : seeds) Put(place.tag, place.cmper, place.inci, words);
    return seeds;
  }

  short Load(std::uint32_t tag, std::vector<std::uint8_t>& buffer, std::int32_t* size,
             short cmper = 0, std::uint32_t version = kScorixApiVersion) {
    EDataID id = ItemId(static_cast<std::uint16_t>(cmper));
    return FX_LoadEData(tag, &id, buffer.data(), size, version);
  }

  std::vector<std::uint8_t> LoadStructure(const PrefStructure& structure) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(structure.size), 0xAB);
    std::int32_t size = structure.size;
    EXPECT_EQ(Load(structure.tag, buffer, &size), 1);
    EXPECT_EQ(size, structure.size);
    return buffer;
  }

  short Save(std::uint32_t tag, std::vector<std::uint8_t>& buffer, std::int32_t size,
             short cmper = 0, std::uint32_t version = kScorixApiVersion) {
    EDataID id = ItemId(static_cast<std::uint16_t>(cmper));
    return FX_SaveEData(tag, &id, buffer.data(), size, version);
  }

  Words StoredWords(const Place& place) {
    const Bytes* bytes = Find(place.tag, place.cmper, place.inci);
    Words words{};
    if (!bytes || bytes->size() != 12) {
      ADD_FAILURE() << "record missing or resized";
      return words;
    }
    for (int i = 0; i < 6; ++i) words[i] = WordOf(*bytes, i);
    return words;
  }
};

// --- Structures: loading
// --------------------------------------------------------------------------

TEST_F(PreferenceRecords, NullBufferReportsTheStructureSizeWithoutAskingTheHost) {
  for (const PrefStructure& structure : kPrefStructures) {
    EDataID id = ItemId(0);
    std::int32_t size = 0;
    EXPECT_EQ(FX_LoadEData(structure.tag, &id, nullptr, &size, kScorixApiVersion), 1);
    EXPECT_EQ(size, structure.size) << structure.name;
  }
  EXPECT_EQ(HostLoads(), 0);
}

TEST_F(PreferenceRecords, EachFieldShowsTheWordsOfItsRecord) {
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    host().Records().Clear();
    const auto seeds = Seed(structure);
    const std::vector<std::uint8_t> buffer = LoadStructure(structure);
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      EXPECT_EQ(ReadField(buffer, entry), FieldFromWords(entry, seeds.at(PlaceOf(entry))))
          << "offset " << entry.offset;
    }
  }
}

TEST_F(PreferenceRecords, EachRecordIsLoadedOnceInTableOrderWithTheApiVersion) {
  SpyOnRecords();
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    const size_t before = RequestsOf("FX_LoadEData").size();
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(structure.size));
    std::int32_t size = structure.size;
    // The outer request's version must not reach the nested record requests.
    ASSERT_EQ(Load(structure.tag, buffer, &size, 0, 0x01000000), 1);

    std::vector<Place> expected;
    for (int i = 0; i < structure.entries; ++i) {
      const Place place = PlaceOf(structure.table[i]);
      if (std::find(expected.begin(), expected.end(), place) == expected.end()) {
        expected.push_back(place);
      }
    }
    const auto loads = RequestsOf("FX_LoadEData");
    std::vector<Place> loaded;
    for (size_t i = before; i < loads.size(); ++i) {
      loaded.push_back(PlaceOf(loads[i]));
      EXPECT_EQ(loads[i].size, 12);
      EXPECT_EQ(loads[i].version, 0x0F000200u);
      EXPECT_TRUE(loads[i].has_buffer);
      EXPECT_EQ(hostsim::IdentityWord(loads[i].id, 2), 0);
      EXPECT_EQ(hostsim::IdentityWord(loads[i].id, 3), 0);
    }
    EXPECT_EQ(loaded, expected);
  }
}

TEST_F(PreferenceRecords, RecordsTheHostCannotDeliverLoadAsZeros) {
  const PrefStructure& structure = Structure(0x70664D53);  // has a boolean-inverse field
  Seed(structure);
  LoadStructure(structure);  // leaves record values behind in the stack
  host().FailEveryCall("FX_LoadEData");
  const std::vector<std::uint8_t> buffer = LoadStructure(structure);
  for (int i = 0; i < structure.entries; ++i) {
    const Entry& entry = structure.table[i];
    EXPECT_EQ(ReadField(buffer, entry), entry.conversion == 3 ? 1u : 0u)
        << "offset " << entry.offset;
  }
}

TEST_F(PreferenceRecords, CapacityBelowTheStructureIsRefusedAndNothingWritten) {
  for (const PrefStructure& structure : kPrefStructures) {
    Seed(structure);
    for (std::int32_t capacity : {structure.size - 1, 2, 0, -1}) {
      std::vector<std::uint8_t> buffer(static_cast<std::size_t>(structure.size), 0xAB);
      std::int32_t size = capacity;
      EXPECT_EQ(Load(structure.tag, buffer, &size), 0) << structure.name << " " << capacity;
      EXPECT_EQ(size, capacity);
      EXPECT_EQ(buffer, std::vector<std::uint8_t>(buffer.size(), 0xAB));
    }
  }
  EXPECT_EQ(HostLoads(), 0);
}

TEST_F(PreferenceRecords, PageFormatWithAnotherCmperGoesToTheHost) {
  host().Records().Put(0x70665046, ItemIdentity(2), Bytes(30, 0x5A));
  std::vector<std::uint8_t> buffer(30);
  std::int32_t size = 30;
  EXPECT_EQ(Load(0x70665046, buffer, &size, 2), 1);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(30, 0x5A));
  ASSERT_EQ(HostLoads(), 1);
  EXPECT_EQ(host().Calls()[0].args[0], 0x70665046u);
}

// --- Structures: saving
// ---------------------------------------------------------------------------

TEST_F(PreferenceRecords, SavingAnUnchangedStructureWritesNoRecord) {
  for (const PrefStructure& structure : kPrefStructures) {
    SCOPED_TRACE(structure.name);
    host().Records().Clear();
    Seed(structure, 7);
    std::vector<std::uint8_t> buffer = LoadStructure(structure);
    host().ClearCalls();
    EXPECT_EQ(Save(structure.tag, buffer, structure.size), 1);
    EXPECT_EQ(HostSaves(), 0);
  }
}

TEST_F(PreferenceRecords, ChangingOneFieldSavesExactlyItsRecordAndWords) {
  for (const PrefStructure& structure : kPrefStructures) {
    for (int i = 0; i < structure.entries; ++i) {
      const Entry& entry = structure.table[i];
      SCOPED_TRACE(::testing::Message() << structure.name << " offset " << entry.offset);
      host().Records().Clear();
      auto expected = Seed(structure, static_cast<std::uint32_t>(i + 3));
      std::vector<std::uint8_t> buffer = LoadStructure(structure);
      const std::uint32_t changed = ChangedValue(entry, ReadField(buffer, entry));
      WriteField(buffer, entry, changed);
      WordsFromField(entry, changed, expected[PlaceOf(entry)]);

      host().ClearCalls();
      ASSERT_EQ(Save(structure.tag, buffer, structure.size), 1);
      EXPECT_EQ(HostSaves(), 1);
      for (const auto& [place, words] : expected) EXPECT_EQ(StoredWords(place), words);
    }
  }
}

TEST_F(PreferenceRecords, SavesCarryTheRecordIdentitySizeAndApiVersion) {
  SpyOnRecords();
  const PrefStructure& structure = Structure(0x70665353);  // cmper and inci records
  Seed(structure);
  std::vector<std::uint8_t> buffer = LoadStructure(structure);
  for (int i = 0; i < structure.entries; ++i) {
    const Entry& entry = structure.table[i];
    WriteField(buffer, entry, ChangedValue(entry, ReadField(buffer, entry)));
  }
  ASSERT_EQ(Save(structure.tag, buffer, structure.size, 0, 0x08000000), 1);
  std::vector<Place> saved;
  for (const HostRequest& request : RequestsOf("FX_SaveEData")) {
    saved.push_back(PlaceOf(request));
    EXPECT_EQ(request.size, 12);
    EXPECT_EQ(request.version, 0x0F000200u);
  }
  std::vector<Place> expected;
  for (int i = 0; i < structure.entries; ++i) {
    const Place place = PlaceOf(structure.table[i]);
    if (std::find(expected.begin(), expected.end(), place) == expected.end()) {
      expected.push_back(place);
    }
  }
  EXPECT_EQ(saved, expected);
}

TEST_F(PreferenceRecords, SaveRefusesANullBufferOrAShortSize) {
  for (const PrefStructure& structure : kPrefStructures) {
    Seed(structure);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(structure.size));
    EDataID id = ItemId(0);
    EXPECT_EQ(FX_SaveEData(structure.tag, &id, nullptr, structure.size, kScorixApiVersion), 0);
    EXPECT_EQ(Save(structure.tag, buffer, structure.size - 1), 0) << structure.name;
  }
  EXPECT_EQ(HostLoads(), 0);
  EXPECT_EQ(HostSaves(), 0);
}

TEST_F(PreferenceRecords, OldCallersSaveThePreferenceTagUnmapped) {
  const PrefStructure& structure = Structure(0x7066504C);
  Seed(structure);
  host().Records().Put(structure.tag, ItemIdentity(0), Bytes(14, 0));
  std::vector<std::uint8_t> buffer(14, 0x33);

  ASSERT_EQ(Save(structure.tag, buffer, 14, 0, 0x07FFFFFF), 1);
  ASSERT_EQ(HostSaves(), 1);
  EXPECT_EQ(host().Calls().back().args[0], structure.tag);
  EXPECT_EQ(host().Calls().back().args[4], 0x07FFFFFFu);

  host().ClearCalls();
  ASSERT_EQ(Save(structure.tag, buffer, 14, 0, 0x08000000), 1);
  for (const hostsim::CallRecord& call : host().Calls()) {
    EXPECT_NE(call.args[0], structure.tag) << call.name;
  }
  EXPECT_GT(HostSaves(), 0);
}

// --- Conversions
// ----------------------------------------------------------------------------------

TEST_F(PreferenceRecords, BooleanInverseLoadsAndSavesInverted) {
  const PrefStructure& structure = Structure(0x70664D53);
  const Entry& entry = EntryAt(structure, 12);  // ot36 word 1
  ASSERT_EQ(entry.conversion, 3);
  auto seeds = Seed(structure);
  const Place place = PlaceOf(entry);
  seeds[place][1] = 0;
  Put(place.tag, place.cmper, place.inci, seeds[place]);

  std::vector<std::uint8_t> buffer = LoadStructure(structure);
  EXPECT_EQ(ReadField(buffer, entry), 1u);

  WriteField(buffer, entry, 0);
  ASSERT_EQ(Save(structure.tag, buffer, structure.size), 1);
  EXPECT_EQ(StoredWords(place)[1], 1);
  WriteField(buffer, entry, 1);
  ASSERT_EQ(Save(structure.tag, buffer, structure.size), 1);
  EXPECT_EQ(StoredWords(place)[1], 0);
}

TEST_F(PreferenceRecords, LowByteLoadsZeroExtendedAndSavesSignExtended) {
  const PrefStructure& structure = Structure(0x70665353);
  const Entry& entry = EntryAt(structure, 28);  // ot12 word 5
  ASSERT_EQ(entry.conversion, 4);
  auto seeds = Seed(structure);
  const Place place = PlaceOf(entry);
  seeds[place][5] = 0x12F0;
  Put(place.tag, place.cmper, place.inci, seeds[place]);

  std::vector<std::uint8_t> buffer = LoadStructure(structure);
  EXPECT_EQ(ReadField(buffer, entry), 0x00F0u);

  const std::pair<std::uint16_t, std::uint16_t> saves[] = {
      {0x00F0, 0xFFF0}, {0x007F, 0x007F}, {0x0080, 0xFF80}, {0x1234, 0x0034}, {0x0000, 0x0000}};
  for (const auto& [field, stored] : saves) {
    WriteField(buffer, entry, field);
    ASSERT_EQ(Save(structure.tag, buffer, structure.size), 1);
    EXPECT_EQ(StoredWords(place)[5], stored) << std::hex << field;
  }
}

TEST_F(PreferenceRecords, FourByteFieldJoinsUpperWordFirst) {
  const PrefStructure& structure = Structure(0x70665046);
  const Entry& entry = EntryAt(structure, 0);  // ot14 words 0+1, conversion 1
  auto seeds = Seed(structure);
  const Place place = PlaceOf(entry);
  seeds[place][0] = 0x0001;
  seeds[place][1] = 0xFFFF;
  Put(place.tag, place.cmper, place.inci, seeds[place]);

  std::vector<std::uint8_t> buffer = LoadStructure(structure);
  EXPECT_EQ(ReadField(buffer, entry), 0x0001FFFFu);

  WriteField(buffer, entry, 0xFFFF0001u);
  ASSERT_EQ(Save(structure.tag, buffer, structure.size), 1);
  EXPECT_EQ(StoredWords(place)[0], 0xFFFF);
  EXPECT_EQ(StoredWords(place)[1], 0x0001);
}

// --- Arrays
// ---------------------------------------------------------------------------------------

class PreferenceArrays : public PreferenceRecords {
 protected:
  // Seeds `count` records of `record_tag` under cmper 0xFFFE from incident `first`.
  std::vector<Bytes> SeedArray(std::uint32_t record_tag, int count, int first = 0) {
    std::vector<Bytes> records;
    for (int i = 0; i < count; ++i) {
      Bytes bytes(12);
      for (int b = 0; b < 12; ++b) bytes[b] = static_cast<std::uint8_t>(0x10 * (i + 1) + b);
      host().Records().Put(record_tag, ItemIdentity(0xFFFE, static_cast<std::int16_t>(first + i)),
                           bytes);
      records.push_back(bytes);
    }
    return records;
  }

  static Bytes Joined(const std::vector<Bytes>& records) {
    Bytes joined;
    for (const Bytes& record : records) joined.insert(joined.end(), record.begin(), record.end());
    return joined;
  }
};

TEST_F(PreferenceArrays, NullBufferReportsCountTimesTwelve) {
  EDataID id = ItemId(0);
  std::int32_t size = 0;
  EXPECT_EQ(FX_LoadEData(0x70665443, &id, nullptr, &size, kScorixApiVersion), 1);
  EXPECT_EQ(size, 60);
  EXPECT_EQ(HostLoads(), 0);
}

TEST_F(PreferenceArrays, ShortBufferIsRefusedAndNothingWritten) {
  SeedArray(0x6F743836, 5);
  std::vector<std::uint8_t> buffer(60, 0xAB);
  std::int32_t size = 59;
  EXPECT_EQ(Load(0x70665443, buffer, &size), 0);
  EXPECT_EQ(size, 59);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(60, 0xAB));
  EXPECT_EQ(Save(0x70665443, buffer, 59), 0);
  EDataID id = ItemId(0);
  EXPECT_EQ(FX_SaveEData(0x70665443, &id, nullptr, 60, kScorixApiVersion), 0);
  EXPECT_EQ(HostLoads(), 0);
  EXPECT_EQ(HostSaves(), 0);
}

TEST_F(PreferenceArrays, LoadJoinsTheRecordsInIncidentOrder) {
  SpyOnRecords();
  const auto records = SeedArray(0x6F743836, 5);
  std::vector<std::uint8_t> buffer(80, 0xAB);
  std::int32_t size = 80;
  ASSERT_EQ(Load(0x70665443, buffer, &size, 0, 0x01000000), 1);
  EXPECT_EQ(size, 60);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 60), Joined(records));
  EXPECT_EQ(Bytes(buffer.begin() + 60, buffer.end()), Bytes(20, 0xAB));
  const auto loads = RequestsOf("FX_LoadEData");
  ASSERT_EQ(loads.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(PlaceOf(loads[i]), (Place{0x6F743836, 0xFFFE, static_cast<std::int16_t>(i)}));
    EXPECT_EQ(loads[i].size, 12);
    EXPECT_EQ(loads[i].version, 0x0F000200u);
  }
}

TEST_F(PreferenceArrays, RangedArrayReadsTheIncidentOfItsCmper) {
  const auto records = SeedArray(0x6F743430, 1, 127);
  std::vector<std::uint8_t> buffer(12);
  std::int32_t size = 12;
  ASSERT_EQ(Load(0x7066534E, buffer, &size, 128), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), records[0]);
}

TEST_F(PreferenceArrays, PageFormatCmperOneReadsFourOt77Records) {
  const auto records = SeedArray(0x6F743737, 4);
  std::vector<std::uint8_t> buffer(48);
  std::int32_t size = 48;
  ASSERT_EQ(Load(0x70665046, buffer, &size, 1), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), Joined(records));
}

TEST_F(PreferenceArrays, MissingRecordsLoadAsZeros) {
  SeedArray(0x6F743532, 2);
  std::vector<std::uint8_t> buffer(24);
  std::int32_t size = 24;
  ASSERT_EQ(Load(0x70665343, buffer, &size), 1);  // leaves ot52 values in the stack
  host().Records().Erase(0x6F743532, ItemIdentity(0xFFFE, 1));
  std::fill(buffer.begin(), buffer.end(), 0xAB);
  ASSERT_EQ(Load(0x70665343, buffer, &size), 1);
  EXPECT_EQ(Bytes(buffer.begin() + 12, buffer.end()), Bytes(12, 0));
}

TEST_F(PreferenceArrays, SaveWritesEveryRecordOfTheArray) {
  SpyOnRecords();
  SeedArray(0x6F743834, 4);
  std::vector<std::uint8_t> buffer(48);
  for (int b = 0; b < 48; ++b) buffer[b] = static_cast<std::uint8_t>(200 - b);
  ASSERT_EQ(Save(0x70665449, buffer, 48), 1);
  const auto saves = RequestsOf("FX_SaveEData");
  ASSERT_EQ(saves.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(PlaceOf(saves[i]), (Place{0x6F743834, 0xFFFE, static_cast<std::int16_t>(i)}));
    EXPECT_EQ(saves[i].size, 12);
    EXPECT_EQ(saves[i].version, 0x0F000200u);
    EXPECT_EQ(*Find(0x6F743834, 0xFFFE, static_cast<std::int16_t>(i)),
              Bytes(buffer.begin() + 12 * i, buffer.begin() + 12 * (i + 1)));
  }
}

TEST_F(PreferenceArrays, RoundTripLeavesTheRecordsAsTheyWere) {
  SeedArray(0x6F743838, 11);
  const hostsim::RecordStore before = host().Records();
  std::vector<std::uint8_t> buffer(132);
  std::int32_t size = 132;
  ASSERT_EQ(Load(0x70664747, buffer, &size), 1);
  ASSERT_EQ(Save(0x70664747, buffer, size), 1);
  EXPECT_TRUE(host().Records() == before);
}

}  // namespace
}  // namespace records_test
