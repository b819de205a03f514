// Browsers: walks over host records one at a time, with a single reusable object handed to an
// iterator handler, so a whole document can be visited without building a collection of it.
// Record browsers walk every record of one class; region browsers walk the cells of a music
// region, measure by measure and staff by staff.
#pragma once

#include <cstdint>

#include "framework/cells.h"
#include "framework/collections.h"
#include "framework/regions.h"

class __FCBrowserBase : public __FCIteratorBase {
 public:
  const char* ClassName() override { return "__FCBrowserBase"; }
};

// Walks every record of the class that NewElement makes, from the first record on, reloading one
// element in place.
class __FCBrowserBaseData : public __FCBrowserBase {
 public:
  const char* ClassName() override { return "__FCBrowserBaseData"; }
  // PreProcess; then, when the class has a record and PreProcessIfExist agrees, Iterate for each
  // record until it answers false or the records end, and PostProcessIfExist; then PostProcess.
  // Answers how many Iterate calls returned true.
  int ForEach(FCIteratorHandler* handler) override;
  // A new, unloaded element of the class to walk; the browser owns it. Null ends the walk.
  virtual __FCBaseData* NewElement() = 0;
};

// A record browser over item-numbered records; NewElement must make a __FCNoInciOther.
class __FCBrowserNoInciOther : public __FCBrowserBaseData {
 public:
  // A new element loaded with item `cmper`, owned by the caller; null when it does not load.
  __FCNoInciOther* LoadAnElement(unsigned short cmper);
  // Iterate for the record `cmper` and every record after it in the host's order, until Iterate
  // answers false; no pre- or post-processing. Answers how many calls returned true.
  int ToEndFrom(unsigned short cmper, FCIteratorHandler* handler);
};

// Walks the cells of a region: every staff of a measure, in rising instrument number, before the
// next measure. Each cell exists only during its call.
class __FCBrowserRegionBase : public __FCBrowserBase {
 public:
  // The whole document, as the host reports it.
  int ForEach(FCIteratorHandler* handler) override;
  // Answers the number of cells completed: a cell whose handler stops the walk is not counted.
  int ForEachInRegion(FCIteratorHandler* handler, FCMusicRegion* region);
  // The per-cell work; false stops the walk.
  virtual bool RegionIterateCellHandler(FCCell* cell, FCIteratorHandler* handler,
                                        FCMusicRegion* region) = 0;
};

// Hands every note entry of the region to the handler (entries outside the region's time bounds
// are skipped). When the handler asks for it (SetSaveChanges), each cell is saved after its
// entries; a cell the host refuses to save stops the walk and is not counted.
class FCBrowserNoteEntries : public __FCBrowserRegionBase {
 public:
  bool RegionIterateCellHandler(FCCell* cell, FCIteratorHandler* handler,
                                FCMusicRegion* region) override;
};

// Hands every MIDI expression of the region to the handler, one object reloaded in place: a
// handler that keeps an event copies it (CreateClone).
class FCBrowserMidiExpression : public __FCBrowserRegionBase {
 public:
  bool RegionIterateCellHandler(FCCell* cell, FCIteratorHandler* handler,
                                FCMusicRegion* region) override;
};
