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

namespace hostsim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

HWND HostWindow() {
  return reinterpret_cast<HWND>(0x00050C1A);
}

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

class CheckCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::SetDesktop(&desktop_);
    check_desktop_.owner = HostWindow();
    check_desktop_.answer_boxes = [this](int answer) { desktop_.AnswerEveryQuestion(answer); };
    check_desktop_.boxes_shown = [this] { return static_cast<int>(desktop_.Boxes().size()); };
  }
  void TearDown() override { platform::SetDesktop(previous_); }

  CheckReport Check(const std::string& plugin, const HostSetup& setup = LendFrames()) {
    return Check(plugin, BuiltInCheckDocument(), setup);
  }
  CheckReport Check(const std::string& plugin, const RecordStore& document,
                    const HostSetup& setup = LendFrames()) {
    CheckReport report = CheckPlugin(plugin, document, check_desktop_, setup);
    EXPECT_TRUE(report.loaded) << report.error;
    return report;
  }

  static std::vector<std::string> Failed(const CheckReport& report) {
    std::vector<std::string> names;
    for (const CheckLine& line : report.lines) {
      if (!line.passed && !line.skipped) names.push_back(line.name);
    }
    return names;
  }
  static std::string Seen(const CheckReport& report, const std::string& name) {
    for (const CheckLine& line : report.lines) {
      if (line.name == name) return line.seen;
    }
    ADD_FAILURE() << "no check named " << name;
    return "";
  }
  static std::string Text(const CheckReport& report) {
    std::ostringstream text;
    WriteCheckReport(report, text);
    return text.str();
  }

  ScriptedDesktop desktop_;
  CheckDesktop check_desktop_;
  platform::Desktop* previous_ = nullptr;
};

const char kInvokeYes[] = "ScorixExtensionInvoke answered Yes answers 1";
const char kInvokeNoAnswer[] = "ScorixExtensionInvoke answered No answers 0";
const char kInvokeNoUnchanged[] =
    "ScorixExtensionInvoke answered No leaves the document byte for byte unchanged";
const char kTransactions[] = "ScorixExtensionInvoke leaves no edit transaction open";
const char kFrames[] = "ScorixExtensionInvoke frees every frame it loads";
const char kKnownExports[] = "the plug-in asks the host only for exports it has";

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
  EXPECT_THAT(Seen(report, kInvokeYes), HasSubstr("records changed"));
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
  EXPECT_THAT(Seen(report, kInvokeYes), HasSubstr("1 record changed"));
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
  EXPECT_THAT(Failed(report), UnorderedElementsAre(kInvokeNoAnswer, kInvokeNoUnchanged,
                                                   kTransactions, kFrames, kKnownExports))
      << Text(report);
  EXPECT_THAT(Seen(report, kInvokeNoUnchanged), HasSubstr("1 record changed"));
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
  EXPECT_THAT(Seen(report, kInvokeYes), HasSubstr("1 record changed, 1 frame changed"));
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

}  // namespace
}  // namespace hostsim
