#include "framework/regions.h"

#include <cstring>

namespace {

// FX_GetCurERegions' second and third outputs hold a region record each; the first a 32-bit word.
struct RegionOutputs {
  std::uint32_t first;
  EREGION selection;
  EREGION document;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCMusicRegion

FCMusicRegion::FCMusicRegion(const EREGION* region) {
  if (region) {
    std::memcpy(&_region, region, sizeof _region);
  } else {
    std::memset(&_region, 0, sizeof _region);
  }
}

void FCMusicRegion::SetFullDocument() {
  // Zeroed, so that a host that answers without writing gives an empty region rather than
  // whatever the stack held.
  RegionOutputs outputs;
  std::memset(&outputs, 0, sizeof outputs);
  FX_GetCurERegions(reinterpret_cast<std::intptr_t>(&outputs.first),
                    reinterpret_cast<std::intptr_t>(&outputs.selection),
                    reinterpret_cast<std::intptr_t>(&outputs.document), kScorixApiVersion);
  std::memcpy(&_region, &outputs.document, sizeof _region);
}

short FCMusicRegion::GetStartStaff() const {
  return FX_SlotToInst(_region.startslot, _region.startslotkey, kScorixApiVersion);
}

short FCMusicRegion::GetEndStaff() const {
  return FX_SlotToInst(_region.endslot, _region.endslotkey, kScorixApiVersion);
}

bool FCMusicRegion::IsMeasureIncluded(short measure) const {
  return _region.startmeas <= measure && measure <= _region.endmeas;
}

bool FCMusicRegion::IsStaffIncluded(short staff) const {
  if (staff < GetStartStaff()) return false;
  return staff <= GetEndStaff();
}

bool FCMusicRegion::IsCellPosWithin(const FCCell* cell, std::int32_t position) const {
  if (!cell) return false;
  if (!IsMeasureIncluded(static_cast<short>(cell->_measure & 0xFFFF))) return false;
  if (!IsStaffIncluded(static_cast<short>(cell->_staff & 0xFFFF))) return false;
  if (cell->_measure == _region.startmeas && _region.startpos > position) return false;
  if (cell->_measure == _region.endmeas && _region.endpos < position) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// FCMidiExpression

namespace {

namespace midi_record {
constexpr std::int32_t kPosition = 0;
constexpr std::int32_t kStatus = 4;
constexpr std::int32_t kData1 = 6;
constexpr std::int32_t kData2 = 8;
}  // namespace midi_record

}  // namespace

std::int32_t FCMidiExpression::GetPosition() const {
  if (!record_field::Fits(_loadedsize, midi_record::kPosition, 4)) return 0;
  return vaz::ReadField<std::int32_t>(_record, midi_record::kPosition);
}

unsigned char FCMidiExpression::GetStatus() const {
  if (!record_field::Fits(_loadedsize, midi_record::kStatus, 1)) return 0;
  return _record[midi_record::kStatus];
}

short FCMidiExpression::GetData1() const {
  if (!record_field::Fits(_loadedsize, midi_record::kData1, 2)) return 0;
  return vaz::ReadField<std::int16_t>(_record, midi_record::kData1);
}

short FCMidiExpression::GetData2() const {
  if (!record_field::Fits(_loadedsize, midi_record::kData2, 2)) return 0;
  return vaz::ReadField<std::int16_t>(_record, midi_record::kData2);
}

void FCMidiExpression::DebugDump() {
  __FCBase::DebugDump();
  _DumpDetail();
  DebugOutDigit("Position: ", GetPosition());
  if (!IsController()) return;
  DebugOutBool("Is Controller: ", true);
  DebugOutDigit("Controller number: ", GetControllerNumber());
  DebugOutDigit("Controller value: ", GetControllerValue());
}
