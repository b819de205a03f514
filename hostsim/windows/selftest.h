// The `selftest` verb: runs a plug-in through the whole life the application gives it (load,
// announce, invoke with the user's answer, terminate) and writes what happened as a JSON report.
#pragma once

#include "hostsim/windows/arguments.h"

namespace hostsim {

// selftest PLUGIN.dll --answer yes|no --report REPORT.json
int RunSelftest(const Arguments& arguments);

}  // namespace hostsim
