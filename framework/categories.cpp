#include "framework/categories.h"

#include <algorithm>
#include <cstring>

namespace {

// The length of a text that may fill `limit` bytes without a terminating NUL.
long BoundedLength(const unsigned char* text, long limit) {
  if (limit <= 0) return 0;
  const void* nul = std::memchr(text, 0, static_cast<std::size_t>(limit));
  return nul ? static_cast<long>(static_cast<const unsigned char*>(nul) - text) : limit;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCCategoryDef

FCCategoryDef::FCCategoryDef(unsigned long version) : __FCFixedSizeData(version) {
  std::memset(_record + kClearedWordsOffset, 0, kClearedWordsSize);
}

void FCCategoryDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("Category ID: ", GetID());
  DebugOutBool("User created: ", IsUserCreated());
  DebugOutString("Name: ", GetName().c_str());
}

short FCCategoryDef::GetID() const {
  return record_field::ReadInt16(_record, kCategoryIdOffset);
}

void FCCategoryDef::SetID(short id) {
  record_field::WriteInt16(_record, kCategoryIdOffset, id);
}

std::string FCCategoryDef::GetName() const {
  const unsigned char* name = _record + kNameOffset;
  return std::string(reinterpret_cast<const char*>(name),
                     static_cast<std::size_t>(BoundedLength(name, kNameSize)));
}

bool FCCategoryDef::IsUserCreated() const {
  return (_record[kFlagsOffset] & kUserCreatedBit) != 0;
}

int FCCategoryDef::CompareName(const FCCategoryDef& other) const {
  const unsigned char* mine = _record + kNameOffset;
  const unsigned char* theirs = other._record + kNameOffset;
  for (long i = 0; i < kNameSize; ++i) {
    if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : 1;
    if (mine[i] == 0) return 0;
  }
  return 0;
}

void FCCategoryDef::CopyRecordFrom(const FCCategoryDef& source) {
  if (&source == this) return;
  const long bytes = std::min(std::max(source._loadedsize, 0L), kRecordSize);
  std::memcpy(_record, source._record, static_cast<std::size_t>(bytes));
}

// ---------------------------------------------------------------------------------------------
// FCTextExpressionDef

void FCTextExpressionDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutString("Description: ", GetDescription().c_str());
  DebugOutDigit("Category ID: ", GetCategoryByte());
}

// Asked with the API version word, not the object's: the size query is the framework's own.
long FCTextExpressionDef::DataSize() {
  long size = 0;
  if (FX_LoadEData(Tag(), &_dataid, nullptr, &size, kScorixApiVersion) == 0) return 0;
  return std::max(size, 0L);
}

bool FCTextExpressionDef::HasCategoryByte() const {
  return record_field::Fits(_HeldBytes(), kCategoryByteOffset, 1);
}

int FCTextExpressionDef::GetCategoryByte() const {
  if (!HasCategoryByte()) return -1;
  return static_cast<const unsigned char*>(_datablock)[kCategoryByteOffset];
}

bool FCTextExpressionDef::SetCategoryByte(unsigned char category) {
  if (!HasCategoryByte()) return false;
  static_cast<unsigned char*>(_datablock)[kCategoryByteOffset] = category;
  return true;
}

std::string FCTextExpressionDef::GetDescription() const {
  const long held = _HeldBytes();
  if (held <= kDescriptionOffset) return std::string();
  const unsigned char* text = static_cast<const unsigned char*>(_datablock) + kDescriptionOffset;
  const long length = BoundedLength(text, held - kDescriptionOffset);
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------------------------
// FCShapeExpressionDef

void FCShapeExpressionDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("Category ID: ", GetCategoryByte());
}
