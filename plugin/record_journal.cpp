#include "plugin/record_journal.h"

void RecordJournal::Capture(__FCCollection* collection) {
  for (int index = 0; index < collection->GetCount(); ++index) {
    auto* record = dynamic_cast<__FCBaseData*>(collection->GetItemAt(index));
    if (record) originals_[record].reset(record->CreateClone());
  }
  // Room for every save up front: once writing has begun, nothing may fail for lack of memory
  // and leave the host's edit open.
  saved_.reserve(originals_.size());
}

bool RecordJournal::Save(__FCBaseData* record) {
  auto original = originals_.find(record);
  if (original == originals_.end() || !record->Save()) return false;
  saved_.push_back(original->second.get());
  return true;
}

bool RecordJournal::RestoreSaved() {
  bool restored = true;
  for (auto original = saved_.rbegin(); original != saved_.rend(); ++original) {
    if (!(*original)->Save()) restored = false;
  }
  saved_.clear();
  return restored;
}
