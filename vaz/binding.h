// The lazy binding of host functions: one slot per host export, looked up by name on first use.
//
// Each binding function in the vaz sources reads like a row of the host API tables:
//
//   short WINAPI FX_GetShowLayer(short layer, std::uint32_t version) {  // [required]
//     VAZ_HOST_SLOT(FX_GetShowLayer);
//     return vaz::binding::Forward<short>(slot.Resolve(), kRequired, S(layer), V(version));
//   }
//
// Every argument travels as one word (a double as two), converted by S, U, B, L, P, V, D so that
// the host sees exactly the widths and extensions it expects. A word is as wide as an address on
// the build's platform: 32 bits on the shipped i386 DLL, where it is exactly the host's stack slot,
// and 64 bits on the test builds for x86_64, so that an address passed as an L value arrives whole.
// The host's answer is narrowed to the binding function's result type (short, unsigned short,
// unsigned char, a 32-bit integer, or a whole word for results that may be addresses).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "platform/win32.h"

namespace vaz::binding {

using Word = std::uintptr_t;
using GenericProc = void (*)();

// One host export: its name, whether it has been looked up, and what the lookup found (null when
// the host lacks it; that answer is kept as well). Slots are constant-initialised function-local
// statics, so binding needs no static constructor.
struct Slot {
  const char* name;
  bool looked_up;
  GenericProc address;
  Slot* next;  // the chain of slots that have been looked up, for ForgetHostBindings in tests

  // Looks the export up on the first call only; answers the kept address (possibly null).
  GenericProc Resolve();
};

// The value a function without a fallback answers when the host lacks its export: nothing is
// called and the caller sees 0.
constexpr int kRequired = 0;

// Argument words, as the host reads them from its stack slots: S sign-extended, U and B
// zero-extended, V (the 32-bit version word) zero-extended, L (an integer or an address) and P (an
// address) passed whole.
inline Word S(short value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}
inline Word U(unsigned short value) {
  return value;
}
inline Word B(unsigned char value) {
  return value;
}
inline Word L(std::intptr_t value) {
  return static_cast<Word>(value);
}
inline Word V(std::uint32_t version) {
  return version;
}
inline Word P(const volatile void* address) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(address));
}

// A 64-bit floating-point argument fills two stack slots, the low half first: pass
// `d.low, d.high` in its place. The simulated host reads it the same way on every build.
struct DoubleWords {
  Word low;
  Word high;
};
inline DoubleWords D(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return {static_cast<Word>(bits & 0xFFFFFFFFu), static_cast<Word>(bits >> 32)};
}

// The host answers in a register as wide as a word; the result width decides how much of it
// counts. A 32-bit integer result is the low 32 bits, sign-extended; a word result (an L value
// that may be an address) is taken whole.
template <typename R>
R Narrow(Word answer) {
  if constexpr (std::is_same_v<R, short>) {
    return static_cast<short>(static_cast<std::uint16_t>(answer & 0xFFFFu));
  } else if constexpr (std::is_same_v<R, unsigned short>) {
    return static_cast<unsigned short>(answer & 0xFFFFu);
  } else if constexpr (std::is_same_v<R, unsigned char>) {
    return static_cast<unsigned char>(answer & 0xFFu);
  } else if constexpr (std::is_same_v<R, std::int32_t>) {
    // Also std::intptr_t on 32-bit builds, where the word is the 32-bit answer itself.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(answer & 0xFFFFFFFFu));
  } else {
    static_assert(std::is_same_v<R, std::intptr_t> || std::is_same_v<R, std::uintptr_t>,
                  "a host result is 8, 16 or 32 bits wide, or a whole word");
    return static_cast<R>(answer);
  }
}

template <typename... Words>
Word CallWords(GenericProc address, Words... words) {
  using HostProc = Word(WINAPI*)(Words...);
  return reinterpret_cast<HostProc>(address)(words...);
}

// Forwards to the host when it offers the export; otherwise answers `fallback` without a call.
template <typename R, typename Fallback, typename... Words>
R Forward(GenericProc address, Fallback fallback, Words... words) {
  if (!address) return static_cast<R>(fallback);
  return Narrow<R>(CallWords(address, words...));
}

}  // namespace vaz::binding

// Declares the slot of the enclosing binding function, named after the host export.
#define VAZ_HOST_SLOT(export_name) \
  static ::vaz::binding::Slot slot = {#export_name, false, nullptr, nullptr}
