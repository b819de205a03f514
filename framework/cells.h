// Cells: one measure on one staff. The plain measure-and-staff pair and lists of them, the music
// of a cell (the entries of every visible layer, held as the host's frames), and the base of the
// records the host keeps per cell.
#pragma once

#include <cstdint>

#include "framework/collections.h"
#include "framework/data.h"
#include "framework/entries.h"
#include "vaz/vaz.h"

class FCMusicRegion;

// A measure and a staff. Whether the staff is a slot or an instrument number depends on who made
// the cell: FCCells::ApplyRegion stores slots re-based to key 0 (what FCNoteEntryCell loads), a
// region walk instrument numbers.
class FCCell : public __FCBase {
 public:
  FCCell(std::int32_t measure, std::int32_t staff) : _measure(measure), _staff(staff) {}

  const char* ClassName() override { return "FCCell"; }

  std::int32_t GetMeasure() const { return _measure; }
  std::int32_t GetStaff() const { return _staff; }

  std::int32_t _measure;
  std::int32_t _staff;
};

// Cells listed from a region, owned by the collection.
class FCCells : public __FCCollection {
 public:
  const char* ClassName() override { return "FCCells"; }
  // Replaces the contents with the region's cells, measure by measure and slot by slot within a
  // measure; each staff number is the slot re-based from the region's start key to key 0.
  void ApplyRegion(const FCMusicRegion* region);
  FCCell* GetItemAt(int index) const {
    return dynamic_cast<FCCell*>(__FCCollection::GetItemAt(index));
  }
};

// The music of one cell: one frame per visible layer, lent by the host and owned by the cell
// until it reloads or is destroyed, and one FCNoteEntry per entry record of each frame (layer 0's
// entries first, then layer 1's, ...). Entries are views into the frames: edits change the frames
// in place and reach the document only through Save; unsaved edits are dropped with the cell.
class FCNoteEntryCell : public __FCCollection {
 public:
  // The most layers a cell holds frames for; a host that reports more is served the first ones.
  static constexpr int kMaxLayers = 20;

  // `staff` is a slot number (key 0); nothing is loaded until Load.
  FCNoteEntryCell(std::int32_t measure, std::int32_t staff);
  ~FCNoteEntryCell() override;

  const char* ClassName() override { return "FCNoteCell"; }

  // Releases what the cell held and loads the frame of every visible layer. False, holding no
  // entries and no frames, when the host refuses any of them.
  bool Load();
  // Writes every held frame back; false when the host refused any, after trying them all.
  bool Save();
  // The entry at `index` when its position lies inside the region's time bounds for this cell's
  // measure; null otherwise, and for an index outside the cell.
  FCNoteEntry* GetRegionItemAt(int index, const FCMusicRegion* region) const;
  // The entry nearest to `position` (the earlier one of two as near), or null when the cell is
  // empty or every entry lies 20000 or more away.
  FCNoteEntry* FindClosestPos(std::int32_t position) const;
  // Builds the entries from the frames; part of Load.
  void _SetupEntries();

  FCNoteEntry* GetItemAt(int index) const {
    return dynamic_cast<FCNoteEntry*>(__FCCollection::GetItemAt(index));
  }
  std::int32_t GetMeasure() const { return _measure; }
  std::int32_t GetStaff() const { return _staff; }
  // The frame held for a layer (null when none, or outside 0 to kMaxLayers-1).
  EXTGF2005a* GetFrame(int layer) const;

 private:
  // The layers the cell works with: the host's count, asked afresh, never above kMaxLayers.
  static int _UsableLayers();
  // Returns every held frame to the host, whatever the host's layer count says now.
  void _ReleaseFrames();
  void _AppendLayerEntries(EXTGF2005a* frame);

  EXTGF2005a* _frames[kMaxLayers] = {};
  std::int32_t _measure;
  std::int32_t _staff;
};

// The base of records the host keeps per cell, several per cell numbered by incident: identity
// cmper1 = the cell's staff, cmper2 = its measure, inci = 0, 1, 2, ... The cell is the owner's;
// it must be set before LoadFirst.
class __FCCellDetail : public __FCBaseData {
 public:
  using __FCBaseData::__FCBaseData;

  const char* ClassName() override { return "__FCCellDetail"; }
  // Without a cell the dump leaves out the cell's lines.
  void DebugDump() override;
  // Incident 0 of the cell. Refused without a host call when no cell is set.
  bool LoadFirst() override;
  // The next incident. After a failure (and after incident 32767, which has no next) the object
  // is as it was: the identity names the last record loaded.
  bool LoadNext() override;

  void SetCell(FCCell* cell) { _cell = cell; }
  FCCell* GetCell() const { return _cell; }
  short GetIncident() const { return _dataid.detail.inci; }

 protected:
  void _DumpDetail();

  FCCell* _cell = nullptr;
};
