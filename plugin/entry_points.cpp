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

}  // namespace

extern "C" {

SCORIX_EXTENSION_EXPORT unsigned long WINAPI ScorixExtensionVersion(unsigned long version) {
  SetScorixFrameworkVersion(version);
  return version;
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionInit(long, unsigned long* flags) {
  if (flags) *flags |= 1u;
  return 1;
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionEnumerate(long, long index,
                                                             ScorixMenuItemRecord* record) {
  if (!record) return 0;
  if (static_cast<short>(index) > 0) return 0;  // only the low 16 bits count, read as signed
  FillField(record->title, kMenuTitle);
  FillField(record->description, kMenuDescription);
  FillField(record->short_name, kMenuShortName);
  record->reserved1 = 0;
  record->reserved2 = 0;
  return 1;
}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionInvoke(HWND owner, long, long, long) {
  try {
    const int answer =
        MessageBoxA(owner, kConfirmationText, kConfirmationCaption, MB_YESNO | MB_ICONWARNING);
    // Only a Yes is consent: a No, or a box that could not be shown (0), leaves the score alone.
    if (answer != IDYES) return 0;
    Alphabetizer();
    return 1;
  } catch (...) {
    return 0;
  }
}

SCORIX_EXTENSION_EXPORT void WINAPI ScorixExtensionTerminate(long) {}

SCORIX_EXTENSION_EXPORT long WINAPI ScorixExtensionGetMenuStatus(long) { return 1; }

}  // extern "C"
