// The journal of the sorting command: it saves only records it captured, finds a record however
// the saves are ordered, and writes back exactly the bytes it captured, last saved first.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/categories.h"
#include "hostsim/score_records.h"
#include "plugin/record_journal.h"
#include "tests/support/sim_fixture.h"

namespace {

using hostsim::kCategoryTag;
using hostsim::kTextExpressionTag;

class RecordJournalTest : public SimHostTest {
 protected:
  void SetUp() override {
    SimHostTest::SetUp();
    for (std::uint16_t number = 1; number <= 12; ++number) {
      hostsim::Bytes category(104, static_cast<std::uint8_t>(number));
      category[0] = static_cast<std::uint8_t>(number);
      category[1] = 0;
      host().Records().Put(kCategoryTag, hostsim::ItemIdentity(number), category);
      host().Records().Put(kTextExpressionTag, hostsim::ItemIdentity(number),
                           hostsim::Bytes(30 + number, static_cast<std::uint8_t>(0x40 + number)));
    }
    categories_.LoadAll(kScorixApiVersion);
    texts_.LoadAll(kScorixApiVersion);
    ASSERT_EQ(categories_.GetCount(), 12);
    ASSERT_EQ(texts_.GetCount(), 12);
  }

  FCCategoryDef* Category(int index) { return categories_.GetCategoryDefAt(index); }
  FCTextExpressionDef* Text(int index) { return texts_.GetTextExpressionDefAt(index); }

  const hostsim::Bytes& Stored(std::uint32_t tag, std::uint16_t number) {
    return *host().Records().Find(tag, hostsim::ItemIdentity(number));
  }

  FCCategoryDefs categories_;
  FCTextExpressionDefs texts_;
};

TEST_F(RecordJournalTest, SavesInAnyOrderAndWritesTheCapturedBytesBackLastFirst) {
  const hostsim::RecordStore before = host().Records();
  RecordJournal journal;
  journal.Capture(&categories_);
  journal.Capture(&texts_);
  // Changed and saved out of their order: the last text first, then every other category.
  for (int index : {11, 4, 0, 7}) {
    ASSERT_TRUE(Text(index)->SetCategoryByte(0xEE));
    ASSERT_TRUE(journal.Save(Text(index)));
  }
  for (int index = 10; index >= 0; index -= 2) {
    Category(index)->SetID(static_cast<short>(500 + index));
    ASSERT_TRUE(journal.Save(Category(index)));
  }
  EXPECT_EQ(journal.SavedCount(), 10);
  EXPECT_EQ(Stored(kTextExpressionTag, 12)[26], 0xEE);
  EXPECT_EQ(Stored(kCategoryTag, 1)[0], 500 & 0xFF);

  host().ClearCalls();
  EXPECT_TRUE(journal.RestoreSaved());
  EXPECT_TRUE(host().Records() == before);
  // Last saved first: the category at index 0 was saved last.
  std::vector<std::uint16_t> order;
  for (const auto& call : host().Calls()) {
    if (call.name != "FX_SaveEData") continue;
    const auto* id =
        reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(call.args[1]));
    order.push_back(static_cast<std::uint16_t>(id[0] | (id[1] << 8)));
  }
  ASSERT_EQ(order.size(), 10u);
  EXPECT_EQ(order.front(), 1);  // category 1 (index 0)
  EXPECT_EQ(order.back(), 12);  // text 12 (index 11), the first saved
  EXPECT_EQ(journal.SavedCount(), 0);
}

TEST_F(RecordJournalTest, RecordNeverCapturedIsNotSaved) {
  RecordJournal journal;
  journal.Capture(&texts_);
  host().ClearCalls();
  EXPECT_FALSE(journal.Save(Category(3)));
  EXPECT_FALSE(journal.Save(nullptr));
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(journal.SavedCount(), 0);
}

TEST_F(RecordJournalTest, RecordCapturedAgainKeepsTheLaterBytes) {
  RecordJournal journal;
  journal.Capture(&categories_);
  Category(5)->SetID(77);  // the state the second capture sees
  journal.Capture(&categories_);
  Category(5)->SetID(99);
  ASSERT_TRUE(journal.Save(Category(5)));
  EXPECT_EQ(Stored(kCategoryTag, 6)[0], 99);
  EXPECT_TRUE(journal.RestoreSaved());
  EXPECT_EQ(Stored(kCategoryTag, 6)[0], 77);
}

TEST_F(RecordJournalTest, RefusedSaveIsNotRestoredAndRefusedRestoreIsReported) {
  RecordJournal journal;
  journal.Capture(&categories_);
  Category(0)->SetID(40);
  Category(1)->SetID(41);
  ASSERT_TRUE(journal.Save(Category(0)));
  host().FailCall("FX_SaveEData", 2);
  EXPECT_FALSE(journal.Save(Category(1)));
  EXPECT_EQ(journal.SavedCount(), 1);
  host().FailCall("FX_SaveEData", 3);  // writing back category 1's original
  EXPECT_FALSE(journal.RestoreSaved());
  EXPECT_EQ(Stored(kCategoryTag, 1)[0], 40);
  EXPECT_EQ(Stored(kCategoryTag, 2)[0], 2);
}

}  // namespace
