// The check's three reports: text for a person, JSON and JUnit XML for a CI. A JUnit report full
// of what a hostile plug-in could put in it is read back by Python's XML parser, as a CI reads it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "hostsim/check_command.h"

namespace hostsim {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

CheckLine Line(const std::string& name, bool passed, const std::string& seen, int level,
               double seconds, bool skipped = false) {
  CheckLine line{name, passed, seen, skipped};
  line.level = level;
  line.seconds = seconds;
  return line;
}

// Three checks: one passed, one skipped, and one failed whose process printed two lines.
CheckReport SampleReport() {
  CheckReport report;
  report.loaded = true;
  report.plugin = "plug.so";
  report.document = "the built-in document";
  report.level = 2;
  report.seed = 42;
  report.seconds = 1.25;
  report.lines.push_back(Line("ScorixExtensionInit is exported", true, "found", 1, 0.01));
  report.lines.push_back(
      Line("a stack check", false, "does not apply on this build", 1, 0, /*skipped=*/true));
  CheckLine failed =
      Line("ScorixExtensionInvoke answered Yes answers 1", false,
           "killed by signal 11 (SIGSEGV) while calling ScorixExtensionInvoke", 2, 0.5);
  failed.output = {"last words", "very last words"};
  report.lines.push_back(failed);
  return report;
}

TEST(TextCheckReport, ShowsEachCheckTheLastLinesOfAFailedOneAndTheTotals) {
  std::ostringstream text;
  WriteCheckReport(SampleReport(), text);
  EXPECT_EQ(text.str(),
            "ok   ScorixExtensionInit is exported (found)\n"
            "skip a stack check (does not apply on this build)\n"
            "FAIL ScorixExtensionInvoke answered Yes answers 1 (killed by signal 11 (SIGSEGV) "
            "while calling ScorixExtensionInvoke)\n"
            "     | last words\n"
            "     | very last words\n"
            "3 checks, 1 failed, 1 skipped\n"
            "took 1.250 s\n");
}

TEST(JsonCheckReport, HoldsTheSubjectTheTotalsAndEveryCheck) {
  std::ostringstream text;
  WriteJsonCheckReport(SampleReport(), text);
  const nlohmann::json report = nlohmann::json::parse(text.str());
  EXPECT_EQ(report["plugin"], "plug.so");
  EXPECT_EQ(report["document"], "the built-in document");
  EXPECT_EQ(report["level"], 2);
  EXPECT_EQ(report["seed"], 42);
  EXPECT_EQ(report["passed"], 1);
  EXPECT_EQ(report["failed"], 1);
  EXPECT_EQ(report["skipped"], 1);
  ASSERT_EQ(report["checks"].size(), 3u);
  const nlohmann::json& failed = report["checks"][2];
  EXPECT_EQ(failed["status"], "failed");
  EXPECT_EQ(failed["level"], 2);
  EXPECT_EQ(failed["seconds"], 0.5);
  EXPECT_EQ(failed["output"], nlohmann::json({"last words", "very last words"}));
  EXPECT_EQ(report["checks"][1]["status"], "skipped");
  EXPECT_EQ(report["checks"][0]["status"], "passed");
}

TEST(JsonCheckReport, ReplacesBytesThatAreNotUtf8) {
  CheckReport report = SampleReport();
  report.lines[0].seen = std::string("title \"\xFF\xFE\"");
  std::ostringstream text;
  WriteJsonCheckReport(report, text);
  const nlohmann::json parsed = nlohmann::json::parse(text.str());
  EXPECT_EQ(parsed["checks"][0]["seen"], "title \"\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JUnitCheckReport, HasOneTestCasePerCheckWithItsLevelTimeAndOutcome) {
  std::ostringstream text;
  WriteJUnitCheckReport(SampleReport(), text);
  const std::string xml = text.str();
  EXPECT_THAT(xml, HasSubstr("<testsuites name=\"scorix-sim check\" tests=\"3\" failures=\"1\" "
                             "errors=\"0\" skipped=\"1\" time=\"1.250\">"));
  EXPECT_THAT(xml, HasSubstr("<testcase classname=\"level1\" name=\"ScorixExtensionInit is "
                             "exported\" time=\"0.010\"/>"));
  EXPECT_THAT(xml, HasSubstr("<skipped message=\"does not apply on this build\"/>"));
  EXPECT_THAT(xml, HasSubstr("<failure message=\"killed by signal 11 (SIGSEGV) while calling "
                             "ScorixExtensionInvoke\" type=\"check\">"));
  EXPECT_THAT(xml, HasSubstr("last words\nvery last words\n</failure>"));
  EXPECT_THAT(xml, HasSubstr("<property name=\"seed\" value=\"42\"/>"));
}

// What Python's own XML parser reads from `xml`: the suite's counts, then each test case with
// its class, name, time and what its failure or skip says.
std::string ReadWithPython(const std::string& xml) {
  const std::string path = ::testing::TempDir() + "check_report_tests.xml";
  std::ofstream(path, std::ios::binary) << xml;
  const std::string script =
      "import sys, xml.etree.ElementTree as tree\n"
      "root = tree.parse(sys.argv[1]).getroot()\n"
      "suite = root.find('testsuite')\n"
      "print(root.tag, suite.get('tests'), suite.get('failures'), suite.get('skipped'))\n"
      "for case in suite.iter('testcase'):\n"
      "    print(repr((case.get('classname'), case.get('name'), case.get('time'))))\n"
      "    for child in case:\n"
      "        print(repr((child.tag, child.get('message'), child.text)))\n";
  const std::string script_path = ::testing::TempDir() + "check_report_tests.py";
  std::ofstream(script_path, std::ios::binary) << script;
  FILE* pipe =
      popen(("PYTHONIOENCODING=utf-8 python3 " + script_path + " " + path + " 2>&1").c_str(), "r");
  if (!pipe) return "";
  std::string out;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  pclose(pipe);
  return out;
}

bool HavePython() {
  return std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") == 0;
}

TEST(JUnitCheckReport, IsReadBackByAnXmlParserWithEverythingAPluginCouldWriteInIt) {
  if (!HavePython()) GTEST_SKIP() << "python3 with xml.etree is not installed (scripts/setup)";
  CheckReport report = SampleReport();
  report.plugin = "plug <&> \"'.so";
  report.lines[0].name = "title \"<&>'\" \xC3\xA9t\xC3\xA9";
  report.lines[2].seen = std::string("ctl \x01\x1F tab\tend \xFF\xC3 bad");
  report.lines[2].output = {"<script>&amp;</script>", "\x7F"};
  std::ostringstream text;
  WriteJUnitCheckReport(report, text);
  const std::string read = ReadWithPython(text.str());
  EXPECT_EQ(read,
            "testsuites 3 1 1\n"
            "('level1', 'title \"<&>\\'\" \xC3\xA9t\xC3\xA9', '0.010')\n"
            "('level1', 'a stack check', '0.000')\n"
            "('skipped', 'does not apply on this build', None)\n"
            "('level2', 'ScorixExtensionInvoke answered Yes answers 1', '0.500')\n"
            "('failure', 'ctl ?? tab\\tend ?? bad', 'ctl ?? tab\\tend ?? bad\\n<script>&amp;"
            "</script>\\n?\\n')\n");
  EXPECT_THAT(text.str(), Not(HasSubstr("\x01")));
}

}  // namespace
}  // namespace hostsim
