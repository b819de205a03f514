// Shared by the record-access tests: a simulated host holding 'ot' records, and a log of every
// record request the host received, decoded at the moment of the call (the identity and size
// variables the plug-in passes by address are gone once the call returns).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/sim_fixture.h"
#include "vaz/vaz.h"

namespace records_test {

using hostsim::Bytes;
using hostsim::Identity;
using hostsim::ItemIdentity;
using Words = std::array<std::uint16_t, 6>;

constexpr std::uint32_t OtTag(char first, char second) {
  return 0x6F740000u | (static_cast<std::uint32_t>(static_cast<unsigned char>(first)) << 8) |
         static_cast<unsigned char>(second);
}

inline Bytes FromWords(const Words& words) {
  Bytes bytes(12);
  for (int i = 0; i < 6; ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
  }
  return bytes;
}

inline std::uint16_t WordOf(const Bytes& bytes, int index) {
  return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

inline std::uint16_t Get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* at) {
  return Get16(at) | (static_cast<std::uint32_t>(Get16(at + 2)) << 16);
}
inline void Put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void Put32(std::uint8_t* at, std::uint32_t value) {
  Put16(at, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

inline EDataID ItemId(std::uint16_t cmper, std::int16_t inci = 0) {
  EDataID id{};
  id.other.cmper = cmper;
  id.other.inci = inci;
  return id;
}

// One record request as the host received it.
struct HostRequest {
  std::string name;  // "FX_LoadEData" or "FX_SaveEData"
  std::uint32_t tag;
  Identity id;
  std::int32_t size;  // the capacity on entry for loads, the size for saves
  std::uint32_t version;
  bool has_buffer;
};

class RecordsTest : public SimHostTest {
 protected:
  using Word = hostsim::Word;

  void Put(std::uint32_t tag, std::uint16_t cmper, std::int16_t inci, const Words& words) {
    host().Records().Put(tag, ItemIdentity(cmper, inci), FromWords(words));
  }

  const Bytes* Find(std::uint32_t tag, std::uint16_t cmper, std::int16_t inci) {
    return host().Records().Find(tag, ItemIdentity(cmper, inci));
  }

  // Replaces the host's load and save with ones that answer from the same record store as the
  // host's own and log each request, decoded while its arguments are still alive.
  void SpyOnRecords() {
    host().SetBehavior("FX_LoadEData", [this](const Word* args) { return SpyLoad(args); });
    host().SetBehavior("FX_SaveEData", [this](const Word* args) { return SpySave(args); });
  }

  std::vector<HostRequest> RequestsOf(const std::string& name) const {
    std::vector<HostRequest> found;
    for (const HostRequest& request : requests_) {
      if (request.name == name) found.push_back(request);
    }
    return found;
  }

  int HostSaves() const { return host().CountCalls("FX_SaveEData"); }
  int HostLoads() const { return host().CountCalls("FX_LoadEData"); }

  // The version word of the last host call of `name` (its last argument word).
  Word LastVersion(const std::string& name) const {
    for (auto call = host().Calls().rbegin(); call != host().Calls().rend(); ++call) {
      if (call->name == name) return call->args.back();
    }
    ADD_FAILURE() << "the host saw no call of " << name;
    return 0;
  }

  // A tag or version word: the host reads the low 32 bits of its word.
  static std::uint32_t Low32(Word word) { return static_cast<std::uint32_t>(word); }

  template <typename T>
  static T* At(Word word) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(word));
  }

  static Identity IdentityAt(Word address) {
    Identity id{};
    std::memcpy(id.data(), At<const std::uint8_t>(address), id.size());
    return id;
  }

 private:
  Word SpyLoad(const Word* args) {
    auto* size = At<std::int32_t>(args[3]);
    const Identity id = IdentityAt(args[1]);
    requests_.push_back({"FX_LoadEData", Low32(args[0]), id, *size, Low32(args[4]), args[2] != 0});
    const Bytes* record = host().Records().Find(args[0], id);
    if (!record) return 0;
    if (!args[2]) {
      *size = static_cast<std::int32_t>(record->size());
      return 1;
    }
    const auto count = std::min<std::int32_t>(*size, static_cast<std::int32_t>(record->size()));
    if (count > 0) std::memcpy(At<std::uint8_t>(args[2]), record->data(), count);
    *size = count > 0 ? count : 0;
    return 1;
  }

  Word SpySave(const Word* args) {
    const Identity id = IdentityAt(args[1]);
    const auto size = static_cast<std::int32_t>(args[3]);
    requests_.push_back({"FX_SaveEData", Low32(args[0]), id, size, Low32(args[4]), args[2] != 0});
    if (!args[2] || size < 0 || !host().Records().Find(args[0], id)) return 0;
    const auto* bytes = At<const std::uint8_t>(args[2]);
    host().Records().Put(args[0], id, Bytes(bytes, bytes + size));
    return 1;
  }

  std::vector<HostRequest> requests_;
};

}  // namespace records_test
