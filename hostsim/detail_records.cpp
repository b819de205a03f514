#include "hostsim/detail_records.h"

#include <algorithm>

#include "hostsim/entry_records.h"

namespace hostsim {

namespace {

constexpr std::size_t kIncidentByte = 4;
constexpr std::size_t kSpareByte = 6;

// The incidents from 0 to 32767 in use under the entry (and bytes 6-7) of `id`, in order.
std::vector<std::int16_t> IncidentsOfEntry(const RecordStore& store, std::uint32_t tag,
                                           const Identity& id) {
  std::vector<std::int16_t> incidents;
  for (const auto& [other, record] : store.All(tag)) {
    if (!std::equal(other.begin(), other.begin() + kIncidentByte, id.begin()) ||
        !std::equal(other.begin() + kSpareByte, other.end(), id.begin() + kSpareByte)) {
      continue;
    }
    const auto inci = static_cast<std::int16_t>(ReadU16(other.data() + kIncidentByte));
    if (inci >= 0) incidents.push_back(inci);
  }
  return incidents;
}

Identity WithIncident(Identity id, std::int16_t inci) {
  WriteU16(id.data() + kIncidentByte, static_cast<std::uint16_t>(inci));
  return id;
}

}  // namespace

Identity DetailIdentity(const DetailPlace& place) {
  Identity id{};
  WriteU32(id.data(), static_cast<std::uint32_t>(place.entry));
  return WithIncident(id, place.inci);
}

std::optional<DetailPlace> DetailPlaceOf(const Identity& id) {
  if (id[kSpareByte] != 0 || id[kSpareByte + 1] != 0) return std::nullopt;
  return DetailPlace{ReadS32(id.data()), ReadS16(id.data() + kIncidentByte)};
}

bool CreateDetail(RecordStore* store, std::uint32_t tag, Identity* id, Bytes record) {
  Identity identity = *id;
  if (ReadU16(identity.data() + kIncidentByte) == kNewIncident) {
    const std::vector<std::int16_t> used = IncidentsOfEntry(*store, tag, identity);
    const std::int16_t highest = used.empty() ? -1 : used.back();
    if (highest == kLastIncident) return false;
    identity = WithIncident(identity, static_cast<std::int16_t>(highest + 1));
  }
  if (store->Find(tag, identity)) return false;
  store->Put(tag, identity, std::move(record));
  *id = identity;
  return true;
}

bool DeleteDetail(RecordStore* store, std::uint32_t tag, const Identity& id, bool leave_gap) {
  if (!store->Erase(tag, id)) return false;
  const auto deleted = static_cast<std::int16_t>(ReadU16(id.data() + kIncidentByte));
  if (leave_gap || deleted < 0) return true;
  for (const std::int16_t inci : IncidentsOfEntry(*store, tag, id)) {
    if (inci <= deleted) continue;
    const Identity from = WithIncident(id, inci);
    Bytes moved = *store->Find(tag, from);
    store->Erase(tag, from);
    store->Put(tag, WithIncident(id, static_cast<std::int16_t>(inci - 1)), std::move(moved));
  }
  return true;
}

bool IsListedDetail(const Identity& id) {
  const auto place = DetailPlaceOf(id);
  return place && place->inci >= 0;
}

std::map<std::int32_t, std::vector<DetailRecord>> DetailsByEntry(const RecordStore& store) {
  // The store holds the records by tag and then identity, in which an entry's records of one tag
  // lie together in incident order: each entry's list comes out in tag and incident order.
  std::map<std::int32_t, std::vector<DetailRecord>> details;
  for (const auto& [key, record] : store.Records()) {
    if (store.FormOf(key.tag) != TagForm::kDetails || !IsListedDetail(key.id)) continue;
    const DetailPlace place = *DetailPlaceOf(key.id);
    details[place.entry].push_back(DetailRecord{key.tag, place.inci, &record});
  }
  return details;
}

}  // namespace hostsim
