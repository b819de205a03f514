// The preference map tables and the word joining of preference values.
#include "vaz/preferences.h"

namespace {

// Builds one table entry so that each line reads like the place it names:
//   Word(12, "36", 1).Conv(MAPCONV_BOOL_INVERSE)   offset 12: ot36 word 1, boolean inverse
//   Pair(16, "FI", 0, MAPCONV_HIGH_LOW).Cmper(12)  offset 16: otFI cmper 12 words 0+1, high first
struct Entry {
  PREFERENCE_LOCATION_MAPRECORD record;

  constexpr Entry Cmper(short cmper) const {
    Entry changed = *this;
    changed.record.cmper = cmper;
    return changed;
  }
  constexpr Entry Inci(short inci) const {
    Entry changed = *this;
    changed.record.inci = inci;
    return changed;
  }
  constexpr Entry Conv(MAP_ARRAY_CONVERSION conversion) const {
    Entry changed = *this;
    changed.record.conversion = conversion;
    return changed;
  }
  constexpr operator PREFERENCE_LOCATION_MAPRECORD() const { return record; }
};

// A 2-byte field held in one word.
constexpr Entry Word(short offset, const char (&chars)[3], short word) {
  return Entry{{0, chars[0], chars[1], 0, 0, offset, word, 2, MAPCONV_NONE}};
}

// A 4-byte field held in two adjacent words, starting at `first_word`.
constexpr Entry Pair(short offset, const char (&chars)[3], short first_word,
                     MAP_ARRAY_CONVERSION conversion) {
  return Entry{{0, chars[0], chars[1], 0, 0, offset, first_word, 4, conversion}};
}

constexpr MAP_ARRAY_CONVERSION c1 = MAPCONV_HIGH_LOW;
constexpr MAP_ARRAY_CONVERSION c3 = MAPCONV_BOOL_INVERSE;
constexpr MAP_ARRAY_CONVERSION c4 = MAPCONV_LOW_BYTE;

}  // namespace

// clang-format off
constexpr PREFERENCE_LOCATION_MAPRECORD EDTPageFormatPrefsScore_MAP_ARRAY[22] = {
  Pair(0, "14", 0, c1),
  Pair(4, "15", 2, c1),
  Word(8, "39", 2),
  Word(10, "16", 0),
  Word(12, "16", 1),
  Word(14, "16", 2),
  Word(16, "16", 3),
  Word(18, "02", 0),
  Word(20, "02", 1),
  Word(22, "02", 2),
  Word(24, "02", 3),
  Word(26, "17", 0),
  Word(28, "17", 1),
  Word(30, "17", 3),
  Word(32, "17", 2),
  Word(34, "01", 4),
  Word(36, "02", 4),
  Word(38, "13", 5),
  Word(40, "13", 4),
  Word(42, "02", 5),
  Word(44, "03", 0),
  Word(46, "03", 1),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTExtractPrefs_MAP_ARRAY[25] = {
  Word(0, "77", 1).Inci(4),
  Word(2, "77", 2).Inci(4),
  Word(4, "77", 3).Inci(4),
  Word(6, "77", 4).Inci(4),
  Word(8, "77", 5).Inci(4),
  Word(10, "77", 0).Inci(5),
  Word(12, "77", 1).Inci(5),
  Word(14, "77", 2).Inci(5),
  Word(16, "77", 3).Inci(5),
  Word(18, "77", 4).Inci(5),
  Word(20, "77", 5).Inci(5),
  Word(22, "77", 0).Inci(6),
  Word(24, "77", 1).Inci(6),
  Word(26, "77", 2).Inci(6),
  Word(28, "77", 3).Inci(6),
  Word(30, "77", 4).Inci(6),
  Word(32, "77", 5).Inci(6),
  Word(34, "77", 0).Inci(7),
  Word(36, "77", 1).Inci(7),
  Word(38, "77", 2).Inci(7),
  Word(40, "77", 3).Inci(7),
  Word(46, "77", 4).Inci(7),
  Word(48, "77", 5).Inci(7),
  Word(42, "77", 0).Inci(8),
  Word(44, "77", 1).Inci(8),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTPlaybackPrefs_MAP_ARRAY[7] = {
  Word(0, "13", 1),
  Word(2, "39", 3),
  Word(4, "36", 0),
  Word(6, "36", 5),
  Word(8, "37", 0),
  Word(10, "37", 1),
  Word(12, "37", 2),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTSmartShapePrefs_MAP_ARRAY[43] = {
  Word(0, "92", 0),
  Word(2, "92", 1),
  Word(4, "92", 2),
  Word(6, "92", 3),
  Word(8, "FI", 0).Cmper(11),
  Word(10, "FI", 1).Cmper(11),
  Word(12, "FI", 4).Cmper(12),
  Word(14, "FI", 4).Cmper(11),
  Pair(16, "FI", 0, c1).Cmper(12),
  Pair(20, "FI", 2, c1).Cmper(12),
  Word(24, "FI", 2).Cmper(11),
  Word(26, "FI", 5).Cmper(11),
  Word(28, "12", 5).Conv(c4),
  Word(30, "11", 5).Conv(c4),
  Word(32, "69", 4).Conv(c4),
  Word(34, "69", 5).Conv(c4),
  Word(36, "69", 2).Conv(c4),
  Word(38, "69", 3).Conv(c4),
  Word(40, "51", 5),
  Word(42, "53", 5),
  Word(44, "51", 4),
  Word(46, "53", 4),
  Word(48, "50", 4),
  Word(50, "53", 0).Inci(1),
  Word(52, "53", 1).Inci(1),
  Word(54, "53", 2).Inci(1),
  Word(56, "53", 3).Inci(1),
  Pair(58, "51", 0, c1),
  Pair(62, "51", 2, c1),
  Word(66, "53", 2),
  Word(68, "53", 0),
  Word(70, "53", 1),
  Pair(72, "93", 0, c1),
  Word(76, "53", 3),
  Word(78, "50", 5),
  Word(80, "50", 0),
  Word(82, "50", 1),
  Word(84, "50", 2),
  Word(86, "50", 3),
  Word(88, "97", 0).Inci(1),
  Word(90, "97", 1).Inci(1),
  Word(92, "97", 2).Inci(1),
  Word(94, "97", 3).Inci(1),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTPianoBracePrefs_MAP_ARRAY[11] = {
  Pair(0, "65", 2, c1),
  Pair(4, "60", 2, c1),
  Pair(8, "65", 4, c1),
  Pair(12, "60", 4, c1),
  Pair(16, "61", 0, c1),
  Pair(20, "61", 2, c1),
  Pair(24, "61", 4, c1),
  Pair(28, "60", 0, c1),
  Pair(32, "64", 2, c1),
  Pair(36, "45", 2, c1),
  Pair(40, "45", 4, c1),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTRepeatPrefs_MAP_ARRAY[20] = {
  Word(0, "70", 0),
  Word(2, "70", 1),
  Word(4, "70", 2),
  Word(6, "70", 3),
  Word(8, "70", 4),
  Word(10, "70", 5),
  Word(12, "71", 0),
  Word(14, "71", 1),
  Word(16, "71", 2),
  Word(18, "71", 3),
  Word(20, "71", 4),
  Word(22, "71", 5),
  Word(24, "05", 3),
  Word(26, "72", 0),
  Word(28, "76", 2),
  Word(30, "72", 1),
  Word(32, "72", 2),
  Word(34, "72", 3),
  Word(36, "72", 4),
  Word(38, "72", 5),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTMiscDocPrefs_MAP_ARRAY[49] = {
  Word(0, "36", 4),
  Word(2, "03", 4),
  Word(4, "03", 5),
  Word(6, "09", 5),
  Word(8, "36", 2),
  Word(10, "36", 3),
  Word(12, "36", 1).Conv(c3),
  Word(14, "41", 0),
  Word(16, "41", 1),
  Word(18, "20", 0),
  Word(20, "27", 1),
  Word(22, "01", 0),
  Word(24, "13", 2),
  Word(26, "15", 4),
  Word(28, "27", 0),
  Word(30, "27", 4),
  Word(32, "44", 4),
  Word(34, "27", 2),
  Word(36, "12", 2),
  Word(38, "12", 3),
  Word(40, "12", 1),
  Word(42, "41", 1).Inci(2),
  Word(44, "23", 1),
  Word(46, "19", 2),
  Word(48, "19", 3),
  Word(50, "31", 5),
  Word(52, "19", 4).Conv(c4),
  Word(54, "19", 5).Conv(c4),
  Word(56, "44", 3),
  Word(58, "05", 4),
  Word(60, "05", 5),
  Word(62, "13", 0),
  Word(64, "41", 5),
  Word(66, "12", 4),
  Word(68, "01", 1),
  Word(70, "93", 4),
  Word(72, "76", 4),
  Word(74, "93", 2),
  Word(76, "76", 3),
  Word(78, "17", 5),
  Word(80, "23", 4),
  Word(82, "16", 5),
  Pair(84, "62", 0, c1),
  Pair(88, "62", 2, c1),
  Word(92, "41", 0).Inci(2),
  Word(94, "41", 2),
  Pair(96, "41", 3, c1).Inci(1),
  Word(100, "76", 5),
  Word(102, "FI", 2).Cmper(10),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTSizePrefs_MAP_ARRAY[23] = {
  Word(0, "67", 2),
  Word(2, "58", 4),
  Pair(4, "68", 2, c1),
  Pair(8, "62", 4, c1),
  Word(12, "03", 3),
  Word(14, "23", 0),
  Word(16, "14", 2),
  Word(18, "64", 1),
  Word(20, "27", 3),
  Word(22, "58", 5),
  Word(24, "59", 0),
  Word(26, "59", 1),
  Word(28, "01", 2),
  Word(30, "59", 2),
  Word(32, "01", 3),
  Pair(34, "97", 0, c1),
  Word(38, "20", 4),
  Word(40, "20", 5),
  Word(42, "03", 2),
  Word(44, "21", 2),
  Word(46, "64", 5),
  Pair(48, "97", 2, c1),
  Word(52, "69", 0),
};

constexpr PREFERENCE_LOCATION_MAPRECORD EDTDistancePrefs_MAP_ARRAY[36] = {
  Word(0, "21", 3),
  Word(2, "21", 5),
  Word(4, "59", 3),
  Word(6, "59", 4),
  Word(8, "22", 1),
  Word(10, "22", 2),
  Word(12, "22", 3),
  Word(14, "67", 3),
  Word(16, "67", 4),
  Pair(18, "68", 4, c1),
  Word(22, "20", 1),
  Word(24, "20", 2),
  Word(26, "13", 3),
  Word(28, "19", 0),
  Word(30, "19", 1),
  Word(32, "68", 0),
  Word(34, "21", 1),
  Word(36, "68", 1),
  Word(38, "21", 0),
  Word(40, "27", 5),
  Word(42, "18", 0),
  Word(44, "18", 2),
  Word(46, "18", 1),
  Word(48, "21", 4),
  Word(50, "39", 0),
  Word(52, "39", 1),
  Pair(54, "65", 0, c1),
  Word(58, "67", 1),
  Word(60, "18", 5),
  Word(62, "67", 0),
  Word(64, "18", 3),
  Word(66, "18", 4),
  Word(68, "14", 4),
  Word(70, "14", 5),
  Word(74, "01", 5),
  Word(72, "77", 0).Inci(4),
};
// clang-format on

namespace {

template <int N>
bool Answer(const PREFERENCE_LOCATION_MAPRECORD (&map)[N],
            const PREFERENCE_LOCATION_MAPRECORD** table, short* count) {
  static_assert(N <= kLargestPrefMap, "a request keeps one working flag per entry");
  if (table) *table = map;
  if (count) *count = static_cast<short>(N);
  return true;
}

}  // namespace

bool mapPrefStruct(std::uint32_t tag, short cmper, const PREFERENCE_LOCATION_MAPRECORD** table,
                   short* count) {
  switch (tag) {
    case kTagPageFormatPrefs:
      // Other cmpers of the page format are arrays (mapPrefTag) or the host's own records.
      if (cmper != 0) return false;
      return Answer(EDTPageFormatPrefsScore_MAP_ARRAY, table, count);
    case kTagExtractPrefs:
      return Answer(EDTExtractPrefs_MAP_ARRAY, table, count);
    case kTagPlaybackPrefs:
      return Answer(EDTPlaybackPrefs_MAP_ARRAY, table, count);
    case kTagSmartShapePrefs:
      return Answer(EDTSmartShapePrefs_MAP_ARRAY, table, count);
    case kTagPianoBracePrefs:
      return Answer(EDTPianoBracePrefs_MAP_ARRAY, table, count);
    case kTagRepeatPrefs:
      return Answer(EDTRepeatPrefs_MAP_ARRAY, table, count);
    case kTagMiscDocPrefs:
      return Answer(EDTMiscDocPrefs_MAP_ARRAY, table, count);
    case kTagSizePrefs:
      return Answer(EDTSizePrefs_MAP_ARRAY, table, count);
    case kTagDistancePrefs:
      return Answer(EDTDistancePrefs_MAP_ARRAY, table, count);
    default:
      if (table) *table = nullptr;
      if (count) *count = 0;
      return false;
  }
}

namespace {

// One row of the array table: which cmpers name the array, and where its records are.
struct PrefArray {
  std::uint32_t tag;
  short highest_cmper;  // 0: any cmper; otherwise cmper must lie in 1..highest_cmper
  std::uint32_t record_tag;
  short count;
  bool first_from_cmper;  // the first incident is cmper - 1 (else 0)
};

// clang-format off
constexpr PrefArray kPrefArrays[] = {
  {0x70665046, 1,   0x6F743737, 4,  false},  // pfPF, cmper 1      -> ot77
  {0x70664762, 4,   0x6F743938, 1,  true},   // pfGb, cmper 1..4   -> ot98
  {0x7066536C, 15,  0x6F743236, 1,  true},   // pfSl, cmper 1..15  -> ot26
  {0x70664773, 1,   0x6F743931, 1,  false},  // pfGs, cmper 1      -> ot91
  {0x70665473, 9,   0x6F743930, 1,  true},   // pfTs, cmper 1..9   -> ot90
  {0x7066534E, 128, 0x6F743430, 1,  true},   // pfSN, cmper 1..128 -> ot40
  {0x70664764, 0,   0x6F743830, 1,  false},  // pfGd -> ot80
  {0x70665443, 0,   0x6F743836, 5,  false},  // pfTC -> ot86
  {0x70665343, 0,   0x6F743532, 2,  false},  // pfSC -> ot52
  {0x70665449, 0,   0x6F743834, 4,  false},  // pfTI -> ot84
  {0x70664E64, 0,   0x6F743636, 1,  false},  // pfNd -> ot66
  {0x70664744, 0,   0x6F743739, 1,  false},  // pfGD -> ot79
  {0x70665458, 0,   0x6F743738, 8,  false},  // pfTX -> ot78
  {0x70664747, 0,   0x6F743838, 11, false},  // pfGG -> ot88
  {0x70664D4D, 0,   0x6F743235, 2,  false},  // pfMM -> ot25
  {0x70664E44, 0,   0x6F743034, 1,  false},  // pfND -> ot04
  {0x70665350, 0,   0x6F743934, 3,  false},  // pfSP -> ot94
  {0x70665470, 0,   0x6F743835, 4,  false},  // pfTp -> ot85
};
// clang-format on

// cmper 1..highest, with cmper compared as a signed value: 0 and negative cmpers never qualify.
bool CmperQualifies(const PrefArray& array, short cmper) {
  if (array.highest_cmper == 0) return true;
  const auto below = static_cast<unsigned short>(cmper - 1);
  return below <= static_cast<unsigned short>(array.highest_cmper - 1);
}

}  // namespace

void mapPrefTag(std::uint32_t tag, short cmper, std::uint32_t* recordtag, short* count,
                short* first) {
  if (count) *count = 0;
  if (first) *first = 0;
  if (recordtag) *recordtag = 0;
  for (const PrefArray& array : kPrefArrays) {
    if (array.tag != tag) continue;
    if (!CmperQualifies(array, cmper)) return;
    if (recordtag) *recordtag = array.record_tag;
    if (count) *count = array.count;
    if (first) *first = array.first_from_cmper ? static_cast<short>(cmper - 1) : 0;
    return;
  }
}

std::int32_t makePrefsFourbyte(short first, short second, MAP_ARRAY_CONVERSION conversion) {
  const auto upper_first = static_cast<std::uint32_t>(static_cast<std::uint16_t>(first)) << 16;
  const auto upper_second = static_cast<std::uint32_t>(static_cast<std::uint16_t>(second)) << 16;
  switch (conversion) {
    case MAPCONV_HIGH_LOW:
      return static_cast<std::int32_t>(upper_first | static_cast<std::uint16_t>(second));
    case MAPCONV_LOW_HIGH:
      return static_cast<std::int32_t>(upper_second | static_cast<std::uint16_t>(first));
    default:
      return 0;
  }
}

void makePrefsTwobytes(std::int32_t value, short* first, short* second,
                       MAP_ARRAY_CONVERSION conversion) {
  const auto bits = static_cast<std::uint32_t>(value);
  const auto upper = static_cast<short>(static_cast<std::uint16_t>(bits >> 16));
  const auto lower = static_cast<short>(static_cast<std::uint16_t>(bits & 0xFFFFu));
  if (!first || !second) return;
  switch (conversion) {
    case MAPCONV_HIGH_LOW:
      *first = upper;
      *second = lower;
      break;
    case MAPCONV_LOW_HIGH:
      *first = lower;
      *second = upper;
      break;
    default:
      break;
  }
}
