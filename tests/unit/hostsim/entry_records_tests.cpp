// Entry records as the simulated host reads them: fields at any address, the host's test of a
// cleaned entry (every kind of uncleaned entry named, a cleaned one passed), and the host's own
// copy of the cleaning, which it uses to tell a frame cleaned too soon.
#include "hostsim/entry_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

// An entry whose notes have the given IDs, each note's flags mirroring its ID, the other slots
// zero: what a cleaned frame holds.
Bytes EntryWithIds(const std::vector<std::int16_t>& ids, std::uint32_t flags = 0x40000000) {
  Bytes entry(entry_record::kSize, 0);
  WriteU32(entry.data() + entry_record::kFlags, flags);
  WriteU16(entry.data() + entry_record::kNoteCount, static_cast<std::uint16_t>(ids.size()));
  for (std::size_t slot = 0; slot < ids.size(); ++slot) {
    NoteFields note;
    note.displacement = static_cast<std::int16_t>(slot * 2);
    note.note_id = ids[slot];
    note.note_flags = IdMirrorBits(ids[slot]);
    WriteNote(entry.data(), slot, note);
  }
  return entry;
}

std::vector<std::int16_t> IdsOf(const Bytes& entry) {
  std::vector<std::int16_t> ids;
  const std::int16_t count = ReadS16(entry.data() + entry_record::kNoteCount);
  for (std::int16_t slot = 0; slot < count && slot < 12; ++slot) {
    ids.push_back(ReadNote(entry.data(), static_cast<std::size_t>(slot)).note_id);
  }
  return ids;
}

TEST(EntryFields, AreLittleEndianAtOddAddresses) {
  std::uint8_t bytes[9] = {};
  WriteU32(bytes + 1, 0x80402010u);
  WriteU16(bytes + 6, 0xFFFE);
  EXPECT_EQ(bytes[1], 0x10);
  EXPECT_EQ(bytes[4], 0x80);
  EXPECT_EQ(ReadU32(bytes + 1), 0x80402010u);
  EXPECT_EQ(ReadS32(bytes + 1), static_cast<std::int32_t>(0x80402010u));
  EXPECT_EQ(ReadS16(bytes + 6), -2);
  EXPECT_EQ(bytes[5], 0) << "nothing written between the fields";
  EXPECT_EQ(bytes[8], 0);
}

TEST(EntryFields, NoteSlotsLieTenBytesApartFromByteSixteen) {
  Bytes entry(entry_record::kSize, 0);
  NoteFields note;
  note.displacement = -3;
  note.raise_lower = 1;
  note.note_id = 0x1234;
  note.note_flags = 0x80050000;
  WriteNote(entry.data(), 11, note);
  EXPECT_EQ(ReadS16(entry.data() + 126), -3);
  EXPECT_EQ(ReadS16(entry.data() + 128), 1);
  EXPECT_EQ(ReadS16(entry.data() + 130), 0x1234);
  EXPECT_EQ(ReadU32(entry.data() + 132), 0x80050000u);
  EXPECT_EQ(ReadU32(entry.data() + entry_record::kPosition), 0u) << "slot 11 ends before byte 136";
}

TEST(WhyNotCleaned, PassesCleanedEntries) {
  EXPECT_EQ(WhyNotCleaned(EntryWithIds({1}).data()), "");
  EXPECT_EQ(WhyNotCleaned(EntryWithIds({3, 1, 2}).data()), "");
  EXPECT_EQ(WhyNotCleaned(EntryWithIds({-5, 33}).data()), "") << "negative IDs are left alone";
  std::vector<std::int16_t> twelve;
  for (std::int16_t id = 1; id <= 12; ++id) twelve.push_back(id);
  EXPECT_EQ(WhyNotCleaned(EntryWithIds(twelve).data()), "");
}

TEST(WhyNotCleaned, PassesARestGivenItsPlaceholderAndOnceMoreCleaned) {
  Bytes rest = EntryWithIds({}, 0);
  CleanEntries(&rest);
  EXPECT_EQ(ReadS16(rest.data() + entry_record::kNoteCount), 1);
  EXPECT_EQ(WhyNotCleaned(rest.data()), "");
  CleanEntries(&rest);
  EXPECT_EQ(ReadNote(rest.data(), 0).note_id, 1);
  EXPECT_EQ(ReadNote(rest.data(), 0).note_flags, 0x80010000u);
  EXPECT_EQ(WhyNotCleaned(rest.data()), "");
}

struct UncleanedCase {
  const char* name;
  Bytes entry;
  const char* why;
};

Bytes WithNoteFlags(Bytes entry, std::size_t slot, std::uint32_t flags) {
  NoteFields note = ReadNote(entry.data(), slot);
  note.note_flags = flags;
  WriteNote(entry.data(), slot, note);
  return entry;
}

Bytes WithByte(Bytes entry, std::size_t offset, std::uint8_t value) {
  entry[offset] = value;
  return entry;
}

// A placeholder rest without the entry's placeholder bit, or with a note that is not all zero.
Bytes Placeholder(std::uint32_t entry_flags, std::int16_t displacement) {
  Bytes entry = EntryWithIds({0}, entry_flags);
  NoteFields note;
  note.displacement = displacement;
  note.note_flags = note_record::kNewNote;
  WriteNote(entry.data(), 0, note);
  return entry;
}

class WhyNotCleanedCatches : public ::testing::TestWithParam<UncleanedCase> {};

TEST_P(WhyNotCleanedCatches, EachKindOfUncleanedEntry) {
  EXPECT_THAT(WhyNotCleaned(GetParam().entry.data()), HasSubstr(GetParam().why));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WhyNotCleanedCatches,
    ::testing::Values(
        UncleanedCase{"ZeroId", EntryWithIds({1, 0}), "note 1 has ID 0"},
        UncleanedCase{"SharedId", EntryWithIds({4, 2, 4}), "notes 0 and 2 share ID 4"},
        UncleanedCase{"UnmirroredId", WithNoteFlags(EntryWithIds({1, 2}), 1, 0x80000000),
                      "note 1 (ID 2) has 0 in bits 16-20 of its flags, not 2"},
        UncleanedCase{"MirrorShiftedOnePlace", WithNoteFlags(EntryWithIds({33}), 0, 0x80200000),
                      "note 0 (ID 33) has 0 in bits 16-20 of its flags, not 1"},
        UncleanedCase{"SlotPastTheNotes", WithByte(EntryWithIds({1, 2}), 16 + 10 * 2 + 9, 1),
                      "note slot 2 (beyond the 2 notes in use) is not zero"},
        UncleanedCase{"LastSlot", WithByte(EntryWithIds({1}), 16 + 10 * 11, 0x80), "note slot 11"},
        UncleanedCase{"RestWithoutPlaceholder", EntryWithIds({}, 0), "no note record"},
        UncleanedCase{"PlaceholderWithoutItsBit", Placeholder(0, 0), "note 0 has ID 0"},
        UncleanedCase{"PlaceholderNotZero", Placeholder(0x01000000, 3), "note 0 has ID 0"}),
    [](const ::testing::TestParamInfo<UncleanedCase>& info) { return info.param.name; });

// ID 33 mirrors as 1: the higher bits of an ID never reach the flags.
TEST(WhyNotCleaned, MirrorsOnlyTheLowFiveBits) {
  EXPECT_EQ(WhyNotCleaned(WithNoteFlags(EntryWithIds({33}), 0, 0x80010000).data()), "");
}

TEST(WhyNotCleaned, LeavesCountsOutsideZeroToTwelveAlone) {
  for (const std::int16_t count : {13, 200, -1, -32768}) {
    Bytes entry(entry_record::kSize, 0xEE);
    WriteU16(entry.data() + entry_record::kNoteCount, static_cast<std::uint16_t>(count));
    EXPECT_EQ(WhyNotCleaned(entry.data()), "") << count;
  }
}

TEST(CleanEntries, RenumbersEarlierDuplicatesPastTheHighest) {
  Bytes entries = EntryWithIds({5, 5, 5});
  const Bytes zeros = EntryWithIds({0, 0});
  const Bytes mixed = EntryWithIds({0, 2, 0});
  entries.insert(entries.end(), zeros.begin(), zeros.end());
  entries.insert(entries.end(), mixed.begin(), mixed.end());
  CleanEntries(&entries);
  const auto entry = [&](std::size_t i) {
    return Bytes(entries.begin() + static_cast<std::ptrdiff_t>(i * entry_record::kSize),
                 entries.begin() + static_cast<std::ptrdiff_t>((i + 1) * entry_record::kSize));
  };
  EXPECT_EQ(IdsOf(entry(0)), (std::vector<std::int16_t>{6, 7, 5}));
  EXPECT_EQ(IdsOf(entry(1)), (std::vector<std::int16_t>{1, 2}));
  EXPECT_EQ(IdsOf(entry(2)), (std::vector<std::int16_t>{3, 2, 4}));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(WhyNotCleaned(entry(i).data()), "") << i;
}

TEST(CleanEntries, KeepsEveryByteItDoesNotOwn) {
  Bytes entry = EntryWithIds({1, 2});
  for (const std::size_t offset : {0u, 4u, 6u, 8u, 12u, 136u, 140u, 144u}) entry[offset] = 0x5A;
  const Bytes before = entry;
  CleanEntries(&entry);
  EXPECT_EQ(entry, before) << "an entry already cleaned is not changed";
}

TEST(CleanEntries, LeavesHostileCountsUntouched) {
  Bytes entry(entry_record::kSize, 0xEE);
  WriteU16(entry.data() + entry_record::kNoteCount, 13);
  const Bytes before = entry;
  CleanEntries(&entry);
  EXPECT_EQ(entry, before);
}

TEST(DescribeNotes, ListsDisplacementRaiseLowerAndId) {
  Bytes entry = EntryWithIds({3, 1});
  NoteFields note = ReadNote(entry.data(), 1);
  note.displacement = -7;
  note.raise_lower = -1;
  WriteNote(entry.data(), 1, note);
  EXPECT_EQ(DescribeNotes(entry.data()), "0 (r/l 0) id 3; -7 (r/l -1) id 1");
  EXPECT_EQ(DescribeNotes(EntryWithIds({}, 0).data()), "none");
  WriteU16(entry.data() + entry_record::kNoteCount, static_cast<std::uint16_t>(-1));
  EXPECT_EQ(DescribeNotes(entry.data()), "(numnotes -1: outside 0 to 12)");
}

TEST(CleanEntries, IsIdempotentOnceRestsHaveTheirIds) {
  Bytes entries = EntryWithIds({0, 0, 9});
  const Bytes rest = EntryWithIds({}, 0);
  entries.insert(entries.end(), rest.begin(), rest.end());
  CleanEntries(&entries);
  CleanEntries(&entries);
  const Bytes twice = entries;
  CleanEntries(&entries);
  EXPECT_EQ(entries, twice);
  EXPECT_THAT(WhyNotCleaned(entries.data() + entry_record::kSize), IsEmpty());
}

}  // namespace
}  // namespace hostsim
