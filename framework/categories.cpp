#include "framework/categories.h"

#include <algorithm>
#include <cstring>

namespace {

// The length of a text that may fill `limit` bytes without a terminating NUL.
std::int32_t BoundedLength(const unsigned char* text, std::int32_t limit) {
  if (limit <= 0) return 0;
  const void* nul = std::memchr(text, 0, static_cast<std::size_t>(limit));
  return nul ? static_cast<std::int32_t>(static_cast<const unsigned char*>(nul) - text) : limit;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCCategoryDef

FCCategoryDef::FCCategoryDef(std::uint32_t version) : __FCFixedSizeData(version) {
  std::memset(_record + kClearedWordsOffset, 0, kClearedWordsSize);
}

void FCCategoryDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("Category ID: ", GetID());
  DebugOutBool("User created: ", IsUserCreated());
  DebugOutString("Name: ", GetName().c_str());
}

short FCCategoryDef::GetID() const {
  if (!record_field::Fits(_HeldBytes(), kCategoryIdOffset, 2)) return 0;
  return record_field::ReadInt16(_record, kCategoryIdOffset);
}

void FCCategoryDef::SetID(short id) {
  if (!record_field::Fits(_HeldBytes(), kCategoryIdOffset, 2)) return;
  record_field::WriteInt16(_record, kCategoryIdOffset, id);
}

std::int32_t FCCategoryDef::_NameBytes() const {
  return std::min(std::max(_HeldBytes() - kNameOffset, std::int32_t{0}), kNameSize);
}

std::string FCCategoryDef::GetName() const {
  const unsigned char* name = _record + kNameOffset;
  return std::string(reinterpret_cast<const char*>(name),
                     static_cast<std::size_t>(BoundedLength(name, _NameBytes())));
}

bool FCCategoryDef::IsUserCreated() const {
  if (!record_field::Fits(_HeldBytes(), kFlagsOffset, 1)) return false;
  return (_record[kFlagsOffset] & kUserCreatedBit) != 0;
}

// As strcmp on unsigned bytes; the end of a name's bytes counts as its terminator.
int FCCategoryDef::CompareName(const FCCategoryDef& other) const {
  const std::int32_t mine_length = BoundedLength(_record + kNameOffset, _NameBytes());
  const std::int32_t theirs_length = BoundedLength(other._record + kNameOffset, other._NameBytes());
  const std::int32_t common = std::min(mine_length, theirs_length);
  const int order = std::memcmp(_record + kNameOffset, other._record + kNameOffset,
                                static_cast<std::size_t>(common));
  if (order != 0) return order < 0 ? -1 : 1;
  if (mine_length == theirs_length) return 0;
  return mine_length < theirs_length ? -1 : 1;
}

void FCCategoryDef::CopyRecordFrom(const FCCategoryDef& source) {
  if (&source == this) return;
  const std::int32_t bytes = std::min(std::max(source._loadedsize, std::int32_t{0}), kRecordSize);
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
std::int32_t FCTextExpressionDef::DataSize() {
  std::int32_t size = 0;
  if (FX_LoadEData(Tag(), &_dataid, nullptr, &size, kScorixApiVersion) == 0) return 0;
  return std::max(size, std::int32_t{0});
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
  const std::int32_t held = _HeldBytes();
  if (held <= kDescriptionOffset) return std::string();
  const unsigned char* text = static_cast<const unsigned char*>(_datablock) + kDescriptionOffset;
  const std::int32_t length = BoundedLength(text, held - kDescriptionOffset);
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

// ---------------------------------------------------------------------------------------------
// FCShapeExpressionDef

void FCShapeExpressionDef::DebugDump() {
  __FCNoInciOther::DebugDump();
  DebugOutDigit("Category ID: ", GetCategoryByte());
}
