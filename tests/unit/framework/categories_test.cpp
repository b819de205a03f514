#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "framework/framework.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

constexpr std::uint32_t kCategoryTag = 0x534F4D43;
constexpr std::uint32_t kTextTag = 0x534F4454;
constexpr std::uint32_t kShapeTag = 0x4F03444F;

// The positions at which two records differ.
std::vector<std::size_t> Differences(const hostsim::Bytes& a, const hostsim::Bytes& b) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i >= a.size() || i >= b.size() || a[i] != b[i]) positions.push_back(i);
  }
  return positions;
}

hostsim::Bytes BytesOf(const void* data, std::int32_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return hostsim::Bytes(bytes, bytes + size);
}

// A text expression record of `size` bytes with a description at 34 and a category at 26.
hostsim::Bytes TextBytes(std::size_t size, std::uint8_t category, const std::string& description) {
  hostsim::Bytes bytes = RandomBytes(size, 77);
  if (size > 26) bytes[26] = category;
  for (std::size_t i = 0; i < description.size() && 34 + i < size; ++i)
    bytes[34 + i] = description[i];
  if (34 + description.size() < size) bytes[34 + description.size()] = 0;
  return bytes;
}

using CategoryRecordTest = FrameworkTest;

TEST(FCCategoryDef, ClassNamesAndTags) {
  FCCategoryDef category;
  FCTextExpressionDef text;
  FCShapeExpressionDef shape;
  FCCategoryDefs categories;
  FCTextExpressionDefs texts;
  FCShapeExpressionDefs shapes;
  EXPECT_STREQ(category.ClassName(), "FCCategoryDef");
  EXPECT_STREQ(text.ClassName(), "FCTextExpressionDef");
  EXPECT_STREQ(shape.ClassName(), "FCShapeExpressionDef");
  EXPECT_STREQ(categories.ClassName(), "FCCategoryDefs");
  EXPECT_STREQ(texts.ClassName(), "FCTextExpressionDefs");
  EXPECT_STREQ(shapes.ClassName(), "FCShapeExpressionDefs");
  EXPECT_EQ(category.Tag(), kCategoryTag);
  EXPECT_EQ(text.Tag(), kTextTag);
  EXPECT_EQ(shape.Tag(), kShapeTag);
  EXPECT_EQ(category.DataSize(), 104);
  EXPECT_EQ(shape.DataSize(), 34);
  EXPECT_FALSE(category.IsDynamicSize());
  EXPECT_TRUE(text.IsDynamicSize());
}

TEST(FCCategoryDef, CollectionsCreateEmptyElementsOfTheirClassWithTheVersion) {
  FCCategoryDefs categories;
  FCTextExpressionDefs texts;
  FCShapeExpressionDefs shapes;
  std::unique_ptr<__FCBaseData> a(categories.CreateElement(0x0A000000));
  std::unique_ptr<__FCBaseData> b(texts.CreateElement(0x0A000000));
  std::unique_ptr<__FCBaseData> c(shapes.CreateElement(0x0A000000));
  EXPECT_NE(dynamic_cast<FCCategoryDef*>(a.get()), nullptr);
  EXPECT_NE(dynamic_cast<FCTextExpressionDef*>(b.get()), nullptr);
  EXPECT_NE(dynamic_cast<FCShapeExpressionDef*>(c.get()), nullptr);
  for (auto* element : {a.get(), b.get(), c.get()}) {
    EXPECT_EQ(element->GetVersion(), 0x0A000000u);
    EXPECT_EQ(element->GetLoadedSize(), 0);
  }
}

TEST(FCCategoryDef, NewObjectHasZerosAtTheThreeWordGroups) {
  FCCategoryDef direct;
  std::unique_ptr<__FCBaseData> created(direct.CreateObject(kScorixApiVersion));
  for (__FCBaseData* def : {static_cast<__FCBaseData*>(&direct), created.get()}) {
    const auto* record = static_cast<const unsigned char*>(def->Allocate());
    for (int i = 68; i < 86; ++i) EXPECT_EQ(record[i], 0) << "byte " << i;
    EXPECT_EQ(def->GetLoadedSize(), 0);
  }
}

TEST(FCCategoryDef, FieldsReadAndWriteLittleEndianAtTheirOffsets) {
  DeliveredCategoryDef def;
  unsigned char* record = def.Record();
  record[0] = 0xFF;
  record[1] = 0xFF;
  EXPECT_EQ(def.GetID(), -1);
  def.SetID(0x0102);
  EXPECT_EQ(record[0], 0x02);
  EXPECT_EQ(record[1], 0x01);
  std::memcpy(record + 2, "Strings\0", 8);
  EXPECT_EQ(def.GetName(), "Strings");
  record[102] = 0x7F;
  EXPECT_FALSE(def.IsUserCreated());
  record[102] = 0x80;
  EXPECT_TRUE(def.IsUserCreated());
}

TEST(FCCategoryDef, NameFillingAllItsBytesStopsAtTheFieldsEnd) {
  DeliveredCategoryDef def;
  unsigned char* record = def.Record();
  std::memset(record + 2, 'n', 66);
  std::memset(record + 68, 'x', 36);
  EXPECT_EQ(def.GetName(), std::string(66, 'n'));
}

TEST(FCCategoryDef, CompareNameIsByteOrderBoundedByTheField) {
  DeliveredCategoryDef upper, lower, accented, same, full_a, full_b;
  auto name = [](DeliveredCategoryDef& def, const std::string& text) {
    std::memcpy(def.Record() + 2, text.c_str(), text.size() + 1);
  };
  name(upper, "Zeta");
  name(lower, "alpha");
  name(accented, "\xE9t\xE9");
  name(same, "Zeta");
  EXPECT_LT(upper.CompareName(lower), 0);
  EXPECT_GT(lower.CompareName(upper), 0);
  EXPECT_GT(accented.CompareName(lower), 0) << "bytes compare unsigned";
  EXPECT_EQ(upper.CompareName(same), 0);
  // What follows the terminating NUL is not part of the name.
  upper.Record()[2 + 6] = 'x';
  same.Record()[2 + 6] = 'y';
  EXPECT_EQ(upper.CompareName(same), 0);
  // Names equal in all 66 bytes, with no NUL, differ only in what follows the field.
  for (DeliveredCategoryDef* def : {&full_a, &full_b}) {
    std::memset(def->Record() + 2, 'q', 66);
  }
  full_a.Record()[68] = 'a';
  full_b.Record()[68] = 'b';
  EXPECT_EQ(full_a.CompareName(full_b), 0);
}

TEST(FCCategoryDef, CopyRecordFromCopiesTheLoadedBytesOnly) {
  FCCategoryDef unloaded;
  DeliveredCategoryDef target;
  target.SetID(3);
  static_cast<unsigned char*>(unloaded.Allocate())[0] = 8;
  target.CopyRecordFrom(unloaded);
  EXPECT_EQ(target.GetID(), 3) << "an unloaded source has no bytes to give";
  std::unique_ptr<__FCBaseData> loaded(unloaded.CreateClone());
  target.CopyRecordFrom(*static_cast<FCCategoryDef*>(loaded.get()));
  EXPECT_EQ(target.GetID(), 8);
}

TEST_F(CategoryRecordTest, CategoryRecordOfRandomBytesSurvivesLoadCloneChangeAndSave) {
  const auto original = RandomBytes(104, 21);
  Put(kCategoryTag, 2, original);
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(2));
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  auto* copy = static_cast<FCCategoryDef*>(clone.get());

  copy->SetID(0x0605);
  ASSERT_TRUE(copy->Save());
  const auto stored = Stored(kCategoryTag, 2);
  EXPECT_EQ(Differences(original, stored), (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(stored[0], 0x05);
  EXPECT_EQ(stored[1], 0x06);
}

TEST_F(CategoryRecordTest, CategoryCloneHoldsItsOwnRecord) {
  Put(kCategoryTag, 2, RandomBytes(104, 22));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(2));
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());

  const auto* block = static_cast<const unsigned char*>(clone->GetDataBlock());
  const auto* object = reinterpret_cast<const unsigned char*>(clone.get());
  EXPECT_GE(block, object);
  EXPECT_LE(block + 104, object + sizeof(FCCategoryDef));
  EXPECT_EQ(BytesOf(block, 104), BytesOf(def.GetDataBlock(), 104));
}

TEST_F(CategoryRecordTest, TextExpressionOfRandomBytesChangesOnlyItsCategoryByte) {
  auto original = RandomBytes(57, 23);
  original[26] = 3;
  Put(kTextTag, 4, original);
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(4));
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  auto* copy = static_cast<FCTextExpressionDef*>(clone.get());

  EXPECT_EQ(copy->GetCategoryByte(), 3);
  ASSERT_TRUE(copy->SetCategoryByte(200));
  ASSERT_TRUE(copy->Save());
  const auto stored = Stored(kTextTag, 4);
  EXPECT_EQ(Differences(original, stored), (std::vector<std::size_t>{26}));
  EXPECT_EQ(stored[26], 200);
}

TEST_F(CategoryRecordTest, TextExpressionCloneIsASeparateHeapBlock) {
  Put(kTextTag, 4, TextBytes(50, 3, "forte"));
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(4));
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  auto* copy = static_cast<FCTextExpressionDef*>(clone.get());

  EXPECT_NE(copy->GetDataBlock(), def.GetDataBlock());
  EXPECT_EQ(copy->GetLoadedSize(), 50);
  EXPECT_EQ(BytesOf(copy->GetDataBlock(), 50), BytesOf(def.GetDataBlock(), 50));
  copy->SetCategoryByte(9);
  EXPECT_EQ(def.GetCategoryByte(), 3);
}

TEST_F(CategoryRecordTest, ShortTextExpressionHasNoCategoryAndIsNeverWrittenThere) {
  const auto original = RandomBytes(26, 24);
  Put(kTextTag, 5, original);
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(5));

  EXPECT_FALSE(def.HasCategoryByte());
  EXPECT_EQ(def.GetCategoryByte(), -1);
  EXPECT_FALSE(def.SetCategoryByte(7));
  EXPECT_EQ(def.GetDescription(), "");
  ASSERT_TRUE(def.Save());
  EXPECT_EQ(Stored(kTextTag, 5), original);
}

TEST_F(CategoryRecordTest, TextExpressionJustLongEnoughHasItsCategoryAndKeepsTheHighByte) {
  auto original = RandomBytes(28, 25);
  original[26] = 1;
  Put(kTextTag, 5, original);
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(5));
  ASSERT_TRUE(def.HasCategoryByte());
  ASSERT_TRUE(def.SetCategoryByte(255));
  ASSERT_TRUE(def.Save());
  EXPECT_EQ(Differences(original, Stored(kTextTag, 5)), (std::vector<std::size_t>{26}));
}

TEST_F(CategoryRecordTest, UnloadedTextExpressionHasNoCategory) {
  FCTextExpressionDef def;
  EXPECT_FALSE(def.HasCategoryByte());
  EXPECT_FALSE(def.SetCategoryByte(1));
  EXPECT_EQ(def.GetDescription(), "");
}

TEST_F(CategoryRecordTest, DescriptionStopsAtItsNulOrTheEndOfTheRecord) {
  Put(kTextTag, 1, TextBytes(60, 2, "mezzo piano"));
  hostsim::Bytes unterminated = TextBytes(40, 2, "");
  std::memcpy(unterminated.data() + 34, "cresc.", 6);
  Put(kTextTag, 2, unterminated);
  FCTextExpressionDef def;

  ASSERT_TRUE(def.Load(1));
  EXPECT_EQ(def.GetDescription(), "mezzo piano");
  ASSERT_TRUE(def.Load(2));
  EXPECT_EQ(def.GetDescription(), "cresc.");
}

TEST_F(CategoryRecordTest, TextExpressionSizeQueryUsesTheApiVersionWord) {
  Put(kTextTag, 1, TextBytes(40, 2, "p"));
  FCTextExpressionDef def(0x05000000);
  ASSERT_TRUE(def.Load(1));
  for (const auto& call : host().Calls()) {
    ASSERT_EQ(call.name, "FX_LoadEData");
    const bool size_query = call.args[2] == 0;
    EXPECT_EQ(call.args[4], size_query ? kScorixApiVersion : 0x05000000u);
  }
  EXPECT_EQ(host().CountCalls("FX_LoadEData"), 3);
}

TEST_F(CategoryRecordTest, TextExpressionWhoseSizeQueryFailsLoadsNothing) {
  Put(kTextTag, 1, TextBytes(40, 2, "p"));
  host().FailCall("FX_LoadEData", 1);
  host().FailCall("FX_LoadEData", 2);
  FCTextExpressionDef def;
  ASSERT_TRUE(def.Load(1)) << "the host delivers zero bytes into a block of zero";
  EXPECT_EQ(def.GetLoadedSize(), 0);
  EXPECT_FALSE(def.Save());
}

TEST_F(CategoryRecordTest, ShapeCategoryChangeTouchesOnlyByteTwentySix) {
  auto original = RandomBytes(34, 26);
  original[26] = 3;
  original[27] = 0xA5;
  Put(kShapeTag, 8, original);
  FCShapeExpressionDef def;
  ASSERT_TRUE(def.Load(8));
  std::unique_ptr<__FCBaseData> clone(def.CreateClone());
  auto* copy = static_cast<FCShapeExpressionDef*>(clone.get());

  EXPECT_EQ(copy->GetCategoryByte(), 3);
  ASSERT_TRUE(copy->SetCategoryByte(5));
  ASSERT_TRUE(copy->Save());
  const auto stored = Stored(kShapeTag, 8);
  EXPECT_EQ(Differences(original, stored), (std::vector<std::size_t>{26}));
  EXPECT_EQ(stored[26], 5);
  EXPECT_EQ(stored[27], 0xA5);
}

TEST_F(CategoryRecordTest, CategoryDumpNamesEveryField) {
  Put(kCategoryTag, 7, CategoryBytes(-2, "Dynamics", true));
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(7));
  def.DebugDump();

  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "======== DebugDump === Class Name: FCCategoryDef ========");
  EXPECT_EQ(lines[2], "Loaded size:  104");
  EXPECT_EQ(lines[3], "dataid.other.cmper:  7");
  EXPECT_EQ(lines[4], "Category ID:  -2");
  EXPECT_EQ(lines[5], "User created:  TRUE");
  EXPECT_EQ(lines[6], "Name:  Dynamics");
}

TEST_F(CategoryRecordTest, UserCreatedIsOnlyTheHighBitOfTheFlags) {
  auto flags = CategoryBytes(1, "X", false);
  flags[102] = 0x7F;
  Put(kCategoryTag, 1, flags);
  FCCategoryDef def;
  ASSERT_TRUE(def.Load(1));
  def.DebugDump();
  EXPECT_EQ(ConsoleLines().at(5), "User created:  FALSE");
}

TEST_F(CategoryRecordTest, ExpressionDumpsShowDescriptionAndCategory) {
  Put(kTextTag, 3, TextBytes(45, 200, "sfz"));
  auto shape = RandomBytes(34, 27);
  shape[26] = 4;
  Put(kShapeTag, 3, shape);
  FCTextExpressionDef text;
  FCShapeExpressionDef shape_def;
  ASSERT_TRUE(text.Load(3));
  ASSERT_TRUE(shape_def.Load(3));
  text.DebugDump();
  shape_def.DebugDump();

  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "======== DebugDump === Class Name: FCTextExpressionDef ========");
  EXPECT_EQ(lines[4], "Description:  sfz");
  EXPECT_EQ(lines[5], "Category ID:  200");
  EXPECT_EQ(lines[6], "======== DebugDump === Class Name: FCShapeExpressionDef ========");
  EXPECT_EQ(lines[10], "Category ID:  4");
}

TEST_F(CategoryRecordTest, DumpOfATextExpressionWithoutABlockShowsNoCategory) {
  FCTextExpressionDef text;
  text.DebugDump();
  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "Data block:  0");
  EXPECT_EQ(lines[4], "Description:  ");
  EXPECT_EQ(lines[5], "Category ID:  -1");
}

TEST_F(CategoryRecordTest, ExpressionCollectionsLoadEveryRecord) {
  Put(kTextTag, 1, TextBytes(40, 1, "a"));
  Put(kTextTag, 2, TextBytes(70, 2, "b"));
  Put(kShapeTag, 2, RandomBytes(34, 28));
  FCTextExpressionDefs texts;
  FCShapeExpressionDefs shapes;
  texts.LoadAll(kScorixApiVersion);
  shapes.LoadAll(kScorixApiVersion);
  ASSERT_EQ(texts.GetCount(), 2);
  EXPECT_EQ(texts.GetTextExpressionDefAt(1)->GetLoadedSize(), 70);
  EXPECT_EQ(texts.GetTextExpressionDefAt(1)->GetDescription(), "b");
  EXPECT_TRUE(texts.LoadReachedEnd());
  ASSERT_EQ(shapes.GetCount(), 1);
  EXPECT_EQ(shapes.GetShapeExpressionDefAt(0)->GetItemNo(), 2);
  EXPECT_EQ(shapes.GetShapeExpressionDefAt(5), nullptr);
  EXPECT_TRUE(shapes.LoadReachedEnd());
}

}  // namespace

TEST_F(CategoryRecordTest, ShortShapeRecordHasNoCategoryByteAndIsNotWrittenBack) {
  Put(kShapeTag, 1, RandomBytes(34, 30));
  Put(kShapeTag, 2, RandomBytes(10, 31));
  FCShapeExpressionDefs defs;
  defs.LoadAll(kScorixApiVersion);
  ASSERT_EQ(defs.GetCount(), 2);
  FCShapeExpressionDef* shorter = defs.GetShapeExpressionDefAt(1);
  EXPECT_FALSE(shorter->HasCategoryByte());
  EXPECT_EQ(shorter->GetCategoryByte(), -1);
  EXPECT_FALSE(shorter->SetCategoryByte(7));
  host().ClearCalls();
  EXPECT_FALSE(shorter->Save());
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(Stored(kShapeTag, 2), RandomBytes(10, 31));
}
