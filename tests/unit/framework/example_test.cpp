// The example plug-in command of the README, as written there, run in the simulated host: every
// note of the selection one step higher, every cell written back, every frame given back.
#include <gtest/gtest.h>

#include "framework/framework.h"
#include "tests/unit/framework/cell_test_support.h"

namespace {

// --- As in the README ---
class RaiseNotes : public FCIteratorHandler {
 public:
  RaiseNotes() { SetSaveChanges(true); }  // write each cell back after its entries
  bool Iterate(__FCBase* element) override {
    auto* entry = static_cast<FCNoteEntry*>(element);
    for (int i = 0; i < entry->GetCount(); ++i) {
      entry->GetNoteAt(i)->SetDisplacement(entry->GetNoteAt(i)->GetDisplacement() + 1);
    }
    return true;  // go on
  }
};

int RaiseSelection(const EREGION& selection) {
  FCMusicRegion region(&selection);
  RaiseNotes raise;
  return FCBrowserNoteEntries().ForEachInRegion(&raise, &region);  // the cells completed
}
// --- End of the README's code ---

using namespace cell_test;

class ReadmeExample : public FrameworkTest {};

TEST_F(ReadmeExample, RaisesEveryNoteOfTheSelectionAndNothingElse) {
  host().Records().Layers().layers = 1;
  PutEntries(1, 1, 0, {{1, 0, {1, 2}}, {2, 512, {1}}});
  PutEntries(1, 2, 0, {{3, 0, {1}}});
  PutEntries(2, 1, 0, {{4, 0, {1}}});
  const hostsim::RecordStore before = host().Records();
  EXPECT_EQ(RaiseSelection(Region(1, 1, 512, 1, 2, INT32_MAX)), 2);

  const auto displacement = [](const hostsim::RecordStore& store, std::int16_t staff,
                               std::int16_t measure, std::size_t entry, std::size_t note) {
    const hostsim::Bytes* entries = store.FindFrame(hostsim::FrameKey{staff, measure, 0});
    return hostsim::ReadNote(entries->data() + entry * hostsim::entry_record::kSize, note)
        .displacement;
  };
  // Measure 1 from position 512 on: entry 2 only; measure 2: all; staff 2 is not selected.
  EXPECT_EQ(displacement(host().Records(), 1, 1, 0, 0), displacement(before, 1, 1, 0, 0));
  EXPECT_EQ(displacement(host().Records(), 1, 1, 1, 0), displacement(before, 1, 1, 1, 0) + 1);
  EXPECT_EQ(displacement(host().Records(), 1, 2, 0, 0), displacement(before, 1, 2, 0, 0) + 1);
  EXPECT_EQ(*host().Records().FindFrame(hostsim::FrameKey{2, 1, 0}),
            *before.FindFrame(hostsim::FrameKey{2, 1, 0}));
  EXPECT_EQ(host().Frames().lent, 2);
  EXPECT_EQ(host().Frames().freed, 2);
  EXPECT_TRUE(host().Frames().problems.empty());
}

}  // namespace
