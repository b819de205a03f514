// The shipped Windows plug-in in the Windows host program, under Wine: a real module load, real
// entry-point calls, and real message boxes answered through a window hook.
//
// On i686 the host measures the stack bytes each entry point removes, so the stdcall contract is
// checked here too. The x86_64 build passes the arguments in registers: nothing is removed, so
// the tests of that contract are built for i686 only, and on x86_64 the report must say that
// nothing was measured.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "hostsim/plugin_driver.h"
#include "tests/e2e/host_process.h"

// Whether the host measures the stack bytes an entry point removes: only on i686, where the
// stdcall contract exists. The tests of that contract are built there alone.
#if defined(__i386__)
#define E2E_STACK_CLEANUP_MEASURED 1
#else
#define E2E_STACK_CLEANUP_MEASURED 0
#endif
static_assert(hostsim::kStackCleanupMeasured == (E2E_STACK_CLEANUP_MEASURED == 1),
              "the host and its tests must agree on where the stack cleanup is measured");

namespace {

using nlohmann::json;

const char kExpectedCaption[] = "Alphabetizer WARNING";
const char kExpectedText[] =
    "This plug-in will sort the custom categories alphabetically.\n\nHOWEVER, it will NOT sort "
    "the Score Lists for the categories! So, if you have any Score Lists attached to your custom "
    "categories, you need to MANUALLY reconnect the Score Lists to the categories after the "
    "sorting.\n\nContinue?";

std::string ReportPath() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return e2e::WindowsPath(std::string(E2E_WORK_DIR) + "/" + test->test_suite_name() + "." +
                          test->name() + ".json");
}

// Runs the selftest verb of `program` on a plug-in (the shipped one unless told) and answers
// its boxes; the command runs on `document` when one is given, on an empty document otherwise.
json Selftest(const char* program, const std::string& answer, const char* plugin = PLUGIN_DLL,
              const std::string& document = "") {
  const std::string report_path = ReportPath();
  std::vector<std::string> arguments = {
      "selftest", e2e::WindowsPath(plugin), "--answer", answer, "--report", report_path};
  if (!document.empty()) {
    arguments.push_back("--document");
    arguments.push_back(e2e::WindowsPath(document));
  }
  const e2e::HostRun run = e2e::RunHost(e2e::WindowsPath(program), arguments, report_path);
  EXPECT_TRUE(run.started) << program;
  EXPECT_TRUE(run.finished) << program << " did not finish: was a box left unanswered?";
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_TRUE(run.report.is_object()) << "no report in " << report_path;
  return run.report.is_object() ? run.report : json::object();
}

json EntryPoint(const json& report, const std::string& name) {
  for (const auto& call : report.value("entry_points", json::array())) {
    if (call.value("name", "") == name) return call;
  }
  ADD_FAILURE() << name << " was not called";
  return json::object();
}

std::vector<std::string> EntryPointNames(const json& report) {
  std::vector<std::string> names;
  for (const auto& call : report.value("entry_points", json::array())) {
    names.push_back(call.value("name", ""));
  }
  return names;
}

// Writes `document` for the host to read, beside the test's report.
std::string WriteDocument(const json& document) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string path = std::string(E2E_WORK_DIR) + "/" + test->test_suite_name() + "." +
                           test->name() + ".document.json";
  std::ofstream(path, std::ios::binary) << document.dump(2) << '\n';
  return path;
}

void ExpectConfirmationBox(const json& box) {
  EXPECT_EQ(box.value("caption", ""), kExpectedCaption);
  EXPECT_EQ(box.value("text", ""), kExpectedText);
  EXPECT_TRUE(box.value("has_yes", false));
  EXPECT_TRUE(box.value("has_no", false));
  EXPECT_FALSE(box.value("has_ok", true));
  EXPECT_TRUE(box.value("owned_by_host", false)) << "the box must be modal to the host window";
}

void ExpectTheConfirmationBox(const json& report) {
  const json boxes = report.value("boxes", json::array());
  ASSERT_EQ(boxes.size(), 1u);
  ExpectConfirmationBox(boxes[0]);
}

int CountHostCalls(const json& report, const std::string& name) {
  int count = 0;
  for (const auto& call : report.value("host_calls", json::array())) {
    if (call == name) ++count;
  }
  return count;
}

// The argument bytes the application pushes for each entry point (4 per word, as on the target).
const std::vector<std::pair<std::string, int>> kArgumentBytes = {
    {"ScorixExtensionVersion", 4},    {"ScorixExtensionInit", 8},
    {"ScorixExtensionEnumerate", 12}, {"ScorixExtensionInvoke", 16},
    {"ScorixExtensionTerminate", 4},  {"ScorixExtensionGetMenuStatus", 4}};

TEST(ScorixExe, LoadsThePluginAndCallsEveryEntryPointInTheApplicationsOrder) {
  const json report = Selftest(SCORIX_EXE, "no");
  EXPECT_EQ(report.value("module", ""), "SCORIX.EXE");
  EXPECT_FALSE(report.contains("error")) << report.value("error", "");
  EXPECT_EQ(EntryPointNames(report),
            (std::vector<std::string>{"ScorixExtensionVersion", "ScorixExtensionInit",
                                      "ScorixExtensionEnumerate", "ScorixExtensionGetMenuStatus",
                                      "ScorixExtensionInvoke", "ScorixExtensionTerminate"}));
  for (const auto& [name, bytes] : kArgumentBytes) {
    const json call = EntryPoint(report, name);
    EXPECT_EQ(call.value("argument_bytes", -1), bytes) << name;
#if !E2E_STACK_CLEANUP_MEASURED
    // Nothing removes arguments from the stack here: the report must not claim a clean stack.
    EXPECT_EQ(call.value("removed_bytes", 0), hostsim::kStackNotMeasured) << name;
#endif
  }
}

#if E2E_STACK_CLEANUP_MEASURED
TEST(ScorixExe, EveryEntryPointRemovesExactlyItsArgumentBytes) {
  const json report = Selftest(SCORIX_EXE, "no");
  for (const auto& [name, bytes] : kArgumentBytes) {
    const json call = EntryPoint(report, name);
    EXPECT_EQ(call.value("argument_bytes", -1), bytes) << name;
    EXPECT_EQ(call.value("removed_bytes", -1), bytes) << name;
  }
}
#endif

TEST(ScorixExe, PluginAnnouncesItsMenuItemAndVersion) {
  const json report = Selftest(SCORIX_EXE, "no");
  EXPECT_EQ(EntryPoint(report, "ScorixExtensionVersion").value("result", 0u), 0x0F000200u);
  EXPECT_EQ(report.value("flags_after_init", 0u), 1u);
  EXPECT_EQ(report.value("menu_status", 0), 1);
  const json item = report.value("menu_item", json::object());
  EXPECT_TRUE(item.value("offered", false));
  EXPECT_EQ(item.value("title", ""), "QX Alphabetizer");
  EXPECT_EQ(item.value("description", ""), "Sorts the custom categories alphabetically.");
  EXPECT_EQ(item.value("short_name", ""), "Alphabetizer");
  EXPECT_EQ(item.value("reserved1", 1u), 0u);
  EXPECT_EQ(item.value("reserved2", 1u), 0u);
}

TEST(ConfirmationBox, AnsweredNoLeavesTheDocumentUntouched) {
  const json report = Selftest(SCORIX_EXE, "no");
  ExpectTheConfirmationBox(report);
  EXPECT_EQ(report.value("boxes", json::array()).at(0).value("pressed", 0), 7);  // IDNO
  EXPECT_EQ(report.value("invoke_result", -1), 0);
  EXPECT_EQ(report.value("host_calls", json::array()), json::array())
      << "a declined command must not reach the host";
}

TEST(ConfirmationBox, AnsweredYesRunsTheCommand) {
  const json report = Selftest(SCORIX_EXE, "yes");
  ExpectTheConfirmationBox(report);
  EXPECT_EQ(report.value("boxes", json::array()).at(0).value("pressed", 0), 6);  // IDYES
  EXPECT_EQ(report.value("invoke_result", -1), 1);
  // The command reads the (empty) document through the host's exports.
  const json calls = report.value("host_calls", json::array());
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.at(0), "FX_LoadEData");
}

// Sorted, Zeta would move from category 2 to 300, out of reach of the text expression definition
// that refers to it (a definition holds its category in one byte): the command must refuse, say
// why in a box of its own in front of the host window, and leave the score as it was.
TEST(RefusalBox, CategoryOutOfReachIsExplainedInABoxOwnedByTheHostWithTheScoreUnchanged) {
  const json document = {
      {"categories",
       {{{"number", 2}, {"name", "Zeta"}, {"usercreated", true}},
        {{"number", 300}, {"name", "Alpha"}, {"usercreated", true}}}},
      {"textExpressions", {{{"number", 1}, {"category", 2}, {"description", "X"}}}}};
  const json report = Selftest(SCORIX_EXE, "yes", PLUGIN_DLL, WriteDocument(document));
  const json boxes = report.value("boxes", json::array());
  ASSERT_EQ(boxes.size(), 2u);
  ExpectConfirmationBox(boxes[0]);
  EXPECT_EQ(boxes[0].value("pressed", 0), 6);  // IDYES
  const json& refusal = boxes[1];
  EXPECT_EQ(refusal.value("caption", ""), "Alphabetizer");
  const std::string text = refusal.value("text", "");
  EXPECT_NE(text.find("\"Zeta\" would move to number 300"), std::string::npos) << text;
  EXPECT_NE(text.find("The score is unchanged."), std::string::npos) << text;
  EXPECT_TRUE(refusal.value("has_ok", false));
  EXPECT_FALSE(refusal.value("has_yes", true));
  EXPECT_FALSE(refusal.value("has_no", true));
  EXPECT_TRUE(refusal.value("owned_by_host", false)) << "the box must be modal to the host window";
  EXPECT_EQ(refusal.value("pressed", 0), 1);  // IDOK
  EXPECT_EQ(report.value("invoke_result", -1), 1);
  // The command read the score, wrote nothing and left it as it was.
  EXPECT_GT(CountHostCalls(report, "FX_LoadEData"), 0);
  EXPECT_EQ(CountHostCalls(report, "FX_SaveEData"), 0);
  EXPECT_EQ(report.value("document_changed", true), false);
}

TEST(VavaverExe, PluginFindsItsHostUnderTheOtherName) {
  const json report = Selftest(VAVAVER_EXE, "yes");
  EXPECT_EQ(report.value("module", ""), "VAVAVER.EXE");
  const json lookup = report.value("host_lookup", json::object());
  EXPECT_EQ(lookup.value("found_as", json()), "VAVAVER.EXE");
  EXPECT_TRUE(lookup.value("resolved", false)) << "FX_ exports must be found by their plain names";
  EXPECT_EQ(lookup.value("calls_seen_by_host", 0), 1);
#if E2E_STACK_CLEANUP_MEASURED
  EXPECT_EQ(lookup.value("removed_bytes", -1), lookup.value("argument_bytes", -2));
#else
  EXPECT_EQ(lookup.value("removed_bytes", 0), hostsim::kStackNotMeasured);
#endif
  ExpectTheConfirmationBox(report);
  EXPECT_EQ(report.value("invoke_result", -1), 1);
  // The command found its host under this name: it made the same calls as under SCORIX.EXE.
  const json calls = report.value("host_calls", json::array());
  EXPECT_FALSE(calls.empty());
  EXPECT_EQ(calls, Selftest(SCORIX_EXE, "yes").value("host_calls", json::array()));
}

// The C calling convention differs from stdcall on i686 only, so the plug-in with the wrong one
// is built there alone.
#if E2E_STACK_CLEANUP_MEASURED
TEST(ScorixExe, MeasuresAndSurvivesAPluginWithTheWrongCallingConvention) {
  const json report = Selftest(SCORIX_EXE, "yes", CDECL_PLUGIN_DLL);
  const json calls = report.value("entry_points", json::array());
  ASSERT_EQ(calls.size(), 6u);
  for (const auto& call : calls) {
    EXPECT_EQ(call.value("removed_bytes", -1), 0) << call.value("name", "");
  }
  const json item = report.value("menu_item", json::object());
  EXPECT_EQ(item.value("title", ""), "Cdecl");
  EXPECT_EQ(item.value("reserved1", 0u), 0xCCCCu) << "bytes the plug-in left must show";
  EXPECT_EQ(report.value("invoke_result", -1), 1);  // its OK box was pressed
}
#endif

TEST(SelftestCommandLine, RefusesARunWithoutAReport) {
  const e2e::HostRun run =
      e2e::RunHost(e2e::WindowsPath(SCORIX_EXE), {"selftest", e2e::WindowsPath(PLUGIN_DLL)}, "");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 64u);
}

TEST(SelftestCommandLine, ReportsAPluginThatCannotBeLoaded) {
  const std::string report_path = ReportPath();
  const e2e::HostRun run = e2e::RunHost(
      e2e::WindowsPath(SCORIX_EXE),
      {"selftest", "Z:\\no\\such\\plugin.dll", "--answer", "no", "--report", report_path},
      report_path);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exit_code, 1u);
  ASSERT_TRUE(run.report.is_object());
  EXPECT_NE(run.report.value("error", "").find("plugin.dll"), std::string::npos);
  EXPECT_EQ(run.report.value("entry_points", json::array()), json::array());
}

}  // namespace
