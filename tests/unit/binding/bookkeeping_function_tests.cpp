// The binding functions with bookkeeping or compatibility logic of their own, and the conversions
// of argument and result words as the host sees them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/sim_fixture.h"
#include "vaz/vaz.h"

namespace {

using Words = std::vector<hostsim::Word>;
using Event = hostsim::DesktopEvent;

hostsim::Word AddressWord(const void* address) {
  return static_cast<hostsim::Word>(reinterpret_cast<std::uintptr_t>(address));
}

// -1 in a word: 0xFFFFFFFF on i386, all 64 bits set on x86_64.
constexpr hostsim::Word kAllOnes = ~hostsim::Word{0};

// --- Edit transactions ---

using EditDepth = SimHostTest;

TEST_F(EditDepth, ThirdEndAfterTwoStartsAnswersOneWithoutACall) {
  EXPECT_EQ(FX_StartScorixEdit(0, kScorixApiVersion), 1);
  EXPECT_EQ(FX_StartScorixEdit(0, kScorixApiVersion), 1);
  EXPECT_EQ(ScorixEditDepth, 2);
  EXPECT_EQ(FX_EndScorixEdit(kScorixApiVersion), 1);
  EXPECT_EQ(FX_EndScorixEdit(kScorixApiVersion), 1);
  EXPECT_EQ(host().CountCalls("FX_EndScorixEdit"), 2);
  host().SetResult("FX_EndScorixEdit", 0);  // so that an answer of 1 cannot come from the host
  EXPECT_EQ(FX_EndScorixEdit(kScorixApiVersion), 1);
  EXPECT_EQ(host().CountCalls("FX_EndScorixEdit"), 2);
  EXPECT_EQ(ScorixEditDepth, 0);
  EXPECT_EQ(host().OpenTransactions(), 0);
}

TEST_F(EditDepth, CancelWithNothingOpenAnswersZeroWithoutACall) {
  host().SetResult("FX_CancelScorixEdit", 1);
  EXPECT_EQ(FX_CancelScorixEdit(kScorixApiVersion), 0);
  EXPECT_TRUE(host().Calls().empty());
  EXPECT_EQ(ScorixEditDepth, 0);
}

TEST_F(EditDepth, NeverGoesBelowZero) {
  FX_StartScorixEdit(0, kScorixApiVersion);
  EXPECT_EQ(FX_CancelScorixEdit(kScorixApiVersion), 1);  // forwarded: the host rolls back
  EXPECT_EQ(FX_CancelScorixEdit(kScorixApiVersion), 0);
  EXPECT_EQ(FX_EndScorixEdit(kScorixApiVersion), 1);
  EXPECT_EQ(ScorixEditDepth, 0);
  EXPECT_EQ(host().CountCalls("FX_CancelScorixEdit"), 1);
  EXPECT_EQ(host().CountCalls("FX_EndScorixEdit"), 0);
}

TEST_F(EditDepth, StartCountsAlsoWhenTheHostLacksIt) {
  host().RemoveExport("FX_StartScorixEdit");
  EXPECT_EQ(FX_StartScorixEdit(0, kScorixApiVersion), 0);
  EXPECT_EQ(ScorixEditDepth, 1);
  // The open count lets the end through to the host.
  FX_EndScorixEdit(kScorixApiVersion);
  EXPECT_EQ(host().CountCalls("FX_EndScorixEdit"), 1);
  EXPECT_EQ(ScorixEditDepth, 0);
}

TEST_F(EditDepth, EndAndCancelCountDownAlsoWhenTheHostLacksThem) {
  host().RemoveExport("FX_EndScorixEdit");
  host().RemoveExport("FX_CancelScorixEdit");
  FX_StartScorixEdit(0, kScorixApiVersion);
  FX_StartScorixEdit(0, kScorixApiVersion);
  EXPECT_EQ(FX_EndScorixEdit(kScorixApiVersion), 0);
  EXPECT_EQ(ScorixEditDepth, 1);
  EXPECT_EQ(FX_CancelScorixEdit(kScorixApiVersion), 0);
  EXPECT_EQ(ScorixEditDepth, 0);
  EXPECT_EQ(host().Calls().size(), 2u);  // the two starts only
}

TEST_F(EditDepth, MassEditCountsWithoutBounds) {
  FX_StartMassEdit(0, 0, kScorixApiVersion);
  FX_StartMassEdit(0, 0, kScorixApiVersion);
  FX_EndMassEdit(0, 0, kScorixApiVersion);
  EXPECT_EQ(MassEditDepth, 1);
  FX_EndMassEdit(0, 0, kScorixApiVersion);
  FX_EndMassEdit(0, 0, kScorixApiVersion);
  EXPECT_EQ(MassEditDepth, -1);  // kept only, never checked
  EXPECT_EQ(host().CountCalls("FX_StartMassEdit"), 2);
  EXPECT_EQ(host().CountCalls("FX_EndMassEdit"), 3);
}

TEST_F(EditDepth, MassEditCountsAlsoWhenTheHostLacksIt) {
  host().RemoveExport("FX_StartMassEdit");
  host().RemoveExport("FX_EndMassEdit");
  FX_StartMassEdit(0, 0, kScorixApiVersion);
  FX_StartMassEdit(0, 0, kScorixApiVersion);
  FX_EndMassEdit(0, 0, kScorixApiVersion);
  EXPECT_EQ(MassEditDepth, 1);
  EXPECT_TRUE(host().Calls().empty());
}

// --- Frames ---

using FrameCounter = SimHostTest;

TEST_F(FrameCounter, LoadThenFreeLeavesTheCounterWhereItWas) {
  alignas(4) unsigned char frame[32] = {};
  host().SetResult("FX_LoadTGF", AddressWord(frame));
  EXPECT_EQ(reinterpret_cast<unsigned char*>(FX_LoadTGF(0, 1, 1, 0, 1, kScorixApiVersion)), frame);
  EXPECT_EQ(LoadedTGFCounter, 1);
  FX_FreeTGF(reinterpret_cast<EXTGF2005a*>(frame), kScorixApiVersion);
  EXPECT_EQ(LoadedTGFCounter, 0);
  ASSERT_EQ(host().CountCalls("FX_FreeTGF"), 1);
  EXPECT_EQ(host().Calls().back().args, (Words{AddressWord(frame), 0x0F000200u}));
}

TEST_F(FrameCounter, FailedLoadLeavesItOneHigher) {
  host().FailEveryCall("FX_LoadTGF");
  EXPECT_EQ(FX_LoadTGF(0, 1, 1, 0, 1, kScorixApiVersion), nullptr);
  EXPECT_EQ(LoadedTGFCounter, 1);
  EXPECT_EQ(host().CountCalls("FX_LoadTGF"), 1);
}

TEST_F(FrameCounter, LoadCountsAlsoWhenTheHostLacksIt) {
  host().RemoveExport("FX_LoadTGF");
  EXPECT_EQ(FX_LoadTGF(0, 1, 1, 0, 1, kScorixApiVersion), nullptr);
  EXPECT_EQ(LoadedTGFCounter, 1);
  EXPECT_TRUE(host().Calls().empty());
}

// --- The dialog-item fallback ---

class ShowHideDlgItem : public SimHostTest {
 protected:
  static constexpr std::int32_t kDialog = 0x00AB0000;
  static constexpr std::int32_t kItem = 12;
  // The item window the scripted desktop hands out for kDialog and kItem.
  static HWND ItemWindow() { return reinterpret_cast<HWND>(kDialog + 0x10000 + kItem); }

  void ExpectShownThroughWin32(int command) {
    EXPECT_TRUE(host().Calls().empty());
    ASSERT_EQ(desktop().Events().size(), 2u);
    const Event& get = desktop().Events()[0];
    EXPECT_EQ(get.kind, Event::Kind::kGetDlgItem);
    EXPECT_EQ(get.window, reinterpret_cast<HWND>(kDialog));
    EXPECT_EQ(get.value, kItem);
    const Event& show = desktop().Events()[1];
    EXPECT_EQ(show.kind, Event::Kind::kShowWindow);
    EXPECT_EQ(show.window, ItemWindow());
    EXPECT_EQ(show.value, command);
  }
};

TEST_F(ShowHideDlgItem, OldVersionGoesThroughWin32EvenWhenTheHostHasIt) {
  desktop().SetShowWindowResult(TRUE);
  EXPECT_EQ(FX_ShowHideDlgItem(kDialog, kItem, 1, 0x0B01FFFF), 1);
  ExpectShownThroughWin32(SW_SHOWNORMAL);
}

TEST_F(ShowHideDlgItem, AnswersWhatShowWindowAnswers) {
  desktop().SetShowWindowResult(FALSE);
  EXPECT_EQ(FX_ShowHideDlgItem(kDialog, kItem, 1, 0x0B01FFFF), 0);
}

TEST_F(ShowHideDlgItem, ZeroHidesAndAnyOtherValueShows) {
  FX_ShowHideDlgItem(kDialog, kItem, 0, 0x0B01FFFF);
  ExpectShownThroughWin32(SW_HIDE);
  desktop().Clear();
  FX_ShowHideDlgItem(kDialog, kItem, -1, 0x0B01FFFF);
  ExpectShownThroughWin32(SW_SHOWNORMAL);
}

TEST_F(ShowHideDlgItem, NewerVersionIsForwardedUnchanged) {
  host().SetResult("FX_ShowHideDlgItem", 5);
  EXPECT_EQ(FX_ShowHideDlgItem(kDialog, kItem, -1, 0x0B020000), 5);
  ASSERT_EQ(host().Calls().size(), 1u);
  EXPECT_EQ(host().Calls()[0].args, (Words{0x00AB0000u, 12u, kAllOnes, 0x0B020000u}));
  EXPECT_TRUE(desktop().Events().empty());
}

TEST_F(ShowHideDlgItem, MissingExportGoesThroughWin32AtAnyVersion) {
  host().RemoveExport("FX_ShowHideDlgItem");
  FX_ShowHideDlgItem(kDialog, kItem, 1, kScorixApiVersion);
  ExpectShownThroughWin32(SW_SHOWNORMAL);
}

// --- Chord analysis ---

using AnalyzeChord = SimHostTest;

TEST_F(AnalyzeChord, VersionsBeforeChordAnalysisAreRaised) {
  FX_AnalyzeChord(1, 2, 3, 0x0AFFFFFF);
  FX_AnalyzeChord(1, 2, 3, 0);
  ASSERT_EQ(host().Calls().size(), 2u);
  EXPECT_EQ(host().Calls()[0].args, (Words{1, 2, 3, 0x0B000000u}));
  EXPECT_EQ(host().Calls()[1].args.back(), 0x0B000000u);
}

TEST_F(AnalyzeChord, LaterVersionsPassUnchanged) {
  FX_AnalyzeChord(1, 2, 3, 0x0B000000);
  FX_AnalyzeChord(1, 2, 3, 0x0F000200);
  ASSERT_EQ(host().Calls().size(), 2u);
  EXPECT_EQ(host().Calls()[0].args.back(), 0x0B000000u);
  EXPECT_EQ(host().Calls()[1].args.back(), 0x0F000200u);
}

// --- Part names ---

using PartName = SimHostTest;

TEST_F(PartName, HostAnswerIsTheNameAddress) {
  static const char kName[] = "Flute";
  host().SetResult("FX_GetPartName", AddressWord(kName));
  EXPECT_EQ(FX_GetPartName(2, kScorixApiVersion), kName);
}

TEST_F(PartName, MissingExportAnswersABlank) {
  host().RemoveExport("FX_GetPartName");
  const char* name = FX_GetPartName(2, kScorixApiVersion);
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, " ");
  EXPECT_TRUE(host().Calls().empty());
}

// --- Words as the host sees them ---

using HostWords = SimHostTest;

TEST_F(HostWords, SixteenBitAnswerOfAllOnesDependsOnTheResultWidth) {
  host().SetResult("FX_GetShowLayer", 0xFFFF);
  host().SetResult("FX_CreatePercMapRefData", 0xFFFF);
  host().SetResult("FX_SetDefaultMusicFont", 0xFFFF);
  host().SetResult("FX_GetCurrentWindow", 0xFFFF);
  EXPECT_EQ(FX_GetShowLayer(1, kScorixApiVersion), -1);
  EXPECT_EQ(FX_CreatePercMapRefData(0, 0, kScorixApiVersion), 65535);
  EXPECT_EQ(FX_SetDefaultMusicFont(1, 2, 3, kScorixApiVersion), 0xFF);
  EXPECT_EQ(FX_GetCurrentWindow(kScorixApiVersion), 0xFFFF);
}

TEST_F(HostWords, SignedArgumentsAreSignExtendedAndOthersZeroExtended) {
  FX_SlotToInst(-1, 0xFFFF, kScorixApiVersion);
  FX_InsertMergeMusic(0, -1, 0xFF, kScorixApiVersion);
  ASSERT_EQ(host().Calls().size(), 2u);
  EXPECT_EQ(host().Calls()[0].args, (Words{kAllOnes, 0x0000FFFFu, 0x0F000200u}));
  EXPECT_EQ(host().Calls()[1].args, (Words{0u, kAllOnes, 0x000000FFu, 0x0F000200u}));
}

// Version words and tags are unsigned 32-bit values: one above 2^31 reaches the host as it is,
// never sign-extended into the upper half of a 64-bit word.
TEST_F(HostWords, ThirtyTwoBitValuesAboveTwoToThe31AreZeroExtended) {
  EDataID id{};
  std::int32_t size = 0;
  FX_LoadEData(0x80000001u, &id, nullptr, &size, 0xF0000000u);
  FX_GetMaxLayers(0xFFFFFFFFu);
  ASSERT_EQ(host().Calls().size(), 2u);
  EXPECT_EQ(host().Calls()[0].args[0], 0x80000001u);
  EXPECT_EQ(host().Calls()[0].args[4], 0xF0000000u);
  EXPECT_EQ(host().Calls()[1].args, Words{0xFFFFFFFFu});
}

// An address passed as an L value arrives whole: on x86_64 the stack and the heap lie above 4 GiB,
// so a binding that cut its words to 32 bits would hand the host a wrong address.
TEST_F(HostWords, AddressesPassedAsLValuesArriveWhole) {
  char text[] = "Sort Categories";
  const auto address = reinterpret_cast<std::intptr_t>(text);
  FX_StartScorixEdit(address, kScorixApiVersion);
  FX_GetScorixPath(address, address + 1, kScorixApiVersion);
  ASSERT_EQ(host().Calls().size(), 2u);
  EXPECT_EQ(host().Calls()[0].args[0], AddressWord(text));
  EXPECT_EQ(host().Calls()[1].args[1], AddressWord(text + 1));
  FX_EndScorixEdit(kScorixApiVersion);
}

// A 32-bit integer result is the low half of the host's word, sign-extended: a host on x86_64
// that answers 0xFFFFFFFF in a 64-bit register means -1, not 4294967295. An address result is the
// whole word.
TEST_F(HostWords, ThirtyTwoBitResultsAreSignExtendedAndAddressResultsKeptWhole) {
  host().SetResult("FX_ReduceEntries", 0xFFFFFFFFu);
  host().SetResult("FX_FreeTGF", 0x80000000u);
  EXPECT_EQ(FX_ReduceEntries(nullptr, kScorixApiVersion), -1);
  EXPECT_EQ(FX_FreeTGF(nullptr, kScorixApiVersion), INT32_MIN);
  static const char kName[] = "Flute";
  host().SetResult("FX_GetPartName", AddressWord(kName));
  EXPECT_EQ(FX_GetPartName(1, kScorixApiVersion), kName);
}

TEST_F(HostWords, DoubleTakesTwoWordsLowHalfFirst) {
  FX_SetDlgItemUser(7, 8, 9, -2.5, kScorixApiVersion);  // -2.5 is 0xC004000000000000
  ASSERT_EQ(host().Calls().size(), 1u);
  EXPECT_EQ(host().Calls()[0].args, (Words{7u, 8u, 9u, 0x00000000u, 0xC0040000u, 0x0F000200u}));
}

// --- The version the host reports ---

using FrameworkVersion = SimHostTest;

TEST_F(FrameworkVersion, StartsAtTheFrameworkVersionAndTakesWhatIsSet) {
  EXPECT_EQ(RunningScorixVersion, 0x0F000200u);
  SetScorixFrameworkVersion(0x10000000);
  EXPECT_EQ(RunningScorixVersion, 0x10000000u);
  // The binding functions pass the version they are given, not the running one.
  FX_GetMaxLayers(kScorixApiVersion);
  EXPECT_EQ(host().Calls().back().args, Words{0x0F000200u});
}

}  // namespace
