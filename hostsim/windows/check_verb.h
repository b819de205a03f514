// The `check` verb of the Windows host program: the same checks and reports as scorix-sim's, each
// check run in a child SCORIX.EXE of its own (the `check-task` verb), so that a plug-in that
// crashes or hangs ends that child only. The child plays the user at the plug-in's real message
// boxes through the box answerer, and tells the parent how far it got through a file the parent
// watches; a child that shows no progress within the time limit is stopped.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

constexpr char kCheckUsage[] =
    "check PLUGIN.dll [DOCUMENT.json] [--level 1-5] [--seed N] [--time-limit SECONDS] "
    "[--report json|junit FILE]...";

// `check ...`, the words after the verb; answers the exit code (0, 1 or 2 as scorix-sim's).
int RunCheckVerb(const std::vector<std::string>& words);

// `check-task ID RESULT_FILE PLUGIN.dll [DOCUMENT.json] [--level ...]`: runs one check in this
// process and writes its progress and result to RESULT_FILE. Only the check verb starts it.
int RunCheckTaskVerb(const std::vector<std::string>& words);

}  // namespace hostsim
