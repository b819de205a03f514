// Frame access: frames of one staff, measure and layer, lent by the host between FX_LoadTGF and
// FX_FreeTGF. The counter of loaded frames is kept so that leaks can be seen.
#include "vaz/binding.h"
#include "vaz/host_api.h"

using vaz::binding::kRequired;
using vaz::binding::P;
using vaz::binding::S;
using vaz::binding::U;
using vaz::binding::V;

EXTGF2005a* WINAPI FX_LoadTGF(unsigned short a1, short staff, short measure, short layer, short a5,
                              std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_LoadTGF);
  vaz::binding::GenericProc address = slot.Resolve();
  // Raised before the host answers, so a failed load (a null frame, which is never freed) leaves
  // the counter one higher: it counts requests, not frames held.
  ++LoadedTGFCounter;
  return reinterpret_cast<EXTGF2005a*>(vaz::binding::Forward<std::uintptr_t>(
      address, kRequired, U(a1), S(staff), S(measure), S(layer), S(a5), V(version)));
}

short WINAPI FX_SaveTGF(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_SaveTGF);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), V(version));
}

short WINAPI FX_InsertEXENTRY(EXTGF2005a* frame, short a2, short a3,
                              std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_InsertEXENTRY);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), S(a2), S(a3),
                                      V(version));
}

short WINAPI FX_DeleteEXENTRY(EXTGF2005a* frame, short a2, short a3,
                              std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_DeleteEXENTRY);
  return vaz::binding::Forward<short>(slot.Resolve(), kRequired, P(frame), S(a2), S(a3),
                                      V(version));
}

std::int32_t WINAPI FX_ReduceEntries(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_ReduceEntries);
  return vaz::binding::Forward<std::int32_t>(slot.Resolve(), kRequired, P(frame), V(version));
}

std::int32_t WINAPI FX_FreeTGF(EXTGF2005a* frame, std::uint32_t version) {  // [required]
  VAZ_HOST_SLOT(FX_FreeTGF);
  vaz::binding::GenericProc address = slot.Resolve();
  --LoadedTGFCounter;
  return vaz::binding::Forward<std::int32_t>(address, kRequired, P(frame), V(version));
}
