// Owning collections of framework objects, walked, searched and sorted through an iterator
// handler, and the collection that fills itself with every host record of one kind.
#pragma once

#include "framework/base.h"
#include "framework/data.h"

// The callback object of collections and browsers. Its defaults let every walk go on, match
// nothing and call every pair equal. Collections and browsers only call it; they never own it.
class FCIteratorHandler : public __FCBase {
 public:
  const char* ClassName() override { return "FCIteratorHandler"; }
  // Return true to go on, false to stop the walk.
  virtual bool Iterate(__FCBase*) { return true; }
  virtual bool IterateIndex(__FCBase*, int) { return true; }
  // Return true for the element sought.
  virtual bool Match(__FCBase*) { return false; }
  // Positive when `a` must come after `b`, 0 when the order does not matter, negative when `a`
  // must come before `b`. Sorting always passes the element at the earlier position first.
  virtual int Compare(__FCBase* /*a*/, __FCBase* /*b*/) { return 0; }
  // The hooks of a full walk over host records (browsers call them; collections never do).
  virtual bool PreProcess() { return true; }
  virtual bool PreProcessIfExist() { return true; }
  virtual void PostProcess() {}
  virtual void PostProcessIfExist() {}

  // Whether a browser that hands out cell contents saves each cell afterwards.
  bool GetSaveChanges() const { return _savechanges; }
  void SetSaveChanges(bool state) { _savechanges = state; }

 protected:
  // Three flags that no framework operation reads, kept for handlers of their own.
  bool _reserved1 = false;
  bool _reserved2 = false;
  bool _reserved3 = false;
  bool _savechanges = false;
};

// Everything that can be walked with a handler.
class __FCIteratorBase : public __FCBase {
 public:
  const char* ClassName() override { return "__FCIteratorBase"; }
  // Walks the elements with the handler's Iterate; answers how many calls returned true.
  virtual int ForEach(FCIteratorHandler* handler) = 0;
};

// An owning array of elements, grown ten slots at a time. Every element added is destroyed by
// the collection (through the element's own destructor).
class __FCCollection : public __FCIteratorBase {
 public:
  __FCCollection() = default;
  __FCCollection(const __FCCollection&) = delete;
  __FCCollection& operator=(const __FCCollection&) = delete;

  const char* ClassName() override { return "__FCCollection"; }
  void DebugDump() override;
  int ForEach(FCIteratorHandler* handler) override;
  ~__FCCollection() override;
  // As ForEach with IterateIndex, which also gets the element's position.
  virtual int ForEachIndex(FCIteratorHandler* handler);

  // Null when `index` is outside 0 to GetCount()-1.
  __FCBase* GetItemAt(int index) const;
  // Whether that very object (not an equal one) is an element.
  bool ElementExists(const __FCBase* element) const;
  // Takes ownership of the element and appends it.
  void Add(__FCBase* element);
  int GetCount() const { return _count; }
  int GetArraySize() const { return _arraysize; }

  // As ForEach, from index `start` on.
  int ToEndFrom(int start, FCIteratorHandler* handler);
  // The first element the handler's Match accepts, or null.
  __FCBase* Find(FCIteratorHandler* handler);
  // In-place exchange sort: for each pair of positions i < j, Compare(element i, element j) and
  // swap when it is positive. Not stable. n(n-1)/2 comparisons, no allocation.
  void Sort(FCIteratorHandler* handler);

  // Grows the array so that `extra` more elements fit, in whole blocks of ten. A request beyond
  // what an array can hold raises std::bad_alloc rather than wrapping round.
  void _RequireElement(int extra);
  // Destroys the elements and nulls their slots; the count and the array stay.
  void _FreeElements();
  // Destroys the elements and empties the collection; the array stays for reuse.
  void ClearElements() {
    _FreeElements();
    _count = 0;
  }

 protected:
  int _count = 0;
  int _arraysize = 0;
  __FCBase** _items = nullptr;

  static constexpr int kGrowthBlock = 10;
};

// A collection that fills itself with every host record of one element class.
class __FCCollectionData : public __FCCollection {
 public:
  const char* ClassName() override { return "__FCCollectionData"; }
  // A new, empty element with that version word; the caller owns it.
  virtual __FCBaseData* CreateElement(std::uint32_t version) = 0;

  // Replaces the contents with the host's records of the element class, in the host's order,
  // from the first record on. Ends at the first record the host does not deliver.
  void LoadAll(std::uint32_t version);

  // Whether the last LoadAll got every record: true when it ended because the host had no further
  // record (or the kind has none at all); false when it stopped at a record the host named but did
  // not deliver (or delivered without bytes), when the host's walk came back to a record already
  // loaded, or before any LoadAll. A caller that rewrites the whole kind must not act on a partial
  // load.
  bool LoadReachedEnd() const { return _loadreachedend; }

 private:
  bool _loadreachedend = false;
};
