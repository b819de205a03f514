// The command on the realistic score with every record load and save failing once, and on random
// documents: the score ends either untouched or fully sorted, never anything in between.
//
// The calls refused are those the simulated host's sweep refuses for any plug-in (see
// hostsim/fault_sweep.h: a failed FX_NextEData, for one, is not, since the host answers "no
// further record" with the same 0 as a refusal); here the command is run directly, so each run
// can also be held to what this command promises beyond atomicity.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/fault_sweep.h"
#include "hostsim/random_document.h"
#include "hostsim/score_records.h"
#include "plugin/alphabetizer.h"
#include "tests/support/sim_fixture.h"

namespace {

using hostsim::kCategoryTag;
using hostsim::kShapeExpressionTag;
using hostsim::kTextExpressionTag;
using hostsim::RecordStore;

RecordStore LoadSample(const std::string& name) {
  RecordStore store;
  std::string error;
  const std::string path = std::string(SCORIX_SAMPLES_DIR) + "/" + name;
  EXPECT_TRUE(hostsim::LoadDocumentFile(path, &store, &error)) << error;
  return store;
}

class FaultSweepTest : public SimHostTest {
 protected:
  // Runs the command on `document` with the nth call of `failing` (if any) refused.
  RecordStore Run(const RecordStore& document, bool transactions, const std::string& failing = "",
                  int nth = 0) {
    host().Reset();
    desktop().Clear();
    host().Records() = document;
    host().SetTransactionsOffered(transactions);
    if (!failing.empty()) host().FailCall(failing, nth);
    Alphabetizer();
    EXPECT_EQ(host().OpenTransactions(), 0) << failing << " #" << nth;
    EXPECT_EQ(ScorixEditDepth, 0) << failing << " #" << nth;
    EXPECT_EQ(LoadedTGFCounter, 0) << failing << " #" << nth;
    return host().Records();
  }

  void Sweep(bool transactions) {
    const RecordStore original = LoadSample("realistic_score.json");
    const RecordStore sorted = Run(original, transactions);
    ASSERT_TRUE(sorted != original) << "the clean run must change the realistic score";
    const std::vector<hostsim::SweptCall> faults = hostsim::SweptCalls(host().Calls());
    // The command makes record loads and saves, and each of them is refused once.
    EXPECT_EQ(faults.size(), static_cast<std::size_t>(host().CountCalls("FX_LoadEData") +
                                                      host().CountCalls("FX_SaveEData")));
    hostsim::SweepTally tally;
    for (const hostsim::SweptCall& fault : faults) {
      const RecordStore after = Run(original, transactions, fault.name, fault.nth);
      const hostsim::FaultOutcome outcome = hostsim::ClassifyFaultRun(original, sorted, after);
      tally.Count(outcome);
      if (outcome == hostsim::FaultOutcome::kHalfChanged) {
        ADD_FAILURE() << hostsim::DescribeSweptCall(fault) << " left the score half-changed";
      }
      // A refused change is always explained to the user; a completed one needs no box.
      if (outcome == hostsim::FaultOutcome::kUnchanged) {
        EXPECT_EQ(desktop().Boxes().size(), 1u) << hostsim::DescribeSweptCall(fault);
      }
    }
    std::printf("Fault sweep with%s edit transactions, one fault each: %s\n",
                transactions ? "" : "out", tally.Counts().c_str());
    EXPECT_EQ(tally.half_changed, 0);
    EXPECT_GT(tally.unchanged, 0);
  }
};

TEST_F(FaultSweepTest, EveryFailedRecordCallLeavesTheScoreUnchangedOrSortedWithTransactions) {
  Sweep(true);
}

TEST_F(FaultSweepTest, EveryFailedRecordCallLeavesTheScoreUnchangedOrSortedWithoutTransactions) {
  Sweep(false);
}

// The host calls a run needs: two loads of the categories, one of each kind of expression
// definition (a text definition's size is asked twice before its load and once before its
// save), one save per user-created category and per expression definition, one edit.
TEST_F(FaultSweepTest, RealisticScoreMakesOnlyTheHostCallsTheAlgorithmNeeds) {
  const RecordStore original = LoadSample("realistic_score.json");
  const int categories = static_cast<int>(original.All(kCategoryTag).size());
  int usercreated = 0;
  for (const auto& [id, bytes] : original.All(kCategoryTag)) {
    if (hostsim::IsUserCreated(*bytes)) ++usercreated;
  }
  const int texts = static_cast<int>(original.All(kTextExpressionTag).size());
  const int shapes = static_cast<int>(original.All(kShapeExpressionTag).size());
  Run(original, true);

  const std::map<std::string, int> expected = {
      {"FX_LoadEData", 2 * categories + 3 * texts + shapes + texts},
      {"FX_NextEData", 2 * categories + texts + shapes},
      {"FX_SaveEData", usercreated + texts + shapes},
      {"FX_StartScorixEdit", 1},
      {"FX_EndScorixEdit", 1}};
  std::map<std::string, int> made;
  for (const auto& call : host().Calls()) ++made[call.name];
  EXPECT_EQ(made, expected);
  int total = 0;
  for (const auto& [name, count] : made) total += count;
  std::printf(
      "Host calls on the realistic score: %d (%d categories, %d text and %d shape "
      "expression definitions)\n",
      total, categories, texts, shapes);
}

// ---- Random documents ----

std::map<int, std::string> NamesByNumber(const RecordStore& store) {
  std::map<int, std::string> names;
  for (const auto& [id, bytes] : store.All(kCategoryTag)) {
    names[hostsim::IdentityWord(id, 0)] = hostsim::CategoryNameOf(*bytes);
  }
  return names;
}

// Every expression definition still belongs to a category of the same name, and every byte but
// its category byte is as it was.
void ExpectExpressionsFollowTheirCategories(const RecordStore& before, const RecordStore& after,
                                            std::uint32_t tag) {
  const auto names_before = NamesByNumber(before);
  const auto names_after = NamesByNumber(after);
  const auto records_before = before.All(tag);
  const auto records_after = after.All(tag);
  ASSERT_EQ(records_before.size(), records_after.size());
  for (std::size_t i = 0; i < records_before.size(); ++i) {
    const hostsim::Bytes& old_bytes = *records_before[i].second;
    const hostsim::Bytes& new_bytes = *records_after[i].second;
    ASSERT_EQ(old_bytes.size(), new_bytes.size());
    for (std::size_t offset = 0; offset < old_bytes.size(); ++offset) {
      if (offset != 26) {
        EXPECT_EQ(old_bytes[offset], new_bytes[offset]) << "offset " << offset;
      }
    }
    const int old_category = old_bytes[26];
    const int new_category = new_bytes[26];
    auto old_name = names_before.find(old_category);
    if (old_name == names_before.end()) {
      EXPECT_EQ(new_category, old_category);  // names no category: left alone
    } else {
      EXPECT_EQ(names_after.at(new_category), old_name->second);
    }
  }
}

TEST(AlphabetizerRandomDocuments, SortsUserCategoriesAndKeepsEveryByteItDoesNotOwn) {
  for (std::uint32_t round = 0; round < 25; ++round) {
    SCOPED_TRACE("document " + std::to_string(round));
    ForgetHostBindings();
    auto& host = hostsim::SimHost::Instance();
    host.Reset();
    host.RegisterAs("SCORIX.EXE");
    host.Records() = hostsim::RandomDocument(20261208 + round);
    const RecordStore before = host.Records();
    Alphabetizer();
    const RecordStore after = host.Records();
    host.Unregister();

    const auto categories_before = before.All(kCategoryTag);
    const auto categories_after = after.All(kCategoryTag);
    ASSERT_EQ(categories_before.size(), categories_after.size());
    std::multiset<hostsim::Bytes> moved_before, moved_after;
    std::string previous_user_name;
    bool first_user = true;
    for (std::size_t i = 0; i < categories_before.size(); ++i) {
      const hostsim::Bytes& old_bytes = *categories_before[i].second;
      const hostsim::Bytes& new_bytes = *categories_after[i].second;
      if (!hostsim::IsUserCreated(old_bytes)) {
        EXPECT_EQ(new_bytes, old_bytes) << "built-in category moved";
        continue;
      }
      ASSERT_TRUE(hostsim::IsUserCreated(new_bytes));
      EXPECT_EQ(new_bytes[0], old_bytes[0]);  // the slot keeps its number
      EXPECT_EQ(new_bytes[1], old_bytes[1]);
      moved_before.insert(hostsim::Bytes(old_bytes.begin() + 2, old_bytes.end()));
      moved_after.insert(hostsim::Bytes(new_bytes.begin() + 2, new_bytes.end()));
      const std::string name = hostsim::CategoryNameOf(new_bytes);
      if (!first_user) {
        EXPECT_LE(previous_user_name, name) << "user categories out of order";
      }
      previous_user_name = name;
      first_user = false;
    }
    EXPECT_EQ(moved_before, moved_after) << "a category's bytes were lost or mixed up";
    ExpectExpressionsFollowTheirCategories(before, after, kTextExpressionTag);
    ExpectExpressionsFollowTheirCategories(before, after, kShapeExpressionTag);
  }
  ForgetHostBindings();
}

}  // namespace
