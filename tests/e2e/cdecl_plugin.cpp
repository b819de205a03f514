// A plug-in with the classic mistake: its six exports use the C calling convention, so they
// leave their arguments on the stack. The host must see that, and survive it.
#include <windows.h>

#define CDECL_EXPORT extern "C" __declspec(dllexport)

CDECL_EXPORT unsigned long __cdecl ScorixExtensionVersion(unsigned long version) {
  return version;
}

CDECL_EXPORT long __cdecl ScorixExtensionInit(long, unsigned long* flags) {
  if (flags) *flags |= 1u;
  return 1;
}

// Fills only the title, so the rest of the host's record shows as untouched.
CDECL_EXPORT long __cdecl ScorixExtensionEnumerate(long, long, char* record) {
  if (record) lstrcpyA(record, "Cdecl");
  return 1;
}

CDECL_EXPORT long __cdecl ScorixExtensionInvoke(HWND owner, long, long, long) {
  return MessageBoxA(owner, "Go?", "Cdecl", MB_OK) == IDOK ? 1 : 0;
}

CDECL_EXPORT void __cdecl ScorixExtensionTerminate(long) {}

CDECL_EXPORT long __cdecl ScorixExtensionGetMenuStatus(long) {
  return 1;
}
