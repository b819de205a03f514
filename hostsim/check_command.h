// `check PLUGIN [DOCUMENT.json]`: validates any plug-in from outside, the way a careful host would
// before trusting it. It loads the module, calls each of the six entry points with arguments
// chosen to expose the usual mistakes (wrong calling convention, texts that run out of their
// fields, a record written where none was asked for, host calls made too early, a box answer
// ignored, edit transactions or frames left behind) and reports one line per check.
//
// Portable: scorix-sim (POSIX) uses it, and the Windows SCORIX.EXE can, by handing in how its
// desktop answers the plug-in's message boxes.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "hostsim/record_store.h"
#include "hostsim/sim_host.h"
#include "platform/win32.h"

namespace hostsim {

// At least one check failed (0 and 2 as for the other verbs: all passed, bad arguments).
constexpr int kExitChecksFailed = 1;

// `check PLUGIN [DOCUMENT.json]`, the verb already taken off.
struct CheckArguments {
  std::string plugin_path;
  std::string document_path;  // empty: the built-in document
};

bool ParseCheckArguments(const std::vector<std::string>& args, CheckArguments* parsed,
                         std::string* error);

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
// on this build (the stack cleanup off i386) is skipped: neither passed nor failed.
struct CheckLine {
  std::string name;
  bool passed;
  std::string seen;
  bool skipped = false;
};

struct CheckReport {
  bool loaded = false;  // false: the module did not load and `error` says why
  std::string error;
  std::vector<CheckLine> lines;

  int FailedCount() const;
  int SkippedCount() const;
};

// Lets a caller give the host behaviour of its own (frames handed out, say) after the check has
// reset it and before the plug-in is loaded.
using HostSetup = std::function<void(SimHost& host)>;

// A small document in the shape of the samples: three categories (two of them the user's, out of
// alphabetical order) and two text expression definitions, one in each of the user's categories.
RecordStore BuiltInCheckDocument();

// Runs every check of `plugin_path` on `document` in the process-wide simulated host.
CheckReport CheckPlugin(const std::string& plugin_path, const RecordStore& document,
                        const CheckDesktop& desktop, const HostSetup& setup = HostSetup());

// One line per check (`ok`, `FAIL` or `skip`, the check, what was seen), then the totals.
void WriteCheckReport(const CheckReport& report, std::ostream& out);

// The verb: answers 0 when every check passed, 1 when any failed, 2 when the document cannot be
// read or the module does not load. Errors go to `err`, the report to `out`.
int CheckCommand(const CheckArguments& arguments, const CheckDesktop& desktop, std::ostream& out,
                 std::ostream& err);

}  // namespace hostsim
