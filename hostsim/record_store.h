// The simulated host's document records: bytes stored under a tag and an 8-byte identity.
//
// Records of one tag are ordered by their identity read as four unsigned 16-bit words, the first
// the most significant; the walk functions step in that order.
//
// Beside the records the store keeps, per tag, how a document names records of a tag that has no
// section of its own (raw, raw texts, runs of incidents, entry details), so that a saved document
// writes them back the way they were loaded. The host looks at it only to number entry details,
// and comparing two stores ignores it: two documents are the same when their records, their
// frames, their layer setup and their selection are.
//
// The store also holds the document's music: the entry records of each (staff, measure, layer)
// that the host lends as frames, and how many layers a staff has, which are hidden, and which
// staff each slot shows; and the stretch of it the user has selected, if any.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace hostsim {

using Identity = std::array<std::uint8_t, 8>;
using Bytes = std::vector<std::uint8_t>;

// An identity whose first word is `cmper` and second `inci` (the item-numbered arm).
Identity ItemIdentity(std::uint16_t cmper, std::int16_t inci = 0);
std::uint16_t IdentityWord(const Identity& id, int index);

// How a document writes the records of a tag that has no section of its own.
// kDetails: entry details, which the host also numbers as such (see detail_records.h).
enum class TagForm { kRaw, kTexts, kIncidents, kDetails };

struct RecordKey {
  std::uint32_t tag;
  Identity id;
  bool operator<(const RecordKey& other) const;
  bool operator==(const RecordKey& other) const { return tag == other.tag && id == other.id; }
};

// The staff (instrument), measure and layer (counted from 0) whose entries one frame holds.
struct FrameKey {
  std::int16_t staff = 0;
  std::int16_t measure = 0;
  std::int16_t layer = 0;
  bool operator<(const FrameKey& other) const;
  bool operator==(const FrameKey& other) const {
    return staff == other.staff && measure == other.measure && layer == other.layer;
  }
};

// How the document's staves are laid out: the host's answers to FX_GetMaxLayers,
// FX_GetShowLayer, FX_SlotToInst and FX_InstToSlot.
struct LayerSetup {
  static constexpr std::int16_t kDefaultLayers = 4;
  using SlotMap = std::map<std::int16_t, std::int16_t>;
  std::int16_t layers = kDefaultLayers;
  std::set<std::int16_t> hidden;
  // Slot -> staff for the slots that do not show the staff of their own number; one-to-one,
  // every staff named is a slot of the map too. This is the map of slot key 0.
  SlotMap slot_staves;
  // The maps of the other slot keys (1 to 65535), each with the same rules; a key without one
  // shows every slot's own staff.
  std::map<std::uint16_t, SlotMap> keyed_slot_staves;

  bool IsShown(std::int16_t layer) const {
    return layer >= 0 && layer < layers && hidden.count(layer) == 0;
  }
  // The staff a slot of `key` shows, and back; the identity where the key's map says nothing.
  std::int16_t StaffOfSlot(std::int16_t slot, std::uint16_t key = 0) const;
  std::int16_t SlotOfStaff(std::int16_t staff, std::uint16_t key = 0) const;
  bool IsDefault() const { return *this == LayerSetup(); }
  bool operator==(const LayerSetup& other) const {
    return layers == other.layers && hidden == other.hidden && slot_staves == other.slot_staves &&
           keyed_slot_staves == other.keyed_slot_staves;
  }
};

// A stretch of the score as the host's region record holds it: from a slot (of a slot key), a
// measure and a position inside it, to a slot, a measure and a position, both ends included.
struct RegionSpan {
  std::uint16_t start_slot_key = 0;
  std::int16_t start_slot = 0;
  std::int16_t start_measure = 0;
  std::int32_t start_position = 0;
  std::uint16_t end_slot_key = 0;
  std::int16_t end_slot = 0;
  std::int16_t end_measure = 0;
  std::int32_t end_position = 0x7FFFFFFF;  // the end of the last measure, however long

  bool operator==(const RegionSpan& other) const {
    return start_slot_key == other.start_slot_key && start_slot == other.start_slot &&
           start_measure == other.start_measure && start_position == other.start_position &&
           end_slot_key == other.end_slot_key && end_slot == other.end_slot &&
           end_measure == other.end_measure && end_position == other.end_position;
  }
  bool operator!=(const RegionSpan& other) const { return !(*this == other); }
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
    frames_.clear();
    layers_ = LayerSetup();
    selection_.reset();
  }
  void SetTagForm(std::uint32_t tag, TagForm form);
  TagForm FormOf(std::uint32_t tag) const;

  // --- Music ---
  // The entries of each (staff, measure, layer) the document names: 146-byte entry records back
  // to back (none for a layer named without entries).
  const std::map<FrameKey, Bytes>& Frames() const { return frames_; }
  const Bytes* FindFrame(const FrameKey& key) const;
  void PutFrame(const FrameKey& key, Bytes entries);
  // Whether the host has a frame for `key`: the document names it, or names another layer of the
  // same staff and measure and `key`'s layer is one of the staff's layers (an empty layer).
  bool HasFrame(const FrameKey& key) const;
  LayerSetup& Layers() { return layers_; }
  const LayerSetup& Layers() const { return layers_; }
  // The user's selection, which FX_GetCurERegions reports; nothing when none is made.
  const std::optional<RegionSpan>& Selection() const { return selection_; }
  void SetSelection(std::optional<RegionSpan> selection) { selection_ = selection; }

  bool operator==(const RecordStore& other) const {
    return records_ == other.records_ && frames_ == other.frames_ && layers_ == other.layers_ &&
           selection_ == other.selection_;
  }
  bool operator!=(const RecordStore& other) const { return !(*this == other); }

 private:
  std::map<RecordKey, Bytes> records_;
  std::map<std::uint32_t, TagForm> forms_;  // tags not listed are raw
  std::map<FrameKey, Bytes> frames_;
  LayerSetup layers_;
  std::optional<RegionSpan> selection_;
};

}  // namespace hostsim
