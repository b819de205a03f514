// Category definitions and the text and shape expression definitions that name their category,
// with the collections that load every record of each kind.
//
// Callers reach the record fields only through the accessors below; every accessor stays inside
// the bytes the object actually holds, and every byte it does not interpret is carried through
// loads, clones and saves unchanged.
#pragma once

#include <string>

#include "framework/collections.h"
#include "framework/data.h"

// One category: its number, its name and whether the user made it. 104 bytes, embedded.
class FCCategoryDef : public __FCFixedSizeData<__FCNoInciOther, 104> {
 public:
  static constexpr std::uint32_t kTag = 0x534F4D43;  // 'SOMC'
  static constexpr std::int32_t kRecordSize = 104;
  static constexpr std::int32_t kCategoryIdOffset = 0;
  static constexpr std::int32_t kNameOffset = 2;
  static constexpr std::int32_t kNameSize = 66;
  // Three groups of three 16-bit words that a new object starts with at zero.
  static constexpr std::int32_t kClearedWordsOffset = 68;
  static constexpr std::int32_t kClearedWordsSize = 18;
  static constexpr std::int32_t kFlagsOffset = 102;
  static constexpr unsigned char kUserCreatedBit = 0x80;

  explicit FCCategoryDef(std::uint32_t version = kScorixApiVersion);

  const char* ClassName() override { return "FCCategoryDef"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FCCategoryDef(version); }

  // The category's number, the value expression definitions refer to.
  short GetID() const;
  void SetID(short id);
  // The name up to its NUL; a name that fills all 66 bytes without one is those 66 bytes.
  std::string GetName() const;
  bool IsUserCreated() const;
  // Compares the names as strcmp does (unsigned bytes, no locale), never past the 66 name bytes:
  // negative when this name sorts first, 0 when equal, positive when it sorts after.
  int CompareName(const FCCategoryDef& other) const;
  // Copies the source's loaded record bytes (at most the record size) over this record; the
  // identity and the loaded size of this object stay.
  void CopyRecordFrom(const FCCategoryDef& source);

 private:
  // How many bytes of the name field the host delivered (0 to 66).
  std::int32_t _NameBytes() const;
};

// A text expression definition: its category (one byte) and its description. The record's size
// is the host's, so the bytes live in a heap block sized by the host on every load.
class FCTextExpressionDef : public __FCNoInciOther {
 public:
  static constexpr std::uint32_t kTag = 0x534F4454;  // 'SODT'
  static constexpr std::int32_t kCategoryByteOffset = 26;
  static constexpr std::int32_t kDescriptionOffset = 34;

  explicit FCTextExpressionDef(std::uint32_t version = kScorixApiVersion)
      : __FCNoInciOther(version) {}
  ~FCTextExpressionDef() override { _ReleaseBlock(); }

  const char* ClassName() override { return "FCTextExpressionDef"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  // Asks the host for the stored record's size on every call; 0 when it cannot tell.
  std::int32_t DataSize() override;
  void* Allocate() override { return _AllocateBlock(DataSize()); }
  void Deallocate() override { _ReleaseBlock(); }
  bool IsDynamicSize() override { return true; }
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCTextExpressionDef(version);
  }

  // Whether the loaded record reaches its category byte (offset 26).
  bool HasCategoryByte() const;
  // The category number 0 to 255, or -1 when the record is too short to hold it.
  int GetCategoryByte() const;
  // Writes the category byte (never the byte after it); false, with nothing written, when the
  // record is too short.
  bool SetCategoryByte(unsigned char category);
  // The description from offset 34 up to its NUL or the end of the loaded bytes.
  std::string GetDescription() const;

 private:
  // Forgets the block as it releases it, so a Deallocate before destruction cannot release it
  // twice.
  void _ReleaseBlock() {
    delete[] static_cast<unsigned char*>(_datablock);
    _datablock = nullptr;
    _blocksize = 0;
  }
};

// A shape expression definition: its category byte. 34 bytes, embedded.
class FCShapeExpressionDef : public __FCFixedSizeData<__FCNoInciOther, 34> {
 public:
  static constexpr std::uint32_t kTag = 0x4F03444F;  // 'O', 3, 'D', 'O'
  static constexpr std::int32_t kRecordSize = 34;
  static constexpr std::int32_t kCategoryByteOffset = 26;

  explicit FCShapeExpressionDef(std::uint32_t version = kScorixApiVersion)
      : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCShapeExpressionDef"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCShapeExpressionDef(version);
  }

  // Whether the host delivered the category byte; a short record is never written there.
  bool HasCategoryByte() const { return record_field::Fits(_HeldBytes(), kCategoryByteOffset, 1); }
  int GetCategoryByte() const { return HasCategoryByte() ? _record[kCategoryByteOffset] : -1; }
  bool SetCategoryByte(unsigned char category) {
    if (!HasCategoryByte()) return false;
    _record[kCategoryByteOffset] = category;
    return true;
  }
};

class FCCategoryDefs : public __FCCollectionData {
 public:
  const char* ClassName() override { return "FCCategoryDefs"; }
  __FCBaseData* CreateElement(std::uint32_t version) override { return new FCCategoryDef(version); }
  // The element at `index` as a category definition, or null.
  FCCategoryDef* GetCategoryDefAt(int index) const {
    return dynamic_cast<FCCategoryDef*>(GetItemAt(index));
  }
};

class FCTextExpressionDefs : public __FCCollectionData {
 public:
  const char* ClassName() override { return "FCTextExpressionDefs"; }
  __FCBaseData* CreateElement(std::uint32_t version) override {
    return new FCTextExpressionDef(version);
  }
  FCTextExpressionDef* GetTextExpressionDefAt(int index) const {
    return dynamic_cast<FCTextExpressionDef*>(GetItemAt(index));
  }
};

class FCShapeExpressionDefs : public __FCCollectionData {
 public:
  const char* ClassName() override { return "FCShapeExpressionDefs"; }
  __FCBaseData* CreateElement(std::uint32_t version) override {
    return new FCShapeExpressionDef(version);
  }
  FCShapeExpressionDef* GetShapeExpressionDefAt(int index) const {
    return dynamic_cast<FCShapeExpressionDef*>(GetItemAt(index));
  }
};
