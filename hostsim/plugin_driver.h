// Drives a plug-in the way the Scorix application does: loads the module, finds its six entry
// points, announces itself (version, init, enumerate, menu status), invokes the command when the
// user picks the item, and terminates. On i386 every entry-point call is made through a thunk
// that measures how many argument bytes the callee removed from the stack, so a calling-convention
// mistake in a plug-in is seen, not just survived. On x86_64 the arguments travel in registers,
// nobody removes anything, and the entry points are called directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace hostsim {

// A word as the host hands it to an entry point and gets it back: 32 bits on i386 (one stack
// slot), as wide as an address elsewhere.
using EntryWord = std::uintptr_t;

// Whether this build measures the stack bytes an entry point removes. The stdcall contract
// (Version removes 4 bytes, Init 8, ...) exists only on i386.
#if defined(__i386__)
constexpr bool kStackCleanupMeasured = true;
#else
constexpr bool kStackCleanupMeasured = false;
#endif
// `removed_bytes` of a call whose stack cleanup was not measured.
constexpr int kStackNotMeasured = -1;
// Why the stack check does not apply on a build that cannot measure it.
constexpr const char kStackCheckNotApplicable[] =
    "does not apply on this build: entry points take their arguments in registers on x86_64";

// One entry-point call: the export, the argument bytes the host pushed (4 per word, as on the
// target), the bytes the plug-in removed (equal for a correct stdcall export; kStackNotMeasured
// where nothing is measured), and the answer.
struct EntryPointCall {
  std::string name;
  int argument_bytes;
  int removed_bytes;
  EntryWord result;
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
  std::uint32_t flags_after_init = 0;
  std::int32_t menu_status = 0;
  std::int32_t invoke_result = 0;
};

// Calls `function` with `count` words (at most 4 off i386). On i386 they are pushed right to
// left, as the Windows API convention wants, and `removed_bytes` tells how many argument bytes
// the callee removed; the stack pointer is restored afterwards whatever the callee did, so a
// callee with the wrong convention is reported instead of corrupting the caller. Elsewhere the
// function is called directly and `removed_bytes` is kStackNotMeasured.
EntryWord CallWithWords(FARPROC function, const EntryWord* args, int count, int* removed_bytes);

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
  void Announce(PluginSession* session, std::uint32_t host_version = 0x0F000200);
  // The user picks the menu item: ScorixExtensionInvoke with the host's window as the owner.
  std::int32_t Invoke(HWND owner, PluginSession* session);
  void Terminate(PluginSession* session);
  void Unload();

 private:
  EntryWord Call(const char* name, const EntryWord* args, int count, PluginSession* session);

  HMODULE module_ = nullptr;
};

}  // namespace hostsim
