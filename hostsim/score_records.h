// The three kinds of host record that describe how expressions are grouped, as the simulated host
// reads and writes them: category definitions, text expression definitions and shape expression
// definitions. The offsets are the host's own; hostsim keeps them apart from the plug-in's copy so
// that a wrong offset on either side shows up in a test instead of being shared.
//
// Every reader is bounded by the bytes a record actually holds: a short or unterminated record
// (which a faulty plug-in could save) is read as far as it goes and never past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

constexpr std::uint32_t kCategoryTag = 0x534F4D43;         // 'S' 'O' 'M' 'C'
constexpr std::uint32_t kTextExpressionTag = 0x534F4454;   // 'S' 'O' 'D' 'T'
constexpr std::uint32_t kShapeExpressionTag = 0x4F03444F;  // 'O' 0x03 'D' 'O'

// Category definition: 104 bytes.
namespace category_record {
constexpr std::size_t kSize = 104;
constexpr std::size_t kCategoryId = 0;  // signed 16-bit: the number expressions refer to
constexpr std::size_t kName = 2;        // NUL-terminated unless it fills the whole field
constexpr std::size_t kNameWidth = 66;
constexpr std::size_t kFlags = 102;
constexpr std::uint8_t kUserCreated = 0x80;
}  // namespace category_record

// Text and shape expression definitions share the category byte; the byte after it is the high
// byte of the same 16-bit word, which nobody interprets.
namespace expression_record {
constexpr std::size_t kCategory = 26;
constexpr std::size_t kDescription = 34;  // text expressions only: NUL-terminated
constexpr std::size_t kShapeSize = 34;
}  // namespace expression_record

// Item-numbered identity: the number in bytes 0-1, incident 0, bytes 4-7 zero. Answers the item
// number, or nothing when the identity has any other shape.
std::optional<std::uint16_t> ItemNumberOf(const Identity& id);

std::optional<std::int16_t> CategoryIdOf(const Bytes& record);
// The name up to its NUL or the end of its 66-byte field (or of the record, if shorter).
std::string CategoryNameOf(const Bytes& record);
bool IsUserCreated(const Bytes& record);

std::optional<std::uint8_t> ExpressionCategoryOf(const Bytes& record);
// The description from byte 34 up to its NUL; nothing when the record holds no terminated one.
std::optional<std::string> ExpressionDescriptionOf(const Bytes& record);

// Reads a 16-bit little-endian word; nothing when the record does not reach its second byte.
std::optional<std::uint16_t> WordAt(const Bytes& record, std::size_t offset);
// Writes a 16-bit little-endian word; false (and nothing written) when it would not fit.
bool PutWord(Bytes* record, std::size_t offset, std::uint16_t value);

// Text shown to a person: printable ASCII as is, everything else as \xNN.
std::string Printable(const std::string& text);

}  // namespace hostsim
