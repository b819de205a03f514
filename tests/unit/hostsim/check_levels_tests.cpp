// The levels of the plug-in check: each deliberately faulty test plug-in is caught at the level
// whose checks describe its fault, by the check that names it, and passes every level below;
// the shipped plug-in passes the highest. A crash or hang fails only the checks that meet it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsim/check_command.h"
#include "hostsim/plugin_driver.h"
#include "tests/unit/hostsim/check_test_support.h"

namespace hostsim {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

const char kVersion[] = "ScorixExtensionVersion answers the word it is given";
const char kSweepWith[] =
    "each record and frame call of a clean run refused once, with edit transactions: the "
    "document ends as it was or as the clean run left it";
const char kSweepWithout[] =
    "each record and frame call of a clean run refused once, without edit transactions: the "
    "document ends as it was or as the clean run left it";
const char kShortRecords[] =
    "a host that delivers records short (half, one byte) or empty: nothing crashes, hangs, "
    "leaves an edit open or misuses a frame";

// A test's whole time limit for one step of a check: a plug-in that hangs costs this much for
// each check that meets the hang.
constexpr double kShortTimeLimit = 2.0;

// Six exports, their six stack checks, six announcement checks, six of the command: level 2.
constexpr std::size_t kLevelTwoChecks = 24;
// Five random documents, two sweeps, seven hostile hosts on top.
constexpr std::size_t kLevelFiveChecks = kLevelTwoChecks + 5 + 2 + 7;

class CheckLevelsTest : public CheckTest {
 protected:
  // The built-in document with the music of staff 1, measure 1: a frame for the host to lend.
  static RecordStore DocumentWithAFrame() {
    return Document(R"({
        "categories": [{"number": 1, "name": "Dynamics", "usercreated": false},
                       {"number": 2, "name": "Zither effects", "usercreated": true}],
        "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
          {"duration": 1024, "notes": [{"displacement": 2}]}]}]})");
  }

  // The plug-in passes every check of `level` - 1 and fails some at `level`; answers those.
  std::vector<std::string> CaughtAt(const std::string& plugin, int level,
                                    const RecordStore& document = BuiltInCheckDocument(),
                                    double time_limit = kDefaultCheckTimeLimit) {
    if (level > kLowestCheckLevel) {
      const CheckReport below = CheckAtLevel(plugin, level - 1, document, time_limit);
      EXPECT_THAT(Failed(below), IsEmpty()) << "level " << level - 1 << ":\n" << Text(below);
    }
    report_ = CheckAtLevel(plugin, level, document, time_limit);
    const std::vector<std::string> failed = Failed(report_);
    EXPECT_THAT(failed, Not(IsEmpty())) << "level " << level << ":\n" << Text(report_);
    for (const std::string& name : failed) {
      const CheckLine* line = Line(report_, name);
      if (line) {
        EXPECT_EQ(line->level, level) << name << " is a check of another level";
      }
    }
    return failed;
  }

  CheckReport report_;
};

TEST_F(CheckLevelsTest, AMissingExportIsCaughtAtLevelOne) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_MISSING_PATH, 1),
              ElementsAre("ScorixExtensionTerminate is exported",
                          "ScorixExtensionGetMenuStatus is exported"));
}

TEST_F(CheckLevelsTest, AWrongStackSizeIsCaughtAtLevelOne) {
  if (!kStackCleanupMeasured) GTEST_SKIP() << kStackCheckNotApplicable;
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_CDECL_PATH, 1),
              Contains("ScorixExtensionInvoke removes its 16 argument bytes from the stack"));
  EXPECT_EQ(Seen(report_, "ScorixExtensionInvoke removes its 16 argument bytes from the stack"),
            "removed 0 in 1 of 1 call");
}

// Level 1 declines the command only; the crash comes once the user says Yes. Each check that
// says Yes fails with how its process ended, and every other check still runs and passes.
TEST_F(CheckLevelsTest, ACrashInInvokeIsCaughtAtLevelTwoByEachCheckThatMeetsIt) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_CRASH_PATH, 2),
              UnorderedElementsAre(kAccepted, kTransactions, kFrames, kKnownExports));
  const CheckLine* accepted = Line(report_, kAccepted);
  ASSERT_NE(accepted, nullptr);
  // A signal where nothing watches for it; AddressSanitizer's own report where it does.
  EXPECT_THAT(accepted->seen, AllOf(HasSubstr("SEGV"), HasSubstr("while calling "
                                                                 "ScorixExtensionInvoke, answered "
                                                                 "Yes")));
  EXPECT_EQ(report_.lines.size(), kLevelTwoChecks) << Text(report_);
  EXPECT_TRUE(Line(report_, kDeclined)->passed);
  EXPECT_TRUE(Line(report_, kVersion)->passed);
  EXPECT_THAT(Text(report_), HasSubstr("FAIL " + std::string(kAccepted)));
}

TEST_F(CheckLevelsTest, AHangInInvokeIsStoppedByTheTimeLimitAtLevelTwo) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_HANG_PATH, 2, BuiltInCheckDocument(), kShortTimeLimit),
              UnorderedElementsAre(kAccepted, kTransactions, kFrames, kKnownExports));
  const CheckLine* accepted = Line(report_, kAccepted);
  ASSERT_NE(accepted, nullptr);
  EXPECT_EQ(accepted->seen,
            "stopped after 2 s without progress while calling ScorixExtensionInvoke, answered "
            "Yes");
  EXPECT_GE(accepted->seconds, kShortTimeLimit);
  EXPECT_TRUE(Line(report_, kDeclined)->passed);
}

TEST_F(CheckLevelsTest, AFrameKeptIsCaughtAtLevelTwo) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_LEAK_PATH, 2, DocumentWithAFrame()), ElementsAre(kFrames));
  EXPECT_THAT(Seen(report_, kFrames), HasSubstr("1 frame loaded, 0 freed: kept 0x"));
}

// The plug-in rewrites two categories and keeps the first when the second cannot be written:
// a refused second load or save leaves half the change, with edit transactions or without.
TEST_F(CheckLevelsTest, HalfAChangeKeptAfterARefusedSaveIsCaughtAtLevelFour) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_HALFSAVE_PATH, 4),
              UnorderedElementsAre(kSweepWith, kSweepWithout));
  for (const char* sweep : {kSweepWith, kSweepWithout}) {
    const std::string seen = Seen(report_, sweep);
    EXPECT_THAT(seen, HasSubstr("4 runs: 2 unchanged, 0 as the clean run left it, 2 half-changed "
                                "(refused: FX_LoadEData 2, FX_SaveEData 2)"))
        << seen;
    EXPECT_THAT(seen, HasSubstr("FX_SaveEData #2 refused: the document was left half-changed (1 "
                                "record changed)"))
        << seen;
    EXPECT_THAT(seen, HasSubstr("FX_LoadEData #2 refused: the document was left half-changed"))
        << seen;
  }
}

// The sweep makes every run apart: the one run that crashes is told by name, and the others are
// counted as usual.
TEST_F(CheckLevelsTest, ACrashWhenALoadIsRefusedIsCaughtAtLevelFourAndTheOtherRunsStillCount) {
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_FRAGILE_PATH, 4),
              UnorderedElementsAre(kSweepWith, kSweepWithout));
  const std::string seen = Seen(report_, kSweepWith);
  EXPECT_THAT(seen, HasSubstr("2 runs: 1 unchanged, 0 as the clean run left it, 0 half-changed, "
                              "1 ended badly (refused: FX_LoadEData 1, FX_SaveEData 1)"))
      << seen;
  EXPECT_THAT(seen, AllOf(HasSubstr("FX_LoadEData #1 refused: "), HasSubstr("SEGV"))) << seen;
}

TEST_F(CheckLevelsTest, AReadPastAShortRecordIsCaughtAtLevelFive) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the read stays within the process's own memory: only AddressSanitizer, "
                  "which this build lacks, sees it";
#endif
  EXPECT_THAT(CaughtAt(FAULTY_PLUGIN_OVERREAD_PATH, 5), ElementsAre(kShortRecords));
  const std::string seen = Seen(report_, kShortRecords);
  EXPECT_THAT(seen, HasSubstr("records delivered half on the document: "));
  // Past the record's end lies a redzone or a freed block, as the heap happens to be laid out.
  EXPECT_THAT(seen, HasSubstr("AddressSanitizer: heap-"));
  // Below the check, where the read happened: the sanitizer's report from its first line.
  const std::vector<std::string>& output = Line(report_, kShortRecords)->output;
  ASSERT_GE(output.size(), 2u);
  EXPECT_EQ(output[0], "(records delivered half on the document)");
  EXPECT_THAT(output[1], HasSubstr("ERROR: AddressSanitizer: heap-"));
}

TEST_F(CheckLevelsTest, TheShippedPluginPassesLevelFive) {
  const CheckReport report = CheckAtLevel(SCORIX_PLUGIN_PATH, 5);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(report.lines.size(), kLevelFiveChecks) << Text(report);
  EXPECT_EQ(report.SkippedCount(), kStackCleanupMeasured ? 0 : 6);
  // The sweep refused every load and save the command made on the built-in document.
  EXPECT_THAT(Seen(report, kSweepWith),
              AllOf(HasSubstr(" 0 half-changed"), HasSubstr("refused: FX_LoadEData ")));
}

TEST_F(CheckLevelsTest, TheShippedPluginPassesLevelFiveOnASampleWithMusic) {
  RecordStore document;
  std::string error;
  ASSERT_TRUE(
      LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/note_entries.json", &document, &error))
      << error;
  const CheckReport report = CheckAtLevel(SCORIX_PLUGIN_PATH, 5, document);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
}

// Each level runs the checks of the levels below it too.
TEST_F(CheckLevelsTest, EachLevelHoldsTheChecksOfTheLevelsBelow) {
  std::vector<std::string> below;
  for (int level = kLowestCheckLevel; level <= kHighestCheckLevel; ++level) {
    const CheckReport report = CheckAtLevel(FAULTY_PLUGIN_SOUND_PATH, level);
    std::vector<std::string> names;
    for (const CheckLine& line : report.lines) {
      names.push_back(line.name);
      EXPECT_LE(line.level, level) << line.name;
    }
    EXPECT_THAT(names, IsSupersetOf(below)) << "level " << level;
    EXPECT_GT(names.size(), below.size()) << "level " << level << " adds no check";
    below = names;
  }
}

// The sound test plug-in rewrites category 1 inside an edit and loads a frame (the built-in
// document has none to lend): refusing the load or the save leaves the document as it was, and
// refusing the frame changes nothing the command needs.
TEST_F(CheckLevelsTest, TheSweepCountsEveryRefusedCallOfTheCleanRun) {
  const CheckReport report = CheckAtLevel(FAULTY_PLUGIN_SOUND_PATH, 4);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(Seen(report, kSweepWith),
            "3 runs: 2 unchanged, 1 as the clean run left it, 0 half-changed (refused: "
            "FX_LoadEData 1, FX_LoadTGF 1, FX_SaveEData 1)");
}

// The random documents come from the seed alone: the same seed checks the same documents, and
// another seed others.
TEST_F(CheckLevelsTest, RandomDocumentsFollowTheSeed) {
  auto random_lines = [this](std::uint32_t seed) {
    CheckOptions options;
    options.level = 3;
    options.seed = seed;
    std::vector<std::string> seen;
    for (const CheckLine& line :
         CheckWith(FAULTY_PLUGIN_SOUND_PATH, BuiltInCheckDocument(), HostSetup(), options).lines) {
      if (line.level == 3) seen.push_back(line.seen);
    }
    return seen;
  };
  const std::vector<std::string> first = random_lines(7);
  ASSERT_EQ(first.size(), 5u);
  EXPECT_THAT(first[0], HasSubstr("(repeat with --seed 7)"));
  EXPECT_EQ(random_lines(7), first);
  const std::vector<std::string> other = random_lines(8);
  ASSERT_EQ(other.size(), 5u);
  for (std::size_t i = 0; i < first.size(); ++i) EXPECT_NE(other[i], first[i]);
}

}  // namespace
}  // namespace hostsim
