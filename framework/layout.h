// Pages and staff systems that ask the host to redo the page layout, the measures of a music
// region, a placeholder for the list of staff systems, articulation definitions (their main
// symbol's font and automatic placement side) and key signatures (their flats and sharps).
//
// Fields are read at their byte offsets and only inside the bytes the host delivered: a field of
// a record never loaded, or loaded too short to reach it, reads as 0.
#pragma once

#include <cstdint>

#include "framework/collections.h"
#include "framework/data.h"
#include "framework/regions.h"
#include "framework/staff.h"

// A page: 24 bytes, item number = page number. Byte 8 holds the first staff system on the page.
class FCPage : public __FCFixedSizeData<__FCNoInciOther, 24> {
 public:
  static constexpr std::uint32_t kTag = 0x534F5047;  // 'SOPG'
  static constexpr std::int32_t kRecordSize = 24;
  static constexpr std::int32_t kFirstSystemOffset = 8;

  explicit FCPage(std::uint32_t version = kScorixApiVersion) : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCPage"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FCPage(version); }

  short GetFirstSystem() const;
  // Asks the host to lay the page out again (the flag is handed to it unchanged), then reloads
  // the page: the answer is the reload's, whatever the host answered to the layout.
  bool UpdateLayout(bool flag);
};

// The document's staff systems.
class FCStaffSystems : public __FCBase {
 public:
  const char* ClassName() override { return "FCStaffSystems"; }
  // Lays out every page from page 1; answers what the host answered.
  std::int32_t UpdateFullLayout();
};

// The measures of the document. A concrete collection makes objects of its measure class.
class FCMeasures : public __FCCollectionData {
 public:
  const char* ClassName() override { return "FCMeasures"; }
  // Replaces the contents with the measures from the region's start measure to its end measure,
  // both included, in order; a measure the host does not deliver is left out. A region that ends
  // before it starts loads nothing; one that ends at 32767 stops there.
  void LoadRegion(const FCMusicRegion* region, std::uint32_t version);
  // The element at `index` as a measure, or null.
  FCMeasure* GetMeasureAt(int index) const { return dynamic_cast<FCMeasure*>(GetItemAt(index)); }
};

// The list of staff systems: not loaded by the framework.
class FCStaffLists : public __FCBase {
 public:
  const char* ClassName() override { return "FCStaffLists"; }
  // Shows the developer message "Implement LoadAllSystems!" and loads nothing.
  void LoadAllSystems();
};

// An articulation definition: 32 bytes, item number = the articulation's number. Fields used:
// byte 2 the main symbol's font number, byte 3 flags (0x02: the main symbol has no font), bytes
// 4-5 the placement word (0x0008: placed automatically; bits 0-2 the side code).
class FCArticulationDef : public __FCFixedSizeData<__FCNoInciOther, 32> {
 public:
  static constexpr std::uint32_t kTag = 0x534F4152;  // 'SOAR'
  static constexpr std::int32_t kRecordSize = 32;
  static constexpr std::int32_t kFontOffset = 2;
  static constexpr std::int32_t kFlagsOffset = 3;
  static constexpr std::int32_t kPlacementOffset = 4;
  static constexpr unsigned char kNoFontBit = 0x02;
  static constexpr std::uint16_t kAutomaticBit = 0x0008;
  static constexpr std::uint16_t kSideCodeBits = 0x0007;
  // The size of the array GetMainSymbolFont fills, terminator included.
  static constexpr std::int32_t kFontNameSize = 256;

  // The side an automatically placed articulation goes to; NONE when it is placed by hand or its
  // side code is not one of the five.
  enum AUTOPOS_SIDES {
    AUTOPOS_SIDE_NONE = 0,
    AUTOPOS_SIDE_1 = 1,
    AUTOPOS_SIDE_2 = 2,
    AUTOPOS_SIDE_3 = 3,
    AUTOPOS_SIDE_4 = 4,
    AUTOPOS_SIDE_5 = 5
  };

  explicit FCArticulationDef(std::uint32_t version = kScorixApiVersion)
      : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCArticulationDef"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCArticulationDef(version);
  }

  unsigned char GetMainSymbolFontNumber() const;
  unsigned char GetFlags() const;
  std::uint16_t GetPlacementWord() const;
  // Fills `name` (kFontNameSize bytes) with the main symbol's font name, always terminated inside
  // the array: empty when the symbol has no font (the host is not asked) or the host cannot name
  // the font.
  void GetMainSymbolFont(char* name);
  AUTOPOS_SIDES GetAutoPosSide() const;
};

// A key signature: 8 bytes, item number = the key signature's number. Bytes 0-1 hold the key word:
// bits 0-7 a signed count (positive sharps, negative flats), bits 8-15 the mode. The count applies
// only in modes 0 and 1.
class FCKeySignature : public __FCFixedSizeData<__FCNoInciOther, 8> {
 public:
  static constexpr std::uint32_t kTag = 0x534F4B53;  // 'SOKS'
  static constexpr std::int32_t kRecordSize = 8;
  static constexpr std::int32_t kKeyWordOffset = 0;

  explicit FCKeySignature(std::uint32_t version = kScorixApiVersion) : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCKeySignature"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FCKeySignature(version); }

  std::uint16_t GetKeyWord() const;
  // 0 or more; both 0 outside modes 0 and 1.
  short CountFlats() const;
  short CountSharps() const;

 private:
  // The signed count when the mode lets it apply, otherwise 0.
  int _Count() const;
};
