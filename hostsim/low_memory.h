// Memory whose every address fits in 32 bits, for what the host lends by an address kept in a
// 32-bit record field (a frame holds its entry array's address at byte 14). On 32-bit builds any
// memory will do; on 64-bit builds it comes from below 4 GiB (MAP_32BIT on Linux).
#pragma once

#include <cstddef>
#include <string>

namespace hostsim {

// Allocates `bytes` zeroed bytes (at least one) that end at or below 4 GiB. When there is no such
// memory left, answers null and says why in `error`: never an address that would be cut.
void* AllocateLowMemory(std::size_t bytes, std::string* error);

// Gives back a block from AllocateLowMemory with the size it was asked for. Null does nothing.
void FreeLowMemory(void* address, std::size_t bytes);

}  // namespace hostsim
