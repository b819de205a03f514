// The six functions the host calls in the plug-in.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <new>
#include <string>

#include "plugin/entry_points.h"
#include "tests/support/sim_fixture.h"
#include "vaz/vaz.h"

namespace {

using EntryPoints = SimHostTest;

const char kExpectedConfirmation[] =
    "This plug-in will sort the custom categories alphabetically.\n\nHOWEVER, it will NOT sort "
    "the Score Lists for the categories! So, if you have any Score Lists attached to your custom "
    "categories, you need to MANUALLY reconnect the Score Lists to the categories after the "
    "sorting.\n\nContinue?";

// --- Version, Init, GetMenuStatus, Terminate ---

// Words above 2^31 included: the version is unsigned, and on 64-bit builds it must come back
// unchanged, not sign-extended into the upper half of the word.
TEST_F(EntryPoints, VersionAnswersTheWordAndTheFrameworkSeesIt) {
  EXPECT_EQ(RunningScorixVersion, 0x0F000200u);  // before the host reports anything
  for (std::uint32_t word : {0x0F000200u, 0x10000000u, 0x0AFFFFFFu, 0u, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(ScorixExtensionVersion(word), std::uintptr_t{word});
    EXPECT_EQ(RunningScorixVersion, word);
  }
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(EntryPoints, InitSetsBitZeroAndKeepsTheOthers) {
  std::uint32_t flags = 0x00000006;
  EXPECT_EQ(ScorixExtensionInit(0, &flags), 1);
  EXPECT_EQ(flags, 0x00000007u);
  flags = 0xFFFFFFFE;
  EXPECT_EQ(ScorixExtensionInit(0, &flags), 1);
  EXPECT_EQ(flags, 0xFFFFFFFFu);
  flags = 1;
  EXPECT_EQ(ScorixExtensionInit(0, &flags), 1);
  EXPECT_EQ(flags, 1u);
}

TEST_F(EntryPoints, InitWithoutAFlagWordWritesNothingAndAnswersOne) {
  EXPECT_EQ(ScorixExtensionInit(0, nullptr), 1);
}

TEST_F(EntryPoints, GetMenuStatusAnswersOneForAnyArgument) {
  for (std::int32_t argument : {0, 1, -1, 0x7FFFFFFF})
    EXPECT_EQ(ScorixExtensionGetMenuStatus(argument), 1);
}

TEST_F(EntryPoints, TerminateDoesNothing) {
  ScorixExtensionVersion(0x10000000);
  ScorixExtensionTerminate(0);
  EXPECT_EQ(RunningScorixVersion, 0x10000000u);
  EXPECT_TRUE(host().Calls().empty());
  EXPECT_TRUE(desktop().Boxes().empty());
  EXPECT_TRUE(desktop().Events().empty());
}

// --- Enumerate ---

// The host's record with room to spare, so that a write past the 196 bytes shows.
class Enumerate : public SimHostTest {
 protected:
  static constexpr std::size_t kFilled = 196;
  static constexpr unsigned char kUntouched = 0xCC;

  Enumerate() { buffer_.fill(kUntouched); }

  ScorixMenuItemRecord* record() { return reinterpret_cast<ScorixMenuItemRecord*>(buffer_.data()); }
  const std::array<unsigned char, 200>& bytes() const { return buffer_; }

  // The record as the host must find it after a fill, built from the layout and nothing else.
  static std::array<unsigned char, 200> FilledImage() {
    std::array<unsigned char, 200> image;
    image.fill(kUntouched);
    std::memset(image.data(), 0, kFilled);
    std::memcpy(image.data() + 0, "QX Alphabetizer", 15);
    std::memcpy(image.data() + 64, "Sorts the custom categories alphabetically.", 43);
    std::memcpy(image.data() + 128, "Alphabetizer", 12);
    return image;
  }

  static std::array<unsigned char, 200> UntouchedImage() {
    std::array<unsigned char, 200> image;
    image.fill(kUntouched);
    return image;
  }

 private:
  std::array<unsigned char, 200> buffer_;
};

TEST_F(Enumerate, IndexZeroFillsExactly196Bytes) {
  EXPECT_EQ(ScorixExtensionEnumerate(0, 0, record()), 1);
  EXPECT_EQ(bytes(), FilledImage());
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(Enumerate, IndexAboveZeroAnswersZeroAndLeavesTheRecord) {
  for (std::int32_t index : {1, 2, 0x7FFF, 0x00010001}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ScorixExtensionEnumerate(0, index, record()), 0);
    EXPECT_EQ(bytes(), UntouchedImage());
  }
}

TEST_F(Enumerate, NegativeIndexFillsAsIndexZero) {
  for (std::int32_t index : {-1, -32768, 0xFFFF, 0x8000}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(ScorixExtensionEnumerate(0, index, record()), 1);
    EXPECT_EQ(bytes(), FilledImage());
  }
}

TEST_F(Enumerate, OnlyTheLowSixteenBitsOfTheIndexCount) {
  EXPECT_EQ(ScorixExtensionEnumerate(0, 0x00010000, record()), 1);
  EXPECT_EQ(bytes(), FilledImage());
}

#if INTPTR_MAX > INT32_MAX
// On 64-bit builds the index word is 64 bits wide; still only its low 16 bits count, whatever the
// upper half holds.
TEST_F(Enumerate, OnlyTheLowSixteenBitsOfAWideIndexWordCount) {
  const auto wide = [](std::uint64_t bits) {
    return static_cast<std::intptr_t>(static_cast<std::uintptr_t>(bits));
  };
  EXPECT_EQ(ScorixExtensionEnumerate(0, wide(0x0000000100000001ull), record()), 0);
  EXPECT_EQ(bytes(), UntouchedImage());
  EXPECT_EQ(ScorixExtensionEnumerate(0, wide(0x7FFFFFFF00000000ull), record()), 1);
  EXPECT_EQ(bytes(), FilledImage());
  EXPECT_EQ(ScorixExtensionEnumerate(0, wide(0x000000000000FFFFull), record()), 1);
}
#endif

TEST_F(Enumerate, RefillOverwritesAnEarlierItem) {
  std::memset(record(), 'x', kFilled);
  EXPECT_EQ(ScorixExtensionEnumerate(0, 0, record()), 1);
  EXPECT_EQ(bytes(), FilledImage());
}

TEST_F(Enumerate, NullRecordAnswersZero) {
  EXPECT_EQ(ScorixExtensionEnumerate(0, 0, nullptr), 0);
}

// --- Invoke ---

class Invoke : public SimHostTest {
 protected:
  static HWND HostWindow() { return reinterpret_cast<HWND>(0x00450000); }
};

TEST_F(Invoke, AsksTheUserWithAWarningOwnedByTheHostWindow) {
  desktop().QueueAnswer(IDNO);
  ScorixExtensionInvoke(HostWindow(), 0, 0, 0);
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  const hostsim::BoxRecord& box = desktop().Boxes()[0];
  EXPECT_EQ(box.owner, HostWindow());
  EXPECT_EQ(box.text, kExpectedConfirmation);
  EXPECT_EQ(box.caption, "Alphabetizer WARNING");
  EXPECT_EQ(box.style, 0x34u);
}

TEST_F(Invoke, NoAnswersZeroWithoutAHostCall) {
  desktop().QueueAnswer(IDNO);
  EXPECT_EQ(ScorixExtensionInvoke(HostWindow(), 0, 0, 0), 0);
  EXPECT_TRUE(host().Calls().empty());
}

// A box that cannot be shown is no consent to change the score.
TEST_F(Invoke, FailedBoxAnswersZeroWithoutAHostCall) {
  EXPECT_EQ(ScorixExtensionInvoke(HostWindow(), 0, 0, 0), 0);  // nothing queued: the box fails
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].answer, 0);
  EXPECT_TRUE(host().Calls().empty());
}

TEST_F(Invoke, YesRunsTheCommandAndAnswersOne) {
  desktop().QueueAnswer(IDYES);
  EXPECT_EQ(ScorixExtensionInvoke(HostWindow(), 0, 0, 0), 1);
  ASSERT_FALSE(desktop().Boxes().empty());
  EXPECT_EQ(desktop().Boxes()[0].caption, "Alphabetizer WARNING");
  EXPECT_EQ(desktop().Boxes()[0].answer, IDYES);
}

// A desktop whose message box fails with an exception, as a box may when memory runs out.
class ThrowingDesktop : public hostsim::ScriptedDesktop {
 public:
  int MessageBox(HWND, const char*, const char*, UINT) override { throw std::bad_alloc(); }
};

TEST_F(Invoke, ExceptionDuringTheConfirmationDoesNotReachTheHost) {
  ThrowingDesktop throwing;
  platform::Desktop* previous = platform::SetDesktop(&throwing);
  std::int32_t answer = -1;
  EXPECT_NO_THROW(answer = ScorixExtensionInvoke(HostWindow(), 0, 0, 0));
  platform::SetDesktop(previous);
  EXPECT_EQ(answer, 0);
  EXPECT_TRUE(host().Calls().empty());
}

// Every host function throws: once the command asks the host for anything, the exception must
// stop at the export, which then answers that the work failed.
TEST_F(Invoke, ExceptionInsideTheCommandDoesNotReachTheHost) {
  int attempted_host_calls = 0;
  for (int id = 0; id < hostsim::kExportCount; ++id) {
    host().SetBehavior(hostsim::ExportName(static_cast<hostsim::ExportId>(id)),
                       [&attempted_host_calls](const hostsim::Word*) -> hostsim::Word {
                         ++attempted_host_calls;
                         throw std::bad_alloc();
                       });
  }
  desktop().QueueAnswer(IDYES);
  std::int32_t answer = -1;
  EXPECT_NO_THROW(answer = ScorixExtensionInvoke(HostWindow(), 0, 0, 0));
  EXPECT_EQ(answer, attempted_host_calls > 0 ? 0 : 1);
}

}  // namespace
