#include "hostsim/hostile_answers.h"

#include <algorithm>
#include <cstdint>

namespace hostsim {

namespace {

// FX_LoadEData(tag, id, buffer, size*, version)
constexpr int kIdArgument = 1;
constexpr int kBufferArgument = 2;
constexpr int kSizeArgument = 3;

std::int32_t* SizeVariable(const Word* args) {
  return reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(args[kSizeArgument]));
}

}  // namespace

void DeliverRecordsShort(SimHost& host, std::function<std::int32_t(std::int32_t size)> keep) {
  const Behavior load = host.BehaviorOf("FX_LoadEData");
  if (!load) return;
  host.SetBehavior("FX_LoadEData", [load, keep](const Word* args) -> Word {
    if (!args[kIdArgument] || !args[kSizeArgument]) return load(args);
    // The record's own size, asked as a plug-in would ask it.
    std::int32_t stored = 0;
    const Word query[] = {args[0], args[kIdArgument], 0,
                          static_cast<Word>(reinterpret_cast<std::uintptr_t>(&stored)), args[4]};
    if (!load(query)) return 0;
    const std::int32_t kept = std::max<std::int32_t>(0, keep(stored));
    std::int32_t* size = SizeVariable(args);
    if (!args[kBufferArgument]) {
      *size = kept;
      return 1;
    }
    *size = std::min(*size, kept);
    return load(args);
  });
}

void ClaimMoreThanOffered(SimHost& host, std::int32_t extra) {
  const Behavior load = host.BehaviorOf("FX_LoadEData");
  if (!load) return;
  host.SetBehavior("FX_LoadEData", [load, extra](const Word* args) -> Word {
    if (!args[kSizeArgument]) return load(args);
    std::int32_t* size = SizeVariable(args);
    const std::int32_t offered = *size;
    const Word answer = load(args);
    if (answer) *size = (args[kBufferArgument] ? std::max(offered, 0) : *size) + extra;
    return answer;
  });
}

}  // namespace hostsim
