#include "hostsim/plugin_driver.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__i386__) && !defined(__GNUC__)
#error "the entry-point thunk is i386 assembly in GCC syntax (Linux -m32 or MinGW i686)"
#endif

namespace hostsim {

namespace {

struct EntryPoint {
  const char* name;
  int argument_words;
};

// The six exports every plug-in offers, with the argument words the host pushes for each.
constexpr EntryPoint kEntryPoints[] = {
    {"ScorixExtensionVersion", 1},   {"ScorixExtensionInit", 2},
    {"ScorixExtensionEnumerate", 3}, {"ScorixExtensionInvoke", 4},
    {"ScorixExtensionTerminate", 1}, {"ScorixExtensionGetMenuStatus", 1},
};

constexpr int kMenuTextBytes = 64;

// The menu item as the host lays it out for ScorixExtensionEnumerate to fill.
#pragma pack(push, 1)
struct MenuItemRecord {
  char title[kMenuTextBytes];
  char description[kMenuTextBytes];
  char short_name[kMenuTextBytes];
  unsigned char reserved1[2];  // little-endian 16-bit words
  unsigned char reserved2[2];
};
#pragma pack(pop)
static_assert(offsetof(MenuItemRecord, title) == 0, "title at 0");
static_assert(offsetof(MenuItemRecord, description) == 64, "description at 64");
static_assert(offsetof(MenuItemRecord, short_name) == 128, "short name at 128");
static_assert(offsetof(MenuItemRecord, reserved1) == 192, "first reserved word at 192");
static_assert(offsetof(MenuItemRecord, reserved2) == 194, "second reserved word at 194");
static_assert(sizeof(MenuItemRecord) == 196, "the menu item record is 196 bytes");

// Bytes the plug-in leaves alone keep this value, so they show in the session.
constexpr unsigned char kUntouched = 0xCC;

// The plug-in need not end a field with NUL; the text never runs past the field.
std::string FixedText(const char (&field)[kMenuTextBytes]) {
  return std::string(field, strnlen(field, kMenuTextBytes));
}

unsigned ReadWord16(const unsigned char* bytes) {
  return static_cast<unsigned>(bytes[0]) | (static_cast<unsigned>(bytes[1]) << 8);
}

MenuItem ReadMenuItem(const MenuItemRecord& record, bool offered) {
  MenuItem item;
  item.offered = offered;
  item.title = FixedText(record.title);
  item.description = FixedText(record.description);
  item.short_name = FixedText(record.short_name);
  item.reserved1 = ReadWord16(record.reserved1);
  item.reserved2 = ReadWord16(record.reserved2);
  return item;
}

int ArgumentWords(const char* name) {
  for (const auto& entry : kEntryPoints) {
    if (std::strcmp(entry.name, name) == 0) return entry.argument_words;
  }
  return 0;
}

EntryWord Word(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

}  // namespace

#if defined(__i386__)

namespace {

// What the thunk needs while the stack is not its own: kept in memory that one register points
// at, so no operand is addressed relative to the stack pointer the pushes move.
struct ThunkFrame {
  FARPROC function;          // offset 0
  const EntryWord* args;     // offset 4
  std::uint32_t count;       // offset 8
  std::uint32_t esp_before;  // offset 12: the stack pointer just before the first push
};
static_assert(offsetof(ThunkFrame, function) == 0, "the thunk reads the function at 0");
static_assert(offsetof(ThunkFrame, args) == 4, "the thunk reads the arguments at 4");
static_assert(offsetof(ThunkFrame, count) == 8, "the thunk reads the count at 8");
static_assert(offsetof(ThunkFrame, esp_before) == 12, "the thunk keeps the stack pointer at 12");

}  // namespace

EntryWord CallWithWords(FARPROC function, const EntryWord* args, int count, int* removed_bytes) {
  ThunkFrame frame{function, args, static_cast<std::uint32_t>(std::max(count, 0)), 0};
  EntryWord result;
  std::uint32_t moved;  // stack pointer after the call minus before the pushes
  // The stack is aligned to 16 bytes at the call, as the POSIX i386 ABI expects, and the
  // original stack pointer is restored from ESI whatever the callee did to it.
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "movl 8(%%edi), %%ecx\n\t"
      "leal 0(,%%ecx,4), %%edx\n\t"
      "subl %%edx, %%esp\n\t"
      "andl $-16, %%esp\n\t"
      "addl %%edx, %%esp\n\t"
      "movl %%esp, 12(%%edi)\n\t"
      "movl 4(%%edi), %%edx\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%%edx,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "call *(%%edi)\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl 12(%%edi), %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(result), "=c"(moved)
      : "D"(&frame)
      : "edx", "esi", "memory", "cc");
  if (removed_bytes) {
    *removed_bytes = static_cast<int>(moved) + 4 * static_cast<int>(frame.count);
  }
  return result;
}

#else

namespace {

// FARPROC is `void (*)()` on POSIX but `INT_PTR (*)()` in MinGW-w64's x86_64 headers, and GCC
// warns about a cast from the latter to any other function type. `void (*)()` is the type GCC
// takes as "any function", so the address goes through it on its way to the entry point's type.
template <class Function>
Function EntryPointAs(FARPROC function) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(function));
}

}  // namespace

EntryWord CallWithWords(FARPROC function, const EntryWord* args, int count, int* removed_bytes) {
  if (removed_bytes) *removed_bytes = kStackNotMeasured;
  using W = EntryWord;
  switch (count) {
    case 0:
      return EntryPointAs<W (*)()>(function)();
    case 1:
      return EntryPointAs<W (*)(W)>(function)(args[0]);
    case 2:
      return EntryPointAs<W (*)(W, W)>(function)(args[0], args[1]);
    case 3:
      return EntryPointAs<W (*)(W, W, W)>(function)(args[0], args[1], args[2]);
    case 4:
      return EntryPointAs<W (*)(W, W, W, W)>(function)(args[0], args[1], args[2], args[3]);
    default:
      return 0;  // no entry point takes more
  }
}

#endif

PluginDriver::~PluginDriver() {
  Unload();
}

bool PluginDriver::Load(const std::string& path, std::string* error) {
  Unload();
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    if (error) *error = "cannot load " + path;
    return false;
  }
  for (const auto& entry : kEntryPoints) {
    if (!GetProcAddress(module_, entry.name)) {
      if (error) *error = path + " does not export " + entry.name;
      Unload();
      return false;
    }
  }
  return true;
}

void PluginDriver::Announce(PluginSession* session, std::uint32_t host_version) {
  const EntryWord version_args[] = {host_version};
  Call("ScorixExtensionVersion", version_args, 1, session);

  std::uint32_t flags = 0;
  const EntryWord init_args[] = {0, Word(&flags)};
  Call("ScorixExtensionInit", init_args, 2, session);
  session->flags_after_init = flags;

  MenuItemRecord record;
  std::memset(&record, kUntouched, sizeof record);
  const EntryWord enumerate_args[] = {0, 0, Word(&record)};
  const bool offered = Call("ScorixExtensionEnumerate", enumerate_args, 3, session) != 0;
  session->item = ReadMenuItem(record, offered);

  const EntryWord status_args[] = {0};
  session->menu_status =
      static_cast<std::int32_t>(Call("ScorixExtensionGetMenuStatus", status_args, 1, session));
}

std::int32_t PluginDriver::Invoke(HWND owner, PluginSession* session) {
  const EntryWord args[] = {Word(owner), 0, 0, 0};
  session->invoke_result =
      static_cast<std::int32_t>(Call("ScorixExtensionInvoke", args, 4, session));
  return session->invoke_result;
}

void PluginDriver::Terminate(PluginSession* session) {
  const EntryWord args[] = {0};
  Call("ScorixExtensionTerminate", args, 1, session);
}

void PluginDriver::Unload() {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
}

EntryWord PluginDriver::Call(const char* name, const EntryWord* args, int count,
                             PluginSession* session) {
  FARPROC function = module_ ? GetProcAddress(module_, name) : nullptr;
  if (!function || count != ArgumentWords(name)) return 0;
  int removed_bytes = 0;
  const EntryWord result = CallWithWords(function, args, count, &removed_bytes);
  if (session) session->calls.push_back({name, 4 * count, removed_bytes, result});
  return result;
}

}  // namespace hostsim
