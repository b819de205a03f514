// Pages and staff systems asking for a new layout, the measures of a region, articulation
// definitions and key signatures: their answers checked against references of their own.
#include "framework/layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/framework/framework_test_support.h"

namespace {

using hostsim::Bytes;

// --- Key signatures and articulation sides, over every word ---

// Records written directly, as a load of all their bytes would leave them.
class HeldKeySignature : public FCKeySignature {
 public:
  explicit HeldKeySignature(std::uint16_t word) {
    _datablock = Allocate();
    _loadedsize = kRecordSize;
    vaz::WriteField<std::uint16_t>(_record, kKeyWordOffset, word);
  }
};

class HeldArticulationDef : public FCArticulationDef {
 public:
  HeldArticulationDef(std::uint16_t placement, unsigned char flags, unsigned char font) {
    _datablock = Allocate();
    _loadedsize = kRecordSize;
    vaz::WriteField<std::uint16_t>(_record, kPlacementOffset, placement);
    _record[kFlagsOffset] = flags;
    _record[kFontOffset] = font;
  }
};

TEST(KeySignature, FlatsAndSharpsOfEveryKeyWord) {
  for (unsigned word = 0; word <= 0xFFFF; ++word) {
    const unsigned mode = word >> 8;
    int count = static_cast<int>(word & 0xFF);
    if (count >= 128) count -= 256;
    if (mode > 1) count = 0;
    const HeldKeySignature key(static_cast<std::uint16_t>(word));
    ASSERT_EQ(key.CountFlats(), count < 0 ? -count : 0) << std::hex << word;
    ASSERT_EQ(key.CountSharps(), count > 0 ? count : 0) << std::hex << word;
  }
  EXPECT_EQ(HeldKeySignature(0x00FD).CountFlats(), 3);
  EXPECT_EQ(HeldKeySignature(0x01FD).CountFlats(), 3);
  EXPECT_EQ(HeldKeySignature(0x02FD).CountFlats(), 0);
  EXPECT_EQ(FCKeySignature().CountSharps(), 0);  // never loaded
}

TEST(ArticulationDef, AutomaticSideOfEveryPlacementWord) {
  // Side codes 0 to 7 of an automatically placed articulation, and the side each gives.
  const int side_of_code[8] = {2, 3, 5, 4, 1, 0, 0, 0};
  for (unsigned word = 0; word <= 0xFFFF; ++word) {
    const int expected = (word & 0x0008) ? side_of_code[word & 0x0007] : 0;
    const HeldArticulationDef articulation(static_cast<std::uint16_t>(word), 0, 0);
    ASSERT_EQ(articulation.GetAutoPosSide(), expected) << std::hex << word;
  }
}

class LayoutTest : public FrameworkTest {};

TEST_F(LayoutTest, MainSymbolFontIsAlwaysATerminatedName) {
  host().SetFontName(7, "Engraver Symbols");
  host().SetFontName(8, std::string(300, 'L'));
  char name[FCArticulationDef::kFontNameSize];
  const auto font = [&](unsigned char flags, unsigned char number) {
    std::memset(name, '?', sizeof name);
    HeldArticulationDef(0, flags, number).GetMainSymbolFont(name);
    return std::string(name);
  };
  EXPECT_EQ(font(0x02, 7), "") << "no font";
  EXPECT_EQ(host().CountCalls("FX_FontNumToName"), 0);
  EXPECT_EQ(font(0xFD, 7), "Engraver Symbols");
  EXPECT_EQ(host().Calls().back().args[0], 7u);
  EXPECT_EQ(font(0, 8), std::string(255, 'L'));
  EXPECT_EQ(font(0, 9), "") << "a font the host cannot name";
  host().SetFontLookupsFail(true);
  EXPECT_EQ(font(0, 7), "");
}

// --- Pages and staff systems ---

TEST_F(LayoutTest, UpdateLayoutAsksForThePageThenAnswersItsReload) {
  Bytes record = RandomBytes(FCPage::kRecordSize, 3);
  record[8] = 4;
  record[9] = 0;
  Put(FCPage::kTag, 3, record);
  FCPage page;
  EXPECT_EQ(page.GetFirstSystem(), 0) << "never loaded";
  ASSERT_TRUE(page.Load(3));
  EXPECT_EQ(page.GetFirstSystem(), 4);
  const auto request = [](std::size_t i) {
    const auto& asked = host().LayoutRequests().at(i);
    return std::vector<std::int64_t>{asked.page, asked.flag, asked.version};
  };

  host().SetLayoutAnswer(0);  // not looked at
  host().MoveFirstSystemOnLayout(3, 6);
  EXPECT_TRUE(page.UpdateLayout(true));
  EXPECT_EQ(page.GetFirstSystem(), 6);
  EXPECT_TRUE(page.UpdateLayout(false));
  EXPECT_EQ(request(0), (std::vector<std::int64_t>{3, 1, kScorixApiVersion}));
  EXPECT_EQ(request(1), (std::vector<std::int64_t>{3, 0, kScorixApiVersion}));

  host().FailEveryCall("FX_LoadEData");
  EXPECT_FALSE(page.UpdateLayout(true));
  EXPECT_EQ(page.GetFirstSystem(), 0) << "a page that did not reload holds no system";

  host().SetLayoutAnswer(static_cast<hostsim::Word>(-2));
  EXPECT_EQ(FCStaffSystems().UpdateFullLayout(), -2);
  EXPECT_EQ(request(3), (std::vector<std::int64_t>{1, 0, kScorixApiVersion}));
}

// --- Measures of a region ---

class TestMeasure : public FCMeasure {
 public:
  static constexpr std::uint32_t kTag = 0x544D4541;  // 'TMEA'
  explicit TestMeasure(std::uint32_t version) : FCMeasure(version, 24) {}
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new TestMeasure(version); }
};

class TestMeasures : public FCMeasures {
 public:
  __FCBaseData* CreateElement(std::uint32_t version) override { return new TestMeasure(version); }
};

using Loaded = std::pair<std::vector<int>, int>;

// The measures a region loads, and how many loads it asked for.
Loaded LoadMeasures(TestMeasures* measures, short start, short end) {
  EREGION bounds{};
  bounds.startmeas = start;
  bounds.endmeas = end;
  const FCMusicRegion region(&bounds);
  hostsim::SimHost::Instance().ClearCalls();
  measures->LoadRegion(&region, kScorixApiVersion);
  std::vector<int> numbers;
  for (int i = 0; i < measures->GetCount(); ++i) {
    numbers.push_back(measures->GetMeasureAt(i)->GetItemNo());
  }
  return {numbers, hostsim::SimHost::Instance().CountCalls("FX_LoadEData")};
}

TEST_F(LayoutTest, LoadRegionSkipsHolesAndEndsAtTheLastMeasure) {
  for (const std::uint16_t measure : {0, 3, 5, 32767}) {
    Put(TestMeasure::kTag, measure, RandomBytes(24, measure));
  }
  TestMeasures measures;
  EXPECT_EQ(LoadMeasures(&measures, 3, 5), Loaded({3, 5}, 3));
  EXPECT_EQ(LoadMeasures(&measures, 5, 3), Loaded({}, 0));
  EXPECT_EQ(LoadMeasures(&measures, 32766, 32767), Loaded({32767}, 2));
  EXPECT_EQ(LoadMeasures(&measures, 0, 0), Loaded({0}, 1));
}

TEST_F(LayoutTest, StaffListsOnlySayTheyAreNotLoaded) {
  FCStaffLists().LoadAllSystems();
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].text, "Implement LoadAllSystems!");
  EXPECT_EQ(desktop().Boxes()[0].caption, "Info Message");
  EXPECT_TRUE(host().Calls().empty());
}

}  // namespace
