// The nine preference structures as the tests know them: tag, table, entry count and size.
#pragma once

#include <cstdint>

#include "vaz/preferences.h"

namespace records_test {

struct PrefStructure {
  const char* name;
  std::uint32_t tag;
  const PREFERENCE_LOCATION_MAPRECORD* table;
  int entries;
  std::int32_t size;
};

inline const PrefStructure kPrefStructures[] = {
    {"PageFormat", 0x70665046, EDTPageFormatPrefsScore_MAP_ARRAY, 22, 48},
    {"Extract", 0x70664558, EDTExtractPrefs_MAP_ARRAY, 25, 50},
    {"Playback", 0x7066504C, EDTPlaybackPrefs_MAP_ARRAY, 7, 14},
    {"SmartShape", 0x70665353, EDTSmartShapePrefs_MAP_ARRAY, 43, 96},
    {"PianoBrace", 0x70665042, EDTPianoBracePrefs_MAP_ARRAY, 11, 44},
    {"Repeat", 0x70665250, EDTRepeatPrefs_MAP_ARRAY, 20, 40},
    {"MiscDoc", 0x70664D53, EDTMiscDocPrefs_MAP_ARRAY, 49, 104},
    {"Size", 0x70665349, EDTSizePrefs_MAP_ARRAY, 23, 54},
    {"Distance", 0x70664450, EDTDistancePrefs_MAP_ARRAY, 36, 76},
};

}  // namespace records_test
