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
short ItemIndex(long index_word) {
  return static_cast<short>(static_cast<unsigned short>(static_cast<unsigned long>(index_word)));
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

long RunAfterConfirmation(HWND owner) {
  const int answer =
      MessageBoxA(owner, kConfirmationText, kConfirmationCaption, MB_YESNO | MB_ICONWARNING);
  // Only a Yes is consent: a No, or a box that could not be shown (0), leaves the score alone.
  if (answer != IDYES) return 0;
  Alphabetizer(owner);
  return 1;
}

}  // namespace

extern "C" {

SCORIX_EXTENSION_EXPORT unsigned long WINAPI ScorixExtensionVersion(unsigned long version) {
  return Guarded(version, [version] {
    SetScorixFrameworkVersion(version);
    return version;
  });
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionInit(long, unsigned long* flags) {
  return Guarded(1L, [flags] {
    if (flags) *flags |= 1u;  // only bit 0 is ours; the host's other bits stay as they are
    return 1L;
  });
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionEnumerate(long, long index,
                                                             ScorixMenuItemRecord* record) {
  return Guarded(0L, [index, record] {
    if (!record || ItemIndex(index) > 0) return 0L;  // one item only, at index 0 (or below)
    FillField(record->title, kMenuTitle);
    FillField(record->description, kMenuDescription);
    FillField(record->short_name, kMenuShortName);
    record->reserved1 = 0;
    record->reserved2 = 0;
    return 1L;
  });
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionInvoke(HWND owner, long, long, long) {
  return Guarded(0L, [owner] { return RunAfterConfirmation(owner); });
}

SCORIX_EXTENSION_EXPORT void WINAPI ScorixExtensionTerminate(long) {
  Guarded([] {});  // nothing survives an invocation, so there is nothing to release
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionGetMenuStatus(long) {
  return Guarded(1L, [] { return 1L; });
}

}  // extern "C"
