// The host module, the binding slots' lookup, and the layer's process-wide state.
#include "vaz/binding.h"
#include "vaz/host_api.h"

// All of these are constant-initialised: no static constructor runs when the host loads us.
std::uint32_t RunningScorixVersion = kScorixApiVersion;
std::int32_t ScorixEditDepth = 0;
std::int32_t MassEditDepth = 0;
std::int32_t LoadedTGFCounter = 0;

namespace {

bool host_module_looked_up = false;
HMODULE host_module = nullptr;
vaz::binding::Slot* looked_up_slots = nullptr;

}  // namespace

HMODULE GetScorixHandle() {
  if (!host_module_looked_up) {
    host_module = GetModuleHandleA("SCORIX.EXE");
    if (!host_module) host_module = GetModuleHandleA("VAVAVER.EXE");
    host_module_looked_up = true;
  }
  return host_module;
}

void SetScorixFrameworkVersion(std::uint32_t version) {
  RunningScorixVersion = version;
}

namespace vaz::binding {

GenericProc Slot::Resolve() {
  if (!looked_up) {
    // Without a host module every export counts as missing. GetProcAddress is not asked with a
    // null handle: Windows would then search whatever executable loaded us.
    HMODULE host = GetScorixHandle();
    address = host ? reinterpret_cast<GenericProc>(GetProcAddress(host, name)) : nullptr;
    looked_up = true;
    next = looked_up_slots;
    looked_up_slots = this;
  }
  return address;
}

}  // namespace vaz::binding

// Test support only (declared in tests/support/host_bindings.h): forgets the host module, every
// looked-up export and the counters, as if the plug-in had just been loaded.
void ForgetHostBindings() {
  for (vaz::binding::Slot* slot = looked_up_slots; slot;) {
    vaz::binding::Slot* next = slot->next;
    slot->looked_up = false;
    slot->address = nullptr;
    slot->next = nullptr;
    slot = next;
  }
  looked_up_slots = nullptr;
  host_module_looked_up = false;
  host_module = nullptr;
  RunningScorixVersion = kScorixApiVersion;
  ScorixEditDepth = 0;
  MassEditDepth = 0;
  LoadedTGFCounter = 0;
}
