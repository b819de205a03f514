// Drives a plug-in the way the Scorix application does: loads the module, finds its six entry
// points, announces itself (version, init, enumerate, menu status), invokes the command when the
// user picks the item, and terminates. Every entry-point call is made through a thunk that
// measures how many argument bytes the callee removed from the stack, so a calling-convention
// mistake in a plug-in is seen, not just survived.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace hostsim {

// One entry-point call: the export, the argument bytes the host pushed, the bytes the plug-in
// removed (equal for a correct stdcall export), and the 32-bit answer.
struct EntryPointCall {
  std::string name;
  int argument_bytes;
  int removed_bytes;
  std::uint32_t result;
};

// The menu item as the plug-in described it.
struct MenuItem {
  bool offered = false;
  std::string title;
  std::string description;
  std::string short_name;
  unsigned reserved1 = 0;
  unsigned reserved2 = 0;
};

struct PluginSession {
  std::vector<EntryPointCall> calls;  // in the order they were made
  MenuItem item;
  unsigned long flags_after_init = 0;
  long menu_status = 0;
  long invoke_result = 0;
};

// Calls `function` with `count` 32-bit words pushed right to left, as the Windows API convention
// wants, and measures how many argument bytes the callee removed (`removed_bytes`). The stack
// pointer is restored afterwards whatever the callee did, so a callee with the wrong convention
// is reported instead of corrupting the caller.
std::uint32_t CallWithWords(FARPROC function, const std::uint32_t* args, int count,
                            int* removed_bytes);

class PluginDriver {
 public:
  PluginDriver() = default;
  PluginDriver(const PluginDriver&) = delete;
  PluginDriver& operator=(const PluginDriver&) = delete;
  ~PluginDriver();

  // Loads the module and looks up all six entry points; on failure says why in `error`.
  bool Load(const std::string& path, std::string* error);
  // The calls the application makes once the module is loaded: ScorixExtensionVersion with the
  // host's version, ScorixExtensionInit, ScorixExtensionEnumerate for item 0 and
  // ScorixExtensionGetMenuStatus.
  void Announce(PluginSession* session, unsigned long host_version = 0x0F000200);
  // The user picks the menu item: ScorixExtensionInvoke with the host's window as the owner.
  long Invoke(HWND owner, PluginSession* session);
  void Terminate(PluginSession* session);
  void Unload();

 private:
  std::uint32_t Call(const char* name, const std::uint32_t* args, int count,
                     PluginSession* session);

  HMODULE module_ = nullptr;
};

}  // namespace hostsim
