// The checks of `check`, each with the level it belongs to and what it does in the process it
// runs in. The validator (check_command.cpp) plans which of them to run for a plug-in and runs
// each apart; the process a check runs in finds it again by its id.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "hostsim/check_command.h"
#include "hostsim/check_session.h"
#include "hostsim/run_apart.h"
#include "hostsim/sim_host.h"

namespace hostsim {

// What a check has in the process it runs in: the subject, the host, and the plug-in loaded
// into a session.
struct CheckContext {
  const CheckSubject& subject;
  SimHost& host;
  WatchedHostModule& host_module;
  CheckSession& session;
  ApartChannel& channel;

  // The host as a fresh run of the command finds it: reset, the caller's setup made, holding
  // `document`.
  void PrepareHost(const RecordStore& document) const;
  // Runs one run of the command apart where the platform can (see CheckIsolation::run_nested).
  ApartRun RunNested(const ApartWork& work) const;
};

struct PlannedCheck {
  std::string id;
  int level;
  std::string name;
  // The export the check calls, when it needs one: a plug-in without it is not given the check.
  const char* needs_export = nullptr;
  // Whether the check runs the command (the desktop must be able to answer its boxes).
  bool needs_invoke = false;
  // Made without running anything: a check that does not apply on this build.
  bool skipped = false;
  std::string skip_reason;
  std::function<CheckLine(CheckContext&)> run;
};

// Every check past the exports, in the order the report lists them.
std::vector<PlannedCheck> AllChecks(const CheckOptions& options);
// The checks of levels 3 to 5 (check_stress.cpp).
std::vector<PlannedCheck> StressChecks(const CheckOptions& options);

// The seed of random document `index` (from 1) of a check run with `seed`.
std::uint32_t RandomDocumentSeed(std::uint32_t seed, int index);

}  // namespace hostsim
