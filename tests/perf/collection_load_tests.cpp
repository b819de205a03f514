// A collection's load: its array grows in whole blocks of ten, as adding the records one at a
// time would grow it, and a host walk in any identity order is loaded whole, while one that
// comes back to a record already loaded is stopped.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/categories.h"
#include "hostsim/score_records.h"
#include "tests/support/sim_fixture.h"

namespace {

using hostsim::kCategoryTag;

hostsim::Bytes Category(std::uint16_t number) {
  hostsim::Bytes bytes(104, 0);
  bytes[0] = static_cast<std::uint8_t>(number & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(number >> 8);
  bytes[2] = 'C';
  bytes[102] = 0x80;
  return bytes;
}

class CollectionLoadTest : public SimHostTest {
 protected:
  void PutCategories(int count) {
    host().Records().Clear();
    for (int number = 1; number <= count; ++number) {
      host().Records().Put(kCategoryTag, hostsim::ItemIdentity(static_cast<std::uint16_t>(number)),
                           Category(static_cast<std::uint16_t>(number)));
    }
  }

  static std::vector<int> Numbers(const FCCategoryDefs& defs) {
    std::vector<int> numbers;
    for (int i = 0; i < defs.GetCount(); ++i) numbers.push_back(defs.GetCategoryDefAt(i)->GetID());
    return numbers;
  }
};

// The array size that adding `count` elements one at a time gives an empty collection.
int SizeAfterAddingOneByOne(int count) {
  FCCategoryDefs defs;
  for (int i = 0; i < count; ++i) defs.Add(new FCCategoryDef());
  return defs.GetArraySize();
}

TEST_F(CollectionLoadTest, ArrayGrowsAsAddingTheRecordsOneByOneWould) {
  for (const int count : {1, 9, 10, 11, 19, 20, 21, 100, 101, 1234}) {
    SCOPED_TRACE(count);
    PutCategories(count);
    FCCategoryDefs defs;
    defs.LoadAll(kScorixApiVersion);
    ASSERT_EQ(defs.GetCount(), count);
    EXPECT_TRUE(defs.LoadReachedEnd());
    EXPECT_EQ(defs.GetArraySize(), SizeAfterAddingOneByOne(count));
    EXPECT_EQ(defs.GetCategoryDefAt(count - 1)->GetID(), count);
  }
}

TEST_F(CollectionLoadTest, ReloadKeepsALargerArrayAndGrowsASmallerOne) {
  PutCategories(25);
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetArraySize(), 30);
  PutCategories(5);
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 5);
  EXPECT_EQ(defs.GetArraySize(), 30);
  PutCategories(31);
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 31);
  EXPECT_EQ(defs.GetArraySize(), 40);
}

// A host that walks its records in an order of its own: `order` lists the item numbers, each
// step moves to the next in the list.
class ListedWalk {
 public:
  explicit ListedWalk(std::vector<std::uint16_t> order) : order_(std::move(order)) {}

  hostsim::Word Step(const hostsim::Word* args) {
    auto* id = reinterpret_cast<std::uint8_t*>(static_cast<std::uintptr_t>(args[1]));
    const std::uint16_t from = static_cast<std::uint16_t>(id[0] | (id[1] << 8));
    for (std::size_t i = 0; i + 1 < order_.size(); ++i) {
      if (order_[i] != from) continue;
      id[0] = static_cast<std::uint8_t>(order_[i + 1] & 0xFF);
      id[1] = static_cast<std::uint8_t>(order_[i + 1] >> 8);
      return 1;
    }
    return 0;
  }

 private:
  std::vector<std::uint16_t> order_;
};

TEST_F(CollectionLoadTest, WalkInAnyOrderWithoutRepeatsIsLoadedWhole) {
  PutCategories(9);
  ListedWalk walk({1, 7, 3, 9, 2, 8, 4, 6, 5});
  host().SetBehavior("FX_NextEData", [&](const hostsim::Word* args) { return walk.Step(args); });
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(Numbers(defs), (std::vector<int>{1, 7, 3, 9, 2, 8, 4, 6, 5}));
  EXPECT_TRUE(defs.LoadReachedEnd());
}

TEST_F(CollectionLoadTest, WalkComingBackToAnEarlierRecordOutOfOrderIsStopped) {
  PutCategories(9);
  // 3 comes back after the walk went up to 9 and down again.
  ListedWalk walk({1, 7, 3, 9, 2, 8, 3, 4});
  host().SetBehavior("FX_NextEData", [&](const hostsim::Word* args) { return walk.Step(args); });
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(Numbers(defs), (std::vector<int>{1, 7, 3, 9, 2, 8}));
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(CollectionLoadTest, StopAtAnUndeliveredRecordKeepsWhatWasLoaded) {
  PutCategories(23);
  host().FailCall("FX_LoadEData", 15);
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 14);
  EXPECT_EQ(defs.GetArraySize(), 20);
  EXPECT_FALSE(defs.LoadReachedEnd());
}

}  // namespace
