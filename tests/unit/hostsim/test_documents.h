// Documents for the simulated host's tests.
#pragma once

#include <gtest/gtest.h>

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

}  // namespace hostsim
