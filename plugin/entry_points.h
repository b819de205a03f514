// The six functions the Scorix host calls in the plug-in, exported under these undecorated names
// with the Windows API calling convention (the callee removes its arguments from the stack).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// The menu item a plug-in offers, as the host lays it out (the host's memory; 196 bytes filled).
#pragma pack(push, 1)
struct ScorixMenuItemRecord {
  char title[64];
  char description[64];
  char short_name[64];
  unsigned short reserved1;
  unsigned short reserved2;
};
#pragma pack(pop)
static_assert(offsetof(ScorixMenuItemRecord, title) == 0, "title at byte 0");
static_assert(offsetof(ScorixMenuItemRecord, description) == 64, "description at byte 64");
static_assert(offsetof(ScorixMenuItemRecord, short_name) == 128, "short name at byte 128");
static_assert(offsetof(ScorixMenuItemRecord, reserved1) == 192, "first zero word at byte 192");
static_assert(offsetof(ScorixMenuItemRecord, reserved2) == 194, "second zero word at byte 194");
static_assert(sizeof(ScorixMenuItemRecord) == 196, "the menu item record is 196 bytes");

extern "C" {
// Records the host's version for the framework; answers it unchanged.
std::uintptr_t WINAPI ScorixExtensionVersion(std::uintptr_t version);
// Sets bit 0 of the host's flag word; answers 1.
std::intptr_t WINAPI ScorixExtensionInit(std::intptr_t unused, std::uint32_t* flags);
// Describes the one menu item (index 0 or below); answers 0 for any index above 0.
std::intptr_t WINAPI ScorixExtensionEnumerate(std::intptr_t unused, std::intptr_t index,
                                              ScorixMenuItemRecord* record);
// Asks the user to confirm, then sorts; answers 1 when the command ran, 0 otherwise.
std::intptr_t WINAPI ScorixExtensionInvoke(HWND owner, std::intptr_t unused1, std::intptr_t unused2,
                                           std::intptr_t unused3);
// Does nothing: no invocation leaves anything behind to release.
void WINAPI ScorixExtensionTerminate(std::intptr_t unused);
// The menu item is always available: answers 1.
std::intptr_t WINAPI ScorixExtensionGetMenuStatus(std::intptr_t unused);
}

// The texts of the confirmation box and the menu item.
extern const char kConfirmationText[];
extern const char kConfirmationCaption[];
