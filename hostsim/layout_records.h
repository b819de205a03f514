// Pages, articulation definitions and key signatures as the simulated host reads and writes them,
// and the font names it answers with. The offsets are the host's own, kept apart from the
// plug-in's copy, as for the records of score_records.h.
//
// Every reader is bounded by the bytes a record actually holds: a field that a short record does
// not reach is read as nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

constexpr std::uint32_t kPageTag = 0x534F5047;          // 'S' 'O' 'P' 'G'
constexpr std::uint32_t kArticulationTag = 0x534F4152;  // 'S' 'O' 'A' 'R'
constexpr std::uint32_t kKeySignatureTag = 0x534F4B53;  // 'S' 'O' 'K' 'S'

// Page: 24 bytes; the identity is the page number (incident 0).
namespace page_record {
constexpr std::size_t kSize = 24;
constexpr std::size_t kFirstSystem = 8;  // signed 16-bit: the first staff system on the page
}  // namespace page_record

// Articulation definition: 32 bytes; the identity is the articulation's number.
namespace articulation_record {
constexpr std::size_t kSize = 32;
constexpr std::size_t kFont = 2;        // unsigned 8-bit: the main symbol's font number
constexpr std::size_t kFlags = 3;       // bits below; the others nobody interprets
constexpr std::size_t kPlacement = 4;   // 16-bit word, bits below; the others nobody interprets
constexpr std::uint8_t kNoFont = 0x02;  // the main symbol has no font
constexpr std::uint16_t kAutomatic = 0x0008;  // placed automatically
constexpr std::uint16_t kSideCode = 0x0007;   // the side code, 0 to 7
}  // namespace articulation_record

// Key signature: 8 bytes; the identity is the key signature's number. The key word: bits 0-7 a
// signed count (positive sharps, negative flats), bits 8-15 the mode.
namespace key_record {
constexpr std::size_t kSize = 8;
constexpr std::size_t kKeyWord = 0;
}  // namespace key_record

std::optional<std::int16_t> FirstSystemOf(const Bytes& page);

struct ArticulationFields {
  std::uint8_t font = 0;
  bool no_font = false;
  bool automatic = false;
  int side_code = 0;
};
// Nothing when the record does not reach the placement word.
std::optional<ArticulationFields> ReadArticulation(const Bytes& record);

struct KeyFields {
  int count = 0;  // -128 to 127
  int mode = 0;   // 0 to 255
};
KeyFields DecodeKeyWord(std::uint16_t word);
std::uint16_t EncodeKeyWord(const KeyFields& key);

// The size of the array FX_FontNumToName fills.
constexpr std::size_t kFontNameCapacity = 256;

// Copies a font name and its NUL into an array of kFontNameCapacity bytes, as FX_FontNumToName
// does: never past the array, so a name of 256 bytes or more arrives cut and unterminated.
void WriteFontName(const std::string& name, std::uint8_t* array);

}  // namespace hostsim
