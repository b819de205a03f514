#include "framework/browsers.h"

#include <memory>

namespace {

// Walks the element from the record it holds to the last, while Iterate agrees.
int IterateToEnd(__FCBaseData* element, FCIteratorHandler* handler) {
  int accepted = 0;
  do {
    if (!handler->Iterate(element)) break;
    ++accepted;
  } while (element->LoadNext());
  return accepted;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Record browsers

int __FCBrowserBaseData::ForEach(FCIteratorHandler* handler) {
  if (!handler || !handler->PreProcess()) return 0;
  int accepted = 0;
  const std::unique_ptr<__FCBaseData> element(NewElement());
  if (element && element->LoadFirst() && handler->PreProcessIfExist()) {
    accepted = IterateToEnd(element.get(), handler);
    handler->PostProcessIfExist();
  }
  handler->PostProcess();
  return accepted;
}

__FCNoInciOther* __FCBrowserNoInciOther::LoadAnElement(unsigned short cmper) {
  std::unique_ptr<__FCBaseData> made(NewElement());
  auto* element = dynamic_cast<__FCNoInciOther*>(made.get());
  if (!element || !element->Load(cmper)) return nullptr;
  made.release();
  return element;
}

int __FCBrowserNoInciOther::ToEndFrom(unsigned short cmper, FCIteratorHandler* handler) {
  if (!handler) return 0;
  const std::unique_ptr<__FCNoInciOther> element(LoadAnElement(cmper));
  if (!element) return 0;
  return IterateToEnd(element.get(), handler);
}

// ---------------------------------------------------------------------------------------------
// Region browsers

int __FCBrowserRegionBase::ForEach(FCIteratorHandler* handler) {
  FCMusicRegion region(nullptr);
  region.SetFullDocument();
  return ForEachInRegion(handler, &region);
}

int __FCBrowserRegionBase::ForEachInRegion(FCIteratorHandler* handler, FCMusicRegion* region) {
  if (!handler || !region) return 0;
  int completed = 0;
  // 32-bit counters over 16-bit bounds: an end of 32767 ends the loops.
  for (std::int32_t measure = region->GetStartMeasure(); measure <= region->GetEndMeasure();
       ++measure) {
    for (std::int32_t staff = region->GetStartStaff(); staff <= region->GetEndStaff(); ++staff) {
      FCCell cell(measure, staff);
      if (!RegionIterateCellHandler(&cell, handler, region)) return completed;
      ++completed;
    }
  }
  return completed;
}

bool FCBrowserNoteEntries::RegionIterateCellHandler(FCCell* cell, FCIteratorHandler* handler,
                                                    FCMusicRegion* region) {
  if (!cell || !handler) return false;
  // The walk's cells name instrument numbers; a note-entry cell loads by slot (key 0), so the
  // staff goes back to its slot first and the cell loads the very staff the walk is at.
  const short slot = FX_InstToSlot(static_cast<short>(cell->_staff & 0xFFFF), 0, kScorixApiVersion);
  // Owned here, so its frames go back to the host on every way out, an exception included.
  FCNoteEntryCell entries(cell->_measure, slot);
  entries.Load();  // a cell that does not load holds no entries
  bool go_on = true;
  for (int index = 0; index < entries.GetCount(); ++index) {
    FCNoteEntry* entry = entries.GetRegionItemAt(index, region);
    if (!entry) continue;
    go_on = handler->Iterate(entry);
    entry->_PackEXENTRYNotes();
    if (!go_on) break;
  }
  // A refused save is not a completed cell: the walk stops here.
  if (handler->GetSaveChanges() && !entries.Save()) return false;
  return go_on;
}

bool FCBrowserMidiExpression::RegionIterateCellHandler(FCCell* cell, FCIteratorHandler* handler,
                                                       FCMusicRegion* region) {
  if (!cell || !handler || !region) return false;
  FCMidiExpression expression(kScorixApiVersion);
  expression.SetCell(cell);
  if (!expression.LoadFirst()) return true;  // an empty cell never stops the walk
  bool go_on = true;
  do {
    if (region->IsCellPosWithin(cell, expression.GetPosition())) {
      go_on = handler->Iterate(&expression);
    }
  } while (go_on && expression.LoadNext());
  return go_on;
}
