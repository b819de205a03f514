#include <gtest/gtest.h>

#include <string>

#include "framework/framework.h"
#include "tests/unit/framework/framework_test_support.h"

namespace {

using Kind = hostsim::DesktopEvent::Kind;
using DiagnosticsTest = FrameworkTest;

class FCProbeObject : public __FCBase {
 public:
  const char* ClassName() override { return "FCProbeObject"; }
};

TEST(FCBaseFlags, Set16BitFlagSetsAndClearsOnlyTheMaskBits) {
  std::uint16_t word = 0x00F0;
  __FCBase::Set16BitFlag(&word, 0x0030, true);
  EXPECT_EQ(word, 0x00F0);
  __FCBase::Set16BitFlag(&word, 0x0030, false);
  EXPECT_EQ(word, 0x00C0);
  __FCBase::Set16BitFlag(&word, 0x8001, true);
  EXPECT_EQ(word, 0x80C1);
}

TEST(FCBaseFlags, Set32BitFlagReachesTheHighBits) {
  std::uint32_t word = 0x80000001u;
  __FCBase::Set32BitFlag(&word, 0x80000000u, false);
  EXPECT_EQ(word, 0x00000001u);
  __FCBase::Set32BitFlag(&word, 0x40000000u, true);
  EXPECT_EQ(word, 0x40000001u);
}

TEST_F(DiagnosticsTest, MessageBoxesHaveTheirCaptionsNoOwnerAndThePlainOkStyle) {
  __FCBase::DebugMsg("100% plain");
  __FCBase::DebugMsgDigit("Count:", -5);
  __FCBase::DebugMsgHex("Mask:", 255);
  __FCBase::DebugMsgHex("All:", -1);
  __FCBase::DebugMsgString("Name:", "Alpha");

  const auto& boxes = desktop().Boxes();
  ASSERT_EQ(boxes.size(), 5u);
  const std::pair<const char*, const char*> expected[] = {{"100% plain", "Info Message"},
                                                          {"Count: -5", "Digit Info"},
                                                          {"Mask: 0xff", "Hex Digit Info"},
                                                          {"All: 0xffffffff", "Hex Digit Info"},
                                                          {"Name: Alpha", "String Info"}};
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_EQ(boxes[i].text, expected[i].first);
    EXPECT_EQ(boxes[i].caption, expected[i].second);
    EXPECT_EQ(boxes[i].owner, nullptr);
    EXPECT_EQ(boxes[i].style, MB_OK);
  }
  EXPECT_TRUE(desktop().ConsoleText().empty());
}

TEST_F(DiagnosticsTest, FirstLineOpensTitlesAndLowersTheConsoleThenWritesTextAndLineFeed) {
  __FCBase::DebugOut("hello");

  const auto& events = desktop().Events();
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[0].kind, Kind::kAllocConsole);
  EXPECT_EQ(events[1].kind, Kind::kSetTitle);
  EXPECT_EQ(events[1].text, "Scorix VAZ Framework Console");
  EXPECT_EQ(events[2].kind, Kind::kSleep);
  EXPECT_EQ(events[2].value, 40);
  EXPECT_EQ(events[3].kind, Kind::kFindWindow);
  EXPECT_EQ(events[3].text, "Scorix VAZ Framework Console");
  EXPECT_EQ(events[4].kind, Kind::kSetWindowPos);
  EXPECT_EQ(events[4].window, HWND_BOTTOM);
  EXPECT_EQ(events[4].value, static_cast<std::int32_t>(SWP_NOSIZE | SWP_NOMOVE));
  EXPECT_EQ(events[4].text, "") << "position and size arguments must all be zero";
  EXPECT_EQ(events[5].kind, Kind::kWrite);
  EXPECT_EQ(events[5].text, "hello");
  EXPECT_EQ(events[6].kind, Kind::kWrite);
  EXPECT_EQ(events[6].text, "\n");
}

TEST_F(DiagnosticsTest, ConsoleIsAllocatedOnlyOnce) {
  __FCBase::DebugOut("one");
  __FCBase::DebugOut("two");
  EXPECT_EQ(desktop().CountEvents(Kind::kAllocConsole), 1);
  EXPECT_EQ(desktop().CountEvents(Kind::kSetTitle), 1);
  EXPECT_EQ(desktop().ConsoleText(), "one\ntwo\n");
}

TEST_F(DiagnosticsTest, FailedConsoleAttemptIsNotRepeatedAndOutputStillGoesOut) {
  desktop().SetConsoleAvailable(false);
  __FCBase::DebugOut("one");
  desktop().SetConsoleAvailable(true);
  __FCBase::DebugOut("two");

  EXPECT_EQ(desktop().CountEvents(Kind::kAllocConsole), 1);
  EXPECT_EQ(desktop().CountEvents(Kind::kSetTitle), 0);
  EXPECT_EQ(desktop().CountEvents(Kind::kSleep), 0);
  EXPECT_EQ(desktop().CountEvents(Kind::kFindWindow), 0);
  EXPECT_EQ(desktop().CountEvents(Kind::kSetWindowPos), 0);
  EXPECT_EQ(desktop().ConsoleText(), "one\ntwo\n");
}

TEST_F(DiagnosticsTest, FormattedLinesJoinLabelAndValueWithABlank) {
  __FCBase::DebugOutDigit("Loaded size: ", -104);
  __FCBase::DebugOutHex("Tag:", 0x534F4D43);
  __FCBase::DebugOutString("Name:", "Alpha");
  __FCBase::DebugOutBool("Yes:", true);
  __FCBase::DebugOutBool("No:", false);
  EXPECT_EQ(ConsoleLines(), (std::vector<std::string>{"Loaded size:  -104", "Tag: 0x534f4d43",
                                                      "Name: Alpha", "Yes: TRUE", "No: FALSE"}));
}

TEST_F(DiagnosticsTest, TextsLongerThanTheLineBufferAreCut) {
  const std::string long_text(5000, 'x');
  __FCBase::DebugOutString("Label:", long_text.c_str());
  __FCBase::DebugMsgString("Label:", long_text.c_str());

  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 1u);
  const std::size_t cut = __FCBase::kDebugLineSize - 1;
  EXPECT_EQ(lines[0].size(), cut);
  EXPECT_EQ(lines[0], "Label: " + std::string(cut - 7, 'x'));
  ASSERT_EQ(desktop().Boxes().size(), 1u);
  EXPECT_EQ(desktop().Boxes()[0].text.size(), cut);
}

TEST_F(DiagnosticsTest, PlainLineIsWrittenWhole) {
  const std::string long_text(3000, 'y');
  __FCBase::DebugOut(long_text.c_str());
  EXPECT_EQ(desktop().ConsoleText(), long_text + "\n");
}

TEST_F(DiagnosticsTest, BlockOfNothingWritesNothing) {
  const unsigned char bytes[4] = {1, 2, 3, 4};
  __FCBase::DebugOutBlock(bytes, 0);
  __FCBase::DebugOutBlock(bytes, -4);
  __FCBase::DebugOutBlock(nullptr, 4);
  EXPECT_TRUE(desktop().Events().empty());
}

TEST_F(DiagnosticsTest, BlockOfEightBytesIsOneLine) {
  const unsigned char bytes[8] = {0x00, 0x01, 0x0a, 0x7f, 0x80, 0xab, 0xfe, 0xff};
  __FCBase::DebugOutBlock(bytes, 8);
  EXPECT_EQ(ConsoleLines(), (std::vector<std::string>{"000-007: 00 01 0a 7f 80 ab fe ff "}));
}

TEST_F(DiagnosticsTest, NinthByteStartsASecondLineLabelledWithTheWholeGroup) {
  const unsigned char bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  __FCBase::DebugOutBlock(bytes, 9);
  EXPECT_EQ(ConsoleLines(),
            (std::vector<std::string>{"000-007: 01 02 03 04 05 06 07 08 ", "008-015: 09 "}));
}

TEST_F(DiagnosticsTest, BlockLabelsGrowDigitsPastNineHundredNinetyNine) {
  std::vector<unsigned char> bytes(1003);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i);
  __FCBase::DebugOutBlock(bytes.data(), static_cast<std::int32_t>(bytes.size()));

  const auto lines = ConsoleLines();
  ASSERT_EQ(lines.size(), 126u);
  EXPECT_EQ(lines[124], "992-999: e0 e1 e2 e3 e4 e5 e6 e7 ");
  EXPECT_EQ(lines[125], "1000-1007: e8 e9 ea ");
}

TEST_F(DiagnosticsTest, DumpHeaderCarriesTheMostDerivedClassName) {
  FCProbeObject probe;
  __FCBase* as_base = &probe;
  as_base->DebugDump();
  EXPECT_EQ(
      ConsoleLines(),
      (std::vector<std::string>{"======== DebugDump === Class Name: FCProbeObject ========"}));
}

}  // namespace
