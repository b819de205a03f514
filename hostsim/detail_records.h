// Entry details as the simulated host keeps them: records of a tag the document declares as a
// detail tag (TagForm::kDetails), attached to an entry by its 32-bit number and numbered by
// incident under it.
//
// A detail identity: bytes 0-3 the entry number (signed 32-bit, little-endian), bytes 4-5 the
// incident (signed 16-bit), bytes 6-7 zero. The host numbers the records of one tag under one
// entry from incident 0 upward: a create that asks for incident 0xFFFF gets the next one, and a
// delete moves every incident above the one deleted down by one (unless the host is told to leave
// the gap), so the numbering stays without gaps.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "hostsim/record_store.h"

namespace hostsim {

// The incident word of a create that asks for the next incident.
constexpr std::uint16_t kNewIncident = 0xFFFF;
// The highest incident the host gives.
constexpr std::int16_t kLastIncident = 0x7FFF;

struct DetailPlace {
  std::int32_t entry = 0;
  std::int16_t inci = 0;
  bool operator==(const DetailPlace& other) const {
    return entry == other.entry && inci == other.inci;
  }
};

Identity DetailIdentity(const DetailPlace& place);
// Nothing when bytes 6-7 are not zero (no detail identity).
std::optional<DetailPlace> DetailPlaceOf(const Identity& id);

// FX_CreateEData of a detail tag: an incident word of 0xFFFF takes the next incident under the
// identity's entry (one more than the highest from 0 to 32767 in use, 0 when none is), written
// back into `id`; the entry number and bytes 6-7 are never changed. Refused (false, nothing
// stored) when the identity names a record the host holds, or when incident 32767 is in use.
bool CreateDetail(RecordStore* store, std::uint32_t tag, Identity* id, Bytes record);

// FX_DeleteEData of a detail tag: removes the record, then, unless `leave_gap`, moves each
// incident of the same entry above it (up to 32767) down by one. False when there is no such
// record.
bool DeleteDetail(RecordStore* store, std::uint32_t tag, const Identity& id, bool leave_gap);

// One detail record, for listings and documents.
struct DetailRecord {
  std::uint32_t tag;
  std::int16_t inci;
  const Bytes* bytes;
};

// The records of every detail tag whose identity is a detail identity with an incident from 0 to
// 32767, by entry number, each entry's in tag and then incident order. The pointers live as long
// as the store is not changed.
std::map<std::int32_t, std::vector<DetailRecord>> DetailsByEntry(const RecordStore& store);

// Whether a detail record can stand in a document's "details" section.
bool IsListedDetail(const Identity& id);

}  // namespace hostsim
