// The `run` verb of the Windows host program: the same run as scorix-sim's, with the real
// message boxes of Windows owned by the host window and answered through the box answerer.
#pragma once

#include "hostsim/windows/arguments.h"

namespace hostsim {

// `run PLUGIN.dll DOCUMENT.json [--answer yes|no] [--out AFTER.json]`; answers the exit code.
int RunDocumentVerb(const Arguments& arguments);

}  // namespace hostsim
