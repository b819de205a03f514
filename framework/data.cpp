#include "framework/data.h"

#include <algorithm>
#include <cstdint>

namespace {

// Dumps print the storage address as a signed number.
long AddressAsNumber(const void* address) {
  return static_cast<long>(reinterpret_cast<std::intptr_t>(address));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// __FCBaseData

void __FCBaseData::DebugDump() {
  __FCBase::DebugDump();
  _DumpStorage();
}

void __FCBaseData::_DumpStorage() {
  DebugOutDigit("Data block: ", AddressAsNumber(_datablock));
  DebugOutDigit("Loaded size: ", _loadedsize);
}

void* __FCBaseData::_AllocateBlock(long size) {
  const long bytes = std::max(size, 0L);
  auto* block = new unsigned char[static_cast<std::size_t>(bytes)];
  _datablock = block;
  _blocksize = bytes;
  return block;
}

long __FCBaseData::_HeldBytes() const {
  if (!_datablock) return 0;
  return std::min(std::max(_loadedsize, 0L), _blocksize);
}

long __FCBaseData::_StorageCapacity() {
  if (!_datablock) return 0;
  return IsDynamicSize() ? _blocksize : std::max(DataSize(), 0L);
}

bool __FCBaseData::_CanWrite(long size) {
  // A size of 0 means the host could not say how large the record is (a failed size query of a
  // dynamic record): writing it would empty the record, so nothing is written.
  return _loadedsize > 0 && size > 0 && size <= _HeldBytes();
}

bool __FCBaseData::LoadDataBlock() {
  if (_datablock && IsDynamicSize()) ClearData();
  if (!_datablock) _datablock = Allocate();
  // The host may not deliver more than the storage takes, whatever it reports now.
  long size = std::min(std::max(DataSize(), 0L), _StorageCapacity());
  const long capacity = size;
  const unsigned long tag = Tag();
  if (!_datablock || FX_LoadEData(tag, &_dataid, _datablock, &size, _version) == 0) {
    _loadedsize = 0;
    return false;
  }
  // A host that claims to have delivered more than it was allowed is not believed.
  _loadedsize = std::min(std::max(size, 0L), capacity);
  // Storage the host did not fill holds nothing of an earlier record (or of the heap).
  const long filled = _StorageCapacity();
  if (filled > _loadedsize) {
    std::memset(static_cast<unsigned char*>(_datablock) + _loadedsize, 0,
                static_cast<std::size_t>(filled - _loadedsize));
  }
  return true;
}

bool __FCBaseData::Save() {
  if (_loadedsize <= 0) return false;
  const long size = DataSize();
  if (!_CanWrite(size)) return false;
  return FX_SaveEData(Tag(), &_dataid, _datablock, size, _version) != 0;
}

bool __FCBaseData::LoadNext() {
  _reachedend = false;
  if (FX_NextEData(Tag(), &_dataid, nullptr, 0, _version) == 0) {
    _reachedend = true;
    return false;
  }
  return LoadDataBlock();
}

void __FCBaseData::CloneMemoryFrom(__FCBaseData* source) {
  if (!source || source->_loadedsize <= 0) return;
  const long bytes = std::min(source->_loadedsize, source->_StorageCapacity());
  if (bytes <= 0) return;
  if (_datablock) Deallocate();
  _datablock = nullptr;
  _AllocateBlock(bytes);
  std::memcpy(_datablock, source->_datablock, static_cast<std::size_t>(bytes));
  _loadedsize = bytes;
}

void __FCBaseData::CloneFrom(__FCBaseData* source) {
  if (!source || source == this) return;
  _version = source->_version;
  _dataid = source->_dataid;
  CloneMemoryFrom(source);
}

__FCBaseData* __FCBaseData::CreateClone() {
  __FCBaseData* clone = CreateObject(_version);
  if (clone) clone->CloneFrom(this);
  return clone;
}

void __FCBaseData::ClearData() {
  Deallocate();
  _datablock = nullptr;
  _blocksize = 0;
  _loadedsize = 0;
}

// ---------------------------------------------------------------------------------------------
// __FCGlobals

bool __FCGlobals::Load(short number) {
  _dataid.other.cmper = static_cast<unsigned short>(number);
  return LoadDataBlock();
}

// ---------------------------------------------------------------------------------------------
// __FCNoInciOther

void __FCNoInciOther::DebugDump() {
  __FCBaseData::DebugDump();
  _DumpItem();
}

void __FCNoInciOther::_DumpItem() {
  DebugOutDigit("dataid.other.cmper: ", static_cast<long>(_dataid.other.cmper));
}

bool __FCNoInciOther::Load(unsigned short cmper) {
  _SetItem(cmper);
  return LoadDataBlock();
}

// Item 1 is where a kind's records normally start, but the user may have deleted it. Then the
// host is asked for the first record after item 0, so a kind whose first record is gone still
// loads. A step that lands on item 1 itself means item 1 exists and was not delivered.
bool __FCNoInciOther::LoadFirst() {
  _reachedend = false;
  if (Load(1)) return true;
  _SetItem(0);
  if (FX_NextEData(Tag(), &_dataid, nullptr, 0, _version) == 0) {
    _reachedend = true;
    return false;
  }
  if (_dataid.other.cmper == 1 && _dataid.other.inci == 0) return false;
  return LoadDataBlock();
}

bool __FCNoInciOther::SaveAs(unsigned short cmper) {
  if (_loadedsize <= 0) return false;
  _SetItem(cmper);
  return Save();
}

bool __FCNoInciOther::SaveNew() {
  if (_loadedsize <= 0) return false;
  const long size = DataSize();
  if (!_CanWrite(size)) return false;
  const EDataID previous = _dataid;
  _dataid.other.cmper = kNewItemNumber;
  if (FX_CreateEData(Tag(), &_dataid, _datablock, size, _version) != 0) return true;
  _dataid = previous;
  return false;
}
