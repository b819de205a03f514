// The sorting command end to end in the simulated host: documents in, documents out.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "hostsim/document.h"
#include "hostsim/score_records.h"
#include "plugin/alphabetizer.h"
#include "tests/support/sim_fixture.h"

namespace {

using hostsim::kCategoryTag;
using hostsim::kShapeExpressionTag;
using hostsim::kTextExpressionTag;
using nlohmann::json;

struct Category {
  int number;
  std::string name;
  bool usercreated;
};

json Document(const std::vector<Category>& categories,
              const std::vector<std::pair<int, int>>& texts,
              const std::vector<std::pair<int, int>>& shapes = {}) {
  json document;
  document["categories"] = json::array();
  for (const Category& category : categories) {
    document["categories"].push_back({{"number", category.number},
                                      {"name", category.name},
                                      {"usercreated", category.usercreated}});
  }
  document["textExpressions"] = json::array();
  for (const auto& [number, category] : texts) {
    document["textExpressions"].push_back({{"number", number},
                                           {"category", category},
                                           {"description", "T" + std::to_string(number)}});
  }
  document["shapeExpressions"] = json::array();
  for (const auto& [number, category] : shapes) {
    document["shapeExpressions"].push_back({{"number", number}, {"category", category}});
  }
  return document;
}

class AlphabetizerTest : public SimHostTest {
 protected:
  void Load(const json& document) {
    std::string error;
    ASSERT_TRUE(hostsim::LoadDocument(document.dump(), &host().Records(), &error)) << error;
  }

  std::map<int, std::string> CategoryNames() const {
    std::map<int, std::string> names;
    for (const auto& [id, bytes] : host().Records().All(kCategoryTag)) {
      names[hostsim::IdentityWord(id, 0)] = hostsim::CategoryNameOf(*bytes);
    }
    return names;
  }

  std::map<int, int> ExpressionCategories(std::uint32_t tag) const {
    std::map<int, int> categories;
    for (const auto& [id, bytes] : host().Records().All(tag)) {
      auto category = hostsim::ExpressionCategoryOf(*bytes);
      categories[hostsim::IdentityWord(id, 0)] = category ? *category : -1;
    }
    return categories;
  }

  // The name of the category each expression definition belongs to.
  std::map<int, std::string> ExpressionCategoryNames(std::uint32_t tag) const {
    std::map<int, std::string> names;
    const auto categories = CategoryNames();
    for (const auto& [number, category] : ExpressionCategories(tag)) {
      auto found = categories.find(category);
      names[number] = found == categories.end() ? "(none)" : found->second;
    }
    return names;
  }

  void ExpectNothingLeftOpen() {
    EXPECT_EQ(host().OpenTransactions(), 0);
    EXPECT_EQ(ScorixEditDepth, 0);
  }
};

TEST_F(AlphabetizerTest, WorkedExampleMovesAlphaToSlotTwoAndRepointsBothExpressions) {
  Load(Document({{1, "Base", false}, {2, "Zeta", true}, {3, "Alpha", true}}, {{1, 2}, {2, 3}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{1, "Base"}, {2, "Alpha"}, {3, "Zeta"}}));
  EXPECT_EQ(ExpressionCategories(kTextExpressionTag), (std::map<int, int>{{1, 3}, {2, 2}}));
  EXPECT_TRUE(desktop().Boxes().empty());
  EXPECT_EQ(host().EditNames(), std::vector<std::string>{"Sort Categories"});
  ExpectNothingLeftOpen();
}

TEST_F(AlphabetizerTest, SortedCategoriesKeepEveryByte) {
  Load(Document({{1, "Dynamics", false}, {2, "Alpha", true}, {3, "Beta", true}}, {{1, 2}, {2, 3}},
                {{1, 3}}));
  const hostsim::RecordStore before = host().Records();
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  // Both user-created slots were written back, with their own contents.
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 2 + 2 + 1);
}

TEST_F(AlphabetizerTest, UpperCaseSortsBeforeLowerCase) {
  Load(Document({{1, "alpha", true}, {2, "Zeta", true}}, {{1, 1}, {2, 2}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{1, "Zeta"}, {2, "alpha"}}));
  EXPECT_EQ(ExpressionCategories(kTextExpressionTag), (std::map<int, int>{{1, 2}, {2, 1}}));
}

TEST_F(AlphabetizerTest, EqualNamesKeepTheirOrderAndTheirOwnContents) {
  json document = Document({{1, "Same", true}, {2, "Same", true}}, {{1, 1}, {2, 2}});
  Load(document);
  const hostsim::RecordStore before = host().Records();
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
}

TEST_F(AlphabetizerTest, NamesFillingTheirFieldAreComparedOnTheirBytesOnly) {
  const std::string long_b(65, 'b');
  const std::string full_a = std::string(65, 'a') + "z";  // 66 bytes: no terminator in the field
  const std::string full_a2 = std::string(65, 'a') + "y";
  Load(Document({{1, long_b, true}, {2, full_a, true}, {3, full_a2, true}},
                {{1, 1}, {2, 2}, {3, 3}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{1, full_a2}, {2, full_a}, {3, long_b}}));
  EXPECT_EQ(ExpressionCategoryNames(kTextExpressionTag),
            (std::map<int, std::string>{{1, long_b}, {2, full_a}, {3, full_a2}}));
}

TEST_F(AlphabetizerTest, BuiltInCategoriesKeepTheirSlotsWhateverTheHostOrder) {
  Load(Document({{1, "Base", false}, {2, "Zeta", true}, {3, "Dynamics", false}, {4, "Alpha", true}},
                {{1, 1}, {2, 2}, {3, 3}, {4, 4}}, {{1, 3}, {2, 4}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(),
            (std::map<int, std::string>{{1, "Base"}, {2, "Alpha"}, {3, "Dynamics"}, {4, "Zeta"}}));
  EXPECT_EQ(ExpressionCategoryNames(kTextExpressionTag),
            (std::map<int, std::string>{{1, "Base"}, {2, "Zeta"}, {3, "Dynamics"}, {4, "Alpha"}}));
  EXPECT_EQ(ExpressionCategoryNames(kShapeExpressionTag),
            (std::map<int, std::string>{{1, "Dynamics"}, {2, "Alpha"}}));
}

TEST_F(AlphabetizerTest, ExpressionNamingNoCategoryIsSavedUnchanged) {
  Load(Document({{1, "Zeta", true}, {2, "Alpha", true}}, {{1, 77}, {2, 1}}));
  const hostsim::Bytes orphan =
      *host().Records().Find(kTextExpressionTag, hostsim::ItemIdentity(1));
  Alphabetizer();
  EXPECT_EQ(*host().Records().Find(kTextExpressionTag, hostsim::ItemIdentity(1)), orphan);
  EXPECT_EQ(ExpressionCategories(kTextExpressionTag), (std::map<int, int>{{1, 77}, {2, 2}}));
}

TEST_F(AlphabetizerTest, CategoryAbove255MovesWhenNoExpressionRefersToIt) {
  Load(Document({{2, "Zeta", true}, {300, "Alpha", true}}, {{1, 44}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{2, "Alpha"}, {300, "Zeta"}}));
  EXPECT_TRUE(desktop().Boxes().empty());
}

TEST_F(AlphabetizerTest, CategoryThatWouldMoveAbove255IsRefusedWithTheScoreUnchanged) {
  Load(Document({{2, "Zeta", true}, {300, "Alpha", true}}, {{1, 2}}));
  const hostsim::RecordStore before = host().Records();
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].caption, "Alphabetizer");
  EXPECT_NE(desktop().Boxes()[0].text.find("\"Zeta\" would move to number 300"), std::string::npos);
  EXPECT_NE(desktop().Boxes()[0].text.find("The score is unchanged."), std::string::npos);
}

// The realistic sample ends as the sorted sample that the Windows end-to-end run is held to.
TEST_F(AlphabetizerTest, RealisticScoreEndsAsTheSortedSample) {
  std::string error;
  ASSERT_TRUE(hostsim::LoadDocumentFile(std::string(SCORIX_SAMPLES_DIR) + "/realistic_score.json",
                                        &host().Records(), &error))
      << error;
  hostsim::RecordStore sorted;
  ASSERT_TRUE(hostsim::LoadDocumentFile(
      std::string(SCORIX_SAMPLES_DIR) + "/realistic_score.sorted.json", &sorted, &error))
      << error;
  Alphabetizer();
  EXPECT_TRUE(host().Records() == sorted);
  EXPECT_TRUE(desktop().Boxes().empty());
}

TEST_F(AlphabetizerTest, EmptyDocumentChangesNothing) {
  Alphabetizer();
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_TRUE(desktop().Boxes().empty());
  ExpectNothingLeftOpen();
}

TEST_F(AlphabetizerTest, FirstCategoryDeletedStillSortsAndRepoints) {
  Load(Document({{2, "Zeta", true}, {3, "Alpha", true}}, {{2, 2}, {3, 3}}));
  Alphabetizer();
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{2, "Alpha"}, {3, "Zeta"}}));
  EXPECT_EQ(ExpressionCategoryNames(kTextExpressionTag),
            (std::map<int, std::string>{{2, "Zeta"}, {3, "Alpha"}}));
}

TEST_F(AlphabetizerTest, ShortCategoryRecordIsRefusedWithTheScoreUnchanged) {
  Load(Document({{1, "Zeta", true}, {2, "Alpha", true}, {3, "Beta", true}}, {{1, 1}}));
  host().Records().Put(kCategoryTag, hostsim::ItemIdentity(2), hostsim::Bytes(20, 0x41));
  const hostsim::RecordStore before = host().Records();
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("in full"), std::string::npos);
}

// A text definition too short for its category byte refers to no category, not to one numbered
// -1: Alpha (stored id -1) may move to number 300 because nothing refers to it.
TEST_F(AlphabetizerTest, ShortExpressionDefinitionRefersToNoCategory) {
  json document = Document({{5, "Zeta", true}, {6, "Alpha", true}}, {{1, 77}});
  document["categories"][0]["categoryid"] = 300;
  document["categories"][1]["categoryid"] = -1;
  Load(document);
  host().Records().Put(kTextExpressionTag, hostsim::ItemIdentity(2), hostsim::Bytes(20, 0x33));
  Alphabetizer();
  EXPECT_TRUE(desktop().Boxes().empty());
  EXPECT_EQ(CategoryNames(), (std::map<int, std::string>{{5, "Alpha"}, {6, "Zeta"}}));
  EXPECT_EQ(*host().Records().Find(kTextExpressionTag, hostsim::ItemIdentity(2)),
            hostsim::Bytes(20, 0x33));
}

TEST_F(AlphabetizerTest, IncompleteLoadWritesNothingAndTellsTheUser) {
  Load(Document({{1, "Zeta", true}, {2, "Beta", true}, {3, "Alpha", true}}, {{1, 1}}));
  const hostsim::RecordStore before = host().Records();
  host().FailCall("FX_LoadEData", 2);  // the second category of the first load
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(host().CountCalls("FX_StartScorixEdit"), 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("did not hand out every"), std::string::npos);
}

TEST_F(AlphabetizerTest, CategoriesChangingBetweenTheTwoLoadsAreRefused) {
  Load(Document({{1, "Zeta", true}, {2, "Alpha", true}}, {{1, 1}}));
  // Once the first load of the categories is done, another program renames category 2.
  host().SetBehavior("FX_NextEData", [](const hostsim::Word* args) -> hostsim::Word {
    auto& records = hostsim::SimHost::Instance().Records();
    auto* id = reinterpret_cast<hostsim::Identity*>(static_cast<std::uintptr_t>(args[1]));
    auto next = records.Next(args[0], *id);
    if (!next) {
      if (args[0] == kCategoryTag) {
        hostsim::Bytes renamed = *records.Find(kCategoryTag, hostsim::ItemIdentity(2));
        renamed[2] = 'B';
        records.Put(kCategoryTag, hostsim::ItemIdentity(2), renamed);
      }
      return 0;
    }
    *id = *next;
    return 1;
  });
  Alphabetizer();
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("changed while they were being read"),
            std::string::npos);
}

TEST_F(AlphabetizerTest, RefusalBoxBelongsToTheHostWindow) {
  Load(Document({{2, "Zeta", true}, {300, "Alpha", true}}, {{1, 2}}));
  const HWND host_window = reinterpret_cast<HWND>(0x00012340);
  Alphabetizer(host_window);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].owner, host_window);
  EXPECT_EQ(desktop().Boxes()[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST_F(AlphabetizerTest, RefusedSaveIsCancelledThroughTheEdit) {
  Load(Document({{1, "Zeta", true}, {2, "Beta", true}, {3, "Alpha", true}}, {{1, 1}, {2, 3}}));
  const hostsim::RecordStore before = host().Records();
  host().FailCall("FX_SaveEData", 2);
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  EXPECT_EQ(host().CountCalls("FX_CancelScorixEdit"), 1);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("The score is unchanged."), std::string::npos);
  ExpectNothingLeftOpen();
}

TEST_F(AlphabetizerTest, RefusedSaveWithoutEditsWritesTheOriginalsBackLastFirst) {
  Load(Document({{1, "Zeta", true}, {2, "Beta", true}, {3, "Alpha", true}}, {{1, 1}, {2, 3}}));
  host().SetTransactionsOffered(false);
  const hostsim::RecordStore before = host().Records();
  host().FailCall("FX_SaveEData", 3);
  Alphabetizer();
  EXPECT_TRUE(host().Records() == before);
  // Saves 1 and 2 went through, 3 was refused; then 2 and 1 were written back.
  int written = 0;
  for (const auto& call : host().Calls()) {
    if (call.name == "FX_SaveEData" && call.result != 0) ++written;
  }
  EXPECT_EQ(written, 4);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("Every change was undone"), std::string::npos);
  ExpectNothingLeftOpen();
}

TEST_F(AlphabetizerTest, FailedRestoreIsReportedHonestly) {
  Load(Document({{1, "Zeta", true}, {2, "Beta", true}, {3, "Alpha", true}}, {{1, 1}, {2, 3}}));
  host().SetTransactionsOffered(false);
  host().FailCall("FX_SaveEData", 3);
  host().FailCall("FX_SaveEData", 4);  // writing back the second save fails too
  Alphabetizer();
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_NE(desktop().Boxes()[0].text.find("could not be restored"), std::string::npos);
}

}  // namespace
