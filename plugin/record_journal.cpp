#include "plugin/record_journal.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

bool Before(const void* a, const void* b) {
  return std::less<const void*>()(a, b);
}

// The bytes a record holds: what the host delivered, never more than its storage.
std::int32_t HeldBytes(const __FCBaseData& record) {
  return record.GetDataBlock() && record.GetLoadedSize() > 0 ? record.GetLoadedSize() : 0;
}

}  // namespace

void RecordJournal::Capture(__FCCollection* collection) {
  std::vector<__FCBaseData*> records;
  for (int index = 0; index < collection->GetCount(); ++index) {
    records.push_back(dynamic_cast<__FCBaseData*>(collection->GetItemAt(index)));
  }
  Capture(records);
}

void RecordJournal::Capture(const std::vector<__FCBaseData*>& records) {
  std::size_t total = bytes_.size();
  for (__FCBaseData* record : records) {
    if (record) total += static_cast<std::size_t>(HeldBytes(*record));
  }
  bytes_.reserve(total);
  originals_.reserve(originals_.size() + records.size());
  for (__FCBaseData* record : records) {
    if (!record) continue;
    const std::int32_t size = HeldBytes(*record);
    const auto* first = static_cast<const unsigned char*>(record->GetDataBlock());
    originals_.push_back({record, bytes_.size(), size});
    bytes_.insert(bytes_.end(), first, first + size);
  }
  // The lookup, in address order. Of two captures of one record the later one stays: the
  // earlier no longer names the record.
  by_address_.clear();
  by_address_.reserve(originals_.size());
  for (std::size_t at = 0; at < originals_.size(); ++at) {
    if (originals_[at].record) by_address_.emplace_back(originals_[at].record, at);
  }
  std::sort(by_address_.begin(), by_address_.end(), [](const Address& a, const Address& b) {
    return Before(a.first, b.first) || (a.first == b.first && a.second < b.second);
  });
  auto kept = by_address_.begin();
  for (auto next = by_address_.begin(); next != by_address_.end(); ++next) {
    if (next + 1 != by_address_.end() && (next + 1)->first == next->first) {
      originals_[next->second].record = nullptr;
      continue;
    }
    *kept++ = *next;
  }
  by_address_.erase(kept, by_address_.end());
  next_ = 0;
  // Room for every save up front: once writing has begun, nothing may fail for lack of memory
  // and leave the host's edit open.
  saved_.reserve(originals_.size());
}

bool RecordJournal::Save(__FCBaseData* record) {
  if (!record) return false;
  std::size_t at = next_;
  if (at >= originals_.size() || originals_[at].record != record) {
    const auto found = std::lower_bound(by_address_.begin(), by_address_.end(), record,
                                        [](const Address& entry, const __FCBaseData* wanted) {
                                          return Before(entry.first, wanted);
                                        });
    if (found == by_address_.end() || found->first != record) return false;
    at = found->second;
  }
  next_ = at + 1;
  if (!record->Save()) return false;
  saved_.push_back(at);
  return true;
}

// The record keeps its identity and its loaded size through the command's changes, so with its
// captured bytes back it is the record as it was loaded, and saving it writes what the host held.
bool RecordJournal::RestoreSaved() {
  bool restored = true;
  for (auto at = saved_.rbegin(); at != saved_.rend(); ++at) {
    const Original& original = originals_[*at];
    if (original.size > 0 && original.size <= HeldBytes(*original.record)) {
      std::memcpy(original.record->GetDataBlock(), bytes_.data() + original.offset,
                  static_cast<std::size_t>(original.size));
    }
    if (!original.record->Save()) restored = false;
  }
  saved_.clear();
  return restored;
}
