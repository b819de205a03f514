// Preference mapping: where the host keeps each document preference.
//
// Callers may ask for preferences under 'pf' tags, either as one preference structure or as an
// array of 12-byte records. The host stores the values in general 12-byte 'ot' records (six 16-bit
// words each). The tables here say, for every field of each supported preference structure, which
// 'ot' record and which word of it holds the value; and, for each supported array, which 'ot'
// record tag, how many records and from which incident. FX_LoadEData and FX_SaveEData are the only
// users.
#pragma once

#include <cstdint>

// How a preference value is laid into the words of its 'ot' record.
enum MAP_ARRAY_CONVERSION : std::int32_t {
  MAPCONV_NONE = 0,          // 2-byte field: the word is the value
  MAPCONV_HIGH_LOW = 1,      // 4-byte field: word `wordindex` is the upper half, the next the lower
  MAPCONV_LOW_HIGH = 2,      // 4-byte field: word `wordindex` is the lower half, the next the upper
  MAPCONV_BOOL_INVERSE = 3,  // 2-byte field: a stored 0 is the value 1, anything else is 0
  MAPCONV_LOW_BYTE = 4,      // 2-byte field: only the word's low 8 bits are the value
};
static_assert(sizeof(MAP_ARRAY_CONVERSION) == 4, "a conversion is a 32-bit value");

// One field of a preference structure and the place in an 'ot' record that holds it.
struct PREFERENCE_LOCATION_MAPRECORD {
  // Working flag of one mapped request. The stored tables are read-only and always hold 0 here;
  // each request keeps its own flags, so that requests never share working state.
  unsigned short processed;
  char tagchar1;  // the record is 'ot' + tagchar1 + tagchar2
  char tagchar2;
  short cmper;      // the record's cmper; 0 stands for 0xFFFE
  short inci;       // the record's incident
  short offset;     // byte offset of the field in the preference structure
  short wordindex;  // word 0..5 of the record; a 4-byte value also uses the word after it
  short size;       // 2 or 4: the field's width in the structure
  MAP_ARRAY_CONVERSION conversion;
};

// The 'ot' records: twelve bytes, six 16-bit words.
constexpr std::int32_t kPrefRecordSize = 12;
constexpr int kPrefRecordWords = 6;
constexpr std::uint32_t kPrefRecordFamily = 0x6F740000;  // 'ot'
// The cmper that an entry's 0 stands for, and under which every preference array lives.
constexpr unsigned short kPrefDefaultCmper = 0xFFFE;

// The 'ot' tag of an entry's record.
constexpr std::uint32_t PrefRecordTag(const PREFERENCE_LOCATION_MAPRECORD& entry) {
  return kPrefRecordFamily |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(entry.tagchar1)) << 8) |
         static_cast<unsigned char>(entry.tagchar2);
}

// The nine preference structures.
constexpr std::uint32_t kTagPageFormatPrefs = 0x70665046;  // pfPF (cmper 0 only)
constexpr std::uint32_t kTagExtractPrefs = 0x70664558;     // pfEX
constexpr std::uint32_t kTagPlaybackPrefs = 0x7066504C;    // pfPL
constexpr std::uint32_t kTagSmartShapePrefs = 0x70665353;  // pfSS
constexpr std::uint32_t kTagPianoBracePrefs = 0x70665042;  // pfPB
constexpr std::uint32_t kTagRepeatPrefs = 0x70665250;      // pfRP
constexpr std::uint32_t kTagMiscDocPrefs = 0x70664D53;     // pfMS
constexpr std::uint32_t kTagSizePrefs = 0x70665349;        // pfSI
constexpr std::uint32_t kTagDistancePrefs = 0x70664450;    // pfDP

extern const PREFERENCE_LOCATION_MAPRECORD EDTPageFormatPrefsScore_MAP_ARRAY[22];
extern const PREFERENCE_LOCATION_MAPRECORD EDTExtractPrefs_MAP_ARRAY[25];
extern const PREFERENCE_LOCATION_MAPRECORD EDTPlaybackPrefs_MAP_ARRAY[7];
extern const PREFERENCE_LOCATION_MAPRECORD EDTSmartShapePrefs_MAP_ARRAY[43];
extern const PREFERENCE_LOCATION_MAPRECORD EDTPianoBracePrefs_MAP_ARRAY[11];
extern const PREFERENCE_LOCATION_MAPRECORD EDTRepeatPrefs_MAP_ARRAY[20];
extern const PREFERENCE_LOCATION_MAPRECORD EDTMiscDocPrefs_MAP_ARRAY[49];
extern const PREFERENCE_LOCATION_MAPRECORD EDTSizePrefs_MAP_ARRAY[23];
extern const PREFERENCE_LOCATION_MAPRECORD EDTDistancePrefs_MAP_ARRAY[36];

// The longest map table: a request's own working flags need this many places.
constexpr int kLargestPrefMap = 49;

// The map table of a preference structure. For the nine structure tags (the page format only with
// cmper 0) stores the table and its entry count and answers true. For the page format with another
// cmper answers false and leaves both outputs untouched; for any other tag stores null and 0 and
// answers false.
bool mapPrefStruct(std::uint32_t tag, short cmper, const PREFERENCE_LOCATION_MAPRECORD** table,
                   short* count);

// The 'ot' records behind a preference array: sets count and first to 0, then stores the record
// tag, the number of records and the first incident when the tag and cmper name an array, and a
// record tag of 0 otherwise. The records all live under cmper 0xFFFE.
void mapPrefTag(std::uint32_t tag, short cmper, std::uint32_t* recordtag, short* count,
                short* first);

// Joins two record words into a 4-byte value (conversions 1 and 2; 0 for any other).
std::int32_t makePrefsFourbyte(short first, short second, MAP_ARRAY_CONVERSION conversion);
// Splits a 4-byte value into two record words; the inverse of makePrefsFourbyte for conversions 1
// and 2. Any other conversion stores nothing.
void makePrefsTwobytes(std::int32_t value, short* first, short* second,
                       MAP_ARRAY_CONVERSION conversion);
