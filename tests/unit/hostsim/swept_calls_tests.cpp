// The parts of a single-fault sweep: which calls of a clean run are refused, how a run after a
// fault is judged, and how the runs are counted and told.
#include "hostsim/fault_sweep.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostsim/score_records.h"

namespace hostsim {
namespace {

std::vector<std::string> Described(const std::vector<SweptCall>& calls) {
  std::vector<std::string> names;
  for (const SweptCall& call : calls) names.push_back(DescribeSweptCall(call));
  return names;
}

CallRecord Call(const std::string& name) {
  return {name, {}, 1};
}

// Each call is numbered among the calls of its own name, the calls not swept included, so the
// host's FailCall refuses exactly that one.
TEST(SweptCalls, AreTheRecordAndFrameCallsNumberedAmongTheirOwnName) {
  const std::vector<CallRecord> clean = {
      Call("FX_StartScorixEdit"), Call("FX_LoadEData"),     Call("FX_NextEData"),
      Call("FX_LoadEData"),       Call("FX_LoadTGF"),       Call("FX_SaveTGF"),
      Call("FX_FreeTGF"),         Call("FX_ReduceEntries"), Call("FX_InsertEXENTRY"),
      Call("FX_DeleteEXENTRY"),   Call("FX_SaveEData"),     Call("FX_CreateEData"),
      Call("FX_DeleteEData"),     Call("FX_PreviousEData"), Call("FX_EndScorixEdit")};
  EXPECT_THAT(Described(SweptCalls(clean)),
              ::testing::ElementsAre("FX_LoadEData #1", "FX_LoadEData #2", "FX_LoadTGF #1",
                                     "FX_SaveTGF #1", "FX_InsertEXENTRY #1", "FX_DeleteEXENTRY #1",
                                     "FX_SaveEData #1", "FX_CreateEData #1", "FX_DeleteEData #1"));
}

// A refusal the plug-in cannot tell from an answer is not swept.
TEST(SweptCalls, LeaveOutCallsWhoseRefusalLooksLikeAnAnswer) {
  for (const char* name :
       {"FX_NextEData", "FX_PreviousEData", "FX_ReduceEntries", "FX_FreeTGF", "FX_GetMaxLayers"}) {
    EXPECT_FALSE(IsSweptExport(name)) << name;
  }
  EXPECT_TRUE(IsSweptExport("FX_SaveEData"));
}

RecordStore Store(std::uint8_t first, std::uint8_t second) {
  RecordStore store;
  store.Put(kCategoryTag, ItemIdentity(1), Bytes{first});
  store.Put(kCategoryTag, ItemIdentity(2), Bytes{second});
  return store;
}

TEST(ClassifyFaultRun, TellsUnchangedCompletedAndHalfChanged) {
  const RecordStore original = Store(1, 2), clean = Store(3, 4);
  EXPECT_EQ(ClassifyFaultRun(original, clean, Store(1, 2)), FaultOutcome::kUnchanged);
  EXPECT_EQ(ClassifyFaultRun(original, clean, Store(3, 4)), FaultOutcome::kCompleted);
  EXPECT_EQ(ClassifyFaultRun(original, clean, Store(3, 2)), FaultOutcome::kHalfChanged);
  // A clean run that changed nothing: every run that changed nothing is unchanged.
  EXPECT_EQ(ClassifyFaultRun(original, original, Store(1, 2)), FaultOutcome::kUnchanged);
}

TEST(SweepTally, CountsEachOutcomeAndTellsThem) {
  SweepTally tally;
  for (FaultOutcome outcome : {FaultOutcome::kUnchanged, FaultOutcome::kUnchanged,
                               FaultOutcome::kCompleted, FaultOutcome::kHalfChanged}) {
    tally.Count(outcome);
  }
  EXPECT_EQ(tally.Counts(), "4 runs: 2 unchanged, 1 as the clean run left it, 1 half-changed");
  tally.CountEndedBadly();
  EXPECT_EQ(tally.runs, 5);
  EXPECT_EQ(tally.Counts(),
            "5 runs: 2 unchanged, 1 as the clean run left it, 1 half-changed, 1 ended badly");
  EXPECT_EQ(SweepTally().Counts(),
            "0 runs: 0 unchanged, 0 as the clean run left it, 0 half-changed");
}

TEST(DescribeDifferences, CountsRecordsChangedAddedAndRemoved) {
  RecordStore after = Store(9, 2);
  after.Put(kCategoryTag, ItemIdentity(3), Bytes{5});
  EXPECT_EQ(DescribeDifferences(Store(1, 2), after), "1 record changed, 1 record added");
  EXPECT_EQ(DescribeDifferences(after, Store(1, 2)), "1 record changed, 1 record removed");
  EXPECT_EQ(DescribeDifferences(Store(1, 2), Store(1, 2)), "");
}

}  // namespace
}  // namespace hostsim
