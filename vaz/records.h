// Host record types shared by the binding layer and the framework: the record identity and the
// frame and entry records passed by address. Offsets are the host's wire format (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The API version word the framework passes as the last argument of every host call.
constexpr std::uint32_t kScorixApiVersion = 0x0F000200;

#pragma pack(push, 1)
// The 8-byte record identity, always passed by address. The binding reads only the first 16 bits
// (`other.cmper`); other callers lay their own fields into the same bytes.
union EDataID {
  struct {
    unsigned short cmper;
    short inci;
    unsigned char unused[4];
  } other;
  struct {
    unsigned short cmper1;
    unsigned short cmper2;
    short inci;
    unsigned char unused[2];
  } detail;
  unsigned char bytes[8];
};
#pragma pack(pop)

static_assert(sizeof(EDataID) == 8, "EDataID is 8 bytes");
static_assert(offsetof(EDataID, other.cmper) == 0, "other.cmper at byte 0");
static_assert(offsetof(EDataID, other.inci) == 2, "other.inci at byte 2");
static_assert(offsetof(EDataID, detail.cmper2) == 2, "detail.cmper2 at byte 2");
static_assert(offsetof(EDataID, detail.inci) == 4, "detail.inci at byte 4");

// The host's frame of one staff, measure and layer. Only two fields are the plug-in's business:
// the address of the entry array at byte 14 and the entry count at byte 18; the rest of the block
// belongs to the host and is handed back unchanged.
struct EXTGF2005a;
constexpr std::size_t kFrameEntriesOffset = 14;
constexpr std::size_t kFrameEntryCountOffset = 18;

// Entry and layout-metrics records, declared for the binding functions that take them by address.
struct EXENTRY;
struct EEntryMetrics;
struct EMeasureMetrics;

namespace vaz {

// A host record field that holds an address in 32 bits (a frame's entry array at byte 14). The
// field may sit at any byte offset, so it is read and written byte-wise. The address is
// zero-extended: one at or above 2 GiB stays what it is and never becomes a negative number, so
// on 64-bit builds it is the address the host meant.
inline void* ReadAddressField(const void* record, std::size_t offset) {
  std::uint32_t field;
  std::memcpy(&field, static_cast<const unsigned char*>(record) + offset, sizeof field);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(field));
}

// Writes `address` into the 32-bit field. An address that does not fit in 32 bits (possible
// only on 64-bit builds) is refused: the field is left as it was and the answer is false, where a
// cut address would send the host to the wrong memory.
inline bool WriteAddressField(void* record, std::size_t offset, const void* address) {
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  if (value > UINT32_MAX) return false;
  const auto field = static_cast<std::uint32_t>(value);
  std::memcpy(static_cast<unsigned char*>(record) + offset, &field, sizeof field);
  return true;
}

}  // namespace vaz
