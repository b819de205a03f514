// Entry details found, written and erased by note ID against a host whose records and answers the
// input decides: records of any length under the entry (short ones with a stale matching ID
// included), gaps in the incidents, duplicated IDs, entry numbers anywhere in 32 bits, refused
// creates, saves and deletes, and a host that leaves the gap after a delete.
//
// Oracles after each operation:
//  - records of every other entry stay byte for byte;
//  - a refused or impossible write or erase changes neither the document, nor the detail's
//    identity, nor the entry's flag;
//  - after SaveAt the note's record is the detail's bytes and the scan finds it; after EraseAt the
//    note has one record fewer;
//  - EraseAt of a note without a record asks for no delete;
//  - the scan never answers an incident whose record does not carry the note's ID.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "framework/details.h"
#include "hostsim/sim_host.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using hostsim::Bytes;

fuzz::ByteReader* script = nullptr;

constexpr std::int32_t kRecordSize = 12;
constexpr std::int32_t kNoteIdAt = 10;

// A note detail whose record carries the note's ID at byte 10.
class NoteDetail : public __FCFixedSizeData<__FCEntryDetailNoteID, kRecordSize> {
 public:
  static constexpr std::uint32_t kTag = 0x654E4454;  // 'eNDT'

  NoteDetail() : __FCFixedSizeData(kScorixApiVersion) {}
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t) override { return new NoteDetail; }
  bool LoadFirst() override { return false; }
  void _SetConnectedFlag(__FCBase*, bool) override {}
  void _SetNoteID(short noteid) override {
    vaz::WriteField<std::int16_t>(_record, kNoteIdAt, noteid);
  }
  bool _IsNoteIDMatch(const void* record, short noteid) override {
    return vaz::ReadField<std::int16_t>(record, kNoteIdAt) == noteid;
  }
  void _SetNoteFlag(FCNote* note, bool state) override { note->_SetNoteDetailEntryFlag(state); }

  void Fill() {
    for (std::int32_t i = 0; i < kRecordSize; ++i) _record[i] = script->Byte();
  }
  Bytes Record() const { return Bytes(_record, _record + kRecordSize); }
  Bytes Identity() const { return Bytes(_dataid.bytes, _dataid.bytes + 8); }
};

hostsim::Identity DetailKey(std::int32_t entry, std::int16_t inci) {
  hostsim::Identity id{};
  std::memcpy(&id[0], &entry, 4);
  std::memcpy(&id[4], &inci, 2);
  return id;
}

std::int32_t EntryOf(const hostsim::Identity& id) {
  std::int32_t entry;
  std::memcpy(&entry, &id[0], 4);
  return entry;
}

// The records of the entry whose stored bytes carry `noteid` where the detail keeps it.
int RecordsOfNote(const hostsim::RecordStore& store, std::int32_t entry, short noteid) {
  int count = 0;
  for (const auto& [id, bytes] : store.All(NoteDetail::kTag)) {
    if (EntryOf(id) != entry || bytes->size() < static_cast<std::size_t>(kRecordSize)) continue;
    std::int16_t stored;
    std::memcpy(&stored, bytes->data() + kNoteIdAt, 2);
    count += stored == noteid ? 1 : 0;
  }
  return count;
}

// Every record that is not the entry's, for the check that they stay as they were.
std::map<hostsim::RecordKey, Bytes> OtherRecords(const hostsim::RecordStore& store,
                                                 std::int32_t entry) {
  std::map<hostsim::RecordKey, Bytes> others;
  for (const auto& [key, bytes] : store.Records()) {
    if (key.tag != NoteDetail::kTag || EntryOf(key.id) != entry) others[key] = bytes;
  }
  return others;
}

std::int32_t PickEntry() {
  switch (script->Below(4)) {
    case 0:
      return 0x0001FFFF;
    case 1:
      return 70000;
    case 2:
      return static_cast<std::int32_t>(script->Dword());
    default:
      return 1 + static_cast<std::int32_t>(script->Below(3));
  }
}

void PlantRecords(hostsim::RecordStore* store, std::int32_t entry) {
  const int records = static_cast<int>(script->Below(6));
  for (int r = 0; r < records; ++r) {
    const std::int16_t inci = script->Below(5) == 0 ? static_cast<std::int16_t>(script->Word())
                                                    : static_cast<std::int16_t>(script->Below(6));
    const std::size_t length = script->Below(3) == 0 ? script->Below(16) : kRecordSize;
    Bytes record(length);
    for (auto& byte : record) byte = script->Byte();
    // Often a real note ID (1 to 4) at byte 10, so the scan has something to find.
    if (length >= static_cast<std::size_t>(kRecordSize) && script->Below(2) == 0) {
      record[kNoteIdAt] = static_cast<std::uint8_t>(1 + script->Below(4));
      record[kNoteIdAt + 1] = 0;
    }
    // A record of another entry, sometimes one that shares the low 16 bits.
    const std::int32_t owner =
        script->Below(4) == 0
            ? (entry & 0xFFFF) + 0x10000 * static_cast<std::int32_t>(script->Below(3))
            : entry;
    store->Put(NoteDetail::kTag, DetailKey(owner, inci), std::move(record));
  }
}

void HostileAnswers(hostsim::SimHost& host) {
  if (script->Below(3) == 0)
    host.FailCall("FX_CreateEData", 1 + static_cast<int>(script->Below(3)));
  if (script->Below(3) == 0) host.FailCall("FX_SaveEData", 1 + static_cast<int>(script->Below(3)));
  if (script->Below(3) == 0)
    host.FailCall("FX_DeleteEData", 1 + static_cast<int>(script->Below(3)));
  if (script->Below(4) == 0) host.FailCall("FX_LoadEData", 1 + static_cast<int>(script->Below(8)));
  host.SetDetailDeleteLeavesGap(script->Below(3) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader reader(data, size);
  script = &reader;
  auto& host = fuzz::FreshHost();
  host.Records().SetTagForm(NoteDetail::kTag, hostsim::TagForm::kDetails);

  const std::int32_t entnum = PickEntry();
  PlantRecords(&host.Records(), entnum);
  HostileAnswers(host);

  // One entry of four notes with IDs 1 to 4, in a record of its own heap block.
  std::vector<unsigned char> record(vaz::exentry::kSize, 0);
  vaz::WriteField<std::int32_t>(record.data(), vaz::exentry::kEntnum, entnum);
  vaz::WriteField<std::uint32_t>(
      record.data(), vaz::exentry::kFlags,
      vaz::exentry::kIsNote | (script->Below(2) ? vaz::exentry::kNoteDetails : 0));
  vaz::WriteField<std::int16_t>(record.data(), vaz::exentry::kNumNotes, 4);
  for (int n = 0; n < 4; ++n) {
    vaz::WriteField<std::int16_t>(vaz::exentry::NoteAt(record.data(), static_cast<std::size_t>(n)),
                                  vaz::exentry::kNoteId, static_cast<std::int16_t>(n + 1));
  }
  FCNoteEntry entry(record.data(), nullptr, 1, 1);

  NoteDetail detail;
  const int operations = 1 + static_cast<int>(script->Below(5));
  for (int op = 0; op < operations; ++op) {
    FCNote* note = entry.GetNoteAt(static_cast<int>(script->Below(4)));
    FUZZ_CHECK(note != nullptr, "the entry has four notes");
    const short noteid = note->GetNoteID();
    const hostsim::RecordStore before = host.Records();
    const auto others = OtherRecords(before, entnum);
    const Bytes identity = detail.Identity();
    const std::uint32_t flags = entry.GetFlags();
    const int deletes = host.CountCalls("FX_DeleteEData");
    const int held = RecordsOfNote(before, entnum, noteid);
    switch (script->Below(3)) {
      case 0: {
        const short found = detail._ScanForNoteID(note);
        if (found >= 0) {
          const Bytes* bytes = host.Records().Find(NoteDetail::kTag, DetailKey(entnum, found));
          FUZZ_CHECK(bytes && bytes->size() >= static_cast<std::size_t>(kRecordSize),
                     "the scan found a record too short to carry a note ID");
          std::int16_t stored;
          std::memcpy(&stored, bytes->data() + kNoteIdAt, 2);
          FUZZ_CHECK(stored == noteid, "the scan found another note's record");
        }
        FUZZ_CHECK(host.Records() == before, "a scan changed the document");
        break;
      }
      case 1: {
        detail.Fill();
        if (detail.SaveAt(note)) {
          const Bytes* bytes =
              host.Records().Find(NoteDetail::kTag, DetailKey(entnum, detail.GetIncident()));
          FUZZ_CHECK(bytes && *bytes == detail.Record(), "SaveAt wrote other bytes");
          FUZZ_CHECK(detail.GetEntryNumber() == entnum, "SaveAt changed the entry number");
          FUZZ_CHECK(entry.GetFlags() & vaz::exentry::kNoteDetails, "SaveAt left the flag clear");
        } else {
          FUZZ_CHECK(host.Records() == before, "a failed SaveAt changed the document");
          FUZZ_CHECK(detail.Identity() == identity, "a failed SaveAt changed the identity");
          FUZZ_CHECK(entry.GetFlags() == flags, "a failed SaveAt changed the flags");
        }
        break;
      }
      default: {
        if (detail.EraseAt(note)) {
          FUZZ_CHECK(RecordsOfNote(host.Records(), entnum, noteid) == held - 1,
                     "EraseAt did not remove exactly the note's record");
        } else {
          FUZZ_CHECK(host.Records() == before, "a failed EraseAt changed the document");
          FUZZ_CHECK(entry.GetFlags() == flags, "a failed EraseAt changed the flags");
          if (held == 0) {
            FUZZ_CHECK(host.CountCalls("FX_DeleteEData") == deletes,
                       "EraseAt asked to delete a record the note does not have");
          }
        }
        break;
      }
    }
    FUZZ_CHECK(OtherRecords(host.Records(), entnum) == others, "another entry's record changed");
  }
  script = nullptr;
  return 0;
}
