// Random documents: made from their seed alone, whole (every kind the generator promises is
// there), and different for different seeds.
#include "hostsim/random_document.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hostsim/document.h"
#include "hostsim/entry_records.h"
#include "hostsim/score_records.h"

namespace hostsim {
namespace {

TEST(RandomDocument, IsTheSameForTheSameSeedAndDiffersForAnother) {
  EXPECT_EQ(RandomDocumentText(12345), RandomDocumentText(12345));
  EXPECT_TRUE(RandomDocument(12345) == RandomDocument(12345));
  EXPECT_FALSE(RandomDocument(12345) == RandomDocument(12346));
  EXPECT_FALSE(RandomDocument(0) == RandomDocument(0xFFFFFFFF));
}

// A seed's document is part of what a failure report tells: it may not change from build to
// build, or a seed printed once would no longer find the same document.
TEST(RandomDocument, KeepsTheDocumentOfAKnownSeed) {
  const RecordStore document = RandomDocument(1);
  const auto categories = document.All(kCategoryTag);
  ASSERT_EQ(categories.size(), 24u);
  EXPECT_EQ(IdentityWord(categories.front().first, 0), 1);
  EXPECT_EQ(IdentityWord(categories.back().first, 0), 36);
  EXPECT_EQ(CategoryNameOf(*categories.front().second),
            "2SxlqotEwP-RO<K5jY?&)~T:!#@.E2tDsDawI>y]hFqDoA,Fe_%ujQ9C");
}

TEST(RandomDocument, HoldsUserAndBuiltInCategoriesExpressionsAndMusic) {
  for (std::uint32_t seed : {1u, 2u, 3u, 99u, 4000000000u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const RecordStore document = RandomDocument(seed);
    int user = 0, built_in = 0;
    for (const auto& [id, bytes] : document.All(kCategoryTag)) {
      (IsUserCreated(*bytes) ? user : built_in) += 1;
      EXPECT_EQ(bytes->size(), 104u);
    }
    EXPECT_GT(user, 0);
    EXPECT_GT(built_in, 0);
    EXPECT_EQ(document.All(kTextExpressionTag).size(), 40u);
    EXPECT_EQ(document.All(kShapeExpressionTag).size(), 40u);
    std::set<std::int16_t> staves;
    std::size_t entries = 0;
    for (const auto& [key, bytes] : document.Frames()) {
      staves.insert(key.staff);
      entries += bytes.size() / entry_record::kSize;
    }
    EXPECT_EQ(staves, (std::set<std::int16_t>{1, 2}));
    EXPECT_GT(entries, 0u);
  }
}

// What it writes is a document file: saved and read again it is the same document.
TEST(RandomDocument, ItsTextIsADocumentFile) {
  RecordStore read;
  std::string error;
  ASSERT_TRUE(LoadDocument(RandomDocumentText(77), &read, &error)) << error;
  EXPECT_TRUE(read == RandomDocument(77));
  RecordStore again;
  ASSERT_TRUE(LoadDocument(SaveDocument(read), &again, &error)) << error;
  EXPECT_TRUE(again == read);
}

}  // namespace
}  // namespace hostsim
