#include "hostsim/entry_records.h"

#include <algorithm>
#include <cstring>

namespace hostsim {

namespace {

bool CountInRange(std::int16_t count) {
  return count >= 0 && count <= static_cast<std::int16_t>(entry_record::kNoteSlots);
}

bool IsPlaceholderRest(const std::uint8_t* entry) {
  if (ReadS16(entry + entry_record::kNoteCount) != 1) return false;
  if ((ReadU32(entry + entry_record::kFlags) & entry_record::kRestPlaceholder) == 0) return false;
  const NoteFields note = ReadNote(entry, 0);
  return note.displacement == 0 && note.raise_lower == 0 && note.note_id == 0 &&
         note.note_flags == note_record::kNewNote;
}

std::string Signed(int value) {
  return (value > 0 ? "+" : "") + std::to_string(value);
}

void CleanEntry(std::uint8_t* entry) {
  const std::int16_t count = ReadS16(entry + entry_record::kNoteCount);
  if (!CountInRange(count)) return;
  const auto n = static_cast<std::size_t>(count);
  int highest = 0;
  for (std::size_t j = 0; j < n; ++j) highest = std::max<int>(highest, ReadNote(entry, j).note_id);
  for (std::size_t j = 0; j < n; ++j) {
    const std::int16_t id = ReadNote(entry, j).note_id;
    bool renumber = id == 0;
    for (std::size_t k = 0; k < n && !renumber; ++k) {
      renumber = k != j && ReadNote(entry, k).note_id == id;
    }
    if (renumber) {
      highest = static_cast<std::int16_t>(highest + 1);
      WriteU16(NoteSlot(entry, j) + note_record::kNoteId, static_cast<std::uint16_t>(highest));
    }
  }
  for (std::size_t j = 0; j < n; ++j) {
    NoteFields note = ReadNote(entry, j);
    note.note_flags = (note.note_flags & ~note_record::kIdMirror) | IdMirrorBits(note.note_id);
    WriteNote(entry, j, note);
  }
  if (n < entry_record::kNoteSlots) {
    std::memset(NoteSlot(entry, n), 0, note_record::kSize * (entry_record::kNoteSlots - n));
  }
  if (n == 0) {
    WriteU32(entry + entry_record::kFlags,
             ReadU32(entry + entry_record::kFlags) | entry_record::kRestPlaceholder);
    WriteU16(entry + entry_record::kNoteCount, 1);
    WriteU32(NoteSlot(entry, 0) + note_record::kNoteFlags, note_record::kNewNote);
  }
}

}  // namespace

std::uint16_t ReadU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

void WriteU16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

NoteFields ReadNote(const std::uint8_t* entry, std::size_t slot) {
  const std::uint8_t* note = NoteSlot(entry, slot);
  NoteFields fields;
  fields.displacement = ReadS16(note + note_record::kDisplacement);
  fields.raise_lower = ReadS16(note + note_record::kRaiseLower);
  fields.note_id = ReadS16(note + note_record::kNoteId);
  fields.note_flags = ReadU32(note + note_record::kNoteFlags);
  return fields;
}

void WriteNote(std::uint8_t* entry, std::size_t slot, const NoteFields& fields) {
  std::uint8_t* note = NoteSlot(entry, slot);
  WriteU16(note + note_record::kDisplacement, static_cast<std::uint16_t>(fields.displacement));
  WriteU16(note + note_record::kRaiseLower, static_cast<std::uint16_t>(fields.raise_lower));
  WriteU16(note + note_record::kNoteId, static_cast<std::uint16_t>(fields.note_id));
  WriteU32(note + note_record::kNoteFlags, fields.note_flags);
}

std::string WhyNotCleaned(const std::uint8_t* entry) {
  const std::int16_t count = ReadS16(entry + entry_record::kNoteCount);
  if (!CountInRange(count)) return "";
  if (count == 0) return "no note record (the cleaning gives a rest a placeholder note)";
  const auto n = static_cast<std::size_t>(count);
  const bool placeholder = IsPlaceholderRest(entry);
  for (std::size_t j = 0; j < n; ++j) {
    const NoteFields note = ReadNote(entry, j);
    if (note.note_id == 0 && !placeholder) return "note " + std::to_string(j) + " has ID 0";
    for (std::size_t k = 0; k < j; ++k) {
      if (ReadNote(entry, k).note_id == note.note_id) {
        return "notes " + std::to_string(k) + " and " + std::to_string(j) + " share ID " +
               std::to_string(note.note_id);
      }
    }
    const std::uint32_t mirrored = (note.note_flags & note_record::kIdMirror) >> 16;
    const std::uint32_t wanted = IdMirrorBits(note.note_id) >> 16;
    if (mirrored != wanted) {
      return "note " + std::to_string(j) + " (ID " + std::to_string(note.note_id) + ") has " +
             std::to_string(mirrored) + " in bits 16-20 of its flags, not " +
             std::to_string(wanted);
    }
  }
  for (std::size_t slot = n; slot < entry_record::kNoteSlots; ++slot) {
    const std::uint8_t* bytes = NoteSlot(entry, slot);
    if (std::any_of(bytes, bytes + note_record::kSize, [](std::uint8_t b) { return b != 0; })) {
      return "note slot " + std::to_string(slot) + " (beyond the " + std::to_string(n) +
             (n == 1 ? " note" : " notes") + " in use) is not zero";
    }
  }
  return "";
}

void CleanEntries(Bytes* entries) {
  for (std::size_t i = 0; i < EntryCount(*entries); ++i) {
    CleanEntry(entries->data() + i * entry_record::kSize);
  }
}

std::string DescribeNotes(const std::uint8_t* entry) {
  const std::int16_t count = ReadS16(entry + entry_record::kNoteCount);
  if (!CountInRange(count)) {
    return "(numnotes " + std::to_string(count) + ": outside 0 to 12)";
  }
  if (count == 0) return "none";
  std::string text;
  for (std::size_t j = 0; j < static_cast<std::size_t>(count); ++j) {
    const NoteFields note = ReadNote(entry, j);
    if (!text.empty()) text += "; ";
    text += Signed(note.displacement) + " (r/l " + std::to_string(note.raise_lower) + ") id " +
            std::to_string(note.note_id);
  }
  return text;
}

}  // namespace hostsim
