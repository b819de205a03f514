// Runs of incidents: host records of the item-numbered kind that come as incident 0, 1, 2, ...
// under one item number, each a record of its own. An incident array loads every incident of an
// item into a collection it owns and saves them all. A concrete array supplies the collection, and
// through its element factory the record class of the incidents.
#pragma once

#include <cstdint>

#include "framework/collections.h"
#include "framework/data.h"

// One incident: a data object addressed by item number and incident number.
class __FCInci : public __FCOther {
 public:
  using __FCOther::__FCOther;
  const char* ClassName() override { return "__FCInci"; }
  // The first incident of item 1.
  bool LoadFirst() override { return Load(1, 0); }

  bool Load(unsigned short cmper, short inci);
  // Names another item; the incident number stays.
  void SetItemNo(unsigned short cmper) { _dataid.other.cmper = cmper; }
  unsigned short GetItemNo() const { return _dataid.other.cmper; }
  short GetInciNo() const { return _dataid.other.inci; }
};

class __FCInciArrayOther : public __FCOther {
 public:
  explicit __FCInciArrayOther(std::uint32_t version) : __FCOther(version) {}
  ~__FCInciArrayOther() override;

  const char* ClassName() override { return "__FCInciArrayOther"; }
  // Saves every incident in order, each under its own identity; stops at the first that fails.
  // True when all were saved, also when there are none.
  bool Save() override;
  bool LoadFirst() override { return Load(1); }
  // A clone of every incident the source holds. Final: the incidents are what an array holds,
  // and a clone without them would save nothing.
  void CloneMemoryFrom(__FCBaseData* source) final;

  // A new, empty collection whose elements are incidents (__FCInci) of the concrete record
  // class. The array owns it.
  virtual __FCCollectionData* CreateInciCollection() = 0;
  // Loads the contiguous run of incidents of the item in the identity, from its incident on:
  // the first incident the host does not deliver ends the run, and so does incident 0x7FFF, so a
  // host that answers every incident cannot keep the walk going. True when at least one loaded.
  virtual bool LoadDataBlock();

  // Loads every incident of item `cmper`, from incident 0.
  bool Load(unsigned short cmper);
  // Saves the incidents as item `cmper`: each is re-addressed to that item (its incident number
  // kept) and saved there.
  bool SaveAs(unsigned short cmper);
  // The number of incidents held.
  std::int32_t GetInciCount();
  // The incident at `index` (in incident order), or null.
  __FCInci* GetInciAt(int index);

  // The collection, created on first use; null when the concrete class could not make one.
  __FCCollectionData* _VerifyInciCollection();

  // The last incident number a load asks for.
  static constexpr short kLastIncident = 0x7FFF;

 protected:
  __FCCollectionData* _incicollection = nullptr;
};
