// Host record types shared by the binding layer and the framework: the record identity and the
// frame and entry records passed by address. Offsets are the host's wire format (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The API version word the framework passes as the last argument of every host call.
constexpr std::uint32_t kScorixApiVersion = 0x0F000200;

#pragma pack(push, 1)
// The 8-byte record identity, always passed by address. The binding reads only the first 16 bits
// (`other.cmper`); other callers lay their own fields into the same bytes.
union EDataID {
  struct {
    unsigned short cmper;
    short inci;
    unsigned char unused[4];
  } other;
  struct {
    unsigned short cmper1;
    unsigned short cmper2;
    short inci;
    unsigned char unused[2];
  } detail;
  unsigned char bytes[8];
};
#pragma pack(pop)

static_assert(sizeof(EDataID) == 8, "EDataID is 8 bytes");
static_assert(offsetof(EDataID, other.cmper) == 0, "other.cmper at byte 0");
static_assert(offsetof(EDataID, other.inci) == 2, "other.inci at byte 2");
static_assert(offsetof(EDataID, detail.cmper2) == 2, "detail.cmper2 at byte 2");
static_assert(offsetof(EDataID, detail.inci) == 4, "detail.inci at byte 4");

// The host's frame of one staff, measure and layer. Only two fields are the plug-in's business:
// the address of the entry array at byte 14 and the entry count at byte 18; the rest of the block
// belongs to the host and is handed back unchanged.
struct EXTGF2005a;
constexpr std::size_t kFrameEntriesOffset = 14;
constexpr std::size_t kFrameEntryCountOffset = 18;

// The host's entry record: one rhythmic event, a note entry with up to 12 note records or a rest.
// Entries lie back to back in a frame's entry array. Fields are read and written at their byte
// offsets (vaz::exentry below), whatever the alignment of the array the host lends.
#pragma pack(push, 1)
struct EXNOTE {
  std::int16_t displacement;
  std::int16_t raiselower;
  std::int16_t noteid;
  std::uint32_t noteflags;
};
struct EXENTRY {
  std::int32_t entnum;
  std::int16_t duration;
  unsigned char reserved6[2];
  std::uint32_t flags;
  unsigned char reserved12[2];
  std::int16_t numnotes;
  EXNOTE notes[12];
  std::int32_t position;
  unsigned char reserved140[4];
  std::int16_t clef;
};
#pragma pack(pop)

#if UINTPTR_MAX == UINT32_MAX
// The host's layouts, held to on the targets whose records the host really shares.
static_assert(sizeof(EXNOTE) == 10, "a note record is 10 bytes");
static_assert(offsetof(EXNOTE, raiselower) == 2, "raiselower at 2");
static_assert(offsetof(EXNOTE, noteid) == 4, "noteid at 4");
static_assert(offsetof(EXNOTE, noteflags) == 6, "noteflags at 6");
static_assert(sizeof(EXENTRY) == 146, "EXENTRY is 146 bytes");
static_assert(offsetof(EXENTRY, duration) == 4, "duration at 4");
static_assert(offsetof(EXENTRY, flags) == 8, "flags at 8");
static_assert(offsetof(EXENTRY, numnotes) == 14, "numnotes at 14");
static_assert(offsetof(EXENTRY, notes) == 16, "notes at 16");
static_assert(offsetof(EXENTRY, position) == 136, "position at 136");
static_assert(offsetof(EXENTRY, clef) == 144, "clef at 144");
#endif

// The host's region record: a stretch of the score from a start slot, measure and position to an
// end slot, measure and position, both ends included. Slots become staff (instrument) numbers
// through the host's FX_SlotToInst with the slot and its key.
#pragma pack(push, 1)
struct EREGION {
  std::uint16_t startslotkey;
  std::int16_t startslot;
  std::int16_t startmeas;
  std::int32_t startpos;
  std::uint16_t endslotkey;
  std::int16_t endslot;
  std::int16_t endmeas;
  std::int32_t endpos;
};
#pragma pack(pop)

static_assert(sizeof(EREGION) == 20, "EREGION is 20 bytes");
static_assert(offsetof(EREGION, startmeas) == 4, "startmeas at 4");
static_assert(offsetof(EREGION, startpos) == 6, "startpos at 6");
static_assert(offsetof(EREGION, endslotkey) == 10, "endslotkey at 10");
static_assert(offsetof(EREGION, endmeas) == 14, "endmeas at 14");
static_assert(offsetof(EREGION, endpos) == 16, "endpos at 16");

struct EEntryMetrics;
struct EMeasureMetrics;

namespace vaz {

// A field of a host record at a byte offset, whatever its alignment. The host's records are
// little-endian, like every target we build for.
template <typename T>
T ReadField(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

template <typename T>
void WriteField(void* record, std::size_t offset, T value) {
  std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof value);
}

// Fields of an entry record and of its note records, by byte offset.
namespace exentry {
constexpr std::size_t kSize = 146;
constexpr std::size_t kEntnum = 0;
constexpr std::size_t kDuration = 4;
constexpr std::size_t kFlags = 8;
constexpr std::size_t kNumNotes = 14;
constexpr std::size_t kNotes = 16;
constexpr std::size_t kNoteSize = 10;
constexpr int kMaxNotes = 12;
constexpr std::size_t kPosition = 136;
constexpr std::size_t kClef = 144;
// Inside a note record.
constexpr std::size_t kDisplacement = 0;
constexpr std::size_t kRaiseLower = 2;
constexpr std::size_t kNoteId = 4;
constexpr std::size_t kNoteFlags = 6;

// Flag bits of an entry.
constexpr std::uint32_t kStemUp = 0x00000001;
constexpr std::uint32_t kBeamBeat = 0x00000800;
constexpr std::uint32_t kSpecialAlts = 0x00001000;
constexpr std::uint32_t kArticulations = 0x00200000;
constexpr std::uint32_t kNoteDetails = 0x00400000;
constexpr std::uint32_t kRestNoteRecord = 0x01000000;
constexpr std::uint32_t kIsNote = 0x40000000;
// Set on every note record the framework creates.
constexpr std::uint32_t kNewNote = 0x80000000;

// The entry at `index` of an array of entries, and note slot `slot` of an entry.
inline unsigned char* EntryAt(void* entries, std::size_t index) {
  return static_cast<unsigned char*>(entries) + index * kSize;
}
inline unsigned char* NoteAt(void* entry, std::size_t slot) {
  return static_cast<unsigned char*>(entry) + kNotes + slot * kNoteSize;
}
}  // namespace exentry

// A host record field that holds an address in 32 bits (a frame's entry array at byte 14). The
// field may sit at any byte offset, so it is read and written byte-wise. The address is
// zero-extended: one at or above 2 GiB stays what it is and never becomes a negative number, so
// on 64-bit builds it is the address the host meant.
inline void* ReadAddressField(const void* record, std::size_t offset) {
  const auto field = ReadField<std::uint32_t>(record, offset);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(field));
}

// Writes `address` into the 32-bit field. An address that does not fit in 32 bits (possible
// only on 64-bit builds) is refused: the field is left as it was and the answer is false, where a
// cut address would send the host to the wrong memory.
inline bool WriteAddressField(void* record, std::size_t offset, const void* address) {
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  if (value > UINT32_MAX) return false;
  WriteField<std::uint32_t>(record, offset, static_cast<std::uint32_t>(value));
  return true;
}

}  // namespace vaz
