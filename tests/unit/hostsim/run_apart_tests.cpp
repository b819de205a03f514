// Running work apart from the validator: what comes back when the work finishes, and how each way
// of not finishing (a signal, an exit, an exception, a hang, a sanitizer report) is told.
#include "hostsim/run_apart.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace hostsim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr double kLimit = 10;
// Short enough to keep the hang tests quick, long enough for a busy machine to start a fork.
constexpr double kShortLimit = 1.0;

TEST(RunForked, AnswersTheResultWholeWithTheLastProgressNote) {
  const std::string result = "line one\nline two \\n with a backslash\r\nand \"quotes\"";
  const ApartRun run = RunForked(
      [&result](ApartChannel& channel) {
        channel.Progress("starting");
        channel.Progress("nearly there\nacross two lines");
        return result;
      },
      kLimit);
  EXPECT_EQ(run.end, ApartEnd::kFinished);
  EXPECT_TRUE(run.Clean());
  EXPECT_EQ(run.result, result);
  EXPECT_EQ(run.last_progress, "nearly there across two lines");
  EXPECT_EQ(run.Failure(), "");
  EXPECT_GT(run.seconds, 0);
}

TEST(RunForked, KeepsWhatTheWorkPrintedApartAndTheLastLinesOfIt) {
  const ApartRun run = RunForked(
      [](ApartChannel&) {
        for (int i = 1; i <= 20; ++i) std::printf("printed %d\n", i);
        std::fprintf(stderr, "and an error line\n");
        return std::string("done");
      },
      kLimit);
  ASSERT_TRUE(run.Clean()) << run.Failure();
  ASSERT_EQ(run.output.size(), kApartOutputLines);
  EXPECT_EQ(run.output.back(), "and an error line");
  EXPECT_EQ(run.output.front(), "printed 10");
}

TEST(RunForked, TellsASignalByNumberAndNameAndWhatTheWorkWasDoing) {
  const ApartRun run = RunForked(
      [](ApartChannel& channel) -> std::string {
        channel.Progress("calling the plug-in");
        std::fprintf(stderr, "about to give up\n");
        std::abort();
      },
      kLimit);
  EXPECT_EQ(run.end, ApartEnd::kDied);
  EXPECT_EQ(run.how, "killed by signal 6 (SIGABRT)");
  EXPECT_EQ(run.Failure(), "killed by signal 6 (SIGABRT) while calling the plug-in");
  // (An emulator that runs the test may add a line of its own about the signal.)
  ASSERT_FALSE(run.output.empty());
  EXPECT_EQ(run.output.front(), "about to give up");
}

TEST(RunForked, TellsAnExitWithItsStatus) {
  const ApartRun run = RunForked([](ApartChannel&) -> std::string { _exit(3); }, kLimit);
  EXPECT_EQ(run.end, ApartEnd::kDied);
  EXPECT_EQ(run.Failure(), "exited with status 3 before it finished");
  EXPECT_THAT(run.result, IsEmpty());
}

TEST(RunForked, TellsAnExceptionWithWhatItSaid) {
  const ApartRun run = RunForked(
      [](ApartChannel&) -> std::string { throw std::runtime_error("no such record"); }, kLimit);
  EXPECT_EQ(run.end, ApartEnd::kDied);
  EXPECT_EQ(run.Failure(), "ended by an exception: no such record");
}

TEST(RunForked, StopsWorkThatShowsNoProgressWithinTheLimit) {
  const auto started = std::chrono::steady_clock::now();
  const ApartRun run = RunForked(
      [](ApartChannel& channel) -> std::string {
        channel.Progress("waiting for a box nobody answers");
        for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      },
      kShortLimit);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(run.end, ApartEnd::kTimedOut);
  EXPECT_EQ(run.Failure(),
            "stopped after 1 s without progress while waiting for a box nobody answers");
  EXPECT_GE(took, kShortLimit);
  EXPECT_LT(took, kLimit);
}

TEST(RunForked, CountsTheLimitFromTheLastProgressNote) {
  const ApartRun run = RunForked(
      [](ApartChannel& channel) {
        for (int step = 0; step < 8; ++step) {
          channel.Progress("step " + std::to_string(step));
          std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return std::string("all steps made");
      },
      kShortLimit);
  EXPECT_TRUE(run.Clean()) << run.Failure();
  EXPECT_EQ(run.result, "all steps made");
  EXPECT_GT(run.seconds, kShortLimit);
}

// A process the work started and left running holds the pipes open after the work has ended;
// the work still finished.
TEST(RunForked, AProcessTheWorkLeftRunningDoesNotMakeItAHang) {
  const ApartRun run = RunForked(
      [](ApartChannel&) {
        if (fork() == 0) {
          std::this_thread::sleep_for(std::chrono::seconds(2));
          _exit(0);
        }
        return std::string("done");
      },
      kShortLimit);
  EXPECT_EQ(run.end, ApartEnd::kFinished) << run.Failure();
  EXPECT_EQ(run.result, "done");
}

// A sanitizer that reports and lets the work go on still fails it; the report shows from its
// first line, not from its legend.
TEST(RunForked, ASanitizerReportFailsWorkThatFinished) {
  const ApartRun run = RunForked(
      [](ApartChannel&) {
        std::fprintf(stderr, "before\n==1==ERROR: AddressSanitizer: heap-buffer-overflow on x\n");
        for (int i = 0; i < 30; ++i) std::fprintf(stderr, "  #%d frame\n", i);
        std::fprintf(stderr, "SUMMARY: AddressSanitizer: heap-buffer-overflow in Read\n");
        return std::string("finished anyway");
      },
      kLimit);
  EXPECT_EQ(run.end, ApartEnd::kFinished);
  EXPECT_FALSE(run.Clean());
  EXPECT_EQ(run.sanitizer, "SUMMARY: AddressSanitizer: heap-buffer-overflow in Read");
  EXPECT_EQ(run.Failure(),
            "a sanitizer reported: SUMMARY: AddressSanitizer: heap-buffer-overflow in Read");
  ASSERT_EQ(run.output.size(), kApartOutputLines);
  EXPECT_EQ(run.output[0], "==1==ERROR: AddressSanitizer: heap-buffer-overflow on x");
  EXPECT_EQ(run.output[1], "  #0 frame");
}

TEST(SanitizerLine, PrefersTheRuntimeErrorThenTheSummaryThenTheErrorLine) {
  EXPECT_EQ(SanitizerLine("a\nx.cpp:3:5: runtime error: load of null pointer\n"
                          "SUMMARY: UndefinedBehaviorSanitizer: undefined-behavior x.cpp:3:5\n"),
            "x.cpp:3:5: runtime error: load of null pointer");
  EXPECT_EQ(SanitizerLine("==9==ERROR: LeakSanitizer: detected memory leaks\n"
                          "SUMMARY: AddressSanitizer: 8 byte(s) leaked\n"),
            "SUMMARY: AddressSanitizer: 8 byte(s) leaked");
  EXPECT_EQ(SanitizerLine("==9==ERROR: AddressSanitizer: SEGV on unknown address\n"),
            "==9==ERROR: AddressSanitizer: SEGV on unknown address");
  EXPECT_EQ(SanitizerLine("an ERROR: from the plug-in\nSUMMARY: 3 of 4\n"), "");
}

TEST(LastLines, AnswersTheLastNonEmptyLinesInOrder) {
  EXPECT_THAT(LastLines("a\n\nb\r\nc", 2), ElementsAre("b", "c"));
  EXPECT_THAT(LastLines("a\nb\n", 5), ElementsAre("a", "b"));
  EXPECT_THAT(LastLines("", 5), IsEmpty());
}

// Half a message (a process stopped while writing) and lines of no known kind are passed over.
TEST(ReadChannel, ReadsWholeMessagesOnly) {
  const std::string text = ProgressMessage("first") + "X stray\n" + ProgressMessage("second") +
                           ResultMessage("a\\b\nc") + "P half a no";
  const ChannelReading reading = ReadChannel(text);
  EXPECT_EQ(reading.last_progress, "second");
  ASSERT_TRUE(reading.result.has_value());
  EXPECT_EQ(*reading.result, "a\\b\nc");
  EXPECT_FALSE(reading.exception.has_value());
  EXPECT_EQ(*ReadChannel(ExceptionMessage("bad\nthing")).exception, "bad\nthing");
}

class NotesKept : public ApartChannel {
 public:
  void Progress(const std::string& note) override { notes.push_back(note); }
  std::vector<std::string> notes;
};

TEST(RunHere, PassesProgressOnAndTellsAnException) {
  NotesKept outer;
  const ApartRun run = RunHere(
      [](ApartChannel& channel) {
        channel.Progress("one");
        return std::string("here");
      },
      &outer);
  EXPECT_TRUE(run.Clean());
  EXPECT_EQ(run.result, "here");
  EXPECT_EQ(run.last_progress, "one");
  EXPECT_THAT(outer.notes, ElementsAre("one"));

  const ApartRun thrown = RunHere([](ApartChannel& channel) -> std::string {
    channel.Progress("reading");
    throw std::out_of_range("index 9");
  });
  EXPECT_EQ(thrown.end, ApartEnd::kDied);
  EXPECT_EQ(thrown.Failure(), "ended by an exception: index 9 while reading");
}

}  // namespace
}  // namespace hostsim
