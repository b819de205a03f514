#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <utility>
#include <vector>

#include "framework/framework.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

constexpr std::uint32_t kCategoryTag = 0x534F4D43;

// An element with a sort key that counts its own destruction.
class Keyed : public __FCBase {
 public:
  explicit Keyed(int key, int* destroyed = nullptr) : key_(key), destroyed_(destroyed) {}
  ~Keyed() override {
    if (destroyed_) ++*destroyed_;
  }
  const char* ClassName() override { return "Keyed"; }
  int key() const { return key_; }

 private:
  int key_;
  int* destroyed_;
};

int KeyOf(__FCBase* element) {
  return static_cast<Keyed*>(element)->key();
}

class PlainCollection : public __FCCollection {};

// Fills a collection with elements keyed by `keys`, returning them in that order.
std::vector<__FCBase*> Fill(__FCCollection& collection, const std::vector<int>& keys) {
  std::vector<__FCBase*> added;
  for (int key : keys) {
    added.push_back(new Keyed(key));
    collection.Add(added.back());
  }
  return added;
}

std::vector<int> Keys(const __FCCollection& collection) {
  std::vector<int> keys;
  for (int i = 0; i < collection.GetCount(); ++i) keys.push_back(KeyOf(collection.GetItemAt(i)));
  return keys;
}

// Stops at the element with the given key; remembers what it was shown.
class StoppingHandler : public FCIteratorHandler {
 public:
  explicit StoppingHandler(int stop_key) : stop_key_(stop_key) {}
  bool Iterate(__FCBase* element) override {
    seen.push_back(KeyOf(element));
    return KeyOf(element) != stop_key_;
  }
  bool IterateIndex(__FCBase* element, int index) override {
    indexes.push_back(index);
    return Iterate(element);
  }
  bool Match(__FCBase* element) override {
    seen.push_back(KeyOf(element));
    return KeyOf(element) == stop_key_;
  }
  std::vector<int> seen;
  std::vector<int> indexes;

 private:
  int stop_key_;
};

// Compares by key (or answers a fixed result) and records the positions it was given.
class RecordingComparer : public FCIteratorHandler {
 public:
  explicit RecordingComparer(const __FCCollection& collection) : collection_(collection) {}
  int Compare(__FCBase* a, __FCBase* b) override {
    pairs.emplace_back(PositionOf(a), PositionOf(b));
    if (fixed_result) return *fixed_result;
    return KeyOf(a) - KeyOf(b);
  }
  std::vector<std::pair<int, int>> pairs;
  const int* fixed_result = nullptr;

 private:
  int PositionOf(__FCBase* element) const {
    for (int i = 0; i < collection_.GetCount(); ++i) {
      if (collection_.GetItemAt(i) == element) return i;
    }
    return -1;
  }
  const __FCCollection& collection_;
};

TEST(FCCollection, NewCollectionIsEmptyWithoutAnArray) {
  PlainCollection collection;
  EXPECT_EQ(collection.GetCount(), 0);
  EXPECT_EQ(collection.GetArraySize(), 0);
  EXPECT_EQ(collection.GetItemAt(0), nullptr);
  EXPECT_STREQ(collection.ClassName(), "__FCCollection");
}

TEST(FCCollection, ArrayGrowsByBlocksOfTenAndKeepsThePointers) {
  PlainCollection collection;
  Fill(collection, {0});
  EXPECT_EQ(collection.GetArraySize(), 10);
  auto added = Fill(collection, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(collection.GetArraySize(), 10);
  const __FCBase* first = collection.GetItemAt(0);
  Fill(collection, {10});
  EXPECT_EQ(collection.GetArraySize(), 20);
  EXPECT_EQ(collection.GetItemAt(0), first);
  for (int i = 1; i < 10; ++i) EXPECT_EQ(collection.GetItemAt(i), added[i - 1]);
  EXPECT_EQ(Keys(collection), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(FCCollection, RequireElementRoundsUpToTheNextBlockStrictlyAboveTheNeed) {
  PlainCollection collection;
  collection._RequireElement(0);
  collection._RequireElement(-3);
  EXPECT_EQ(collection.GetArraySize(), 0);
  collection._RequireElement(10);
  EXPECT_EQ(collection.GetArraySize(), 20);
  collection._RequireElement(20);
  EXPECT_EQ(collection.GetArraySize(), 20);
  collection._RequireElement(21);
  EXPECT_EQ(collection.GetArraySize(), 30);
}

TEST(FCCollection, RequireElementBeyondAnyArrayFailsInsteadOfWrapping) {
  PlainCollection collection;
  Fill(collection, {1, 2, 3});
  EXPECT_THROW(collection._RequireElement(INT_MAX), std::bad_alloc);
  EXPECT_EQ(collection.GetArraySize(), 10);
  EXPECT_EQ(Keys(collection), (std::vector<int>{1, 2, 3}));
}

TEST(FCCollection, GetItemAtOutsideTheElementsIsNull) {
  PlainCollection collection;
  Fill(collection, {1, 2});
  EXPECT_EQ(collection.GetItemAt(-1), nullptr);
  EXPECT_EQ(collection.GetItemAt(2), nullptr);
  EXPECT_EQ(collection.GetItemAt(9), nullptr) << "an unused slot is not an element";
  EXPECT_NE(collection.GetItemAt(1), nullptr);
}

TEST(FCCollection, ElementExistsByIdentityNotByContents) {
  PlainCollection collection;
  auto added = Fill(collection, {7});
  Keyed twin(7);
  EXPECT_TRUE(collection.ElementExists(added[0]));
  EXPECT_FALSE(collection.ElementExists(&twin));
  EXPECT_FALSE(collection.ElementExists(nullptr));
}

TEST(FCCollection, DestructionDestroysEveryElementThroughItsOwnDestructor) {
  int destroyed = 0;
  {
    PlainCollection collection;
    for (int i = 0; i < 12; ++i) collection.Add(new Keyed(i, &destroyed));
  }
  EXPECT_EQ(destroyed, 12);
}

TEST(FCCollection, FreeElementsNullsTheSlotsButKeepsCountAndArray) {
  int destroyed = 0;
  PlainCollection collection;
  collection.Add(new Keyed(1, &destroyed));
  collection.Add(new Keyed(2, &destroyed));
  collection._FreeElements();
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(collection.GetCount(), 2);
  EXPECT_EQ(collection.GetArraySize(), 10);
  EXPECT_EQ(collection.GetItemAt(0), nullptr);
}

TEST(FCCollectionWalk, ForEachStopsAtOnceAndCountsOnlyAcceptedCalls) {
  PlainCollection collection;
  Fill(collection, {1, 2, 3, 4, 5});
  StoppingHandler handler(3);
  EXPECT_EQ(collection.ForEach(&handler), 2);
  EXPECT_EQ(handler.seen, (std::vector<int>{1, 2, 3}));
}

TEST(FCCollectionWalk, EmptyCollectionMakesNoHandlerCall) {
  PlainCollection collection;
  StoppingHandler handler(0);
  EXPECT_EQ(collection.ForEach(&handler), 0);
  EXPECT_EQ(collection.ForEachIndex(&handler), 0);
  EXPECT_EQ(collection.Find(&handler), nullptr);
  EXPECT_TRUE(handler.seen.empty());
}

TEST(FCCollectionWalk, NullElementsAreSkipped) {
  PlainCollection collection;
  Fill(collection, {1});
  collection.Add(nullptr);
  Fill(collection, {3});
  StoppingHandler handler(0);
  EXPECT_EQ(collection.ForEach(&handler), 2);
  EXPECT_EQ(handler.seen, (std::vector<int>{1, 3}));
}

TEST(FCCollectionWalk, ElementsAppendedDuringAWalkAreVisited) {
  class Appender : public FCIteratorHandler {
   public:
    explicit Appender(__FCCollection& collection) : collection_(collection) {}
    bool Iterate(__FCBase* element) override {
      seen.push_back(KeyOf(element));
      if (KeyOf(element) < 3) collection_.Add(new Keyed(KeyOf(element) + 10));
      return true;
    }
    std::vector<int> seen;

   private:
    __FCCollection& collection_;
  };
  PlainCollection collection;
  Fill(collection, {1, 2});
  Appender handler(collection);
  EXPECT_EQ(collection.ForEach(&handler), 4);
  EXPECT_EQ(handler.seen, (std::vector<int>{1, 2, 11, 12}));
}

TEST(FCCollectionWalk, ForEachIndexHandsOutEachPosition) {
  PlainCollection collection;
  Fill(collection, {5, 6, 7});
  StoppingHandler handler(0);
  EXPECT_EQ(collection.ForEachIndex(&handler), 3);
  EXPECT_EQ(handler.indexes, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(handler.seen, (std::vector<int>{5, 6, 7}));
}

TEST(FCCollectionWalk, ToEndFromBeginsAtTheGivenIndex) {
  PlainCollection collection;
  Fill(collection, {1, 2, 3, 4});
  StoppingHandler handler(0);
  EXPECT_EQ(collection.ToEndFrom(2, &handler), 2);
  EXPECT_EQ(handler.seen, (std::vector<int>{3, 4}));
}

TEST(FCCollectionWalk, FindAnswersTheFirstMatchOrNull) {
  PlainCollection collection;
  auto added = Fill(collection, {4, 8, 8});
  StoppingHandler finds_eight(8);
  EXPECT_EQ(collection.Find(&finds_eight), added[1]);
  EXPECT_EQ(finds_eight.seen, (std::vector<int>{4, 8}));
  StoppingHandler finds_nothing(99);
  EXPECT_EQ(collection.Find(&finds_nothing), nullptr);
}

TEST(FCCollectionSort, ComparesEveryPairEarlierPositionFirst) {
  PlainCollection collection;
  Fill(collection, {1, 2, 3, 4});
  RecordingComparer comparer(collection);
  const int equal = 0;
  comparer.fixed_result = &equal;
  collection.Sort(&comparer);
  EXPECT_EQ(comparer.pairs,
            (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}}));
  EXPECT_EQ(Keys(collection), (std::vector<int>{1, 2, 3, 4}));
}

TEST(FCCollectionSort, AlwaysPositiveSwapsAtEveryComparison) {
  PlainCollection collection;
  Fill(collection, {1, 2, 3, 4});
  RecordingComparer comparer(collection);
  const int after = 1;
  comparer.fixed_result = &after;
  collection.Sort(&comparer);
  EXPECT_EQ(comparer.pairs.size(), 6u);
  // Six swaps, each at the positions compared, turn the order round.
  EXPECT_EQ(Keys(collection), (std::vector<int>{4, 3, 2, 1}));
}

TEST(FCCollectionSort, SortsByAConsistentComparison) {
  PlainCollection collection;
  Fill(collection, {5, 3, 9, 1, 7});
  RecordingComparer comparer(collection);
  collection.Sort(&comparer);
  EXPECT_EQ(Keys(collection), (std::vector<int>{1, 3, 5, 7, 9}));
  EXPECT_EQ(comparer.pairs.size(), 10u);
}

TEST(FCCollectionSort, EqualKeysMayChangePlaces) {
  PlainCollection collection;
  auto added = Fill(collection, {2, 2, 1});
  RecordingComparer comparer(collection);
  collection.Sort(&comparer);
  EXPECT_EQ(collection.GetItemAt(0), added[2]);
  EXPECT_EQ(collection.GetItemAt(1), added[1]);
  EXPECT_EQ(collection.GetItemAt(2), added[0]);
}

using CollectionDumpTest = FrameworkTest;

TEST_F(CollectionDumpTest, DumpListsSizeCountAndEachElementsOwnDump) {
  PlainCollection collection;
  Fill(collection, {1, 2});
  collection.DebugDump();
  EXPECT_EQ(ConsoleLines(),
            (std::vector<std::string>{
                "======== DebugDump === Class Name: __FCCollection ========", "Array size:  10",
                "Number of items:  2", "===> Object item:  0",
                "======== DebugDump === Class Name: Keyed ========", "===> Object item:  1",
                "======== DebugDump === Class Name: Keyed ========"}));
}

using LoadAllTest = FrameworkTest;

std::vector<int> ItemNumbers(const FCCategoryDefs& defs) {
  std::vector<int> numbers;
  for (int i = 0; i < defs.GetCount(); ++i)
    numbers.push_back(defs.GetCategoryDefAt(i)->GetItemNo());
  return numbers;
}

TEST_F(LoadAllTest, LoadsEveryRecordInHostOrderAndReachesTheEnd) {
  for (std::uint16_t n : {1, 2, 5}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  FCCategoryDefs defs;
  defs.LoadAll(0x0A000000);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{1, 2, 5}));
  EXPECT_TRUE(defs.LoadReachedEnd());
  EXPECT_EQ(defs.GetCategoryDefAt(2)->GetVersion(), 0x0A000000u);
  EXPECT_EQ(defs.GetCategoryDefAt(2)->GetID(), 5);
}

TEST_F(LoadAllTest, ReloadingReplacesTheElementsAndKeepsTheArray) {
  for (std::uint16_t n : {1, 2, 3}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  host().Records().Erase(kCategoryTag, hostsim::ItemIdentity(2));
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{1, 3}));
  EXPECT_EQ(defs.GetArraySize(), 10);
}

TEST_F(LoadAllTest, KindWithoutRecordsIsEmptyAndComplete) {
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 0);
  EXPECT_TRUE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, RecordNamedButNotDeliveredEndsTheLoadAsIncomplete) {
  for (std::uint16_t n : {1, 2, 3}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  host().FailCall("FX_LoadEData", 2);
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{1}));
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, FailedFirstItemIsIncompleteAndEmpty) {
  for (std::uint16_t n : {1, 2}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  host().FailCall("FX_LoadEData", 1);
  FCCategoryDefs defs;
  Fill(defs, {1});
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 0);
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, MissingItemOneStillLoadsFromTheFirstRecord) {
  for (std::uint16_t n : {3, 4, 8}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{3, 4, 8}));
  EXPECT_TRUE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, FirstRecordNamedByTheFallbackButNotDeliveredIsIncomplete) {
  for (std::uint16_t n : {3, 4}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  host().FailCall("FX_LoadEData", 2);  // the first is the miss of item 1
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 0);
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, HostThatStepsOntoTheSameRecordDoesNotLoopForEver) {
  Put(kCategoryTag, 1, CategoryBytes(1, "C", true));
  host().SetResult("FX_NextEData", 1);
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(defs.GetCount(), 1);
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST(FCCollectionData, NothingLoadedYetIsNotComplete) {
  FCCategoryDefs defs;
  EXPECT_FALSE(defs.LoadReachedEnd());
}

}  // namespace

namespace {

// A host whose walk over the categories goes 1, 2, 1, 2, ... for ever.
hostsim::Word CyclingStep(const hostsim::Word* args) {
  auto* id = reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(args[1]));
  id[0] = id[0] == 1 ? 2 : 1;
  id[1] = 0;
  return 1;
}

}  // namespace

TEST_F(LoadAllTest, HostWalkComingBackToALoadedRecordEndsTheLoadAsIncomplete) {
  for (std::uint16_t n : {1, 2}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  host().SetBehavior("FX_NextEData", &CyclingStep);
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{1, 2}));
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, LoadAnsweredWithoutBytesEndsTheLoadAsIncomplete) {
  for (std::uint16_t n : {1, 2}) Put(kCategoryTag, n, CategoryBytes(n, "C", true));
  Put(kCategoryTag, 2, hostsim::Bytes());  // the host holds record 2 with nothing in it
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  EXPECT_EQ(ItemNumbers(defs), (std::vector<int>{1}));
  EXPECT_FALSE(defs.LoadReachedEnd());
}

TEST_F(LoadAllTest, ShortRecordDoesNotInheritTheBytesOfTheRecordBeforeIt) {
  Put(kCategoryTag, 1, CategoryBytes(1, "Alpha", true));
  Put(kCategoryTag, 2, hostsim::Bytes(20, 0x42));  // short: no name end, no flags byte
  FCCategoryDefs defs;
  defs.LoadAll(kScorixApiVersion);
  ASSERT_EQ(defs.GetCount(), 2);
  FCCategoryDef* shorter = defs.GetCategoryDefAt(1);
  EXPECT_EQ(shorter->GetLoadedSize(), 20);
  EXPECT_FALSE(shorter->IsUserCreated()) << "the flags byte was never delivered";
  EXPECT_EQ(shorter->GetName(), std::string(18, '\x42'));
  const auto* bytes = static_cast<const unsigned char*>(shorter->GetDataBlock());
  EXPECT_EQ(hostsim::Bytes(bytes + 20, bytes + 104), hostsim::Bytes(84, 0));
  host().ClearCalls();
  EXPECT_FALSE(shorter->Save()) << "a short fixed record cannot be written back whole";
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
}
