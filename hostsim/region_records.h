// Two records about stretches of the score, as the simulated host writes and reads them: the
// region record that FX_GetCurERegions fills (the user's selection, the whole document), and the
// MIDI expression record, one MIDI event attached to a cell (a staff in a measure). The offsets
// are the host's own, kept apart from the plug-in's copy, as for the records of score_records.h,
// so that a wrong offset on either side shows up in a test.
//
// Every field is read and written byte by byte: the plug-in hands the host places at any
// address, and a MIDI expression record may be shorter than its fields (a faulty plug-in can save
// one), so a reader answers nothing for a field the record does not reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "hostsim/record_store.h"

namespace hostsim {

// Region record: 20 bytes, a start half and an end half of the same layout.
namespace region_record {
constexpr std::size_t kSize = 20;
constexpr std::size_t kStartSlotKey = 0;   // unsigned 16-bit: the key of the start slot
constexpr std::size_t kStartSlot = 2;      // signed 16-bit
constexpr std::size_t kStartMeasure = 4;   // signed 16-bit
constexpr std::size_t kStartPosition = 6;  // signed 32-bit, inside the start measure
constexpr std::size_t kEndSlotKey = 10;    // unsigned 16-bit
constexpr std::size_t kEndSlot = 12;       // signed 16-bit
constexpr std::size_t kEndMeasure = 14;    // signed 16-bit
constexpr std::size_t kEndPosition = 16;   // signed 32-bit, inside the end measure
}  // namespace region_record

// Writes `span` as a region record of 20 bytes at `at`.
void WriteRegionRecord(const RegionSpan& span, std::uint8_t* at);

// The region of the whole document, as FX_GetCurERegions reports it: slot key 0 at both ends,
// from slot 1, measure 1, position 0 to the highest slot (of key 0) that shows a staff the
// document has a frame or a staff record for, the highest measure of any frame, and position
// 0x7FFFFFFF. The end slot and measure are 0 when the document has nothing to give them.
RegionSpan WholeDocumentSpan(const RecordStore& store);

constexpr std::uint32_t kMidiExpressionTag = 0x64744D45;  // 'd' 't' 'M' 'E'

// MIDI expression: 10 bytes. Byte 5 is the host's own; nobody else interprets it.
namespace midi_expression_record {
constexpr std::size_t kSize = 10;
constexpr std::size_t kPosition = 0;  // signed 32-bit: where in the measure the event happens
constexpr std::size_t kStatus = 4;    // unsigned 8-bit: the MIDI status byte
constexpr std::size_t kData1 = 6;     // signed 16-bit: a controller event's controller number
constexpr std::size_t kData2 = 8;     // signed 16-bit: a controller event's value
constexpr std::uint8_t kControllerStatus = 0xB0;
}  // namespace midi_expression_record

// Where a record attached to a cell sits: its identity is the words staff, measure, incident and
// 0, in that order.
struct CellDetailPlace {
  std::uint16_t staff = 0;
  std::uint16_t measure = 0;
  std::uint16_t inci = 0;
};
Identity CellDetailIdentity(const CellDetailPlace& place);
// Nothing when the identity's fourth word is not 0.
std::optional<CellDetailPlace> CellDetailPlaceOf(const Identity& id);

// The fields of a MIDI expression record, each as far as the record reaches.
struct MidiExpressionFields {
  std::optional<std::int32_t> position;
  std::optional<std::uint8_t> status;
  std::optional<std::int16_t> data1;
  std::optional<std::int16_t> data2;
};
MidiExpressionFields ReadMidiExpression(const Bytes& record);

}  // namespace hostsim
