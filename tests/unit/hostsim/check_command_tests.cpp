// The plug-in check run in this process on the shipped plug-in and on small test plug-ins, each
// with one kind of fault: every fault fails exactly the checks that describe it.
#include "hostsim/check_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/plugin_driver.h"
#include "hostsim/score_tables.h"
#include "hostsim/scripted_desktop.h"
#include "tests/unit/hostsim/check_test_support.h"

namespace hostsim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

// Frames the host lends: real memory, so a plug-in that looks into one reads nothing wild.
HostSetup LendFrames() {
  return [](SimHost& host) {
    host.SetBehavior("FX_LoadTGF", [](const Word*) {
      static std::uint8_t frames[4][64];
      static int next = 0;
      return static_cast<Word>(reinterpret_cast<std::uintptr_t>(frames[next++ % 4]));
    });
  };
}

class CheckCommandTest : public CheckTest {
 protected:
  CheckReport Check(const std::string& plugin, const HostSetup& setup = LendFrames()) {
    return CheckWith(plugin, BuiltInCheckDocument(), setup);
  }
  CheckReport Check(const std::string& plugin, const RecordStore& document,
                    const HostSetup& setup = LendFrames()) {
    return CheckWith(plugin, document, setup);
  }
};

TEST(BuiltInCheckDocument, HoldsUserCategoriesOutOfOrderWithAnExpressionInEach) {
  const ScoreView score = ReadScore(BuiltInCheckDocument());
  ASSERT_EQ(score.categories.size(), 3u);
  EXPECT_FALSE(score.categories[0].user_created);
  EXPECT_TRUE(score.categories[1].user_created);
  EXPECT_TRUE(score.categories[2].user_created);
  EXPECT_GT(score.categories[1].name, score.categories[2].name);
  EXPECT_EQ(score.CountExpressions(ExpressionKind::kText, 2), 1);
  EXPECT_EQ(score.CountExpressions(ExpressionKind::kText, 3), 1);
}

TEST_F(CheckCommandTest, ShippedPluginPassesEveryCheck) {
  const CheckReport report = Check(SCORIX_PLUGIN_PATH);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(report.lines.size(), 24u) << Text(report);
  // The Yes run really ran the command: the user's categories were put in order.
  EXPECT_THAT(Seen(report, kAccepted), HasSubstr("records changed"));
  EXPECT_THAT(Text(report), HasSubstr("24 checks, 0 failed"));
}

TEST_F(CheckCommandTest, ShippedPluginPassesOnASampleDocument) {
  RecordStore document;
  std::string error;
  ASSERT_TRUE(
      LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/worked_example.json", &document, &error))
      << error;
  const CheckReport report = Check(SCORIX_PLUGIN_PATH, document);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
}

TEST_F(CheckCommandTest, SoundTestPluginPassesWithAnEditAFrameAndARecordWritten) {
  const CheckReport report = Check(FAULTY_PLUGIN_SOUND_PATH);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(Seen(report, kFrames), "1 frame loaded, 1 freed");
  EXPECT_THAT(Seen(report, kAccepted), HasSubstr("1 record changed"));
}

#if defined(__i386__)
TEST_F(CheckCommandTest, CdeclExportsFailEveryStackCheck) {
  const CheckReport report = Check(FAULTY_PLUGIN_CDECL_PATH);
  EXPECT_THAT(
      Failed(report),
      ElementsAre("ScorixExtensionVersion removes its 4 argument bytes from the stack",
                  "ScorixExtensionInit removes its 8 argument bytes from the stack",
                  "ScorixExtensionEnumerate removes its 12 argument bytes from the stack",
                  "ScorixExtensionInvoke removes its 16 argument bytes from the stack",
                  "ScorixExtensionTerminate removes its 4 argument bytes from the stack",
                  "ScorixExtensionGetMenuStatus removes its 4 argument bytes from the stack"))
      << Text(report);
  EXPECT_EQ(Seen(report, "ScorixExtensionEnumerate removes its 12 argument bytes from the stack"),
            "removed 0 in 2 of 2 calls");
}
#else
// Off i386 there is no stack cleanup to measure: the six stack checks are skipped, with the
// reason, and count neither as passed nor as failed.
TEST_F(CheckCommandTest, StackChecksAreSkippedWithTheirReasonOffI386) {
  const CheckReport report = Check(FAULTY_PLUGIN_CDECL_PATH);
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(report.SkippedCount(), 6) << Text(report);
  for (const CheckLine& line : report.lines) {
    if (!line.skipped) continue;
    EXPECT_THAT(line.name, HasSubstr("argument bytes from the stack"));
    EXPECT_FALSE(line.passed);
    EXPECT_EQ(line.seen, kStackCheckNotApplicable);
  }
  EXPECT_THAT(Text(report), HasSubstr("24 checks, 0 failed, 6 skipped"));
  EXPECT_THAT(Text(report), HasSubstr("skip ScorixExtensionInit removes its 8 argument bytes"));
}
#endif

TEST_F(CheckCommandTest, UnterminatedTitleAndItemAtEveryIndexFailTheEnumerateChecks) {
  const CheckReport report = Check(FAULTY_PLUGIN_TEXTS_PATH);
  const std::string item0 =
      "ScorixExtensionEnumerate fills item 0 with three terminated texts and answers 1";
  const std::string item1 =
      "ScorixExtensionEnumerate answers 0 for item 1 and leaves the record untouched";
  EXPECT_THAT(Failed(report), ElementsAre(item0, item1)) << Text(report);
  EXPECT_THAT(Seen(report, item0), HasSubstr("the title has no NUL within 64 bytes"));
  EXPECT_THAT(Seen(report, item1), HasSubstr("answered 1"));
}

TEST_F(CheckCommandTest, WrongAnnouncementAnswersAndAnEarlyHostCallFail) {
  const CheckReport report = Check(FAULTY_PLUGIN_ANNOUNCE_PATH);
  const std::string quiet = "no host call before the command is invoked";
  EXPECT_THAT(Failed(report),
              ElementsAre("ScorixExtensionVersion answers the word it is given",
                          "ScorixExtensionInit sets bit 0 of the flags, keeps the others and "
                          "answers 1",
                          "ScorixExtensionGetMenuStatus enables the item", quiet))
      << Text(report);
  EXPECT_EQ(Seen(report, quiet), "FX_GetMaxLayers during ScorixExtensionInit");
  EXPECT_THAT(Seen(report,
                   "ScorixExtensionInit sets bit 0 of the flags, keeps the others and "
                   "answers 1"),
              HasSubstr("0x00000006 -> 0x00000001"));
}

TEST_F(CheckCommandTest, InvokeThatIgnoresNoAndLeavesThingsBehindFails) {
  const CheckReport report = Check(FAULTY_PLUGIN_INVOKE_PATH);
  EXPECT_THAT(Failed(report), UnorderedElementsAre(kDeclined, kDeclinedUnchanged, kTransactions,
                                                   kFrames, kKnownExports))
      << Text(report);
  EXPECT_THAT(Seen(report, kDeclinedUnchanged), HasSubstr("1 record changed"));
  EXPECT_EQ(Seen(report, kTransactions), "open after No: 1, after Yes: 2");
  EXPECT_THAT(Seen(report, kFrames), HasSubstr("4 frames loaded, 4 freed"));
  EXPECT_THAT(Seen(report, kFrames), HasSubstr("; kept 0x"));
  // Each invocation kept one frame and handed back one it never had; each fault is told once.
  EXPECT_THAT(Seen(report, kFrames),
              HasSubstr("freed 0x00BADF00, which it did not hold (2 times)"));
  EXPECT_THAT(Seen(report, kKnownExports), HasSubstr("the host has no FX_NoSuchExport"));
}

TEST_F(CheckCommandTest, MissingExportsAreNamedAsFailedChecks) {
  const CheckReport report = Check(FAULTY_PLUGIN_MISSING_PATH);
  EXPECT_THAT(Failed(report), ElementsAre("ScorixExtensionTerminate is exported",
                                          "ScorixExtensionGetMenuStatus is exported"))
      << Text(report);
  // The checks of the missing exports' behaviour are not made at all.
  EXPECT_THAT(Text(report), ::testing::Not(HasSubstr("enables the item")));
}

TEST_F(CheckCommandTest, FramesCountedOnlyWhenTheHostLendsThem) {
  const CheckReport report = Check(FAULTY_PLUGIN_INVOKE_PATH, HostSetup());
  // A null answer lends nothing, so handing it back counts as a stray free.
  EXPECT_THAT(Seen(report, kFrames), HasSubstr("0 frames loaded, 4 freed"));
  EXPECT_THAT(Seen(report, kFrames), HasSubstr("freed 0x00000000, which it did not hold"));
}

// The built-in document with the music of staff 1, measure 1: a cleaned frame to lend.
RecordStore DocumentWithFrames() {
  RecordStore document;
  std::string error;
  EXPECT_TRUE(LoadDocument(R"({
      "categories": [{"number": 1, "name": "Dynamics", "usercreated": false},
                     {"number": 2, "name": "Zither effects", "usercreated": true}],
      "frames": [{"staff": 1, "measure": 1, "layer": 0, "entries": [
        {"duration": 1024, "notes": [{"displacement": 2}, {"displacement": 5}]},
        {"duration": 1024, "notes": [{"displacement": -1}]}]}]})",
                           &document, &error))
      << error;
  return document;
}

TEST_F(CheckCommandTest, SoundTestPluginPassesWithFramesTheHostLendsItself) {
  const CheckReport report = Check(FAULTY_PLUGIN_SOUND_PATH, DocumentWithFrames(), HostSetup());
  EXPECT_THAT(Failed(report), IsEmpty()) << Text(report);
  EXPECT_EQ(Seen(report, kFrames), "1 frame loaded, 1 freed");
}

TEST_F(CheckCommandTest, FrameMisuseFailsTheFrameCheckWithEachFaultNamed) {
  const CheckReport report = Check(FAULTY_PLUGIN_FRAMES_PATH, DocumentWithFrames(), HostSetup());
  EXPECT_THAT(Failed(report), ElementsAre(kFrames)) << Text(report);
  const std::string seen = Seen(report, kFrames);
  EXPECT_THAT(seen, HasSubstr("1 frame loaded, 1 freed, 1 saved: ")) << seen;
  EXPECT_THAT(seen, HasSubstr("FX_SaveTGF on a frame not cleaned: entry 0 (entnum 1): note 0 "
                              "has ID 0"));
  EXPECT_THAT(seen, HasSubstr("FX_SaveTGF on a frame with the host's byte 0 of the frame block "
                              "changed"));
  EXPECT_THAT(seen, HasSubstr("FX_SaveTGF on a frame already freed"));
  EXPECT_THAT(seen, HasSubstr("wrote to the entry array of the freed frame at byte 16 after "
                              "the host took it back"));
  // The uncleaned save reached the document, as the host's own save would.
  EXPECT_THAT(Seen(report, kAccepted), HasSubstr("1 record changed, 1 frame changed"));
}

TEST_F(CheckCommandTest, ModuleThatDoesNotLoadIsReportedNotChecked) {
  const CheckReport report =
      CheckPlugin("/nonexistent/plugin.so", BuiltInCheckDocument(), check_desktop_);
  EXPECT_FALSE(report.loaded);
  EXPECT_THAT(report.lines, IsEmpty());
  EXPECT_FALSE(report.error.empty());
}

TEST(CheckArguments, TakeAPluginAndAnOptionalDocument) {
  CheckArguments parsed;
  std::string error;
  ASSERT_TRUE(ParseCheckArguments({"p.so"}, &parsed, &error)) << error;
  EXPECT_EQ(parsed.plugin_path, "p.so");
  EXPECT_EQ(parsed.document_path, "");
  EXPECT_EQ(parsed.level, kDefaultCheckLevel);
  EXPECT_FALSE(parsed.seed.has_value());
  EXPECT_EQ(parsed.time_limit_seconds, kDefaultCheckTimeLimit);
  EXPECT_THAT(parsed.reports, IsEmpty());
  ASSERT_TRUE(ParseCheckArguments({"p.so", "d.json"}, &parsed, &error)) << error;
  EXPECT_EQ(parsed.document_path, "d.json");
}

TEST(CheckArguments, RefuseNothingTooMuchAndOptions) {
  CheckArguments parsed;
  std::string error;
  EXPECT_FALSE(ParseCheckArguments({}, &parsed, &error));
  EXPECT_FALSE(ParseCheckArguments({"p.so", "d.json", "e.json"}, &parsed, &error));
  EXPECT_FALSE(ParseCheckArguments({"p.so", "--answer"}, &parsed, &error));
  EXPECT_THAT(error, HasSubstr("unknown option --answer"));
}

TEST(CheckArguments, TakeALevelASeedATimeLimitAndReportsAnywhere) {
  CheckArguments parsed;
  std::string error;
  ASSERT_TRUE(ParseCheckArguments(
      {"--level", "5", "p.so", "--report", "junit", "out.xml", "d.json", "--seed", "4294967295",
       "--time-limit", "2.5", "--report", "json", "out.json"},
      &parsed, &error))
      << error;
  EXPECT_EQ(parsed.plugin_path, "p.so");
  EXPECT_EQ(parsed.document_path, "d.json");
  EXPECT_EQ(parsed.level, 5);
  EXPECT_EQ(parsed.seed, 4294967295u);
  EXPECT_EQ(parsed.time_limit_seconds, 2.5);
  ASSERT_EQ(parsed.reports.size(), 2u);
  EXPECT_EQ(parsed.reports[0].format, ReportFormat::kJUnit);
  EXPECT_EQ(parsed.reports[0].path, "out.xml");
  EXPECT_EQ(parsed.reports[1].format, ReportFormat::kJson);
  EXPECT_EQ(parsed.reports[1].path, "out.json");
}

TEST(CheckArguments, RefuseValuesOutOfTheirRange) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
      {{"p.so", "--level", "0"}, "--level must be a whole number from 1 to 5"},
      {{"p.so", "--level", "6"}, "--level must be a whole number from 1 to 5"},
      {{"p.so", "--level", "2.5"}, "--level must be a whole number from 1 to 5"},
      {{"p.so", "--level", "two"}, "--level must be a whole number from 1 to 5"},
      {{"p.so", "--seed", "-1"}, "--seed must be a whole number from 0 to 4294967295"},
      {{"p.so", "--seed", "4294967296"}, "--seed must be a whole number from 0 to 4294967295"},
      {{"p.so", "--time-limit", "0"}, "--time-limit must be a number of seconds"},
      {{"p.so", "--time-limit", "nan"}, "--time-limit must be a number of seconds"},
      {{"p.so", "--report", "xml", "out.xml"}, "--report takes json or junit, then a file"},
      {{"p.so", "--report", "json"}, "--report needs a format and a file"},
      {{"p.so", "--level"}, "--level needs a value"},
  };
  for (const auto& [args, problem] : wrong) {
    CheckArguments parsed;
    std::string error;
    EXPECT_FALSE(ParseCheckArguments(args, &parsed, &error)) << args.back();
    EXPECT_THAT(error, HasSubstr(problem)) << args.back();
  }
}

// A child process of the check is started with these words: they must give the same check.
TEST(CheckArguments, WordsOfParsedArgumentsParseToTheSameCheckWithoutReports) {
  CheckArguments parsed;
  std::string error;
  ASSERT_TRUE(ParseCheckArguments({"p.so", "d.json", "--level", "4", "--seed", "17", "--time-limit",
                                   "0.75", "--report", "json", "r.json"},
                                  &parsed, &error));
  CheckArguments again;
  ASSERT_TRUE(ParseCheckArguments(CheckArgumentWords(parsed), &again, &error)) << error;
  EXPECT_EQ(again.plugin_path, "p.so");
  EXPECT_EQ(again.document_path, "d.json");
  EXPECT_EQ(again.level, 4);
  EXPECT_EQ(again.seed, 17u);
  EXPECT_EQ(again.time_limit_seconds, 0.75);
  EXPECT_THAT(again.reports, IsEmpty());

  ASSERT_TRUE(ParseCheckArguments({"p.so"}, &parsed, &error));
  ASSERT_TRUE(ParseCheckArguments(CheckArgumentWords(parsed), &again, &error)) << error;
  EXPECT_EQ(again.document_path, "");
  EXPECT_FALSE(again.seed.has_value());
}

}  // namespace
}  // namespace hostsim
