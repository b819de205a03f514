// Data objects: framework objects that mirror one host data record (a tag, an 8-byte identity and
// the record's bytes) and load, save, step and clone it through the host's data-record calls.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/base.h"
#include "vaz/vaz.h"

// One host record. A concrete class names the tag, the size, where the bytes live and how to make
// a fresh object of its own class.
//
// Storage is of two kinds. Fixed size: the bytes are embedded in the object and `Allocate`
// returns them. Dynamic size: the bytes are a heap block sized by the host; such a class allocates
// it with `_AllocateBlock` (which remembers how many bytes the block holds) and releases it in
// `Deallocate` and in its destructor. The remembered block size keeps every load and save inside
// the block even when the host's idea of the record's size changes between calls.
class __FCBaseData : public __FCBase {
 public:
  explicit __FCBaseData(std::uint32_t version) : _version(version) {
    std::memset(&_dataid, 0, sizeof _dataid);
  }
  __FCBaseData(const __FCBaseData&) = delete;
  __FCBaseData& operator=(const __FCBaseData&) = delete;

  // The largest record a fixed-size class of this family may embed. A family whose records are
  // also copied into buffers of its own lowers it, so a record too large for them does not compile.
  static constexpr std::int32_t kMaxFixedSize = INT32_MAX;

  const char* ClassName() override { return "__FCBaseData"; }
  void DebugDump() override;
  virtual std::uint32_t Tag() = 0;
  // The number of bytes to load or save.
  virtual std::int32_t DataSize() = 0;
  virtual void* Allocate() = 0;
  virtual void Deallocate() {}
  virtual bool IsDynamicSize() { return false; }
  // A new, empty object of the same concrete class; the caller owns it.
  virtual __FCBaseData* CreateObject(std::uint32_t version) = 0;
  // Copies the source's loaded bytes into a heap block of this object's own, releasing any block
  // it already held. Fixed-size classes override it to copy into their embedded record.
  virtual void CloneMemoryFrom(__FCBaseData* source);
  ~__FCBaseData() override = default;
  // Writes `DataSize()` bytes back under the identity. Refused without a host call while nothing
  // is loaded, when the host cannot tell the size, or when fewer bytes were delivered than the
  // host now expects.
  virtual bool Save();
  virtual bool LoadFirst() = 0;
  // Steps the identity to the host's next record of the tag and loads it.
  virtual bool LoadNext();

  // Loads the record named by the identity. After a failure the storage and its old bytes stay,
  // and the object counts as unloaded.
  bool LoadDataBlock();
  // Copies the version word, the identity and the bytes of `source` (an object of this class).
  void CloneFrom(__FCBaseData* source);
  __FCBaseData* CreateClone();
  void ClearData();

  // True when the last LoadFirst/LoadNext failed because the host holds no further record of
  // this kind; false when it failed on a record the host named but did not deliver (or has not
  // failed at all).
  bool ReachedEndOfRecords() const { return _reachedend; }

  void* GetDataBlock() const { return _datablock; }
  std::int32_t GetLoadedSize() const { return _loadedsize; }
  std::uint32_t GetVersion() const { return _version; }
  const EDataID& GetDataID() const { return _dataid; }
  bool IsLoaded() const { return _loadedsize > 0; }

 protected:
  // The load itself, into the storage already behind `_datablock`: the host is offered
  // `capacity` bytes and never believed beyond them.
  bool _LoadInto(std::int32_t capacity);
  // Dynamic-size classes obtain their block here (a negative size counts as 0).
  void* _AllocateBlock(std::int32_t size);
  // The bytes of the block that hold delivered record data: a field is read or written only
  // inside them.
  std::int32_t _HeldBytes() const;
  // The bytes the storage behind `_datablock` can take.
  std::int32_t _StorageCapacity();
  // Whether `size` bytes (at least one) can be written: only bytes the host delivered are
  // written back, never stale or uninitialised storage.
  bool _CanWrite(std::int32_t size);
  // Writes the DebugDump lines common to every data object.
  void _DumpStorage();

  void* _datablock = nullptr;
  std::int32_t _loadedsize = 0;
  std::uint32_t _version;
  EDataID _dataid;
  // How many bytes the storage behind `_datablock` holds (the heap block of a dynamic-size
  // object, the embedded record of a fixed-size one); 0 without storage.
  std::int32_t _blocksize = 0;
  bool _reachedend = false;
};

// A fixed-size record embedded in the object. `Base` is the addressing class; the record's bytes
// start zeroed, so an object that was never loaded holds no stray memory.
template <class Base, std::int32_t kSize>
class __FCFixedSizeData : public Base {
  static_assert(kSize > 0 && kSize <= Base::kMaxFixedSize, "record too large for its family");

 public:
  explicit __FCFixedSizeData(std::uint32_t version) : Base(version) {}

  std::int32_t DataSize() override { return kSize; }
  void* Allocate() override {
    this->_blocksize = kSize;
    return _record;
  }
  // Copies the whole embedded record. An unloaded source counts as a whole record; a source the
  // host delivered short stays short, so the clone's accessors and saves keep inside the bytes
  // that were delivered.
  void CloneMemoryFrom(__FCBaseData* source) override {
    auto* same = dynamic_cast<__FCFixedSizeData*>(source);
    if (!same) return;
    std::memcpy(_record, same->_record, kSize);
    this->_datablock = _record;
    this->_blocksize = kSize;
    const std::int32_t delivered = same->_loadedsize;
    this->_loadedsize = delivered > 0 && delivered < kSize ? delivered : kSize;
  }

 protected:
  unsigned char _record[kSize] = {};
};

// Records addressed by a single 16-bit number, numbered from 0.
class __FCGlobals : public __FCBaseData {
 public:
  using __FCBaseData::__FCBaseData;
  const char* ClassName() override { return "__FCGlobals"; }
  bool LoadFirst() override { return Load(0); }
  bool Load(short number);
};

// Records addressed by an item number (cmper) and an incident number (inci).
class __FCOther : public __FCBaseData {
 public:
  using __FCBaseData::__FCBaseData;
  const char* ClassName() override { return "__FCOther"; }
};

// Records addressed by item number alone, incident always 0; item numbers start at 1.
class __FCNoInciOther : public __FCOther {
 public:
  using __FCOther::__FCOther;
  const char* ClassName() override { return "__FCNoInciOther"; }
  void DebugDump() override;
  // Loads item 1; when the host has no item 1, the first record it holds. Reaching no record at
  // all sets ReachedEndOfRecords().
  bool LoadFirst() override;
  virtual bool Load(unsigned short cmper);
  // Saves the loaded bytes under another item number; the identity changes only when the object
  // holds loaded bytes.
  virtual bool SaveAs(unsigned short cmper);
  // Creates a new record; the host's new item number is then read with GetItemNo(). On failure
  // the identity is restored.
  virtual bool SaveNew();
  virtual unsigned short GetItemNo() { return _dataid.other.cmper; }

  static constexpr unsigned short kNewItemNumber = 0xFFFF;

 protected:
  void _SetItem(unsigned short cmper) {
    _dataid.other.cmper = cmper;
    _dataid.other.inci = 0;
  }
  void _DumpItem();
};

// Little-endian field access inside a record's bytes, bounded by the bytes the record holds.
namespace record_field {

inline bool Fits(std::int32_t held, std::int32_t offset, std::int32_t width) {
  return offset >= 0 && width >= 0 && held >= width && offset <= held - width;
}

// The field of type T at `offset` when it lies inside the `held` bytes a record holds; 0 when it
// does not (a record never loaded, or delivered too short to reach it).
template <typename T>
T ReadHeld(const unsigned char* bytes, std::int32_t held, std::int32_t offset) {
  if (!Fits(held, offset, static_cast<std::int32_t>(sizeof(T)))) return T{};
  return vaz::ReadField<T>(bytes, static_cast<std::size_t>(offset));
}

inline std::int16_t ReadInt16(const unsigned char* bytes, std::int32_t offset) {
  return static_cast<std::int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

inline void WriteInt16(unsigned char* bytes, std::int32_t offset, std::int16_t value) {
  const auto word = static_cast<std::uint16_t>(value);
  bytes[offset] = static_cast<unsigned char>(word & 0xFF);
  bytes[offset + 1] = static_cast<unsigned char>(word >> 8);
}

}  // namespace record_field
