// Remembers the original bytes of the records a command is about to change, saves changes
// through the host, and can write the originals back (last saved first) when the host offers no
// edit transaction to cancel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "framework/framework.h"

class RecordJournal {
 public:
  // Keeps the bytes of every element of the collection as they are now, before anything changes.
  // A record captured again keeps the later bytes.
  void Capture(__FCCollection* collection);
  // The same for records already looked up (null entries are passed over).
  void Capture(const std::vector<__FCBaseData*>& records);
  // Saves the record; remembers that it was saved, so RestoreSaved can undo it. False when the
  // host refused the save or the record was never captured.
  bool Save(__FCBaseData* record);
  // Puts the captured bytes back into every record saved so far and saves it again, last saved
  // first. True when every one of them was written.
  bool RestoreSaved();
  int SavedCount() const { return static_cast<int>(saved_.size()); }

 private:
  struct Original {
    __FCBaseData* record;  // null for bytes replaced by a later capture
    std::size_t offset;    // where its bytes start in `bytes_`
    std::int32_t size;     // how many bytes it held when captured
  };

  // The records in the order they were captured, their bytes side by side in one block. A
  // command saves its records in the order it loaded them, so a save mostly finds its record
  // right after the one the last save found; any other is found by binary search in
  // `by_address_`, the positions in the order of their records' addresses.
  std::vector<Original> originals_;
  std::vector<unsigned char> bytes_;
  using Address = std::pair<const __FCBaseData*, std::size_t>;  // a record and its position
  std::vector<Address> by_address_;
  std::size_t next_ = 0;            // where the next save looks first
  std::vector<std::size_t> saved_;  // the positions of the records saved, in save order
};
