// Shared pieces of the framework tests: a simulated-host fixture with a fresh debug console,
// the console's lines, and record bytes to seed the host with.
#pragma once

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/categories.h"
#include "hostsim/record_store.h"
#include "tests/support/debug_console.h"
#include "tests/support/sim_fixture.h"

class FrameworkTest : public SimHostTest {
 protected:
  void SetUp() override {
    SimHostTest::SetUp();
    ForgetDebugConsole();
  }

  // Everything written to the console, one entry per line.
  std::vector<std::string> ConsoleLines() {
    std::vector<std::string> lines;
    std::istringstream text(desktop().ConsoleText());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  // The bytes the host holds for an item-numbered record, or an empty vector.
  hostsim::Bytes Stored(std::uint32_t tag, std::uint16_t cmper, std::int16_t inci = 0) {
    const hostsim::Bytes* bytes = host().Records().Find(tag, hostsim::ItemIdentity(cmper, inci));
    return bytes ? *bytes : hostsim::Bytes();
  }

  void Put(std::uint32_t tag, std::uint16_t cmper, hostsim::Bytes bytes, std::int16_t inci = 0) {
    host().Records().Put(tag, hostsim::ItemIdentity(cmper, inci), std::move(bytes));
  }
};

// A category definition whose record a test writes directly, counted as delivered whole (as a
// load of all 104 bytes would leave it).
class DeliveredCategoryDef : public FCCategoryDef {
 public:
  DeliveredCategoryDef() {
    _datablock = Allocate();
    _loadedsize = kRecordSize;
  }
  unsigned char* Record() { return _record; }
};

// Reproducible bytes with no pattern the code under test could depend on.
inline hostsim::Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  hostsim::Bytes bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(generator));
  return bytes;
}

// A category record with a number, a name and the user-created flag; other bytes zero.
inline hostsim::Bytes CategoryBytes(std::int16_t id, const std::string& name, bool user_created) {
  hostsim::Bytes bytes(104, 0);
  bytes[0] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(id) & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(id) >> 8);
  for (std::size_t i = 0; i < name.size() && i < 66; ++i) bytes[2 + i] = name[i];
  bytes[102] = user_created ? 0x80 : 0x00;
  return bytes;
}

// The 16-bit word at `index` of the memory whose address the host was given (an identity).
inline std::uint16_t WordAt(hostsim::Word address, int index) {
  const auto* words = reinterpret_cast<const std::uint16_t*>(static_cast<std::uintptr_t>(address));
  return words[index];
}
