// The simulated host's document records: bytes stored under a tag and an 8-byte identity.
//
// Records of one tag are ordered by their identity read as four unsigned 16-bit words, the first
// the most significant; the walk functions step in that order.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace hostsim {

using Identity = std::array<std::uint8_t, 8>;
using Bytes = std::vector<std::uint8_t>;

// An identity whose first word is `cmper` and second `inci` (the item-numbered arm).
Identity ItemIdentity(std::uint16_t cmper, std::int16_t inci = 0);
std::uint16_t IdentityWord(const Identity& id, int index);

struct RecordKey {
  std::uint32_t tag;
  Identity id;
  bool operator<(const RecordKey& other) const;
  bool operator==(const RecordKey& other) const { return tag == other.tag && id == other.id; }
};

class RecordStore {
 public:
  const Bytes* Find(std::uint32_t tag, const Identity& id) const;
  void Put(std::uint32_t tag, const Identity& id, Bytes bytes);
  bool Erase(std::uint32_t tag, const Identity& id);
  // The first record of `tag` after (or before) `id` in identity order.
  std::optional<Identity> Next(std::uint32_t tag, const Identity& id) const;
  std::optional<Identity> Previous(std::uint32_t tag, const Identity& id) const;
  // The next free item number (first word) of `tag`, for a record created with 0xFFFF.
  std::uint16_t NextFreeNumber(std::uint32_t tag) const;
  // Every record of `tag` in identity order.
  std::vector<std::pair<Identity, const Bytes*>> All(std::uint32_t tag) const;
  const std::map<RecordKey, Bytes>& Records() const { return records_; }
  void Clear() { records_.clear(); }
  bool operator==(const RecordStore& other) const { return records_ == other.records_; }
  bool operator!=(const RecordStore& other) const { return !(*this == other); }

 private:
  std::map<RecordKey, Bytes> records_;
};

}  // namespace hostsim
