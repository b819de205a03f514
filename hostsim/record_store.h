// The simulated host's document records: bytes stored under a tag and an 8-byte identity.
//
// Records of one tag are ordered by their identity read as four unsigned 16-bit words, the first
// the most significant; the walk functions step in that order.
//
// Beside the records the store keeps, per tag, how a document names records of a tag that has no
// section of its own (raw, raw texts, runs of incidents), so that a saved document writes them
// back the way they were loaded. The host never looks at it, and comparing two stores ignores
// it: two documents are the same when their records are.
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

// How a document writes the records of a tag that has no section of its own.
enum class TagForm { kRaw, kTexts, kIncidents };

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
  // The item number (first word) a record of `tag` created with 0xFFFF gets: one more than the
  // highest in use, at least `lowest` (0 for kinds counted from 0). When that would be 0xFFFF,
  // which asks for a new number and so can never be stored, the lowest unused number from
  // `lowest` up; nothing when every number is in use.
  std::optional<std::uint16_t> NextFreeNumber(std::uint32_t tag, std::uint16_t lowest = 1) const;
  // Every record of `tag` in identity order.
  std::vector<std::pair<Identity, const Bytes*>> All(std::uint32_t tag) const;
  const std::map<RecordKey, Bytes>& Records() const { return records_; }
  void Clear() {
    records_.clear();
    forms_.clear();
  }
  void SetTagForm(std::uint32_t tag, TagForm form);
  TagForm FormOf(std::uint32_t tag) const;
  bool operator==(const RecordStore& other) const { return records_ == other.records_; }
  bool operator!=(const RecordStore& other) const { return !(*this == other); }

 private:
  std::map<RecordKey, Bytes> records_;
  std::map<std::uint32_t, TagForm> forms_;  // tags not listed are raw
};

}  // namespace hostsim
