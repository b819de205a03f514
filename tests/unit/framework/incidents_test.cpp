// Runs of incidents under one item number: loaded as a contiguous run into the array's own
// collection, saved in order, re-addressed by SaveAs, cloned with their incidents.
#include "framework/incidents.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/unit/framework/framework_test_support.h"

namespace {

using hostsim::Bytes;
using hostsim::Word;

constexpr std::uint32_t kTag = 0x54494E43;  // 'TINC'
constexpr std::int32_t kSize = 12;

// One incident of a concrete record class: 12 bytes.
class TestIncident : public __FCFixedSizeData<__FCInci, kSize> {
 public:
  using __FCFixedSizeData::__FCFixedSizeData;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new TestIncident(version); }
  unsigned char* Record() { return _record; }
};

class TestIncidents : public __FCCollectionData {
 public:
  __FCBaseData* CreateElement(std::uint32_t version) override { return new TestIncident(version); }
};

// What a collection offers when it cannot make its elements: nothing.
class BrokenIncidents : public __FCCollectionData {
 public:
  __FCBaseData* CreateElement(std::uint32_t) override { return nullptr; }
};

// The concrete array; `collection` says what CreateInciCollection makes.
class TestIncidentArray : public __FCInciArrayOther {
 public:
  enum class Collection { kWorking, kNone, kBrokenElements };
  explicit TestIncidentArray(Collection collection = Collection::kWorking)
      : __FCInciArrayOther(kScorixApiVersion), collection_(collection) {}
  std::uint32_t Tag() override { return kTag; }
  std::int32_t DataSize() override { return kSize; }
  void* Allocate() override { return record_; }
  __FCBaseData* CreateObject(std::uint32_t) override { return new TestIncidentArray(collection_); }
  __FCCollectionData* CreateInciCollection() override {
    switch (collection_) {
      case Collection::kWorking:
        return new TestIncidents;
      case Collection::kBrokenElements:
        return new BrokenIncidents;
      case Collection::kNone:
        break;
    }
    return nullptr;
  }
  TestIncident* At(int index) { return dynamic_cast<TestIncident*>(GetInciAt(index)); }

 private:
  Collection collection_;
  unsigned char record_[kSize] = {};
};

Bytes IncidentBytes(std::uint16_t item, std::int16_t inci) {
  return RandomBytes(kSize, 1000u * item + static_cast<unsigned>(inci));
}

class IncidentArrayTest : public FrameworkTest {
 protected:
  void PutRun(std::uint16_t item, std::initializer_list<std::int16_t> incidents) {
    for (std::int16_t inci : incidents) Put(kTag, item, IncidentBytes(item, inci), inci);
  }
};

TEST_F(IncidentArrayTest, LoadsTheRunOfIncidentsInOrder) {
  PutRun(3, {0, 1, 2, 3, 4});
  PutRun(4, {0});
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(3));
  ASSERT_EQ(array.GetInciCount(), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    TestIncident* incident = array.At(i);
    ASSERT_NE(incident, nullptr);
    EXPECT_EQ(incident->GetItemNo(), 3);
    EXPECT_EQ(incident->GetInciNo(), i);
    EXPECT_EQ(Bytes(incident->Record(), incident->Record() + kSize),
              IncidentBytes(3, static_cast<std::int16_t>(i)));
  }
  // A reload starts afresh.
  ASSERT_TRUE(array.Load(4));
  EXPECT_EQ(array.GetInciCount(), 1);
}

TEST_F(IncidentArrayTest, LoadFirstIsItemOneFromIncidentZero) {
  PutRun(1, {0, 1});
  TestIncidentArray array;
  ASSERT_TRUE(array.LoadFirst());
  EXPECT_EQ(array.GetInciCount(), 2);
  EXPECT_EQ(array.GetDataID().other.cmper, 1);
  EXPECT_EQ(array.GetDataID().other.inci, 0);
}

TEST_F(IncidentArrayTest, TheRunEndsAtTheFirstMissingIncident) {
  PutRun(5, {1, 2});
  PutRun(6, {0, 1, 2, 4});
  TestIncidentArray array;
  EXPECT_FALSE(array.Load(5));
  EXPECT_EQ(array.GetInciCount(), 0);
  ASSERT_TRUE(array.Load(6));
  EXPECT_EQ(array.GetInciCount(), 3);
}

// A host that answers every incident number: the walk ends at incident 0x7FFF instead of
// wrapping round and going on for ever.
TEST_F(IncidentArrayTest, AHostThatAnswersEveryIncidentCannotKeepTheWalkGoing) {
  host().SetBehavior("FX_LoadEData", [](const Word* args) -> Word {
    if (args[2] != 0) *reinterpret_cast<std::int32_t*>(args[3]) = kSize;
    return 1;
  });
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(2));
  EXPECT_EQ(array.GetInciCount(), 0x8000);
  EXPECT_EQ(array.At(0x7FFF)->GetInciNo(), 0x7FFF);
}

TEST_F(IncidentArrayTest, TheHostsAnyIncidentModeEndsAtTheLastIncidentToo) {
  PutRun(12, {0, 1});
  host().AnswerEveryIncident(kTag, true);
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(12));
  EXPECT_EQ(array.GetInciCount(), 0x8000);
  EXPECT_EQ(Bytes(array.At(0x7FFF)->Record(), array.At(0x7FFF)->Record() + kSize),
            IncidentBytes(12, 0));
}

TEST_F(IncidentArrayTest, SaveStopsAtTheFirstRefusal) {
  PutRun(7, {0, 1, 2, 3});
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(7));
  for (int i = 0; i < 4; ++i) array.At(i)->Record()[0] ^= 0xFF;
  host().FailCall("FX_SaveEData", 3);
  EXPECT_FALSE(array.Save());
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 3);
  EXPECT_NE(Stored(kTag, 7, 0), IncidentBytes(7, 0));
  EXPECT_NE(Stored(kTag, 7, 1), IncidentBytes(7, 1));
  EXPECT_EQ(Stored(kTag, 7, 2), IncidentBytes(7, 2));
  EXPECT_EQ(Stored(kTag, 7, 3), IncidentBytes(7, 3));
}

TEST_F(IncidentArrayTest, AnEmptyArraySavesWithoutAHostCall) {
  TestIncidentArray array;
  EXPECT_EQ(array.GetInciCount(), 0);
  EXPECT_TRUE(array.Save());
  EXPECT_TRUE(host().Calls().empty());
}

// SaveAs writes the incidents as the other item, each keeping its incident number; the item
// they came from is left as it was.
TEST_F(IncidentArrayTest, SaveAsWritesTheIncidentsUnderTheOtherItem) {
  PutRun(8, {0, 1, 2});
  PutRun(9, {0, 1, 2});
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(8));
  array.At(1)->Record()[5] = 0x42;
  ASSERT_TRUE(array.SaveAs(9));
  EXPECT_EQ(array.GetDataID().other.cmper, 9);
  Bytes changed = IncidentBytes(8, 1);
  changed[5] = 0x42;
  EXPECT_EQ(Stored(kTag, 9, 0), IncidentBytes(8, 0));
  EXPECT_EQ(Stored(kTag, 9, 1), changed);
  EXPECT_EQ(Stored(kTag, 9, 2), IncidentBytes(8, 2));
  EXPECT_EQ(Stored(kTag, 8, 1), IncidentBytes(8, 1));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(array.At(i)->GetInciNo(), i);
}

TEST_F(IncidentArrayTest, ACloneCarriesItsOwnCopiesOfTheIncidents) {
  PutRun(10, {0, 1});
  TestIncidentArray array;
  ASSERT_TRUE(array.Load(10));
  std::unique_ptr<__FCBaseData> clone(array.CreateClone());
  auto* copy = dynamic_cast<TestIncidentArray*>(clone.get());
  ASSERT_NE(copy, nullptr);
  ASSERT_EQ(copy->GetInciCount(), 2);
  EXPECT_EQ(copy->GetDataID().other.cmper, 10);
  EXPECT_NE(copy->At(0), array.At(0));
  EXPECT_EQ(copy->At(1)->GetInciNo(), 1);
  EXPECT_EQ(Bytes(copy->At(1)->Record(), copy->At(1)->Record() + kSize), IncidentBytes(10, 1));
  copy->At(0)->Record()[0] ^= 0x01;
  EXPECT_NE(copy->At(0)->Record()[0], array.At(0)->Record()[0]);
}

TEST_F(IncidentArrayTest, WithoutACollectionOrElementsEveryOperationFailsCleanly) {
  PutRun(11, {0, 1});
  TestIncidentArray none(TestIncidentArray::Collection::kNone);
  EXPECT_FALSE(none.Load(11));
  EXPECT_EQ(none.GetInciCount(), 0);
  EXPECT_FALSE(none.Save());
  EXPECT_FALSE(none.SaveAs(11));
  EXPECT_EQ(none.GetInciAt(0), nullptr);
  TestIncidentArray broken(TestIncidentArray::Collection::kBrokenElements);
  EXPECT_FALSE(broken.Load(11));
  EXPECT_EQ(broken.GetInciCount(), 0);
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
}

}  // namespace
