// A small plug-in built only for the check's tests, in one sound and several faulty variants,
// chosen at build time with FAULTY_PLUGIN_VARIANT. The sound variant does what a well-behaved
// command does with the host (an edit transaction, a record rewritten, a frame loaded and
// freed) so that the check is seen to pass it; each faulty variant makes one kind of mistake.
#include <cstdint>
#include <cstring>

#include "platform/win32.h"

#define FAULTY_SOUND 0
#define FAULTY_CDECL 1     // every export leaves its arguments on the stack
#define FAULTY_TEXTS 2     // a title that fills its field, an item offered at every index
#define FAULTY_ANNOUNCE 3  // wrong answers, lost host flags, a host call while announcing
#define FAULTY_INVOKE 4    // box answer ignored, transaction and frame kept, unknown export
#define FAULTY_MISSING 5   // no ScorixExtensionTerminate, no ScorixExtensionGetMenuStatus
#define FAULTY_FRAMES 6    // a frame saved uncleaned with a host byte changed, used after free

#ifndef FAULTY_PLUGIN_VARIANT
#error "build with FAULTY_PLUGIN_VARIANT set to one of the FAULTY_ values"
#endif

#if FAULTY_PLUGIN_VARIANT == FAULTY_CDECL
#define ENTRY_POINT
#else
#define ENTRY_POINT WINAPI
#endif
#define EXPORTED extern "C" __attribute__((visibility("default")))

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

template <typename Function>
Function HostExport(const char* name) {
  HMODULE host = GetModuleHandleA("SCORIX.EXE");
  return host ? reinterpret_cast<Function>(GetProcAddress(host, name)) : nullptr;
}

Word Address(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

// Rewrites category 1 with its last byte changed: a visible edit of the document.
void RewriteFirstCategory() {
  auto load = HostExport<HostCall5>("FX_LoadEData");
  auto save = HostExport<HostCall5>("FX_SaveEData");
  if (!load || !save) return;
  unsigned char id[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  unsigned char record[kCategoryBytes] = {};
  std::int32_t size = kCategoryBytes;
  if (!load(kCategoryTag, Address(id), Address(record), Address(&size), kApiVersion)) return;
  if (size < 1 || size > kCategoryBytes) return;
  record[size - 1] ^= 0xFF;
  save(kCategoryTag, Address(id), Address(record), static_cast<Word>(size), kApiVersion);
}

Word LoadFrame() {
  auto load_frame = HostExport<HostCall6>("FX_LoadTGF");
  return load_frame ? load_frame(0, 1, 1, 0, 1, kApiVersion) : 0;
}

void FreeFrame(Word frame) {
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

#if FAULTY_PLUGIN_VARIANT != FAULTY_INVOKE
// What a careful command does: one transaction around the edit, every frame handed back (the
// frames variant: handed back the wrong way).
void SoundCommand() {
  const bool in_edit = StartEdit() != 0;
  RewriteFirstCategory();
#if FAULTY_PLUGIN_VARIANT == FAULTY_FRAMES
  FrameMisuse();
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
