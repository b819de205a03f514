// Tables and the before/after comparison scorix-sim prints, and the run report built from them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "hostsim/document.h"
#include "hostsim/run_command.h"
#include "hostsim/score_records.h"
#include "hostsim/score_tables.h"
#include "tests/unit/hostsim/test_documents.h"

namespace hostsim {
namespace {

const char kWorkedExample[] = R"({
  "categories": [
    {"number": 1, "name": "Base", "usercreated": false},
    {"number": 2, "name": "Zeta", "usercreated": true},
    {"number": 3, "name": "Alpha", "usercreated": true}
  ],
  "textExpressions": [
    {"number": 1, "category": 2, "description": "X"},
    {"number": 2, "category": 3, "description": "Y"}
  ]
})";

// The worked example as a correct sort leaves it: Alpha's record in slot 2 and Zeta's in slot 3,
// each carrying the slot's number, X re-pointed to 3 and Y to 2.
RecordStore SortedWorkedExample(const RecordStore& before) {
  RecordStore after = before;
  Bytes zeta = *before.Find(kCategoryTag, ItemIdentity(2));
  Bytes alpha = *before.Find(kCategoryTag, ItemIdentity(3));
  PutWord(&alpha, category_record::kCategoryId, 2);
  PutWord(&zeta, category_record::kCategoryId, 3);
  after.Put(kCategoryTag, ItemIdentity(2), alpha);
  after.Put(kCategoryTag, ItemIdentity(3), zeta);
  Bytes x = *before.Find(kTextExpressionTag, ItemIdentity(1));
  Bytes y = *before.Find(kTextExpressionTag, ItemIdentity(2));
  x[expression_record::kCategory] = 3;
  y[expression_record::kCategory] = 2;
  after.Put(kTextExpressionTag, ItemIdentity(1), x);
  after.Put(kTextExpressionTag, ItemIdentity(2), y);
  return after;
}

TEST(TextTable, AlignsColumnsToTheirWidestCell) {
  TextTable table;
  table.AddColumn("Name");
  table.AddColumn("N", TextTable::Align::kRight);
  table.AddRow({"Alpha", "3"});
  table.AddRow({"Be", "120"});
  EXPECT_EQ(table.Render(),
            "  Name     N\n"
            "  -----  ---\n"
            "  Alpha    3\n"
            "  Be     120\n");
}

TEST(ScoreTables, CategoriesTableCountsExpressionsPerCategory) {
  const std::string table = CategoriesTable(ReadScore(Load(kWorkedExample)));
  EXPECT_EQ(table,
            "  Slot  Name   User-created  Text  Shape\n"
            "  ----  -----  ------------  ----  -----\n"
            "     1  Base   no               0      0\n"
            "     2  Zeta   yes              1      0\n"
            "     3  Alpha  yes              1      0\n");
}

TEST(ScoreTables, ShowsUnprintableNameBytesEscaped) {
  RecordStore store = Load(R"({"categories": [{"number": 1, "name": "Tab\there"}]})");
  EXPECT_NE(CategoriesTable(ReadScore(store)).find("Tab\\x09here"), std::string::npos);
}

TEST(ScoreTables, NamesAMissingCategory) {
  const RecordStore store = Load(R"({"textExpressions": [{"number": 1, "category": 9}]})");
  EXPECT_NE(ExpressionsTable(ReadScore(store)).find("(no such category)"), std::string::npos);
}

TEST(ScoreComparison, ACorrectSortMovesCategoriesAndRepointsExpressions) {
  const RecordStore before = Load(kWorkedExample);
  const ScoreComparison comparison =
      CompareScores(ReadScore(before), ReadScore(SortedWorkedExample(before)));
  EXPECT_EQ(comparison.categories_moved, 2);
  EXPECT_EQ(comparison.expressions_repointed, 2);
  EXPECT_TRUE(comparison.problems.empty()) << comparison.problems.front();
  EXPECT_NE(comparison.categories_table.find("Zeta    yes      1      0  Alpha  yes      1      0  "
                                             "from slot 3"),
            std::string::npos)
      << comparison.categories_table;
  EXPECT_NE(comparison.expressions_table.find("2 Zeta           3 Zeta          re-pointed"),
            std::string::npos)
      << comparison.expressions_table;
}

TEST(ScoreComparison, CatchesAnExpressionLeftBehindWhenItsCategoryMoved) {
  const RecordStore before = Load(kWorkedExample);
  RecordStore after = SortedWorkedExample(before);
  after.Put(kTextExpressionTag, ItemIdentity(1), *before.Find(kTextExpressionTag, ItemIdentity(1)));
  const ScoreComparison comparison = CompareScores(ReadScore(before), ReadScore(after));
  EXPECT_EQ(comparison.expressions_repointed, 1);
  ASSERT_EQ(comparison.problems.size(), 1u);
  EXPECT_EQ(comparison.problems[0],
            "text expression 1 (\"X\") was in \"Zeta\", is now in \"Alpha\"");
  EXPECT_NE(comparison.expressions_table.find("WRONG CATEGORY"), std::string::npos);
}

TEST(ScoreComparison, CatchesBytesThatShouldHaveTravelledWithTheCategory) {
  const RecordStore before = Load(kWorkedExample);
  RecordStore after = SortedWorkedExample(before);
  Bytes alpha = *after.Find(kCategoryTag, ItemIdentity(2));
  alpha[90] ^= 0xFF;
  after.Put(kCategoryTag, ItemIdentity(2), alpha);
  const ScoreComparison comparison = CompareScores(ReadScore(before), ReadScore(after));
  EXPECT_EQ(comparison.categories_moved, 2);
  ASSERT_EQ(comparison.problems.size(), 1u);
  EXPECT_EQ(comparison.problems[0], "category \"Alpha\" in slot 2 lost bytes it had in slot 3");
}

TEST(ScoreComparison, CatchesAChangedByteOutsideTheExpressionsCategory) {
  const RecordStore before = Load(kWorkedExample);
  RecordStore after = before;
  Bytes y = *before.Find(kTextExpressionTag, ItemIdentity(2));
  y[expression_record::kCategory + 1] ^= 1;
  after.Put(kTextExpressionTag, ItemIdentity(2), y);
  const ScoreComparison comparison = CompareScores(ReadScore(before), ReadScore(after));
  EXPECT_EQ(comparison.expressions_repointed, 0);
  ASSERT_EQ(comparison.problems.size(), 1u);
  EXPECT_EQ(comparison.problems[0],
            "text expression 2 (\"Y\") changed bytes other than its category");
}

TEST(ScoreComparison, ReportsRecordsThatAppearedOrVanished) {
  const RecordStore before = Load(kWorkedExample);
  RecordStore after = before;
  after.Erase(kCategoryTag, ItemIdentity(3));
  after.Put(kTextExpressionTag, ItemIdentity(9), Bytes(40, 0));
  const ScoreComparison comparison = CompareScores(ReadScore(before), ReadScore(after));
  EXPECT_EQ(comparison.problems.size(), 3u) << "slot 3 vanished, Y lost its category, 9 appeared";
}

// --- The run report ---

RunOutcome SortedOutcome() {
  RunOutcome outcome;
  outcome.before = Load(kWorkedExample);
  outcome.after = SortedWorkedExample(outcome.before);
  outcome.invoked = true;
  outcome.session.invoke_result = 1;
  outcome.records_written = 4;
  return outcome;
}

std::string Report(const RunOutcome& outcome) {
  std::ostringstream out;
  WriteRunReport(outcome, out);
  return out.str();
}

TEST(RunReport, EndsWithTheSummaryLine) {
  const std::string report = Report(SortedOutcome());
  const std::string summary =
      "Summary: 2 categories moved, 2 expression definitions re-pointed, 4 records written.\n";
  ASSERT_GE(report.size(), summary.size());
  EXPECT_EQ(report.substr(report.size() - summary.size()), summary) << report;
  EXPECT_EQ(report.find("Problems:"), std::string::npos) << report;
}

TEST(RunReport, ReportsAnEditTransactionLeftOpen) {
  RunOutcome outcome = SortedOutcome();
  outcome.open_transactions = 1;
  EXPECT_NE(Report(outcome).find("the plug-in left 1 edit transaction open"), std::string::npos);
}

TEST(RunReport, ReportsAnEntryPointThatLeftItsArgumentsOnTheStack) {
  RunOutcome outcome = SortedOutcome();
  outcome.session.calls.push_back({"ScorixExtensionInvoke", 16, 0, 1});
  EXPECT_NE(Report(outcome).find("ScorixExtensionInvoke removed 0 of its 16 argument bytes"),
            std::string::npos);
}

TEST(RunReport, ListsTheBoxesThePluginShowed) {
  RunOutcome outcome = SortedOutcome();
  outcome.boxes = std::vector<ShownBox>{{"Alphabetizer WARNING", "Sort?\n\nContinue?", 0x34, 6}};
  const std::string report = Report(outcome);
  EXPECT_NE(report.find("Message boxes the plug-in showed: 1"), std::string::npos) << report;
  EXPECT_NE(report.find("[Alphabetizer WARNING] Sort? ..."), std::string::npos) << report;
  EXPECT_NE(report.find("answered Yes"), std::string::npos) << report;
}

TEST(RunReport, ADeclinedRunSaysNothingChanged) {
  RunOutcome outcome = SortedOutcome();
  outcome.after = outcome.before;
  outcome.session.invoke_result = 0;
  outcome.records_written = 0;
  const std::string report = Report(outcome);
  EXPECT_NE(report.find("declined to run its command: nothing changed"), std::string::npos);
  EXPECT_NE(report.find("Summary: 0 categories moved, 0 expression definitions re-pointed, "
                        "0 records written."),
            std::string::npos);
}

TEST(RunReport, ADeclinedRunThatChangedTheDocumentIsAProblem) {
  RunOutcome outcome = SortedOutcome();
  outcome.session.invoke_result = 0;
  EXPECT_NE(Report(outcome).find("the plug-in declined, yet the document changed"),
            std::string::npos);
}

TEST(RunReport, CountsOnlySuccessfulWrites) {
  const std::vector<CallRecord> calls{{"FX_SaveEData", {}, 1},
                                      {"FX_SaveEData", {}, 0},
                                      {"FX_CreateEData", {}, 1},
                                      {"FX_LoadEData", {}, 1},
                                      {"FX_DeleteEData", {}, 1}};
  EXPECT_EQ(CountRecordsWritten(calls), 2);
}

// --- Arguments of `run` ---

TEST(RunArguments, TakesPluginDocumentAnswerAndOut) {
  RunArguments parsed;
  std::string error;
  ASSERT_TRUE(
      ParseRunArguments({"p.so", "--answer", "no", "d.json", "--out", "a.json"}, &parsed, &error))
      << error;
  EXPECT_EQ(parsed.plugin_path, "p.so");
  EXPECT_EQ(parsed.document_path, "d.json");
  EXPECT_EQ(parsed.answer, IDNO);
  EXPECT_EQ(parsed.out_path, "a.json");
}

TEST(RunArguments, RefusesWhatItCannotUse) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"p.so"}, "run needs a plug-in and a document"},
      {{"p.so", "d.json", "e.json"}, "run takes one plug-in and one document"},
      {{"p.so", "d.json", "--answer"}, "--answer needs a value"},
      {{"p.so", "d.json", "--answer", "maybe"}, "--answer must be yes or no, not \"maybe\""},
      {{"p.so", "d.json", "--answer", "yes", "--answer", "no"}, "--answer given twice"},
      {{"p.so", "d.json", "--out", ""}, "--out needs a file name"},
      {{"p.so", "d.json", "--verbose"}, "unknown option --verbose"},
  };
  for (const auto& [args, message] : cases) {
    RunArguments parsed;
    std::string error;
    EXPECT_FALSE(ParseRunArguments(args, &parsed, &error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace hostsim
