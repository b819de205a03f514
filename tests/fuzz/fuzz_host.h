// Shared by the fuzz targets that run framework code against the simulated host: the host made
// fresh for every input, and the memory an argument word of an export names.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "hostsim/sim_host.h"
#include "tests/support/host_bindings.h"

namespace fuzz {

// The simulated host as a new input finds it: registered as the host module (once per
// process), every export with its own behaviour, no records, no calls, and the plug-in's
// bindings forgotten, so that no input depends on the ones before it.
inline hostsim::SimHost& FreshHost() {
  auto& host = hostsim::SimHost::Instance();
  static const bool registered = [&host] {
    host.Reset();
    host.RegisterAs("SCORIX.EXE");
    return true;
  }();
  static_cast<void>(registered);
  ForgetHostBindings();
  host.Reset();
  return host;
}

// Whether FUZZ_EXPLAIN is set: a replayed input then tells on stderr what it does.
inline bool Explaining() {
  static const bool explaining = std::getenv("FUZZ_EXPLAIN") != nullptr;
  return explaining;
}

// The memory an argument word of an export points at.
template <typename T>
T* At(hostsim::Word word) {
  return reinterpret_cast<T*>(static_cast<std::uintptr_t>(word));
}

}  // namespace fuzz
