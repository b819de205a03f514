// A plug-in with the classic mistake: its six exports use the C calling convention, so they
// leave their arguments on the stack. The host must see that, and survive it. Built for i686
// only, where the two conventions differ. Its words are as wide as an address, like the shipped
// plug-in's: only the convention is wrong.
#include <windows.h>

#include <cstdint>

#define CDECL_EXPORT extern "C" __declspec(dllexport)

CDECL_EXPORT std::uintptr_t __cdecl ScorixExtensionVersion(std::uintptr_t version) {
  return version;
}

CDECL_EXPORT std::intptr_t __cdecl ScorixExtensionInit(std::intptr_t, std::uint32_t* flags) {
  if (flags) *flags |= 1u;
  return 1;
}

// Fills only the title, so the rest of the host's record shows as untouched.
CDECL_EXPORT std::intptr_t __cdecl ScorixExtensionEnumerate(std::intptr_t, std::intptr_t,
                                                            char* record) {
  if (record) lstrcpyA(record, "Cdecl");
  return 1;
}

CDECL_EXPORT std::intptr_t __cdecl ScorixExtensionInvoke(HWND owner, std::intptr_t, std::intptr_t,
                                                         std::intptr_t) {
  return MessageBoxA(owner, "Go?", "Cdecl", MB_OK) == IDOK ? 1 : 0;
}

CDECL_EXPORT void __cdecl ScorixExtensionTerminate(std::intptr_t) {}

CDECL_EXPORT std::intptr_t __cdecl ScorixExtensionGetMenuStatus(std::intptr_t) {
  return 1;
}
