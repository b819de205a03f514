#include "hostsim/record_store.h"

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

std::uint16_t RecordStore::NextFreeNumber(std::uint32_t tag) const {
  std::uint16_t highest = 0;
  for (const auto& [key, bytes] : records_) {
    if (key.tag != tag) continue;
    const std::uint16_t number = IdentityWord(key.id, 0);
    if (number != 0xFFFF && number > highest) highest = number;
  }
  return static_cast<std::uint16_t>(highest + 1);
}

std::vector<std::pair<Identity, const Bytes*>> RecordStore::All(std::uint32_t tag) const {
  std::vector<std::pair<Identity, const Bytes*>> all;
  for (const auto& [key, bytes] : records_) {
    if (key.tag == tag) all.emplace_back(key.id, &bytes);
  }
  return all;
}

}  // namespace hostsim
