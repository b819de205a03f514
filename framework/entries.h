// Note entries and notes: views straight into the host's entry records, which an entry cell
// loads, owns and saves as whole frames. Reading a field reads the host's bytes; every edit made
// through these classes changes them in place.
#pragma once

#include <cstdint>

#include "framework/collections.h"
#include "vaz/vaz.h"

class FCNoteEntry;
class FCNoteEntryCell;

// One note: slot `_noteindex` of its entry's record.
class FCNote : public __FCBase {
 public:
  FCNote(int index, unsigned char* notedata, FCNoteEntry* entry)
      : _noteindex(index), _notedata(notedata), _entry(entry) {}

  const char* ClassName() override { return "FCNote"; }
  void DebugDump() override;

  // The owning entry's number, the key of its detail records.
  std::int32_t _GetEntryNumber() const;
  // Set or clear the owning entry's flags for note-detail, special-alteration and articulation
  // records.
  void _SetNoteDetailEntryFlag(bool state);
  void _SetSpecialAltsEntryFlag(bool state);
  void _SetArticulationEntryFlag(bool state);
  // The displacement corrected for the entry's clef and the staff's transposition.
  short CalcActualDisplacement();

  // The note record's fields, read from and written to the record.
  short GetDisplacement() const;
  void SetDisplacement(short displacement);
  short GetRaiseLower() const;
  void SetRaiseLower(short raiselower);
  short GetNoteID() const;
  void SetNoteID(short id);
  std::uint32_t GetNoteFlags() const;
  void SetNoteFlags(std::uint32_t flags);

  // A note marked deleted leaves its entry at the entry's next _PackEXENTRYNotes.
  void MarkDeleted(bool state = true) { _deleted = state; }
  bool IsMarkedDeleted() const { return _deleted; }
  int GetNoteIndex() const { return _noteindex; }
  FCNoteEntry* GetEntry() const { return _entry; }

 private:
  void _SetEntryFlag(std::uint32_t mask, bool state);

  bool _deleted = false;
  std::int32_t _noteindex;
  unsigned char* _notedata;
  FCNoteEntry* _entry;
};

// One entry record: a collection of its notes, one per note slot in use. Made by the entry cell,
// which passes its own measure and staff.
class FCNoteEntry : public __FCCollection {
 public:
  // `entrydata` is the entry's 146-byte record inside the frame's entry array.
  FCNoteEntry(unsigned char* entrydata, FCNoteEntryCell* cell, std::int32_t measure,
              std::int32_t staff);

  const char* ClassName() override { return "FCNoteEntry"; }
  void DebugDump() override;

  short GetMeasure() const { return static_cast<short>(_measure & 0xFFFF); }
  short GetStaff() const { return static_cast<short>(_staff & 0xFFFF); }

  // Rebuilds the note objects from the record: every FCNote obtained before is gone. An entry
  // whose note count lies outside 0 to 12 gets no more than 12 notes.
  void _UpdateNoteCollection();
  // Removes the notes marked deleted from the record; the survivors keep their order and fields.
  void _PackEXENTRYNotes();
  std::int32_t CalcHighestDisplacement();
  short CalcDisplacementRange();
  FCNote* FindHighestNote();
  // The smallest note ID of 1 or more that no note of the entry has.
  short _FindUniqueNoteID();
  // A new note in the next free slot of a note entry; null when the entry has 12 notes or is a
  // rest.
  FCNote* AddNewNote();
  bool IsFlippable();
  bool IsStemUp();

  FCNote* GetNoteAt(int index) const { return dynamic_cast<FCNote*>(GetItemAt(index)); }
  void _SetPrevious(FCNoteEntry* entry) { _previous = entry; }
  void _SetNext(FCNoteEntry* entry) { _next = entry; }
  FCNoteEntry* GetPrevious() const { return _previous; }
  FCNoteEntry* GetNext() const { return _next; }
  FCNoteEntryCell* GetCell() const { return _cell; }

  // The record's fields.
  unsigned char* GetEntryData() const { return _entrydata; }
  std::int32_t GetEntryNumber() const;
  short GetDuration() const;
  std::uint32_t GetFlags() const;
  void SetFlags(std::uint32_t flags);
  short GetNumNotes() const;
  std::int32_t GetPosition() const;
  short GetClef() const;
  bool IsNote() const { return (GetFlags() & vaz::exentry::kIsNote) != 0; }

 private:
  // The notes a record can hold: its count, but never past the twelfth slot.
  int _UsableNotes() const;

  unsigned char* _entrydata;
  FCNoteEntryCell* _cell;
  FCNoteEntry* _previous = nullptr;
  FCNoteEntry* _next = nullptr;
  std::int32_t _measure;
  std::int32_t _staff;
};
