// SCORIX.EXE check under Wine: the same checks and reports as scorix-sim's, each check in a child
// SCORIX.EXE with the real message boxes answered by the child. A DLL that crashes or hangs ends
// only the child of the check that met it; the report tells the exception or the time limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/plugin_driver.h"
#include "tests/e2e/host_process.h"

namespace {

using nlohmann::json;

const char kAccepted[] = "ScorixExtensionInvoke answered Yes answers 1";
const char kDeclined[] = "ScorixExtensionInvoke answered No answers 0";
const char kVersion[] = "ScorixExtensionVersion answers the word it is given";
// A whole level 5 run starts some forty children under Wine.
constexpr std::uint32_t kCheckTimeLimitMs = 300000;

std::string WorkPath(const std::string& suffix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(E2E_WORK_DIR) + "/" + test->test_suite_name() + "." + test->name() + suffix;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct CheckRun {
  e2e::HostRun run;
  json report;        // the JSON report, null when none was written
  std::string junit;  // the JUnit report's text
};

// Runs SCORIX.EXE check on `plugin` with the options given, asking for both reports.
CheckRun Check(const char* plugin, const std::vector<std::string>& options) {
  const std::string json_path = WorkPath(".json");
  const std::string junit_path = WorkPath(".xml");
  std::remove(junit_path.c_str());
  std::vector<std::string> arguments = {"check", e2e::WindowsPath(plugin)};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {"--report", "json", e2e::WindowsPath(json_path), "--report",
                                     "junit", e2e::WindowsPath(junit_path)});
  CheckRun check;
  check.run = e2e::RunHost(e2e::WindowsPath(SCORIX_EXE), arguments, json_path, kCheckTimeLimitMs);
  EXPECT_TRUE(check.run.started);
  EXPECT_TRUE(check.run.finished) << "the check did not end within its own time";
  check.report = check.run.report.is_object() ? check.run.report : json::object();
  check.junit = ReadText(junit_path);
  return check;
}

json CheckNamed(const json& report, const std::string& name) {
  for (const json& check : report.value("checks", json::array())) {
    if (check.value("name", "") == name) return check;
  }
  ADD_FAILURE() << "no check named " << name;
  return json::object();
}

std::vector<std::string> FailedNames(const json& report) {
  std::vector<std::string> names;
  for (const json& check : report.value("checks", json::array())) {
    if (check.value("status", "") == "failed") names.push_back(check.value("name", ""));
  }
  return names;
}

TEST(ScorixExeCheck, TheShippedPluginPassesLevelFive) {
  const CheckRun check = Check(PLUGIN_DLL, {"--level", "5", "--seed", "11"});
  EXPECT_EQ(check.run.exit_code, 0u);
  EXPECT_EQ(FailedNames(check.report), std::vector<std::string>());
  EXPECT_EQ(check.report.value("level", 0), 5);
  EXPECT_EQ(check.report.value("seed", 0u), 11u);
  EXPECT_EQ(check.report.value("checks", json::array()).size(), 38u);
  // The stack bytes are measured where the entry points take them from the stack, and only there.
  EXPECT_EQ(check.report.value("skipped", -1), hostsim::kStackCleanupMeasured ? 0 : 6);
  EXPECT_NE(check.junit.find("<testsuites name=\"scorix-sim check\" tests=\"38\" failures=\"0\""),
            std::string::npos)
      << check.junit;
}

TEST(ScorixExeCheck, ACrashInInvokeFailsOnlyTheChecksThatMeetItWithTheExceptionCode) {
  const CheckRun check = Check(FAULTY_PLUGIN_CRASH_DLL, {"--seed", "1"});
  EXPECT_EQ(check.run.exit_code, 1u);
  EXPECT_EQ(
      FailedNames(check.report),
      (std::vector<std::string>{kAccepted, "ScorixExtensionInvoke leaves no edit transaction open",
                                "ScorixExtensionInvoke frees every frame it loads",
                                "the plug-in asks the host only for exports it has"}));
  EXPECT_EQ(CheckNamed(check.report, kAccepted).value("seen", ""),
            "ended by exception 0xC0000005 (access violation) while calling "
            "ScorixExtensionInvoke, answered Yes");
  EXPECT_EQ(CheckNamed(check.report, kDeclined).value("status", ""), "passed");
  EXPECT_EQ(CheckNamed(check.report, kVersion).value("status", ""), "passed");
  EXPECT_NE(check.junit.find("failures=\"4\""), std::string::npos) << check.junit;
}

TEST(ScorixExeCheck, AHangIsStoppedByTheTimeLimit) {
  const CheckRun check = Check(FAULTY_PLUGIN_HANG_DLL, {"--seed", "1", "--time-limit", "3"});
  EXPECT_EQ(check.run.exit_code, 1u);
  EXPECT_EQ(CheckNamed(check.report, kAccepted).value("seen", ""),
            "stopped after 3 s without progress while calling ScorixExtensionInvoke, answered "
            "Yes");
  EXPECT_EQ(CheckNamed(check.report, kDeclined).value("status", ""), "passed");
}

// The sweep's runs are made within the check's own child on Windows: the counts are the same
// as on POSIX, where each run is a fork.
TEST(ScorixExeCheck, HalfAChangeKeptAfterARefusedSaveIsCaughtByTheSweep) {
  const CheckRun check = Check(FAULTY_PLUGIN_HALFSAVE_DLL, {"--level", "4", "--seed", "1"});
  EXPECT_EQ(check.run.exit_code, 1u);
  const std::string sweep =
      "each record and frame call of a clean run refused once, with edit transactions: the "
      "document ends as it was or as the clean run left it";
  const std::string seen = CheckNamed(check.report, sweep).value("seen", "");
  EXPECT_NE(seen.find("4 runs: 2 unchanged, 0 as the clean run left it, 2 half-changed"),
            std::string::npos)
      << seen;
  EXPECT_EQ(FailedNames(check.report).size(), 2u);
}

TEST(ScorixExeCheck, TheSoundTestPluginPassesLevelFour) {
  const CheckRun check = Check(FAULTY_PLUGIN_SOUND_DLL, {"--level", "4", "--seed", "1"});
  EXPECT_EQ(check.run.exit_code, 0u);
  EXPECT_EQ(FailedNames(check.report), std::vector<std::string>());
}

}  // namespace
