#include "hostsim/region_records.h"

#include <algorithm>

#include "hostsim/entry_records.h"
#include "hostsim/score_records.h"
#include "hostsim/staff_records.h"

namespace hostsim {

void WriteRegionRecord(const RegionSpan& span, std::uint8_t* at) {
  using namespace region_record;
  WriteU16(at + kStartSlotKey, span.start_slot_key);
  WriteU16(at + kStartSlot, static_cast<std::uint16_t>(span.start_slot));
  WriteU16(at + kStartMeasure, static_cast<std::uint16_t>(span.start_measure));
  WriteU32(at + kStartPosition, static_cast<std::uint32_t>(span.start_position));
  WriteU16(at + kEndSlotKey, span.end_slot_key);
  WriteU16(at + kEndSlot, static_cast<std::uint16_t>(span.end_slot));
  WriteU16(at + kEndMeasure, static_cast<std::uint16_t>(span.end_measure));
  WriteU32(at + kEndPosition, static_cast<std::uint32_t>(span.end_position));
}

RegionSpan WholeDocumentSpan(const RecordStore& store) {
  const LayerSetup& setup = store.Layers();
  std::optional<std::int16_t> last_slot, last_measure;
  const auto note_staff = [&](std::int16_t staff) {
    const std::int16_t slot = setup.SlotOfStaff(staff);
    last_slot = std::max(last_slot.value_or(slot), slot);
  };
  for (const auto& [key, entries] : store.Frames()) {
    note_staff(key.staff);
    last_measure = std::max(last_measure.value_or(key.measure), key.measure);
  }
  for (const auto& [id, record] : store.All(kStaffTag)) {
    // The host reads a staff number as a signed 16-bit word, as it does everywhere else.
    if (const auto number = ItemNumberOf(id)) note_staff(static_cast<std::int16_t>(*number));
  }
  RegionSpan span;
  span.start_slot = 1;
  span.start_measure = 1;
  span.end_slot = last_slot.value_or(0);
  span.end_measure = last_measure.value_or(0);
  return span;
}

Identity CellDetailIdentity(const CellDetailPlace& place) {
  Identity id{};
  WriteU16(id.data(), place.staff);
  WriteU16(id.data() + 2, place.measure);
  WriteU16(id.data() + 4, place.inci);
  return id;
}

std::optional<CellDetailPlace> CellDetailPlaceOf(const Identity& id) {
  if (IdentityWord(id, 3) != 0) return std::nullopt;
  return CellDetailPlace{IdentityWord(id, 0), IdentityWord(id, 1), IdentityWord(id, 2)};
}

MidiExpressionFields ReadMidiExpression(const Bytes& record) {
  using namespace midi_expression_record;
  const auto reaches = [&record](std::size_t offset, std::size_t width) {
    return record.size() >= offset + width;
  };
  MidiExpressionFields fields;
  if (reaches(kPosition, 4)) fields.position = ReadS32(record.data() + kPosition);
  if (reaches(kStatus, 1)) fields.status = record[kStatus];
  if (reaches(kData1, 2)) fields.data1 = ReadS16(record.data() + kData1);
  if (reaches(kData2, 2)) fields.data2 = ReadS16(record.data() + kData2);
  return fields;
}

}  // namespace hostsim
