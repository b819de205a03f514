// The music of a staff as the simulated host lends it: entry records (one rhythmic event each,
// with up to twelve note records inside), and the frame block that carries the entries of one
// staff, measure and layer. The offsets are the host's own, kept apart from the plug-in's copy,
// as for the records of score_records.h, so a wrong offset on either side shows up in a test.
//
// Everything here reads and writes little-endian fields at byte offsets, never through a
// pointer to a wider type: the host lends frames and entry arrays at any address, odd ones too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostsim/record_store.h"

namespace hostsim {

// Entry record: 146 bytes, back to back in a frame's entry array.
namespace entry_record {
constexpr std::size_t kSize = 146;
constexpr std::size_t kEntryNumber = 0;  // signed 32-bit: the key of the entry's detail records
constexpr std::size_t kDuration = 4;     // signed 16-bit
constexpr std::size_t kFlags = 8;        // unsigned 32-bit, bits below
constexpr std::size_t kNoteCount = 14;   // signed 16-bit: note slots in use, 0 to 12
constexpr std::size_t kNotes = 16;       // twelve note records
constexpr std::size_t kNoteSlots = 12;
constexpr std::size_t kPosition = 136;  // signed 32-bit: where in its measure the entry starts
constexpr std::size_t kClef = 144;      // signed 16-bit: the clef definition in force
// Bytes that nobody but the host interprets.
constexpr std::size_t kOpaqueRanges[][2] = {{6, 8}, {12, 14}, {140, 144}};

constexpr std::uint32_t kIsNote = 0x40000000;  // clear for a rest
// Set on a rest that the plug-in's frame cleaning gave a placeholder note record.
constexpr std::uint32_t kRestPlaceholder = 0x01000000;
}  // namespace entry_record

// Note record: 10 bytes, slot i of an entry at entry_record::kNotes + 10 * i.
namespace note_record {
constexpr std::size_t kSize = 10;
constexpr std::size_t kDisplacement = 0;  // signed 16-bit
constexpr std::size_t kRaiseLower = 2;    // signed 16-bit
constexpr std::size_t kNoteId = 4;        // signed 16-bit: unique within the entry, not 0
constexpr std::size_t kNoteFlags = 6;     // unsigned 32-bit
constexpr std::uint32_t kNewNote = 0x80000000;
// Bits 16-20 of the flags mirror the low 5 bits of the note ID once the frame is cleaned.
constexpr std::uint32_t kIdMirror = 0x001F0000;
constexpr int kIdMirrorShift = 16;
}  // namespace note_record

// The frame block the host lends for one staff, measure and layer. The plug-in relies on two
// fields; every other byte is the host's, and must come back as the host wrote it.
namespace frame_header {
constexpr std::size_t kSize = 32;
constexpr std::size_t kEntries = 14;  // 32-bit address of the entry array, unaligned
constexpr std::size_t kCount = 18;    // signed 16-bit: entries in the array
}  // namespace frame_header

// --- Little-endian fields at any address ---
std::uint16_t ReadU16(const std::uint8_t* at);
std::uint32_t ReadU32(const std::uint8_t* at);
inline std::int16_t ReadS16(const std::uint8_t* at) {
  return static_cast<std::int16_t>(ReadU16(at));
}
inline std::int32_t ReadS32(const std::uint8_t* at) {
  return static_cast<std::int32_t>(ReadU32(at));
}
void WriteU16(std::uint8_t* at, std::uint16_t value);
void WriteU32(std::uint8_t* at, std::uint32_t value);

// One note as the document names it.
struct NoteFields {
  std::int16_t displacement = 0;
  std::int16_t raise_lower = 0;
  std::int16_t note_id = 0;
  std::uint32_t note_flags = 0;
};

inline std::uint8_t* NoteSlot(std::uint8_t* entry, std::size_t slot) {
  return entry + entry_record::kNotes + note_record::kSize * slot;
}
inline const std::uint8_t* NoteSlot(const std::uint8_t* entry, std::size_t slot) {
  return entry + entry_record::kNotes + note_record::kSize * slot;
}
NoteFields ReadNote(const std::uint8_t* entry, std::size_t slot);
void WriteNote(std::uint8_t* entry, std::size_t slot, const NoteFields& note);

// The flag bits that mirror a note ID once cleaned.
inline std::uint32_t IdMirrorBits(std::int16_t note_id) {
  return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(note_id)) << 16) &
         note_record::kIdMirror;
}

// Whether an entry is as the plug-in's cleaning leaves it: with numnotes n from 1 to 12, the
// IDs of notes 0 to n-1 unique and not 0, bits 16-20 of each note's flags the low 5 bits of its
// ID, and note slots n to 11 all zero bytes. A rest the cleaning gave a placeholder (numnotes 1,
// note 0 all zero but its flags 0x80000000, the entry's placeholder bit set) passes with ID 0.
// An entry with numnotes 0 is not: the cleaning gives every such entry a note record. An entry
// whose numnotes is outside 0 to 12 is not the cleaning's to touch and always passes.
// Answers what is wrong (the first fault found), or nothing.
std::string WhyNotCleaned(const std::uint8_t* entry);

// The host's own copy of the plug-in's frame cleaning, used to tell a frame that was cleaned
// too soon (before a call that must see it as lent) from one the plug-in merely edited: each
// entry with numnotes 0 to 12 gets its IDs made unique and not 0 (earlier duplicates renumbered
// past the highest), the IDs mirrored into the flags, slots n to 11 zeroed, and a rest a
// placeholder note. Entries with other counts are left alone.
void CleanEntries(Bytes* entries);

// The entries of a record store's frame, one by one.
inline std::size_t EntryCount(const Bytes& entries) {
  return entries.size() / entry_record::kSize;
}

// "+3 (r/l 0) id 1; -2 (r/l 1) id 2", "none", or why the notes cannot be listed.
std::string DescribeNotes(const std::uint8_t* entry);

}  // namespace hostsim
