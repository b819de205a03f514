#include "hostsim/record_store.h"

#include <limits>
#include <set>
#include <tuple>

namespace hostsim {

Identity ItemIdentity(std::uint16_t cmper, std::int16_t inci) {
  Identity id{};
  const auto inci_bits = static_cast<std::uint16_t>(inci);
  id[0] = static_cast<std::uint8_t>(cmper & 0xFF);
  id[1] = static_cast<std::uint8_t>(cmper >> 8);
  id[2] = static_cast<std::uint8_t>(inci_bits & 0xFF);
  id[3] = static_cast<std::uint8_t>(inci_bits >> 8);
  return id;
}

std::uint16_t IdentityWord(const Identity& id, int index) {
  return static_cast<std::uint16_t>(id[2 * index] | (id[2 * index + 1] << 8));
}

bool RecordKey::operator<(const RecordKey& other) const {
  if (tag != other.tag) return tag < other.tag;
  for (int word = 0; word < 4; ++word) {
    const std::uint16_t mine = IdentityWord(id, word);
    const std::uint16_t theirs = IdentityWord(other.id, word);
    if (mine != theirs) return mine < theirs;
  }
  return false;
}

const Bytes* RecordStore::Find(std::uint32_t tag, const Identity& id) const {
  auto found = records_.find({tag, id});
  return found == records_.end() ? nullptr : &found->second;
}

void RecordStore::Put(std::uint32_t tag, const Identity& id, Bytes bytes) {
  records_[{tag, id}] = std::move(bytes);
}

bool RecordStore::Erase(std::uint32_t tag, const Identity& id) {
  return records_.erase({tag, id}) > 0;
}

std::optional<Identity> RecordStore::Next(std::uint32_t tag, const Identity& id) const {
  auto after = records_.upper_bound({tag, id});
  if (after == records_.end() || after->first.tag != tag) return std::nullopt;
  return after->first.id;
}

std::optional<Identity> RecordStore::Previous(std::uint32_t tag, const Identity& id) const {
  auto at = records_.lower_bound({tag, id});
  if (at == records_.begin()) return std::nullopt;
  --at;
  if (at->first.tag != tag) return std::nullopt;
  return at->first.id;
}

std::optional<std::uint16_t> RecordStore::NextFreeNumber(std::uint32_t tag,
                                                         std::uint16_t lowest) const {
  constexpr std::uint16_t kAskForNew = 0xFFFF;
  std::set<std::uint16_t> used;
  for (auto at = records_.lower_bound({tag, Identity{}});
       at != records_.end() && at->first.tag == tag; ++at) {
    used.insert(IdentityWord(at->first.id, 0));
  }
  used.erase(kAskForNew);
  if (used.empty() || *used.rbegin() < lowest) {
    return lowest == kAskForNew ? std::nullopt : std::optional<std::uint16_t>(lowest);
  }
  const int after_highest = *used.rbegin() + 1;
  if (after_highest < kAskForNew) return static_cast<std::uint16_t>(after_highest);
  for (std::uint32_t number = lowest; number < kAskForNew; ++number) {
    if (!used.count(static_cast<std::uint16_t>(number))) return static_cast<std::uint16_t>(number);
  }
  return std::nullopt;
}

void RecordStore::SetTagForm(std::uint32_t tag, TagForm form) {
  if (form == TagForm::kRaw) {
    forms_.erase(tag);
  } else {
    forms_[tag] = form;
  }
}

TagForm RecordStore::FormOf(std::uint32_t tag) const {
  const auto found = forms_.find(tag);
  return found == forms_.end() ? TagForm::kRaw : found->second;
}

std::vector<std::pair<Identity, const Bytes*>> RecordStore::All(std::uint32_t tag) const {
  std::vector<std::pair<Identity, const Bytes*>> all;
  for (const auto& [key, bytes] : records_) {
    if (key.tag == tag) all.emplace_back(key.id, &bytes);
  }
  return all;
}

bool FrameKey::operator<(const FrameKey& other) const {
  return std::tie(staff, measure, layer) < std::tie(other.staff, other.measure, other.layer);
}

namespace {

// The slot map of `key`; null for a key other than 0 that has none.
const LayerSetup::SlotMap* MapOfKey(const LayerSetup& setup, std::uint16_t key) {
  if (key == 0) return &setup.slot_staves;
  const auto found = setup.keyed_slot_staves.find(key);
  return found == setup.keyed_slot_staves.end() ? nullptr : &found->second;
}

}  // namespace

std::int16_t LayerSetup::StaffOfSlot(std::int16_t slot, std::uint16_t key) const {
  const SlotMap* map = MapOfKey(*this, key);
  if (!map) return slot;
  const auto found = map->find(slot);
  return found == map->end() ? slot : found->second;
}

std::int16_t LayerSetup::SlotOfStaff(std::int16_t staff, std::uint16_t key) const {
  const SlotMap* map = MapOfKey(*this, key);
  if (!map) return staff;
  for (const auto& [slot, shown] : *map) {
    if (shown == staff) return slot;
  }
  return staff;
}

const Bytes* RecordStore::FindFrame(const FrameKey& key) const {
  const auto found = frames_.find(key);
  return found == frames_.end() ? nullptr : &found->second;
}

void RecordStore::PutFrame(const FrameKey& key, Bytes entries) {
  frames_[key] = std::move(entries);
}

bool RecordStore::HasFrame(const FrameKey& key) const {
  if (frames_.count(key)) return true;
  if (key.layer < 0 || key.layer >= layers_.layers) return false;
  const auto first = frames_.lower_bound(
      FrameKey{key.staff, key.measure, std::numeric_limits<std::int16_t>::min()});
  return first != frames_.end() && first->first.staff == key.staff &&
         first->first.measure == key.measure;
}

}  // namespace hostsim
