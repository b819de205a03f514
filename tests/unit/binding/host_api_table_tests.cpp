// Every binding function checked against its row of the host API tables: declared widths, the
// words the host receives, the width of the answer, and the answer when the export is missing.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "tests/support/sim_fixture.h"
#include "tests/unit/binding/host_api_rows.h"
#include "vaz/vaz.h"

namespace {

using binding_test::ApiRow;
using binding_test::HostApiRows;
using binding_test::IfMissing;

class HostApiTable : public SimHostTest {
 protected:
  // End and cancel only reach the host while an edit is open.
  static void OpenOneEdit() { ScorixEditDepth = 1; }

  // Calls the row's binding function; answers the result and how many host calls it made.
  std::intptr_t CallAlone(const ApiRow& row, std::size_t* host_calls) {
    host().ClearCalls();
    OpenOneEdit();
    const std::intptr_t result = row.call();
    *host_calls = host().Calls().size();
    return result;
  }
};

TEST_F(HostApiTable, HasOneRowPerSimulatedHostExport) {
  std::set<std::string> names;
  for (const ApiRow& row : HostApiRows()) {
    hostsim::ExportId id;
    EXPECT_TRUE(hostsim::FindExport(row.name, &id)) << row.name;
    EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
  }
  EXPECT_EQ(names.size(), 125u);
  EXPECT_EQ(static_cast<int>(names.size()), hostsim::kExportCount);
}

TEST_F(HostApiTable, DeclarationsHaveTheWidthsOfTheTables) {
  for (const ApiRow& row : HostApiRows()) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.declared_arguments, row.table_arguments);
    EXPECT_EQ(row.declared_result, row.table_result);
  }
}

TEST_F(HostApiTable, HostReceivesEveryArgumentWordInOrderAndWidth) {
  for (const ApiRow& row : HostApiRows()) {
    SCOPED_TRACE(row.name);
    hostsim::ExportId id;
    ASSERT_TRUE(hostsim::FindExport(row.name, &id));
    // What the binding pushes must be what the export removes from the stack.
    EXPECT_EQ(static_cast<int>(row.expected_words.size()), hostsim::ExportWordCount(id));
    // The sample words are not real names or records: the host only records them.
    host().SetResult(row.name, 0);
    std::size_t host_calls = 0;
    CallAlone(row, &host_calls);
    ASSERT_EQ(host_calls, 1u);
    const hostsim::CallRecord& call = host().Calls().front();
    EXPECT_EQ(call.name, row.name);
    EXPECT_EQ(call.args, row.expected_words);
  }
}

// 0x1234FF80: the low byte has its top bit set, the low 16 bits too, and the upper half is not a
// sign extension of either, so every narrowing shows. On 64-bit builds the word's upper 32 bits
// are set as well: a result that may be an address keeps them, a 32-bit one drops them.
TEST_F(HostApiTable, EveryResultKeepsOnlyItsWidth) {
  constexpr hostsim::Word kAnswer =
      static_cast<hostsim::Word>(sizeof(hostsim::Word) > 4 ? 0xFEDCBA981234FF80ull : 0x1234FF80u);
  for (const ApiRow& row : HostApiRows()) {
    SCOPED_TRACE(row.name);
    host().SetResult(row.name, kAnswer);
    std::size_t host_calls = 0;
    const std::intptr_t result = CallAlone(row, &host_calls);
    ASSERT_EQ(host_calls, 1u);
    switch (row.table_result) {
      case 'S':
        EXPECT_EQ(result, -128);
        break;
      case 'U':
        EXPECT_EQ(result, 0xFF80);
        break;
      case 'B':
        EXPECT_EQ(result, 0x80);
        break;
      default:
        if (row.whole_word_result) {
          EXPECT_EQ(static_cast<hostsim::Word>(result), kAnswer);
        } else {
          EXPECT_EQ(result, 0x1234FF80);
        }
        break;
    }
  }
}

TEST_F(HostApiTable, MissingExportWithAFallbackAnswersItWithoutACall) {
  int checked = 0;
  for (const ApiRow& row : HostApiRows()) {
    if (row.if_missing.kind != IfMissing::kValue && row.if_missing.kind != IfMissing::kBlankText) {
      continue;
    }
    SCOPED_TRACE(row.name);
    host().RemoveExport(row.name);
    std::size_t host_calls = 0;
    const std::intptr_t result = CallAlone(row, &host_calls);
    EXPECT_EQ(host_calls, 0u);
    if (row.if_missing.kind == IfMissing::kBlankText) {
      ASSERT_NE(result, 0);
      EXPECT_STREQ(reinterpret_cast<const char*>(result), " ");
    } else {
      EXPECT_EQ(result, row.if_missing.value);
    }
    ++checked;
  }
  EXPECT_EQ(checked, 64);
}

TEST_F(HostApiTable, MissingRequiredExportAnswersZeroWithoutACall) {
  int checked = 0;
  for (const ApiRow& row : HostApiRows()) {
    if (row.if_missing.kind != IfMissing::kRequired) continue;
    SCOPED_TRACE(row.name);
    host().RemoveExport(row.name);
    std::size_t host_calls = 0;
    EXPECT_EQ(CallAlone(row, &host_calls), 0);
    EXPECT_EQ(host_calls, 0u);
    ++checked;
  }
  EXPECT_EQ(checked, 60);
}

TEST_F(HostApiTable, WithoutAHostModuleEveryFunctionAnswersAsIfItsExportWereMissing) {
  host().Unregister();
  for (const ApiRow& row : HostApiRows()) {
    SCOPED_TRACE(row.name);
    std::size_t host_calls = 0;
    const std::intptr_t result = CallAlone(row, &host_calls);
    EXPECT_EQ(host_calls, 0u);
    switch (row.if_missing.kind) {
      case IfMissing::kValue:
        EXPECT_EQ(result, row.if_missing.value);
        break;
      case IfMissing::kBlankText:
        ASSERT_NE(result, 0);
        EXPECT_STREQ(reinterpret_cast<const char*>(result), " ");
        break;
      case IfMissing::kRequired:
        EXPECT_EQ(result, 0);
        break;
      case IfMissing::kThroughWin32:
        break;  // the dialog-item path has its own tests
    }
  }
}

}  // namespace
