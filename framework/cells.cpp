#include "framework/cells.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framework/regions.h"

namespace {

// FindClosestPos never answers an entry this far away or farther.
constexpr std::int64_t kFarthestDistance = 20000;
// The highest incident a 16-bit identity can name.
constexpr std::int16_t kLastIncident = 0x7FFF;

short Low16(std::int32_t value) {
  return static_cast<short>(static_cast<std::uint16_t>(value & 0xFFFF));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCCells

void FCCells::ApplyRegion(const FCMusicRegion* region) {
  ClearElements();
  if (!region) return;
  // Counters wider than the region's 16-bit fields, so a bound of 32767 ends the loops.
  for (std::int32_t measure = region->GetStartMeasure(); measure <= region->GetEndMeasure();
       ++measure) {
    for (std::int32_t slot = region->GetStartSlot(); slot <= region->GetEndSlot(); ++slot) {
      const short staff = FX_SlotToInst(Low16(slot), region->GetStartSlotKey(), kScorixApiVersion);
      const short rebased = FX_InstToSlot(staff, 0, kScorixApiVersion);
      auto cell = std::make_unique<FCCell>(measure, rebased);
      Add(cell.get());
      cell.release();
    }
  }
}

// ---------------------------------------------------------------------------------------------
// FCNoteEntryCell

FCNoteEntryCell::FCNoteEntryCell(std::int32_t measure, std::int32_t staff)
    : _measure(measure), _staff(staff) {}

FCNoteEntryCell::~FCNoteEntryCell() {
  // The entries are views into the frames: they go before the frames go back to the host.
  ClearElements();
  _ReleaseFrames();
}

int FCNoteEntryCell::_UsableLayers() {
  const int layers = FX_GetMaxLayers(kScorixApiVersion);
  return std::min(std::max(layers, 0), kMaxLayers);
}

void FCNoteEntryCell::_ReleaseFrames() {
  // Every slot, not only those below the host's count of the moment: a count that shrank since
  // the load must not strand a frame.
  for (EXTGF2005a*& frame : _frames) {
    if (frame) FX_FreeTGF(frame, kScorixApiVersion);
    frame = nullptr;
  }
}

EXTGF2005a* FCNoteEntryCell::GetFrame(int layer) const {
  return layer >= 0 && layer < kMaxLayers ? _frames[layer] : nullptr;
}

bool FCNoteEntryCell::Load() {
  ClearElements();
  _ReleaseFrames();
  for (int layer = 0; layer < _UsableLayers(); ++layer) {
    if (FX_GetShowLayer(static_cast<short>(layer), kScorixApiVersion) == 0) continue;
    const short staff = FX_SlotToInst(Low16(_staff), 0, kScorixApiVersion);
    _frames[layer] =
        FX_LoadTGF(0, staff, Low16(_measure), static_cast<short>(layer), 1, kScorixApiVersion);
    if (!_frames[layer]) {
      ClearElements();
      _ReleaseFrames();
      return false;
    }
  }
  _SetupEntries();
  return true;
}

void FCNoteEntryCell::_SetupEntries() {
  for (EXTGF2005a* frame : _frames) {
    if (frame) _AppendLayerEntries(frame);
  }
}

void FCNoteEntryCell::_AppendLayerEntries(EXTGF2005a* frame) {
  const auto count = vaz::ReadField<std::int16_t>(frame, kFrameEntryCountOffset);
  auto* entries = static_cast<unsigned char*>(vaz::ReadAddressField(frame, kFrameEntriesOffset));
  // A host that names entries but no array to hold them gives nothing to read.
  if (count <= 0 || !entries) return;
  FCNoteEntry* previous = nullptr;
  for (std::int16_t index = 0; index < count; ++index) {
    auto entry = std::make_unique<FCNoteEntry>(vaz::exentry::EntryAt(entries, index), this,
                                               _measure, _staff);
    entry->_SetPrevious(previous);
    Add(entry.get());
    FCNoteEntry* added = entry.release();
    if (previous) previous->_SetNext(added);
    previous = added;
  }
}

bool FCNoteEntryCell::Save() {
  bool saved = true;
  const int layers = _UsableLayers();
  for (int layer = 0; layer < layers; ++layer) {
    if (_frames[layer] && FX_SaveTGF(_frames[layer], kScorixApiVersion) == 0) saved = false;
  }
  return saved;
}

FCNoteEntry* FCNoteEntryCell::GetRegionItemAt(int index, const FCMusicRegion* region) const {
  FCNoteEntry* entry = GetItemAt(index);
  if (!entry || !region) return nullptr;
  const std::int32_t position = entry->GetPosition();
  if (_measure == region->GetStartMeasure() && region->GetStartPos() > position) return nullptr;
  if (_measure == region->GetEndMeasure() && region->GetEndPos() < position) return nullptr;
  return entry;
}

FCNoteEntry* FCNoteEntryCell::FindClosestPos(std::int32_t position) const {
  std::int64_t best = kFarthestDistance;
  FCNoteEntry* closest = nullptr;
  for (int index = 0; index < GetCount(); ++index) {
    FCNoteEntry* entry = GetItemAt(index);
    if (!entry) continue;
    // 64 bits: two 32-bit positions can lie more than 2^31 apart.
    const std::int64_t distance =
        std::llabs(static_cast<std::int64_t>(entry->GetPosition()) - position);
    if (distance < best) {
      best = distance;
      closest = entry;
    }
  }
  return closest;
}

// ---------------------------------------------------------------------------------------------
// __FCCellDetail

bool __FCCellDetail::LoadFirst() {
  _reachedend = false;
  if (!_cell) return false;
  _dataid.detail.cmper1 = static_cast<unsigned short>(_cell->_staff & 0xFFFF);
  _dataid.detail.cmper2 = static_cast<unsigned short>(_cell->_measure & 0xFFFF);
  _dataid.detail.inci = 0;
  return LoadDataBlock();
}

bool __FCCellDetail::LoadNext() {
  // Past the last incident an identity can name there is nothing to ask for; a host that
  // answers every incident must not keep the walk going for ever.
  if (_dataid.detail.inci >= kLastIncident) return false;
  // A failed step leaves the object as it was, loaded with the last record, as a failed step
  // of any data object does.
  const std::int32_t loaded = _loadedsize;
  const std::int32_t held = _HeldBytes();
  const auto* bytes = static_cast<const unsigned char*>(_datablock);
  const std::vector<unsigned char> kept(bytes, bytes + held);
  ++_dataid.detail.inci;
  if (LoadDataBlock()) return true;
  --_dataid.detail.inci;
  if (!kept.empty()) {
    if (_StorageCapacity() < held) {
      if (_datablock) Deallocate();
      _datablock = nullptr;
      _AllocateBlock(held);
    }
    std::memcpy(_datablock, kept.data(), kept.size());
  }
  _loadedsize = loaded;
  return false;
}

void __FCCellDetail::DebugDump() {
  __FCBase::DebugDump();
  _DumpDetail();
}

void __FCCellDetail::_DumpDetail() {
  _DumpStorage();
  DebugOutDigit("_dataid.detail.cmper1", _dataid.detail.cmper1);
  DebugOutDigit("_dataid.detail.cmper2", _dataid.detail.cmper2);
  DebugOutDigit("_dataid.detail.inci", _dataid.detail.inci);
  if (!_cell) return;
  DebugOutDigit("Cell measure: ", _cell->_measure);
  DebugOutDigit("Cell staff: ", _cell->_staff);
}
