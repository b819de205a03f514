// Entry details: further host records attached to a note entry (its articulations, the special
// alterations of its notes, other note details). Each kind has its own tag; its records are keyed
// by the entry's 32-bit number and numbered by incident under it, from 0 without gaps.
//
// Both classes are bases: a concrete detail class names the tag, the record and the hooks below.
// The identity of an entry detail is its own layout of the 8 bytes: bytes 0-3 the entry number
// (signed 32-bit), bytes 4-5 the incident (signed 16-bit), bytes 6-7 zero.
#pragma once

#include <cstdint>

#include "framework/data.h"
#include "framework/entries.h"

class __FCEntryDetail : public __FCBaseData {
 public:
  // The probes (_HasAnyMod, _ScanForNoteID) load into a scratch record of their own, never into
  // the object's record. It holds at least this many bytes, and more when a dynamic-size detail
  // says its record is larger; a fixed-size detail larger than this does not compile.
  static constexpr std::int32_t kScratchSize = 208;
  static constexpr std::int32_t kMaxFixedSize = kScratchSize;
  // The incident of a detail that names no record (0xFFFF in the identity, which also asks the
  // host for a new incident on a create).
  static constexpr short kNoIncident = -1;
  // The highest incident an identity can name; a scan ends after it.
  static constexpr short kLastIncident = 0x7FFF;

  using __FCBaseData::__FCBaseData;

  const char* ClassName() override { return "__FCEntryDetail"; }
  void DebugDump() override;
  // Refused, without a host call, while the identity names no record (incident -1): the host may
  // keep a record under that number, and it is not this object's.
  bool Save() override;
  // Marks (true) or unmarks (false) the connected object as having a record of this kind.
  virtual void _SetConnectedFlag(__FCBase* connected, bool state) = 0;

  // Whether the note's entry has a record of this tag at incident 0. Loads into the scratch
  // record; this object's record and identity are not touched.
  bool _HasAnyMod(FCNote* note);
  // Creates a new record from this object under the entry number of its identity; the host
  // assigns the incident, which the identity then holds. Marks the connected object. False, with
  // the identity and the connected object unchanged, when the host refuses.
  bool SaveNew();

  // The entry the next SaveNew creates a record for; the identity then names no record.
  void SetEntryNumber(std::int32_t entnum) { _dataid = _DetailIdentity(entnum, kNoIncident); }
  std::int32_t GetEntryNumber() const;
  short GetIncident() const { return _dataid.detail.inci; }
  void SetConnected(__FCBase* connected) { _connected = connected; }
  __FCBase* GetConnected() const { return _connected; }

 protected:
  // An identity built afresh, every byte set: no byte of an earlier one can name another record.
  static EDataID _DetailIdentity(std::int32_t entnum, short inci);
  // Obtains the storage when it never was (a dynamic block starts zeroed), so the host never gets
  // a null buffer; false when the storage cannot hold DataSize() bytes.
  bool _ReadyToWrite();
  // After a successful create or save: the identity names the record written, and the object
  // holds the DataSize() bytes written.
  void _Written(const EDataID& id);
  void _DumpDetail();

  __FCBase* _connected = nullptr;
};

// Entry details whose records each belong to one note of the entry, recognised by the note ID
// stored inside the record. Saving and erasing keep the entry's flag for the kind in step with
// whether the entry still has a record of it.
class __FCEntryDetailNoteID : public __FCEntryDetail {
 public:
  using __FCEntryDetail::__FCEntryDetail;

  const char* ClassName() override { return "__FCEntryDetailNoteID"; }
  // Stores the note ID in this object's record before a save.
  virtual void _SetNoteID(short noteid) = 0;
  // Whether the record bytes given (a loaded record of this tag, at least DataSize() bytes, those
  // the host did not deliver zero) belong to the note with that ID.
  virtual bool _IsNoteIDMatch(const void* record, short noteid) = 0;
  // Sets or clears the owning entry's flag for this kind (one of FCNote's entry-flag setters).
  virtual void _SetNoteFlag(FCNote* note, bool state) = 0;

  // The incident of the note's record, the first that matches; -1 when the note has none. Ends at
  // the first incident the host does not deliver, and after incident 0x7FFF.
  short _ScanForNoteID(FCNote* note);
  // Writes this object as the note's record: over the note's record when it has one, as a new
  // record otherwise; sets the entry's flag. False, with the identity and the flag unchanged,
  // when the host refuses.
  bool SaveAt(FCNote* note);
  // Deletes the note's record and clears the entry's flag when no record of the kind is left at
  // incident 0. False, with no delete asked for and nothing changed, when the note has no record;
  // false, with nothing changed, when the host refuses. Afterwards the object names no record.
  bool EraseAt(FCNote* note);
};
