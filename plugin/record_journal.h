// Remembers the original bytes of the records a command is about to change, saves changes
// through the host, and can write the originals back (last saved first) when the host offers no
// edit transaction to cancel.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "framework/framework.h"

class RecordJournal {
 public:
  // Keeps a copy of every element of the collection as it is now, before anything changes.
  void Capture(__FCCollection* collection);
  // Saves the record; remembers that it was saved, so RestoreSaved can undo it. False when the
  // host refused the save or the record was never captured.
  bool Save(__FCBaseData* record);
  // Writes the captured originals of every record saved so far back to the host, last saved
  // first. True when every one of them was written.
  bool RestoreSaved();
  int SavedCount() const { return static_cast<int>(saved_.size()); }

 private:
  std::map<const __FCBaseData*, std::unique_ptr<__FCBaseData>> originals_;
  std::vector<__FCBaseData*> saved_;  // the originals of the records saved, in save order
};
