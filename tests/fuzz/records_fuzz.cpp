// The data-record functions alone (version translation, the three special load tags, preference
// structures and arrays, plain forwarding) with arbitrary requests and arbitrary host answers.
//
// Every buffer, identity and size variable the target hands over is a heap block of exactly its
// size, so AddressSanitizer stops any read or write outside it; the host writes every byte it is
// offered and reads every byte it is given, so a capacity or size passed on wrongly shows up too.
// On top of that, each request is held to what the record functions promise:
//  - the version word the host sees for the requested tag is the one the translation table gives
//    (a plain table of its own here);
//  - the developer warning is shown exactly when a 2004 structure comes with an older version;
//  - a preference structure or array is answered from 'ot' records only, never beyond its size in
//    the caller's buffer, and a buffer too small for it is refused and left untouched;
//  - the cleared tags and the stand-in tag answer as their rules say when the host refuses them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/sim_host.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/fuzz/fuzz_support.h"
#include "vaz/vaz.h"

namespace {

using fuzz::At;
using hostsim::Word;

// The script of the current input: the requests and every host answer are read from it.
fuzz::ByteReader* script = nullptr;
// FUZZ_EXPLAIN=1 in the environment prints every request and host call of a replayed input.
bool explain = false;

// --- The host: every answer comes from the script ------------------------------------------------

// A size the host may report: honest, or any of the values a careless host could give.
std::int32_t HostSize(std::int32_t honest) {
  switch (script->Below(8)) {
    case 0:
      return 0;
    case 1:
      return -1 - static_cast<std::int32_t>(script->Below(200));
    case 2:
      return honest + 1 + static_cast<std::int32_t>(script->Below(200));
    case 3:
      return static_cast<std::int32_t>(script->Dword());
    case 4:
      return static_cast<std::int32_t>(script->Below(130));
    default:
      return honest;
  }
}

// The host's result word: usually 0 or 1, sometimes a wider value whose low 16 bits decide.
Word HostAnswer() {
  switch (script->Below(6)) {
    case 0:
    case 1:
      return 0;
    case 2:
      return static_cast<Word>(script->Dword());
    default:
      return 1;
  }
}

// Writes bytes into a buffer the host was offered: often all of them, so that an offered
// capacity larger than the real buffer is caught.
std::int32_t FillOffered(Word buffer, std::int32_t capacity) {
  if (!buffer || capacity <= 0) return 0;
  const std::int32_t count = script->Below(2) == 0
                                 ? capacity
                                 : static_cast<std::int32_t>(script->Below(256)) % (capacity + 1);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  for (auto& byte : bytes) byte = script->Below(3) == 0 ? 0 : script->Byte();
  if (count > 0) std::memcpy(At<std::uint8_t>(buffer), bytes.data(), bytes.size());
  return count;
}

// Reads every byte the host is given.
void ReadGiven(Word buffer, std::int32_t size) {
  if (!buffer || size <= 0) return;
  std::vector<std::uint8_t> copy(static_cast<std::size_t>(size));
  std::memcpy(copy.data(), At<const std::uint8_t>(buffer), copy.size());
}

void ReadIdentity(Word id) {
  if (!id) return;
  std::uint8_t copy[8];
  std::memcpy(copy, At<const std::uint8_t>(id), sizeof copy);
}

void RewriteIdentity(Word id) {
  if (!id || script->Below(2) == 0) return;
  std::uint8_t identity[8];
  for (auto& byte : identity) byte = script->Byte();
  std::memcpy(At<std::uint8_t>(id), identity, sizeof identity);
}

Word HostLoad(const Word* args) {
  ReadIdentity(args[1]);
  if (!args[3]) return HostAnswer();
  auto* size = At<std::int32_t>(args[3]);
  const std::int32_t capacity = *size;
  const std::int32_t delivered = args[2] ? FillOffered(args[2], capacity) : 0;
  *size = HostSize(args[2] ? delivered : 12 + static_cast<std::int32_t>(script->Below(100)));
  const Word answer = HostAnswer();
  if (explain) {
    std::fprintf(stderr, "  host load %08X %s capacity %d: wrote %d, size %d, answer %#llx\n",
                 static_cast<unsigned>(args[0]), args[2] ? "buffer" : "no buffer", capacity,
                 delivered, *size, static_cast<unsigned long long>(answer));
  }
  return answer;
}

Word HostSave(const Word* args) {
  ReadIdentity(args[1]);
  ReadGiven(args[2], static_cast<std::int32_t>(args[3]));
  return HostAnswer();
}

Word HostCreate(const Word* args) {
  ReadIdentity(args[1]);
  ReadGiven(args[2], static_cast<std::int32_t>(args[3]));
  RewriteIdentity(args[1]);
  return HostAnswer();
}

Word HostStep(const Word* args) {
  ReadIdentity(args[1]);
  RewriteIdentity(args[1]);
  FillOffered(args[2], static_cast<std::int32_t>(args[3]));
  return HostAnswer();
}

Word HostDelete(const Word* args) {
  ReadIdentity(args[1]);
  return HostAnswer();
}

Word HostAlert(const Word* args) {
  // The text must be a whole C string.
  if (args[3]) static_cast<void>(std::strlen(At<const char>(args[3])));
  return HostAnswer();
}

// --- The reference: the translation table, written out plainly -----------------------------------

std::uint32_t AtLeast(std::uint32_t version, std::uint32_t floor) {
  return version < floor ? floor : version;
}

std::uint32_t AtMost(std::uint32_t version, std::uint32_t ceiling) {
  return version > ceiling ? ceiling : version;
}

// The version word the host should see for a request of `tag` declared with `size` bytes, and
// whether the developer is warned first.
std::uint32_t TranslatedVersion(std::uint32_t tag, std::int32_t size, std::uint32_t version,
                                bool* warned) {
  *warned = false;
  if (size == 0) return version;
  const bool layout_2004 = (tag == 0x53444746 && size == 10) || (tag == 0x534F5458 && size == 26) ||
                           (tag == 0x6F74444F && size == 34);
  if (layout_2004) {
    if (version >= 0x09000000) return version;
    *warned = true;
    return 0x09000000;
  }
  if (tag == 0x534F4D53 && size == 26) return AtLeast(version, 0x0A000000);
  if (tag == 0x534F4D53 && size == 24) return 0x09000000;
  if (tag == 0x4F025353 || tag == 0x534F5353) {
    if (size == 28) return AtLeast(version, 0x0A000000);
    if (size == 24) return AtLeast(version, 0x06000000);
    if (size == 22) return 0x05000000;
  }
  if (tag == 0x534F4953 && size == 66) return 0x05000000;
  if (tag == 0x534F4953 && size == 102) return 0x08000000;
  if ((tag == 0x53444746 && size == 12) || (tag == 0x534F5458 && size == 48) ||
      (tag == 0x6F74444F && size == 12)) {
    return AtMost(version, 0x08000000);
  }
  return version;
}

// --- Requests ------------------------------------------------------------------------------------

constexpr std::uint32_t kTags[] = {
    0x534F4D53, 0x4F025353, 0x534F5353, 0x534F4953, 0x53444746, 0x534F5458, 0x6F74444F, 0x4F044958,
    0x4F096649, 0x534F5344, 0x6F745344,
    // preference structures
    0x70665046, 0x70664558, 0x7066504C, 0x70665353, 0x70665042, 0x70665250, 0x70664D53, 0x70665349,
    0x70664450,
    // preference arrays
    0x70664762, 0x7066536C, 0x70664773, 0x70665473, 0x7066534E, 0x70664764, 0x70665443, 0x70665343,
    0x70665449, 0x70664E64, 0x70664744, 0x70665458, 0x70664747, 0x70664D4D, 0x70664E44, 0x70665350,
    0x70665470,
    // plain records
    0x534F4D43, 0x534F4454, 0x4F03444F, 0x6F743737};
constexpr int kTagCount = static_cast<int>(sizeof kTags / sizeof kTags[0]);

constexpr std::int32_t kSizes[] = {0,  1,  10, 11, 12, 22,  24,  26,  28,  34,  47,  48, 49,
                                   59, 60, 65, 66, 67, 100, 101, 102, 107, 108, 109, 132};
constexpr int kSizeCount = static_cast<int>(sizeof kSizes / sizeof kSizes[0]);

constexpr std::uint32_t kVersions[] = {0,          0x05000000, 0x07FFFFFF, 0x08000000, 0x08FFFFFF,
                                       0x09000000, 0x0A000000, 0x0F000200, 0xFFFFFFFF};
constexpr int kVersionCount = static_cast<int>(sizeof kVersions / sizeof kVersions[0]);

std::uint32_t PickTag() {
  const std::uint32_t pick = script->Byte();
  return pick < kTagCount ? kTags[pick] : (pick < 200 ? kTags[pick % kTagCount] : script->Dword());
}

std::int32_t PickSize() {
  const std::uint32_t pick = script->Byte();
  return pick < 160 ? kSizes[pick % kSizeCount] : static_cast<std::int32_t>(script->Below(250));
}

std::uint32_t PickVersion() {
  const std::uint32_t pick = script->Byte();
  return pick < 200 ? kVersions[pick % kVersionCount] : script->Dword();
}

unsigned short PickCmper() {
  switch (script->Below(6)) {
    case 0:
      return 0;
    case 1:
      return 1;
    case 2:
      return static_cast<unsigned short>(script->Below(20));
    case 3:
      return 0xFFFE;
    case 4:
      return 0xFFFF;
    default:
      return script->Word();
  }
}

// A heap block of exactly `size` bytes (none at all for a null buffer), its bytes set to a
// pattern the request must not disturb where it has no business.
struct Buffer {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::int32_t size = 0;

  std::uint8_t* data() const { return bytes.get(); }
  static std::uint8_t Pattern(std::int32_t offset) {
    return static_cast<std::uint8_t>(0xC5 ^ (offset * 7));
  }
  bool UntouchedFrom(std::int32_t offset) const {
    for (std::int32_t i = offset < 0 ? 0 : offset; i < size; ++i) {
      if (bytes[static_cast<std::size_t>(i)] != Pattern(i)) return false;
    }
    return true;
  }
  bool ZeroBelow(std::int32_t count) const {
    for (std::int32_t i = 0; i < count && i < size; ++i) {
      if (bytes[static_cast<std::size_t>(i)] != 0) return false;
    }
    return true;
  }
  bool AnyNonZeroBelow(std::int32_t count) const { return !ZeroBelow(count); }
};

Buffer MakeBuffer(bool present, std::int32_t size) {
  Buffer buffer;
  if (!present) return buffer;
  buffer.size = size < 0 ? 0 : size;
  buffer.bytes.reset(new std::uint8_t[static_cast<std::size_t>(buffer.size)]);
  for (std::int32_t i = 0; i < buffer.size; ++i) {
    buffer.bytes[static_cast<std::size_t>(i)] = Buffer::Pattern(i);
  }
  return buffer;
}

// The host's record calls made since `first`, as the host saw them.
struct HostCall {
  std::string name;
  std::uint32_t tag;
  std::uint32_t version;
  Word result;
};

std::vector<HostCall> CallsSince(std::size_t first) {
  std::vector<HostCall> calls;
  const auto& log = hostsim::SimHost::Instance().Calls();
  for (std::size_t i = first; i < log.size(); ++i) {
    const auto& call = log[i];
    const auto tag = static_cast<std::uint32_t>(call.args.empty() ? 0 : call.args.front());
    const auto version = static_cast<std::uint32_t>(call.args.empty() ? 0 : call.args.back());
    calls.push_back({call.name, tag, version, call.result});
  }
  return calls;
}

bool IsRecordCall(const std::string& name) {
  return name == "FX_LoadEData" || name == "FX_SaveEData" || name == "FX_CreateEData" ||
         name == "FX_NextEData" || name == "FX_PreviousEData";
}

int CountAlerts(const std::vector<HostCall>& calls) {
  int alerts = 0;
  for (const HostCall& call : calls) alerts += call.name == "FX_AlertMessage" ? 1 : 0;
  return alerts;
}

// The version word and the warning the host saw for the request's own tag, if it saw the tag.
void CheckTranslation(const std::vector<HostCall>& calls, std::uint32_t tag, std::int32_t size,
                      std::uint32_t version) {
  bool warned = false;
  const std::uint32_t expected = TranslatedVersion(tag, size, version, &warned);
  for (const HostCall& call : calls) {
    if (!IsRecordCall(call.name) || call.tag != tag) continue;
    FUZZ_CHECK(call.version == expected, "the host saw a wrongly translated version word");
    FUZZ_CHECK(CountAlerts(calls) == (warned ? 1 : 0), "the developer warning came wrongly");
    return;
  }
}

struct PrefStructure {
  bool mapped = false;
  std::int32_t size = 0;
};

PrefStructure StructureOf(std::uint32_t tag, unsigned short cmper) {
  PrefStructure structure;
  const PREFERENCE_LOCATION_MAPRECORD* table = nullptr;
  short count = 0;
  if (!mapPrefStruct(tag, static_cast<short>(cmper), &table, &count) || !table) return structure;
  structure.mapped = true;
  for (short i = 0; i < count; ++i) structure.size += table[i].size;
  return structure;
}

struct PrefArrayShape {
  std::uint32_t record_tag = 0;
  std::int32_t size = 0;
};

PrefArrayShape ArrayOf(std::uint32_t tag, unsigned short cmper) {
  PrefArrayShape array;
  short count = 0;
  short first = 0;
  mapPrefTag(tag, static_cast<short>(cmper), &array.record_tag, &count, &first);
  array.size = count > 0 ? count * kPrefRecordSize : 0;
  return array;
}

bool OnlyOtRecords(const std::vector<HostCall>& calls) {
  for (const HostCall& call : calls) {
    if (IsRecordCall(call.name) && (call.tag & 0xFFFF0000u) != kPrefRecordFamily) return false;
  }
  return true;
}

void RunLoad(std::uint32_t tag, std::unique_ptr<EDataID>& id, std::uint32_t version) {
  const bool with_buffer = script->Below(4) != 0;
  const std::int32_t capacity = PickSize();
  Buffer buffer = MakeBuffer(with_buffer, capacity);
  // The size variable holds the buffer's capacity; without a buffer, whatever the caller left.
  auto size = std::make_unique<std::int32_t>(with_buffer ? buffer.size : PickSize());
  const std::int32_t declared = *size;
  const unsigned short cmper = id->other.cmper;
  const std::size_t first = hostsim::SimHost::Instance().Calls().size();

  const short result = FX_LoadEData(tag, id.get(), buffer.data(), size.get(), version);

  const std::vector<HostCall> calls = CallsSince(first);
  CheckTranslation(calls, tag, declared, version);
  const bool special = tag == 0x4F044958 || tag == 0x4F096649 || tag == 0x534F5344;
  const PrefStructure structure = StructureOf(tag, cmper);
  const PrefArrayShape array = ArrayOf(tag, cmper);
  if (!special && structure.mapped) {
    FUZZ_CHECK(OnlyOtRecords(calls), "a preference structure load asked for other records");
    if (!with_buffer) {
      FUZZ_CHECK(result == 1 && *size == structure.size && calls.empty(),
                 "a structure's size is answered at once");
    } else if (buffer.size < structure.size) {
      FUZZ_CHECK(result == 0 && buffer.UntouchedFrom(0) && calls.empty(),
                 "a buffer too small for a structure is refused untouched");
    } else {
      FUZZ_CHECK(result == 1 && *size == structure.size, "a structure load succeeds");
      FUZZ_CHECK(buffer.UntouchedFrom(structure.size), "a structure load wrote past its size");
    }
  } else if (!special && array.record_tag != 0) {
    FUZZ_CHECK(OnlyOtRecords(calls), "a preference array load asked for other records");
    if (!with_buffer) {
      FUZZ_CHECK(result == 1 && *size == array.size && calls.empty(),
                 "an array's size is answered at once");
    } else if (buffer.size < array.size) {
      FUZZ_CHECK(result == 0 && buffer.UntouchedFrom(0) && calls.empty(),
                 "a buffer too small for an array is refused untouched");
    } else {
      FUZZ_CHECK(result == 1 && *size == array.size, "an array load succeeds");
      FUZZ_CHECK(buffer.UntouchedFrom(array.size), "an array load wrote past its size");
    }
  }
  // The cleared tags: a refusal is judged by the cleared bytes.
  if ((tag == 0x4F044958 || tag == 0x4F096649) && with_buffer && !calls.empty() &&
      calls.front().name == "FX_LoadEData" && static_cast<short>(calls.front().result) == 0) {
    const std::int32_t cleared = tag == 0x4F044958 ? 48 : 108;
    FUZZ_CHECK(calls.size() == 1, "a refused cleared record asks nothing more");
    FUZZ_CHECK(result == (buffer.AnyNonZeroBelow(cleared) ? 1 : 0),
               "a refused cleared record is judged by its cleared bytes");
  }
  // The stand-in tag: a refusal is answered by the companion record.
  if (tag == 0x534F5344 && !calls.empty() && static_cast<short>(calls.front().result) == 0) {
    FUZZ_CHECK(calls.size() >= 2 && calls[1].tag == 0x6F745344,
               "a refused stand-in record asks for its companion");
    if (static_cast<short>(calls[1].result) == 0) {
      FUZZ_CHECK(result == 0, "without the companion the stand-in fails");
    } else {
      FUZZ_CHECK(result == 1, "with the companion the stand-in succeeds");
      if (!with_buffer) FUZZ_CHECK(*size == 66, "the stand-in's size is 66");
      if (with_buffer && *size > 0) {
        const std::int32_t room = *size < 66 ? *size : 66;
        FUZZ_CHECK(buffer.ZeroBelow(room), "the stand-in is cleared");
      }
    }
  }
}

void RunSave(std::uint32_t tag, std::unique_ptr<EDataID>& id, std::uint32_t version) {
  const bool with_buffer = script->Below(5) != 0;
  const std::int32_t capacity = PickSize();
  Buffer buffer = MakeBuffer(with_buffer, capacity);
  // With a buffer the size is the buffer's; a host must still be safe with a null one.
  const std::int32_t size = with_buffer ? buffer.size : PickSize();
  const unsigned short cmper = id->other.cmper;
  const std::size_t first = hostsim::SimHost::Instance().Calls().size();

  const short result = FX_SaveEData(tag, id.get(), buffer.data(), size, version);

  const std::vector<HostCall> calls = CallsSince(first);
  CheckTranslation(calls, tag, size, version);
  FUZZ_CHECK(buffer.UntouchedFrom(0), "a save changed the caller's record");
  if (version <= 0x07FFFFFF) return;
  const PrefStructure structure = StructureOf(tag, cmper);
  const PrefArrayShape array = ArrayOf(tag, cmper);
  if (structure.mapped) {
    FUZZ_CHECK(OnlyOtRecords(calls), "a preference structure save touched other records");
    if (!with_buffer || size < structure.size) {
      FUZZ_CHECK(result == 0 && calls.empty(), "a short structure save is refused");
    } else {
      FUZZ_CHECK(result == 1, "a structure save succeeds");
    }
  } else if (array.record_tag != 0) {
    FUZZ_CHECK(OnlyOtRecords(calls), "a preference array save touched other records");
    if (!with_buffer || size < array.size) {
      FUZZ_CHECK(result == 0 && calls.empty(), "a short array save is refused");
    } else {
      FUZZ_CHECK(result == 1, "an array save succeeds");
    }
  }
}

void RunForwarded(int kind, std::uint32_t tag, std::unique_ptr<EDataID>& id,
                  std::uint32_t version) {
  const bool with_buffer = script->Below(3) == 0;
  Buffer buffer = MakeBuffer(with_buffer, PickSize());
  const std::int32_t size = with_buffer ? buffer.size : (script->Below(2) ? 0 : PickSize());
  const std::size_t first = hostsim::SimHost::Instance().Calls().size();
  if (kind == 0) {
    FX_CreateEData(tag, id.get(), buffer.data(), size, version);
  } else if (kind == 1) {
    FX_NextEData(tag, id.get(), buffer.data(), size, version);
  } else if (kind == 2) {
    FX_PreviousEData(tag, id.get(), buffer.data(), size, version);
  } else {
    FX_DeleteEData(tag, id.get(), version);
    const std::vector<HostCall> calls = CallsSince(first);
    FUZZ_CHECK(calls.size() == 1 && calls[0].version == version, "a delete is passed as it is");
    return;
  }
  const std::vector<HostCall> calls = CallsSince(first);
  FUZZ_CHECK(calls.size() == 1 + static_cast<std::size_t>(CountAlerts(calls)),
             "a create or walk is one host call");
  CheckTranslation(calls, tag, size, version);
}

void InstallHost() {
  auto& host = fuzz::FreshHost();
  host.SetBehavior("FX_LoadEData", HostLoad);
  host.SetBehavior("FX_SaveEData", HostSave);
  host.SetBehavior("FX_CreateEData", HostCreate);
  host.SetBehavior("FX_NextEData", HostStep);
  host.SetBehavior("FX_PreviousEData", HostStep);
  host.SetBehavior("FX_DeleteEData", HostDelete);
  host.SetBehavior("FX_AlertMessage", HostAlert);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  explain = fuzz::Explaining();
  fuzz::ByteReader reader(data, size);
  script = &reader;
  InstallHost();

  const int requests = 1 + static_cast<int>(reader.Below(6));
  for (int request = 0; request < requests && !reader.Empty(); ++request) {
    const int kind = static_cast<int>(reader.Below(8));
    const std::uint32_t tag = PickTag();
    auto id = std::make_unique<EDataID>();
    std::memset(id.get(), 0, sizeof(EDataID));
    id->other.cmper = PickCmper();
    id->other.inci = static_cast<short>(reader.Below(4) == 0 ? reader.Word() : reader.Below(4));
    const std::uint32_t version = PickVersion();
    if (explain) {
      std::fprintf(stderr, "request %s tag %08X cmper %u version %08X\n",
                   kind < 3 ? "load" : (kind < 6 ? "save" : "create/walk/delete"),
                   static_cast<unsigned>(tag), static_cast<unsigned>(id->other.cmper),
                   static_cast<unsigned>(version));
    }
    if (kind < 3) {
      RunLoad(tag, id, version);
    } else if (kind < 6) {
      RunSave(tag, id, version);
    } else {
      RunForwarded(static_cast<int>(reader.Below(4)), tag, id, version);
    }
  }
  script = nullptr;
  return 0;
}
