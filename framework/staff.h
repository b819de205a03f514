// Staves, the staff settings in force at a point of the music, clef definitions, measure-number
// regions and measures: fixed-size host records with typed accessors that decode their fields.
// Fields are read and written at their byte offsets (little-endian), whatever the alignment.
#pragma once

#include <cstdint>
#include <cstring>

#include "framework/data.h"

class FCNoteEntry;

namespace record_field {

inline std::uint16_t ReadWord16(const unsigned char* bytes, std::int32_t offset) {
  return vaz::ReadField<std::uint16_t>(bytes, static_cast<std::size_t>(offset));
}

inline void WriteWord16(unsigned char* bytes, std::int32_t offset, std::uint16_t word) {
  vaz::WriteField<std::uint16_t>(bytes, static_cast<std::size_t>(offset), word);
}

// A 16-bit value as the host stores it: the low 16 bits, read back as signed.
inline std::int16_t Wrap16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value & 0xFFFF));
}

}  // namespace record_field

// A staff: 114 bytes, item number = staff number. Decodes the transposition word at byte 20.
class FCStaff : public __FCFixedSizeData<__FCNoInciOther, 114> {
 public:
  static constexpr std::uint32_t kTag = 0x534F4953;  // 'SOIS'
  static constexpr std::int32_t kRecordSize = 114;
  static constexpr std::int32_t kTranspositionOffset = 20;
  static constexpr std::uint16_t kChromaticBit = 0x2000;
  static constexpr std::uint16_t kKeepKeyBit = 0x4000;  // set: the key is not simplified
  static constexpr std::uint16_t kSetToClefBit = 0x8000;

  explicit FCStaff(std::uint32_t version = kScorixApiVersion) : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCStaff"; }
  void DebugDump() override;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FCStaff(version); }

  std::uint16_t GetTranspositionWord() const;
  // Both 0 without transposition. Diatonic (bit 13 clear): alteration bits 0-5, interval bits
  // 6-11, each signed 6-bit. Chromatic: interval bits 0-7 signed 8-bit, alteration bits 8-11
  // signed 4-bit.
  short GetTransposeAlteration() const;
  short GetTransposeInterval() const;
};

// The staff settings in force at one point of the music: a staff record whose identity names a
// staff (bytes 0-1), a measure (bytes 2-3) and a duration position in it (bytes 4-7, 32-bit).
// It has no item number: the item-number operations do nothing and answer false (0).
class FCCurrentStaffSpec : public FCStaff {
 public:
  static constexpr std::uint32_t kTag = 0x534F5343;  // 'SOSC'

  explicit FCCurrentStaffSpec(std::uint32_t version = kScorixApiVersion) : FCStaff(version) {}

  const char* ClassName() override { return "FCCurrentStaffSpec"; }
  std::uint32_t Tag() override { return kTag; }
  // Its own class: a clone that were a plain staff would save over the staff's own record.
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCCurrentStaffSpec(version);
  }

  bool Load(unsigned short) override { return false; }
  // No first item either: stepping the host's records from item 0 would load some other point's
  // settings.
  bool LoadFirst() override { return false; }
  bool SaveAs(unsigned short) override { return false; }
  bool SaveNew() override { return false; }
  unsigned short GetItemNo() override { return 0; }

  // Loads the settings in force on `staff` in `measure` at `position`.
  bool LoadAt(short staff, short measure, std::int32_t position);
  // Loads the settings in force at a note entry: its staff, measure and position.
  bool Load(FCNoteEntry* entry);
  short GetStaff() const;
  short GetMeasure() const;
  std::int32_t GetPosition() const;
};

// A clef definition: 18 bytes, numbered from 0. Byte 0 holds the signed 16-bit value that is added
// to a note's displacement on a staff with this clef.
class FCClefDef : public __FCFixedSizeData<__FCGlobals, 18> {
 public:
  static constexpr std::uint32_t kTag = 0x67626366;  // 'gbcf'
  static constexpr std::int32_t kRecordSize = 18;
  static constexpr std::int32_t kBaselineOffset = 0;

  explicit FCClefDef(std::uint32_t version = kScorixApiVersion) : __FCFixedSizeData(version) {}

  const char* ClassName() override { return "FCClefDef"; }
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new FCClefDef(version); }

  short GetBaselineDisplacement() const;
};

// A measure-number region: which measures it covers and the number shown at its first measure.
// Hosts from version 0x0F000000 on keep it in 196 bytes, older hosts in 88, with the fields at
// other offsets. The layout is chosen by the running host's version once per object, when the
// object first needs its storage, so the host can never be asked to write 196 bytes into 88.
class FCMeasureNumberRegion : public __FCNoInciOther {
 public:
  static constexpr std::uint32_t kTag = 0x534F4D4E;  // 'SOMN'
  static constexpr std::int32_t kRecordSize = 196;
  static constexpr std::int32_t kOldRecordSize = 88;
  static constexpr std::uint32_t kFirstVersionWithLargeRecord = 0x0F000000;

  explicit FCMeasureNumberRegion(std::uint32_t version = kScorixApiVersion)
      : __FCNoInciOther(version) {}

  const char* ClassName() override { return "FCMeasureNumberRegion"; }
  std::uint32_t Tag() override { return kTag; }
  std::int32_t DataSize() override { return _Layout(); }
  void* Allocate() override;
  __FCBaseData* CreateObject(std::uint32_t version) override {
    return new FCMeasureNumberRegion(version);
  }
  // Copies a region of the same layout; the clone takes the source's layout.
  void CloneMemoryFrom(__FCBaseData* source) override;

  // The start is stored as given; the end as one more than the last measure; the number as one
  // less than the number shown. All 16-bit, wrapping as the host's fields do.
  void SetStartMeasure(short measure);
  void SetEndMeasure(short measure);
  void SetStartNumber(short number);
  short GetStartMeasure();
  short GetEndMeasure();
  short GetStartNumber();
  // Both ends included.
  bool ContainsMeasure(short measure);

  // The record size this object uses (196 or 88), fixed on first use.
  std::int32_t GetLayout() { return _Layout(); }

 private:
  std::int32_t _Layout();
  unsigned char* _Storage();
  std::int32_t _Offset(std::int32_t large, std::int32_t old) {
    return _Layout() == kRecordSize ? large : old;
  }

  std::int32_t _layout = 0;  // 0 until first needed
  unsigned char _record[kRecordSize] = {};
  unsigned char _oldrecord[kOldRecordSize] = {};
};

// A measure. The framework decodes three of its 16-bit flag words (bytes 8, 10 and 16); a concrete
// measure class names the record's tag and size (at least 18 bytes) and makes objects of its own
// class. Every accessor works on the record held inside the object, loaded or not.
class FCMeasure : public __FCNoInciOther {
 public:
  // How a key or time signature is shown: the aux bit and the me bit of the table below.
  enum DISPLAY_STATES { DISPLAY_AUTOMATIC = 0, DISPLAY_ALWAYS = 1, DISPLAY_NEVER = 2 };
  // Barline styles 0 to 6, stored as the same number.
  enum BARLINE_STYLES {
    BARLINE_STYLE_0 = 0,
    BARLINE_STYLE_1 = 1,
    BARLINE_STYLE_2 = 2,
    BARLINE_STYLE_3 = 3,
    BARLINE_STYLE_4 = 4,
    BARLINE_STYLE_5 = 5,
    BARLINE_STYLE_6 = 6
  };
  // How notes are positioned, stored as the codes 4, 0 and 6.
  enum POSITIONING_MODES { POSITIONING_MODE_0 = 0, POSITIONING_MODE_1 = 1, POSITIONING_MODE_2 = 2 };

  static constexpr std::int32_t kAuxFlagsOffset = 8;
  static constexpr std::int32_t kMeFlagsOffset = 10;
  static constexpr std::int32_t kNewFlagsOffset = 16;
  static constexpr std::int32_t kMinRecordSize = 18;
  static constexpr std::int32_t kMaxRecordSize = 256;
  static constexpr std::uint32_t kFirstVersionWithFullNames = 0x10000000;

  // `record_size` is the concrete record's size, kept between 18 and 256 bytes.
  FCMeasure(std::uint32_t version, std::int32_t record_size);

  const char* ClassName() override { return "FCMeasure"; }
  std::int32_t DataSize() override { return _recordsize; }
  void* Allocate() override;
  void CloneMemoryFrom(__FCBaseData* source) override;

  void _SetAuxFlag(std::uint16_t mask, bool state) { _SetFlag(kAuxFlagsOffset, mask, state); }
  void _SetMeFlag(std::uint16_t mask, bool state) { _SetFlag(kMeFlagsOffset, mask, state); }
  void _SetNewFlag(std::uint16_t mask, bool state) { _SetFlag(kNewFlagsOffset, mask, state); }

  void SetKeySignatureDisplay(DISPLAY_STATES state);
  DISPLAY_STATES GetKeySignatureDisplay() const;
  void SetTimeSignatureDisplay(DISPLAY_STATES state);
  DISPLAY_STATES GetTimeSignatureDisplay() const;

  // Styles 0 to 6 give their code (the same number); any other value gives code 0 and false.
  bool _GetBarlineMask(BARLINE_STYLES style, std::uint16_t* code) const;
  void SetBarline(BARLINE_STYLES style);
  BARLINE_STYLES GetBarline() const;
  void SetLeftBarline(BARLINE_STYLES style);
  BARLINE_STYLES GetLeftBarline() const;

  // Only hosts from version 0x10000000 on know the flag: elsewhere nothing is set and the
  // getter answers false.
  void SetShowFullNames(bool state);
  bool GetShowFullNames() const;

  void SetPositioningNotesMode(POSITIONING_MODES mode);
  POSITIONING_MODES GetPositioningNotesMode() const;

  // Beat charts are not made by the framework: false, nothing done.
  bool CreateBeatChart(bool) { return false; }

  std::uint16_t _GetWord(std::int32_t offset) const {
    return record_field::ReadWord16(_record, offset);
  }

 private:
  void _SetFlag(std::int32_t offset, std::uint16_t mask, bool state);
  void _SetDisplay(std::uint16_t aux_bit, std::uint16_t me_bit, DISPLAY_STATES state);
  DISPLAY_STATES _GetDisplay(std::uint16_t aux_bit, std::uint16_t me_bit) const;
  void _SetBarlineCode(std::int32_t offset, BARLINE_STYLES style);
  BARLINE_STYLES _GetBarlineCode(std::int32_t offset) const;

  std::int32_t _recordsize;
  unsigned char _record[kMaxRecordSize] = {};
};
