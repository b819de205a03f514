// scorix-sim as a person or a script runs it: a separate process, its output and exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string TempPath(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "scorix_sim_" + test->name() + "_" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// Runs scorix-sim with standard input from /dev/null, so nobody is at its terminal. Where this
// build's programs need an emulator (i386 on a kernel without 32-bit support), scorix-sim is
// started through it too.
Outcome RunSim(const std::string& arguments) {
  const std::string err_path = TempPath("stderr.txt");
  const std::string emulator = SCORIX_SIM_EMULATOR;
  const std::string command = (emulator.empty() ? "" : emulator + " ") + SCORIX_SIM_PATH + " " +
                              arguments + " </dev/null 2>" + err_path;
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot start " << command;
    return outcome;
  }
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, got);
  const int status = pclose(pipe);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  outcome.err = ReadFile(err_path);
  std::remove(err_path.c_str());
  return outcome;
}

const std::string kSamples = SCORIX_SAMPLES_DIR;
const std::string kWorkedExample = kSamples + "/worked_example.json";

TEST(ScorixSimArguments, NoCommandIsAUsageError) {
  const Outcome outcome = RunSim("");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("no command given"), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("usage:"), std::string::npos) << outcome.err;
}

TEST(ScorixSimArguments, UnknownCommandIsAUsageError) {
  const Outcome outcome = RunSim("sort " + kWorkedExample);
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("unknown command \"sort\""), std::string::npos) << outcome.err;
}

TEST(ScorixSimArguments, ShowWithoutADocumentIsAUsageError) {
  const Outcome outcome = RunSim("show");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("show takes one document"), std::string::npos) << outcome.err;
}

TEST(ScorixSimArguments, RunWithABadAnswerIsAUsageError) {
  const Outcome outcome = RunSim("run plugin.so " + kWorkedExample + " --answer perhaps");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("--answer must be yes or no"), std::string::npos) << outcome.err;
}

TEST(ScorixSimArguments, RunWithNobodyToAnswerIsRefused) {
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kWorkedExample);
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("give --answer yes|no"), std::string::npos) << outcome.err;
}

TEST(ScorixSimArguments, RunWithAModuleThatWillNotLoadNamesIt) {
  const Outcome outcome = RunSim("run /nonexistent/plugin.so " + kWorkedExample + " --answer yes");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("cannot load the plug-in /nonexistent/plugin.so"), std::string::npos)
      << outcome.err;
}

TEST(ScorixSimDocuments, AMissingDocumentIsNamed) {
  const Outcome outcome = RunSim("show /nonexistent/score.json");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("/nonexistent/score.json: cannot read the file"), std::string::npos)
      << outcome.err;
}

TEST(ScorixSimDocuments, ADirectoryIsNotADocument) {
  const Outcome outcome = RunSim("show " + kSamples);
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find(kSamples + ": cannot read the file"), std::string::npos)
      << outcome.err;
}

TEST(ScorixSimDocuments, AnUnwritableOutFileIsReported) {
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kWorkedExample +
                                 " --answer no --out /nonexistent/after.json");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("/nonexistent/after.json: cannot write the file"), std::string::npos)
      << outcome.err;
}

TEST(ScorixSimDocuments, AMalformedDocumentIsRefusedWithThePlace) {
  const std::string path = TempPath("bad.json");
  WriteFile(path, R"({"categories": [{"number": 1, "name": "a"}, {"number": 1, "name": "b"}]})");
  for (const std::string& command :
       {"show " + path, std::string("run ") + SCORIX_PLUGIN_PATH + " " + path + " --answer yes"}) {
    const Outcome outcome = RunSim(command);
    EXPECT_EQ(outcome.exit_code, 2) << command;
    EXPECT_NE(outcome.err.find("categories[1].number: 1 is already used by categories[0]"),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(outcome.out, "") << "nothing is run on a bad document";
  }
}

TEST(ScorixSimDocuments, NotJsonIsRefused) {
  const std::string path = TempPath("text.json");
  WriteFile(path, "categories: Dynamics\n");
  const Outcome outcome = RunSim("show " + path);
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("not valid JSON"), std::string::npos) << outcome.err;
}

TEST(ScorixSimShow, PrintsTheWorkedExamplesTables) {
  const Outcome outcome = RunSim("show " + kWorkedExample);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "Document: 3 categories, 2 text and 0 shape expression definitions\n"
            "\n"
            "Categories:\n"
            "  Slot  Name   User-created  Text  Shape\n"
            "  ----  -----  ------------  ----  -----\n"
            "     1  Base   no               0      0\n"
            "     2  Zeta   yes              1      0\n"
            "     3  Alpha  yes              1      0\n"
            "\n"
            "Expression definitions:\n"
            "  Kind  Number  Category  Category name  Description\n"
            "  ----  ------  --------  -------------  -----------\n"
            "  text       1         2  Zeta           X\n"
            "  text       2         3  Alpha          Y\n");
}

const std::string kStaffAndText = kSamples + "/staff_and_text.json";

TEST(ScorixSimShow, ListsTextsIncidentsStavesClefsAndRegionsAfterTheTables) {
  const Outcome outcome = RunSim("show " + kStaffAndText);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "Document: 1 category, 1 text and 0 shape expression definitions\n"
            "\n"
            "Categories:\n"
            "  Slot  Name         User-created  Text  Shape\n"
            "  ----  -----------  ------------  ----  -----\n"
            "     1  Tempo Marks  no               1      0\n"
            "\n"
            "Expression definitions:\n"
            "  Kind  Number  Category  Category name  Description\n"
            "  ----  ------  --------  -------------  -----------\n"
            "  text       1         1  Tempo Marks    Allegro\n"
            "\n"
            "Texts:\n"
            "  Tag                Number  Bytes  Text\n"
            "  -----------------  ------  -----  ---------------------------------\n"
            "  0x74787431 'txt1'       1     17  \"Allegro con brio\"\n"
            "  0x74787431 'txt1'       2      4  \"Fine\" (unterminated)\n"
            "  0x74787431 'txt1'       3      1  \"\" (empty)\n"
            "  0x74787431 'txt1'       4      0  \"\" (empty, unterminated)\n"
            "  0x74787431 'txt1'       5      5  \"AB\" (2 more bytes after the NUL)\n"
            "  0x74787431 'txt1'      -1      9  \"Tab\\x09here\"\n"
            "\n"
            "Incidents:\n"
            "  Tag                Item  Incidents   Bytes\n"
            "  -----------------  ----  ----------  -----------\n"
            "  0x626C6B31 'blk1'     3  0, 1, 2, 4  8, 8, 8, 12\n"
            "  0x626C6B31 'blk1'     7  0           1\n"
            "\n"
            "Staves:\n"
            "  Staff  Transposition  Kind       Interval  Alteration  Simplify key  Set to clef\n"
            "  -----  -------------  ---------  --------  ----------  ------------  -----------\n"
            "      1  0x0000         diatonic          0           0  yes           no\n"
            "      2  0x0042         diatonic          1           2  yes           no\n"
            "      3  0x60F9         chromatic        -7           0  no            no\n"
            "      4  0xA002         chromatic         2           0  yes           yes\n"
            "\n"
            "Current staves:\n"
            "  Staff  Measure  Position  Transposition  Kind       Interval  Alteration  "
            "Simplify key  Set to clef\n"
            "  -----  -------  --------  -------------  ---------  --------  ----------  "
            "------------  -----------\n"
            "      2        1         0  0x0042         diatonic          1           2  "
            "yes           no\n"
            "      2        9       512  0x2002         chromatic         2           0  "
            "yes           no\n"
            "\n"
            "Clefs:\n"
            "  Clef  Baseline\n"
            "  ----  --------\n"
            "     0         0\n"
            "     1       -12\n"
            "     3        -6\n"
            "\n"
            "Measure-number regions:\n"
            "  Region  Measures                            Layout\n"
            "  ------  ----------------------------------  ------\n"
            "       1  measures 1 to 10, numbered from 1      196\n"
            "       2  measures 11 to 24, numbered from 1      88\n");
}

const std::string kNoteEntries = kSamples + "/note_entries.json";

TEST(ScorixSimShow, ListsTheLayersAndEveryEntryOfTheNoteEntriesSample) {
  const Outcome outcome = RunSim("show " + kNoteEntries);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  for (const char* line :
       {"\nLayers: 4 per staff, layer 2 hidden\n",
        "Slots: slot 1 shows staff 2, slot 2 shows staff 1; every other slot its own staff\n",
        "\nEntries:\n  Staff  Measure  Layer       Entry  Position  Duration  Kind  Flags       "
        "Notes\n",
        "      1        1  0               1         0      1024  note  0x40000801  "
        "0 (r/l 0) id 1; +4 (r/l 0) id 2; +7 (r/l 1) id 3\n",
        "                                  3      2048      1024  rest  0x00000000  none\n",
        "      1        1  2 (hidden)      7         0      4096  note  0x40000000  +9 (r/l 0) id "
        "1\n",
        "      1        2  0               8         0      2048  note  0x40000000  "
        "+1 (r/l 0) id 3; +5 (r/l 0) id 1\n"}) {
    EXPECT_NE(outcome.out.find(line), std::string::npos) << line << "\n" << outcome.out;
  }
}

// The sample plug-in walks the selection the document gives: four cells of two layers each.
TEST(ScorixSimRun, ShowsWhatARegionWalkDidWithTheFrames) {
  const Outcome outcome = RunSim(std::string("run ") + STEM_FLIPPER_PATH + " " + kSamples +
                                 "/selection.json --answer yes");
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("\nFrames: 8 asked for, 8 lent, 0 refused, 8 saved, 8 given back.\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("      1        3  0      before      9         0      1024  note  "
                             "0x40000000  +6 (r/l 0) id 1\n"
                             "                         after       9         0      1024  note  "
                             "0x40000001  +6 (r/l 0) id 1\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(outcome.out.find("Problems:"), std::string::npos) << outcome.out;
}

TEST(ScorixSimRun, KeepsTheFramesInTheDocumentItWrites) {
  const std::string after = TempPath("after.json");
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kNoteEntries +
                                 " --answer yes --out " + after);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out.find("Entries, before and after"), std::string::npos) << outcome.out;
  EXPECT_NE(ReadFile(after).find("\"frames\": ["), std::string::npos);
  EXPECT_EQ(RunSim("show " + after).out, RunSim("show " + kNoteEntries).out);
}

TEST(ScorixSimRun, KeepsTextsIncidentsStavesClefsAndRegionsInTheDocumentItWrites) {
  const std::string after = TempPath("after.json");
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kStaffAndText +
                                 " --answer no --out " + after);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::string written = ReadFile(after);
  EXPECT_NE(written.find("\"texts\": ["), std::string::npos) << written;
  EXPECT_NE(written.find("\"incidents\": ["), std::string::npos) << written;
  EXPECT_EQ(RunSim("show " + after).out, RunSim("show " + kStaffAndText).out);
}

TEST(ScorixSimRun, AnsweredNoChangesNothingAndSucceeds) {
  const std::string after = TempPath("after.json");
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kWorkedExample +
                                 " --answer no --out " + after);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("nothing changed"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("[Alphabetizer WARNING]"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("Summary: 0 categories moved, 0 expression definitions re-pointed, "
                             "0 records written."),
            std::string::npos)
      << outcome.out;
  const Outcome before_and_after = RunSim("show " + after);
  EXPECT_EQ(before_and_after.out, RunSim("show " + kWorkedExample).out);
}

TEST(ScorixSimRun, AnsweredYesSortsTheWorkedExample) {
  const std::string after = TempPath("after.json");
  const Outcome outcome = RunSim(std::string("run ") + SCORIX_PLUGIN_PATH + " " + kWorkedExample +
                                 " --answer yes --out " + after);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("Summary: 2 categories moved, 2 expression definitions re-pointed"),
            std::string::npos)
      << outcome.out;
  const Outcome shown = RunSim("show " + after);
  EXPECT_NE(shown.out.find("  text       1         3  Zeta           X\n"
                           "  text       2         2  Alpha          Y\n"),
            std::string::npos)
      << shown.out;
}

// Every line of a check report starts with ok or FAIL; the last gives the totals.
int CountLinesStartingWith(const std::string& text, const std::string& start) {
  int count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) count += line.rfind(start, 0) == 0;
  return count;
}

TEST(ScorixSimCheck, ThePluginPassesEveryCheckAndExitsZero) {
  const Outcome outcome = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("on the built-in document"), std::string::npos) << outcome.out;
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "FAIL "), 0) << outcome.out;
#if defined(__i386__)
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "ok   "), 24) << outcome.out;
  EXPECT_NE(outcome.out.find("\n24 checks, 0 failed\n"), std::string::npos) << outcome.out;
#else
  // The six stack checks do not apply off i386: skipped, never counted as passed.
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "ok   "), 18) << outcome.out;
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "skip "), 6) << outcome.out;
  EXPECT_NE(outcome.out.find("\n24 checks, 0 failed, 6 skipped\n"), std::string::npos)
      << outcome.out;
#endif
}

TEST(ScorixSimCheck, ThePluginPassesOnAGivenDocument) {
  const Outcome outcome = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " " + kWorkedExample);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("on " + kWorkedExample), std::string::npos) << outcome.out;
}

#if defined(__i386__)
TEST(ScorixSimCheck, AFaultyPluginFailsAndExitsOne) {
  const Outcome outcome = RunSim(std::string("check ") + FAULTY_PLUGIN_CDECL_PATH);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("FAIL ScorixExtensionInit removes its 8 argument bytes from the "
                             "stack (removed 0 in 1 of 1 call)\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "FAIL "), 6) << outcome.out;
  EXPECT_NE(outcome.out.find("24 checks, 6 failed"), std::string::npos) << outcome.out;
}
#endif

TEST(ScorixSimCheck, APluginWithWrongTextsFailsAndExitsOne) {
  const Outcome outcome = RunSim(std::string("check ") + FAULTY_PLUGIN_TEXTS_PATH);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("FAIL ScorixExtensionEnumerate answers 0 for item 1"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "FAIL "), 2) << outcome.out;
  EXPECT_NE(outcome.out.find("24 checks, 2 failed"), std::string::npos) << outcome.out;
}

TEST(ScorixSimCheck, AModuleThatDoesNotLoadExitsTwo) {
  const Outcome outcome = RunSim("check " + kSamples + "/no_such_plugin.so");
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_NE(outcome.err.find("cannot load the plug-in"), std::string::npos) << outcome.err;
  EXPECT_EQ(outcome.out, "");
}

TEST(ScorixSimCheck, BadArgumentsAndUnreadableDocumentsExitTwo) {
  EXPECT_EQ(RunSim("check").exit_code, 2);
  const Outcome extra = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " a.json b.json");
  EXPECT_EQ(extra.exit_code, 2);
  EXPECT_NE(extra.err.find("usage:"), std::string::npos) << extra.err;
  const Outcome missing = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " " + kSamples +
                                 "/no_such_document.json");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.out, "");
}

// What Python's XML parser reads from a JUnit report: the suite's counts and each failed test
// case's name, as a CI that reads the file sees them.
std::string ReadJUnitWithPython(const std::string& path) {
  const std::string script = TempPath("read_junit.py");
  WriteFile(script,
            "import sys, xml.etree.ElementTree as tree\n"
            "suite = tree.parse(sys.argv[1]).getroot().find('testsuite')\n"
            "print(suite.get('tests'), suite.get('failures'), suite.get('skipped'))\n"
            "for case in suite.iter('testcase'):\n"
            "    if case.find('failure') is not None: print('failed:', case.get('name'))\n");
  FILE* pipe = popen(("python3 " + script + " " + path + " 2>&1").c_str(), "r");
  std::string out;
  char buffer[4096];
  std::size_t got;
  while (pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  if (pipe) pclose(pipe);
  std::remove(script.c_str());
  return out;
}

bool HavePython() {
  return std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") == 0;
}

TEST(ScorixSimCheck, WritesJsonAndJUnitReportsThatAgreeWithTheText) {
  if (!HavePython()) GTEST_SKIP() << "python3 with xml.etree is not installed (scripts/setup)";
  const std::string json_path = TempPath("report.json");
  const std::string junit_path = TempPath("report.xml");
  const Outcome outcome =
      RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " --level 2 --seed 5 --report json " +
             json_path + " --report junit " + junit_path);
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("at level 2, seed 5\n"), std::string::npos) << outcome.out;
  const std::string json = ReadFile(json_path);
  EXPECT_NE(json.find("\"failed\": 0,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"seed\": 5,"), std::string::npos) << json;
  const int skipped = CountLinesStartingWith(outcome.out, "skip ");
  EXPECT_EQ(ReadJUnitWithPython(junit_path), "24 0 " + std::to_string(skipped) + "\n");
  std::remove(json_path.c_str());
  std::remove(junit_path.c_str());
}

// The crash ends only the checks that meet it: the process of each is told in the text and in
// the JUnit report, and every other check passes.
TEST(ScorixSimCheck, APluginThatCrashesFailsTheChecksThatMeetTheCrashAndExitsOne) {
  if (!HavePython()) GTEST_SKIP() << "python3 with xml.etree is not installed (scripts/setup)";
  const std::string junit_path = TempPath("crash.xml");
  const Outcome outcome = RunSim(std::string("check ") + FAULTY_PLUGIN_CRASH_PATH +
                                 " --seed 1 --report junit " + junit_path);
  EXPECT_EQ(outcome.exit_code, 1) << outcome.out << outcome.err;
  EXPECT_NE(outcome.out.find("FAIL ScorixExtensionInvoke answered Yes answers 1 ("),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("SEGV"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("ok   ScorixExtensionInvoke answered No answers 0"), std::string::npos)
      << outcome.out;
  EXPECT_EQ(CountLinesStartingWith(outcome.out, "FAIL "), 4) << outcome.out;
  const std::string read = ReadJUnitWithPython(junit_path);
  EXPECT_EQ(read.substr(0, read.find('\n')),
            "24 4 " + std::to_string(CountLinesStartingWith(outcome.out, "skip ")));
  EXPECT_NE(read.find("failed: ScorixExtensionInvoke answered Yes answers 1\n"), std::string::npos)
      << read;
  std::remove(junit_path.c_str());
}

TEST(ScorixSimCheck, WithoutASeedOneIsChosenAndPrinted) {
  const Outcome outcome = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " --level 1");
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  const std::size_t at = outcome.out.find("at level 1, seed ");
  ASSERT_NE(at, std::string::npos) << outcome.out;
  const std::string seed = outcome.out.substr(at + 17, outcome.out.find('\n', at) - at - 17);
  EXPECT_FALSE(seed.empty());
  EXPECT_EQ(seed.find_first_not_of("0123456789"), std::string::npos) << seed;
}

// A CI that reads the report of a module that does not load reads one failed check, not nothing.
TEST(ScorixSimCheck, AModuleThatDoesNotLoadIsOneFailedCheckInTheReports) {
  const std::string json_path = TempPath("unloadable.json");
  const Outcome outcome =
      RunSim("check " + kSamples + "/no_such_plugin.so --report json " + json_path);
  EXPECT_EQ(outcome.exit_code, 2);
  EXPECT_EQ(outcome.out, "");
  const std::string json = ReadFile(json_path);
  EXPECT_NE(json.find("\"failed\": 1,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"name\": \"the module loads\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"seen\": \"the module does not load\""), std::string::npos) << json;
  std::remove(json_path.c_str());
}

TEST(ScorixSimCheck, BadOptionsAndUnwritableReportsExitTwoBeforeAnyCheck) {
  const Outcome level = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH + " --level 9");
  EXPECT_EQ(level.exit_code, 2);
  EXPECT_NE(level.err.find("--level must be a whole number from 1 to 5"), std::string::npos)
      << level.err;
  const Outcome report = RunSim(std::string("check ") + SCORIX_PLUGIN_PATH +
                                " --report junit /nonexistent/report.xml");
  EXPECT_EQ(report.exit_code, 2);
  EXPECT_NE(report.err.find("/nonexistent/report.xml: cannot write the file"), std::string::npos)
      << report.err;
  EXPECT_EQ(report.out, "");
}

}  // namespace
