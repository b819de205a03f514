// Entry cells, cell lists, music regions and MIDI expressions against the simulated host: which
// frames a cell asks for and gives back, what it builds from them, and the region arithmetic.
#include "framework/cells.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <new>
#include <vector>

#include "framework/regions.h"
#include "tests/unit/framework/cell_test_support.h"

namespace {

using namespace cell_test;

class CellTest : public FrameworkTest {
 protected:
  // Every frame the host lent has gone back, and no frame call was misused.
  void ExpectEveryFrameReturned() {
    const auto& ledger = host().Frames();
    EXPECT_EQ(ledger.lent, ledger.freed);
    EXPECT_TRUE(ledger.NeverFreed().empty());
    for (const auto& problem : ledger.problems) ADD_FAILURE() << DescribeFrameProblem(problem);
  }
  static std::vector<std::int32_t> EntryNumbers(const FCNoteEntryCell& cell) {
    std::vector<std::int32_t> numbers;
    for (int i = 0; i < cell.GetCount(); ++i)
      numbers.push_back(cell.GetItemAt(i)->GetEntryNumber());
    return numbers;
  }
  void SetLayers(std::int16_t layers) { host().Records().Layers().layers = layers; }
};

TEST_F(CellTest, EntriesOfEveryVisibleLayerInLayerOrderChainedWithinTheirLayer) {
  PutEntries(2, 3, 0, {{10, 0}, {11, 256}, {12, 512}});
  PutEntries(2, 3, 1, {{20, 0}, {21, 768}});
  {
    FCNoteEntryCell cell(3, 2);
    EXPECT_STREQ(cell.ClassName(), "FCNoteCell");
    EXPECT_EQ(cell.GetCount(), 0);  // nothing until Load
    EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 0);
    ASSERT_TRUE(cell.Load());
    EXPECT_EQ(EntryNumbers(cell), (std::vector<std::int32_t>{10, 11, 12, 20, 21}));
    EXPECT_EQ(cell.GetItemAt(0)->GetPrevious(), nullptr);
    EXPECT_EQ(cell.GetItemAt(1)->GetPrevious(), cell.GetItemAt(0));
    EXPECT_EQ(cell.GetItemAt(2)->GetNext(), nullptr);      // the last of layer 0
    EXPECT_EQ(cell.GetItemAt(3)->GetPrevious(), nullptr);  // the first of layer 1
    EXPECT_EQ(cell.GetItemAt(3)->GetNext(), cell.GetItemAt(4));
    EXPECT_EQ(cell.GetItemAt(4)->GetCell(), &cell);
    // One load per layer (the document's four), each for staff 2, measure 3.
    EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 4);
    for (const auto& call : host().Calls()) {
      if (call.name != "FX_LoadTGF") continue;
      EXPECT_EQ(call.args[0], 0u);
      EXPECT_EQ(call.args[1], 2u);
      EXPECT_EQ(call.args[2], 3u);
      EXPECT_EQ(call.args[4], 1u);
    }
  }
  ExpectEveryFrameReturned();
  EXPECT_EQ(host().Frames().lent, 4);
}

TEST_F(CellTest, HiddenLayersAreNeverAskedFor) {
  PutEntries(1, 1, 0, {{1, 0}});
  PutEntries(1, 1, 2, {{3, 0}});
  host().Records().Layers().hidden = {0, 1, 3};
  FCNoteEntryCell cell(1, 1);
  ASSERT_TRUE(cell.Load());
  EXPECT_EQ(EntryNumbers(cell), (std::vector<std::int32_t>{3}));
  EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 1);
  EXPECT_EQ(cell.GetFrame(0), nullptr);
  EXPECT_NE(cell.GetFrame(2), nullptr);

  host().Records().Layers().hidden = {0, 1, 2, 3};
  ASSERT_TRUE(cell.Load());  // every layer hidden: loaded, empty, no frames
  EXPECT_EQ(cell.GetCount(), 0);
  for (int layer = 0; layer < FCNoteEntryCell::kMaxLayers; ++layer) {
    EXPECT_EQ(cell.GetFrame(layer), nullptr);
  }
  ExpectEveryFrameReturned();  // the reload gave the first frame back
}

TEST_F(CellTest, ARefusedLayerLeavesNothingHeldAndGivesTheEarlierFramesBack) {
  PutEntries(1, 1, 0, {{1, 0}, {2, 512}});
  PutEntries(1, 1, 1, {{3, 0}});
  host().RefuseFrameLoad(1, 1, 1);
  FCNoteEntryCell cell(1, 1);
  EXPECT_FALSE(cell.Load());
  EXPECT_EQ(cell.GetCount(), 0);
  EXPECT_EQ(cell.GetFrame(0), nullptr);
  EXPECT_EQ(host().Frames().lent, 1);
  EXPECT_EQ(host().Frames().freed, 1);
  EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 2);  // no layer asked for after the refusal
  ExpectEveryFrameReturned();
}

TEST_F(CellTest, HostileLayerCountsNeverOverrunTheSlotsNorStrandAFrame) {
  PutEntries(1, 1, 0, {{1, 0}});
  struct Case {
    std::int16_t layers;
    int loads;
  };
  for (const Case c : {Case{25, 20}, Case{20, 20}, Case{0, 0}, Case{-3, 0}, Case{32767, 20}}) {
    host().Reset();
    PutEntries(1, 1, 0, {{1, 0}});
    SetLayers(c.layers);
    {
      FCNoteEntryCell cell(1, 1);
      EXPECT_TRUE(cell.Load()) << c.layers;
      EXPECT_EQ(host().CountCalls("FX_LoadTGF"), c.loads) << c.layers;
      EXPECT_EQ(cell.GetCount(), c.loads > 0 ? 1 : 0);
      EXPECT_TRUE(cell.Save());
      EXPECT_EQ(host().CountCalls("FX_SaveTGF"), c.loads) << c.layers;
    }
    ExpectEveryFrameReturned();
  }
  // Without the export the binding answers the usual four layers.
  host().Reset();
  PutEntries(1, 1, 0, {{1, 0}});
  host().RemoveExport("FX_GetMaxLayers");
  ForgetHostBindings();
  {
    FCNoteEntryCell cell(1, 1);
    EXPECT_TRUE(cell.Load());
    EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 4);
    EXPECT_EQ(host().CountCalls("FX_GetMaxLayers"), 0);
  }
  ExpectEveryFrameReturned();
}

TEST_F(CellTest, ALayerCountThatShrinksAfterTheLoadStillGetsEveryFrameBack) {
  PutEntries(1, 1, 0, {{1, 0}});
  SetLayers(6);
  int asked = 0;
  // Six layers while loading, then one: the frames of layers 1 to 5 are beyond the host's count
  // when the cell is saved and destroyed.
  host().SetBehavior("FX_GetMaxLayers",
                     [&asked](const Word*) -> Word { return ++asked <= 7 ? 6 : 1; });
  {
    FCNoteEntryCell cell(1, 1);
    ASSERT_TRUE(cell.Load());
    EXPECT_EQ(host().Frames().lent, 6);
    EXPECT_TRUE(cell.Save());
    EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 1);  // only layers below the count are written
  }
  ExpectEveryFrameReturned();
  // And one that grows past 20 while loading is held to 20.
  host().Reset();
  PutEntries(1, 1, 0, {{1, 0}});
  SetLayers(30);
  asked = 0;
  host().SetBehavior("FX_GetMaxLayers", [&asked](const Word*) -> Word { return ++asked * 3; });
  {
    FCNoteEntryCell cell(1, 1);
    ASSERT_TRUE(cell.Load());
    EXPECT_LE(host().Frames().lent, FCNoteEntryCell::kMaxLayers);
  }
  ExpectEveryFrameReturned();
}

TEST_F(CellTest, ReloadingGivesTheOldFramesBackFirst) {
  PutEntries(1, 1, 0, {{1, 0}});
  SetLayers(1);
  {
    FCNoteEntryCell cell(1, 1);
    ASSERT_TRUE(cell.Load());
    ASSERT_TRUE(cell.Load());
    EXPECT_EQ(host().Frames().freed, 1);
    EXPECT_EQ(cell.GetCount(), 1);
  }
  ExpectEveryFrameReturned();
  EXPECT_EQ(host().Frames().lent, 2);
}

TEST_F(CellTest, ASaveTheHostRefusesIsReportedAfterEveryFrameWasTried) {
  PutEntries(1, 1, 0, {{1, 0, {1}}});
  PutEntries(1, 1, 1, {{2, 0, {1}}});
  SetLayers(2);
  FCNoteEntryCell cell(1, 1);
  ASSERT_TRUE(cell.Load());
  host().FailCall("FX_SaveTGF", 1);
  EXPECT_FALSE(cell.Save());
  EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 2);
  EXPECT_TRUE(cell.Save());
}

TEST_F(CellTest, GetRegionItemAtAppliesTheTimeBoundsInclusivelyAndRefusesBadIndexes) {
  PutEntries(1, 3, 0, {{1, 0}, {2, 511}, {3, 512}, {4, 1024}});
  PutEntries(1, 5, 0, {{5, 0}, {6, 256}, {7, 257}});
  PutEntries(1, 4, 0, {{8, INT_MIN}, {9, INT_MAX}});
  SetLayers(1);
  const FCMusicRegion region(std::make_unique<EREGION>(Region(1, 3, 512, 1, 5, 256)).get());
  const auto visible = [&region](std::int32_t measure) {
    FCNoteEntryCell cell(measure, 1);
    EXPECT_TRUE(cell.Load());
    std::vector<std::int32_t> numbers;
    for (int i = 0; i < cell.GetCount(); ++i) {
      const FCNoteEntry* entry = cell.GetRegionItemAt(i, &region);
      // Non-null exactly when the region says the entry's point lies inside it.
      const FCCell point(measure, 1);
      EXPECT_EQ(entry != nullptr, region.IsCellPosWithin(&point, cell.GetItemAt(i)->GetPosition()));
      if (entry) numbers.push_back(entry->GetEntryNumber());
    }
    EXPECT_EQ(cell.GetRegionItemAt(-1, &region), nullptr);
    EXPECT_EQ(cell.GetRegionItemAt(cell.GetCount(), &region), nullptr);
    EXPECT_EQ(cell.GetRegionItemAt(0, nullptr), nullptr);
    return numbers;
  };
  EXPECT_EQ(visible(3), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(visible(4), (std::vector<std::int32_t>{8, 9}));
  EXPECT_EQ(visible(5), (std::vector<std::int32_t>{5, 6}));
}

TEST_F(CellTest, FindClosestPosPrefersTheEarlierOfTwoAndNothingTooFar) {
  PutEntries(1, 1, 0, {{1, 0}, {2, 480}, {3, 520}});
  PutEntries(1, 2, 0, {{4, INT_MIN}, {5, 30000}});
  SetLayers(1);
  FCNoteEntryCell cell(1, 1);
  ASSERT_TRUE(cell.Load());
  EXPECT_EQ(cell.FindClosestPos(500)->GetEntryNumber(), 2);
  EXPECT_EQ(cell.FindClosestPos(519)->GetEntryNumber(), 3);
  EXPECT_EQ(cell.FindClosestPos(-19999)->GetEntryNumber(), 1);
  EXPECT_EQ(cell.FindClosestPos(-20000), nullptr);
  EXPECT_EQ(cell.FindClosestPos(20520), nullptr);

  // Positions far apart: a distance computed in 32 bits would wrap to a small number.
  FCNoteEntryCell far(2, 1);
  ASSERT_TRUE(far.Load());
  EXPECT_EQ(far.FindClosestPos(INT_MAX), nullptr);
  EXPECT_EQ(far.FindClosestPos(INT_MIN + 5)->GetEntryNumber(), 4);
  EXPECT_EQ(far.FindClosestPos(10001)->GetEntryNumber(), 5);

  FCNoteEntryCell empty(9, 9);
  EXPECT_EQ(empty.FindClosestPos(0), nullptr);
}

TEST_F(CellTest, AnAllocationFailureWhileBuildingEntriesStillGivesEveryFrameBack) {
  std::vector<Entry> many;
  for (int i = 0; i < 50; ++i) many.push_back({i + 1, i * 10, {1, 2}});
  PutEntries(1, 1, 0, many);
  PutEntries(1, 1, 1, many);
  SetLayers(2);
  // The frames are the cell's as soon as the host lends them; whatever throws while entries are
  // built, destroying the cell returns them.
  host().SetBehavior("FX_GetShowLayer", [](const Word* a) -> Word {
    if (a[0] == 1) throw std::bad_alloc();
    return 1;
  });
  {
    FCNoteEntryCell cell(1, 1);
    EXPECT_THROW(cell.Load(), std::bad_alloc);
  }
  ExpectEveryFrameReturned();
  EXPECT_EQ(host().Frames().lent, 1);
}

// --- Cell lists ---

TEST_F(CellTest, ApplyRegionListsMeasureByMeasureWithSlotsRebasedToKeyZero) {
  ShiftSlots(10);
  const EREGION record = Region(1, 3, 0, 2, 4, 0, 2, 2);
  const FCMusicRegion region(&record);
  FCCells cells;
  cells.Add(new FCCell(99, 99));  // replaced
  cells.ApplyRegion(&region);
  ASSERT_EQ(cells.GetCount(), 4);
  // Slot s under key 2 shows staff s + 210, which is slot s + 200 under key 0.
  const std::pair<int, int> expected[] = {{3, 201}, {3, 202}, {4, 201}, {4, 202}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(cells.GetItemAt(i)->_measure, expected[i].first);
    EXPECT_EQ(cells.GetItemAt(i)->_staff, expected[i].second);
  }
  for (const auto& call : host().Calls()) {
    if (call.name == "FX_SlotToInst") {
      EXPECT_EQ(call.args[1], 2u);
    }
    if (call.name == "FX_InstToSlot") {
      EXPECT_EQ(call.args[1], 0u);
    }
  }

  const EREGION reversed = Region(1, 5, 0, 2, 4, 0);
  cells.ApplyRegion(std::make_unique<FCMusicRegion>(&reversed).get());
  EXPECT_EQ(cells.GetCount(), 0);

  // Bounds at the top of the 16-bit range end the loops.
  const EREGION top = Region(32766, 32766, 0, 32767, 32767, 0);
  cells.ApplyRegion(std::make_unique<FCMusicRegion>(&top).get());
  EXPECT_EQ(cells.GetCount(), 4);
}

// --- Music regions ---

TEST_F(CellTest, RegionBoundsFromTheRecord) {
  const EREGION record = Region(1, 3, 512, 1, 5, 256);
  const FCMusicRegion region(&record);
  EXPECT_STREQ(const_cast<FCMusicRegion&>(region).ClassName(), "FCMusicRegion");
  EXPECT_EQ(std::memcmp(&region.GetRegion(), &record, sizeof record), 0);
  const auto within = [&region](std::int32_t measure, std::int32_t position) {
    const FCCell cell(measure, 1);
    return region.IsCellPosWithin(&cell, position);
  };
  EXPECT_TRUE(within(4, INT_MIN));
  EXPECT_TRUE(within(4, INT_MAX));
  EXPECT_FALSE(within(3, 511));
  EXPECT_TRUE(within(3, 512));
  EXPECT_TRUE(within(5, 256));
  EXPECT_FALSE(within(5, 257));
  EXPECT_FALSE(within(2, 600));
  EXPECT_FALSE(within(6, 0));
  EXPECT_FALSE(region.IsCellPosWithin(nullptr, 600));

  const EREGION one = Region(1, 7, 100, 1, 7, 200);
  const FCMusicRegion single(&one);
  const FCCell cell(7, 1);
  EXPECT_TRUE(single.IsCellPosWithin(&cell, 100));
  EXPECT_TRUE(single.IsCellPosWithin(&cell, 200));
  EXPECT_FALSE(single.IsCellPosWithin(&cell, 99));
  EXPECT_FALSE(single.IsCellPosWithin(&cell, 201));

  const FCMusicRegion empty(nullptr);
  EXPECT_TRUE(empty.IsMeasureIncluded(0));
  EXPECT_FALSE(empty.IsMeasureIncluded(1));
  EXPECT_EQ(empty.GetEndPos(), 0);
}

TEST_F(CellTest, StaffInclusionAsksForTheEndOnlyWhenTheStartAdmits) {
  ShiftSlots(3);
  const EREGION record = Region(1, 1, 0, 2, 1, 0);
  const FCMusicRegion region(&record);
  EXPECT_FALSE(region.IsStaffIncluded(3));
  EXPECT_EQ(host().CountCalls("FX_SlotToInst"), 1);
  EXPECT_TRUE(region.IsStaffIncluded(4));
  EXPECT_TRUE(region.IsStaffIncluded(5));
  EXPECT_FALSE(region.IsStaffIncluded(6));
  EXPECT_EQ(host().CountCalls("FX_SlotToInst"), 7);
  const FCCell outside(1, 6);
  EXPECT_FALSE(region.IsCellPosWithin(&outside, 0));
}

TEST_F(CellTest, SetFullDocumentTakesTheThirdOutputAndNothingTheHostDidNotWrite) {
  ReportRegions(Region(1, 1, 0, 4, 12, 3072));
  const EREGION stale = Region(5, 5, 5, 5, 5, 5);
  FCMusicRegion region(&stale);
  region.SetFullDocument();
  EXPECT_EQ(region.GetStartSlot(), 1);
  EXPECT_EQ(region.GetEndSlot(), 4);
  EXPECT_EQ(region.GetEndMeasure(), 12);
  EXPECT_EQ(region.GetEndPos(), 3072);
  const auto& call = host().Calls().back();
  ASSERT_EQ(call.name, "FX_GetCurERegions");
  EXPECT_EQ(call.args[3], kScorixApiVersion);
  EXPECT_NE(call.args[0], 0u);
  EXPECT_NE(call.args[1], call.args[2]);

  // A host that answers 0 and writes nothing: an empty region, never what lay in memory.
  host().SetResult("FX_GetCurERegions", 0);
  region.SetFullDocument();
  const EREGION zero = Region(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(std::memcmp(&region.GetRegion(), &zero, sizeof zero), 0);
}

// --- Cell details: MIDI expressions ---

class MidiTest : public CellTest {
 protected:
  FCCell cell_{4, 2};
};

TEST_F(MidiTest, WithoutACellNothingIsAskedOfTheHost) {
  FCMidiExpression expression;
  EXPECT_FALSE(expression.LoadFirst());
  EXPECT_TRUE(host().Calls().empty());
  expression.DebugDump();
  for (const auto& line : ConsoleLines()) {
    EXPECT_EQ(line.find("Cell "), std::string::npos) << line;
  }
}

TEST_F(MidiTest, WalksIncidentsUntilTheFirstGapAndKeepsTheLastRecord) {
  PutMidi(2, 4, 0, MidiRecord(0, 0xB0, 7, 100));
  PutMidi(2, 4, 1, MidiRecord(256, 0x90, 60, 90));
  PutMidi(2, 4, 3, MidiRecord(512, 0xB0, 1, 2));
  PutMidi(3, 4, 0, MidiRecord(768, 0xB0, 1, 2));  // another staff
  const auto identities = WatchLoadIdentities();
  FCMidiExpression expression;
  expression.SetCell(&cell_);
  ASSERT_TRUE(expression.LoadFirst());
  EXPECT_TRUE(expression.IsController());
  EXPECT_EQ(expression.GetControllerNumber(), 7);
  EXPECT_EQ(expression.GetControllerValue(), 100);
  ASSERT_TRUE(expression.LoadNext());
  EXPECT_EQ(expression.GetPosition(), 256);
  EXPECT_FALSE(expression.IsController());
  EXPECT_EQ(expression.GetControllerNumber(), 0);
  EXPECT_EQ(expression.GetControllerValue(), 0);
  EXPECT_FALSE(expression.LoadNext());  // incident 2 is a gap
  // Still loaded with incident 1, and named by it.
  EXPECT_TRUE(expression.IsLoaded());
  EXPECT_EQ(expression.GetIncident(), 1);
  EXPECT_EQ(expression.GetPosition(), 256);
  EXPECT_EQ(expression.GetData1(), 60);
  // The identities asked for: staff, measure, incident 0, 1, 2.
  EXPECT_EQ(*identities, (std::vector<std::vector<int>>{{2, 4, 0, 0}, {2, 4, 1, 0}, {2, 4, 2, 0}}));
}

TEST_F(MidiTest, AShortRecordShowsNothingOfTheRecordBefore) {
  PutMidi(2, 4, 0, MidiRecord(300, 0xB0, 7, 100));
  PutMidi(2, 4, 1, Bytes{0x10, 0x00, 0x00, 0x00, 0xB0});  // position and status only
  FCMidiExpression expression;
  expression.SetCell(&cell_);
  ASSERT_TRUE(expression.LoadFirst());
  ASSERT_TRUE(expression.LoadNext());
  EXPECT_EQ(expression.GetPosition(), 16);
  EXPECT_TRUE(expression.IsController());
  EXPECT_EQ(expression.GetControllerNumber(), 0);
  EXPECT_EQ(expression.GetControllerValue(), 0);
}

TEST_F(MidiTest, AHostThatAnswersEveryIncidentEndsAtTheLastOne) {
  PutMidi(2, 4, 0, MidiRecord(0, 0x90, 0, 0));
  host().AnswerEveryIncident(FCMidiExpression::kTag, true);
  FCMidiExpression expression;
  expression.SetCell(&cell_);
  ASSERT_TRUE(expression.LoadFirst());
  int steps = 0;
  while (expression.LoadNext() && steps < 40000) ++steps;
  EXPECT_EQ(steps, 0x7FFF);
  EXPECT_EQ(expression.GetIncident(), 0x7FFF);
  EXPECT_EQ(host().CountCalls("FX_LoadEData"), 0x8000);
}

TEST_F(MidiTest, DumpOfAControllerAndOfAnotherEvent) {
  PutMidi(2, 4, 0, MidiRecord(480, 0xB0, 7, 100));
  PutMidi(2, 4, 1, MidiRecord(960, 0x90, 60, 90));
  FCMidiExpression expression;
  expression.SetCell(&cell_);
  ASSERT_TRUE(expression.LoadFirst());
  expression.DebugDump();
  std::vector<std::string> lines = ConsoleLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_NE(lines[0].find("Class Name: FCMidiExpression"), std::string::npos);
  const std::vector<std::string> tail(lines.end() - 4, lines.end());
  EXPECT_NE(tail[0].find("Position:  480"), std::string::npos) << tail[0];
  EXPECT_NE(tail[1].find("Is Controller:  TRUE"), std::string::npos) << tail[1];
  EXPECT_NE(tail[2].find("Controller number:  7"), std::string::npos) << tail[2];
  EXPECT_NE(tail[3].find("Controller value:  100"), std::string::npos) << tail[3];
  bool saw_cell = false;
  for (const auto& line : lines) saw_cell |= line.find("Cell staff:  2") != std::string::npos;
  EXPECT_TRUE(saw_cell);

  const std::size_t before = lines.size();
  ASSERT_TRUE(expression.LoadNext());
  expression.DebugDump();
  lines = ConsoleLines();
  ASSERT_GT(lines.size(), before);
  EXPECT_NE(lines.back().find("Position:  960"), std::string::npos) << lines.back();
}

TEST_F(MidiTest, ACloneCopiesTheRecordButNotTheCell) {
  PutMidi(2, 4, 0, MidiRecord(480, 0xB0, 7, 100));
  FCMidiExpression expression;
  expression.SetCell(&cell_);
  ASSERT_TRUE(expression.LoadFirst());
  std::unique_ptr<__FCBaseData> clone(expression.CreateClone());
  auto* copy = dynamic_cast<FCMidiExpression*>(clone.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetCell(), nullptr);
  EXPECT_EQ(copy->GetControllerValue(), 100);
  EXPECT_EQ(copy->GetLoadedSize(), 10);
  EXPECT_NE(copy->GetDataBlock(), expression.GetDataBlock());
}

}  // namespace
