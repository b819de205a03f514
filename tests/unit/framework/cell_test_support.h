// Music for the cell, region and browser tests: entry records put into the simulated host's
// document, MIDI expression records, a region record, and host answers for the slot conversions.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/regions.h"
#include "hostsim/entry_records.h"
#include "tests/unit/framework/framework_test_support.h"

namespace cell_test {

using hostsim::Bytes;
using hostsim::Word;

// One entry: its number (unique in a test, so a test can tell which staff it came from), its
// position in the measure and its note IDs (none: a rest).
struct Entry {
  std::int32_t entnum;
  std::int32_t position;
  std::vector<std::int16_t> note_ids = {};
};

inline Bytes EntryRecords(const std::vector<Entry>& entries) {
  namespace er = hostsim::entry_record;
  Bytes bytes(er::kSize * entries.size(), 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::uint8_t* at = bytes.data() + er::kSize * i;
    hostsim::WriteU32(at + er::kEntryNumber, static_cast<std::uint32_t>(entries[i].entnum));
    hostsim::WriteU16(at + er::kDuration, 1024);
    hostsim::WriteU32(at + er::kPosition, static_cast<std::uint32_t>(entries[i].position));
    const auto& ids = entries[i].note_ids;
    if (!ids.empty()) hostsim::WriteU32(at + er::kFlags, er::kIsNote);
    hostsim::WriteU16(at + er::kNoteCount, static_cast<std::uint16_t>(ids.size()));
    for (std::size_t n = 0; n < ids.size(); ++n) {
      hostsim::NoteFields note;
      note.displacement = static_cast<std::int16_t>(n);
      note.note_id = ids[n];
      note.note_flags = hostsim::IdMirrorBits(ids[n]);
      hostsim::WriteNote(at, n, note);
    }
  }
  return bytes;
}

inline void PutEntries(std::int16_t staff, std::int16_t measure, std::int16_t layer,
                       const std::vector<Entry>& entries) {
  hostsim::SimHost::Instance().Records().PutFrame(hostsim::FrameKey{staff, measure, layer},
                                                  EntryRecords(entries));
}

// The identity of a record kept per cell: staff, measure, incident, then zero.
inline hostsim::Identity CellIdentity(std::uint16_t staff, std::uint16_t measure,
                                      std::int16_t inci) {
  hostsim::Identity id{};
  const std::uint16_t words[] = {staff, measure, static_cast<std::uint16_t>(inci), 0};
  for (int i = 0; i < 4; ++i) {
    id[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(words[i] & 0xFF);
    id[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>(words[i] >> 8);
  }
  return id;
}

inline Bytes MidiRecord(std::int32_t position, std::uint8_t status, std::int16_t data1,
                        std::int16_t data2) {
  Bytes bytes(10, 0);
  hostsim::WriteU32(bytes.data(), static_cast<std::uint32_t>(position));
  bytes[4] = status;
  bytes[5] = 0x5A;
  hostsim::WriteU16(bytes.data() + 6, static_cast<std::uint16_t>(data1));
  hostsim::WriteU16(bytes.data() + 8, static_cast<std::uint16_t>(data2));
  return bytes;
}

inline void PutMidi(std::uint16_t staff, std::uint16_t measure, std::int16_t inci, Bytes bytes) {
  hostsim::SimHost::Instance().Records().Put(FCMidiExpression::kTag,
                                             CellIdentity(staff, measure, inci), std::move(bytes));
}

inline EREGION Region(std::int16_t startslot, std::int16_t startmeas, std::int32_t startpos,
                      std::int16_t endslot, std::int16_t endmeas, std::int32_t endpos,
                      std::uint16_t startkey = 0, std::uint16_t endkey = 0) {
  EREGION region;
  std::memset(&region, 0, sizeof region);
  region.startslotkey = startkey;
  region.startslot = startslot;
  region.startmeas = startmeas;
  region.startpos = startpos;
  region.endslotkey = endkey;
  region.endslot = endslot;
  region.endmeas = endmeas;
  region.endpos = endpos;
  return region;
}

// The host's slot conversions replaced by arithmetic a test can predict: slot s under key k shows
// staff s + offset + 100 k, and staff t is slot t - offset under key 0.
inline void ShiftSlots(std::int16_t offset) {
  auto& host = hostsim::SimHost::Instance();
  host.SetBehavior("FX_SlotToInst", [offset](const Word* a) -> Word {
    const auto slot = static_cast<std::int16_t>(a[0] & 0xFFFF);
    const auto key = static_cast<std::uint16_t>(a[1] & 0xFFFF);
    return static_cast<Word>(static_cast<std::intptr_t>(slot + offset + 100 * key));
  });
  host.SetBehavior("FX_InstToSlot", [offset](const Word* a) -> Word {
    const auto staff = static_cast<std::int16_t>(a[0] & 0xFFFF);
    return static_cast<Word>(static_cast<std::intptr_t>(staff - offset));
  });
}

// FX_GetCurERegions writing `document` to its third output and a different region to the second.
inline void ReportRegions(const EREGION& document) {
  hostsim::SimHost::Instance().SetBehavior("FX_GetCurERegions", [document](const Word* a) -> Word {
    const EREGION selection = Region(9, 9, 9, 9, 9, 9);
    if (a[1]) std::memcpy(reinterpret_cast<void*>(a[1]), &selection, sizeof selection);
    if (a[2]) std::memcpy(reinterpret_cast<void*>(a[2]), &document, sizeof document);
    return 1;
  });
}

// The identities (staff, measure, incident) of every FX_LoadEData call from now on, read when the
// call arrives.
inline std::shared_ptr<std::vector<std::vector<int>>> WatchLoadIdentities() {
  auto identities = std::make_shared<std::vector<std::vector<int>>>();
  hostsim::SimHost::Instance().ObserveCalls([identities](const std::string& name, const Word* a) {
    if (name != "FX_LoadEData") return;
    identities->push_back({WordAt(a[1], 0), WordAt(a[1], 1),
                           static_cast<std::int16_t>(WordAt(a[1], 2)), WordAt(a[1], 3)});
  });
  return identities;
}

}  // namespace cell_test
