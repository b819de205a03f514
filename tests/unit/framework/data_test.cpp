#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "framework/framework.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

constexpr std::uint32_t kCategoryTag = 0x534F4D43;
constexpr std::uint32_t kTextTag = 0x534F4454;
constexpr std::uint32_t kGlobalTag = 0x54455354;  // a record kind of this test's own

// A 12-byte document-wide record numbered from 0.
class ProbeGlobal : public __FCFixedSizeData<__FCGlobals, 12> {
 public:
  using __FCFixedSizeData::__FCFixedSizeData;
  std::uint32_t Tag() override { return kGlobalTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new ProbeGlobal(version); }
};

hostsim::Bytes BytesOf(const void* data, std::int32_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return hostsim::Bytes(bytes, bytes + size);
}

using DataObjectTest = FrameworkTest;

TEST_F(DataObjectTest, NewObjectIsEmptyWithZeroIdentity) {
  FCCategoryDef def(0x0A000000);
  EXPECT_EQ(def.GetDataBlock(), nullptr);
  EXPECT_EQ(def.GetLoadedSize(), 0);
  EXPECT_EQ(def.GetVersion(), 0x0A000000u);
  const EDataID& id = def.GetDataID();
  for (unsigned char byte : id.bytes) EXPECT_EQ(byte, 0);
}

TEST_F(DataObjectTest, LoadDeliversTheHostBytesWithTheObjectsVersionWord) {
  const auto record = RandomBytes(104, 1);
  Put(kCategoryTag, 3, record);
  FCCategoryDef def(0x0A000000);

  ASSERT_TRUE(def.Load(3));
  EXPECT_EQ(def.GetLoadedSize(), 104);
  EXPECT_EQ(BytesOf(def.GetDataBlock(), 104), record);
  ASSERT_EQ(host().Calls().size(), 1u);
  const auto& call = host().Calls()[0];
  EXPECT_EQ(call.name, "FX_LoadEData");
  EXPECT_EQ(call.args[0], kCategoryTag);
  EXPECT_EQ(call.args[4], 0x0A000000u);
}

TEST_F(DataObjectTest, FailedLoadKeepsTheOldBytesAndCountsAsUnloaded) {
  Put(kCategoryTag, 3, CategoryBytes(3, "Kept", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(3));
  void* block = def.GetDataBlock();

  EXPECT_FALSE(def.Load(4));
  EXPECT_EQ(def.GetLoadedSize(), 0);
  EXPECT_EQ(def.GetDataBlock(), block);
  const auto* kept = static_cast<const unsigned char*>(block);
  EXPECT_EQ(hostsim::Bytes(kept, kept + 104), CategoryBytes(3, "Kept", true));
  EXPECT_EQ(def.GetName(), "") << "bytes not delivered by the last load are not read";
  EXPECT_EQ(def.GetItemNo(), 4) << "the identity asked for stays";
}

TEST_F(DataObjectTest, HostClaimingMoreBytesThanTheStorageTakesIsNotBelieved) {
  host().SetBehavior("FX_LoadEData", [](const hostsim::Word* args) -> hostsim::Word {
    *reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(args[3])) = 5000;
    return 1;
  });
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(1));
  EXPECT_EQ(def.GetLoadedSize(), 104);
}

TEST_F(DataObjectTest, LoadFirstOfAnItemNumberedKindAsksForItemOneIncidentZero) {
  Put(kCategoryTag, 1, CategoryBytes(1, "First", false));
  Put(kCategoryTag, 2, CategoryBytes(2, "Second", false));
  FCCategoryDef def;

  ASSERT_TRUE(def.LoadFirst());
  EXPECT_EQ(def.GetItemNo(), 1);
  EXPECT_EQ(def.GetDataID().other.inci, 0);
  EXPECT_EQ(def.GetName(), "First");
  EXPECT_EQ(host().CountCalls("FX_NextEData"), 0);
}

TEST_F(DataObjectTest, LoadFirstWithoutItemOneLoadsTheFirstRecordTheHostHolds) {
  Put(kCategoryTag, 4, CategoryBytes(4, "Fourth", false));
  Put(kCategoryTag, 9, CategoryBytes(9, "Ninth", false));
  FCCategoryDef def;

  ASSERT_TRUE(def.LoadFirst());
  EXPECT_EQ(def.GetItemNo(), 4);
  EXPECT_EQ(def.GetName(), "Fourth");
  const auto& step = host().Calls()[1];
  EXPECT_EQ(step.name, "FX_NextEData");
}

TEST_F(DataObjectTest, LoadFirstOfAKindWithoutRecordsReachesTheEnd) {
  FCCategoryDef def;
  EXPECT_FALSE(def.LoadFirst());
  EXPECT_TRUE(def.ReachedEndOfRecords());
}

TEST_F(DataObjectTest, LoadFirstOfItemOneThatExistsButFailsIsNotTheEnd) {
  Put(kCategoryTag, 1, CategoryBytes(1, "First", false));
  Put(kCategoryTag, 2, CategoryBytes(2, "Second", false));
  host().FailCall("FX_LoadEData", 1);
  FCCategoryDef def;

  EXPECT_FALSE(def.LoadFirst());
  EXPECT_FALSE(def.ReachedEndOfRecords());
  EXPECT_EQ(def.GetLoadedSize(), 0);
}

TEST_F(DataObjectTest, GlobalsLoadFirstAsksForNumberZero) {
  Put(kGlobalTag, 0, RandomBytes(12, 2));
  Put(kGlobalTag, 1, RandomBytes(12, 3));
  ProbeGlobal global(kScorixApiVersion);

  ASSERT_TRUE(global.LoadFirst());
  EXPECT_EQ(global.GetDataID().other.cmper, 0);
  EXPECT_EQ(BytesOf(global.GetDataBlock(), 12), RandomBytes(12, 2));
  ASSERT_TRUE(global.Load(1));
  EXPECT_EQ(BytesOf(global.GetDataBlock(), 12), RandomBytes(12, 3));
}

TEST_F(DataObjectTest, LoadNextStepsThenLoadsAndAFailedStepChangesNothing) {
  Put(kCategoryTag, 1, CategoryBytes(1, "First", false));
  Put(kCategoryTag, 5, CategoryBytes(5, "Fifth", false));
  FCCategoryDef def;
  ASSERT_TRUE(def.LoadFirst());

  ASSERT_TRUE(def.LoadNext());
  EXPECT_EQ(def.GetItemNo(), 5);
  EXPECT_EQ(def.GetName(), "Fifth");
  const auto& step = host().Calls()[1];
  EXPECT_EQ(step.name, "FX_NextEData");
  EXPECT_EQ(step.args[2], 0u) << "the step asks for no bytes";
  EXPECT_EQ(step.args[3], 0u);

  EXPECT_FALSE(def.LoadNext());
  EXPECT_TRUE(def.ReachedEndOfRecords());
  EXPECT_EQ(def.GetItemNo(), 5);
  EXPECT_EQ(def.GetLoadedSize(), 104);
  EXPECT_EQ(def.GetName(), "Fifth");
}

TEST_F(DataObjectTest, SavingIsRefusedWhileNothingIsLoaded) {
  Put(kCategoryTag, 3, CategoryBytes(3, "Untouched", true));
  FCCategoryDef def;
  EXPECT_FALSE(def.Save());
  EXPECT_FALSE(def.SaveAs(3));
  EXPECT_FALSE(def.SaveNew());
  EXPECT_TRUE(host().Calls().empty());
  EXPECT_EQ(def.GetItemNo(), 0) << "a refused SaveAs leaves the identity";
}

TEST_F(DataObjectTest, SaveAfterAFailedLoadIsRefused) {
  Put(kCategoryTag, 3, CategoryBytes(3, "Loaded", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(3));
  ASSERT_FALSE(def.Load(4));
  host().ClearCalls();
  EXPECT_FALSE(def.Save());
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(DataObjectTest, SaveWritesDataSizeBytesUnderTheIdentity) {
  Put(kCategoryTag, 3, CategoryBytes(3, "Before", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(3));
  def.SetID(42);

  ASSERT_TRUE(def.Save());
  const auto& call = host().Calls().back();
  EXPECT_EQ(call.name, "FX_SaveEData");
  EXPECT_EQ(call.args[3], 104u);
  EXPECT_EQ(Stored(kCategoryTag, 3)[0], 42);
}

TEST_F(DataObjectTest, SaveAsWritesTheBytesUnderAnotherItemNumber) {
  Put(kCategoryTag, 3, CategoryBytes(3, "Source", true));
  Put(kCategoryTag, 7, CategoryBytes(7, "Target", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(3));

  ASSERT_TRUE(def.SaveAs(7));
  EXPECT_EQ(def.GetItemNo(), 7);
  EXPECT_EQ(Stored(kCategoryTag, 7), CategoryBytes(3, "Source", true));
  EXPECT_EQ(Stored(kCategoryTag, 3), CategoryBytes(3, "Source", true));
}

TEST_F(DataObjectTest, SaveNewAsksForANewNumberKeepsTheIncidentAndReadsTheNumberBack) {
  Put(kCategoryTag, 1, CategoryBytes(1, "One", true));
  Put(kCategoryTag, 2, CategoryBytes(2, "Two", true), 5);
  FCCategoryDef def;
  ASSERT_TRUE(def.LoadFirst());
  ASSERT_TRUE(def.LoadNext());
  ASSERT_EQ(def.GetDataID().other.inci, 5);
  std::uint16_t asked_cmper = 0, asked_inci = 0;
  host().SetBehavior("FX_CreateEData", [&](const hostsim::Word* args) -> hostsim::Word {
    asked_cmper = WordAt(args[1], 0);
    asked_inci = WordAt(args[1], 1);
    auto* id = reinterpret_cast<std::uint16_t*>(static_cast<std::uintptr_t>(args[1]));
    id[0] = 12;
    return 1;
  });

  ASSERT_TRUE(def.SaveNew());
  EXPECT_EQ(asked_cmper, 0xFFFF);
  EXPECT_EQ(asked_inci, 5);
  EXPECT_EQ(def.GetItemNo(), 12);
  EXPECT_EQ(host().Calls().back().args[3], 104u);
}

TEST_F(DataObjectTest, SaveNewCreatesTheRecordAtTheHostsNextFreeNumber) {
  Put(kCategoryTag, 1, CategoryBytes(1, "One", true));
  Put(kCategoryTag, 2, CategoryBytes(2, "Two", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(2));

  ASSERT_TRUE(def.SaveNew());
  EXPECT_EQ(def.GetItemNo(), 3);
  EXPECT_EQ(Stored(kCategoryTag, 3), CategoryBytes(2, "Two", true));
}

TEST_F(DataObjectTest, FailedSaveNewRestoresTheIdentity) {
  Put(kCategoryTag, 2, CategoryBytes(2, "Two", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(2));
  host().FailEveryCall("FX_CreateEData");

  EXPECT_FALSE(def.SaveNew());
  EXPECT_EQ(def.GetItemNo(), 2);
}

TEST_F(DataObjectTest, CloneOfALoadedFixedObjectCopiesVersionIdentityAndBytes) {
  const auto record = RandomBytes(104, 4);
  Put(kCategoryTag, 6, record);
  FCCategoryDef def(0x0A000000);
  ASSERT_TRUE(def.Load(6));

  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  ASSERT_NE(dynamic_cast<FCCategoryDef*>(clone.get()), nullptr);
  EXPECT_EQ(clone->GetVersion(), 0x0A000000u);
  EXPECT_EQ(std::memcmp(&clone->GetDataID(), &def.GetDataID(), sizeof(EDataID)), 0);
  EXPECT_EQ(clone->GetLoadedSize(), 104);
  EXPECT_EQ(BytesOf(clone->GetDataBlock(), 104), record);
}

TEST_F(DataObjectTest, CloneOfAnUnloadedFixedObjectCopiesItsStorageAsLoaded) {
  FCCategoryDef def;
  static_cast<unsigned char*>(def.Allocate())[0] = 9;

  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  EXPECT_EQ(clone->GetLoadedSize(), 104);
  EXPECT_EQ(static_cast<FCCategoryDef*>(clone.get())->GetID(), 9);
}

TEST_F(DataObjectTest, CloneOfAnUnloadedDynamicObjectHasNoStorage) {
  FCTextExpressionDef def;
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  EXPECT_EQ(clone->GetDataBlock(), nullptr);
  EXPECT_EQ(clone->GetLoadedSize(), 0);
}

TEST_F(DataObjectTest, CloneIntoAnObjectHoldingABlockReleasesThatBlock) {
  Put(kTextTag, 1, RandomBytes(40, 5));
  Put(kTextTag, 2, RandomBytes(60, 6));
  FCTextExpressionDef source, target;
  ASSERT_TRUE(source.Load(2));
  ASSERT_TRUE(target.Load(1));

  // The leak checker reports the target's first block if it is overwritten instead of released.
  target.CloneFrom(&source);
  EXPECT_EQ(target.GetLoadedSize(), 60);
  EXPECT_NE(target.GetDataBlock(), source.GetDataBlock());
  EXPECT_EQ(BytesOf(target.GetDataBlock(), 60), RandomBytes(60, 6));
  EXPECT_EQ(target.GetItemNo(), 2);
}

TEST_F(DataObjectTest, DynamicObjectIsResizedOnEveryLoad) {
  Put(kTextTag, 1, RandomBytes(40, 7));
  Put(kTextTag, 2, RandomBytes(90, 8));
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  EXPECT_EQ(def.GetLoadedSize(), 40);
  ASSERT_TRUE(def.Load(2));
  EXPECT_EQ(def.GetLoadedSize(), 90);
  EXPECT_EQ(BytesOf(def.GetDataBlock(), 90), RandomBytes(90, 8));
}

TEST_F(DataObjectTest, DynamicSaveIsRefusedWhenTheHostNowWantsMoreThanTheBlockHolds) {
  Put(kTextTag, 1, RandomBytes(40, 9));
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  Put(kTextTag, 1, RandomBytes(60, 10));
  host().ClearCalls();

  EXPECT_FALSE(def.Save());
  EXPECT_FALSE(def.SaveNew());
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(host().CountCalls("FX_CreateEData"), 0);
  EXPECT_EQ(Stored(kTextTag, 1), RandomBytes(60, 10));
}

TEST_F(DataObjectTest, DynamicSaveIsRefusedWhenTheHostCannotTellTheRecordSize) {
  Put(kTextTag, 1, RandomBytes(40, 9));
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  host().FailEveryCall("FX_LoadEData");  // the size query before the save fails
  host().ClearCalls();

  EXPECT_FALSE(def.Save());
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(Stored(kTextTag, 1), RandomBytes(40, 9)) << "the record must not be emptied";
}

TEST_F(DataObjectTest, DynamicSaveWritesOnlyBytesTheHostDelivered) {
  Put(kTextTag, 1, RandomBytes(40, 9));
  // The host reports 40 bytes but delivers only 30 of them.
  host().SetBehavior("FX_LoadEData", [](const hostsim::Word* args) -> hostsim::Word {
    auto* size = reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(args[3]));
    if (args[2] == 0) {
      *size = 40;
    } else {
      std::memset(reinterpret_cast<void*>(static_cast<std::uintptr_t>(args[2])), 0x5A, 30);
      *size = 30;
    }
    return 1;
  });
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  EXPECT_EQ(def.GetLoadedSize(), 30);
  const auto* block = static_cast<const unsigned char*>(def.GetDataBlock());
  EXPECT_EQ(hostsim::Bytes(block + 30, block + 40), hostsim::Bytes(10, 0)) << "no heap garbage";
  host().ClearCalls();
  EXPECT_FALSE(def.Save()) << "ten of the forty bytes to write were never delivered";
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
}

TEST_F(DataObjectTest, DynamicLoadNeverOffersTheHostMoreThanTheBlockHolds) {
  // The size answer grows between the allocation's query and the load's.
  int size_queries = 0;
  std::int32_t offered = -1;
  host().SetBehavior("FX_LoadEData", [&](const hostsim::Word* args) -> hostsim::Word {
    auto* size = reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(args[3]));
    if (args[2] == 0) {
      *size = ++size_queries == 1 ? 30 : 80;
      return 1;
    }
    offered = *size;
    return 1;
  });
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  EXPECT_EQ(offered, 30);
  EXPECT_EQ(def.GetLoadedSize(), 30);
}

TEST_F(DataObjectTest, DeallocateBeforeDestructionReleasesTheBlockOnce) {
  Put(kTextTag, 1, RandomBytes(40, 12));
  auto def = std::make_unique<FCTextExpressionDef>();
  ASSERT_TRUE(def->Load(1));
  def->Deallocate();
  EXPECT_EQ(def->GetDataBlock(), nullptr);
  // The address checker reports a second release of the block here.
  def.reset();
}

TEST_F(DataObjectTest, ClearDataForgetsStorageAndLoadedSize) {
  Put(kTextTag, 1, RandomBytes(40, 11));
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1));
  def.ClearData();
  EXPECT_EQ(def.GetDataBlock(), nullptr);
  EXPECT_EQ(def.GetLoadedSize(), 0);
  EXPECT_FALSE(def.Save());
}

TEST_F(DataObjectTest, NoInciOtherDumpAddsTheItemNumber) {
  Put(kCategoryTag, 40000, CategoryBytes(1, "Far", false));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(40000));
  def.__FCNoInciOther::DebugDump();

  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "======== DebugDump === Class Name: FCCategoryDef ========");
  EXPECT_EQ(lines[1], "Data block:  " + std::to_string(static_cast<std::int32_t>(
                                            reinterpret_cast<std::intptr_t>(def.GetDataBlock()))));
  EXPECT_EQ(lines[2], "Loaded size:  104");
  EXPECT_EQ(lines[3], "dataid.other.cmper:  40000");
}

}  // namespace
