// The sample plug-in Flip Stems, driven as the application drives a plug-in, on the sample
// document of note entries: every note entry of the first measure of staff 1 turns its stem, in
// every layer, and every frame it was lent goes back once.
#include <gtest/gtest.h>

#include <string>

#include "hostsim/document.h"
#include "hostsim/entry_records.h"
#include "hostsim/plugin_driver.h"
#include "tests/support/sim_fixture.h"

namespace {

using hostsim::FrameKey;

constexpr std::uint32_t kStemUp = 0x00000001;
constexpr std::uint32_t kIsNote = 0x40000000;

std::uint32_t EntryFlags(const hostsim::Bytes& entries, std::size_t index) {
  return hostsim::ReadU32(entries.data() + index * 146 + 8);
}

class StemFlipper : public SimHostTest {
 protected:
  virtual const char* Document() const { return "/note_entries.json"; }
  void SetUp() override {
    SimHostTest::SetUp();
    std::string error;
    ASSERT_TRUE(hostsim::LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + Document(),
                                          &host().Records(), &error))
        << error;
    ASSERT_TRUE(driver_.Load(STEM_FLIPPER_PATH, &error)) << error;
    driver_.Announce(&session_);
  }
  void TearDown() override {
    driver_.Unload();
    SimHostTest::TearDown();
  }

  hostsim::PluginDriver driver_;
  hostsim::PluginSession session_;
};

TEST_F(StemFlipper, TurnsTheStemsOfTheFirstMeasureAndGivesEveryFrameBack) {
  EXPECT_EQ(session_.item.title, "Flip Stems");
  const hostsim::RecordStore before = host().Records();
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 1);

  const hostsim::FrameLedger& ledger = host().Frames();
  EXPECT_GT(ledger.lent, 0);
  EXPECT_EQ(ledger.freed, ledger.lent);
  EXPECT_TRUE(ledger.NeverFreed().empty());
  for (const auto& problem : ledger.problems) ADD_FAILURE() << DescribeFrameProblem(problem);

  int flipped = 0;
  for (const auto& [key, entries] : before.Frames()) {
    const hostsim::Bytes* now = host().Records().FindFrame(key);
    ASSERT_NE(now, nullptr);
    const bool first_measure = key.staff == 1 && key.measure == 1;
    for (std::size_t i = 0; i < hostsim::EntryCount(entries); ++i) {
      const std::uint32_t was = EntryFlags(entries, i);
      const std::uint32_t is = EntryFlags(*now, i);
      if (first_measure && (was & kIsNote)) {
        EXPECT_EQ(is & kStemUp, (was & kStemUp) ^ kStemUp) << key.layer << "/" << i;
        ++flipped;
      } else if (!first_measure) {
        EXPECT_EQ(is, was) << key.staff << "/" << key.measure << "/" << key.layer << "/" << i;
      }
    }
    if (!first_measure) {
      EXPECT_EQ(*now, entries);
    }
  }
  EXPECT_GT(flipped, 0);
}

// The Windows DLL under Wine is held to the same file.
TEST_F(StemFlipper, EndsAsTheFlippedSample) {
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 1);
  hostsim::RecordStore flipped;
  std::string error;
  ASSERT_TRUE(hostsim::LoadDocumentFile(
      std::string(SCORIX_SAMPLES_DIR) + "/note_entries.flipped.json", &flipped, &error))
      << error;
  EXPECT_TRUE(host().Records() == flipped);
}

TEST_F(StemFlipper, ARefusedLoadSkipsThatLayerAndStillFreesTheOthers) {
  host().RefuseFrameLoad(1, 1, 1);
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 1);
  const hostsim::FrameLedger& ledger = host().Frames();
  EXPECT_GE(ledger.refused, 1);
  EXPECT_EQ(ledger.freed, ledger.lent);
  EXPECT_TRUE(ledger.problems.empty());
}

TEST_F(StemFlipper, ARefusedSaveEndsTheCommandWithEveryFrameFreed) {
  host().FailCall("FX_SaveTGF", 1);
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 0);
  const hostsim::FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.freed, ledger.lent);
  EXPECT_TRUE(ledger.problems.empty());
}

TEST_F(StemFlipper, FramesAtOddAddressesAreReadAndWrittenAlike) {
  host().SetOddFrameAddresses(true);
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 1);
  EXPECT_EQ(host().Frames().freed, host().Frames().lent);
  EXPECT_TRUE(host().Frames().problems.empty());
}

// With a selection the command walks it cell by cell: every note entry inside the selection's
// bounds turns its stem unless a stem lock keeps it, the cells of the selection are written back
// whole (cleaned), and every other cell stays byte for byte.
class StemFlipperOnASelection : public StemFlipper {
 protected:
  const char* Document() const override { return "/selection.json"; }
  // Slots 1 and 2, from measure 2 at 1024 to measure 3 at 1024, as the document says.
  static bool InSelectionCell(const FrameKey& key) {
    return key.staff >= 1 && key.staff <= 2 && key.measure >= 2 && key.measure <= 3;
  }
  static bool InSelection(const FrameKey& key, std::int32_t position) {
    if (!InSelectionCell(key)) return false;
    if (key.measure == 2 && position < 1024) return false;
    if (key.measure == 3 && position > 1024) return false;
    return true;
  }
};

TEST_F(StemFlipperOnASelection, TurnsTheStemsInsideTheSelectionOnly) {
  const hostsim::RecordStore before = host().Records();
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 1);
  int flipped = 0;
  for (const auto& [key, entries] : before.Frames()) {
    const hostsim::Bytes* now = host().Records().FindFrame(key);
    ASSERT_NE(now, nullptr);
    if (!InSelectionCell(key)) {
      EXPECT_EQ(*now, entries) << key.staff << "/" << key.measure << "/" << key.layer;
      continue;
    }
    for (std::size_t i = 0; i < hostsim::EntryCount(entries); ++i) {
      const std::uint32_t was = EntryFlags(entries, i);
      const std::uint32_t is = EntryFlags(*now, i);
      const auto position = hostsim::ReadS32(entries.data() + i * 146 + 136);
      // Entry 100 carries a stem lock on its note.
      const bool locked = hostsim::ReadS32(entries.data() + i * 146) == 100;
      const bool turns = InSelection(key, position) && (was & kIsNote) && !locked;
      EXPECT_EQ(is & kStemUp, (was & kStemUp) ^ (turns ? kStemUp : 0u))
          << key.staff << "/" << key.measure << "/" << key.layer << "/" << i;
      flipped += turns ? 1 : 0;
    }
  }
  // Measure 2 from 1024 on: two note entries of staff 1 layer 0, one of layer 1, none of staff 2;
  // measure 3 up to 1024: one of staff 1 (the other is locked), two of staff 2.
  EXPECT_EQ(flipped, 6);
  // The lock was looked for on that entry alone: one load finds it.
  EXPECT_EQ(host().CountCalls("FX_LoadEData"), 1);
  const hostsim::FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.loads, 4 * 2);  // four cells, two layers each
  EXPECT_EQ(ledger.freed, ledger.lent);
  for (const auto& problem : ledger.problems) ADD_FAILURE() << DescribeFrameProblem(problem);
}

TEST_F(StemFlipperOnASelection, ARefusedSaveIsReportedAndEveryFrameStillGoesBack) {
  host().FailCall("FX_SaveTGF", 3);
  EXPECT_EQ(driver_.Invoke(nullptr, &session_), 0);
  const hostsim::FrameLedger& ledger = host().Frames();
  EXPECT_EQ(ledger.loads, 2 * 2);  // the walk stops at the refused cell
  EXPECT_EQ(ledger.freed, ledger.lent);
  EXPECT_TRUE(ledger.problems.empty());
}

}  // namespace
