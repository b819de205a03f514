// Note entries and notes as views into entry records: what they read, and every byte their edits
// change.
#include "framework/entries.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "framework/staff.h"
#include "tests/support/test_frames.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

namespace x = vaz::exentry;
using Bytes = std::vector<unsigned char>;

// One layer of entries over a test frame, linked as an entry cell links them.
class Layer {
 public:
  explicit Layer(int entries, short measure = 3, short staff = 2) : frame_(entries) {
    for (int i = 0; i < entries; ++i) {
      entries_.push_back(std::make_unique<FCNoteEntry>(frame_.Entry(i), nullptr, measure, staff));
    }
  }
  // Builds the views again, after the test wrote the records.
  void Refresh() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      entries_[i]->_UpdateNoteCollection();
      entries_[i]->_SetPrevious(i > 0 ? entries_[i - 1].get() : nullptr);
      entries_[i]->_SetNext(i + 1 < entries_.size() ? entries_[i + 1].get() : nullptr);
    }
  }
  TestFrame& frame() { return frame_; }
  FCNoteEntry& operator[](int i) { return *entries_[static_cast<std::size_t>(i)]; }

 private:
  TestFrame frame_;
  std::vector<std::unique_ptr<FCNoteEntry>> entries_;
};

void SetDisplacements(FCNoteEntry& entry, std::vector<short> displacements,
                      std::vector<short> raiselower = {}) {
  for (int i = 0; i < entry.GetCount(); ++i) {
    entry.GetNoteAt(i)->SetDisplacement(displacements[static_cast<std::size_t>(i)]);
    entry.GetNoteAt(i)->SetRaiseLower(raiselower.empty() ? 0
                                                         : raiselower[static_cast<std::size_t>(i)]);
  }
}

Bytes EntryBytes(Layer& layer, int i) {
  return Bytes(layer.frame().Entry(i), layer.frame().Entry(i) + x::kSize);
}

TEST(NoteEntry, AnEntryWithoutNotes) {
  Layer layer(1);
  layer.Refresh();
  EXPECT_EQ(layer[0].CalcHighestDisplacement(), 0);
  EXPECT_EQ(layer[0].CalcDisplacementRange(), 0);
  EXPECT_EQ(layer[0].FindHighestNote(), nullptr);
  EXPECT_EQ(layer[0]._FindUniqueNoteID(), 1);
  EXPECT_EQ(layer[0].GetMeasure(), 3);
  EXPECT_EQ(layer[0].GetStaff(), 2);
}

TEST(NoteEntry, HighestAndRange) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2});
  layer.Refresh();
  SetDisplacements(layer[0], {5, -2});
  EXPECT_EQ(layer[0].CalcHighestDisplacement(), 5);
  EXPECT_EQ(layer[0].CalcDisplacementRange(), 7);
  EXPECT_EQ(layer[0].FindHighestNote(), layer[0].GetNoteAt(0));
  layer.frame().SetNotes(0, {1});
  layer.Refresh();
  SetDisplacements(layer[0], {-10000});
  EXPECT_EQ(layer[0].CalcHighestDisplacement(), 0);
  EXPECT_EQ(layer[0].CalcDisplacementRange(), 0);
  EXPECT_EQ(layer[0].FindHighestNote(), nullptr);
}

TEST(NoteEntry, TiesGoToTheHigherRaiseLowerThenToTheEarlierNote) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2});
  layer.Refresh();
  SetDisplacements(layer[0], {4, 4}, {0, 1});
  EXPECT_EQ(layer[0].FindHighestNote(), layer[0].GetNoteAt(1));
  SetDisplacements(layer[0], {4, 4}, {1, 1});
  EXPECT_EQ(layer[0].FindHighestNote(), layer[0].GetNoteAt(0));
}

TEST(NoteEntry, UniqueNoteIds) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2, 4});
  layer.Refresh();
  EXPECT_EQ(layer[0]._FindUniqueNoteID(), 3);
  layer.frame().SetNotes(0, {2, 3});
  layer.Refresh();
  EXPECT_EQ(layer[0]._FindUniqueNoteID(), 1);
  // No 16-bit wrap: with the top ID in use the answer is still the smallest unused one.
  layer.frame().SetNotes(0, {1, 32767, 2});
  layer.Refresh();
  EXPECT_EQ(layer[0]._FindUniqueNoteID(), 3);
}

TEST(NoteEntry, AddNewNoteTakesTheNextSlotAndTheSmallestFreeId) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 3});
  layer.Refresh();
  FCNote* first = layer[0].GetNoteAt(0);
  FCNote* added = layer[0].AddNewNote();
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->GetNoteIndex(), 2);
  EXPECT_EQ(added->GetNoteID(), 2);
  EXPECT_EQ(added->GetNoteFlags(), 0x80000000u);
  EXPECT_EQ(added->GetDisplacement(), 0);
  EXPECT_EQ(layer[0].GetNumNotes(), 3);
  EXPECT_EQ(layer[0].GetNoteAt(0), first);  // earlier notes stay valid
}

TEST(NoteEntry, AddNewNoteUntilFullThenNull) {
  Layer layer(1);
  layer.frame().SetNotes(0, {});
  layer.Refresh();
  for (int i = 0; i < 12; ++i) ASSERT_NE(layer[0].AddNewNote(), nullptr) << i;
  const Bytes full = EntryBytes(layer, 0);
  EXPECT_EQ(layer[0].AddNewNote(), nullptr);
  EXPECT_EQ(EntryBytes(layer, 0), full);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(layer[0].GetNoteAt(i)->GetNoteID(), i + 1);
}

TEST(NoteEntry, ARestTakesNoNewNote) {
  Layer layer(1);
  layer.Refresh();
  const Bytes before = EntryBytes(layer, 0);
  EXPECT_EQ(layer[0].AddNewNote(), nullptr);
  EXPECT_EQ(EntryBytes(layer, 0), before);
}

TEST(NoteEntry, PackingWithNothingMarkedChangesNothing) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2, 3});
  layer.Refresh();
  FCNote* middle = layer[0].GetNoteAt(1);
  const Bytes before = EntryBytes(layer, 0);
  layer[0]._PackEXENTRYNotes();
  EXPECT_EQ(EntryBytes(layer, 0), before);
  EXPECT_EQ(layer[0].GetNoteAt(1), middle);
}

TEST(NoteEntry, PackingDropsTheMiddleNote) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2, 3});
  layer.Refresh();
  const Bytes before = EntryBytes(layer, 0);
  layer[0].GetNoteAt(1)->MarkDeleted();
  layer[0]._PackEXENTRYNotes();
  const Bytes after = EntryBytes(layer, 0);
  EXPECT_EQ(layer[0].GetNumNotes(), 2);
  EXPECT_EQ(layer[0].GetCount(), 2);
  auto slot = [](const Bytes& entry, int i) {
    return Bytes(entry.begin() + 16 + 10 * i, entry.begin() + 26 + 10 * i);
  };
  EXPECT_EQ(slot(after, 0), slot(before, 0));
  EXPECT_EQ(slot(after, 1), slot(before, 2));
  EXPECT_EQ(slot(after, 2), slot(before, 2));  // left as it was
}

TEST(NoteEntry, PackingEveryNoteMakesARest) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1, 2});
  layer.Refresh();
  layer[0].GetNoteAt(0)->MarkDeleted();
  layer[0].GetNoteAt(1)->MarkDeleted();
  layer[0]._PackEXENTRYNotes();
  EXPECT_EQ(layer[0].GetNumNotes(), 0);
  EXPECT_FALSE(layer[0].IsNote());
  EXPECT_EQ(layer[0].GetCount(), 0);
}

// Random deletion masks: the survivors keep their order and their ten bytes.
TEST(NoteEntry, PackingRoundTripsOverRandomMasks) {
  std::mt19937 random(42);
  for (int round = 0; round < 300; ++round) {
    Layer layer(1);
    const int notes = 1 + static_cast<int>(random() % 12);
    std::vector<std::int16_t> ids(static_cast<std::size_t>(notes));
    for (int i = 0; i < notes; ++i)
      ids[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i + 1);
    layer.frame().SetNotes(0, ids, static_cast<unsigned>(random()));
    layer.Refresh();
    const Bytes before = EntryBytes(layer, 0);
    std::vector<int> kept;
    for (int i = 0; i < notes; ++i) {
      if (random() % 2) {
        layer[0].GetNoteAt(i)->MarkDeleted();
      } else {
        kept.push_back(i);
      }
    }
    layer[0]._PackEXENTRYNotes();
    const Bytes after = EntryBytes(layer, 0);
    ASSERT_EQ(layer[0].GetCount(), static_cast<int>(kept.size()));
    for (std::size_t k = 0; k < kept.size(); ++k) {
      EXPECT_TRUE(std::equal(before.begin() + 16 + 10 * kept[k], before.begin() + 26 + 10 * kept[k],
                             after.begin() + 16 + 10 * static_cast<int>(k)));
    }
    EXPECT_TRUE(std::equal(before.begin() + 136, before.end(), after.begin() + 136));
  }
}

// A count outside 0 to 12 never makes a view of a slot that is not there, and no note is added
// over it: the count stays as the host gave it.
TEST(NoteEntry, HostileCountsGiveAtMostTwelveNotes) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1});
  for (const std::int16_t count : {std::int16_t{13}, std::int16_t{200}, std::int16_t{-1}}) {
    vaz::WriteField<std::int16_t>(layer.frame().Entry(0), x::kNumNotes, count);
    layer.Refresh();
    EXPECT_EQ(layer[0].GetCount(), count < 0 ? 0 : 12);
    const Bytes before = EntryBytes(layer, 0);
    EXPECT_EQ(layer[0].AddNewNote(), nullptr);
    EXPECT_EQ(EntryBytes(layer, 0), before);
  }
}

TEST(NoteEntry, Flippability) {
  Layer layer(2);
  layer.frame().SetNotes(0, {1});
  layer.frame().SetNotes(1, {1});
  auto duration = [&layer](int i, std::int16_t d) {
    vaz::WriteField<std::int16_t>(layer.frame().Entry(i), x::kDuration, d);
  };
  layer.Refresh();
  duration(0, 1024);
  duration(1, 512);
  EXPECT_TRUE(layer[1].IsFlippable());
  duration(0, 512);
  duration(1, 256);
  EXPECT_FALSE(layer[1].IsFlippable());
  duration(1, 512);
  EXPECT_FALSE(layer[1].IsFlippable());
  EXPECT_TRUE(layer[0].IsFlippable());  // the first of its layer decides for itself
  layer[0].SetFlags(layer[0].GetFlags() | x::kBeamBeat);
  EXPECT_TRUE(layer[0].IsFlippable());
  layer[0].SetFlags((layer[0].GetFlags() | x::kBeamBeat) & ~x::kIsNote);
  EXPECT_FALSE(layer[0].IsFlippable());
}

TEST(NoteEntry, AStemFollowsTheNearestEarlierBeamStart) {
  Layer layer(3);
  for (int i = 0; i < 3; ++i) layer.frame().SetNotes(i, {1});
  layer.Refresh();
  layer[0].SetFlags(layer[0].GetFlags() | x::kBeamBeat | x::kStemUp);
  layer[1].SetFlags(layer[1].GetFlags() & ~x::kStemUp & ~x::kBeamBeat);
  layer[2].SetFlags(layer[2].GetFlags() & ~x::kStemUp & ~x::kBeamBeat);
  vaz::WriteField<std::int16_t>(layer.frame().Entry(1), x::kDuration, 256);
  vaz::WriteField<std::int16_t>(layer.frame().Entry(2), x::kDuration, 256);
  EXPECT_FALSE(layer[1].IsFlippable());
  EXPECT_TRUE(layer[1].IsStemUp());
  EXPECT_TRUE(layer[2].IsStemUp());
}

TEST(Note, EntryFlagSettersTouchOnlyTheirBit) {
  Layer layer(1);
  layer.frame().SetNotes(0, {1});
  layer.Refresh();
  const std::uint32_t flags = layer[0].GetFlags();
  FCNote* note = layer[0].GetNoteAt(0);
  note->_SetNoteDetailEntryFlag(true);
  note->_SetSpecialAltsEntryFlag(true);
  note->_SetArticulationEntryFlag(true);
  EXPECT_EQ(layer[0].GetFlags(), flags | 0x00400000u | 0x00001000u | 0x00200000u);
  note->_SetNoteDetailEntryFlag(false);
  note->_SetSpecialAltsEntryFlag(false);
  note->_SetArticulationEntryFlag(false);
  EXPECT_EQ(layer[0].GetFlags(), flags & ~(0x00400000u | 0x00001000u | 0x00200000u));
  vaz::WriteField<std::int32_t>(layer.frame().Entry(0), x::kEntnum, 77123);
  EXPECT_EQ(note->_GetEntryNumber(), 77123);
}

class NoteDisplacement : public FrameworkTest {};

TEST_F(NoteDisplacement, ClefAndTranspositionCorrectTheDisplacement) {
  Layer layer(1, 5, 2);
  layer.frame().SetNotes(0, {1});
  vaz::WriteField<std::int16_t>(layer.frame().Entry(0), x::kClef, 3);
  vaz::WriteField<std::int32_t>(layer.frame().Entry(0), x::kPosition, 768);
  layer.Refresh();
  layer[0].GetNoteAt(0)->SetDisplacement(3);
  hostsim::Bytes clef(18, 0);
  clef[0] = 0xFC;  // -4
  clef[1] = 0xFF;
  host().Records().Put(FCClefDef::kTag, hostsim::ItemIdentity(3), clef);
  hostsim::Bytes staff(114, 0);
  staff[20] = 0x80;  // diatonic interval 2 (bits 6-11)
  hostsim::Identity id = {2, 0, 5, 0, 0x00, 0x03, 0, 0};
  host().Records().Put(FCCurrentStaffSpec::kTag, id, staff);
  EXPECT_EQ(layer[0].GetNoteAt(0)->CalcActualDisplacement(), 1);
  // A clef that does not exist contributes nothing.
  vaz::WriteField<std::int16_t>(layer.frame().Entry(0), x::kClef, 9);
  EXPECT_EQ(layer[0].GetNoteAt(0)->CalcActualDisplacement(), 5);
}

TEST_F(NoteDisplacement, DumpsListNotesAndTheEntrysBits) {
  Layer layer(1);
  layer.frame().SetNotes(0, {7});
  vaz::WriteField<std::int32_t>(layer.frame().Entry(0), x::kPosition, 512);
  layer.Refresh();
  layer[0].GetNoteAt(0)->SetDisplacement(-3);
  layer[0].DebugDump();
  const std::vector<std::string> lines = ConsoleLines();
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "======== DebugDump === Class Name: FCNoteEntry ========");
  EXPECT_EQ(lines[2], "Number of items:  1");
  EXPECT_EQ(lines[3], "===> Object item:  0");
  EXPECT_EQ(lines[4], "======== DebugDump === Class Name: FCNote ========");
  EXPECT_EQ(lines[5], "Note ID:  7");
  EXPECT_EQ(lines[6], "Alteration:  -3");
  EXPECT_EQ(lines[8], "Duration position:  512");
  EXPECT_EQ(lines[9], "Is note:  TRUE");
}

}  // namespace
