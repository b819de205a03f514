#include "hostsim/staff_records.h"

#include "hostsim/score_records.h"

namespace hostsim {

namespace {

constexpr std::uint16_t kChromaticBit = 1u << 13;
constexpr std::uint16_t kKeepKeyBit = 1u << 14;  // set: the key is not simplified
constexpr std::uint16_t kSetToClefBit = 1u << 15;

// Where a signed field sits in the transposition word.
struct BitField {
  int shift;
  int width;
};
constexpr BitField kDiatonicAlteration{0, 6};
constexpr BitField kDiatonicInterval{6, 6};
constexpr BitField kChromaticInterval{0, 8};
constexpr BitField kChromaticAlteration{8, 4};

SignedRange RangeOf(BitField field) {
  const int half = 1 << (field.width - 1);
  return {-half, half - 1};
}

bool Fits(int value, BitField field) {
  const SignedRange range = RangeOf(field);
  return value >= range.lowest && value <= range.highest;
}

std::uint16_t Pack(int value, BitField field) {
  const unsigned mask = (1u << field.width) - 1;
  return static_cast<std::uint16_t>((static_cast<unsigned>(value) & mask) << field.shift);
}

int Unpack(std::uint16_t word, BitField field) {
  const int mask = (1 << field.width) - 1;
  const int bits = (word >> field.shift) & mask;
  return bits >= (1 << (field.width - 1)) ? bits - (1 << field.width) : bits;
}

BitField IntervalField(bool chromatic) {
  return chromatic ? kChromaticInterval : kDiatonicInterval;
}

BitField AlterationField(bool chromatic) {
  return chromatic ? kChromaticAlteration : kDiatonicAlteration;
}

std::uint16_t Wrapped(int value) {
  return static_cast<std::uint16_t>(static_cast<unsigned>(value) & 0xFFFFu);
}

std::int16_t AsSigned(std::uint16_t word) {
  return static_cast<std::int16_t>(word >= 0x8000 ? static_cast<int>(word) - 0x10000 : word);
}

}  // namespace

const RegionLayout* RegionLayoutOfSize(std::size_t size) {
  if (size == kRegionLayout.size) return &kRegionLayout;
  if (size == kOldRegionLayout.size) return &kOldRegionLayout;
  return nullptr;
}

std::optional<RegionRange> ReadRegionRange(const Bytes& record) {
  const RegionLayout* layout = RegionLayoutOfSize(record.size());
  if (!layout) return std::nullopt;
  RegionRange range;
  range.start_measure = AsSigned(*WordAt(record, layout->start_measure));
  range.end_measure = AsSigned(Wrapped(*WordAt(record, layout->end_measure) - 1));
  range.start_number = AsSigned(Wrapped(*WordAt(record, layout->start_number) + 1));
  return range;
}

bool WriteRegionRange(Bytes* record, const RegionRange& range) {
  const RegionLayout* layout = RegionLayoutOfSize(record->size());
  if (!layout) return false;
  PutWord(record, layout->start_measure, Wrapped(range.start_measure));
  PutWord(record, layout->end_measure, Wrapped(range.end_measure + 1));
  PutWord(record, layout->start_number, Wrapped(range.start_number - 1));
  return true;
}

SignedRange TranspositionIntervalRange(bool chromatic) {
  return RangeOf(IntervalField(chromatic));
}

SignedRange TranspositionAlterationRange(bool chromatic) {
  return RangeOf(AlterationField(chromatic));
}

std::optional<std::uint16_t> EncodeTransposition(const Transposition& transposition) {
  const BitField interval = IntervalField(transposition.chromatic);
  const BitField alteration = AlterationField(transposition.chromatic);
  if (!Fits(transposition.interval, interval) || !Fits(transposition.alteration, alteration)) {
    return std::nullopt;
  }
  std::uint16_t word =
      Pack(transposition.interval, interval) | Pack(transposition.alteration, alteration);
  if (transposition.chromatic) word |= kChromaticBit;
  if (!transposition.simplify_key) word |= kKeepKeyBit;
  if (transposition.set_to_clef) word |= kSetToClefBit;
  return word;
}

Transposition DecodeTransposition(std::uint16_t word) {
  Transposition transposition;
  transposition.chromatic = (word & kChromaticBit) != 0;
  transposition.interval = Unpack(word, IntervalField(transposition.chromatic));
  transposition.alteration = Unpack(word, AlterationField(transposition.chromatic));
  transposition.simplify_key = (word & kKeepKeyBit) == 0;
  transposition.set_to_clef = (word & kSetToClefBit) != 0;
  return transposition;
}

std::optional<std::uint16_t> TranspositionOf(const Bytes& staff_record) {
  return WordAt(staff_record, staff_record::kTransposition);
}

std::optional<std::int16_t> ClefBaselineOf(const Bytes& clef_record) {
  const auto word = WordAt(clef_record, clef_record::kBaseline);
  if (!word) return std::nullopt;
  return AsSigned(*word);
}

Identity CurrentStaffIdentity(const CurrentStaffPlace& place) {
  Identity id{};
  const auto position = static_cast<std::uint32_t>(place.position);
  id[0] = static_cast<std::uint8_t>(place.staff & 0xFF);
  id[1] = static_cast<std::uint8_t>(place.staff >> 8);
  id[2] = static_cast<std::uint8_t>(place.measure & 0xFF);
  id[3] = static_cast<std::uint8_t>(place.measure >> 8);
  for (int i = 0; i < 4; ++i) id[4 + i] = static_cast<std::uint8_t>((position >> (8 * i)) & 0xFF);
  return id;
}

CurrentStaffPlace CurrentStaffPlaceOf(const Identity& id) {
  CurrentStaffPlace place;
  place.staff = IdentityWord(id, 0);
  place.measure = IdentityWord(id, 1);
  std::uint32_t position = 0;
  for (int i = 3; i >= 0; --i) position = position << 8 | id[4 + i];
  const std::int64_t wrapped =
      static_cast<std::int64_t>(position) - (position >= 0x80000000u ? 0x100000000LL : 0);
  place.position = static_cast<std::int32_t>(wrapped);
  return place;
}

}  // namespace hostsim
