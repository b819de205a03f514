// `check PLUGIN [DOCUMENT.json] [--level 1..5] [--seed N] [--time-limit SECONDS]
//  [--report json|junit FILE]...`: validates any plug-in from outside, the way a careful host
// would before trusting it, and reports one line per check, in text and, for a CI to read, as
// JSON or JUnit XML.
//
// Every check runs in a process of its own (a fork on POSIX; a child SCORIX.EXE on Windows), with
// a time limit, so a crash, hang, sanitizer report or exception in one check is that check's
// failure, told with how the process ended and the last lines it printed, and the other checks
// still run. The levels, each including the ones below it:
//   1  the exports and the entry-point contract: the six names, the stack bytes each removes (on
//      i386 builds; skipped elsewhere), their answers, no host call before the command runs;
//   2  the command on the document: answered No it leaves the document byte for byte, answered
//      Yes it leaves no edit open and frees every frame, and it asks only for exports the host
//      has (the default level);
//   3  the same on random documents made from the seed (the same seed, the same documents);
//   4  single-fault sweeps: every record and frame call of a clean run refused once, with and
//      without edit transactions; after each fault the document is as it was or as the clean run
//      left it (see fault_sweep.h);
//   5  a hostile host: records delivered short or empty, sizes larger than the buffer offered,
//      absurd layer counts, null frames, sizes that change between queries, frames at odd
//      addresses, a host that answers every incident. Nothing may crash, hang, leave an edit
//      open or misuse a frame.
//
// Portable: scorix-sim (POSIX) uses it, and so does the Windows SCORIX.EXE, which hands in how
// its desktop answers the plug-in's message boxes and runs each check in a child of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/record_store.h"
#include "hostsim/run_apart.h"
#include "hostsim/sim_host.h"
#include "platform/win32.h"

namespace hostsim {

// At least one check failed (0 and 2 as for the other verbs: all passed, bad arguments).
constexpr int kExitChecksFailed = 1;

constexpr int kLowestCheckLevel = 1;
constexpr int kHighestCheckLevel = 5;
// What `check` does without --level: the contract and the command on the document.
constexpr int kDefaultCheckLevel = 2;
// A check stops when it shows no progress for this long: every entry-point call and every run
// of the command within a check has this much time.
constexpr double kDefaultCheckTimeLimit = 30;

enum class ReportFormat { kJson, kJUnit };

struct ReportRequest {
  ReportFormat format;
  std::string path;
};

// `check PLUGIN [DOCUMENT.json] [options]`, the verb already taken off.
struct CheckArguments {
  std::string plugin_path;
  std::string document_path;  // empty: the built-in document
  int level = kDefaultCheckLevel;
  std::optional<std::uint32_t> seed;  // none: a new one each run, printed in the report
  double time_limit_seconds = kDefaultCheckTimeLimit;
  std::vector<ReportRequest> reports;
};

bool ParseCheckArguments(const std::vector<std::string>& args, CheckArguments* parsed,
                         std::string* error);

// The words that give `arguments` again, reports left out (what a child process of the check is
// started with).
std::vector<std::string> CheckArgumentWords(const CheckArguments& arguments);

// How the caller's desktop takes part in a check.
struct CheckDesktop {
  HWND owner = nullptr;  // the host window: the owner of the plug-in's boxes
  // From now on every question box the plug-in shows answers `answer` (IDYES or IDNO); a box
  // with an OK button only is still answered OK. Null: the plug-in is not invoked.
  std::function<void(int answer)> answer_boxes;
  // The number of boxes shown so far; null when the desktop cannot tell.
  std::function<int()> boxes_shown;
};

// One check: what was checked, whether it held, and what was seen. A check that does not apply
// on this build (the stack cleanup off i386) is skipped: neither passed nor failed. A check whose
// process did not finish failed; `output` then holds the last lines it printed.
struct CheckLine {
  std::string name;
  bool passed;
  std::string seen;
  bool skipped = false;
  int level = kLowestCheckLevel;
  double seconds = 0;
  std::vector<std::string> output = {};
};

struct CheckReport {
  bool loaded = false;  // false: the module did not load and `error` says why
  std::string error;
  std::vector<CheckLine> lines;
  std::string plugin;    // as given
  std::string document;  // "the built-in document" or the file given
  int level = kDefaultCheckLevel;
  std::uint32_t seed = 0;
  double seconds = 0;

  int FailedCount() const;
  int SkippedCount() const;
  int PassedCount() const;
};

// Lets a caller give the host behaviour of its own (frames handed out, say) after the check has
// reset it and before the plug-in is loaded. It runs in every process of the check, so it works
// only where the check's processes are forks of the caller (POSIX), or where they run here.
using HostSetup = std::function<void(SimHost& host)>;

// Where the parts of a check run.
struct CheckIsolation {
  // Runs the check named `id` apart and answers how it ended; `work` is the check as this very
  // process would run it (what a fork runs). Null: the platform's own (see below).
  std::function<ApartRun(const std::string& id, const ApartWork& work)> run_check;
  // Runs one run of the command within a check (one fault of a sweep, one hostile host) apart
  // where the platform can, else here; `channel` is the check's own. Null: the platform's own.
  std::function<ApartRun(const ApartWork& work, ApartChannel& channel)> run_nested;
};

// A seed nobody chose, for a run without --seed (the report prints it, so the run can be made
// again).
std::uint32_t NewCheckSeed();

// The platform's own: forks on POSIX, each with the time limit; on Windows the work runs in this
// process (SCORIX.EXE puts a child process of its own in place of run_check).
CheckIsolation PlatformCheckIsolation(double time_limit_seconds);

struct CheckOptions {
  int level = kDefaultCheckLevel;
  std::uint32_t seed = 1;
  double time_limit_seconds = kDefaultCheckTimeLimit;
  CheckIsolation isolation;  // members left null: the platform's own
};

// Everything a check needs to run, in the validator and in each process a check runs in.
struct CheckSubject {
  std::string plugin_path;
  const RecordStore& document;
  const CheckDesktop& desktop;
  HostSetup setup;
  CheckOptions options;
};

// A small document in the shape of the samples: three categories (two of them the user's, out of
// alphabetical order) and two text expression definitions, one in each of the user's categories.
RecordStore BuiltInCheckDocument();

// Runs every check of `options.level` and below on `plugin_path` with `document`, each apart.
CheckReport CheckPlugin(const std::string& plugin_path, const RecordStore& document,
                        const CheckDesktop& desktop, const HostSetup& setup = HostSetup(),
                        const CheckOptions& options = CheckOptions());

// One line per check (`ok`, `FAIL` or `skip`, the check, what was seen; under a failed check
// the last lines its process printed), then the totals.
void WriteCheckReport(const CheckReport& report, std::ostream& out);
// The same as one JSON object: the subject, the level and seed, the totals, and every check with
// its level, status, what was seen, its time and its process's last lines.
void WriteJsonCheckReport(const CheckReport& report, std::ostream& out);
// The same as JUnit XML, one test case per check (its level as the class name), with its time;
// a failed check has a <failure> with what was seen and its process's last lines, a skipped one
// a <skipped> with the reason.
void WriteJUnitCheckReport(const CheckReport& report, std::ostream& out);

// What the process a check runs in does: runs the check named `id` (as CheckPlugin names it)
// in this process, telling `channel` of its progress, and answers the result CheckPlugin reads.
std::string RunCheckHere(const std::string& id, const CheckSubject& subject, ApartChannel& channel);

// The verb: answers 0 when no check failed, 1 when any failed, 2 when the arguments are wrong,
// the document cannot be read, a report cannot be written or the module does not load. Errors go
// to `err`, the report to `out`. `isolation` is the caller's, as in CheckOptions.
int CheckCommand(const CheckArguments& arguments, const CheckDesktop& desktop, std::ostream& out,
                 std::ostream& err, const CheckIsolation& isolation = CheckIsolation());

}  // namespace hostsim
