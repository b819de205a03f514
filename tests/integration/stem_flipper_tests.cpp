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
  void SetUp() override {
    SimHostTest::SetUp();
    std::string error;
    ASSERT_TRUE(hostsim::LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/note_entries.json",
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

}  // namespace
