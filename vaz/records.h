// Host record types shared by the binding layer and the framework: the record identity and the
// frame and entry records passed by address. Offsets are the host's wire format (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "frames carry 32-bit addresses");

// The API version word the framework passes as the last argument of every host call.
constexpr unsigned long kScorixApiVersion = 0x0F000200;

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
