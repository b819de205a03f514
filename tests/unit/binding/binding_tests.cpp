#include <gtest/gtest.h>

#include "tests/support/sim_fixture.h"
#include "vaz/vaz.h"

namespace {

using BindingTest = SimHostTest;

TEST_F(BindingTest, MissingExportWithFallbackAnswersTheFallbackWithoutACall) {
  host().RemoveExport("FX_GetMaxLayers");
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(FX_GetMaxLayers(kScorixApiVersion), 4);
  EXPECT_EQ(host().Calls().size(), 0u);
}

TEST_F(BindingTest, SignedResultIsSignExtendedAndUnsignedIsNot) {
  host().SetResult("FX_GetShowLayer", 0x1234FFFF);
  host().SetResult("FX_CreatePercMapRefData", 0x1234FFFF);
  host().SetResult("FX_SetDefaultMusicFont", 0x123456F0);
  EXPECT_EQ(FX_GetShowLayer(1, kScorixApiVersion), -1);
  EXPECT_EQ(FX_CreatePercMapRefData(0, 0, kScorixApiVersion), 65535);
  EXPECT_EQ(FX_SetDefaultMusicFont(1, 2, 3, kScorixApiVersion), 0xF0);
}

}  // namespace
