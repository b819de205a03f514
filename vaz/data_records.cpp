// Data-record access: the single road from the framework to the host's records.
#include "vaz/binding.h"
#include "vaz/host_api.h"

using vaz::binding::kRequired;
using vaz::binding::L;
using vaz::binding::P;
using vaz::binding::V;

short WINAPI FX_LoadEData(unsigned long tag, EDataID* id, void* buffer, long* size,
                          unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_LoadEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), P(size),
                                      V(version));
}

short WINAPI FX_SaveEData(unsigned long tag, EDataID* id, void* buffer, long size,
                          unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_SaveEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}

short WINAPI FX_CreateEData(unsigned long tag, EDataID* id, void* buffer, long size,
                            unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_CreateEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}

short WINAPI FX_DeleteEData(unsigned long tag, EDataID* id, unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_DeleteEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), V(version));
}

short WINAPI FX_PreviousEData(unsigned long tag, EDataID* id, void* buffer, long size,
                              unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_PreviousEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}

short WINAPI FX_NextEData(unsigned long tag, EDataID* id, void* buffer, long size,
                          unsigned long version) {  // [required]
  VAZ_HOST_SLOT(FX_NextEData);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, L(tag), P(id), P(buffer), L(size),
                                      V(version));
}
