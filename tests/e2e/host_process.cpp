#include "tests/e2e/host_process.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

namespace e2e {

namespace {

std::string Quoted(const std::string& word) {
  return "\"" + word + "\"";
}

nlohmann::json ReadReport(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  return nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

HostRun RunHost(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& report_path, std::uint32_t time_limit_ms) {
  if (!report_path.empty()) std::remove(report_path.c_str());
  std::string command_line = Quoted(program);
  for (const auto& argument : arguments) command_line += " " + Quoted(argument);

  HostRun run;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  run.started = CreateProcessA(program.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process) != FALSE;
  if (!run.started) return run;
  run.finished = WaitForSingleObject(process.hProcess, time_limit_ms) == WAIT_OBJECT_0;
  if (!run.finished) TerminateProcess(process.hProcess, 1);
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  run.exit_code = exit_code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (!report_path.empty()) run.report = ReadReport(report_path);
  return run;
}

}  // namespace e2e
