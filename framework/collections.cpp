#include "framework/collections.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

// The largest element array this build can address.
constexpr long long kMaxArraySlots = static_cast<long long>(SIZE_MAX / sizeof(__FCBase*)) < INT_MAX
                                         ? static_cast<long long>(SIZE_MAX / sizeof(__FCBase*))
                                         : INT_MAX;

// The identity as one number in the host's walking order: its four 16-bit words, the first the
// most significant.
std::uint64_t WalkOrderKey(const EDataID& id) {
  std::uint64_t key = 0;
  for (int word = 0; word < 4; ++word) {
    key = key << 16 | static_cast<std::uint64_t>(id.bytes[2 * word] | id.bytes[2 * word + 1] << 8);
  }
  return key;
}

// The identities a walk has delivered, to tell when it comes back to one. The host walks in
// identity order, so each new identity is normally above every earlier one and is appended to
// the sorted list at once; only one that is not has to be looked for (and put in its place).
class DeliveredIdentities {
 public:
  // False when the identity was delivered before.
  bool Insert(const EDataID& id) {
    const std::uint64_t key = WalkOrderKey(id);
    if (keys_.empty() || key > keys_.back()) {
      keys_.push_back(key);
      return true;
    }
    const auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (at != keys_.end() && *at == key) return false;
    keys_.insert(at, key);
    return true;
  }

 private:
  std::vector<std::uint64_t> keys_;
};

}  // namespace

__FCCollection::~__FCCollection() {
  _FreeElements();
  delete[] _items;
  _items = nullptr;
  _count = 0;
}

void __FCCollection::DebugDump() {
  __FCBase::DebugDump();
  DebugOutDigit("Array size: ", _arraysize);
  DebugOutDigit("Number of items: ", _count);
  for (int i = 0; i < _count; ++i) {
    DebugOutDigit("===> Object item: ", i);
    if (__FCBase* element = GetItemAt(i)) element->DebugDump();
  }
}

__FCBase* __FCCollection::GetItemAt(int index) const {
  if (index < 0 || index >= _count || !_items) return nullptr;
  return _items[index];
}

bool __FCCollection::ElementExists(const __FCBase* element) const {
  if (!element) return false;
  for (int i = 0; i < _count; ++i) {
    if (_items[i] == element) return true;
  }
  return false;
}

void __FCCollection::Add(__FCBase* element) {
  _RequireElement(1);
  _items[_count] = element;
  ++_count;
}

void __FCCollection::_RequireElement(int extra) {
  if (extra <= 0) return;
  const long long needed = static_cast<long long>(_count) + extra;
  if (_arraysize >= needed) return;
  // The next multiple of ten strictly above what is needed.
  const long long size = (needed + kGrowthBlock) / kGrowthBlock * kGrowthBlock;
  if (size > kMaxArraySlots) throw std::bad_alloc();
  auto** grown = new __FCBase*[static_cast<std::size_t>(size)];
  for (int i = 0; i < _count; ++i) grown[i] = _items[i];
  for (long long i = _count; i < size; ++i) grown[i] = nullptr;
  delete[] _items;
  _items = grown;
  _arraysize = static_cast<int>(size);
}

void __FCCollection::_FreeElements() {
  for (int i = 0; i < _count; ++i) {
    delete _items[i];
    _items[i] = nullptr;
  }
}

int __FCCollection::ForEach(FCIteratorHandler* handler) {
  return ToEndFrom(0, handler);
}

int __FCCollection::ToEndFrom(int start, FCIteratorHandler* handler) {
  if (!handler) return 0;
  int accepted = 0;
  // _count is read on every round: a handler may append elements, and they are visited too.
  for (int i = start < 0 ? 0 : start; i < _count; ++i) {
    __FCBase* element = GetItemAt(i);
    if (!element) continue;
    if (!handler->Iterate(element)) break;
    ++accepted;
  }
  return accepted;
}

int __FCCollection::ForEachIndex(FCIteratorHandler* handler) {
  if (!handler) return 0;
  int accepted = 0;
  for (int i = 0; i < _count; ++i) {
    __FCBase* element = GetItemAt(i);
    if (!element) continue;
    if (!handler->IterateIndex(element, i)) break;
    ++accepted;
  }
  return accepted;
}

__FCBase* __FCCollection::Find(FCIteratorHandler* handler) {
  if (!handler) return nullptr;
  for (int i = 0; i < _count; ++i) {
    __FCBase* element = GetItemAt(i);
    if (element && handler->Match(element)) return element;
  }
  return nullptr;
}

void __FCCollection::Sort(FCIteratorHandler* handler) {
  if (!handler) return;
  for (int i = 0; i < _count - 1; ++i) {
    for (int j = i + 1; j < _count; ++j) {
      __FCBase* earlier = GetItemAt(i);
      __FCBase* later = GetItemAt(j);
      if (!earlier || !later) continue;
      if (handler->Compare(earlier, later) > 0) std::swap(_items[i], _items[j]);
    }
  }
}

// The loader's record is cloned into the collection after every successful load. A load the
// host answers with no bytes did not deliver its record, and a host whose walk comes back to a
// record it already handed out would keep the walk going for ever: either ends the load as
// incomplete.
//
// The clones join the collection once the walk is over, and its array grows to the size that
// adding them one at a time would have given it in one step: a walk over many thousands of
// records would otherwise copy the array again every ten records.
void __FCCollectionData::LoadAll(std::uint32_t version) {
  ClearElements();
  _loadreachedend = false;
  std::unique_ptr<__FCBaseData> loader(CreateElement(version));
  if (!loader) return;
  std::vector<std::unique_ptr<__FCBase>> clones;
  DeliveredIdentities delivered;
  bool stopped = false;
  bool loaded = loader->LoadFirst();
  while (loaded) {
    if (!loader->IsLoaded() || !delivered.Insert(loader->GetDataID())) {
      stopped = true;
      break;
    }
    std::unique_ptr<__FCBase> clone(loader->CreateClone());
    clones.push_back(std::move(clone));  // may throw for want of memory: the clones are released
    loaded = loader->LoadNext();
  }
  if (!clones.empty()) {
    // Adding them one by one ends at the first multiple of ten that holds them all, unless the
    // array is that large already (_RequireElement rounds count + extra up past a multiple of
    // ten, so asking for one slot fewer than that multiple gives exactly the multiple).
    const long long needed = static_cast<long long>(clones.size());
    const long long size = (needed + kGrowthBlock - 1) / kGrowthBlock * kGrowthBlock;
    if (size > INT_MAX) throw std::bad_alloc();
    _RequireElement(static_cast<int>(size) - 1);
    for (auto& clone : clones) {
      Add(clone.get());
      clone.release();
    }
  }
  _loadreachedend = !stopped && loader->ReachedEndOfRecords();
}
