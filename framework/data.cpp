#include "framework/data.h"

#include <algorithm>
#include <cstdint>

namespace {

// Dumps print the storage address as a signed number.
std::int32_t AddressAsNumber(const void* address) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(address));
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

void* __FCBaseData::_AllocateBlock(std::int32_t size) {
  const std::int32_t bytes = std::max(size, std::int32_t{0});
  auto* block = new unsigned char[static_cast<std::size_t>(bytes)];
  _datablock = block;
  _blocksize = bytes;
  return block;
}

std::int32_t __FCBaseData::_HeldBytes() const {
  if (!_datablock) return 0;
  return std::min(std::max(_loadedsize, std::int32_t{0}), _blocksize);
}

std::int32_t __FCBaseData::_StorageCapacity() {
  if (!_datablock) return 0;
  return IsDynamicSize() ? _blocksize : std::max(DataSize(), std::int32_t{0});
}

bool __FCBaseData::_CanWrite(std::int32_t size) {
  // A size of 0 means the host could not say how large the record is (a failed size query of a
  // dynamic record): writing it would empty the record, so nothing is written.
  return _loadedsize > 0 && size > 0 && size <= _HeldBytes();
}

bool __FCBaseData::LoadDataBlock() {
  if (_datablock && IsDynamicSize()) ClearData();
  if (!_datablock) _datablock = Allocate();
  // The host may not deliver more than the storage takes, whatever it reports now.
  return _LoadInto(std::min(std::max(DataSize(), std::int32_t{0}), _StorageCapacity()));
}

bool __FCBaseData::_LoadInto(std::int32_t capacity) {
  std::int32_t size = capacity;
  const std::uint32_t tag = Tag();
  if (!_datablock || FX_LoadEData(tag, &_dataid, _datablock, &size, _version) == 0) {
    _loadedsize = 0;
    return false;
  }
  // A host that claims to have delivered more than it was allowed is not believed.
  _loadedsize = std::min(std::max(size, std::int32_t{0}), capacity);
  // Storage the host did not fill holds nothing of an earlier record (or of the heap).
  const std::int32_t filled = _StorageCapacity();
  if (filled > _loadedsize) {
    std::memset(static_cast<unsigned char*>(_datablock) + _loadedsize, 0,
                static_cast<std::size_t>(filled - _loadedsize));
  }
  return true;
}

bool __FCBaseData::Save() {
  if (_loadedsize <= 0) return false;
  const std::int32_t size = DataSize();
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
  const std::int32_t bytes = std::min(source->_loadedsize, source->_StorageCapacity());
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
  DebugOutDigit("dataid.other.cmper: ", static_cast<std::int32_t>(_dataid.other.cmper));
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
  const std::int32_t size = DataSize();
  if (!_CanWrite(size)) return false;
  const EDataID previous = _dataid;
  _dataid.other.cmper = kNewItemNumber;
  if (FX_CreateEData(Tag(), &_dataid, _datablock, size, _version) != 0) return true;
  _dataid = previous;
  return false;
}
