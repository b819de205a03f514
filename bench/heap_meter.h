// Counts the heap a run takes, through the process's own operator new and delete: the most bytes
// it holds at once on top of what was held when it began.
#pragma once

#include <cstddef>

namespace bench {

// From now on counts the bytes taken from the heap and not yet given back, from 0.
void StartMetering();
// Stops counting; answers the most bytes held at once since StartMetering.
std::size_t StopMetering();

}  // namespace bench
