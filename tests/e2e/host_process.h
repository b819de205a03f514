// Starts the Windows host program as a process of its own, waits for it, and reads the report
// it wrote.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace e2e {

struct HostRun {
  bool started = false;
  bool finished = false;  // false when it had to be stopped after the time limit
  std::uint32_t exit_code = 0;
  nlohmann::json report;  // null when no report was written
};

// A path of the build tree as Windows programs under Wine see it (the root is drive Z:).
std::string WindowsPath(const std::string& path);

// Runs `program` with `arguments` and, when `report_path` is not empty, reads that file as
// JSON afterwards (any earlier file of that name is removed first).
HostRun RunHost(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& report_path);

}  // namespace e2e
