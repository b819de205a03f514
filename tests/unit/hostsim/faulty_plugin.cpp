// A small plug-in built only for the check's tests, in one sound and several faulty variants,
// chosen at build time with FAULTY_PLUGIN_VARIANT (one of the FAULTY_ names below); built for
// POSIX and, for the end-to-end tests, as a Windows DLL. The sound variant does what a well-behaved
// command does with the host (an edit transaction, a record rewritten, a frame loaded and
// freed) so that the check is seen to pass it; each faulty variant makes one kind of mistake.
#include <cstdint>
#include <cstring>

#include "platform/win32.h"

#define FAULTY_SOUND 0
#define FAULTY_CDECL 1      // every export leaves its arguments on the stack
#define FAULTY_TEXTS 2      // a title that fills its field, an item offered at every index
#define FAULTY_ANNOUNCE 3   // wrong answers, lost host flags, a host call while announcing
#define FAULTY_INVOKE 4     // box answer ignored, transaction and frame kept, unknown export
#define FAULTY_MISSING 5    // no ScorixExtensionTerminate, no ScorixExtensionGetMenuStatus
#define FAULTY_FRAMES 6     // a frame saved uncleaned with a host byte changed, used after free
#define FAULTY_CRASH 7      // writes through a null pointer once the user said Yes
#define FAULTY_HANG 8       // never returns once the user said Yes
#define FAULTY_HALFSAVE 9   // two records rewritten; a refused second save leaves the first saved
#define FAULTY_LEAK 10      // keeps the frame it loads
#define FAULTY_OVERREAD 11  // reads a category's flags at byte 102 whatever size it was given
#define FAULTY_FRAGILE 12   // crashes when the host refuses to load a record

#ifndef FAULTY_PLUGIN_VARIANT
#error "build with FAULTY_PLUGIN_VARIANT set to one of the FAULTY_ values"
#endif

#if FAULTY_PLUGIN_VARIANT == FAULTY_CDECL
#define ENTRY_POINT
#else
#define ENTRY_POINT WINAPI
#endif
#ifdef _WIN32
#define EXPORTED extern "C" __declspec(dllexport)
#else
#define EXPORTED extern "C" __attribute__((visibility("default")))
#endif

namespace {

// A host argument word: 32 bits on i386, as wide as an address elsewhere.
using Word = std::uintptr_t;
using HostCall1 = Word(WINAPI*)(Word);
using HostCall2 = Word(WINAPI*)(Word, Word);
using HostCall5 = Word(WINAPI*)(Word, Word, Word, Word, Word);
using HostCall6 = Word(WINAPI*)(Word, Word, Word, Word, Word, Word);

constexpr Word kApiVersion = 0x0F000200;
constexpr Word kCategoryTag = 0x534F4D43;
constexpr std::int32_t kCategoryBytes = 104;

// FARPROC is `INT_PTR (*)()` in MinGW-w64's x86_64 headers, and GCC warns about a cast from it to
// any other function type but `void (*)()`, which it takes as "any function".
template <typename Function>
Function HostExport(const char* name) {
  HMODULE host = GetModuleHandleA("SCORIX.EXE");
  return host ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(host, name)))
              : nullptr;
}

Word Address(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

// An address no process maps, as a stray pointer holds one: writing there is an access violation.
// It passes through a volatile word so that the compiler does not see the constant.
[[maybe_unused]] volatile unsigned char* StrayPointer() {
  volatile std::uintptr_t stray = 0x10;
  return reinterpret_cast<volatile unsigned char*>(stray);
}

// How rewriting a category went.
enum class Rewrite { kDone, kNotLoaded, kNotSaved };

// Rewrites category `number` with its last byte changed: a visible edit of the document.
Rewrite RewriteCategory(unsigned char number) {
  auto load = HostExport<HostCall5>("FX_LoadEData");
  auto save = HostExport<HostCall5>("FX_SaveEData");
  if (!load || !save) return Rewrite::kNotLoaded;
  unsigned char id[8] = {number, 0, 0, 0, 0, 0, 0, 0};
  unsigned char record[kCategoryBytes] = {};
  std::int32_t size = kCategoryBytes;
  if (!load(kCategoryTag, Address(id), Address(record), Address(&size), kApiVersion) || size < 1 ||
      size > kCategoryBytes) {
    return Rewrite::kNotLoaded;
  }
  record[size - 1] ^= 0xFF;
  return save(kCategoryTag, Address(id), Address(record), static_cast<Word>(size), kApiVersion)
             ? Rewrite::kDone
             : Rewrite::kNotSaved;
}

void RewriteFirstCategory() {
  RewriteCategory(1);
}

Word LoadFrame() {
  auto load_frame = HostExport<HostCall6>("FX_LoadTGF");
  return load_frame ? load_frame(0, 1, 1, 0, 1, kApiVersion) : 0;
}

[[maybe_unused]] void FreeFrame(Word frame) {
  if (auto free_frame = HostExport<HostCall2>("FX_FreeTGF")) free_frame(frame, kApiVersion);
}

Word StartEdit() {
  static const char kEditName[] = "Faulty plug-in edit";
  auto start = HostExport<HostCall2>("FX_StartScorixEdit");
  return start ? start(Address(kEditName), kApiVersion) : 0;
}

[[maybe_unused]] void EndEdit() {
  if (auto end = HostExport<HostCall1>("FX_EndScorixEdit")) end(kApiVersion);
}

#if FAULTY_PLUGIN_VARIANT == FAULTY_FRAMES
// The frame's entry array, read from its 32-bit field at byte 14 as the host lays it out.
unsigned char* EntryArray(Word frame) {
  std::uint32_t address = 0;
  std::memcpy(&address, reinterpret_cast<unsigned char*>(frame) + 14, sizeof address);
  return reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(address));
}

// Changes a byte of the host's own, saves without cleaning (note 0 of entry 0 gets ID 0),
// frees, then saves the freed frame and writes into its old entry array.
void FrameMisuse() {
  const Word frame = LoadFrame();
  if (!frame) return;
  auto save = HostExport<HostCall2>("FX_SaveTGF");
  reinterpret_cast<unsigned char*>(frame)[0] ^= 0xFF;
  unsigned char* entries = EntryArray(frame);
  const unsigned char zero_id[2] = {0, 0};
  std::memcpy(entries + 16 + 4, zero_id, sizeof zero_id);
  if (save) save(frame, kApiVersion);
  FreeFrame(frame);
  if (save) save(frame, kApiVersion);
  entries[16] = 0x01;
}

#endif

#if FAULTY_PLUGIN_VARIANT == FAULTY_HALFSAVE
// Rewrites categories 1 and 2 inside an edit, but ends the edit (keeping what was saved) even
// when a save was refused: one refused save leaves half the change in the document.
void HalfSave() {
  const bool in_edit = StartEdit() != 0;
  if (RewriteCategory(1) == Rewrite::kDone) RewriteCategory(2);
  if (in_edit) EndEdit();
}
#endif

#if FAULTY_PLUGIN_VARIANT == FAULTY_OVERREAD
// Sizes its buffer by what the host says category 1 holds, then reads the user-created flag at
// byte 102 as if every record were whole: a short record is read past its end.
void ReadFlagsPastAShortRecord() {
  auto load = HostExport<HostCall5>("FX_LoadEData");
  if (!load) return;
  unsigned char id[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  std::int32_t size = 0;
  if (!load(kCategoryTag, Address(id), 0, Address(&size), kApiVersion)) return;
  if (size < 0 || size > kCategoryBytes) return;
  auto* record = new unsigned char[static_cast<std::size_t>(size)];
  if (load(kCategoryTag, Address(id), Address(record), Address(&size), kApiVersion)) {
    volatile unsigned char flags = record[102];
    (void)flags;
  }
  delete[] record;
}
#endif

#if FAULTY_PLUGIN_VARIANT == FAULTY_FRAGILE
// Rewrites category 1, and when the host refuses to load it, writes through a stray pointer as
// if the load had filled one in.
void RewriteFirstCategoryOrCrash() {
  if (RewriteCategory(1) == Rewrite::kNotLoaded) *StrayPointer() = 1;
}
#endif

#if FAULTY_PLUGIN_VARIANT != FAULTY_INVOKE
// What a careful command does: one transaction around the edit, every frame handed back (the
// frames variant: handed back the wrong way).
void SoundCommand() {
#if FAULTY_PLUGIN_VARIANT == FAULTY_CRASH
  *StrayPointer() = 1;
#elif FAULTY_PLUGIN_VARIANT == FAULTY_HANG
  for (volatile bool waiting = true; waiting;) {
  }
#elif FAULTY_PLUGIN_VARIANT == FAULTY_HALFSAVE
  HalfSave();
  return;
#elif FAULTY_PLUGIN_VARIANT == FAULTY_OVERREAD
  ReadFlagsPastAShortRecord();
  return;
#elif FAULTY_PLUGIN_VARIANT == FAULTY_FRAGILE
  RewriteFirstCategoryOrCrash();
  return;
#endif
  const bool in_edit = StartEdit() != 0;
  RewriteFirstCategory();
#if FAULTY_PLUGIN_VARIANT == FAULTY_FRAMES
  FrameMisuse();
#elif FAULTY_PLUGIN_VARIANT == FAULTY_LEAK
  LoadFrame();
#else
  if (Word frame = LoadFrame()) FreeFrame(frame);
#endif
  if (in_edit) EndEdit();
}

#else
// Edits inside a transaction it never closes, keeps one of two frames, hands back one it never
// had, and asks for an export no host offers.
void CarelessCommand() {
  StartEdit();
  RewriteFirstCategory();
  const Word first = LoadFrame();
  LoadFrame();
  FreeFrame(first);
  FreeFrame(0x00BADF00);
  HostExport<HostCall1>("FX_NoSuchExport");
}

#endif

void FillText(char* field, const char* text) {
  std::strncpy(field, text, 64);
}

}  // namespace

EXPORTED std::uintptr_t ENTRY_POINT ScorixExtensionVersion(std::uintptr_t version) {
#if FAULTY_PLUGIN_VARIANT == FAULTY_ANNOUNCE
  (void)version;
  return kApiVersion;  // the version it was built for instead of the one it was given
#else
  return version;
#endif
}

EXPORTED std::intptr_t ENTRY_POINT ScorixExtensionInit(std::intptr_t, std::uint32_t* flags) {
#if FAULTY_PLUGIN_VARIANT == FAULTY_ANNOUNCE
  if (auto layers = HostExport<HostCall1>("FX_GetMaxLayers")) layers(kApiVersion);
  *flags = 1;  // the host's own bits lost
#else
  *flags |= 1;
#endif
  return 1;
}

EXPORTED std::intptr_t ENTRY_POINT ScorixExtensionEnumerate(std::intptr_t, std::intptr_t index,
                                                            char* record) {
#if FAULTY_PLUGIN_VARIANT == FAULTY_TEXTS
  (void)index;                   // offered at every index
  std::memset(record, 'T', 64);  // a title with no room left for its NUL
#else
  if (static_cast<short>(index) > 0) return 0;
  FillText(record, "Faulty Check Subject");
#endif
  FillText(record + 64, "Exercises the plug-in check.");
  FillText(record + 128, "Faulty");
  std::memset(record + 192, 0, 4);
  return 1;
}

EXPORTED std::intptr_t ENTRY_POINT ScorixExtensionInvoke(HWND owner, std::intptr_t, std::intptr_t,
                                                         std::intptr_t) {
  const int answer = MessageBoxA(owner, "Change the document?", "Faulty", MB_YESNO);
#if FAULTY_PLUGIN_VARIANT == FAULTY_INVOKE
  (void)answer;  // goes ahead whatever the user said
  CarelessCommand();
  return 1;
#else
  if (answer != IDYES) return 0;
  SoundCommand();
  return 1;
#endif
}

#if FAULTY_PLUGIN_VARIANT != FAULTY_MISSING
EXPORTED void ENTRY_POINT ScorixExtensionTerminate(std::intptr_t) {}

EXPORTED std::intptr_t ENTRY_POINT ScorixExtensionGetMenuStatus(std::intptr_t) {
#if FAULTY_PLUGIN_VARIANT == FAULTY_ANNOUNCE
  return 0;
#else
  return 1;
#endif
}
#endif
