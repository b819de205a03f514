#include "framework/entries.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "framework/staff.h"

namespace exentry = vaz::exentry;

namespace {

constexpr std::int32_t kNoDisplacement = -10000;

}  // namespace

// ---------------------------------------------------------------------------------------------
// FCNote

short FCNote::GetDisplacement() const {
  return vaz::ReadField<std::int16_t>(_notedata, exentry::kDisplacement);
}
void FCNote::SetDisplacement(short displacement) {
  vaz::WriteField<std::int16_t>(_notedata, exentry::kDisplacement, displacement);
}
short FCNote::GetRaiseLower() const {
  return vaz::ReadField<std::int16_t>(_notedata, exentry::kRaiseLower);
}
void FCNote::SetRaiseLower(short raiselower) {
  vaz::WriteField<std::int16_t>(_notedata, exentry::kRaiseLower, raiselower);
}
short FCNote::GetNoteID() const {
  return vaz::ReadField<std::int16_t>(_notedata, exentry::kNoteId);
}
void FCNote::SetNoteID(short id) {
  vaz::WriteField<std::int16_t>(_notedata, exentry::kNoteId, id);
}
std::uint32_t FCNote::GetNoteFlags() const {
  return vaz::ReadField<std::uint32_t>(_notedata, exentry::kNoteFlags);
}
void FCNote::SetNoteFlags(std::uint32_t flags) {
  vaz::WriteField<std::uint32_t>(_notedata, exentry::kNoteFlags, flags);
}

std::int32_t FCNote::_GetEntryNumber() const {
  return _entry ? _entry->GetEntryNumber() : 0;
}

void FCNote::_SetEntryFlag(std::uint32_t mask, bool state) {
  if (!_entry) return;
  std::uint32_t flags = _entry->GetFlags();
  Set32BitFlag(&flags, mask, state);
  _entry->SetFlags(flags);
}

void FCNote::_SetNoteDetailEntryFlag(bool state) {
  _SetEntryFlag(exentry::kNoteDetails, state);
}
void FCNote::_SetSpecialAltsEntryFlag(bool state) {
  _SetEntryFlag(exentry::kSpecialAlts, state);
}
void FCNote::_SetArticulationEntryFlag(bool state) {
  _SetEntryFlag(exentry::kArticulations, state);
}

short FCNote::CalcActualDisplacement() {
  if (!_entry) return GetDisplacement();
  // Fresh, zeroed records: a definition that cannot be loaded contributes 0.
  auto clef = std::make_unique<FCClefDef>(kScorixApiVersion);
  clef->Load(_entry->GetClef());
  auto settings = std::make_unique<FCCurrentStaffSpec>(kScorixApiVersion);
  settings->Load(_entry);
  const std::int32_t sum = static_cast<std::int32_t>(GetDisplacement()) +
                           clef->GetBaselineDisplacement() + settings->GetTransposeInterval();
  return record_field::Wrap16(sum);
}

void FCNote::DebugDump() {
  __FCBase::DebugDump();
  DebugOutDigit("Note ID: ", GetNoteID());
  DebugOutDigit("Alteration: ", GetDisplacement());
  DebugOutDigit("Raise/Lower: ", GetRaiseLower());
}

// ---------------------------------------------------------------------------------------------
// FCCurrentStaffSpec, loaded for an entry

bool FCCurrentStaffSpec::Load(FCNoteEntry* entry) {
  if (!entry) return false;
  return LoadAt(entry->GetStaff(), entry->GetMeasure(), entry->GetPosition());
}

// ---------------------------------------------------------------------------------------------
// FCNoteEntry

FCNoteEntry::FCNoteEntry(unsigned char* entrydata, FCNoteEntryCell* cell, std::int32_t measure,
                         std::int32_t staff)
    : _entrydata(entrydata), _cell(cell), _measure(measure), _staff(staff) {
  _UpdateNoteCollection();
}

std::int32_t FCNoteEntry::GetEntryNumber() const {
  return vaz::ReadField<std::int32_t>(_entrydata, exentry::kEntnum);
}
short FCNoteEntry::GetDuration() const {
  return vaz::ReadField<std::int16_t>(_entrydata, exentry::kDuration);
}
std::uint32_t FCNoteEntry::GetFlags() const {
  return vaz::ReadField<std::uint32_t>(_entrydata, exentry::kFlags);
}
void FCNoteEntry::SetFlags(std::uint32_t flags) {
  vaz::WriteField<std::uint32_t>(_entrydata, exentry::kFlags, flags);
}
short FCNoteEntry::GetNumNotes() const {
  return vaz::ReadField<std::int16_t>(_entrydata, exentry::kNumNotes);
}
std::int32_t FCNoteEntry::GetPosition() const {
  return vaz::ReadField<std::int32_t>(_entrydata, exentry::kPosition);
}
short FCNoteEntry::GetClef() const {
  return vaz::ReadField<std::int16_t>(_entrydata, exentry::kClef);
}

int FCNoteEntry::_UsableNotes() const {
  return std::clamp<int>(GetNumNotes(), 0, exentry::kMaxNotes);
}

void FCNoteEntry::_UpdateNoteCollection() {
  ClearElements();
  if (!_entrydata) return;
  for (int slot = 0; slot < _UsableNotes(); ++slot) {
    auto note = std::make_unique<FCNote>(slot, exentry::NoteAt(_entrydata, slot), this);
    Add(note.get());
    note.release();
  }
}

void FCNoteEntry::_PackEXENTRYNotes() {
  const int count = std::min(GetCount(), exentry::kMaxNotes);
  unsigned char kept_notes[exentry::kMaxNotes * exentry::kNoteSize] = {};
  int kept = 0;
  for (int index = 0; index < count; ++index) {
    FCNote* note = GetNoteAt(index);
    if (!note || note->IsMarkedDeleted()) continue;
    std::memcpy(kept_notes + kept * exentry::kNoteSize, exentry::NoteAt(_entrydata, index),
                exentry::kNoteSize);
    ++kept;
  }
  if (kept == GetCount()) return;
  if (kept == 0) {
    SetFlags(GetFlags() & ~exentry::kIsNote);
  } else {
    std::memcpy(exentry::NoteAt(_entrydata, 0), kept_notes,
                static_cast<std::size_t>(kept) * exentry::kNoteSize);
  }
  vaz::WriteField<std::int16_t>(_entrydata, exentry::kNumNotes, static_cast<std::int16_t>(kept));
  _UpdateNoteCollection();
}

std::int32_t FCNoteEntry::CalcHighestDisplacement() {
  if (GetCount() == 0) return 0;
  std::int32_t highest = kNoDisplacement;
  for (int index = 0; index < GetCount(); ++index) {
    if (FCNote* note = GetNoteAt(index))
      highest = std::max<std::int32_t>(highest, note->GetDisplacement());
  }
  return highest == kNoDisplacement ? 0 : highest;
}

short FCNoteEntry::CalcDisplacementRange() {
  if (GetCount() == 0) return 0;
  std::int32_t highest = kNoDisplacement;
  std::int32_t lowest = -kNoDisplacement;
  for (int index = 0; index < GetCount(); ++index) {
    if (FCNote* note = GetNoteAt(index)) {
      highest = std::max<std::int32_t>(highest, note->GetDisplacement());
      lowest = std::min<std::int32_t>(lowest, note->GetDisplacement());
    }
  }
  return highest == kNoDisplacement ? 0 : record_field::Wrap16(highest - lowest);
}

FCNote* FCNoteEntry::FindHighestNote() {
  FCNote* best = nullptr;
  std::int32_t best_displacement = kNoDisplacement;
  for (int index = 0; index < GetCount(); ++index) {
    FCNote* note = GetNoteAt(index);
    if (!note) continue;
    const std::int32_t displacement = note->GetDisplacement();
    if (displacement > best_displacement || (best && displacement == best_displacement &&
                                             note->GetRaiseLower() > best->GetRaiseLower())) {
      best = note;
      best_displacement = displacement;
    }
  }
  return best;
}

short FCNoteEntry::_FindUniqueNoteID() {
  // Counted wider than 16 bits: with an ID of 32767 in use the answer is still the smallest
  // unused positive one, never a wrapped negative number.
  for (std::int32_t candidate = 1; candidate <= INT16_MAX; ++candidate) {
    bool used = false;
    for (int index = 0; index < GetCount() && !used; ++index) {
      FCNote* note = GetNoteAt(index);
      used = note && note->GetNoteID() == candidate;
    }
    if (!used) return static_cast<short>(candidate);
  }
  return 1;  // unreachable with at most 12 notes
}

FCNote* FCNoteEntry::AddNewNote() {
  const int slot = GetCount();
  if (slot > exentry::kMaxNotes - 1) return nullptr;
  // A count the record cannot hold is the host's: no note is added over it.
  if (GetNumNotes() != slot) return nullptr;
  if (!IsNote()) return nullptr;
  unsigned char* record = exentry::NoteAt(_entrydata, slot);
  std::memset(record, 0, exentry::kNoteSize);
  auto note = std::make_unique<FCNote>(slot, record, this);
  std::uint32_t flags = note->GetNoteFlags();
  Set32BitFlag(&flags, exentry::kNewNote, true);
  note->SetNoteFlags(flags);
  note->SetNoteID(_FindUniqueNoteID());
  Add(note.get());
  vaz::WriteField<std::int16_t>(_entrydata, exentry::kNumNotes,
                                static_cast<std::int16_t>(slot + 1));
  return note.release();
}

bool FCNoteEntry::IsFlippable() {
  if (!IsNote()) return false;
  if (GetFlags() & exentry::kBeamBeat) return true;
  if (!_previous) return true;
  if (_next) return false;
  if (GetDuration() == _previous->GetDuration()) return false;
  return _previous->GetDuration() >= 1024;
}

bool FCNoteEntry::IsStemUp() {
  if (IsFlippable()) return (GetFlags() & exentry::kStemUp) != 0;
  for (FCNoteEntry* entry = _previous; entry; entry = entry->_previous) {
    if (entry->GetFlags() & exentry::kBeamBeat) return (entry->GetFlags() & exentry::kStemUp) != 0;
  }
  return (GetFlags() & exentry::kStemUp) != 0;
}

void FCNoteEntry::DebugDump() {
  __FCBase::DebugDump();
  DebugOutDigit("Array size: ", GetArraySize());
  DebugOutDigit("Number of items: ", GetCount());
  for (int index = 0; index < GetCount(); ++index) {
    DebugOutDigit("===> Object item: ", index);
    if (FCNote* note = GetNoteAt(index)) note->DebugDump();
  }
  DebugOutDigit("Duration position: ", GetPosition());
  DebugOutBool("Is note: ", IsNote());
  DebugOutBool("Beam/Beat: ", (GetFlags() & exentry::kBeamBeat) != 0);
  DebugOutBool("Stem goes up: ", IsStemUp());
}
