#include "framework/details.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The scratch record the probes load into. It is cleared and offered its whole capacity before
// every load: a short record then reads as zero past its end, never as what an earlier record
// left there (a stale note ID that matches would send a save or a delete to another note's
// record), and a short record never narrows what the next load may deliver.
class ProbeRecord {
 public:
  explicit ProbeRecord(std::int32_t record_size)
      : _bytes(static_cast<std::size_t>(std::max(record_size, __FCEntryDetail::kScratchSize))) {}

  bool Load(std::uint32_t tag, EDataID* id) {
    std::fill(_bytes.begin(), _bytes.end(), 0);
    std::int32_t size = static_cast<std::int32_t>(_bytes.size());
    _delivered = 0;
    if (FX_LoadEData(tag, id, _bytes.data(), &size, kScorixApiVersion) == 0) return false;
    _delivered =
        std::min(std::max(size, std::int32_t{0}), static_cast<std::int32_t>(_bytes.size()));
    return true;
  }
  const unsigned char* Bytes() const { return _bytes.data(); }
  // Whether the host delivered at least `size` bytes with the last load.
  bool Holds(std::int32_t size) const { return _delivered >= size; }

 private:
  std::vector<unsigned char> _bytes;
  std::int32_t _delivered = 0;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// __FCEntryDetail

EDataID __FCEntryDetail::_DetailIdentity(std::int32_t entnum, short inci) {
  EDataID id;
  std::memset(&id, 0, sizeof id);
  vaz::WriteField<std::int32_t>(id.bytes, 0, entnum);
  id.detail.inci = inci;
  return id;
}

std::int32_t __FCEntryDetail::GetEntryNumber() const {
  return vaz::ReadField<std::int32_t>(_dataid.bytes, 0);
}

bool __FCEntryDetail::_HasAnyMod(FCNote* note) {
  if (!note) return false;
  EDataID id = _DetailIdentity(note->_GetEntryNumber(), 0);
  return ProbeRecord(DataSize()).Load(Tag(), &id);
}

bool __FCEntryDetail::_ReadyToWrite() {
  if (!_datablock) {
    _datablock = Allocate();
    // A fresh heap block holds whatever the heap held; an embedded record starts zeroed.
    if (_datablock && IsDynamicSize()) {
      std::memset(_datablock, 0, static_cast<std::size_t>(_StorageCapacity()));
    }
  }
  const std::int32_t size = DataSize();
  return _datablock && size > 0 && size <= _StorageCapacity();
}

void __FCEntryDetail::_Written(const EDataID& id) {
  _dataid = id;
  _loadedsize = DataSize();
}

bool __FCEntryDetail::Save() {
  if (_dataid.detail.inci < 0) return false;
  return __FCBaseData::Save();
}

bool __FCEntryDetail::SaveNew() {
  if (!_ReadyToWrite()) return false;
  EDataID id = _DetailIdentity(GetEntryNumber(), kNoIncident);
  if (FX_CreateEData(Tag(), &id, _datablock, DataSize(), kScorixApiVersion) == 0) return false;
  _Written(id);
  _SetConnectedFlag(_connected, true);
  return true;
}

void __FCEntryDetail::DebugDump() {
  __FCBase::DebugDump();
  _DumpDetail();
}

void __FCEntryDetail::_DumpDetail() {
  _DumpStorage();
  DebugOutDigit("Entry number: ", GetEntryNumber());
  DebugOutDigit("Incident: ", GetIncident());
}

// ---------------------------------------------------------------------------------------------
// __FCEntryDetailNoteID

short __FCEntryDetailNoteID::_ScanForNoteID(FCNote* note) {
  if (!note) return kNoIncident;
  const short noteid = note->GetNoteID();
  const std::int32_t entnum = note->_GetEntryNumber();
  ProbeRecord probe(DataSize());
  // Counted wider than an incident, so the last one ends the scan instead of wrapping round.
  for (std::int32_t inci = 0; inci <= kLastIncident; ++inci) {
    EDataID id = _DetailIdentity(entnum, static_cast<short>(inci));
    if (!probe.Load(Tag(), &id)) return kNoIncident;
    // A record shorter than the kind's own cannot be told apart by its note ID: the bytes it
    // lacks read as zeros, which would match a note whose ID is 0 (or half an ID), and SaveAt
    // would then write over, or EraseAt delete, a record that is not the note's.
    if (probe.Holds(DataSize()) && _IsNoteIDMatch(probe.Bytes(), noteid)) {
      return static_cast<short>(inci);
    }
  }
  return kNoIncident;
}

bool __FCEntryDetailNoteID::SaveAt(FCNote* note) {
  if (!note || !_ReadyToWrite()) return false;
  const short inci = _ScanForNoteID(note);
  EDataID id = _DetailIdentity(note->_GetEntryNumber(), inci);
  _SetNoteID(note->GetNoteID());
  const std::int32_t size = DataSize();
  const bool written = inci == kNoIncident
                           ? FX_CreateEData(Tag(), &id, _datablock, size, kScorixApiVersion) != 0
                           : FX_SaveEData(Tag(), &id, _datablock, size, kScorixApiVersion) != 0;
  if (!written) return false;
  _Written(id);
  _SetNoteFlag(note, true);
  return true;
}

bool __FCEntryDetailNoteID::EraseAt(FCNote* note) {
  if (!note) return false;
  const short inci = _ScanForNoteID(note);
  // Asking for incident -1 could delete a record the host keeps under that number.
  if (inci == kNoIncident) return false;
  EDataID id = _DetailIdentity(note->_GetEntryNumber(), inci);
  if (FX_DeleteEData(Tag(), &id, kScorixApiVersion) == 0) return false;
  if (!_HasAnyMod(note)) _SetNoteFlag(note, false);
  _dataid = id;
  _dataid.detail.inci = kNoIncident;
  return true;
}
