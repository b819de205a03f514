// The root of every framework class: a class name for diagnostics, a dump, two helpers that edit
// flag words inside host records, and the developer diagnostics (message boxes and a console).
#pragma once

#include <cstdint>

class __FCBase {
 public:
  // The class's own name, spelled as the class; derived classes override it.
  virtual const char* ClassName() { return "__FCBase"; }
  // Writes the header line with the most derived class name; derived classes call this first and
  // then write one line per field.
  virtual void DebugDump();
  // Collections own their elements as `__FCBase*`, so they release them through this.
  virtual ~__FCBase() = default;

  // Sets (state true) or clears (false) the mask bits of a flag word; other bits are untouched.
  // A null word is ignored.
  static void Set16BitFlag(std::uint16_t* word, std::uint16_t mask, bool state);
  static void Set32BitFlag(std::uint32_t* word, std::uint32_t mask, bool state);

  // Modal OK boxes with no owner window. Texts longer than a diagnostic line are cut.
  static void DebugMsg(const char* text);
  static void DebugMsgDigit(const char* label, std::int32_t value);
  static void DebugMsgHex(const char* label, std::int32_t value);
  static void DebugMsgString(const char* label, const char* text);

  // Console lines. The console is opened (once per module lifetime) on the first line.
  static void DebugOut(const char* text);
  static void DebugOutDigit(const char* label, std::int32_t value);
  static void DebugOutHex(const char* label, std::int32_t value);
  static void DebugOutString(const char* label, const char* text);
  static void DebugOutBool(const char* label, bool value);
  // A hexadecimal dump, eight bytes a line, each line labelled with its group's first and last
  // index ("008-015: "). A null block or a length of 0 or less writes nothing.
  static void DebugOutBlock(const void* data, std::int32_t length);

  // The size of the line buffer that formatted diagnostics are cut to (terminator included).
  static constexpr unsigned kDebugLineSize = 1000;
};
