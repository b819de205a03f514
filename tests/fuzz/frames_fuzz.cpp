// Frames and their entry records: the cleaning every frame undergoes before it goes back to the
// host (CleanTGF), and the note-entry classes that read and edit entries in place (FCNoteEntry,
// FCNote), over entries of any content: note counts inside and outside 0 to 12, note IDs that
// are 0, repeated, negative or near 32767, any flags; frames whose entry count is negative, 0,
// small, or as large as a frame gets. Each input runs three parts.
//
// 1. A frame block and its entry array in memory whose addresses fit the frame's 32-bit field,
//    at any alignment, with bytes of a known pattern before the block and after the array, which
//    AddressSanitizer is also told are out of bounds. The frame is cleaned twice. Each entry
//    inside the frame's count whose note count is 0 to 12 must then pass the simulated host's
//    WhyNotCleaned (note IDs unique and not 0, bits 16-20 of each note's flags the mirror of its
//    ID, the slots beyond the count zero, a rest given one note record); must keep every other
//    byte, every note field but the ID and the mirror bits, and every ID that was already unique
//    and not 0; and, where no new ID can pass 32767, must be byte for byte what the simulated
//    host's own copy of the cleaning makes of it. Every other entry, the entries past the
//    frame's count, the frame block and the bytes around it are left as they were.
// 2. Entries each in a heap block of exactly one entry record (so AddressSanitizer stops any
//    read or write outside the record), walked and edited through FCNoteEntry and FCNote: the
//    notes the entry shows, the highest note, the displacement range, the unique new ID, the
//    flip and stem answers, all against plain references; AddNewNote, MarkDeleted and
//    _PackEXENTRYNotes, the field and flag setters, held to the exact record they must leave;
//    note counts changed under the entry.
// 3. Entries lent by the simulated host as a frame, edited the same way, saved, grown, shrunk and
//    reduced through the host's frame calls (each cleans the frame first) and given back: the
//    host's ledger, which checks every frame it is given on its own, must list no problem, every
//    frame must be freed, and the frame counter must be back where it started.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/entries.h"
#include "hostsim/entry_records.h"
#include "hostsim/low_memory.h"
#include "hostsim/scripted_desktop.h"
#include "hostsim/sim_host.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace entry_record = hostsim::entry_record;
namespace note_record = hostsim::note_record;
namespace frame_header = hostsim::frame_header;

constexpr std::size_t kEntrySize = entry_record::kSize;
constexpr int kSlots = static_cast<int>(entry_record::kNoteSlots);
constexpr std::int16_t kMostEntries = 32767;  // the most a frame holds

// Bits of an entry's flags besides the two the simulated host names.
constexpr std::uint32_t kStemUp = 0x00000001;
constexpr std::uint32_t kBeamBeat = 0x00000800;
constexpr std::uint32_t kSpecialAlts = 0x00001000;
constexpr std::uint32_t kArticulations = 0x00200000;
constexpr std::uint32_t kNoteDetails = 0x00400000;

// The script of the current input. FUZZ_EXPLAIN=1 prints what a replayed input does.
fuzz::ByteReader* script = nullptr;
bool explain = false;

// --- Entries of any content ----------------------------------------------------------------------

std::int16_t NoteCountOf(const std::uint8_t* entry) {
  return hostsim::ReadS16(entry + entry_record::kNoteCount);
}

std::uint32_t FlagsOf(const std::uint8_t* entry) {
  return hostsim::ReadU32(entry + entry_record::kFlags);
}

// Note slots an entry's count covers: 0 to 12.
int SlotsInUse(const std::uint8_t* entry) {
  return std::clamp<int>(NoteCountOf(entry), 0, kSlots);
}

std::string DescribeEntry(const std::uint8_t* entry) {
  return "entnum " + std::to_string(hostsim::ReadS32(entry + entry_record::kEntryNumber)) +
         ((FlagsOf(entry) & entry_record::kIsNote) ? ", note entry: " : ", rest: ") +
         hostsim::DescribeNotes(entry);
}

std::int16_t PickNoteCount() {
  switch (script->Below(16)) {
    case 0:
      return static_cast<std::int16_t>(-1 - static_cast<std::int16_t>(script->Below(100)));
    case 1:
      return static_cast<std::int16_t>(13 + script->Below(40));
    case 2:
      return static_cast<std::int16_t>(script->Word());
    case 3:
      return 12;
    default:
      return static_cast<std::int16_t>(script->Below(13));
  }
}

std::int16_t PickNoteId(const std::uint8_t* entry, int slot) {
  switch (script->Below(8)) {
    case 0:
      return 0;
    case 1:  // one an earlier note has
      return slot > 0
                 ? hostsim::ReadNote(entry, script->Below(static_cast<std::uint32_t>(slot))).note_id
                 : 1;
    case 2:
      return static_cast<std::int16_t>(INT16_MAX - static_cast<std::int16_t>(script->Below(14)));
    case 3:  // below 0, or where an ID counted past 32767 would wrap round to
      return script->Below(2) ? static_cast<std::int16_t>(-static_cast<int>(script->Below(40)))
                              : static_cast<std::int16_t>(INT16_MIN + script->Below(14));
    case 4:
      return static_cast<std::int16_t>(script->Word());
    default:
      return static_cast<std::int16_t>(1 + script->Below(6));
  }
}

// An entry record from the script. Bytes nobody sets are a pattern, not zero, so that a slot the
// cleaning must clear, or a byte it must keep, shows.
void FillEntry(std::uint8_t* entry, std::int32_t number) {
  const std::uint8_t seed = script->Byte();
  for (std::size_t i = 0; i < kEntrySize; ++i) {
    entry[i] = static_cast<std::uint8_t>(seed * 31u + i * 7u + 1u);
  }
  hostsim::WriteU32(entry + entry_record::kEntryNumber, static_cast<std::uint32_t>(number));
  const std::uint16_t duration =
      script->Below(4) == 0 ? script->Word() : static_cast<std::uint16_t>(256 * script->Below(9));
  hostsim::WriteU16(entry + entry_record::kDuration, duration);
  std::uint32_t flags = 0;
  if (script->Below(4) == 0) {
    flags = script->Dword();
  } else {
    const std::uint8_t bits = script->Byte();
    flags = (bits & 1 ? kStemUp : 0) | (bits & 2 ? kBeamBeat : 0) |
            (bits & 4 ? 0 : entry_record::kIsNote) |
            (bits & 8 ? entry_record::kRestPlaceholder : 0);
  }
  hostsim::WriteU32(entry + entry_record::kFlags, flags);
  hostsim::WriteU16(entry + entry_record::kNoteCount, static_cast<std::uint16_t>(PickNoteCount()));
  // The notes in use from the script, and now and then the slot after them.
  const int scripted = std::min(kSlots, SlotsInUse(entry) + static_cast<int>(script->Below(2)));
  for (int slot = 0; slot < scripted; ++slot) {
    hostsim::NoteFields note;
    note.displacement = script->Below(4) == 0
                            ? static_cast<std::int16_t>(script->Word())
                            : static_cast<std::int16_t>(static_cast<int>(script->Below(40)) - 20);
    note.raise_lower = static_cast<std::int16_t>(static_cast<int>(script->Below(5)) - 2);
    note.note_id = PickNoteId(entry, slot);
    note.note_flags = script->Below(2) == 0 ? script->Dword() : 0x80000000u | script->Byte();
    hostsim::WriteNote(entry, static_cast<std::size_t>(slot), note);
  }
}

// `count` entries into `array`: the first few from the script, the rest copies of them under
// numbers of their own (a large frame is about its size, the first entries about their content).
constexpr int kScriptedEntries = 6;

void WriteEntries(std::uint8_t* array, int count) {
  const int scripted = std::min(count, kScriptedEntries);
  for (int i = 0; i < scripted; ++i) FillEntry(array + i * kEntrySize, i + 1);
  for (int i = scripted; i < count; ++i) {
    std::uint8_t* entry = array + static_cast<std::size_t>(i) * kEntrySize;
    std::memcpy(entry, array + static_cast<std::size_t>(i % scripted) * kEntrySize, kEntrySize);
    hostsim::WriteU32(entry + entry_record::kEntryNumber, static_cast<std::uint32_t>(i + 1));
  }
}

Bytes MakeEntries(int count) {
  Bytes entries(static_cast<std::size_t>(count) * kEntrySize);
  WriteEntries(entries.data(), count);
  return entries;
}

// --- Cleaning a guarded frame --------------------------------------------------------------------

// Memory for the frame block and its array, below 2 GiB, taken once. Everything outside the
// bytes of the current frame is poisoned for AddressSanitizer.
class LowRegion {
 public:
  static constexpr std::size_t kGuard = 64;
  static constexpr std::size_t kBytes =
      16 + 2 * kGuard + frame_header::kSize + std::size_t{kMostEntries} * kEntrySize;

  LowRegion() {
    std::string error;
    base_ = static_cast<std::uint8_t*>(hostsim::AllocateLowMemory(kBytes, &error));
    if (!base_) {
      std::fprintf(stderr, "frames fuzz: no low memory: %s\n", error.c_str());
      std::abort();
    }
    ASAN_POISON_MEMORY_REGION(base_, kBytes);
  }
  std::uint8_t* base() const { return base_; }

 private:
  std::uint8_t* base_ = nullptr;
};

std::uint8_t GuardByte(std::size_t offset) {
  return static_cast<std::uint8_t>(0x5A ^ (offset * 13));
}

std::uint8_t HeaderByte(std::size_t offset) {
  return static_cast<std::uint8_t>(0xA7 + offset * 5);
}

// The entry count a frame's block may give for `held` entries in its array: all of them, fewer,
// none, or a negative number.
std::int16_t PickEntryCount(int held) {
  switch (script->Below(8)) {
    case 0:
      return 0;
    case 1:
      return script->Below(2) ? static_cast<std::int16_t>(-1 - static_cast<int>(script->Below(200)))
                              : static_cast<std::int16_t>(INT16_MIN + script->Below(4));
    case 2:
      return static_cast<std::int16_t>(script->Below(static_cast<std::uint32_t>(held) + 1));
    default:
      return static_cast<std::int16_t>(held);
  }
}

// Mostly a few entries; now and then none, hundreds, or as many as a frame holds (slow to clean
// and check, and about the count more than the content).
int PickHeldEntries() {
  switch (script->Below(64)) {
    case 0:
      return 0;
    case 1:
      return 100 + static_cast<int>(script->Below(256)) * 4;
    case 2:
      return kMostEntries;
    default:
      return 1 + static_cast<int>(script->Below(8));
  }
}

// Whether every ID the cleaning may give stays at or below 32767: it gives at most one per note,
// each above the highest in use.
bool IdsStayBelowTheTop(const std::uint8_t* entry) {
  const int notes = NoteCountOf(entry);
  std::int32_t highest = 0;
  for (int slot = 0; slot < notes; ++slot) {
    highest = std::max<std::int32_t>(highest, hostsim::ReadNote(entry, slot).note_id);
  }
  return highest + notes <= INT16_MAX;
}

bool UniqueAndNotZero(const std::uint8_t* entry, int notes, int slot) {
  const std::int16_t id = hostsim::ReadNote(entry, slot).note_id;
  if (id == 0) return false;
  for (int other = 0; other < notes; ++other) {
    if (other != slot && hostsim::ReadNote(entry, other).note_id == id) return false;
  }
  return true;
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t from, std::size_t to) {
  return std::memcmp(a + from, b + from, to - from) == 0;
}

// One entry, `before` and `after` one cleaning.
void CheckCleanedEntry(const std::uint8_t* before, const std::uint8_t* after) {
  const std::int16_t notes = NoteCountOf(before);
  if (notes < 0 || notes > kSlots) {
    FUZZ_CHECK(SameBytes(before, after, 0, kEntrySize),
               "an entry whose note count is outside 0 to 12 was touched");
    return;
  }
  const std::string why = hostsim::WhyNotCleaned(after);
  if (!why.empty()) std::fprintf(stderr, "entry not cleaned: %s\n", why.c_str());
  FUZZ_CHECK(why.empty(), "a cleaned entry is not clean");
  // The entry's own fields, the bytes nobody interprets, the position and the clef stay.
  FUZZ_CHECK(
      SameBytes(before, after, 0, entry_record::kFlags) &&
          SameBytes(before, after, entry_record::kFlags + 4, entry_record::kNoteCount) &&
          SameBytes(before, after, entry_record::kNotes + kSlots * note_record::kSize, kEntrySize),
      "the cleaning changed a byte outside the flags, the note count and the notes");
  if (notes == 0) {
    FUZZ_CHECK(FlagsOf(after) == (FlagsOf(before) | entry_record::kRestPlaceholder),
               "a rest's flags did not get the placeholder bit alone");
    FUZZ_CHECK(NoteCountOf(after) == 1, "a rest did not get one note record");
    const hostsim::NoteFields note = hostsim::ReadNote(after, 0);
    FUZZ_CHECK(note.displacement == 0 && note.raise_lower == 0 && note.note_id == 0 &&
                   note.note_flags == note_record::kNewNote,
               "a rest's note record is not the placeholder");
  } else {
    FUZZ_CHECK(FlagsOf(after) == FlagsOf(before) && NoteCountOf(after) == notes,
               "the cleaning changed a note entry's flags or note count");
    for (int slot = 0; slot < notes; ++slot) {
      const hostsim::NoteFields was = hostsim::ReadNote(before, slot);
      const hostsim::NoteFields now = hostsim::ReadNote(after, slot);
      FUZZ_CHECK(was.displacement == now.displacement && was.raise_lower == now.raise_lower &&
                     (was.note_flags & ~note_record::kIdMirror) ==
                         (now.note_flags & ~note_record::kIdMirror),
                 "the cleaning changed a note field other than its ID and the mirror bits");
      if (UniqueAndNotZero(before, notes, slot)) {
        FUZZ_CHECK(now.note_id == was.note_id, "a note ID that was unique and not 0 changed");
      }
    }
  }
  // Where no new ID can pass 32767, the host's own copy of the cleaning says what it makes.
  if (IdsStayBelowTheTop(before)) {
    Bytes expected(before, before + kEntrySize);
    hostsim::CleanEntries(&expected);
    FUZZ_CHECK(SameBytes(expected.data(), after, 0, kEntrySize),
               "the cleaning differs from the host's own copy of it");
  }
}

// The frame in `span` after a cleaning. `before` holds the bytes up to the end of its first
// entries as they were before this cleaning; `originals` the first entries as they were made.
void CheckCleaning(const Bytes& before, const Bytes& originals, const std::uint8_t* span,
                   std::size_t header_at, int held, std::int16_t count, bool with_array) {
  const std::size_t array_at = header_at + frame_header::kSize;
  FUZZ_CHECK(SameBytes(before.data(), span, 0, array_at),
             "the frame block or the bytes before it changed");
  const std::uint8_t* array_end = span + array_at + static_cast<std::size_t>(held) * kEntrySize;
  for (std::size_t i = 0; i < LowRegion::kGuard; ++i) {
    FUZZ_CHECK(array_end[i] == GuardByte(LowRegion::kGuard + i),
               "the bytes after the entry array changed");
  }
  const int scripted = std::min(held, kScriptedEntries);
  const int cleaned = with_array ? std::max<int>(count, 0) : 0;
  for (int i = 0; i < held; ++i) {
    const std::size_t at = array_at + static_cast<std::size_t>(i) * kEntrySize;
    const std::size_t first = static_cast<std::size_t>(i % kScriptedEntries) * kEntrySize;
    if (i < scripted && i < cleaned) {
      CheckCleanedEntry(before.data() + at, span + at);
    } else if (i < cleaned) {
      // A copy of one of the first entries under a number of its own comes out as that entry
      // did.
      FUZZ_CHECK(
          SameBytes(span + array_at + first, span + at, entry_record::kEntryNumber + 4, kEntrySize),
          "two entries alike but for their numbers were cleaned differently");
    } else {
      FUZZ_CHECK(SameBytes(originals.data() + first, span + at, entry_record::kEntryNumber + 4,
                           kEntrySize) &&
                     hostsim::ReadS32(span + at + entry_record::kEntryNumber) == i + 1,
                 "an entry outside the frame's count was touched");
    }
  }
}

void RunCleaning(const LowRegion& region) {
  const int held = PickHeldEntries();
  const std::int16_t count = PickEntryCount(held);
  const bool with_array = script->Below(16) != 0;

  // guard | frame block | entries | guard, from an address of any alignment. The region's pages
  // stay with the process, so even the largest frame costs no fresh memory.
  std::uint8_t* span = region.base() + script->Below(16);
  const std::size_t header_at = LowRegion::kGuard;
  const std::size_t array_at = header_at + frame_header::kSize;
  const std::size_t array_bytes = static_cast<std::size_t>(held) * kEntrySize;
  const std::size_t span_bytes = array_at + array_bytes + LowRegion::kGuard;
  ASAN_UNPOISON_MEMORY_REGION(span, span_bytes);
  for (std::size_t i = 0; i < LowRegion::kGuard; ++i) {
    span[i] = GuardByte(i);
    span[span_bytes - LowRegion::kGuard + i] = GuardByte(LowRegion::kGuard + i);
  }
  for (std::size_t i = 0; i < frame_header::kSize; ++i) span[header_at + i] = HeaderByte(i);
  WriteEntries(span + array_at, held);
  std::uint8_t* header = span + header_at;
  hostsim::WriteU32(
      header + frame_header::kEntries,
      with_array ? static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(span + array_at))
                 : 0);
  hostsim::WriteU16(header + frame_header::kCount, static_cast<std::uint16_t>(count));
  const std::size_t lead_bytes =
      array_at + static_cast<std::size_t>(std::min(held, kScriptedEntries)) * kEntrySize;
  const Bytes originals(span + array_at, span + lead_bytes);

  if (explain) {
    std::fprintf(stderr, "frame: %d entries, count %d, %s, at %zu past a 16-byte boundary\n", held,
                 count, with_array ? "with its array" : "without an array",
                 static_cast<std::size_t>(span - region.base()));
    for (int i = 0; i < std::min(held, kScriptedEntries); ++i) {
      std::fprintf(stderr, "  %s\n", DescribeEntry(originals.data() + i * kEntrySize).c_str());
    }
  }
  // Cleaned twice: the second time a clean frame, in which only a rest's placeholder note takes
  // an ID.
  for (int run = 0; run < 2; ++run) {
    const Bytes before(span, span + lead_bytes);
    ASAN_POISON_MEMORY_REGION(span, header_at);
    ASAN_POISON_MEMORY_REGION(span + array_at + array_bytes, LowRegion::kGuard);
    CleanTGF(reinterpret_cast<const EXTGF2005a*>(header), true);
    ASAN_UNPOISON_MEMORY_REGION(span, span_bytes);
    CheckCleaning(before, originals, span, header_at, held, count, with_array);
  }
  ASAN_POISON_MEMORY_REGION(span, span_bytes);
}

// --- Entries and notes ---------------------------------------------------------------------------

// The references, written plainly from the record's bytes.
constexpr std::int32_t kNoDisplacement = -10000;

std::int32_t ReferenceHighest(const std::uint8_t* entry, int notes) {
  std::int32_t highest = kNoDisplacement;
  for (int slot = 0; slot < notes; ++slot) {
    highest = std::max<std::int32_t>(highest, hostsim::ReadNote(entry, slot).displacement);
  }
  return highest == kNoDisplacement ? 0 : highest;
}

std::int16_t ReferenceRange(const std::uint8_t* entry, int notes) {
  std::int32_t highest = kNoDisplacement;
  std::int32_t lowest = -kNoDisplacement;
  for (int slot = 0; slot < notes; ++slot) {
    highest = std::max<std::int32_t>(highest, hostsim::ReadNote(entry, slot).displacement);
    lowest = std::min<std::int32_t>(lowest, hostsim::ReadNote(entry, slot).displacement);
  }
  return highest == kNoDisplacement ? 0 : static_cast<std::int16_t>(highest - lowest);
}

// The slot of the highest note, or -1.
int ReferenceHighestSlot(const std::uint8_t* entry, int notes) {
  int best = -1;
  std::int32_t best_displacement = kNoDisplacement;
  for (int slot = 0; slot < notes; ++slot) {
    const hostsim::NoteFields note = hostsim::ReadNote(entry, slot);
    if (note.displacement > best_displacement ||
        (best >= 0 && note.displacement == best_displacement &&
         note.raise_lower > hostsim::ReadNote(entry, best).raise_lower)) {
      best = slot;
      best_displacement = note.displacement;
    }
  }
  return best;
}

std::int16_t ReferenceUniqueId(const std::uint8_t* entry, int notes) {
  for (std::int32_t candidate = 1;; ++candidate) {
    bool used = false;
    for (int slot = 0; slot < notes; ++slot) {
      used |= hostsim::ReadNote(entry, slot).note_id == candidate;
    }
    if (!used) return static_cast<std::int16_t>(candidate);
  }
}

// The entries of one layer, each a view of its own record.
struct Layer {
  std::vector<std::uint8_t*> records;
  std::vector<std::unique_ptr<FCNoteEntry>> entries;
  // Whether each entry's notes were built from its record's present note count.
  std::vector<bool> in_step;

  void Build(std::int32_t measure, std::int32_t staff) {
    entries.clear();
    for (std::uint8_t* record : records) {
      entries.push_back(std::make_unique<FCNoteEntry>(record, nullptr, measure, staff));
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
      entries[i]->_SetPrevious(i > 0 ? entries[i - 1].get() : nullptr);
      entries[i]->_SetNext(i + 1 < entries.size() ? entries[i + 1].get() : nullptr);
    }
    in_step.assign(entries.size(), true);
  }
};

bool ReferenceFlippable(const Layer& layer, std::size_t index) {
  const std::uint8_t* entry = layer.records[index];
  if (!(FlagsOf(entry) & entry_record::kIsNote)) return false;
  if (FlagsOf(entry) & kBeamBeat) return true;
  if (index == 0) return true;
  if (index + 1 < layer.records.size()) return false;
  const std::int16_t duration = hostsim::ReadS16(entry + entry_record::kDuration);
  const std::int16_t previous =
      hostsim::ReadS16(layer.records[index - 1] + entry_record::kDuration);
  return duration != previous && previous >= 1024;
}

bool ReferenceStemUp(const Layer& layer, std::size_t index) {
  const auto stem = [&](std::size_t i) { return (FlagsOf(layer.records[i]) & kStemUp) != 0; };
  if (ReferenceFlippable(layer, index)) return stem(index);
  for (std::size_t i = index; i-- > 0;) {
    if (FlagsOf(layer.records[i]) & kBeamBeat) return stem(i);
  }
  return stem(index);
}

// Everything the entry and its notes answer, against the record's bytes; reading changes nothing.
void CheckReads(const Layer& layer, std::size_t index) {
  FCNoteEntry& entry = *layer.entries[index];
  const std::uint8_t* record = layer.records[index];
  const Bytes before(record, record + kEntrySize);
  const int count = entry.GetCount();
  FUZZ_CHECK(count >= 0 && count <= kSlots, "an entry shows more than twelve notes");
  if (layer.in_step[index]) {
    FUZZ_CHECK(count == SlotsInUse(record), "an entry's notes are not its record's note count");
  }
  for (int i = 0; i < count; ++i) {
    FCNote* note = entry.GetNoteAt(i);
    FUZZ_CHECK(note && note->GetNoteIndex() == i && note->GetEntry() == &entry,
               "a note is not the view of its slot");
    const hostsim::NoteFields fields = hostsim::ReadNote(record, static_cast<std::size_t>(i));
    FUZZ_CHECK(note->GetDisplacement() == fields.displacement &&
                   note->GetRaiseLower() == fields.raise_lower &&
                   note->GetNoteID() == fields.note_id && note->GetNoteFlags() == fields.note_flags,
               "a note reads other bytes than its slot's");
    FUZZ_CHECK(note->_GetEntryNumber() == hostsim::ReadS32(record + entry_record::kEntryNumber),
               "a note's entry number is not its entry's");
  }
  FUZZ_CHECK(!entry.GetNoteAt(count) && !entry.GetNoteAt(-1), "a note outside the entry");
  FUZZ_CHECK(entry.GetEntryNumber() == hostsim::ReadS32(record + entry_record::kEntryNumber) &&
                 entry.GetDuration() == hostsim::ReadS16(record + entry_record::kDuration) &&
                 entry.GetFlags() == FlagsOf(record) &&
                 entry.GetNumNotes() == NoteCountOf(record) &&
                 entry.GetPosition() == hostsim::ReadS32(record + entry_record::kPosition) &&
                 entry.GetClef() == hostsim::ReadS16(record + entry_record::kClef),
             "an entry field reads other bytes than its own");
  FUZZ_CHECK(entry.CalcHighestDisplacement() == ReferenceHighest(record, count),
             "the highest displacement is wrong");
  FUZZ_CHECK(entry.CalcDisplacementRange() == ReferenceRange(record, count),
             "the displacement range is wrong");
  const int highest = ReferenceHighestSlot(record, count);
  FUZZ_CHECK(entry.FindHighestNote() == (highest < 0 ? nullptr : entry.GetNoteAt(highest)),
             "the highest note is the wrong one");
  FUZZ_CHECK(entry._FindUniqueNoteID() == ReferenceUniqueId(record, count),
             "the new note ID is not the smallest unused one");
  FUZZ_CHECK(entry.IsFlippable() == ReferenceFlippable(layer, index), "IsFlippable is wrong");
  FUZZ_CHECK(entry.IsStemUp() == ReferenceStemUp(layer, index), "IsStemUp is wrong");
  FUZZ_CHECK(SameBytes(before.data(), record, 0, kEntrySize), "reading an entry changed it");
}

void CheckOnly(const Bytes& before, const std::uint8_t* record, std::size_t from, std::size_t to,
               const char* what) {
  FUZZ_CHECK(
      SameBytes(before.data(), record, 0, from) && SameBytes(before.data(), record, to, kEntrySize),
      what);
}

void RunAddNewNote(Layer* layer, std::size_t index) {
  FCNoteEntry& entry = *layer->entries[index];
  std::uint8_t* record = layer->records[index];
  const Bytes before(record, record + kEntrySize);
  const int slot = entry.GetCount();
  const bool refused =
      slot >= kSlots || NoteCountOf(record) != slot || !(FlagsOf(record) & entry_record::kIsNote);
  const std::int16_t id = ReferenceUniqueId(record, slot);
  FCNote* note = entry.AddNewNote();
  if (refused) {
    FUZZ_CHECK(!note && entry.GetCount() == slot && SameBytes(before.data(), record, 0, kEntrySize),
               "a note was added where none may be");
    return;
  }
  FUZZ_CHECK(note && note->GetNoteIndex() == slot && entry.GetCount() == slot + 1 &&
                 entry.GetNoteAt(slot) == note,
             "the new note is not the next slot's");
  Bytes expected = before;
  hostsim::WriteNote(expected.data(), static_cast<std::size_t>(slot),
                     hostsim::NoteFields{0, 0, id, note_record::kNewNote});
  hostsim::WriteU16(expected.data() + entry_record::kNoteCount,
                    static_cast<std::uint16_t>(slot + 1));
  FUZZ_CHECK(SameBytes(expected.data(), record, 0, kEntrySize),
             "adding a note wrote other bytes than its slot and the note count");
}

void RunPack(Layer* layer, std::size_t index) {
  FCNoteEntry& entry = *layer->entries[index];
  std::uint8_t* record = layer->records[index];
  const int count = entry.GetCount();
  const std::uint32_t marks = script->Below(4) == 0 ? 0 : script->Word();
  std::vector<FCNote*> notes;
  Bytes kept;
  for (int i = 0; i < count; ++i) {
    FCNote* note = entry.GetNoteAt(i);
    note->MarkDeleted((marks >> i) & 1);
    notes.push_back(note);
    if (!note->IsMarkedDeleted()) {
      const std::uint8_t* slot = hostsim::NoteSlot(record, static_cast<std::size_t>(i));
      kept.insert(kept.end(), slot, slot + note_record::kSize);
    }
  }
  const Bytes before(record, record + kEntrySize);
  const int survivors = static_cast<int>(kept.size() / note_record::kSize);
  entry._PackEXENTRYNotes();
  Bytes expected = before;
  if (survivors == count) {
    FUZZ_CHECK(SameBytes(expected.data(), record, 0, kEntrySize),
               "packing with no note marked changed the record");
    for (int i = 0; i < count; ++i) {
      FUZZ_CHECK(entry.GetNoteAt(i) == notes[static_cast<std::size_t>(i)],
                 "packing with no note marked replaced the notes");
    }
    return;
  }
  if (survivors == 0) {
    // The entry becomes a rest; its note slots keep their bytes.
    hostsim::WriteU32(expected.data() + entry_record::kFlags,
                      FlagsOf(before.data()) & ~entry_record::kIsNote);
  } else {
    std::copy(kept.begin(), kept.end(), expected.begin() + entry_record::kNotes);
  }
  hostsim::WriteU16(expected.data() + entry_record::kNoteCount,
                    static_cast<std::uint16_t>(survivors));
  FUZZ_CHECK(SameBytes(expected.data(), record, 0, kEntrySize),
             "packing did not leave the survivors in order, or touched other bytes");
  layer->in_step[index] = true;
}

void RunSetField(Layer* layer, std::size_t index) {
  FCNoteEntry& entry = *layer->entries[index];
  if (entry.GetCount() == 0) return;
  std::uint8_t* record = layer->records[index];
  const Bytes before(record, record + kEntrySize);
  FCNote* note = entry.GetNoteAt(
      static_cast<int>(script->Below(static_cast<std::uint32_t>(entry.GetCount()))));
  const std::size_t slot =
      entry_record::kNotes + note_record::kSize * static_cast<std::size_t>(note->GetNoteIndex());
  switch (script->Below(4)) {
    case 0:
      note->SetDisplacement(static_cast<short>(script->Word()));
      CheckOnly(before, record, slot, slot + 2, "a displacement wrote outside its field");
      break;
    case 1:
      note->SetRaiseLower(static_cast<short>(script->Word()));
      CheckOnly(before, record, slot + 2, slot + 4, "a raise/lower wrote outside its field");
      break;
    case 2:
      note->SetNoteID(PickNoteId(record, note->GetNoteIndex()));
      CheckOnly(before, record, slot + 4, slot + 6, "a note ID wrote outside its field");
      break;
    default:
      note->SetNoteFlags(script->Dword());
      CheckOnly(before, record, slot + 6, slot + 10, "note flags wrote outside their field");
      break;
  }
}

void RunSetEntryFlag(Layer* layer, std::size_t index) {
  FCNoteEntry& entry = *layer->entries[index];
  std::uint8_t* record = layer->records[index];
  const Bytes before(record, record + kEntrySize);
  const bool state = script->Below(2) == 0;
  std::uint32_t mask = 0;
  FCNote* note = entry.GetCount() > 0 ? entry.GetNoteAt(0) : nullptr;
  switch (script->Below(4)) {
    case 0:
      if (note) note->_SetNoteDetailEntryFlag(state);
      mask = note ? kNoteDetails : 0;
      break;
    case 1:
      if (note) note->_SetSpecialAltsEntryFlag(state);
      mask = note ? kSpecialAlts : 0;
      break;
    case 2:
      if (note) note->_SetArticulationEntryFlag(state);
      mask = note ? kArticulations : 0;
      break;
    default:
      // Any flags at all: a note entry may become a rest under its notes, or the reverse.
      mask = script->Dword();
      entry.SetFlags(FlagsOf(record) ^ mask);
      FUZZ_CHECK(FlagsOf(record) == (FlagsOf(before.data()) ^ mask), "SetFlags wrote other bits");
      CheckOnly(before, record, entry_record::kFlags, entry_record::kFlags + 4,
                "SetFlags wrote outside the flags");
      return;
  }
  const std::uint32_t was = FlagsOf(before.data());
  FUZZ_CHECK(FlagsOf(record) == (state ? was | mask : was & ~mask),
             "a flag setter wrote other bits");
  CheckOnly(before, record, entry_record::kFlags, entry_record::kFlags + 4,
            "a flag setter wrote outside the flags");
}

// The record's note count changes under the entry, as the host's bytes may; the notes are
// rebuilt from it, or not yet.
void RunChangeNoteCount(Layer* layer, std::size_t index) {
  hostsim::WriteU16(layer->records[index] + entry_record::kNoteCount,
                    static_cast<std::uint16_t>(PickNoteCount()));
  if (script->Below(2) == 0) {
    layer->entries[index]->_UpdateNoteCollection();
    layer->in_step[index] = true;
  } else {
    layer->in_step[index] = false;
  }
}

void RunNoteReads(Layer* layer, std::size_t index) {
  FCNoteEntry& entry = *layer->entries[index];
  const Bytes before(layer->records[index], layer->records[index] + kEntrySize);
  for (int i = 0; i < entry.GetCount(); ++i) {
    // No clef definition and no staff settings: the displacement as stored.
    FUZZ_CHECK(
        entry.GetNoteAt(i)->CalcActualDisplacement() == entry.GetNoteAt(i)->GetDisplacement(),
        "the actual displacement of a note without clef or transposition moved");
  }
  entry.DebugDump();
  FUZZ_CHECK(SameBytes(before.data(), layer->records[index], 0, kEntrySize),
             "reading the notes or dumping the entry changed it");
}

// One edit or read of one entry of the layer. Answers whether the record may have changed.
bool RunEntryStep(Layer* layer) {
  if (layer->entries.empty()) return false;
  const std::size_t index = script->Below(static_cast<std::uint32_t>(layer->entries.size()));
  const std::uint32_t step = script->Below(9);
  if (explain) {
    static const char* const kSteps[] = {"add a note",
                                         "pack",
                                         "pack",
                                         "set a note field",
                                         "set entry flags",
                                         "change the note count",
                                         "read the notes",
                                         "read",
                                         "read"};
    std::fprintf(stderr, "  %s: entry %zu (%s)\n", kSteps[step], index,
                 DescribeEntry(layer->records[index]).c_str());
  }
  switch (step) {
    case 0:
      RunAddNewNote(layer, index);
      return true;
    case 1:
    case 2:
      RunPack(layer, index);
      return true;
    case 3:
      RunSetField(layer, index);
      return true;
    case 4:
      RunSetEntryFlag(layer, index);
      return true;
    case 5:
      RunChangeNoteCount(layer, index);
      return true;
    case 6:
      RunNoteReads(layer, index);
      return false;
    default:
      CheckReads(*layer, index);
      return false;
  }
}

void RunEntries() {
  const int count = 1 + static_cast<int>(script->Below(5));
  std::vector<std::unique_ptr<std::uint8_t[]>> blocks;
  Layer layer;
  for (int i = 0; i < count; ++i) {
    blocks.emplace_back(new std::uint8_t[kEntrySize]);
    FillEntry(blocks.back().get(), i + 1);
    layer.records.push_back(blocks.back().get());
  }
  const auto measure = static_cast<std::int32_t>(script->Dword());
  const auto staff = static_cast<std::int32_t>(script->Dword());
  layer.Build(measure, staff);
  if (explain) std::fprintf(stderr, "entries: %d in blocks of their own\n", count);
  for (std::size_t i = 0; i < layer.entries.size(); ++i) {
    FUZZ_CHECK(layer.entries[i]->GetMeasure() == static_cast<std::int16_t>(measure & 0xFFFF) &&
                   layer.entries[i]->GetStaff() == static_cast<std::int16_t>(staff & 0xFFFF),
               "an entry's measure or staff is not the low 16 bits of its cell's");
    CheckReads(layer, i);
  }
  const int steps = 1 + static_cast<int>(script->Below(24));
  for (int step = 0; step < steps && !script->Empty(); ++step) RunEntryStep(&layer);
  for (std::size_t i = 0; i < layer.entries.size(); ++i) CheckReads(layer, i);
}

// --- Frames lent by the simulated host -----------------------------------------------------------

const hostsim::FrameKey kLentKey{1, 1, 0};

std::vector<std::uint8_t*> EntriesOf(EXTGF2005a* frame) {
  std::vector<std::uint8_t*> records;
  const auto* header = reinterpret_cast<const std::uint8_t*>(frame);
  const std::int16_t count = hostsim::ReadS16(header + frame_header::kCount);
  auto* array = reinterpret_cast<std::uint8_t*>(
      static_cast<std::uintptr_t>(hostsim::ReadU32(header + frame_header::kEntries)));
  for (std::int16_t i = 0; array && i < count; ++i) records.push_back(array + i * kEntrySize);
  return records;
}

void RunLentFrame() {
  auto& host = hostsim::SimHost::Instance();
  const int stored = static_cast<int>(script->Below(8));
  host.Records().PutFrame(kLentKey, MakeEntries(stored));
  host.SetOddFrameAddresses(script->Below(2) == 0);
  const std::int32_t counter = LoadedTGFCounter;
  int refused = 0;
  if (script->Below(4) == 0) {
    // A staff the document does not have: no frame, and nothing to free.
    FUZZ_CHECK(!FX_LoadTGF(0, 2, 1, 0, 1, kScorixApiVersion), "a frame the host does not have");
    ++refused;
  }
  if (explain) std::fprintf(stderr, "lent frame: %d entries\n", stored);
  EXTGF2005a* frame =
      FX_LoadTGF(0, kLentKey.staff, kLentKey.measure, kLentKey.layer, 1, kScorixApiVersion);
  FUZZ_CHECK(frame != nullptr, "the host did not lend its frame");
  Layer layer;
  layer.records = EntriesOf(frame);
  layer.Build(kLentKey.measure, kLentKey.staff);
  bool edited = false;  // the entries differ from what the host last handed over
  const int steps = 1 + static_cast<int>(script->Below(12));
  for (int step = 0; step < steps && !script->Empty(); ++step) {
    const auto entries = static_cast<std::uint32_t>(layer.records.size());
    bool accepted = true;
    const std::uint32_t call = script->Below(10);
    if (explain && call < 5) {
      static const char* const kCalls[] = {"save", "insert", "delete", "reduce", "duration"};
      std::fprintf(stderr, "  %s (%u entries)\n", kCalls[call], entries);
    }
    switch (call) {
      case 0:
        FUZZ_CHECK(FX_SaveTGF(frame, kScorixApiVersion) == 1, "the host refused a save");
        break;
      case 1: {
        const auto at = static_cast<short>(static_cast<int>(script->Below(entries + 3)) - 1);
        const auto added = static_cast<short>(script->Below(4));
        accepted = FX_InsertEXENTRY(frame, at, added, kScorixApiVersion) != 0;
        break;
      }
      case 2: {
        const auto at = static_cast<short>(static_cast<int>(script->Below(entries + 2)) - 1);
        const auto removed = static_cast<short>(script->Below(4));
        accepted = FX_DeleteEXENTRY(frame, at, removed, kScorixApiVersion) != 0;
        break;
      }
      case 3:
        FUZZ_CHECK(FX_ReduceEntries(frame, kScorixApiVersion) >= 0, "the host refused a reduce");
        break;
      case 4: {
        // The host reads the entries as it handed them over: asked only while they are.
        if (edited) continue;
        std::intptr_t total = 0;
        for (const std::uint8_t* record : layer.records) {
          total += hostsim::ReadS16(record + entry_record::kDuration);
        }
        FUZZ_CHECK(
            FX_GetTGFDuration(reinterpret_cast<std::intptr_t>(frame), kScorixApiVersion) == total,
            "the host's duration of the frame is not the sum of its entries'");
        continue;
      }
      default:
        edited |= RunEntryStep(&layer);
        continue;
    }
    // The host now holds the entries as cleaned (and rearranged); a refused rearrangement leaves
    // them cleaned all the same, which the host did not hand over. The cleaning changes note
    // counts under the entries, and a rearrangement moves them: the views are made afresh.
    edited = !accepted;
    layer.records = EntriesOf(frame);
    layer.Build(kLentKey.measure, kLentKey.staff);
  }
  layer.entries.clear();
  FUZZ_CHECK(FX_FreeTGF(frame, kScorixApiVersion) == 1, "the host did not take its frame back");

  const hostsim::FrameLedger& ledger = host.Frames();
  for (const hostsim::FrameProblem& problem : ledger.problems) {
    std::fprintf(stderr, "frame problem: %s\n", hostsim::DescribeFrameProblem(problem).c_str());
  }
  FUZZ_CHECK(ledger.problems.empty(), "the host found a problem with a frame");
  FUZZ_CHECK(ledger.NeverFreed().empty(), "a frame was not given back");
  FUZZ_CHECK(LoadedTGFCounter == counter + refused, "the frame counter did not come back");
  // What the document holds after a save is what the last save wrote: cleaned.
  const hostsim::Bytes* saved = host.Records().FindFrame(kLentKey);
  for (std::size_t i = 0; saved && ledger.saved > 0 && i < hostsim::EntryCount(*saved); ++i) {
    FUZZ_CHECK(hostsim::WhyNotCleaned(saved->data() + i * kEntrySize).empty(),
               "the document holds an entry that was saved without being cleaned");
  }
}

struct Setup {
  // Dumps go to a console nobody reads.
  Setup() { platform::SetDesktop(&desktop); }
  hostsim::ScriptedDesktop desktop;
  LowRegion region;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  explain = fuzz::Explaining();
  fuzz::ByteReader reader(data, size);
  script = &reader;
  fuzz::FreshHost();
  setup.desktop.Clear();

  RunCleaning(setup.region);
  RunEntries();
  RunLentFrame();
  script = nullptr;
  return 0;
}
