#include "bench/baseline.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "hostsim/sim_host.h"
#include "platform/win32.h"

// The simulated host's exports, called directly: each takes and answers whole words.
extern "C" {
hostsim::Word WINAPI FX_LoadEData(hostsim::Word, hostsim::Word, hostsim::Word, hostsim::Word,
                                  hostsim::Word);
hostsim::Word WINAPI FX_SaveEData(hostsim::Word, hostsim::Word, hostsim::Word, hostsim::Word,
                                  hostsim::Word);
hostsim::Word WINAPI FX_NextEData(hostsim::Word, hostsim::Word, hostsim::Word, hostsim::Word,
                                  hostsim::Word);
hostsim::Word WINAPI FX_StartScorixEdit(hostsim::Word, hostsim::Word);
hostsim::Word WINAPI FX_EndScorixEdit(hostsim::Word);
hostsim::Word WINAPI FX_GetMaxLayers(hostsim::Word);
}

namespace bench {

namespace {

using hostsim::Word;

constexpr Word kVersion = 0x0F000200;
constexpr Word kCategoryTag = 0x534F4D43;
constexpr Word kTextTag = 0x534F4454;
constexpr Word kShapeTag = 0x4F03444F;
constexpr std::int32_t kCategorySize = 104;
constexpr std::int32_t kShapeSize = 34;
constexpr int kCategoryByte = 26;
constexpr char kEditName[] = "Sort Categories";

using Identity = std::array<std::uint8_t, 8>;

Word P(const void* address) {
  return reinterpret_cast<Word>(address);
}

// A record call answers in 16 bits; any non-zero value is success.
bool Yes(Word answer) {
  return (answer & 0xFFFF) != 0;
}

struct Record {
  Identity id{};
  std::vector<std::uint8_t> bytes;
  std::int32_t loaded = 0;
};

std::uint16_t ItemOf(const Identity& id) {
  return static_cast<std::uint16_t>(id[0] | (id[1] << 8));
}

Identity Item(std::uint16_t number) {
  Identity id{};
  id[0] = static_cast<std::uint8_t>(number & 0xFF);
  id[1] = static_cast<std::uint8_t>(number >> 8);
  return id;
}

// The size the host tells for a record of a kind whose size varies; 0 when it cannot tell.
std::int32_t SizeOf(Word tag, Identity& id) {
  std::int32_t size = 0;
  if (!Yes(FX_LoadEData(tag, P(&id), 0, P(&size), kVersion))) return 0;
  return size < 0 ? 0 : size;
}

// One record at the identity: fixed-size kinds straight into their bytes, the text kind after two
// size queries (one to size the block, one to bound the load), as the command asks.
bool LoadRecord(Word tag, std::int32_t fixed_size, Record* record) {
  std::int32_t capacity = fixed_size;
  if (fixed_size == 0) {
    const std::int32_t block = SizeOf(tag, record->id);
    const std::int32_t asked = SizeOf(tag, record->id);
    capacity = asked < block ? asked : block;
    record->bytes.assign(static_cast<std::size_t>(block), 0);
  } else {
    record->bytes.assign(static_cast<std::size_t>(fixed_size), 0);
  }
  std::int32_t size = capacity;
  if (!Yes(FX_LoadEData(tag, P(&record->id), P(record->bytes.data()), P(&size), kVersion))) {
    return false;
  }
  record->loaded = size < 0 ? 0 : (size > capacity ? capacity : size);
  return record->loaded > 0 && (fixed_size == 0 || record->loaded == fixed_size);
}

// Every record of the kind, from item 1 on (or the first after 0 when item 1 is missing).
bool LoadKind(Word tag, std::int32_t fixed_size, std::vector<Record>* records) {
  records->clear();
  Record record;
  record.id = Item(1);
  if (!LoadRecord(tag, fixed_size, &record)) {
    record.id = Item(0);
    if (!Yes(FX_NextEData(tag, P(&record.id), 0, 0, kVersion))) return true;
    if (ItemOf(record.id) == 1 || !LoadRecord(tag, fixed_size, &record)) return false;
  }
  for (;;) {
    Identity id = record.id;
    records->push_back(std::move(record));
    record = Record();
    if (!Yes(FX_NextEData(tag, P(&id), 0, 0, kVersion))) return true;
    record.id = id;
    if (!LoadRecord(tag, fixed_size, &record)) return false;
  }
}

std::int16_t CategoryId(const Record& category) {
  return static_cast<std::int16_t>(category.bytes[0] | (category.bytes[1] << 8));
}

bool UserCreated(const Record& category) {
  return (category.bytes[102] & 0x80) != 0;
}

// strcmp on the name's bytes, never past its 66-byte field.
int CompareNames(const Record& a, const Record& b) {
  for (int i = 2; i < 2 + 66; ++i) {
    const int x = a.bytes[static_cast<std::size_t>(i)];
    const int y = b.bytes[static_cast<std::size_t>(i)];
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

}  // namespace

bool BaselineSort() {
  std::vector<Record> sorted, slots, texts, shapes;
  if (!LoadKind(kCategoryTag, kCategorySize, &sorted) ||
      !LoadKind(kCategoryTag, kCategorySize, &slots) || !LoadKind(kTextTag, 0, &texts) ||
      !LoadKind(kShapeTag, kShapeSize, &shapes) || sorted.size() != slots.size()) {
    return false;
  }
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (sorted[i].bytes != slots[i].bytes || sorted[i].id != slots[i].id) return false;
  }

  // The exchange sort of the user-created categories; built-in ones keep their slots.
  std::vector<const Record*> order;
  for (const Record& category : sorted) order.push_back(&category);
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    for (std::size_t j = i + 1; j < order.size(); ++j) {
      if (UserCreated(*order[i]) && UserCreated(*order[j]) &&
          CompareNames(*order[i], *order[j]) > 0) {
        std::swap(order[i], order[j]);
      }
    }
  }

  // Where each category number goes: the slot of the first category that had it.
  std::array<int, 256> moved_to;
  moved_to.fill(-1);
  std::array<bool, 256> named{};
  for (const Record& text : texts) {
    if (text.loaded > kCategoryByte) named[text.bytes[kCategoryByte]] = true;
  }
  for (const Record& shape : shapes) named[shape.bytes[kCategoryByte]] = true;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const int oldnumber = CategoryId(*order[i]);
    const int newnumber = CategoryId(slots[i]);
    if (oldnumber != newnumber && (newnumber < 0 || newnumber > 255) && oldnumber >= 0 &&
        oldnumber <= 255 && named[static_cast<std::size_t>(oldnumber)]) {
      return false;
    }
    if (oldnumber >= 0 && oldnumber <= 255 && moved_to[static_cast<std::size_t>(oldnumber)] < 0) {
      moved_to[static_cast<std::size_t>(oldnumber)] = newnumber & 0xFF;
    }
  }

  FX_StartScorixEdit(P(kEditName), kVersion);
  bool saved = true;
  for (std::size_t i = 0; i < order.size() && saved; ++i) {
    Record& slot = slots[i];
    const std::uint8_t low = slot.bytes[0], high = slot.bytes[1];
    std::memcpy(slot.bytes.data(), order[i]->bytes.data(), kCategorySize);
    slot.bytes[0] = low;
    slot.bytes[1] = high;
    if (UserCreated(slot)) {
      saved = Yes(
          FX_SaveEData(kCategoryTag, P(&slot.id), P(slot.bytes.data()), kCategorySize, kVersion));
    }
  }
  for (Record& text : texts) {
    if (!saved) break;
    if (text.loaded > kCategoryByte) {
      const int moved = moved_to[text.bytes[kCategoryByte]];
      if (moved >= 0) text.bytes[kCategoryByte] = static_cast<std::uint8_t>(moved);
    }
    const std::int32_t size = SizeOf(kTextTag, text.id);
    saved = size > 0 && size <= text.loaded &&
            Yes(FX_SaveEData(kTextTag, P(&text.id), P(text.bytes.data()), static_cast<Word>(size),
                             kVersion));
  }
  for (Record& shape : shapes) {
    if (!saved) break;
    const int moved = moved_to[shape.bytes[kCategoryByte]];
    if (moved >= 0) shape.bytes[kCategoryByte] = static_cast<std::uint8_t>(moved);
    saved = Yes(FX_SaveEData(kShapeTag, P(&shape.id), P(shape.bytes.data()), kShapeSize, kVersion));
  }
  FX_EndScorixEdit(kVersion);
  return saved;
}

std::uintptr_t DirectGetMaxLayers() {
  return FX_GetMaxLayers(kVersion);
}

}  // namespace bench
