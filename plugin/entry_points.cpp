#include "plugin/entry_points.h"

#include <cstring>

#include "plugin/alphabetizer.h"
#include "vaz/vaz.h"

#if defined(_WIN32)
#define SCORIX_EXTENSION_EXPORT
#else
#define SCORIX_EXTENSION_EXPORT __attribute__((visibility("default")))
#endif

const char kConfirmationText[] =
    "This plug-in will sort the custom categories alphabetically.\n\nHOWEVER, it will NOT sort "
    "the Score Lists for the categories! So, if you have any Score Lists attached to your custom "
    "categories, you need to MANUALLY reconnect the Score Lists to the categories after the "
    "sorting.\n\nContinue?";
const char kConfirmationCaption[] = "Alphabetizer WARNING";

namespace {

const char kMenuTitle[] = "QX Alphabetizer";
const char kMenuDescription[] = "Sorts the custom categories alphabetically.";
const char kMenuShortName[] = "Alphabetizer";

// Fills a 64-byte text field, padding it with NUL bytes.
template <std::size_t N>
void FillField(char (&field)[N], const char* text) {
  std::strncpy(field, text, N);
}

// The host passes the item index in a 32-bit word but only its low 16 bits count, read as signed.
short ItemIndex(std::intptr_t index_word) {
  return static_cast<short>(
      static_cast<unsigned short>(static_cast<std::uintptr_t>(index_word) & 0xFFFFu));
}

// No exception may unwind into the host: every export runs its work through here, and a failure
// answers what the export answers when the work did not happen.
template <typename Result, typename Work>
Result Guarded(Result on_failure, Work work) noexcept {
  try {
    return work();
  } catch (...) {
    return on_failure;
  }
}

template <typename Work>
void Guarded(Work work) noexcept {
  try {
    work();
  } catch (...) {
  }
}

std::intptr_t RunAfterConfirmation(HWND owner) {
  const int answer =
      MessageBoxA(owner, kConfirmationText, kConfirmationCaption, MB_YESNO | MB_ICONWARNING);
  // Only a Yes is consent: a No, or a box that could not be shown (0), leaves the score alone.
  if (answer != IDYES) return 0;
  Alphabetizer(owner);
  return 1;
}

}  // namespace

extern "C" {

SCORIX_EXTENSION_EXPORT std::uintptr_t WINAPI ScorixExtensionVersion(std::uintptr_t version) {
  return Guarded(version, [version] {
    SetScorixFrameworkVersion(static_cast<std::uint32_t>(version));
    return version;
  });
}

SCORIX_EXTENSION_EXPORT std::intptr_t WINAPI ScorixExtensionInit(std::intptr_t,
                                                                 std::uint32_t* flags) {
  return Guarded(std::intptr_t{1}, [flags] {
    if (flags) *flags |= 1u;  // only bit 0 is ours; the host's other bits stay as they are
    return std::intptr_t{1};
  });
}

SCORIX_EXTENSION_EXPORT std::intptr_t WINAPI
ScorixExtensionEnumerate(std::intptr_t, std::intptr_t index, ScorixMenuItemRecord* record) {
  return Guarded(std::intptr_t{0}, [index, record] {
    if (!record || ItemIndex(index) > 0)
      return std::intptr_t{0};  // one item only, at index 0 (or below)
    FillField(record->title, kMenuTitle);
    FillField(record->description, kMenuDescription);
    FillField(record->short_name, kMenuShortName);
    record->reserved1 = 0;
    record->reserved2 = 0;
    return std::intptr_t{1};
  });
}

SCORIX_EXTENSION_EXPORT std::intptr_t WINAPI ScorixExtensionInvoke(HWND owner, std::intptr_t,
                                                                   std::intptr_t, std::intptr_t) {
  return Guarded(std::intptr_t{0}, [owner] { return RunAfterConfirmation(owner); });
}

SCORIX_EXTENSION_EXPORT void WINAPI ScorixExtensionTerminate(std::intptr_t) {
  Guarded([] {});  // nothing survives an invocation, so there is nothing to release
}

SCORIX_EXTENSION_EXPORT std::intptr_t WINAPI ScorixExtensionGetMenuStatus(std::intptr_t) {
  return Guarded(std::intptr_t{1}, [] { return std::intptr_t{1}; });
}

}  // extern "C"
