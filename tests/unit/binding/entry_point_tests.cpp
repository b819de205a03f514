#include <gtest/gtest.h>

#include "plugin/entry_points.h"
#include "tests/support/sim_fixture.h"

namespace {

using EntryPointTest = SimHostTest;

TEST_F(EntryPointTest, NoAnswerMakesNoHostCall) {
  desktop().QueueAnswer(IDNO);
  EXPECT_EQ(ScorixExtensionInvoke(nullptr, 0, 0, 0), 0);
  EXPECT_TRUE(host().Calls().empty());
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].caption, "Alphabetizer WARNING");
  EXPECT_EQ(desktop().Boxes()[0].style, 0x34u);
}

}  // namespace
