// The staff, clef and measure-number records of a document, as the simulated host reads and
// writes them: staff records, current staff records (a staff as it stands at a measure and a
// duration position), clef definitions and measure-number regions. The offsets are the host's
// own, kept apart from the plug-in's copy, as for the records of score_records.h.
//
// Every reader is bounded by the bytes a record actually holds: a field that a short record does
// not reach is read as nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "hostsim/record_store.h"

namespace hostsim {

constexpr std::uint32_t kStaffTag = 0x534F4953;                // 'S' 'O' 'I' 'S'
constexpr std::uint32_t kCurrentStaffTag = 0x534F5343;         // 'S' 'O' 'S' 'C'
constexpr std::uint32_t kClefTag = 0x67626366;                 // 'g' 'b' 'c' 'f'
constexpr std::uint32_t kMeasureNumberRegionTag = 0x534F4D4E;  // 'S' 'O' 'M' 'N'

// Staff record, and the current staff record, which has the same layout: 114 bytes. The staff
// record's identity is the staff number (incident 0); the current staff record's is the staff
// number in bytes 0-1, the measure in bytes 2-3 and the duration position, signed 32-bit, in
// bytes 4-7.
namespace staff_record {
constexpr std::size_t kSize = 114;
constexpr std::size_t kTransposition = 20;  // unsigned 16-bit: see Transposition
}  // namespace staff_record

// Clef definition: 18 bytes; the identity is the clef number counted from 0.
namespace clef_record {
constexpr std::size_t kSize = 18;
constexpr std::size_t kBaseline = 0;  // signed 16-bit: added to a note's displacement
}  // namespace clef_record

// Measure-number region: the item number is the region's number. Hosts of version 0x0F000000 and
// later store 196 bytes, older ones 88, with the same fields at other offsets. The host keeps
// the end as the measure after the region and the start number less one; both are 16-bit words
// that wrap.
struct RegionLayout {
  std::size_t size;
  std::size_t start_measure;  // signed 16-bit: the region's first measure
  std::size_t end_measure;    // 16-bit: the region's last measure plus 1
  std::size_t start_number;   // 16-bit: the number shown at the first measure, less 1
};
constexpr RegionLayout kRegionLayout{196, 132, 134, 140};
constexpr RegionLayout kOldRegionLayout{88, 6, 8, 16};

// The layout of a region record of `size` bytes; nothing when it is neither.
const RegionLayout* RegionLayoutOfSize(std::size_t size);

// A region's measures as a person counts them.
struct RegionRange {
  std::int16_t start_measure = 0;
  std::int16_t end_measure = 0;   // the last measure of the region
  std::int16_t start_number = 0;  // the number shown at the start measure
  bool operator==(const RegionRange& other) const {
    return start_measure == other.start_measure && end_measure == other.end_measure &&
           start_number == other.start_number;
  }
};

// Nothing when the record has neither layout's size.
std::optional<RegionRange> ReadRegionRange(const Bytes& record);
// Writes the three fields in the layout of the record's size; false (and nothing written) when
// the record has neither size.
bool WriteRegionRange(Bytes* record, const RegionRange& range);

// The transposition word of a staff record. Bit 13 tells a chromatic transposition from a
// diatonic one; bit 14 is set when the key is NOT to be simplified; bit 15 when the
// transposition is set to the clef. Diatonic: bits 0-5 the alteration and bits 6-11 the
// interval, each signed 6-bit two's complement. Chromatic: bits 0-7 the interval, signed 8-bit,
// and bits 8-11 the alteration, signed 4-bit. Bit 12 is not used.
struct Transposition {
  bool chromatic = false;
  int interval = 0;
  int alteration = 0;
  bool simplify_key = true;
  bool set_to_clef = false;
  bool operator==(const Transposition& other) const {
    return chromatic == other.chromatic && interval == other.interval &&
           alteration == other.alteration && simplify_key == other.simplify_key &&
           set_to_clef == other.set_to_clef;
  }
};

struct SignedRange {
  int lowest;
  int highest;
};
SignedRange TranspositionIntervalRange(bool chromatic);
SignedRange TranspositionAlterationRange(bool chromatic);

// Nothing when the interval or the alteration does not fit its bits.
std::optional<std::uint16_t> EncodeTransposition(const Transposition& transposition);
Transposition DecodeTransposition(std::uint16_t word);

std::optional<std::uint16_t> TranspositionOf(const Bytes& staff_record);
std::optional<std::int16_t> ClefBaselineOf(const Bytes& clef_record);

// A current staff record's identity, and back.
struct CurrentStaffPlace {
  std::uint16_t staff = 0;
  std::uint16_t measure = 0;
  std::int32_t position = 0;
};
Identity CurrentStaffIdentity(const CurrentStaffPlace& place);
CurrentStaffPlace CurrentStaffPlaceOf(const Identity& id);

}  // namespace hostsim
