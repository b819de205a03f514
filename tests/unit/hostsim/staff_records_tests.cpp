// The simulated host's own reading and writing of staff, clef and measure-number region fields:
// the transposition word's bits, the region fields the host keeps shifted by one, and the
// identity of a current staff record.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "hostsim/record_store.h"
#include "hostsim/score_records.h"
#include "hostsim/staff_records.h"

namespace hostsim {
namespace {

Transposition Diatonic(int interval, int alteration) {
  Transposition transposition;
  transposition.interval = interval;
  transposition.alteration = alteration;
  return transposition;
}

Transposition Chromatic(int interval, int alteration) {
  Transposition transposition = Diatonic(interval, alteration);
  transposition.chromatic = true;
  return transposition;
}

struct TranspositionCase {
  Transposition transposition;
  std::uint16_t word;
};

TEST(Transposition, EncodesEachFieldInItsOwnBits) {
  Transposition kept_key = Chromatic(-7, 0);
  kept_key.simplify_key = false;
  Transposition to_clef = Chromatic(-128, 7);
  to_clef.set_to_clef = true;
  const TranspositionCase cases[] = {
      {Diatonic(0, 0), 0x0000},
      {Diatonic(1, 2), 0x0042},     // interval in bits 6-11, alteration in bits 0-5
      {Diatonic(-1, -1), 0x0FFF},   // both 6-bit fields all ones
      {Diatonic(-32, 31), 0x081F},  // the diatonic limits
      {Diatonic(31, -32), 0x07E0},
      {Chromatic(2, 0), 0x2002},  // bit 13; interval in bits 0-7
      {kept_key, 0x60F9},         // bit 14 when the key is not simplified
      {Chromatic(127, -8), 0x287F},
      {to_clef, 0xA780},  // bit 15; alteration in bits 8-11
  };
  for (const TranspositionCase& c : cases) {
    EXPECT_EQ(EncodeTransposition(c.transposition), std::optional<std::uint16_t>(c.word))
        << "word 0x" << std::hex << c.word;
    EXPECT_TRUE(DecodeTransposition(c.word) == c.transposition) << "word 0x" << std::hex << c.word;
  }
}

TEST(Transposition, RefusesValuesThatDoNotFitTheirBits) {
  EXPECT_EQ(EncodeTransposition(Diatonic(32, 0)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Diatonic(-33, 0)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Diatonic(0, 32)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Diatonic(0, -33)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Diatonic(64, 0)), std::nullopt) << "not reduced modulo 64";
  EXPECT_EQ(EncodeTransposition(Chromatic(128, 0)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Chromatic(-129, 0)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Chromatic(0, 8)), std::nullopt);
  EXPECT_EQ(EncodeTransposition(Chromatic(0, -9)), std::nullopt);
  // A diatonic interval of 40 is fine when chromatic, and the other way round for alteration 20.
  EXPECT_NE(EncodeTransposition(Chromatic(40, 0)), std::nullopt);
  EXPECT_NE(EncodeTransposition(Diatonic(0, 20)), std::nullopt);
}

TEST(Transposition, RangesFollowTheKind) {
  EXPECT_EQ(TranspositionIntervalRange(false).lowest, -32);
  EXPECT_EQ(TranspositionIntervalRange(false).highest, 31);
  EXPECT_EQ(TranspositionAlterationRange(false).lowest, -32);
  EXPECT_EQ(TranspositionIntervalRange(true).lowest, -128);
  EXPECT_EQ(TranspositionIntervalRange(true).highest, 127);
  EXPECT_EQ(TranspositionAlterationRange(true).lowest, -8);
  EXPECT_EQ(TranspositionAlterationRange(true).highest, 7);
}

TEST(Transposition, EveryWordDecodesToFieldsThatEncodeItAgainApartFromTheUnusedBit) {
  for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
    const auto encoded = EncodeTransposition(DecodeTransposition(static_cast<std::uint16_t>(word)));
    ASSERT_TRUE(encoded.has_value()) << word;
    ASSERT_EQ(*encoded, word & ~0x1000u) << word;
  }
}

TEST(RegionFields, AreStoredShiftedByOneAtTheirOffsetsInBothLayouts) {
  for (const RegionLayout& layout : {kRegionLayout, kOldRegionLayout}) {
    Bytes record(layout.size, 0xEE);
    RegionRange range;
    range.start_measure = 1;
    range.end_measure = 10;
    range.start_number = 1;
    ASSERT_TRUE(WriteRegionRange(&record, range));
    EXPECT_EQ(WordAt(record, layout.start_measure), 1) << layout.size;
    EXPECT_EQ(WordAt(record, layout.end_measure), 11) << "the measure after the region";
    EXPECT_EQ(WordAt(record, layout.start_number), 0) << "the number less one";
    int untouched = 0;
    for (const std::uint8_t byte : record) untouched += byte == 0xEE;
    EXPECT_EQ(untouched, static_cast<int>(layout.size) - 6) << "only the three words change";
    EXPECT_TRUE(ReadRegionRange(record) == range);
  }
  EXPECT_EQ(kRegionLayout.start_measure, 132u);
  EXPECT_EQ(kRegionLayout.end_measure, 134u);
  EXPECT_EQ(kRegionLayout.start_number, 140u);
  EXPECT_EQ(kOldRegionLayout.start_measure, 6u);
  EXPECT_EQ(kOldRegionLayout.end_measure, 8u);
  EXPECT_EQ(kOldRegionLayout.start_number, 16u);
}

TEST(RegionFields, WrapAtTheEndsOfTheSixteenBitRange) {
  struct Case {
    std::int16_t start, end, number;
    std::uint16_t stored_start, stored_end, stored_number;
  };
  const Case cases[] = {
      {32767, 32767, -32768, 0x7FFF, 0x8000, 0x7FFF},  // end + 1 and number - 1 both wrap
      {-32768, -32768, 32767, 0x8000, 0x8001, 0x7FFE},
      {-32767, -1, 0, 0x8001, 0x0000, 0xFFFF},
      {0, 0, 1, 0x0000, 0x0001, 0x0000},
  };
  for (const Case& c : cases) {
    Bytes record(kRegionLayout.size, 0);
    RegionRange range;
    range.start_measure = c.start;
    range.end_measure = c.end;
    range.start_number = c.number;
    ASSERT_TRUE(WriteRegionRange(&record, range));
    EXPECT_EQ(WordAt(record, 132), c.stored_start) << c.start;
    EXPECT_EQ(WordAt(record, 134), c.stored_end) << c.end;
    EXPECT_EQ(WordAt(record, 140), c.stored_number) << c.number;
    EXPECT_TRUE(ReadRegionRange(record) == range) << c.end << " " << c.number;
  }
}

TEST(RegionFields, ARecordOfNeitherSizeIsNotARegion) {
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{87}, std::size_t{89}, std::size_t{195}, std::size_t{197}}) {
    Bytes record(size, 0x11);
    const Bytes before = record;
    EXPECT_EQ(ReadRegionRange(record), std::nullopt) << size;
    EXPECT_FALSE(WriteRegionRange(&record, RegionRange{})) << size;
    EXPECT_EQ(record, before);
  }
}

TEST(StaffFields, ReadOnlyWhatTheRecordHolds) {
  Bytes staff(staff_record::kSize, 0);
  PutWord(&staff, 20, 0xA002);
  EXPECT_EQ(TranspositionOf(staff), 0xA002);
  EXPECT_EQ(TranspositionOf(Bytes(21, 0xFF)), std::nullopt) << "the word needs bytes 20 and 21";
  EXPECT_EQ(TranspositionOf(Bytes(22, 0xFF)), 0xFFFF);
  EXPECT_EQ(ClefBaselineOf(Bytes{0xF4, 0xFF}), -12);
  EXPECT_EQ(ClefBaselineOf(Bytes{0x05}), std::nullopt);
  EXPECT_EQ(WordAt(Bytes{}, 0), std::nullopt);
}

TEST(CurrentStaffIdentity, HoldsStaffMeasureAndSignedPosition) {
  CurrentStaffPlace place;
  place.staff = 0x0102;
  place.measure = 0x0304;
  place.position = -2;
  const Identity id = CurrentStaffIdentity(place);
  EXPECT_EQ(id, (Identity{0x02, 0x01, 0x04, 0x03, 0xFE, 0xFF, 0xFF, 0xFF}));
  const CurrentStaffPlace back = CurrentStaffPlaceOf(id);
  EXPECT_EQ(back.staff, 0x0102);
  EXPECT_EQ(back.measure, 0x0304);
  EXPECT_EQ(back.position, -2);
  place.position = INT32_MIN;
  EXPECT_EQ(CurrentStaffPlaceOf(CurrentStaffIdentity(place)).position, INT32_MIN);
  place.position = 0x12345678;
  EXPECT_EQ(CurrentStaffIdentity(place)[4], 0x78) << "little-endian";
  EXPECT_EQ(CurrentStaffPlaceOf(CurrentStaffIdentity(place)).position, 0x12345678);
}

TEST(NextFreeNumber, IsOneMoreThanTheHighestFromTheKindsLowest) {
  RecordStore store;
  EXPECT_EQ(store.NextFreeNumber(kStaffTag), 1);
  EXPECT_EQ(store.NextFreeNumber(kClefTag, 0), 0) << "clefs are counted from 0";
  store.Put(kStaffTag, ItemIdentity(4), Bytes{});
  store.Put(kStaffTag, ItemIdentity(2), Bytes{});
  store.Put(kStaffTag, ItemIdentity(9, 3), Bytes{});
  store.Put(kClefTag, ItemIdentity(0), Bytes{});
  EXPECT_EQ(store.NextFreeNumber(kStaffTag), 10) << "an incident's item counts too";
  EXPECT_EQ(store.NextFreeNumber(kClefTag, 0), 1);
  EXPECT_EQ(store.NextFreeNumber(kCurrentStaffTag), 1) << "other tags do not count";
}

TEST(NextFreeNumber, NeverAnswersTheNumberThatAsksForANewOne) {
  RecordStore store;
  store.Put(kStaffTag, ItemIdentity(0xFFFE), Bytes{});
  store.Put(kStaffTag, ItemIdentity(0xFFFF), Bytes{});
  store.Put(kStaffTag, ItemIdentity(1), Bytes{});
  EXPECT_EQ(store.NextFreeNumber(kStaffTag), 2) << "the lowest unused number once the top is used";
  for (std::uint32_t number = 2; number < 0xFFFE; ++number) {
    store.Put(kStaffTag, ItemIdentity(static_cast<std::uint16_t>(number)), Bytes{});
  }
  EXPECT_EQ(store.NextFreeNumber(kStaffTag), std::nullopt) << "every number is in use";
  EXPECT_EQ(store.NextFreeNumber(kStaffTag, 0), 0) << "unless the kind starts at 0";
}

TEST(TagForms, AreKeptApartFromTheRecordsAndClearedWithThem) {
  RecordStore store;
  EXPECT_EQ(store.FormOf(0x74787431), TagForm::kRaw);
  store.SetTagForm(0x74787431, TagForm::kTexts);
  store.SetTagForm(0x626C6B31, TagForm::kIncidents);
  EXPECT_EQ(store.FormOf(0x74787431), TagForm::kTexts);
  EXPECT_EQ(store.FormOf(0x626C6B31), TagForm::kIncidents);
  EXPECT_TRUE(store == RecordStore()) << "two stores are the same when their records are";
  store.SetTagForm(0x626C6B31, TagForm::kRaw);
  EXPECT_EQ(store.FormOf(0x626C6B31), TagForm::kRaw);
  store.Clear();
  EXPECT_EQ(store.FormOf(0x74787431), TagForm::kRaw);
}

}  // namespace
}  // namespace hostsim
