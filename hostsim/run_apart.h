// Running part of a plug-in check apart from the validator: in a process of its own where the
// platform allows (a fork on POSIX; a child SCORIX.EXE on Windows, see windows/check_verb.cpp), so
// that a plug-in that crashes, hangs, trips a sanitizer or throws ends only that part, and the way
// it ended is reported instead of ending the validator.
//
// The work talks back through a channel of one-line messages: progress notes, which show it is
// alive (the time limit counts from the last one) and say what it was doing if it never comes
// back, and at the end its result. What it prints on its standard output and error is kept apart
// from the messages; the last lines of it, and any sanitizer report in it, go into the run.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hostsim {

class ApartChannel {
 public:
  virtual ~ApartChannel() = default;
  // The work is alive and now does `note` (one line; line breaks are replaced).
  virtual void Progress(const std::string& note) = 0;
};

// The work: answers its result (any text, line breaks included).
using ApartWork = std::function<std::string(ApartChannel& channel)>;

enum class ApartEnd {
  kFinished,    // the work answered its result
  kDied,        // the process ended without a result: a signal, an exit, an exception
  kTimedOut,    // no progress within the time limit: stopped
  kNotStarted,  // no process could be made
};

struct ApartRun {
  ApartEnd end = ApartEnd::kNotStarted;
  std::string result;  // what the work answered (kFinished only)
  std::string how;     // how it ended when it did not finish ("killed by signal 11 (SIGSEGV)")
  std::string last_progress;  // the last progress note
  std::string sanitizer;      // the line that tells of a sanitizer report, when one was printed
  std::vector<std::string> output;  // the last lines the work printed
  double seconds = 0;

  // Finished, and no sanitizer report was printed on the way.
  bool Clean() const { return end == ApartEnd::kFinished && sanitizer.empty(); }
  // Why the run is not clean, in words ("killed by signal 11 (SIGSEGV) while calling
  // ScorixExtensionInvoke, answered Yes"); empty for a clean run.
  std::string Failure() const;
};

// How many of the last output lines a run keeps.
constexpr std::size_t kApartOutputLines = 12;

// --- The channel's messages, shared by every way of running apart ---
std::string ProgressMessage(const std::string& note);
std::string ResultMessage(const std::string& result);
std::string ExceptionMessage(const std::string& what);
// What the messages in `text` said (whole lines only; a line of no known kind is passed over).
struct ChannelReading {
  std::string last_progress;
  std::optional<std::string> result;
  std::optional<std::string> exception;
};
ChannelReading ReadChannel(const std::string& text);

// --- What the work printed ---
// The line that best tells of a sanitizer report in `output` (UndefinedBehaviorSanitizer's
// "runtime error:" line, else a sanitizer's SUMMARY or ERROR line); empty when there is none.
std::string SanitizerLine(const std::string& output);
// The last `most` non-empty lines of `output`.
std::vector<std::string> LastLines(const std::string& output, std::size_t most);
// The lines of `output` worth showing under a failure, at most `most`: a sanitizer report from
// its first line on (where it happened, not its legend), else the last lines.
std::vector<std::string> KeptLines(const std::string& output, std::size_t most);

// Fills in how a run apart ended from the messages it sent and what it printed: stopped when
// `timed_out`, finished when it sent its result, else ended as `process_end` says ("killed by
// signal 11 (SIGSEGV)"), or by the exception it told of.
void Conclude(const std::string& messages, const std::string& output, bool timed_out,
              double idle_limit_seconds, const std::string& process_end, ApartRun* run);

// Runs `work` in this process: nothing is caught but exceptions. Progress goes on to `outer`
// when there is one, so that whoever watches this process sees the work is alive.
ApartRun RunHere(const ApartWork& work, ApartChannel* outer = nullptr);

#ifndef _WIN32
// Runs `work` in a forked process with standard input from /dev/null and its output captured;
// stops it when `idle_limit_seconds` pass without a message from it.
ApartRun RunForked(const ApartWork& work, double idle_limit_seconds);
#endif

}  // namespace hostsim
