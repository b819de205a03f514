// The host API tables as test data: one row per binding function with the argument widths, result
// width and answer-when-missing that the host interface promises, and a way to call the binding
// function with recognisable sample arguments.
//
// The sample argument at each position is chosen so that a wrong width shows in the word the host
// receives: shorts are negative (a missing sign extension shows), unsigned shorts and flags have
// their top bit set (a wrong sign extension shows), and every position gets its own value (a
// swapped or dropped argument shows).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace binding_test {

// A word as the host receives it: a 32-bit stack slot on i386, as wide as an address elsewhere.
using Word = std::uintptr_t;

// What a binding function answers when the host lacks its export.
enum class IfMissing {
  kRequired,      // nothing of its own: the sound answer is 0 without a call
  kValue,         // the value of the tables
  kBlankText,     // the address of the text " "
  kThroughWin32,  // does the work itself with GetDlgItem and ShowWindow
};

struct MissingAnswer {
  IfMissing kind;
  std::int32_t value;
};

inline MissingAnswer Required() {
  return {IfMissing::kRequired, 0};
}
inline MissingAnswer Answers(std::int32_t value) {
  return {IfMissing::kValue, value};
}
inline MissingAnswer BlankText() {
  return {IfMissing::kBlankText, 0};
}
inline MissingAnswer ThroughWin32() {
  return {IfMissing::kThroughWin32, 0};
}

struct ApiRow {
  std::string name;
  // As the host API tables state them.
  std::string table_arguments;  // one letter per argument: S, U, B, L, D, V
  char table_result;            // S, U, B or L
  MissingAnswer if_missing;
  // As the binding function is declared.
  std::string declared_arguments;
  char declared_result;
  // An L result that may be an address is the host's whole word; a 32-bit integer result is its
  // low 32 bits, sign-extended (the same thing on a 32-bit build).
  bool whole_word_result;
  // The words the host must receive for the sample arguments, in stack order.
  std::vector<Word> expected_words;
  // Calls the binding function with the sample arguments; answers its result widened to a word.
  std::function<std::intptr_t()> call;
};

// The version word every sample call carries.
constexpr std::uint32_t kSampleVersion = 0x0F000200;

// Every binding function: the 113 of the API tables, the six data-record and the six frame
// functions.
const std::vector<ApiRow>& HostApiRows();

}  // namespace binding_test
