// Staves, current staff settings, clef definitions, measure-number regions and measures: the
// fields decoded from their records, checked against references of their own.
#include "framework/staff.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/unit/framework/framework_test_support.h"

namespace {

using hostsim::Bytes;
using hostsim::Word;

// --- Staff transposition ---

// A reference written from the bit layout, independently of the framework's decoding.
struct Transposition {
  int alteration;
  int interval;
};

Transposition ReferenceTransposition(unsigned word) {
  if (word == 0) return {0, 0};
  if (word & 0x2000) {
    const int interval = static_cast<std::int8_t>(word & 0xFF);
    int alteration = static_cast<int>((word >> 8) & 0xF);
    if (alteration & 0x8) alteration -= 16;
    return {alteration, interval};
  }
  int alteration = static_cast<int>(word & 0x3F);
  int interval = static_cast<int>((word >> 6) & 0x3F);
  if (alteration & 0x20) alteration -= 64;
  if (interval & 0x20) interval -= 64;
  return {alteration, interval};
}

Bytes StaffBytes(std::uint16_t word, unsigned seed) {
  Bytes bytes = RandomBytes(FCStaff::kRecordSize, seed);
  bytes[20] = static_cast<std::uint8_t>(word & 0xFF);
  bytes[21] = static_cast<std::uint8_t>(word >> 8);
  return bytes;
}

class StaffTest : public FrameworkTest {};

TEST_F(StaffTest, TranspositionOfEveryWordMatchesTheReference) {
  // One record per word would be 65,536 host records; the decoding reads the loaded record, so
  // one staff is reloaded with each word in turn.
  FCStaff staff;
  for (unsigned word = 0; word <= 0xFFFF; ++word) {
    Put(FCStaff::kTag, 1, StaffBytes(static_cast<std::uint16_t>(word), 7));
    ASSERT_TRUE(staff.Load(1));
    const Transposition expected = ReferenceTransposition(word);
    ASSERT_EQ(staff.GetTransposeAlteration(), expected.alteration) << std::hex << word;
    ASSERT_EQ(staff.GetTransposeInterval(), expected.interval) << std::hex << word;
  }
}

TEST_F(StaffTest, TheExamplesOfTheBitLayout) {
  FCStaff staff;
  EXPECT_EQ(staff.GetTransposeAlteration(), 0);  // never loaded: no transposition
  Put(FCStaff::kTag, 1, StaffBytes(0x003F, 1));  // diatonic, alteration bits all set
  ASSERT_TRUE(staff.Load(1));
  EXPECT_EQ(staff.GetTransposeAlteration(), -1);
  EXPECT_EQ(staff.GetTransposeInterval(), 0);
  Put(FCStaff::kTag, 1, StaffBytes(0x2FFF, 1));  // chromatic, interval 0xFF, alteration 0xF
  ASSERT_TRUE(staff.Load(1));
  EXPECT_EQ(staff.GetTransposeInterval(), -1);
  EXPECT_EQ(staff.GetTransposeAlteration(), -1);
}

TEST_F(StaffTest, DumpListsTheTranspositionLines) {
  Put(FCStaff::kTag, 4, StaffBytes(0xA0FE, 3));  // chromatic, set to clef, simplified key
  FCStaff staff;
  ASSERT_TRUE(staff.Load(4));
  staff.DebugDump();
  const std::vector<std::string> lines = ConsoleLines();
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "======== DebugDump === Class Name: FCStaff ========");
  EXPECT_EQ(lines[3], "dataid.other.cmper:  4");
  EXPECT_EQ(lines[4], "Transposition:  TRUE");
  EXPECT_EQ(lines[5], "Chromatic Transposition: TRUE");
  EXPECT_EQ(lines[6], "Transposition - Set to clef:  TRUE");
  EXPECT_EQ(lines[7], "Transposition - Simplify key:  TRUE");
  EXPECT_EQ(lines[8], "Transposition - Alteration:  0");
  EXPECT_EQ(lines[9], "Transposition - Interval:  -2");
}

TEST_F(StaffTest, SaveNewGetsAFreshNumberFromTheHost) {
  Put(FCStaff::kTag, 1, StaffBytes(0, 1));
  Put(FCStaff::kTag, 2, StaffBytes(0, 2));
  FCStaff staff;
  ASSERT_TRUE(staff.Load(2));
  ASSERT_TRUE(staff.SaveNew());
  EXPECT_EQ(staff.GetItemNo(), 3);
  EXPECT_EQ(Stored(FCStaff::kTag, 3), StaffBytes(0, 2));
}

// --- Current staff settings ---

TEST_F(StaffTest, CurrentStaffSpecIsAddressedByStaffMeasureAndPosition) {
  hostsim::Identity seen{};
  host().SetBehavior("FX_LoadEData", [&seen](const Word* args) -> Word {
    std::memcpy(seen.data(), reinterpret_cast<const void*>(args[1]), seen.size());
    return 0;
  });
  FCCurrentStaffSpec settings;
  EXPECT_FALSE(settings.LoadAt(-2, 300, static_cast<std::int32_t>(0x80000001u)));
  EXPECT_EQ(host().Calls().back().args[0], FCCurrentStaffSpec::kTag);
  const hostsim::Identity expected = {0xFE, 0xFF, 0x2C, 0x01, 0x01, 0x00, 0x00, 0x80};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(settings.GetStaff(), -2);
  EXPECT_EQ(settings.GetMeasure(), 300);
  EXPECT_EQ(settings.GetPosition(), static_cast<std::int32_t>(0x80000001u));
}

TEST_F(StaffTest, CurrentStaffSpecLoadsTheRecordInForce) {
  hostsim::Identity id{};
  id[0] = 3;
  id[2] = 9;
  id[4] = 0x00;
  id[5] = 0x04;  // position 1024
  host().Records().Put(FCCurrentStaffSpec::kTag, id, StaffBytes(0x0041, 5));
  FCCurrentStaffSpec settings;
  ASSERT_TRUE(settings.LoadAt(3, 9, 1024));
  EXPECT_EQ(settings.GetTransposeInterval(), 1);
  EXPECT_EQ(settings.GetTransposeAlteration(), 1);
}

TEST_F(StaffTest, CurrentStaffSpecItemOperationsAreOffAndMakeNoHostCall) {
  Put(FCCurrentStaffSpec::kTag, 1, StaffBytes(0, 1));
  FCCurrentStaffSpec settings;
  EXPECT_FALSE(settings.Load(1));
  EXPECT_FALSE(settings.LoadFirst());
  EXPECT_FALSE(settings.SaveAs(1));
  EXPECT_FALSE(settings.SaveNew());
  EXPECT_EQ(settings.GetItemNo(), 0);
  EXPECT_TRUE(host().Calls().empty());
}

// A clone that were a plain staff would save over the staff's own record.
TEST_F(StaffTest, CurrentStaffSpecClonesAreCurrentStaffSpecs) {
  hostsim::Identity id{};
  id[0] = 1;
  id[2] = 1;
  host().Records().Put(FCCurrentStaffSpec::kTag, id, StaffBytes(0x0042, 5));
  Put(FCStaff::kTag, 1, StaffBytes(0, 6));
  FCCurrentStaffSpec settings;
  ASSERT_TRUE(settings.LoadAt(1, 1, 0));
  std::unique_ptr<__FCBaseData> clone(settings.CreateClone());
  ASSERT_NE(dynamic_cast<FCCurrentStaffSpec*>(clone.get()), nullptr);
  EXPECT_EQ(clone->Tag(), FCCurrentStaffSpec::kTag);
  ASSERT_TRUE(clone->Save());
  EXPECT_EQ(Stored(FCStaff::kTag, 1), StaffBytes(0, 6));
}

// --- Clef definitions ---

TEST_F(StaffTest, ClefDefinitionsAreNumberedFromZero) {
  Bytes clef = RandomBytes(FCClefDef::kRecordSize, 9);
  clef[0] = 0xF9;  // -7
  clef[1] = 0xFF;
  host().Records().Put(FCClefDef::kTag, hostsim::ItemIdentity(0), clef);
  FCClefDef def;
  EXPECT_EQ(def.GetBaselineDisplacement(), 0);
  ASSERT_TRUE(def.LoadFirst());
  EXPECT_EQ(def.GetBaselineDisplacement(), -7);
  EXPECT_EQ(def.GetLoadedSize(), 18);
}

// --- Measure-number regions ---

Bytes RegionBytes(std::int32_t size, std::int32_t start_offset, std::int16_t start,
                  std::int16_t stored_end, std::int16_t stored_number) {
  Bytes bytes = RandomBytes(static_cast<std::size_t>(size), 11);
  const auto put = [&bytes](std::int32_t offset, std::int16_t value) {
    const auto word = static_cast<std::uint16_t>(value);
    bytes[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(word & 0xFF);
    bytes[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(word >> 8);
  };
  put(start_offset, start);
  put(start_offset + 2, stored_end);
  put(start_offset + (size == 196 ? 8 : 10), stored_number);
  return bytes;
}

class RegionTest : public FrameworkTest {};

TEST_F(RegionTest, TheCurrentLayoutReadsAndWritesAt132134And140) {
  Put(FCMeasureNumberRegion::kTag, 1, RegionBytes(196, 132, 5, 13, 4));
  FCMeasureNumberRegion region;
  ASSERT_TRUE(region.Load(1));
  EXPECT_EQ(region.GetLoadedSize(), 196);
  EXPECT_EQ(region.GetStartMeasure(), 5);
  EXPECT_EQ(region.GetEndMeasure(), 12);
  EXPECT_EQ(region.GetStartNumber(), 5);
  region.SetEndMeasure(10);
  region.SetStartNumber(1);
  ASSERT_TRUE(region.Save());
  const Bytes stored = Stored(FCMeasureNumberRegion::kTag, 1);
  EXPECT_EQ(stored, RegionBytes(196, 132, 5, 11, 0));
}

TEST_F(RegionTest, AnOlderHostsLayoutIs88BytesWithTheStartAt6) {
  RunningScorixVersion = 0x0E000000;
  Put(FCMeasureNumberRegion::kTag, 2, RegionBytes(88, 6, -4, 21, 99));
  FCMeasureNumberRegion region;
  ASSERT_TRUE(region.Load(2));
  EXPECT_EQ(region.GetLayout(), 88);
  EXPECT_EQ(region.GetLoadedSize(), 88);
  EXPECT_EQ(host().Calls().back().args[3] != 0, true);
  EXPECT_EQ(region.GetStartMeasure(), -4);
  EXPECT_EQ(region.GetEndMeasure(), 20);
  EXPECT_EQ(region.GetStartNumber(), 100);
  ASSERT_TRUE(region.Save());
  EXPECT_EQ(Stored(FCMeasureNumberRegion::kTag, 2).size(), 88u);
}

// The layout is the object's from its first use: a version that changes later can neither make
// the host write 196 bytes into the 88 nor make the accessors read the other layout's offsets.
TEST_F(RegionTest, AVersionChangeDuringTheObjectsLifeKeepsItsLayout) {
  RunningScorixVersion = 0x0E000000;
  Put(FCMeasureNumberRegion::kTag, 3, RegionBytes(88, 6, 7, 9, 0));
  FCMeasureNumberRegion region;
  ASSERT_TRUE(region.Load(3));
  RunningScorixVersion = 0x10000000;
  EXPECT_EQ(region.DataSize(), 88);
  EXPECT_EQ(region.GetStartMeasure(), 7);
  ASSERT_TRUE(region.Load(3));
  EXPECT_EQ(region.GetLoadedSize(), 88);
  ASSERT_TRUE(region.Save());
  EXPECT_EQ(host().Calls().back().args[3], 88u);
  FCMeasureNumberRegion fresh;
  EXPECT_EQ(fresh.GetLayout(), 196);
}

TEST_F(RegionTest, BoundsAtTheEdgesOfSixteenBitsWrapAsTheHostsFieldsDo) {
  FCMeasureNumberRegion region;
  region.SetStartMeasure(-32768);
  region.SetEndMeasure(32767);    // stored as 32768, which wraps to -32768
  region.SetStartNumber(-32768);  // stored as -32769, which wraps to 32767
  EXPECT_EQ(region.GetStartMeasure(), -32768);
  EXPECT_EQ(region.GetEndMeasure(), 32767);
  EXPECT_EQ(region.GetStartNumber(), -32768);
  EXPECT_TRUE(region.ContainsMeasure(-32768));
  EXPECT_TRUE(region.ContainsMeasure(0));
  EXPECT_TRUE(region.ContainsMeasure(32767));
  region.SetStartNumber(32767);
  EXPECT_EQ(region.GetStartNumber(), 32767);
}

TEST_F(RegionTest, ContainsBothEndsAndNothingBeyond) {
  FCMeasureNumberRegion region;
  region.SetStartMeasure(3);
  region.SetEndMeasure(8);
  EXPECT_FALSE(region.ContainsMeasure(2));
  EXPECT_TRUE(region.ContainsMeasure(3));
  EXPECT_TRUE(region.ContainsMeasure(8));
  EXPECT_FALSE(region.ContainsMeasure(9));
}

TEST_F(RegionTest, AnUnloadedRegionAndItsClonesHoldZeroes) {
  FCMeasureNumberRegion region;
  EXPECT_EQ(region.GetStartMeasure(), 0);
  EXPECT_EQ(region.GetEndMeasure(), -1);
  EXPECT_EQ(region.GetStartNumber(), 1);
  std::unique_ptr<__FCBaseData> clone(region.CreateClone());
  auto* copy = dynamic_cast<FCMeasureNumberRegion*>(clone.get());
  ASSERT_NE(copy, nullptr);
  const auto* bytes = static_cast<const unsigned char*>(copy->GetDataBlock());
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(Bytes(bytes, bytes + 196), Bytes(196, 0));
}

TEST_F(RegionTest, ACloneKeepsTheSourcesLayoutAndBytes) {
  RunningScorixVersion = 0x0E000000;
  Put(FCMeasureNumberRegion::kTag, 4, RegionBytes(88, 6, 2, 5, 10));
  FCMeasureNumberRegion region;
  ASSERT_TRUE(region.Load(4));
  RunningScorixVersion = 0x0F000200;
  std::unique_ptr<__FCBaseData> clone(region.CreateClone());
  auto* copy = dynamic_cast<FCMeasureNumberRegion*>(clone.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetLayout(), 88);
  EXPECT_EQ(copy->GetEndMeasure(), 4);
  ASSERT_TRUE(copy->Save());
  EXPECT_EQ(Stored(FCMeasureNumberRegion::kTag, 4), RegionBytes(88, 6, 2, 5, 10));
}

// --- Measures ---

class TestMeasure : public FCMeasure {
 public:
  static constexpr std::uint32_t kTag = 0x544D4541;  // 'TMEA'
  explicit TestMeasure(std::uint32_t version = kScorixApiVersion) : FCMeasure(version, 24) {}
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new TestMeasure(version); }
  void SetWords(std::uint16_t aux, std::uint16_t me, std::uint16_t next) {
    auto* record = static_cast<unsigned char*>(Allocate());
    record_field::WriteWord16(record, kAuxFlagsOffset, aux);
    record_field::WriteWord16(record, kMeFlagsOffset, me);
    record_field::WriteWord16(record, kNewFlagsOffset, next);
  }
  std::uint16_t Aux() const { return _GetWord(kAuxFlagsOffset); }
  std::uint16_t Me() const { return _GetWord(kMeFlagsOffset); }
  std::uint16_t New() const { return _GetWord(kNewFlagsOffset); }
};

using Display = FCMeasure::DISPLAY_STATES;
using Barline = FCMeasure::BARLINE_STYLES;
using Positioning = FCMeasure::POSITIONING_MODES;

TEST(Measure, DisplayStatesFromEveryStartingWord) {
  for (unsigned start = 0; start <= 0xFFFF; ++start) {
    const auto word = static_cast<std::uint16_t>(start);
    TestMeasure measure;
    for (int state = -1; state <= 3; ++state) {
      measure.SetWords(word, word, word);
      measure.SetKeySignatureDisplay(static_cast<Display>(state));
      if (state < 0 || state > 2) {
        ASSERT_EQ(measure.Aux(), word);
        ASSERT_EQ(measure.Me(), word);
        continue;
      }
      ASSERT_EQ(measure.Aux() & ~0x0020u, word & ~0x0020u);
      ASSERT_EQ(measure.Me() & ~0x0800u, word & ~0x0800u);
      ASSERT_EQ(measure.New(), word);
      ASSERT_EQ(measure.GetKeySignatureDisplay(), state);
      measure.SetWords(word, word, word);
      measure.SetTimeSignatureDisplay(static_cast<Display>(state));
      ASSERT_EQ(measure.Aux() & ~0x0010u, word & ~0x0010u);
      ASSERT_EQ(measure.Me() & ~0x0400u, word & ~0x0400u);
      ASSERT_EQ(measure.GetTimeSignatureDisplay(), state);
    }
  }
}

TEST(Measure, BothDisplayBitsSetReadAsStateTwo) {
  TestMeasure measure;
  measure.SetWords(0x0020, 0x0800, 0);
  EXPECT_EQ(measure.GetKeySignatureDisplay(), 2);
  measure.SetWords(0x0010, 0x0400, 0);
  EXPECT_EQ(measure.GetTimeSignatureDisplay(), 2);
}

TEST(Measure, BarlinesFromEveryStartingWord) {
  for (unsigned start = 0; start <= 0xFFFF; ++start) {
    const auto word = static_cast<std::uint16_t>(start);
    TestMeasure measure;
    for (int style = -1; style <= 8; ++style) {
      measure.SetWords(word, word, word);
      measure.SetBarline(static_cast<Barline>(style));
      measure.SetLeftBarline(static_cast<Barline>(style));
      if (style < 0 || style > 6) {
        ASSERT_EQ(measure.Me(), word);
        ASSERT_EQ(measure.New(), word);
        continue;
      }
      ASSERT_EQ(measure.Me(), (word & ~0x00F0u) | (static_cast<unsigned>(style) << 4));
      ASSERT_EQ(measure.New(), (word & ~0x00F0u) | (static_cast<unsigned>(style) << 4));
      ASSERT_EQ(measure.Aux(), word);
      ASSERT_EQ(measure.GetBarline(), style);
      ASSERT_EQ(measure.GetLeftBarline(), style);
    }
  }
}

TEST(Measure, StoredBarlineCodesAboveSixReadAsStyleZero) {
  TestMeasure measure;
  for (unsigned code = 7; code <= 15; ++code) {
    measure.SetWords(0, static_cast<std::uint16_t>(code << 4),
                     static_cast<std::uint16_t>(code << 4));
    EXPECT_EQ(measure.GetBarline(), 0);
    EXPECT_EQ(measure.GetLeftBarline(), 0);
  }
  std::uint16_t code = 99;
  EXPECT_FALSE(measure._GetBarlineMask(static_cast<Barline>(7), &code));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(measure._GetBarlineMask(FCMeasure::BARLINE_STYLE_5, &code));
  EXPECT_EQ(code, 5);
}

TEST(Measure, PositioningModesFromEveryStartingWord) {
  const unsigned codes[] = {4, 0, 6};
  for (unsigned start = 0; start <= 0xFFFF; ++start) {
    const auto word = static_cast<std::uint16_t>(start);
    TestMeasure measure;
    for (int mode = -1; mode <= 3; ++mode) {
      measure.SetWords(word, word, word);
      measure.SetPositioningNotesMode(static_cast<Positioning>(mode));
      if (mode < 0 || mode > 2) {
        ASSERT_EQ(measure.Aux(), word);
        continue;
      }
      ASSERT_EQ(measure.Aux(), (word & ~0x0007u) | codes[mode]);
      ASSERT_EQ(measure.Me(), word);
      ASSERT_EQ(measure.GetPositioningNotesMode(), mode);
    }
  }
}

TEST(Measure, EveryOtherPositioningCodeReadsAsModeTwo) {
  TestMeasure measure;
  const int expected[] = {1, 2, 2, 2, 0, 2, 2, 2};
  for (unsigned code = 0; code < 8; ++code) {
    measure.SetWords(static_cast<std::uint16_t>(0xFFF8 | code), 0, 0);
    EXPECT_EQ(measure.GetPositioningNotesMode(), expected[code]) << code;
  }
}

class MeasureHostTest : public FrameworkTest {};

TEST_F(MeasureHostTest, FullNamesOnlyOnHostsThatKnowThem) {
  TestMeasure measure;
  measure.SetWords(0x1234, 0, 0);
  RunningScorixVersion = 0x0FFFFFFF;
  measure.SetShowFullNames(true);
  EXPECT_EQ(measure.Aux(), 0x1234);
  EXPECT_FALSE(measure.GetShowFullNames());
  RunningScorixVersion = 0x10000000;
  measure.SetShowFullNames(true);
  EXPECT_EQ(measure.Aux(), 0x1234 | 0x0800);
  EXPECT_TRUE(measure.GetShowFullNames());
  measure.SetShowFullNames(false);
  EXPECT_EQ(measure.Aux(), 0x1234);
  RunningScorixVersion = 0x0F000200;
  measure.SetWords(0x0800, 0, 0);
  EXPECT_FALSE(measure.GetShowFullNames());
}

TEST_F(MeasureHostTest, FlagsEditedInTheRecordAreSavedWithTheRestOfIt) {
  Bytes bytes = RandomBytes(24, 21);
  Put(TestMeasure::kTag, 6, bytes);
  TestMeasure measure;
  ASSERT_TRUE(measure.Load(6));
  measure.SetBarline(FCMeasure::BARLINE_STYLE_3);
  ASSERT_TRUE(measure.Save());
  bytes[10] = static_cast<std::uint8_t>((bytes[10] & 0x0F) | 0x30);
  EXPECT_EQ(Stored(TestMeasure::kTag, 6), bytes);
  EXPECT_FALSE(measure.CreateBeatChart(true));
}

}  // namespace
