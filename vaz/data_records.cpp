// Data-record access: the single road from the framework to the host's records.
//
// Besides forwarding, the record functions do three things before the host sees a request:
//  - translate the version word for the few tags whose declared size tells which record layout the
//    caller was built for (HandleNoduraVersion);
//  - answer requests for preference structures and arrays ('pf' tags) from the host's 12-byte 'ot'
//    records, field by field, through the preference map tables;
//  - take extra care with three tags whose host answers are not to be trusted as they come.
#include <array>
#include <cstdint>
#include <cstring>

#include "vaz/binding.h"
#include "vaz/host_api.h"
#include "vaz/preferences.h"

using vaz::binding::kRequired;
using vaz::binding::L;
using vaz::binding::P;
using vaz::binding::V;

namespace {

// --- Version translation ---------------------------------------------------------------------

// How a row of the translation table changes the version word.
enum class VersionRule {
  kAtLeast,    // a lower version word is raised to the row's version
  kAtMost,     // a higher version word is lowered to the row's version
  kSet,        // the version word becomes the row's version
  kWarnBelow,  // a lower version word is reported to the developer, then set to the row's version
};

struct VersionRow {
  std::uint32_t tag;
  std::int32_t size;
  VersionRule rule;
  std::uint32_t version;
  const char* warning;  // for kWarnBelow only
};

constexpr std::uint32_t kTagSOMS = 0x534F4D53;
constexpr std::uint32_t kTagO2SS = 0x4F025353;
constexpr std::uint32_t kTagSOSS = 0x534F5353;
constexpr std::uint32_t kTagSOIS = 0x534F4953;  // staff record
constexpr std::uint32_t kTagSDGF = 0x53444746;
constexpr std::uint32_t kTagSOTX = 0x534F5458;
constexpr std::uint32_t kTagotDO = 0x6F74444F;

// The 2004 structures, used with a version word older than their layout.
constexpr char kGfholdWarning[] =
    "Warning to plug-in developer: EDTGfhold2004 used with wrong version parameter";
constexpr char kTextBlockWarning[] =
    "Warning to plug-in developer: EDTTextBlock2004 used with wrong version parameter";
constexpr char kShapeExpressionWarning[] =
    "Warning to plug-in developer: EDTShapeExpression2004 used with wrong version parameter";

// clang-format off
constexpr VersionRow kVersionRows[] = {
  {kTagSOMS, 26,  VersionRule::kAtLeast,   0x0A000000, nullptr},
  {kTagSOMS, 24,  VersionRule::kSet,       0x09000000, nullptr},
  {kTagO2SS, 28,  VersionRule::kAtLeast,   0x0A000000, nullptr},
  {kTagSOSS, 28,  VersionRule::kAtLeast,   0x0A000000, nullptr},
  {kTagO2SS, 24,  VersionRule::kAtLeast,   0x06000000, nullptr},
  {kTagSOSS, 24,  VersionRule::kAtLeast,   0x06000000, nullptr},
  {kTagO2SS, 22,  VersionRule::kSet,       0x05000000, nullptr},
  {kTagSOSS, 22,  VersionRule::kSet,       0x05000000, nullptr},
  {kTagSOIS, 66,  VersionRule::kSet,       0x05000000, nullptr},
  {kTagSOIS, 102, VersionRule::kSet,       0x08000000, nullptr},
  {kTagSDGF, 12,  VersionRule::kAtMost,    0x08000000, nullptr},
  {kTagSOTX, 48,  VersionRule::kAtMost,    0x08000000, nullptr},
  {kTagotDO, 12,  VersionRule::kAtMost,    0x08000000, nullptr},
  {kTagSDGF, 10,  VersionRule::kWarnBelow, 0x09000000, kGfholdWarning},
  {kTagSOTX, 26,  VersionRule::kWarnBelow, 0x09000000, kTextBlockWarning},
  {kTagotDO, 34,  VersionRule::kWarnBelow, 0x09000000, kShapeExpressionWarning},
};
// clang-format on

void WarnDeveloper(const char* text) {
  FX_AlertMessage(0, 0, 0, reinterpret_cast<std::intptr_t>(text), kScorixApiVersion);
}

void ApplyVersionRule(const VersionRow& row, std::uint32_t& version) {
  switch (row.rule) {
    case VersionRule::kAtLeast:
      if (version < row.version) version = row.version;
      break;
    case VersionRule::kAtMost:
      if (version > row.version) version = row.version;
      break;
    case VersionRule::kSet:
      version = row.version;
      break;
    case VersionRule::kWarnBelow:
      if (version < row.version) {
        WarnDeveloper(row.warning);
        version = row.version;
      }
      break;
  }
}

}  // namespace

// The declared size of a request for some tags tells which record layout the caller means; the
// host is then told the version of that layout. A size of 0 says nothing about the layout.
static void HandleNoduraVersion(std::uint32_t tag, std::int32_t size, std::uint32_t& version) {
  if (size == 0) return;
  for (const VersionRow& row : kVersionRows) {
    if (row.tag == tag && row.size == size) {
      ApplyVersionRule(row, version);
      return;
    }
  }
}

namespace {

// --- Plain host requests -----------------------------------------------------------------------

short HostLoadEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t* size,
                    std::uint32_t version) {
  VAZ_HOST_SLOT(FX_LoadEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), P(size),
                                      V(version));
}

short HostSaveEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                    std::uint32_t version) {
  VAZ_HOST_SLOT(FX_SaveEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}

// --- Buffers -----------------------------------------------------------------------------------

// How many of `wanted` bytes fit in a caller's buffer of `capacity` bytes (none if negative).
std::int32_t Fitting(std::int32_t wanted, std::int32_t capacity) {
  if (capacity <= 0) return 0;
  return capacity < wanted ? capacity : wanted;
}

void Clear(void* buffer, std::int32_t count) {
  if (buffer && count > 0) std::memset(buffer, 0, static_cast<std::size_t>(count));
}

bool AnyNonZero(const void* buffer, std::int32_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  for (std::int32_t i = 0; i < count; ++i) {
    if (bytes[i] != 0) return true;
  }
  return false;
}

void PutLE16(unsigned char* at, std::uint16_t value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void PutLE32(unsigned char* at, std::uint32_t value) {
  PutLE16(at, static_cast<std::uint16_t>(value & 0xFFFF));
  PutLE16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t GetLE16(const unsigned char* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t GetLE32(const unsigned char* at) {
  return GetLE16(at) | (static_cast<std::uint32_t>(GetLE16(at + 2)) << 16);
}

// The preference lookups read the identity's first 16 bits as a signed cmper.
short CmperOf(const EDataID& id) {
  return static_cast<short>(id.other.cmper);
}

// --- Preference records --------------------------------------------------------------------------

// A 12-byte 'ot' record as six little-endian 16-bit words.
struct PrefRecord {
  std::array<unsigned char, kPrefRecordSize> bytes{};

  short WordAt(int index) const { return static_cast<short>(GetLE16(&bytes[2 * index])); }
  void SetWord(int index, short value) {
    PutLE16(&bytes[2 * index], static_cast<std::uint16_t>(value));
  }
};

EDataID PrefIdentity(short cmper, short inci) {
  EDataID id{};
  id.other.cmper = cmper == 0 ? kPrefDefaultCmper : static_cast<unsigned short>(cmper);
  id.other.inci = inci;
  return id;
}

EDataID PrefIdentity(const PREFERENCE_LOCATION_MAPRECORD& entry) {
  return PrefIdentity(entry.cmper, entry.inci);
}

// Loads an 'ot' record. The record starts cleared, so that a record the host does not deliver
// (or delivers only in part) reads as zeros rather than as whatever the stack held.
PrefRecord LoadPrefRecord(std::uint32_t record_tag, EDataID id) {
  PrefRecord record;
  std::int32_t size = kPrefRecordSize;
  FX_LoadEData(record_tag, &id, record.bytes.data(), &size, kScorixApiVersion);
  return record;
}

void SavePrefRecord(std::uint32_t record_tag, EDataID id, PrefRecord& record) {
  FX_SaveEData(record_tag, &id, record.bytes.data(), kPrefRecordSize, kScorixApiVersion);
}

// --- Preference structures -----------------------------------------------------------------------

// A map table together with the structure it describes.
struct PrefMap {
  const PREFERENCE_LOCATION_MAPRECORD* entries;
  int count;

  std::int32_t StructureSize() const {
    std::int32_t total = 0;
    for (int i = 0; i < count; ++i) total += entries[i].size;
    return total;
  }
};

// The entries that share one 'ot' record are served from one copy of it.
bool SameRecord(const PREFERENCE_LOCATION_MAPRECORD& a, const PREFERENCE_LOCATION_MAPRECORD& b) {
  return a.tagchar1 == b.tagchar1 && a.tagchar2 == b.tagchar2 && a.cmper == b.cmper &&
         a.inci == b.inci;
}

int WordsOf(const PREFERENCE_LOCATION_MAPRECORD& entry) {
  return entry.size == 4 ? 2 : 1;
}

// An entry whose field lies inside the structure and whose words lie inside the record; anything
// else is never read or written.
bool EntryFits(const PREFERENCE_LOCATION_MAPRECORD& entry, std::int32_t structure_size) {
  if (entry.size != 2 && entry.size != 4) return false;
  if (entry.offset < 0 || entry.offset + entry.size > structure_size) return false;
  return entry.wordindex >= 0 && entry.wordindex + WordsOf(entry) <= kPrefRecordWords;
}

// A stored word as the structure shows it.
std::uint16_t LoadedTwoByteValue(short word, MAP_ARRAY_CONVERSION conversion) {
  switch (conversion) {
    case MAPCONV_BOOL_INVERSE:
      return word == 0 ? 1 : 0;
    case MAPCONV_LOW_BYTE:
      return static_cast<std::uint16_t>(word & 0xFF);
    default:
      return static_cast<std::uint16_t>(word);
  }
}

// A structure's value as the record stores it.
short SavedTwoByteValue(short value, MAP_ARRAY_CONVERSION conversion) {
  switch (conversion) {
    case MAPCONV_BOOL_INVERSE:
      return value == 0 ? 1 : 0;
    case MAPCONV_LOW_BYTE:
      return static_cast<short>(static_cast<signed char>(value & 0xFF));
    default:
      return value;
  }
}

std::int32_t FourByteValue(const PREFERENCE_LOCATION_MAPRECORD& entry, const PrefRecord& record) {
  return makePrefsFourbyte(record.WordAt(entry.wordindex), record.WordAt(entry.wordindex + 1),
                           entry.conversion);
}

void CopyToStructure(const PREFERENCE_LOCATION_MAPRECORD& entry, const PrefRecord& record,
                     unsigned char* structure) {
  unsigned char* field = structure + entry.offset;
  if (entry.size == 4) {
    PutLE32(field, static_cast<std::uint32_t>(FourByteValue(entry, record)));
  } else {
    PutLE16(field, LoadedTwoByteValue(record.WordAt(entry.wordindex), entry.conversion));
  }
}

// Puts the structure's value into the record; answers whether the record changed.
bool CopyFromStructure(const PREFERENCE_LOCATION_MAPRECORD& entry, const unsigned char* structure,
                       PrefRecord& record) {
  const unsigned char* field = structure + entry.offset;
  if (entry.size == 4) {
    const auto value = static_cast<std::int32_t>(GetLE32(field));
    if (value == FourByteValue(entry, record)) return false;
    short first = record.WordAt(entry.wordindex);
    short second = record.WordAt(entry.wordindex + 1);
    makePrefsTwobytes(value, &first, &second, entry.conversion);
    record.SetWord(entry.wordindex, first);
    record.SetWord(entry.wordindex + 1, second);
    return true;
  }
  const short stored = SavedTwoByteValue(static_cast<short>(GetLE16(field)), entry.conversion);
  if (record.WordAt(entry.wordindex) == stored) return false;
  record.SetWord(entry.wordindex, stored);
  return true;
}

// Each request keeps its own working flags: the tables are shared and read-only.
using ProcessedFlags = std::array<bool, kLargestPrefMap>;

// Calls `serve(entry)` for entry `first` and every later entry not yet done that shares its
// record, marking them done.
template <typename Serve>
void ServeGroup(const PrefMap& map, int first, ProcessedFlags& processed, Serve serve) {
  const PREFERENCE_LOCATION_MAPRECORD& leader = map.entries[first];
  for (int i = first; i < map.count; ++i) {
    if (processed[i] || !SameRecord(leader, map.entries[i])) continue;
    serve(map.entries[i]);
    processed[i] = true;
  }
}

short LoadPrefStructure(const PrefMap& map, void* buffer, std::int32_t* size,
                        std::int32_t capacity) {
  const std::int32_t structure_size = map.StructureSize();
  if (!buffer || map.count <= 0) {
    *size = structure_size;
    return 1;
  }
  // A buffer too small for the whole structure is refused rather than overrun.
  if (capacity < structure_size) return 0;
  *size = structure_size;
  auto* structure = static_cast<unsigned char*>(buffer);
  ProcessedFlags processed{};
  for (int i = 0; i < map.count; ++i) {
    if (processed[i]) continue;
    const PrefRecord record =
        LoadPrefRecord(PrefRecordTag(map.entries[i]), PrefIdentity(map.entries[i]));
    ServeGroup(map, i, processed, [&](const PREFERENCE_LOCATION_MAPRECORD& entry) {
      if (EntryFits(entry, structure_size)) CopyToStructure(entry, record, structure);
    });
  }
  return 1;
}

short SavePrefStructure(const PrefMap& map, void* buffer, std::int32_t size) {
  const std::int32_t structure_size = map.StructureSize();
  if (!buffer || size < structure_size) return 0;
  const auto* structure = static_cast<const unsigned char*>(buffer);
  ProcessedFlags processed{};
  for (int i = 0; i < map.count; ++i) {
    if (processed[i]) continue;
    const PREFERENCE_LOCATION_MAPRECORD& leader = map.entries[i];
    PrefRecord record = LoadPrefRecord(PrefRecordTag(leader), PrefIdentity(leader));
    bool changed = false;
    ServeGroup(map, i, processed, [&](const PREFERENCE_LOCATION_MAPRECORD& entry) {
      if (EntryFits(entry, structure_size) && CopyFromStructure(entry, structure, record)) {
        changed = true;
      }
    });
    // Records whose values all stayed as they were are not written back.
    if (changed) SavePrefRecord(PrefRecordTag(leader), PrefIdentity(leader), record);
  }
  return 1;
}

bool FindPrefMap(std::uint32_t tag, short cmper, PrefMap* map) {
  const PREFERENCE_LOCATION_MAPRECORD* entries = nullptr;
  short count = 0;
  if (!mapPrefStruct(tag, cmper, &entries, &count) || !entries) return false;
  map->entries = entries;
  map->count = count < 0 ? 0 : (count > kLargestPrefMap ? kLargestPrefMap : count);
  return true;
}

// --- Preference arrays ---------------------------------------------------------------------------

struct PrefArray {
  std::uint32_t record_tag;  // 0: not an array
  short count;
  short first;

  std::int32_t TotalSize() const { return count > 0 ? count * kPrefRecordSize : 0; }
  EDataID RecordIdentity(int index) const {
    return PrefIdentity(static_cast<short>(kPrefDefaultCmper), static_cast<short>(first + index));
  }
};

PrefArray FindPrefArray(std::uint32_t tag, short cmper) {
  PrefArray array{0, 0, 0};
  mapPrefTag(tag, cmper, &array.record_tag, &array.count, &array.first);
  return array;
}

short LoadPrefArray(const PrefArray& array, void* buffer, std::int32_t* size,
                    std::int32_t capacity) {
  const std::int32_t total = array.TotalSize();
  if (!buffer) {
    *size = total;
    return 1;
  }
  if (capacity < total) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  for (int i = 0; i < array.count; ++i) {
    const PrefRecord record = LoadPrefRecord(array.record_tag, array.RecordIdentity(i));
    std::memcpy(out + i * kPrefRecordSize, record.bytes.data(), kPrefRecordSize);
  }
  *size = total;
  return 1;
}

short SavePrefArray(const PrefArray& array, const void* buffer, std::int32_t size) {
  if (!buffer || size < array.TotalSize()) return 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  for (int i = 0; i < array.count; ++i) {
    PrefRecord record;
    std::memcpy(record.bytes.data(), in + i * kPrefRecordSize, kPrefRecordSize);
    SavePrefRecord(array.record_tag, array.RecordIdentity(i), record);
  }
  return 1;
}

// --- Loading -------------------------------------------------------------------------------------

constexpr std::uint32_t kTagO4IX = 0x4F044958;  // cleared to 48 bytes before the host fills it
constexpr std::uint32_t kTagO9fI = 0x4F096649;  // cleared to 108 bytes before the host fills it
constexpr std::uint32_t kTagSOSD = 0x534F5344;  // stands in as zeros when only otSD exists
constexpr std::uint32_t kTagotSD = 0x6F745344;
constexpr std::int32_t kO4IXClearedSize = 48;
constexpr std::int32_t kO9fIClearedSize = 108;
constexpr std::int32_t kSOSDSize = 66;

struct LoadRequest {
  std::uint32_t tag;
  EDataID* id;
  void* buffer;
  std::int32_t* size;
  std::int32_t capacity;  // the size variable on entry
  std::uint32_t version;  // translated
};

short AskHostToLoad(const LoadRequest& request) {
  return HostLoadEData(request.tag, request.id, request.buffer, request.size, request.version);
}

// The host may answer 0 for these records although it filled them: whether it wrote anything
// into the cleared bytes decides. Answers true when the request goes on (the host said yes).
bool LoadPrecleared(const LoadRequest& request, std::int32_t cleared_size, short* answer) {
  const std::int32_t cleared = Fitting(cleared_size, request.capacity);
  Clear(request.buffer, cleared);
  if (AskHostToLoad(request) != 0) return true;
  *answer = AnyNonZero(request.buffer, cleared) ? 1 : 0;
  return false;
}

// A refused SOSD record counts as 66 zero bytes when its companion otSD record (same cmper,
// incident 0) exists. Answers true when the request goes on (the host delivered the record).
bool LoadWithCompanion(const LoadRequest& request, short* answer) {
  if (AskHostToLoad(request) != 0) return true;
  EDataID companion = *request.id;
  companion.other.inci = 0;
  PrefRecord scratch;
  std::int32_t scratch_size = kPrefRecordSize;
  if (FX_LoadEData(kTagotSD, &companion, scratch.bytes.data(), &scratch_size, kScorixApiVersion) ==
      0) {
    *answer = 0;
    return false;
  }
  *answer = 1;
  if (!request.buffer) {
    *request.size = kSOSDSize;
    return false;
  }
  // Never past the buffer: the smaller of its capacity and what the size variable now says.
  const std::int32_t room = *request.size < request.capacity ? *request.size : request.capacity;
  Clear(request.buffer, Fitting(kSOSDSize, room));
  return false;
}

// Answers true when the request goes on to the preference and plain steps.
bool LoadSpecialTag(const LoadRequest& request, short* answer) {
  switch (request.tag) {
    case kTagO4IX:
      return !request.buffer || LoadPrecleared(request, kO4IXClearedSize, answer);
    case kTagO9fI:
      return !request.buffer || LoadPrecleared(request, kO9fIClearedSize, answer);
    case kTagSOSD:
      return LoadWithCompanion(request, answer);
    default:
      return true;
  }
}

short LoadMappedOrPlain(const LoadRequest& request) {
  const short cmper = CmperOf(*request.id);
  PrefMap map{};
  if (FindPrefMap(request.tag, cmper, &map)) {
    return LoadPrefStructure(map, request.buffer, request.size, request.capacity);
  }
  const PrefArray array = FindPrefArray(request.tag, cmper);
  if (array.record_tag != 0) {
    return LoadPrefArray(array, request.buffer, request.size, request.capacity);
  }
  return AskHostToLoad(request);
}

// Callers older than the preference mapping write their preference records themselves.
constexpr std::uint32_t kLastUnmappedSaveVersion = 0x07FFFFFF;

}  // namespace

short WINAPI FX_LoadEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t* size,
                          std::uint32_t version) {  // [required]
  // Without an identity or a size variable there is nothing to ask for and nowhere to answer.
  if (!id || !size) return 0;
  LoadRequest request{tag, id, buffer, size, *size, version};
  HandleNoduraVersion(tag, request.capacity, request.version);
  short answer = 0;
  if (!LoadSpecialTag(request, &answer)) return answer;
  // The first answer to a special tag may leave the size variable saying more than the caller's
  // buffer holds; the request that follows never offers the host more than that buffer.
  if (buffer && *size > request.capacity) *size = request.capacity;
  return LoadMappedOrPlain(request);
}

short WINAPI FX_SaveEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                          std::uint32_t version) {  // [required]
  std::uint32_t translated = version;
  HandleNoduraVersion(tag, size, translated);
  if (version <= kLastUnmappedSaveVersion) {
    return HostSaveEData(tag, id, buffer, size, translated);
  }
  if (!id) return 0;
  const short cmper = CmperOf(*id);
  PrefMap map{};
  if (FindPrefMap(tag, cmper, &map)) return SavePrefStructure(map, buffer, size);
  const PrefArray array = FindPrefArray(tag, cmper);
  if (array.record_tag != 0) return SavePrefArray(array, buffer, size);
  return HostSaveEData(tag, id, buffer, size, translated);
}

// Creating and walking records only translate the version word before the host sees them.
static short ForwardTranslated(vaz::binding::Slot& slot, std::uint32_t tag, EDataID* id,
                               void* buffer, std::int32_t size, std::uint32_t version) {
  HandleNoduraVersion(tag, size, version);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}

short WINAPI FX_CreateEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                            std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_CreateEData);
  return ForwardTranslated(slot, tag, id, buffer, size, version);
}

short WINAPI FX_DeleteEData(std::uint32_t tag, EDataID* id, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_DeleteEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), V(version));
}

short WINAPI FX_PreviousEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                              std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_PreviousEData);
  return ForwardTranslated(slot, tag, id, buffer, size, version);
}

short WINAPI FX_NextEData(std::uint32_t tag, EDataID* id, void* buffer, std::int32_t size,
                          std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_NextEData);
  return ForwardTranslated(slot, tag, id, buffer, size, version);
}
