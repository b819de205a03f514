// The baseline the command is measured against: the same host calls, in the same order, made by
// a plain loop over the simulated host's exports, with plain arrays and no framework.
#pragma once

#include <cstdint>

namespace bench {

// Sorts the categories of the simulated host's document and re-points the expression
// definitions, exactly as the command does it to the host. False when a record was not
// delivered in full or a save was refused (nothing is rolled back: the baseline's host is honest).
bool BaselineSort();

// One call of the host's FX_GetMaxLayers export, made directly.
std::uintptr_t DirectGetMaxLayers();

}  // namespace bench
