#include "framework/base.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/win32.h"

namespace {

constexpr char kConsoleTitle[] = "Scorix VAZ Framework Console";
constexpr DWORD kConsoleSettleMilliseconds = 40;
constexpr int kBytesPerBlockLine = 8;

// One attempt per module lifetime: a process that already has a console (or cannot get one)
// writes to whatever standard output it has. Plain bool so no static constructor runs.
bool console_attempted = false;

const char* OrEmpty(const char* text) {
  return text ? text : "";
}

// The title needs a moment to reach the window before it can be found by it.
void OpenConsoleOnce() {
  if (console_attempted) return;
  console_attempted = true;
  if (!AllocConsole()) return;
  SetConsoleTitleA(kConsoleTitle);
  Sleep(kConsoleSettleMilliseconds);
  HWND window = FindWindowA(nullptr, kConsoleTitle);
  if (window) SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void WriteToStandardOutput(const char* text, std::size_t length) {
  DWORD written = 0;
  WriteConsoleA(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(length), &written,
                nullptr);
}

void ShowBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, OrEmpty(text), caption, MB_OK);
}

// A diagnostic line is formatted into a fixed buffer; snprintf cuts what does not fit.
struct DebugLine {
  char text[__FCBase::kDebugLineSize];
};

DebugLine FormatNumber(const char* format, const char* label, std::int32_t value) {
  DebugLine line;
  std::snprintf(line.text, sizeof line.text, format, OrEmpty(label), value);
  return line;
}

DebugLine FormatText(const char* label, const char* text) {
  DebugLine line;
  std::snprintf(line.text, sizeof line.text, "%s %s", OrEmpty(label), OrEmpty(text));
  return line;
}

}  // namespace

// Test support only (declared in tests/support/debug_console.h): as if the module had just been
// loaded, so the next line attempts to open a console again.
void ForgetDebugConsole() {
  console_attempted = false;
}

void __FCBase::DebugDump() {
  char line[kDebugLineSize];
  std::snprintf(line, sizeof line,
                "======== DebugDump === Class Name: %s ========", OrEmpty(ClassName()));
  DebugOut(line);
}

void __FCBase::Set16BitFlag(std::uint16_t* word, std::uint16_t mask, bool state) {
  if (!word) return;
  *word = static_cast<std::uint16_t>(state ? (*word | mask) : (*word & ~mask));
}

void __FCBase::Set32BitFlag(std::uint32_t* word, std::uint32_t mask, bool state) {
  if (!word) return;
  *word = state ? (*word | mask) : (*word & ~mask);
}

void __FCBase::DebugMsg(const char* text) {
  ShowBox(text, "Info Message");
}

void __FCBase::DebugMsgDigit(const char* label, std::int32_t value) {
  ShowBox(FormatNumber("%s %" PRId32, label, value).text, "Digit Info");
}

void __FCBase::DebugMsgHex(const char* label, std::int32_t value) {
  ShowBox(FormatNumber("%s 0x%" PRIx32, label, static_cast<std::uint32_t>(value)).text,
          "Hex Digit Info");
}

void __FCBase::DebugMsgString(const char* label, const char* text) {
  ShowBox(FormatText(label, text).text, "String Info");
}

void __FCBase::DebugOut(const char* text) {
  OpenConsoleOnce();
  const char* line = OrEmpty(text);
  WriteToStandardOutput(line, std::strlen(line));
  WriteToStandardOutput("\n", 1);
}

void __FCBase::DebugOutDigit(const char* label, std::int32_t value) {
  DebugOut(FormatNumber("%s %" PRId32, label, value).text);
}

void __FCBase::DebugOutHex(const char* label, std::int32_t value) {
  DebugOut(FormatNumber("%s 0x%" PRIx32, label, static_cast<std::uint32_t>(value)).text);
}

void __FCBase::DebugOutString(const char* label, const char* text) {
  DebugOut(FormatText(label, text).text);
}

void __FCBase::DebugOutBool(const char* label, bool value) {
  DebugOut(FormatText(label, value ? "TRUE" : "FALSE").text);
}

void __FCBase::DebugOutBlock(const void* data, std::int32_t length) {
  if (!data || length <= 0) return;
  const auto* bytes = static_cast<const unsigned char*>(data);
  // Room for two ten-digit labels and eight byte texts.
  char line[64] = "";
  std::size_t used = 0;
  for (std::int32_t i = 0; i < length; ++i) {
    const std::int32_t offset = i % kBytesPerBlockLine;
    if (used == 0) {
      const std::int32_t first = i - offset;
      used =
          static_cast<std::size_t>(std::snprintf(line, sizeof line, "%03" PRId32 "-%03" PRId32 ": ",
                                                 first, first + kBytesPerBlockLine - 1));
    }
    used += static_cast<std::size_t>(
        std::snprintf(line + used, sizeof line - used, "%02x ", static_cast<unsigned>(bytes[i])));
    if (offset == kBytesPerBlockLine - 1) {
      DebugOut(line);
      used = 0;
    }
  }
  if (used != 0) DebugOut(line);
}
