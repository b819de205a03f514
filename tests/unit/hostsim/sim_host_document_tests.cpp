// The simulated host serving a loaded document: record order, walks, creation of new records and
// edit transactions, as a plug-in sees them through the FX_ exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "hostsim/sim_host.h"

namespace hostsim {
namespace {

Word AddressWord(const void* pointer) {
  return static_cast<Word>(reinterpret_cast<std::uintptr_t>(pointer));
}

class SimHostDocument : public ::testing::Test {
 protected:
  void SetUp() override {
    host().Reset();
    std::string error;
    // Written out of order on purpose: the host orders by identity, not by document order.
    ASSERT_TRUE(LoadDocument(R"({
      "categories": [
        {"number": 300, "name": "High", "usercreated": true},
        {"number": 2, "name": "Two", "usercreated": true},
        {"number": 1, "name": "One"}
      ],
      "textExpressions": [ {"number": 5, "category": 2, "description": "pp"} ],
      "records": [ {"tag": "0x534F4D43", "id": "0200010000000000", "bytes": "00"} ]
    })",
                             &host().Records(), &error))
        << error;
  }

  static SimHost& host() { return SimHost::Instance(); }

  Word Call(ExportId id, std::vector<Word> args) {
    args.resize(static_cast<std::size_t>(ExportWordCount(id)), 0);
    return host().Dispatch(id, args.data());
  }

  // Walks the categories with FX_NextEData from `start`, as a collection load does.
  std::vector<std::uint16_t> WalkCategories(Identity id) {
    std::vector<std::uint16_t> seen;
    std::uint8_t buffer[104];
    while (Call(ExportId::FX_NextEData,
                {kCategoryTag, AddressWord(id.data()), AddressWord(buffer), sizeof buffer, 0})) {
      seen.push_back(IdentityWord(id, 0));
      if (seen.size() > 10) break;
    }
    return seen;
  }

  std::string CategoryName(std::uint16_t number) {
    const Bytes* record = host().Records().Find(kCategoryTag, ItemIdentity(number));
    return record ? CategoryNameOf(*record) : "(none)";
  }
};

TEST_F(SimHostDocument, NextStepsThroughCategoriesInIdentityOrder) {
  // Incident 1 of item 2 comes after item 2 itself and before item 300.
  EXPECT_EQ(WalkCategories(ItemIdentity(0)), (std::vector<std::uint16_t>{1, 2, 2, 300}));
}

TEST_F(SimHostDocument, NextDeliversTheRecordItStepsTo) {
  Identity id = ItemIdentity(1);
  std::uint8_t buffer[104] = {};
  ASSERT_EQ(Call(ExportId::FX_NextEData,
                 {kCategoryTag, AddressWord(id.data()), AddressWord(buffer), sizeof buffer, 0}),
            1u);
  EXPECT_EQ(IdentityWord(id, 0), 2);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer + 2), "Two");
}

TEST_F(SimHostDocument, PreviousStepsBackAndStopsAtTheFirstRecord) {
  Identity id = ItemIdentity(300);
  ASSERT_EQ(Call(ExportId::FX_PreviousEData, {kCategoryTag, AddressWord(id.data())}), 1u);
  EXPECT_EQ(IdentityWord(id, 1), 1) << "the incident record of item 2 comes just before 300";
  id = ItemIdentity(1);
  EXPECT_EQ(Call(ExportId::FX_PreviousEData, {kCategoryTag, AddressWord(id.data())}), 0u);
  EXPECT_EQ(IdentityWord(id, 0), 1) << "a failed step leaves the identity alone";
}

TEST_F(SimHostDocument, LoadReportsTheSizeOfAStoredTextExpression) {
  Identity id = ItemIdentity(5);
  std::int32_t size = 0;
  ASSERT_EQ(Call(ExportId::FX_LoadEData,
                 {kTextExpressionTag, AddressWord(id.data()), 0, AddressWord(&size), 0}),
            1u);
  EXPECT_EQ(static_cast<std::size_t>(size), DefaultTextExpressionSize(2));
}

TEST_F(SimHostDocument, CreateWithFFFFTakesTheNextFreeNumberAndWritesItBack) {
  Identity id = ItemIdentity(0xFFFF);
  std::uint8_t record[104] = {};
  ASSERT_EQ(Call(ExportId::FX_CreateEData,
                 {kCategoryTag, AddressWord(id.data()), AddressWord(record), sizeof record, 0}),
            1u);
  EXPECT_EQ(IdentityWord(id, 0), 301);
  EXPECT_NE(host().Records().Find(kCategoryTag, ItemIdentity(301)), nullptr);
}

TEST_F(SimHostDocument, CreateRefusesAnExistingRecord) {
  Identity id = ItemIdentity(2);
  std::uint8_t record[104] = {};
  const RecordStore before = host().Records();
  EXPECT_EQ(Call(ExportId::FX_CreateEData,
                 {kCategoryTag, AddressWord(id.data()), AddressWord(record), sizeof record, 0}),
            0u);
  EXPECT_TRUE(host().Records() == before);
}

class SimHostTransactions : public SimHostDocument {
 protected:
  void RenameCategoryTwo(const char* name) {
    Bytes record = *host().Records().Find(kCategoryTag, ItemIdentity(2));
    std::fill(record.begin() + 2, record.begin() + 68, 0);
    std::copy(name, name + std::char_traits<char>::length(name), record.begin() + 2);
    Identity id = ItemIdentity(2);
    ASSERT_EQ(Call(ExportId::FX_SaveEData,
                   {kCategoryTag, AddressWord(id.data()), AddressWord(record.data()),
                    static_cast<Word>(record.size()), 0}),
              1u);
  }
  Word StartEdit(const char* name) {
    return Call(ExportId::FX_StartScorixEdit, {AddressWord(name)});
  }
};

TEST_F(SimHostTransactions, EndKeepsTheChanges) {
  ASSERT_EQ(StartEdit("Sort"), 1u);
  RenameCategoryTwo("Renamed");
  EXPECT_EQ(host().OpenTransactions(), 1);
  EXPECT_EQ(Call(ExportId::FX_EndScorixEdit, {}), 1u);
  EXPECT_EQ(host().OpenTransactions(), 0);
  EXPECT_EQ(CategoryName(2), "Renamed");
  EXPECT_EQ(host().EditNames(), std::vector<std::string>{"Sort"});
}

TEST_F(SimHostTransactions, CancelRestoresTheDocument) {
  const RecordStore before = host().Records();
  ASSERT_EQ(StartEdit("Sort"), 1u);
  RenameCategoryTwo("Renamed");
  EXPECT_EQ(Call(ExportId::FX_CancelScorixEdit, {}), 1u);
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(host().OpenTransactions(), 0);
}

TEST_F(SimHostTransactions, OneNeverEndedStaysOpen) {
  ASSERT_EQ(StartEdit("Sort"), 1u);
  RenameCategoryTwo("Renamed");
  EXPECT_EQ(host().OpenTransactions(), 1);
  EXPECT_EQ(CategoryName(2), "Renamed");
}

TEST_F(SimHostTransactions, AHostWithoutThemRefusesToStart) {
  host().SetTransactionsOffered(false);
  EXPECT_EQ(StartEdit("Sort"), 0u);
  EXPECT_EQ(host().OpenTransactions(), 0);
}

}  // namespace
}  // namespace hostsim
