// The lazy binding of host functions: one slot per host export, looked up by name on first use.
//
// Each binding function in the vaz sources reads like a row of the host API tables:
//
//   short WINAPI FX_GetShowLayer(short layer, unsigned long version) {  // [required]
//     VAZ_HOST_SLOT(FX_GetShowLayer);
//     return vaz::binding::Forward<short>(slot.Resolve(), kRequired, S(layer), V(version));
//   }
//
// Every argument travels as one 32-bit word (a double as two), converted by S, U, B, L, P, V, D
// so that the host sees exactly the widths and extensions it expects; the host's 32-bit answer is
// narrowed to the binding function's result type (short, unsigned short, unsigned char or long).
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/win32.h"

static_assert(sizeof(void*) == 4, "host records and host calls carry 32-bit addresses");
static_assert(sizeof(long) == 4, "the host API's 32-bit values are longs");

namespace vaz::binding {

using Word = std::uint32_t;
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

// Argument words, as the host reads them from its 32-bit stack slots.
inline Word S(short value) {
  return static_cast<Word>(static_cast<std::int32_t>(value));
}
inline Word U(unsigned short value) {
  return value;
}
inline Word B(unsigned char value) {
  return value;
}
inline Word L(long value) {
  return static_cast<Word>(value);
}
inline Word V(unsigned long version) {
  return static_cast<Word>(version);
}
inline Word P(const volatile void* address) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(address));
}

// A 64-bit floating-point argument fills two stack slots, the low half first: pass
// `d.low, d.high` in its place.
struct DoubleWords {
  Word low;
  Word high;
};
inline DoubleWords D(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return {static_cast<Word>(bits), static_cast<Word>(bits >> 32)};
}

// The host answers in a 32-bit register; the result width decides how much of it counts.
template <typename R>
R Narrow(Word answer);
template <>
inline short Narrow<short>(Word answer) {
  return static_cast<short>(static_cast<std::uint16_t>(answer));
}
template <>
inline unsigned short Narrow<unsigned short>(Word answer) {
  return static_cast<unsigned short>(answer & 0xFFFFu);
}
template <>
inline unsigned char Narrow<unsigned char>(Word answer) {
  return static_cast<unsigned char>(answer & 0xFFu);
}
template <>
inline long Narrow<long>(Word answer) {
  return static_cast<long>(answer);
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
