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

// Long enough for a slow first start of Wine; a box nobody answers must not hang the test run.
constexpr std::uint32_t kHostTimeLimitMs = 60000;

// Runs `program` with `arguments` and, when `report_path` is not empty, reads that file as
// JSON afterwards (any earlier file of that name is removed first). A run that takes longer than
// `time_limit_ms` is stopped.
HostRun RunHost(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& report_path, std::uint32_t time_limit_ms = kHostTimeLimitMs);

}  // namespace e2e
