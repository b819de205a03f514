// The `selftest` verb: runs a plug-in through the whole life the application gives it (load,
// announce, invoke with the user's answer, terminate) and writes what happened as a JSON report.
#pragma once

#include "hostsim/windows/arguments.h"

namespace hostsim {

constexpr char kSelftestUsage[] =
    "selftest PLUGIN.dll --answer yes|no --report REPORT.json [--document DOCUMENT.json]";

// The command runs on the document when one is given, on an empty one otherwise; the report
// says whether the command changed it.
int RunSelftest(const Arguments& arguments);

}  // namespace hostsim
