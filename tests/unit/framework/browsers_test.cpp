// Browsers: the order of every handler call of a record walk, and region walks over the simulated
// host's music — which cells they visit, what they hand out, which frames they take and give
// back, and what reaches the document.
#include "framework/browsers.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "framework/categories.h"
#include "tests/unit/framework/cell_test_support.h"

namespace {

using namespace cell_test;

// Writes down every call a browser makes, and answers as told.
class RecordingHandler : public FCIteratorHandler {
 public:
  bool Iterate(__FCBase* element) override {
    auto* data = dynamic_cast<__FCNoInciOther*>(element);
    calls.push_back("Iterate " + std::to_string(data ? data->GetItemNo() : -1));
    return ++iterated != stop_at;
  }
  bool PreProcess() override {
    calls.push_back("PreProcess");
    return pre;
  }
  bool PreProcessIfExist() override {
    calls.push_back("PreProcessIfExist");
    return pre_if_exist;
  }
  void PostProcess() override { calls.push_back("PostProcess"); }
  void PostProcessIfExist() override { calls.push_back("PostProcessIfExist"); }

  std::vector<std::string> calls;
  bool pre = true;
  bool pre_if_exist = true;
  int stop_at = 0;  // the Iterate call (1-based) that answers false; 0: none
  int iterated = 0;
};

class CategoryBrowser : public __FCBrowserNoInciOther {
 public:
  __FCBaseData* NewElement() override {
    ++made;
    return give_null ? nullptr : new FCCategoryDef;
  }
  int made = 0;
  bool give_null = false;
};

using Calls = std::vector<std::string>;

class RecordBrowserTest : public FrameworkTest {
 protected:
  void PutCategories(std::initializer_list<std::uint16_t> numbers) {
    for (const auto number : numbers) {
      Put(FCCategoryDef::kTag, number, CategoryBytes(static_cast<std::int16_t>(number), "C", true));
    }
  }
  CategoryBrowser browser_;
  RecordingHandler handler_;
};

TEST_F(RecordBrowserTest, AClassWithoutRecordsIsOnlyPreAndPostProcessed) {
  EXPECT_EQ(browser_.ForEach(&handler_), 0);
  EXPECT_EQ(handler_.calls, (Calls{"PreProcess", "PostProcess"}));
  EXPECT_EQ(browser_.made, 1);
}

TEST_F(RecordBrowserTest, EveryRecordInHostOrderWithOneReusedElement) {
  PutCategories({1, 2, 5});
  std::vector<__FCBase*> seen;
  class Keeping : public RecordingHandler {
   public:
    explicit Keeping(std::vector<__FCBase*>* seen) : seen_(seen) {}
    bool Iterate(__FCBase* element) override {
      seen_->push_back(element);
      return RecordingHandler::Iterate(element);
    }
    std::vector<__FCBase*>* seen_;
  } handler(&seen);
  EXPECT_EQ(browser_.ForEach(&handler), 3);
  EXPECT_EQ(handler.calls, (Calls{"PreProcess", "PreProcessIfExist", "Iterate 1", "Iterate 2",
                                  "Iterate 5", "PostProcessIfExist", "PostProcess"}));
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], seen[2]);
}

TEST_F(RecordBrowserTest, AStopAtTheThirdStillPostProcesses) {
  PutCategories({1, 2, 3, 4});
  handler_.stop_at = 3;
  EXPECT_EQ(browser_.ForEach(&handler_), 2);
  EXPECT_EQ(handler_.calls, (Calls{"PreProcess", "PreProcessIfExist", "Iterate 1", "Iterate 2",
                                   "Iterate 3", "PostProcessIfExist", "PostProcess"}));
}

TEST_F(RecordBrowserTest, RefusalsBeforeTheWalk) {
  PutCategories({1, 2});
  handler_.pre_if_exist = false;
  EXPECT_EQ(browser_.ForEach(&handler_), 0);
  EXPECT_EQ(handler_.calls, (Calls{"PreProcess", "PreProcessIfExist", "PostProcess"}));

  RecordingHandler refusing;
  refusing.pre = false;
  host().ClearCalls();
  EXPECT_EQ(browser_.ForEach(&refusing), 0);
  EXPECT_EQ(refusing.calls, (Calls{"PreProcess"}));
  EXPECT_EQ(browser_.made, 1);  // no element made for the refused walk
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(RecordBrowserTest, ANullElementEndsTheWalkCleanly) {
  PutCategories({1});
  browser_.give_null = true;
  EXPECT_EQ(browser_.ForEach(&handler_), 0);
  EXPECT_EQ(handler_.calls, (Calls{"PreProcess", "PostProcess"}));
  EXPECT_EQ(browser_.LoadAnElement(1), nullptr);
  EXPECT_EQ(browser_.ToEndFrom(1, &handler_), 0);
}

TEST_F(RecordBrowserTest, ToEndFromWalksOnFromTheItemWithoutProcessingCalls) {
  PutCategories({1, 2, 4, 7});
  EXPECT_EQ(browser_.ToEndFrom(2, &handler_), 3);
  EXPECT_EQ(handler_.calls, (Calls{"Iterate 2", "Iterate 4", "Iterate 7"}));

  RecordingHandler stopping;
  stopping.stop_at = 2;
  EXPECT_EQ(browser_.ToEndFrom(1, &stopping), 1);
  EXPECT_EQ(stopping.calls, (Calls{"Iterate 1", "Iterate 2"}));

  RecordingHandler missing;
  EXPECT_EQ(browser_.ToEndFrom(3, &missing), 0);
  EXPECT_TRUE(missing.calls.empty());

  std::unique_ptr<__FCNoInciOther> element(browser_.LoadAnElement(4));
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->GetItemNo(), 4);
  EXPECT_TRUE(element->IsLoaded());
  EXPECT_EQ(browser_.LoadAnElement(3), nullptr);
}

// --- Region walks ---

// A region browser that only writes down the cells it is given.
class CellRecorder : public __FCBrowserRegionBase {
 public:
  bool RegionIterateCellHandler(FCCell* cell, FCIteratorHandler*, FCMusicRegion*) override {
    cells.emplace_back(cell->_measure, cell->_staff);
    return static_cast<int>(cells.size()) != stop_at;
  }
  std::vector<std::pair<int, int>> cells;
  int stop_at = 0;
};

using Cells = std::vector<std::pair<int, int>>;

class RegionWalkTest : public FrameworkTest {
 protected:
  void ExpectEveryFrameReturned() {
    const auto& ledger = host().Frames();
    EXPECT_EQ(ledger.loads, ledger.lent + ledger.refused);
    EXPECT_EQ(ledger.lent, ledger.freed);
    EXPECT_TRUE(ledger.NeverFreed().empty());
    for (const auto& problem : ledger.problems) ADD_FAILURE() << DescribeFrameProblem(problem);
  }
  FCIteratorHandler handler_;
};

TEST_F(RegionWalkTest, MeasureMajorOverInstrumentNumbers) {
  ShiftSlots(3);  // slots 1 and 2 show staves 4 and 5
  const EREGION record = Region(1, 2, 0, 2, 3, 0);
  FCMusicRegion region(&record);
  CellRecorder walk;
  EXPECT_EQ(walk.ForEachInRegion(&handler_, &region), 4);
  EXPECT_EQ(walk.cells, (Cells{{2, 4}, {2, 5}, {3, 4}, {3, 5}}));
  // The first staff once per measure, the last before every cell and once more to end.
  EXPECT_EQ(host().CountCalls("FX_SlotToInst"), 2 * (1 + 3));

  for (int stop = 1; stop <= 4; ++stop) {
    CellRecorder stopping;
    stopping.stop_at = stop;
    EXPECT_EQ(stopping.ForEachInRegion(&handler_, &region), stop - 1);
    EXPECT_EQ(stopping.cells.size(), static_cast<std::size_t>(stop));
  }

  const EREGION reversed = Region(1, 3, 0, 2, 2, 0);
  FCMusicRegion backwards(&reversed);
  CellRecorder none;
  EXPECT_EQ(none.ForEachInRegion(&handler_, &backwards), 0);
  EXPECT_TRUE(none.cells.empty());

  // 16-bit bounds at the top of their range end the loops.
  ShiftSlots(0);
  const EREGION top = Region(32767, 32766, 0, 32767, 32767, 0);
  FCMusicRegion high(&top);
  CellRecorder edge;
  EXPECT_EQ(edge.ForEachInRegion(&handler_, &high), 2);
  EXPECT_EQ(edge.cells, (Cells{{32766, 32767}, {32767, 32767}}));
}

TEST_F(RegionWalkTest, ForEachWalksTheRegionTheHostReportsForTheWholeDocument) {
  ReportRegions(Region(1, 1, 0, 2, 2, 0));
  CellRecorder walk;
  EXPECT_EQ(walk.ForEach(&handler_), 4);
  EXPECT_EQ(walk.cells, (Cells{{1, 1}, {1, 2}, {2, 1}, {2, 2}}));

  host().SetResult("FX_GetCurERegions", 0);  // writes nothing: an empty region, one cell (0, 0)
  CellRecorder empty;
  EXPECT_EQ(empty.ForEach(&handler_), 1);
  EXPECT_EQ(empty.cells, (Cells{{0, 0}}));
}

// Hands out note entries and writes down what it saw: entry numbers, and the staff and measure
// of each entry's cell.
class EntryHandler : public FCIteratorHandler {
 public:
  bool Iterate(__FCBase* element) override {
    auto* entry = dynamic_cast<FCNoteEntry*>(element);
    if (!entry) return false;
    seen.push_back(entry->GetEntryNumber());
    if (edit) edit(entry);
    return static_cast<int>(seen.size()) != stop_at;
  }
  std::vector<std::int32_t> seen;
  int stop_at = 0;
  std::function<void(FCNoteEntry*)> edit;
};

class NoteEntryWalkTest : public RegionWalkTest {
 protected:
  void SetUp() override {
    RegionWalkTest::SetUp();
    host().Records().Layers().layers = 2;
    // Three staves over measures 1 to 3; entry numbers: staff * 100 + measure * 10 + index.
    for (std::int16_t staff = 1; staff <= 3; ++staff) {
      for (std::int16_t measure = 1; measure <= 3; ++measure) {
        const std::int32_t base = staff * 100 + measure * 10;
        PutEntries(staff, measure, 0,
                   {{base + 0, 0, {1}}, {base + 1, 512, {1, 2}}, {base + 2, 768, {3}}});
      }
    }
  }
  std::int32_t Walk(const EREGION& record, EntryHandler* handler) {
    FCMusicRegion region(&record);
    FCBrowserNoteEntries browser;
    return browser.ForEachInRegion(handler, &region);
  }
};

TEST_F(NoteEntryWalkTest, EveryCellOnceInOrderUnderAReorderingSlotMap) {
  // Slot 2 shows staff 3 and slot 3 staff 2: the walk's staves still run 1, 2, 3, each cell loads
  // the staff it names, and every cell's frames are asked for once.
  host().Records().Layers().slot_staves = {{2, 3}, {3, 2}};
  EntryHandler handler;
  EXPECT_EQ(Walk(Region(1, 1, 0, 2, 2, INT32_MAX), &handler), 6);
  EXPECT_EQ(handler.seen, (std::vector<std::int32_t>{110, 111, 112, 210, 211, 212, 310, 311, 312,
                                                     120, 121, 122, 220, 221, 222, 320, 321, 322}));
  EXPECT_EQ(host().Frames().loads, 6 * 2);
  std::vector<std::pair<int, int>> loaded;
  for (const auto& call : host().Calls()) {
    if (call.name == "FX_LoadTGF" && call.args[3] == 0) {
      loaded.emplace_back(static_cast<int>(call.args[2]), static_cast<int>(call.args[1]));
    }
  }
  EXPECT_EQ(loaded, (Cells{{1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}}));
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, TheRegionsTimeBoundsFilterTheFirstAndLastMeasuresOnly) {
  EntryHandler handler;
  EXPECT_EQ(Walk(Region(1, 1, 512, 1, 3, 512), &handler), 3);
  EXPECT_EQ(handler.seen, (std::vector<std::int32_t>{111, 112, 120, 121, 122, 130, 131}));
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, AStopEndsTheWalkAndTheStoppingCellIsNotCounted) {
  EntryHandler handler;
  handler.stop_at = 4;  // the first entry of the second cell
  EXPECT_EQ(Walk(Region(1, 1, 0, 3, 3, INT32_MAX), &handler), 1);
  EXPECT_EQ(handler.seen, (std::vector<std::int32_t>{110, 111, 112, 210}));
  EXPECT_EQ(host().Frames().loads, 2 * 2);
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, EditsWithoutSavingLeaveTheDocumentAsItWas) {
  const hostsim::RecordStore before = host().Records();
  EntryHandler handler;
  handler.edit = [](FCNoteEntry* entry) {
    entry->SetFlags(entry->GetFlags() ^ vaz::exentry::kStemUp);
    if (entry->GetCount() > 1) entry->GetNoteAt(0)->MarkDeleted();
  };
  EXPECT_EQ(Walk(Region(1, 1, 0, 3, 3, INT32_MAX), &handler), 9);
  EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 0);
  EXPECT_TRUE(host().Records() == before);
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, SavedEditsAreExactlyTheEditsPlusTheCleaning) {
  hostsim::RecordStore expected = host().Records();
  // The same edits applied to the document's own bytes, then the host's copy of the cleaning:
  // flip every stem, and drop note 0 of every entry with two notes.
  for (const auto& [key, entries] : host().Records().Frames()) {
    hostsim::Bytes edited = entries;
    for (std::size_t i = 0; i < hostsim::EntryCount(edited); ++i) {
      std::uint8_t* at = edited.data() + hostsim::entry_record::kSize * i;
      namespace er = hostsim::entry_record;
      hostsim::WriteU32(at + er::kFlags, hostsim::ReadU32(at + er::kFlags) ^ vaz::exentry::kStemUp);
      if (hostsim::ReadS16(at + er::kNoteCount) == 2) {
        hostsim::WriteNote(at, 0, hostsim::ReadNote(at, 1));
        hostsim::WriteNote(at, 1, hostsim::NoteFields{});
        hostsim::WriteU16(at + er::kNoteCount, 1);
      }
    }
    hostsim::CleanEntries(&edited);
    expected.PutFrame(key, edited);
  }
  EntryHandler handler;
  handler.edit = [](FCNoteEntry* entry) {
    entry->SetFlags(entry->GetFlags() ^ vaz::exentry::kStemUp);
    if (entry->GetCount() > 1) entry->GetNoteAt(0)->MarkDeleted();
  };
  handler.SetSaveChanges(true);
  EXPECT_EQ(Walk(Region(1, 1, 0, 3, 3, INT32_MAX), &handler), 9);
  EXPECT_TRUE(host().Records() == expected);
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, AStopAtACellsFirstEntryStillPacksAndSavesThatCell) {
  EntryHandler handler;
  handler.stop_at = 1;
  handler.edit = [](FCNoteEntry* entry) {
    entry->GetNoteAt(0)->MarkDeleted();  // a one-note entry becomes a rest
  };
  handler.SetSaveChanges(true);
  EXPECT_EQ(Walk(Region(1, 1, 0, 1, 1, INT32_MAX), &handler), 0);
  EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 2);
  const hostsim::Bytes* saved = host().Records().FindFrame(hostsim::FrameKey{1, 1, 0});
  ASSERT_NE(saved, nullptr);
  namespace er = hostsim::entry_record;
  // Packed to no notes, then given the rest's placeholder record by the cleaning.
  EXPECT_NE(hostsim::ReadU32(saved->data() + er::kFlags) & er::kRestPlaceholder, 0u);
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, ARefusedSaveStopsTheWalkAndIsNotCounted) {
  EntryHandler handler;
  handler.SetSaveChanges(true);
  host().FailCall("FX_SaveTGF", 3);  // layer 0 of the second cell
  EXPECT_EQ(Walk(Region(1, 1, 0, 3, 3, INT32_MAX), &handler), 1);
  EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 4);  // the refused cell's layer 1 is still written
  EXPECT_EQ(host().Frames().loads, 2 * 2);
  ExpectEveryFrameReturned();
}

TEST_F(NoteEntryWalkTest, RefusedLoadsHostileLayerCountsAndThrowsGiveEveryFrameBack) {
  host().RefuseFrameLoad(2, 1, 1);
  EntryHandler handler;
  // The refused cell holds nothing and counts as completed.
  EXPECT_EQ(Walk(Region(1, 1, 0, 3, 1, INT32_MAX), &handler), 3);
  EXPECT_EQ(handler.seen, (std::vector<std::int32_t>{110, 111, 112, 310, 311, 312}));
  ExpectEveryFrameReturned();

  host().Records().Layers().layers = 40;
  EntryHandler many;
  EXPECT_EQ(Walk(Region(1, 1, 0, 1, 2, INT32_MAX), &many), 2);
  EXPECT_EQ(host().Frames().loads, 6 + 2 * FCNoteEntryCell::kMaxLayers);
  ExpectEveryFrameReturned();

  EntryHandler throwing;
  throwing.edit = [](FCNoteEntry*) { throw std::bad_alloc(); };
  EXPECT_THROW(Walk(Region(1, 1, 0, 1, 1, INT32_MAX), &throwing), std::bad_alloc);
  ExpectEveryFrameReturned();
}

// --- MIDI expressions ---

class MidiHandler : public FCIteratorHandler {
 public:
  bool Iterate(__FCBase* element) override {
    auto* expression = dynamic_cast<FCMidiExpression*>(element);
    if (!expression) return false;
    positions.push_back(expression->GetPosition());
    return static_cast<int>(positions.size()) != stop_at;
  }
  bool PreProcess() override {
    ADD_FAILURE() << "a region walk makes no processing calls";
    return true;
  }
  std::vector<std::int32_t> positions;
  int stop_at = 0;
};

TEST_F(RegionWalkTest, MidiExpressionsOfEachCellUpToItsFirstGap) {
  PutMidi(1, 1, 0, MidiRecord(0, 0xB0, 7, 1));
  PutMidi(1, 1, 1, MidiRecord(100, 0xB0, 7, 2));
  PutMidi(1, 1, 3, MidiRecord(300, 0xB0, 7, 3));  // after a gap: never reached
  PutMidi(2, 1, 0, MidiRecord(50, 0x90, 60, 64));
  PutMidi(1, 2, 0, MidiRecord(900, 0xB0, 7, 4));  // outside the region's end position
  PutMidi(1, 2, 1, MidiRecord(10, 0xB0, 7, 5));
  const EREGION record = Region(1, 1, 0, 2, 2, 500);
  FCMusicRegion region(&record);
  const auto identities = WatchLoadIdentities();
  FCBrowserMidiExpression browser;
  MidiHandler handler;
  EXPECT_EQ(browser.ForEachInRegion(&handler, &region), 4);
  EXPECT_EQ(handler.positions, (std::vector<std::int32_t>{0, 100, 50, 10}));
  // Cell (1, 1): incidents 0, 1, 2 asked for; the gap at 2 ends it. Then each cell from 0.
  EXPECT_EQ(*identities, (std::vector<std::vector<int>>{{1, 1, 0, 0},
                                                        {1, 1, 1, 0},
                                                        {1, 1, 2, 0},
                                                        {2, 1, 0, 0},
                                                        {2, 1, 1, 0},
                                                        {1, 2, 0, 0},
                                                        {1, 2, 1, 0},
                                                        {1, 2, 2, 0},
                                                        {2, 2, 0, 0}}));
}

TEST_F(RegionWalkTest, AMidiHandlerThatStopsAtTheSecondEventEndsTheWalk) {
  for (std::int16_t inci = 0; inci < 3; ++inci)
    PutMidi(1, 1, inci, MidiRecord(inci * 10, 0xB0, 1, 1));
  PutMidi(2, 1, 0, MidiRecord(5, 0xB0, 1, 1));
  const EREGION record = Region(1, 1, 0, 2, 1, INT32_MAX);
  FCMusicRegion region(&record);
  FCBrowserMidiExpression browser;
  MidiHandler handler;
  handler.stop_at = 2;
  EXPECT_EQ(browser.ForEachInRegion(&handler, &region), 0);
  EXPECT_EQ(handler.positions, (std::vector<std::int32_t>{0, 10}));
  FCCell cell(1, 1);
  MidiHandler direct;
  direct.stop_at = 2;
  EXPECT_FALSE(browser.RegionIterateCellHandler(&cell, &direct, &region));
  FCCell empty(7, 7);
  EXPECT_TRUE(browser.RegionIterateCellHandler(&empty, &direct, &region));
}

}  // namespace
