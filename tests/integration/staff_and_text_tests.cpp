// The framework's text, incident, staff, clef and region classes reading the sample document that
// the simulated host builds from its own record tables: the two sides agree on every offset.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/framework.h"
#include "hostsim/document.h"
#include "tests/support/sim_fixture.h"

namespace {

constexpr std::uint32_t kTextTag = 0x74787431;      // 'txt1', the sample's text records
constexpr std::uint32_t kIncidentTag = 0x626C6B31;  // 'blk1', the sample's incident runs

class SampleText : public FCRawText {
 public:
  using FCRawText::FCRawText;
  std::uint32_t Tag() override { return kTextTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new SampleText(version); }
  bool LoadFirst() override { return Load(1); }
};

class SampleBlock : public __FCInci {
 public:
  using __FCInci::__FCInci;
  ~SampleBlock() override { delete[] static_cast<unsigned char*>(_datablock); }
  std::uint32_t Tag() override { return kIncidentTag; }
  // Incidents of this kind differ in size: ask the host, as a dynamic record does.
  std::int32_t DataSize() override {
    std::int32_t size = 0;
    return FX_LoadEData(Tag(), &_dataid, nullptr, &size, kScorixApiVersion) ? size : 0;
  }
  void* Allocate() override { return _AllocateBlock(DataSize()); }
  void Deallocate() override { delete[] static_cast<unsigned char*>(_datablock); }
  bool IsDynamicSize() override { return true; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new SampleBlock(version); }
};

class SampleBlocks : public __FCCollectionData {
 public:
  __FCBaseData* CreateElement(std::uint32_t version) override { return new SampleBlock(version); }
};

class SampleBlockRun : public __FCInciArrayOther {
 public:
  SampleBlockRun() : __FCInciArrayOther(kScorixApiVersion) {}
  std::uint32_t Tag() override { return kIncidentTag; }
  std::int32_t DataSize() override { return 0; }
  void* Allocate() override { return nullptr; }
  __FCBaseData* CreateObject(std::uint32_t) override { return new SampleBlockRun; }
  __FCCollectionData* CreateInciCollection() override { return new SampleBlocks; }
};

class StaffAndTextSample : public SimHostTest {
 protected:
  void SetUp() override {
    SimHostTest::SetUp();
    std::string error;
    ASSERT_TRUE(hostsim::LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/staff_and_text.json",
                                          &host().Records(), &error))
        << error;
  }
};

TEST_F(StaffAndTextSample, TextsReadAsTheDocumentWritesThem) {
  SampleText text;
  ASSERT_TRUE(text.Load(1));
  EXPECT_STREQ(text.GetText(), "Allegro con brio");
  ASSERT_TRUE(text.Load(-1));
  EXPECT_STREQ(text.GetText(), "Tab\there");
  ASSERT_TRUE(text.Load(2));
  EXPECT_STREQ(text.GetText(), "Fine");
  EXPECT_EQ(text.GetLoadedSize(), 4);
  ASSERT_TRUE(text.Load(4));
  EXPECT_STREQ(text.GetText(), "");
  EXPECT_FALSE(text.IsLoaded());
  ASSERT_TRUE(text.Load(5));
  EXPECT_STREQ(text.GetText(), "AB");
  EXPECT_EQ(text.GetLoadedSize(), 5);
}

TEST_F(StaffAndTextSample, TheIncidentRunEndsAtItsGap) {
  SampleBlockRun run;
  ASSERT_TRUE(run.Load(3));
  ASSERT_EQ(run.GetInciCount(), 3);
  EXPECT_EQ(run.GetInciAt(2)->GetInciNo(), 2);
  EXPECT_EQ(run.GetInciAt(2)->GetLoadedSize(), 8);
  EXPECT_EQ(static_cast<unsigned char*>(run.GetInciAt(2)->GetDataBlock())[0], 5);
  ASSERT_TRUE(run.Load(7));
  EXPECT_EQ(run.GetInciCount(), 1);
}

TEST_F(StaffAndTextSample, StavesAndTheSettingsInForceDecodeTheirTransposition) {
  FCStaff staff;
  ASSERT_TRUE(staff.Load(1));
  EXPECT_EQ(staff.GetTransposeInterval(), 0);
  ASSERT_TRUE(staff.Load(2));
  EXPECT_EQ(staff.GetTransposeInterval(), 1);
  EXPECT_EQ(staff.GetTransposeAlteration(), 2);
  ASSERT_TRUE(staff.Load(3));
  EXPECT_EQ(staff.GetTransposeInterval(), -7);
  EXPECT_EQ(staff.GetTransposeAlteration(), 0);
  EXPECT_NE(staff.GetTranspositionWord() & FCStaff::kKeepKeyBit, 0);
  ASSERT_TRUE(staff.Load(4));
  EXPECT_EQ(staff.GetTranspositionWord(), 40962);
  FCCurrentStaffSpec settings;
  ASSERT_TRUE(settings.LoadAt(2, 9, 512));
  EXPECT_EQ(settings.GetTransposeInterval(), 2);
  EXPECT_FALSE(settings.LoadAt(2, 9, 513));
}

TEST_F(StaffAndTextSample, ClefsAndRegionsOfBothLayouts) {
  FCClefDef clef;
  ASSERT_TRUE(clef.LoadFirst());
  EXPECT_EQ(clef.GetBaselineDisplacement(), 0);
  ASSERT_TRUE(clef.Load(1));
  EXPECT_EQ(clef.GetBaselineDisplacement(), -12);
  EXPECT_FALSE(clef.Load(2));

  FCMeasureNumberRegion current;
  ASSERT_TRUE(current.Load(1));
  EXPECT_EQ(current.GetStartMeasure(), 1);
  EXPECT_EQ(current.GetEndMeasure(), 10);
  EXPECT_EQ(current.GetStartNumber(), 1);
  RunningScorixVersion = 0x0E000000;
  FCMeasureNumberRegion old;
  ASSERT_TRUE(old.Load(2));
  EXPECT_EQ(old.GetLoadedSize(), 88);
  EXPECT_EQ(old.GetStartMeasure(), 11);
  EXPECT_EQ(old.GetEndMeasure(), 24);
  EXPECT_TRUE(old.ContainsMeasure(24));
  EXPECT_FALSE(old.ContainsMeasure(25));
}

}  // namespace
