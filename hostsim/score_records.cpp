#include "hostsim/score_records.h"

#include <algorithm>
#include <cstdio>

namespace hostsim {

std::optional<std::uint16_t> ItemNumberOf(const Identity& id) {
  for (int word = 1; word < 4; ++word) {
    if (IdentityWord(id, word) != 0) return std::nullopt;
  }
  return IdentityWord(id, 0);
}

std::optional<std::int16_t> CategoryIdOf(const Bytes& record) {
  if (record.size() < category_record::kCategoryId + 2) return std::nullopt;
  const auto low = record[category_record::kCategoryId];
  const auto high = record[category_record::kCategoryId + 1];
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8)));
}

std::string CategoryNameOf(const Bytes& record) {
  using namespace category_record;
  if (record.size() <= kName) return std::string();
  const auto field_begin = record.begin() + kName;
  const auto field_end = record.begin() + std::min(record.size(), kName + kNameWidth);
  return std::string(field_begin, std::find(field_begin, field_end, 0));
}

bool IsUserCreated(const Bytes& record) {
  using namespace category_record;
  return record.size() > kFlags && (record[kFlags] & kUserCreated) != 0;
}

std::optional<std::uint8_t> ExpressionCategoryOf(const Bytes& record) {
  if (record.size() <= expression_record::kCategory) return std::nullopt;
  return record[expression_record::kCategory];
}

std::optional<std::string> ExpressionDescriptionOf(const Bytes& record) {
  if (record.size() <= expression_record::kDescription) return std::nullopt;
  const auto begin = record.begin() + expression_record::kDescription;
  const auto end = std::find(begin, record.end(), 0);
  if (end == record.end()) return std::nullopt;
  return std::string(begin, end);
}

std::optional<std::uint16_t> WordAt(const Bytes& record, std::size_t offset) {
  if (record.size() < 2 || offset > record.size() - 2) return std::nullopt;
  return static_cast<std::uint16_t>(record[offset] | (record[offset + 1] << 8));
}

bool PutWord(Bytes* record, std::size_t offset, std::uint16_t value) {
  if (record->size() < offset + 2) return false;
  (*record)[offset] = static_cast<std::uint8_t>(value & 0xFF);
  (*record)[offset + 1] = static_cast<std::uint8_t>(value >> 8);
  return true;
}

std::string Printable(const std::string& text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

}  // namespace hostsim
