// Documents for the simulated host's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "hostsim/document.h"

namespace hostsim {

// The records of a document that the test expects to be well formed.
inline RecordStore Load(const std::string& text) {
  RecordStore store;
  std::string error;
  EXPECT_TRUE(LoadDocument(text, &store, &error)) << error;
  return store;
}

// Loading `text` over `store` is refused with exactly `message`, and leaves the store as it was.
inline void ExpectRefused(RecordStore store, const std::string& text, const std::string& message) {
  const RecordStore before = store;
  std::string error;
  EXPECT_FALSE(LoadDocument(text, &store, &error));
  EXPECT_EQ(error, message);
  EXPECT_TRUE(store == before) << "the store is left untouched";
}

// The identity of a record attached to a cell: the words staff, measure, incident and 0. Written
// out here rather than taken from the host's own code, so that a wrong word order in the host
// fails the tests.
inline Identity CellIdentity(std::uint16_t staff, std::uint16_t measure, std::uint16_t inci) {
  return Identity{static_cast<std::uint8_t>(staff & 0xFF),
                  static_cast<std::uint8_t>(staff >> 8),
                  static_cast<std::uint8_t>(measure & 0xFF),
                  static_cast<std::uint8_t>(measure >> 8),
                  static_cast<std::uint8_t>(inci & 0xFF),
                  static_cast<std::uint8_t>(inci >> 8),
                  0,
                  0};
}

}  // namespace hostsim
