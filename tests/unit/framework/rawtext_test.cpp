// Text records of varying length: loaded at the size the host reports, handed out always
// terminated, and written back exactly as the block holds them.
#include "framework/rawtext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "tests/unit/framework/framework_test_support.h"

namespace {

using hostsim::Bytes;
using hostsim::Word;

// A concrete text record class, as a plug-in would write one.
class TestText : public FCRawText {
 public:
  static constexpr std::uint32_t kTag = 0x62747874;  // 'btxt'
  using FCRawText::FCRawText;
  std::uint32_t Tag() override { return kTag; }
  __FCBaseData* CreateObject(std::uint32_t version) override { return new TestText(version); }
  bool LoadFirst() override { return Load(1); }
  std::int32_t BlockSize() const { return _blocksize; }
};

Bytes TextBytes(const std::string& text, bool terminated) {
  Bytes bytes(text.begin(), text.end());
  if (terminated) bytes.push_back(0);
  return bytes;
}

class RawTextTest : public FrameworkTest {
 protected:
  void PutText(std::int16_t number, const Bytes& bytes) {
    host().Records().Put(TestText::kTag, hostsim::ItemIdentity(number), bytes);
  }
  Bytes StoredText(std::int16_t number) {
    return Stored(TestText::kTag, static_cast<std::uint16_t>(number));
  }
  // Size queries are loads with a null buffer.
  int SizeQueries() const {
    int count = 0;
    for (const auto& call : host().Calls()) {
      if (call.name == "FX_LoadEData" && call.args[2] == 0) ++count;
    }
    return count;
  }
  // Answers size queries of the text tag with `claimed` and delivers like the host otherwise.
  void ClaimSize(std::int32_t claimed) {
    host().SetBehavior("FX_LoadEData", [claimed](const Word* args) -> Word {
      auto* size = reinterpret_cast<std::int32_t*>(args[3]);
      if (args[2] == 0) {
        *size = claimed;
        return 1;
      }
      const std::int32_t capacity = *size;
      *size = std::min<std::int32_t>(capacity, 5);
      std::memset(reinterpret_cast<void*>(args[2]), 'x', static_cast<std::size_t>(*size));
      return 1;
    });
  }
};

TEST_F(RawTextTest, TerminatedUnterminatedAndEmptyTextsRoundTripByteForByte) {
  const Bytes terminated = TextBytes("Allegro ma non troppo", true);
  const Bytes unterminated = TextBytes("dolce", false);
  PutText(1, terminated);
  PutText(2, unterminated);
  PutText(3, Bytes());
  TestText text;
  ASSERT_TRUE(text.Load(1));
  EXPECT_STREQ(text.GetText(), "Allegro ma non troppo");
  EXPECT_TRUE(text.Save());
  EXPECT_EQ(StoredText(1), terminated);

  ASSERT_TRUE(text.Load(2));
  EXPECT_STREQ(text.GetText(), "dolce");  // ended by our own zero byte, not the host's
  EXPECT_EQ(text.GetLoadedSize(), 5);
  EXPECT_TRUE(text.Save());
  EXPECT_EQ(StoredText(2), unterminated);  // no terminator added to the host's record

  ASSERT_TRUE(text.Load(3));
  EXPECT_STREQ(text.GetText(), "");
  // Nothing was delivered, so there is nothing to write: no "success" of zero bytes.
  host().ClearCalls();
  EXPECT_FALSE(text.Save());
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(StoredText(3), Bytes());
}

TEST_F(RawTextTest, EachLoadAsksTheSizeOnceAndOffersThatCapacity) {
  PutText(1, TextBytes("pesante", true));
  PutText(2, TextBytes("a tempo", true));
  TestText text;
  ASSERT_TRUE(text.Load(1));
  EXPECT_EQ(SizeQueries(), 1);
  const auto& load = host().Calls().back();
  ASSERT_NE(load.args[2], 0u);
  EXPECT_EQ(load.args[4], kScorixApiVersion);
  ASSERT_TRUE(text.LoadNext());
  EXPECT_EQ(SizeQueries(), 2);
  EXPECT_STREQ(text.GetText(), "a tempo");
}

// The host reports another size at every second query: each load asks once, so the block it
// allocates is the capacity it offers, and what it holds is what was delivered.
TEST_F(RawTextTest, ASizeThatChangesBetweenQueriesCannotSplitALoad) {
  const Bytes stored = TextBytes("crescendo poco a poco", true);
  PutText(1, stored);
  host().ChangeSizeBetweenQueries(TestText::kTag, 9);
  TestText text;
  for (int load = 0; load < 4; ++load) {
    SCOPED_TRACE(load);
    ASSERT_TRUE(text.Load(1));
    EXPECT_STREQ(text.GetText(), "crescendo poco a poco");
    EXPECT_EQ(text.GetLoadedSize(), static_cast<std::int32_t>(stored.size()));
    ASSERT_TRUE(text.Save());
    EXPECT_EQ(StoredText(1), stored);
  }
  EXPECT_EQ(SizeQueries(), 4);
}

TEST_F(RawTextTest, SizeQueryCarriesTheApiVersionWhateverTheObjects) {
  PutText(1, TextBytes("rit.", true));
  TestText text(0x0A000000);
  ASSERT_TRUE(text.Load(1));
  const auto& calls = host().Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].args[4], kScorixApiVersion);  // the size query
  EXPECT_EQ(calls[1].args[4], 0x0A000000u);        // the load itself carries the object's
  EXPECT_EQ(text.DataSize(), 5);
  EXPECT_EQ(host().Calls().back().args[4], kScorixApiVersion);
  TestText missing;
  EXPECT_FALSE(missing.Load(7));
  EXPECT_EQ(missing.DataSize(), 0);
}

// The record grows between the size query and the load: the host may fill only the block asked
// for, and a claim of more is not believed.
TEST_F(RawTextTest, ASizeAboveTheCapacityIsNeverBelieved) {
  TestText text;
  host().SetBehavior("FX_LoadEData", [](const Word* args) -> Word {
    auto* size = reinterpret_cast<std::int32_t*>(args[3]);
    if (args[2] == 0) {
      *size = 4;
      return 1;
    }
    std::memcpy(reinterpret_cast<void*>(args[2]), "abcd", static_cast<std::size_t>(*size));
    *size = 4000;  // a claim beyond the four bytes offered
    return 1;
  });
  ASSERT_TRUE(text.Load(1));
  EXPECT_EQ(text.GetLoadedSize(), 4);
  EXPECT_STREQ(text.GetText(), "abcd");
}

TEST_F(RawTextTest, AHostThatDeliversLessThanItReportedLeavesNoStrayBytes) {
  PutText(1, TextBytes("zzzzzzzzzz", true));
  ClaimSize(40);
  TestText text;
  ASSERT_TRUE(text.Load(1));
  EXPECT_EQ(text.GetLoadedSize(), 5);
  EXPECT_STREQ(text.GetText(), "xxxxx");
  ASSERT_TRUE(text.Save());
  EXPECT_EQ(StoredText(1), TextBytes("xxxxx", false));  // the five delivered bytes, no more
}

TEST_F(RawTextTest, ANegativeSizeFailsTheLoadWithoutAllocating) {
  ClaimSize(-12);
  TestText text;
  EXPECT_FALSE(text.Load(1));
  EXPECT_FALSE(text.IsLoaded());
  EXPECT_STREQ(text.GetText(), "");
  EXPECT_EQ(host().CountCalls("FX_LoadEData"), 1);  // the size query only
  EXPECT_FALSE(text.Save());
}

// A host that reports a size beyond any text record is not believed: nothing is allocated for
// it, and the load fails without asking for the bytes.
TEST_F(RawTextTest, ASizeAboveTheLargestTextFailsTheLoadWithoutAllocating) {
  for (const std::int32_t claimed : {FCRawText::kMostTextBytes + 1, INT32_MAX}) {
    SCOPED_TRACE(claimed);
    host().ClearCalls();
    ClaimSize(claimed);
    TestText text;
    EXPECT_FALSE(text.Load(1));
    EXPECT_EQ(text.GetDataBlock(), nullptr);
    EXPECT_EQ(host().CountCalls("FX_LoadEData"), 1);  // the size query only
    EXPECT_STREQ(text.GetText(), "");
    EXPECT_FALSE(text.Save());
  }
  // The largest size believed is still taken.
  ClaimSize(FCRawText::kMostTextBytes);
  TestText text;
  ASSERT_TRUE(text.Load(1));
  EXPECT_EQ(text.BlockSize(), 5);
  EXPECT_STREQ(text.GetText(), "xxxxx");
}

// The generic load of every data object sizes the block by one answer and the capacity by the
// next: a host whose first answer is the larger one gets the smaller capacity, and a save writes
// the bytes it delivered, not the zero bytes that fill the rest of the block.
TEST_F(RawTextTest, TheGenericLoadSavesOnlyTheDeliveredBytes) {
  const Bytes stored = TextBytes("rit.", true);
  PutText(1, stored);
  host().ChangeSizeBetweenQueries(TestText::kTag, 40);
  TestText text;
  ASSERT_TRUE(text.Load(1));          // its one size query answered with the stored size
  ASSERT_TRUE(text.LoadDataBlock());  // the block at 45 bytes, the capacity at 5
  EXPECT_EQ(text.GetLoadedSize(), 5);
  EXPECT_STREQ(text.GetText(), "rit.");
  host().ClearCalls();
  ASSERT_TRUE(text.Save());
  ASSERT_EQ(host().Calls().size(), 1u);
  EXPECT_EQ(host().Calls()[0].args[3], 5u);
  EXPECT_EQ(StoredText(1), stored);
  // A clone holds and saves the same bytes.
  std::unique_ptr<__FCBaseData> clone(text.CreateClone());
  ASSERT_NE(clone, nullptr);
  host().ClearCalls();
  ASSERT_TRUE(clone->Save());
  EXPECT_EQ(host().Calls()[0].args[3], 5u);
  // A text set afterwards is saved whole, terminator and all.
  text.SetText("a tempo");
  ASSERT_TRUE(text.Save());
  EXPECT_EQ(StoredText(1), TextBytes("a tempo", true));
}

TEST_F(RawTextTest, SetTextShorterOrLongerIsSavedAsSetAndClonedWhole) {
  PutText(4, TextBytes("sempre forte", true));
  for (const std::string& replacement : {std::string("p"), std::string(300, 'L')}) {
    SCOPED_TRACE(replacement.size());
    TestText text;
    ASSERT_TRUE(text.Load(4));
    text.SetText(replacement.c_str());
    EXPECT_EQ(text.GetText(), replacement);
    ASSERT_TRUE(text.Save());
    EXPECT_EQ(StoredText(4), TextBytes(replacement, true));
    std::unique_ptr<__FCBaseData> clone(text.CreateClone());
    auto* copy = dynamic_cast<TestText*>(clone.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetText(), replacement);
    EXPECT_NE(copy->GetText(), text.GetText());  // a copy, not the same block
    EXPECT_EQ(copy->GetLoadedSize(), text.GetLoadedSize());
    PutText(4, TextBytes("sempre forte", true));
    ASSERT_TRUE(copy->Save());
    EXPECT_EQ(StoredText(4), TextBytes(replacement, true));
  }
}

TEST_F(RawTextTest, SetTextOfItsOwnTextAndOfNull) {
  PutText(1, TextBytes("tranquillo", true));
  TestText text;
  ASSERT_TRUE(text.Load(1));
  text.SetText(text.GetText());
  EXPECT_STREQ(text.GetText(), "tranquillo");
  EXPECT_EQ(text.BlockSize(), 11);
  text.SetText(nullptr);
  EXPECT_STREQ(text.GetText(), "");
  ASSERT_TRUE(text.Save());
  EXPECT_EQ(StoredText(1), Bytes(1, 0));
}

TEST_F(RawTextTest, ANeverLoadedTextIsEmptyAndIsNotSaved) {
  PutText(1, TextBytes("cantabile", true));
  TestText text;
  ASSERT_NE(text.GetText(), nullptr);
  EXPECT_STREQ(text.GetText(), "");
  text.SetText("new words");
  EXPECT_EQ(text.GetLoadedSize(), 0);
  EXPECT_FALSE(text.Save());
  EXPECT_FALSE(text.SaveAs(1));
  EXPECT_EQ(host().CountCalls("FX_SaveEData"), 0);
  EXPECT_EQ(StoredText(1), TextBytes("cantabile", true));
}

TEST_F(RawTextTest, SaveAsWritesUnderTheOtherNumber) {
  PutText(1, TextBytes("one", true));
  PutText(-2, TextBytes("two", true));
  TestText text;
  ASSERT_TRUE(text.Load(1));
  ASSERT_TRUE(text.SaveAs(-2));
  EXPECT_EQ(StoredText(-2), TextBytes("one", true));
  EXPECT_EQ(StoredText(1), TextBytes("one", true));
}

TEST_F(RawTextTest, AFailedLoadKeepsTheTextTerminated) {
  PutText(1, TextBytes("legato", true));
  TestText text;
  ASSERT_TRUE(text.Load(1));
  host().FailEveryCall("FX_LoadEData");
  EXPECT_FALSE(text.Load(1));
  EXPECT_FALSE(text.IsLoaded());
  EXPECT_STREQ(text.GetText(), "");
}

TEST_F(RawTextTest, CloneOfATextWithoutStorageHasNone) {
  TestText text;
  std::unique_ptr<__FCBaseData> clone(text.CreateClone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->GetDataBlock(), nullptr);
  EXPECT_EQ(clone->GetLoadedSize(), 0);
}

}  // namespace
