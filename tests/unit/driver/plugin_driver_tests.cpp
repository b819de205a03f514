// The host's plug-in driver on POSIX: the call of an entry point (measured on i386), loading, and
// the application's sequence of entry-point calls on the shipped plug-in module.
#include "hostsim/plugin_driver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/sim_fixture.h"

namespace {

using hostsim::CallWithWords;
using hostsim::PluginDriver;
using hostsim::PluginSession;

using hostsim::EntryWord;
using hostsim::kStackCleanupMeasured;
using hostsim::kStackNotMeasured;

template <typename Function>
FARPROC AsFarproc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// The bytes a correct export removes, where this build measures it.
int Removed(int argument_bytes) {
  return kStackCleanupMeasured ? argument_bytes : kStackNotMeasured;
}

extern "C" EntryWord WINAPI WeighedSum(EntryWord a, EntryWord b, EntryWord c) {
  return a + 10 * b + 100 * c;
}

TEST(CallWithWords, PassesArgumentsInOrder) {
  const EntryWord args[] = {1, 2, 3};
  int removed = -2;
  EXPECT_EQ(CallWithWords(AsFarproc(&WeighedSum), args, 3, &removed), 321u);
  EXPECT_EQ(removed, Removed(12));
}

#if defined(__i386__)
// The classic plug-in mistake: an export with the C convention, which leaves its arguments.
extern "C" __attribute__((cdecl)) EntryWord CdeclWeighedSum(EntryWord a, EntryWord b, EntryWord c) {
  return a + 10 * b + 100 * c;
}

extern "C" EntryWord WINAPI TakesFour(EntryWord a, EntryWord, EntryWord, EntryWord) {
  return a;
}

TEST(CallWithWords, SeesACalleeThatLeavesItsArguments) {
  const EntryWord args[] = {4, 5, 6};
  int removed = -1;
  const std::uint32_t sentinel = 0x5EED;
  EXPECT_EQ(CallWithWords(AsFarproc(&CdeclWeighedSum), args, 3, &removed), 654u);
  EXPECT_EQ(removed, 0);
  EXPECT_EQ(sentinel, 0x5EEDu);  // the caller's frame survived
}

TEST(CallWithWords, SurvivesACalleeThatRemovesTooMuch) {
  const EntryWord args[] = {7, 8};
  int removed = -1;
  EXPECT_EQ(CallWithWords(AsFarproc(&TakesFour), args, 2, &removed), 7u);
  EXPECT_EQ(removed, 16);
}
#else
extern "C" EntryWord WINAPI Second(EntryWord, EntryWord b) {
  return b;
}

// Off i386 a word is as wide as an address: one above 4 GiB reaches the entry point whole, and the
// stack cleanup is reported as not measured rather than as a number.
TEST(CallWithWords, PassesWordsWiderThan32BitsWholeAndMeasuresNothing) {
  const EntryWord wide = static_cast<EntryWord>(0x0000000500001234ull);
  const EntryWord args[] = {1, wide};
  int removed = 0;
  EXPECT_EQ(CallWithWords(AsFarproc(&Second), args, 2, &removed), wide);
  EXPECT_EQ(removed, kStackNotMeasured);
}
#endif

class PluginDriverTest : public SimHostTest {
 protected:
  void LoadShippedPlugin() {
    std::string error;
    ASSERT_TRUE(driver_.Load(SCORIX_PLUGIN_MODULE, &error)) << error;
  }

  PluginDriver driver_;
  PluginSession session_;
};

TEST_F(PluginDriverTest, LoadNamesTheMissingEntryPoint) {
  std::string error;
  EXPECT_FALSE(driver_.Load(SCORIX_NOT_A_PLUGIN_MODULE, &error));
  EXPECT_NE(error.find("ScorixExtensionVersion"), std::string::npos) << error;
}

TEST_F(PluginDriverTest, LoadReportsAModuleThatIsNotThere) {
  std::string error;
  EXPECT_FALSE(driver_.Load("/no/such/plugin.so", &error));
  EXPECT_NE(error.find("/no/such/plugin.so"), std::string::npos) << error;
}

TEST_F(PluginDriverTest, AnnounceMakesTheApplicationsFourCalls) {
  LoadShippedPlugin();
  driver_.Announce(&session_, 0x10000000u);
  ASSERT_EQ(session_.calls.size(), 4u);
  const char* const names[] = {"ScorixExtensionVersion", "ScorixExtensionInit",
                               "ScorixExtensionEnumerate", "ScorixExtensionGetMenuStatus"};
  const int bytes[] = {4, 8, 12, 4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(session_.calls[i].name, names[i]);
    EXPECT_EQ(session_.calls[i].argument_bytes, bytes[i]) << names[i];
    EXPECT_EQ(session_.calls[i].removed_bytes, Removed(bytes[i])) << names[i];
  }
  EXPECT_EQ(session_.calls[0].result, 0x10000000u);
}

TEST_F(PluginDriverTest, AnnounceReadsTheMenuItemAndTheInitFlags) {
  LoadShippedPlugin();
  driver_.Announce(&session_);
  EXPECT_EQ(session_.flags_after_init, 1ul);
  EXPECT_EQ(session_.menu_status, 1);
  EXPECT_TRUE(session_.item.offered);
  EXPECT_EQ(session_.item.title, "QX Alphabetizer");
  EXPECT_EQ(session_.item.description, "Sorts the custom categories alphabetically.");
  EXPECT_EQ(session_.item.short_name, "Alphabetizer");
  EXPECT_EQ(session_.item.reserved1, 0u);
  EXPECT_EQ(session_.item.reserved2, 0u);
}

TEST_F(PluginDriverTest, InvokeHandsTheHostWindowToTheBox) {
  LoadShippedPlugin();
  desktop().QueueAnswer(IDNO);
  const HWND owner = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(driver_.Invoke(owner, &session_), 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].owner, owner);
  ASSERT_EQ(session_.calls.size(), 1u);
  EXPECT_EQ(session_.calls[0].removed_bytes, Removed(16));
  EXPECT_EQ(session_.invoke_result, 0);
}

TEST_F(PluginDriverTest, CallsAfterUnloadAreNotMade) {
  LoadShippedPlugin();
  driver_.Unload();
  driver_.Terminate(&session_);
  EXPECT_TRUE(session_.calls.empty());
}

}  // namespace
