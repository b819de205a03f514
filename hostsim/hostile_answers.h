// Answers of a hostile host to FX_LoadEData, laid over whatever behaviour the export has: records
// that come short, and sizes larger than the buffer a plug-in offered. The check's level 5 plays
// them against a plug-in; a plug-in that trusts them reads or writes past what it was given.
#pragma once

#include <cstdint>
#include <functional>

#include "hostsim/sim_host.h"

namespace hostsim {

// How much larger than the truth the oversized answers are.
constexpr std::int32_t kOversize = 64;

// From now on FX_LoadEData answers with at most `keep(size)` of a record's bytes (never fewer
// than 0): a size query reports that many, and a load delivers at most that many and says so.
// Records the host does not have are refused as before.
void DeliverRecordsShort(SimHost& host, std::function<std::int32_t(std::int32_t size)> keep);

// From now on a size query reports `extra` bytes more than the record has, and a load claims to
// have delivered `extra` bytes more than the buffer offered could hold (the bytes themselves
// stay within it).
void ClaimMoreThanOffered(SimHost& host, std::int32_t extra);

}  // namespace hostsim
