// Music regions (a rectangle of staves and measures, with a start position inside the first
// measure and an end position inside the last) and the MIDI expressions attached to cells.
#pragma once

#include <cstdint>

#include "framework/cells.h"
#include "vaz/vaz.h"

// A stretch of the score held as the host's region record. A value: it changes only through the
// constructor and SetFullDocument, and holds no host resources. Staff slots are turned into staff
// (instrument) numbers by the host, asked afresh on every use.
class FCMusicRegion : public __FCBase {
 public:
  // Copies all 20 bytes of `region`; with null, every field is 0.
  explicit FCMusicRegion(const EREGION* region = nullptr);

  const char* ClassName() override { return "FCMusicRegion"; }

  // Replaces the region with the one the host reports for the whole document. The host's three
  // outputs are zeroed first, so a host that answers without writing leaves an empty region
  // (every field 0), never stack contents.
  void SetFullDocument();

  // Both ends included, 16-bit signed comparisons.
  bool IsMeasureIncluded(short measure) const;
  // `staff` is an instrument number, compared with the host's instrument numbers of the first and
  // last slot (the end is not asked for when the staff lies before the start).
  bool IsStaffIncluded(short staff) const;
  // Whether the cell lies in the region and `position` inside the time bounds that apply to the
  // cell's measure.
  bool IsCellPosWithin(const FCCell* cell, std::int32_t position) const;

  // The first and last staff (instrument) numbers, asked of the host.
  short GetStartStaff() const;
  short GetEndStaff() const;

  const EREGION& GetRegion() const { return _region; }
  short GetStartMeasure() const { return _region.startmeas; }
  short GetEndMeasure() const { return _region.endmeas; }
  std::int32_t GetStartPos() const { return _region.startpos; }
  std::int32_t GetEndPos() const { return _region.endpos; }
  short GetStartSlot() const { return _region.startslot; }
  short GetEndSlot() const { return _region.endslot; }
  unsigned short GetStartSlotKey() const { return _region.startslotkey; }
  unsigned short GetEndSlotKey() const { return _region.endslotkey; }

 private:
  EREGION _region;
};

// One MIDI event attached to a cell, numbered by incident inside the cell: its position and, for a
// controller event, the controller number and value. The 10-byte record is embedded.
class FCMidiExpression : public __FCFixedSizeData<__FCCellDetail, 10> {
 public:
  static constexpr std::uint32_t kTag = 0x64744D45;  // 'dtME'
  static constexpr std::int32_t kRecordSize = 10;
  static constexpr unsigned char kControllerStatus = 0xB0;

  explicit FCMidiExpression(std::uint32_t version = kScorixApiVersion)
      : __FCFixedSizeData<__FCCellDetail, 10>(version) {}

  const char* ClassName() override { return "FCMidiExpression"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCMidiExpression(version);
  }

  // The record's fields. A field the host did not deliver reads as 0, so a short record never
  // shows what an earlier, longer one left in the embedded bytes.
  std::int32_t GetPosition() const;
  unsigned char GetStatus() const;
  short GetData1() const;
  short GetData2() const;

  bool IsController() const { return GetStatus() == kControllerStatus; }
  // Only a controller event has a controller number and value; any other answers 0.
  short GetControllerNumber() const { return IsController() ? GetData1() : 0; }
  short GetControllerValue() const { return IsController() ? GetData2() : 0; }
};
