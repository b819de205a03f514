// The cleaning every frame undergoes before it goes back to the host, and the frame calls that
// run it, on frames whose entry array ends against a page the process may not touch.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "tests/support/sim_fixture.h"
#include "tests/support/test_frames.h"
#include "vaz/vaz.h"

namespace {

namespace x = vaz::exentry;
using Bytes = std::vector<unsigned char>;

std::int16_t Id(TestFrame& frame, int entry, int slot) {
  return vaz::ReadField<std::int16_t>(frame.Note(entry, slot), x::kNoteId);
}
std::uint32_t NoteFlags(TestFrame& frame, int entry, int slot) {
  return vaz::ReadField<std::uint32_t>(frame.Note(entry, slot), x::kNoteFlags);
}
std::int16_t Count(TestFrame& frame, int entry) {
  return vaz::ReadField<std::int16_t>(frame.Entry(entry), x::kNumNotes);
}
std::vector<std::int16_t> Ids(TestFrame& frame, int entry) {
  std::vector<std::int16_t> ids;
  for (int slot = 0; slot < Count(frame, entry); ++slot) ids.push_back(Id(frame, entry, slot));
  return ids;
}
bool SlotsZeroFrom(TestFrame& frame, int entry, int first) {
  for (int slot = first; slot < 12; ++slot) {
    const unsigned char* note = frame.Note(entry, slot);
    if (std::any_of(note, note + x::kNoteSize, [](unsigned char b) { return b != 0; }))
      return false;
  }
  return true;
}

TEST(CleanTGF, TheExamplesOfTheRenumbering) {
  TestFrame frame(4);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {1, 2, 3});
  frame.SetNotes(1, {5, 5, 5});
  frame.SetNotes(2, {0, 0});
  frame.SetNotes(3, {0, 2, 0});
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(Ids(frame, 0), (std::vector<std::int16_t>{1, 2, 3}));
  EXPECT_EQ(Ids(frame, 1), (std::vector<std::int16_t>{6, 7, 5}));
  EXPECT_EQ(Ids(frame, 2), (std::vector<std::int16_t>{1, 2}));
  EXPECT_EQ(Ids(frame, 3), (std::vector<std::int16_t>{3, 2, 4}));
  // Bits 16-20 mirror the ID; the others stay.
  EXPECT_EQ(NoteFlags(frame, 0, 1), ((0x12345678u + 2u) & ~0x001F0000u) | 0x00020000u);
  EXPECT_TRUE(SlotsZeroFrom(frame, 0, 3));
}

TEST(CleanTGF, OnlyTheLowFiveBitsOfAnIdAreMirrored) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {33});
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(NoteFlags(frame, 0, 0) & 0x001F0000u, 0x00010000u);
}

TEST(CleanTGF, TwelveNotesKeepEverySlot) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  const Bytes before(frame.Entry(0), frame.Entry(0) + x::kSize);
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(Ids(frame, 0).size(), 12u);
  for (int slot = 0; slot < 12; ++slot) {
    const unsigned char* was = before.data() + x::kNotes + slot * x::kNoteSize;
    const unsigned char* now = frame.Note(0, slot);
    EXPECT_TRUE(std::equal(was, was + x::kNoteFlags, now)) << slot;  // nothing zeroed
    EXPECT_EQ(vaz::ReadField<std::uint32_t>(was, x::kNoteFlags) & ~0x001F0000u,
              NoteFlags(frame, 0, slot) & ~0x001F0000u);
  }
}

TEST(CleanTGF, ARestGetsAPlaceholderNoteAndASecondRunNumbersIt) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  std::memset(frame.Note(0, 0), 0x77, 12 * x::kNoteSize);
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(Count(frame, 0), 1);
  EXPECT_NE(vaz::ReadField<std::uint32_t>(frame.Entry(0), x::kFlags) & x::kRestNoteRecord, 0u);
  EXPECT_EQ(Id(frame, 0, 0), 0);
  EXPECT_EQ(NoteFlags(frame, 0, 0), 0x80000000u);
  EXPECT_TRUE(SlotsZeroFrom(frame, 0, 1));
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(Id(frame, 0, 0), 1);
  EXPECT_EQ(NoteFlags(frame, 0, 0), 0x80010000u);
}

TEST(CleanTGF, WithoutRestRecordsARestStaysARest) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  CanAddNoteRecordToRests = false;
  CleanTGF(frame.Frame(), true);
  CanAddNoteRecordToRests = true;
  EXPECT_EQ(Count(frame, 0), 0);
  EXPECT_EQ(vaz::ReadField<std::uint32_t>(frame.Entry(0), x::kFlags) & x::kRestNoteRecord, 0u);
}

TEST(CleanTGF, AFrameWithoutEntriesOrWithoutAnArrayIsLeftAlone) {
  TestFrame frame(2);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {0, 0});
  frame.SetCount(0);
  Bytes before = frame.Bytes();
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(frame.Bytes(), before);
  frame.SetCount(-3);
  before = frame.Bytes();
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(frame.Bytes(), before);
  frame.SetCount(2);
  vaz::WriteAddressField(frame.Header(), kFrameEntriesOffset, nullptr);
  before = frame.Bytes();
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(frame.Bytes(), before);
  CleanTGF(nullptr, true);
}

// An entry whose count lies outside the twelve slots is the host's mistake: none of its bytes,
// and none of its neighbours', is written. The last entry ends against a page the process may not
// touch, so a count above 12 that reached `position`, `clef` or past the array would fault.
TEST(CleanTGF, HostileNoteCountsTouchNothing) {
  for (const std::int16_t count :
       {std::int16_t{13}, std::int16_t{200}, std::int16_t{-1}, std::int16_t{-32768}}) {
    SCOPED_TRACE(count);
    TestFrame frame(2);
    ASSERT_TRUE(frame.Ready());
    frame.SetNotes(0, {0, 0});  // a neighbour that cleaning does change
    std::memset(frame.Note(1, 0), 0x5A, 12 * x::kNoteSize);
    std::memset(frame.Entry(1) + x::kPosition, 0x6B, x::kSize - x::kPosition);
    vaz::WriteField<std::int16_t>(frame.Entry(1), x::kNumNotes, count);
    const Bytes before(frame.Entry(1), frame.Entry(1) + x::kSize);
    CleanTGF(frame.Frame(), true);
    EXPECT_EQ(Bytes(frame.Entry(1), frame.Entry(1) + x::kSize), before);
    EXPECT_EQ(Ids(frame, 0), (std::vector<std::int16_t>{1, 2}));
  }
}

TEST(CleanTGF, IdsNearTheTopTakeTheSmallestUnusedInsteadOfWrapping) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {32767, 32767, 1});
  CleanTGF(frame.Frame(), true);
  EXPECT_EQ(Ids(frame, 0), (std::vector<std::int16_t>{2, 32767, 1}));
}

// Random valid frames: after cleaning, IDs unique and non-zero, mirrored, slots from the count on
// zero, every byte the cleaning does not own unchanged; and a third run changes nothing a second
// did not.
TEST(CleanTGF, RandomFramesComeOutCleanAndStayClean) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    const int entries = 1 + static_cast<int>(random() % 6);
    TestFrame frame(entries);
    ASSERT_TRUE(frame.Ready());
    for (int e = 0; e < entries; ++e) {
      unsigned char* record = frame.Entry(e);
      for (std::size_t b = 0; b < x::kSize; ++b) record[b] = static_cast<unsigned char>(random());
      std::vector<std::int16_t> ids(1 + random() % 12);
      for (auto& id : ids) id = static_cast<std::int16_t>(random() % 5);
      frame.SetNotes(e, ids, static_cast<unsigned>(random()));
    }
    const Bytes before = frame.Bytes();
    CleanTGF(frame.Frame(), true);
    const Bytes after = frame.Bytes();
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + TestFrame::kHeaderSize, after.begin()));
    for (int e = 0; e < entries; ++e) {
      const int n = Count(frame, e);
      std::set<std::int16_t> seen;
      for (int slot = 0; slot < n; ++slot) {
        const std::int16_t id = Id(frame, e, slot);
        EXPECT_GT(id, 0);
        EXPECT_TRUE(seen.insert(id).second);
        EXPECT_EQ((NoteFlags(frame, e, slot) >> 16) & 0x1F, static_cast<std::uint32_t>(id) & 0x1F);
      }
      EXPECT_TRUE(SlotsZeroFrom(frame, e, n));
      // Bytes outside the note slots are not the cleaning's.
      const std::size_t offset = TestFrame::kHeaderSize + static_cast<std::size_t>(e) * x::kSize;
      EXPECT_TRUE(std::equal(before.begin() + offset, before.begin() + offset + x::kNotes,
                             after.begin() + offset));
      EXPECT_TRUE(std::equal(before.begin() + offset + x::kPosition,
                             before.begin() + offset + x::kSize,
                             after.begin() + offset + x::kPosition));
    }
    CleanTGF(frame.Frame(), true);
    const Bytes twice = frame.Bytes();
    CleanTGF(frame.Frame(), true);
    EXPECT_EQ(frame.Bytes(), twice);
  }
}

class FrameCalls : public SimHostTest {};

// The host sees a cleaned frame when it saves, inserts, deletes or reduces, and the one it lent
// when it measures: each call is checked at the moment the host receives it.
TEST_F(FrameCalls, TheHostSeesTheFrameCleanedOnlyWhereItMustBe) {
  TestFrame frame(1);
  ASSERT_TRUE(frame.Ready());
  frame.SetNotes(0, {4, 4});
  std::vector<std::vector<std::int16_t>> seen;
  auto spy = [&frame, &seen](const hostsim::Word*) -> hostsim::Word {
    seen.push_back(Ids(frame, 0));
    return 1;
  };
  host().SetBehavior("FX_GetTGFDuration", spy);
  host().SetBehavior("FX_SaveTGF", spy);
  FX_GetTGFDuration(reinterpret_cast<std::intptr_t>(frame.Frame()), kScorixApiVersion);
  FX_SaveTGF(frame.Frame(), kScorixApiVersion);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::vector<std::int16_t>{4, 4}));
  EXPECT_EQ(seen[1], (std::vector<std::int16_t>{5, 4}));
  for (const char* name : {"FX_InsertEXENTRY", "FX_DeleteEXENTRY", "FX_ReduceEntries"}) {
    frame.SetNotes(0, {0});
    host().SetBehavior(name, spy);
    if (std::string(name) == "FX_InsertEXENTRY")
      FX_InsertEXENTRY(frame.Frame(), 0, 1, kScorixApiVersion);
    if (std::string(name) == "FX_DeleteEXENTRY")
      FX_DeleteEXENTRY(frame.Frame(), 0, 1, kScorixApiVersion);
    if (std::string(name) == "FX_ReduceEntries") FX_ReduceEntries(frame.Frame(), kScorixApiVersion);
    EXPECT_EQ(seen.back(), (std::vector<std::int16_t>{1})) << name;
  }
}

TEST_F(FrameCalls, ANullFrameIsStillForwardedAndMinusOneStaysMinusOne) {
  host().SetResult("FX_SaveTGF", 0);
  host().SetResult("FX_ReduceEntries", 0xFFFFFFFFu);
  EXPECT_EQ(FX_SaveTGF(nullptr, kScorixApiVersion), 0);
  EXPECT_EQ(FX_ReduceEntries(nullptr, kScorixApiVersion), -1);
  EXPECT_EQ(host().CountCalls("FX_SaveTGF"), 1);
}

}  // namespace
