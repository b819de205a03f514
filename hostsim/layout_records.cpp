#include "hostsim/layout_records.h"

#include <algorithm>
#include <cstring>

#include "hostsim/score_records.h"

namespace hostsim {

std::optional<std::int16_t> FirstSystemOf(const Bytes& page) {
  const auto word = WordAt(page, page_record::kFirstSystem);
  if (!word) return std::nullopt;
  return static_cast<std::int16_t>(*word);
}

std::optional<ArticulationFields> ReadArticulation(const Bytes& record) {
  using namespace articulation_record;
  const auto placement = WordAt(record, kPlacement);
  if (!placement) return std::nullopt;
  ArticulationFields fields;
  fields.font = record[kFont];
  fields.no_font = (record[kFlags] & kNoFont) != 0;
  fields.automatic = (*placement & kAutomatic) != 0;
  fields.side_code = *placement & kSideCode;
  return fields;
}

KeyFields DecodeKeyWord(std::uint16_t word) {
  return KeyFields{static_cast<std::int8_t>(word & 0xFF), word >> 8};
}

std::uint16_t EncodeKeyWord(const KeyFields& key) {
  return static_cast<std::uint16_t>(((key.mode & 0xFF) << 8) | (key.count & 0xFF));
}

void WriteFontName(const std::string& name, std::uint8_t* array) {
  const std::size_t count = std::min(name.size() + 1, kFontNameCapacity);
  std::memcpy(array, name.c_str(), count);
}

}  // namespace hostsim
