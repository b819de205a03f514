// The version word the host receives for records whose declared size names their layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/records/records_fixture.h"

namespace records_test {
namespace {

enum class Rule { kAtLeast, kAtMost, kSet, kWarnBelow };

struct Row {
  std::uint32_t tag;
  std::int32_t size;
  Rule rule;
  std::uint32_t version;
  const char* warning;
};

const char kGfhold[] =
    "Warning to plug-in developer: EDTGfhold2004 used with wrong version parameter";
const char kTextBlock[] =
    "Warning to plug-in developer: EDTTextBlock2004 used with wrong version parameter";
const char kShapeExpression[] =
    "Warning to plug-in developer: EDTShapeExpression2004 used with wrong version parameter";

// clang-format off
const Row kRows[] = {
  {0x534F4D53, 26,  Rule::kAtLeast,   0x0A000000, nullptr},
  {0x534F4D53, 24,  Rule::kSet,       0x09000000, nullptr},
  {0x4F025353, 28,  Rule::kAtLeast,   0x0A000000, nullptr},
  {0x534F5353, 28,  Rule::kAtLeast,   0x0A000000, nullptr},
  {0x4F025353, 24,  Rule::kAtLeast,   0x06000000, nullptr},
  {0x534F5353, 24,  Rule::kAtLeast,   0x06000000, nullptr},
  {0x4F025353, 22,  Rule::kSet,       0x05000000, nullptr},
  {0x534F5353, 22,  Rule::kSet,       0x05000000, nullptr},
  {0x534F4953, 66,  Rule::kSet,       0x05000000, nullptr},
  {0x534F4953, 102, Rule::kSet,       0x08000000, nullptr},
  {0x53444746, 12,  Rule::kAtMost,    0x08000000, nullptr},
  {0x534F5458, 48,  Rule::kAtMost,    0x08000000, nullptr},
  {0x6F74444F, 12,  Rule::kAtMost,    0x08000000, nullptr},
  {0x53444746, 10,  Rule::kWarnBelow, 0x09000000, kGfhold},
  {0x534F5458, 26,  Rule::kWarnBelow, 0x09000000, kTextBlock},
  {0x6F74444F, 34,  Rule::kWarnBelow, 0x09000000, kShapeExpression},
};
// clang-format on

std::uint32_t Expected(const Row& row, std::uint32_t given) {
  switch (row.rule) {
    case Rule::kAtLeast:
    case Rule::kWarnBelow:
      return given < row.version ? row.version : given;
    case Rule::kAtMost:
      return given > row.version ? row.version : given;
    case Rule::kSet:
      return row.version;
  }
  return given;
}

bool Warns(const Row& row, std::uint32_t given) {
  return row.rule == Rule::kWarnBelow && given < row.version;
}

bool SizeListedFor(std::uint32_t tag, std::int32_t size) {
  for (const Row& row : kRows) {
    if (row.tag == tag && row.size == size) return true;
  }
  return false;
}

// The five record functions that translate, each sending one request the way its callers do.
enum class Function { kLoad, kSave, kCreate, kPrevious, kNext };

const char* ExportOf(Function function) {
  switch (function) {
    case Function::kLoad:
      return "FX_LoadEData";
    case Function::kSave:
      return "FX_SaveEData";
    case Function::kCreate:
      return "FX_CreateEData";
    case Function::kPrevious:
      return "FX_PreviousEData";
    case Function::kNext:
      return "FX_NextEData";
  }
  return "";
}

class VersionTranslation : public RecordsTest, public ::testing::WithParamInterface<Function> {
 protected:
  // Sends one request of `size` bytes and answers the version word the host received.
  Word Send(std::uint32_t tag, std::int32_t size, std::uint32_t version) {
    host().ClearCalls();
    std::vector<std::uint8_t> buffer(256);
    EDataID id = ItemId(1);
    std::int32_t capacity = size;
    switch (GetParam()) {
      case Function::kLoad:
        FX_LoadEData(tag, &id, buffer.data(), &capacity, version);
        break;
      case Function::kSave:
        FX_SaveEData(tag, &id, buffer.data(), size, version);
        break;
      case Function::kCreate:
        FX_CreateEData(tag, &id, buffer.data(), size, version);
        break;
      case Function::kPrevious:
        FX_PreviousEData(tag, &id, buffer.data(), size, version);
        break;
      case Function::kNext:
        FX_NextEData(tag, &id, buffer.data(), size, version);
        break;
    }
    EXPECT_EQ(host().CountCalls(ExportOf(GetParam())), 1);
    return LastVersion(ExportOf(GetParam()));
  }

  std::vector<std::string> AlertTexts() const {
    std::vector<std::string> texts;
    for (const hostsim::CallRecord& call : host().Calls()) {
      if (call.name != "FX_AlertMessage") continue;
      EXPECT_EQ(call.args[0], 0u);
      EXPECT_EQ(call.args[1], 0u);
      EXPECT_EQ(call.args[2], 0u);
      EXPECT_EQ(call.args[4], 0x0F000200u);
      texts.emplace_back(At<const char>(call.args[3]));
    }
    return texts;
  }
};

TEST_P(VersionTranslation, EveryRowAtAndAroundItsVersion) {
  for (const Row& row : kRows) {
    for (std::uint32_t given : {row.version - 1, row.version, row.version + 1}) {
      SCOPED_TRACE(::testing::Message() << std::hex << "tag 0x" << row.tag << std::dec << " size "
                                        << row.size << std::hex << " version 0x" << given);
      EXPECT_EQ(Send(row.tag, row.size, given), Expected(row, given));
      const std::vector<std::string> alerts = AlertTexts();
      if (Warns(row, given)) {
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0], row.warning);
      } else {
        EXPECT_TRUE(alerts.empty());
      }
    }
  }
}

TEST_P(VersionTranslation, NeighbouringSizesLeaveTheVersionAlone) {
  for (const Row& row : kRows) {
    for (std::int32_t size : {row.size - 1, row.size + 1}) {
      if (SizeListedFor(row.tag, size)) continue;
      for (std::uint32_t given : {0x01000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << "tag 0x" << row.tag << std::dec << " size " << size);
        EXPECT_EQ(Send(row.tag, size, given), given);
        EXPECT_TRUE(AlertTexts().empty());
      }
    }
  }
}

TEST_P(VersionTranslation, SizeZeroNeverChangesTheVersion) {
  for (const Row& row : kRows) {
    for (std::uint32_t given : {0x01000000u, 0x08FFFFFFu, 0xFFFFFFFFu}) {
      EXPECT_EQ(Send(row.tag, 0, given), given);
      EXPECT_TRUE(AlertTexts().empty());
    }
  }
}

TEST_P(VersionTranslation, UnlistedTagsPassUnchanged) {
  // Tags one away from listed ones, and a family that is never translated.
  for (std::uint32_t tag : {0x534F4D52u, 0x534F4D54u, 0x534F4952u, 0x534F4954u, 0x6F74444Eu,
                            0x6F744450u, 0x53444747u, 0x4F035353u, 0x43415445u}) {
    for (std::int32_t size : {10, 12, 22, 24, 26, 28, 34, 48, 66, 102}) {
      EXPECT_EQ(Send(tag, size, 0x01000000), 0x01000000u);
    }
  }
  EXPECT_TRUE(AlertTexts().empty());
}

TEST_P(VersionTranslation, WarningIsShownOnEveryRequest) {
  Send(0x6F74444F, 34, 0x08FFFFFF);
  const std::vector<std::string> first = AlertTexts();
  Send(0x6F74444F, 34, 0x08FFFFFF);
  const std::vector<std::string> second = AlertTexts();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0], kShapeExpression);
}

INSTANTIATE_TEST_SUITE_P(AllTranslatingFunctions, VersionTranslation,
                         ::testing::Values(Function::kLoad, Function::kSave, Function::kCreate,
                                           Function::kPrevious, Function::kNext),
                         [](const ::testing::TestParamInfo<Function>& info) {
                           return std::string(ExportOf(info.param)).substr(3);
                         });

using VersionTranslationEdges = RecordsTest;

TEST_F(VersionTranslationEdges, DeleteIsNeverTranslated) {
  EDataID id = ItemId(1);
  for (const Row& row : kRows) {
    FX_DeleteEData(row.tag, &id, 0x01000000);
    EXPECT_EQ(LastVersion("FX_DeleteEData"), 0x01000000u);
    FX_DeleteEData(row.tag, &id, 0xFFFFFFFF);
    EXPECT_EQ(LastVersion("FX_DeleteEData"), 0xFFFFFFFFu);
  }
  EXPECT_EQ(host().CountCalls("FX_AlertMessage"), 0);
}

TEST_F(VersionTranslationEdges, LoadTranslatesWithTheCapacityOnEntry) {
  // The host reports the record's real size (102) while the caller declared 66.
  host().Records().Put(0x534F4953, ItemIdentity(3), Bytes(102, 0x11));
  std::vector<std::uint8_t> buffer(102);
  EDataID id = ItemId(3);
  std::int32_t size = 66;
  ASSERT_NE(FX_LoadEData(0x534F4953, &id, buffer.data(), &size, kScorixApiVersion), 0);
  EXPECT_EQ(LastVersion("FX_LoadEData"), 0x05000000u);
  EXPECT_EQ(size, 66);
}

TEST_F(VersionTranslationEdges, NullBufferSizeQueryIsNotTranslated) {
  host().Records().Put(0x534F4953, ItemIdentity(3), Bytes(102, 0x11));
  EDataID id = ItemId(3);
  std::int32_t size = 0;
  ASSERT_NE(FX_LoadEData(0x534F4953, &id, nullptr, &size, 0x0F000200), 0);
  EXPECT_EQ(LastVersion("FX_LoadEData"), 0x0F000200u);
  EXPECT_EQ(size, 102);
}

}  // namespace
}  // namespace records_test
