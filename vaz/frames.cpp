// Frame access: frames of one staff, measure and layer, lent by the host between FX_LoadTGF and
// FX_FreeTGF, and the cleaning every frame undergoes before it goes back to the host. The counter
// of loaded frames is kept so that leaks can be seen.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "vaz/binding.h"
#include "vaz/host_api.h"

using vaz::binding::kRequired;
using vaz::binding::P;
using vaz::binding::S;
using vaz::binding::U;
using vaz::binding::V;
namespace exentry = vaz::exentry;

bool CanAddNoteRecordToRests = true;

namespace {

std::int16_t NoteId(unsigned char* entry, int slot) {
  return vaz::ReadField<std::int16_t>(exentry::NoteAt(entry, slot), exentry::kNoteId);
}

void SetNoteId(unsigned char* entry, int slot, std::int16_t id) {
  vaz::WriteField<std::int16_t>(exentry::NoteAt(entry, slot), exentry::kNoteId, id);
}

bool SharesItsId(unsigned char* entry, int notes, int slot) {
  for (int other = 0; other < notes; ++other) {
    if (other != slot && NoteId(entry, other) == NoteId(entry, slot)) return true;
  }
  return false;
}

// Gives every note an ID of its own, not 0: of two notes that share one, the earlier one takes a
// new ID above the highest. The highest is counted wider than 16 bits, so IDs near 32767 become
// the smallest unused positive ones instead of wrapping round to negative or repeated ones.
void RenumberNotes(unsigned char* entry, int notes) {
  std::int32_t highest = 0;
  for (int slot = 0; slot < notes; ++slot) {
    highest = std::max<std::int32_t>(highest, NoteId(entry, slot));
  }
  for (int slot = 0; slot < notes; ++slot) {
    if (NoteId(entry, slot) != 0 && !SharesItsId(entry, notes, slot)) continue;
    if (highest < INT16_MAX) {
      SetNoteId(entry, slot, static_cast<std::int16_t>(++highest));
      continue;
    }
    for (std::int16_t id = 1; id < INT16_MAX; ++id) {
      bool used = false;
      for (int other = 0; other < notes && !used; ++other) used = NoteId(entry, other) == id;
      if (!used) {
        SetNoteId(entry, slot, id);
        break;
      }
    }
  }
}

void MirrorIds(unsigned char* entry, int notes) {
  for (int slot = 0; slot < notes; ++slot) {
    unsigned char* note = exentry::NoteAt(entry, slot);
    const auto id = static_cast<std::uint32_t>(static_cast<std::uint16_t>(NoteId(entry, slot)));
    const auto flags = vaz::ReadField<std::uint32_t>(note, exentry::kNoteFlags);
    vaz::WriteField<std::uint32_t>(note, exentry::kNoteFlags,
                                   (flags & ~0x001F0000u) | ((id << 16) & 0x001F0000u));
  }
}

void CleanEntry(unsigned char* entry) {
  const auto notes = vaz::ReadField<std::int16_t>(entry, exentry::kNumNotes);
  // A count outside the record's twelve slots is the host's mistake: nothing of such an entry is
  // touched, so no byte outside its note slots (nor of the entries around it) is written.
  if (notes < 0 || notes > exentry::kMaxNotes) return;
  RenumberNotes(entry, notes);
  MirrorIds(entry, notes);
  if (notes < exentry::kMaxNotes) {
    std::memset(exentry::NoteAt(entry, static_cast<std::size_t>(notes)), 0,
                static_cast<std::size_t>(exentry::kMaxNotes - notes) * exentry::kNoteSize);
  }
  if (notes == 0 && CanAddNoteRecordToRests) {
    const auto flags = vaz::ReadField<std::uint32_t>(entry, exentry::kFlags);
    vaz::WriteField<std::uint32_t>(entry, exentry::kFlags, flags | exentry::kRestNoteRecord);
    vaz::WriteField<std::int16_t>(entry, exentry::kNumNotes, 1);
    vaz::WriteField<std::uint32_t>(exentry::NoteAt(entry, 0), exentry::kNoteFlags,
                                   exentry::kNewNote);
  }
}

}  // namespace

void CleanTGF(const EXTGF2005a* frame, bool) {
  if (!frame) return;
  const auto count = vaz::ReadField<std::int16_t>(frame, kFrameEntryCountOffset);
  void* entries = vaz::ReadAddressField(frame, kFrameEntriesOffset);
  if (count <= 0 || !entries) return;
  for (std::int16_t index = 0; index < count; ++index) {
    CleanEntry(exentry::EntryAt(entries, static_cast<std::size_t>(index)));
  }
}

EXTGF2005a* WINAPI FX_LoadTGF(unsigned short a1, short staff, short measure, short layer, short a5,
                              std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_LoadTGF);
  vaz::binding::GenericProc address = slot.Resolve();
  // Raised before the host answers, so a failed load (a null frame, which is never freed) leaves
  // the counter one higher: it counts requests, not frames held.
  ++LoadedTGFCounter;
  return reinterpret_cast<EXTGF2005a*>(vaz::binding::Forward<std::uintptr_t>(
      address, kRequired, U(a1), S(staff), S(measure), S(layer), S(a5), V(version)));
}

short WINAPI FX_SaveTGF(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  CleanTGF(frame, true);
  VAZ_HOST_SLOT(FX_SaveTGF);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), V(version));
}

short WINAPI FX_InsertEXENTRY(EXTGF2005a* frame, short a2, short a3,
                              std::uint32_t version) {  // [required]
  CleanTGF(frame, true);
  VAZ_HOST_SLOT(FX_InsertEXENTRY);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), S(a2), S(a3),
                                      V(version));
}

short WINAPI FX_DeleteEXENTRY(EXTGF2005a* frame, short a2, short a3,
                              std::uint32_t version) {  // [required]
  CleanTGF(frame, true);
  VAZ_HOST_SLOT(FX_DeleteEXENTRY);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), S(a2), S(a3),
                                      V(version));
}

std::int32_t WINAPI FX_ReduceEntries(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  CleanTGF(frame, true);
  VAZ_HOST_SLOT(FX_ReduceEntries);
  return vaz::binding::Forward<std::int32_t>(slot.Resolve(), kRequired, P(frame), V(version));
}

std::int32_t WINAPI FX_FreeTGF(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_FreeTGF);
  vaz::binding::GenericProc address = slot.Resolve();
  --LoadedTGFCounter;
  return vaz::binding::Forward<std::int32_t>(address, kRequired, P(frame), V(version));
}
