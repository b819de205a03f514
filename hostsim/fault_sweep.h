// Single-fault sweeps, a check of atomicity that needs no knowledge of the plug-in: its command
// runs once on a document with the host answering everything (the clean run), then once for each
// record and frame call of that run with that one call refused. A command that keeps the document
// consistent leaves it after every fault either as it was or as the clean run left it; anything in
// between is half a change.
//
// Only refusals a plug-in can tell apart are swept: FX_NextEData and FX_PreviousEData answer "no
// further record" with the same 0 as a refusal, so a walk cut short by one looks like the end of
// the records; FX_ReduceEntries answers how many entries are left, so 0 is an answer, not a
// refusal; and a refused FX_FreeTGF leaves the frame with the host whatever the plug-in does.
#pragma once

#include <string>
#include <vector>

#include "hostsim/record_store.h"
#include "hostsim/sim_host.h"

namespace hostsim {

// The call of `name` that is the `nth` of its name (1-based) in a run.
struct SweptCall {
  std::string name;
  int nth;
};

// "FX_SaveEData #3"
std::string DescribeSweptCall(const SweptCall& call);

// Whether a refusal of the export is swept (see above).
bool IsSweptExport(const std::string& name);

// The calls to refuse one at a time: every swept call of the clean run, in the order made.
std::vector<SweptCall> SweptCalls(const std::vector<CallRecord>& clean_run);

enum class FaultOutcome {
  kUnchanged,    // the document as it was
  kCompleted,    // the document as the clean run left it
  kHalfChanged,  // anything else
};

FaultOutcome ClassifyFaultRun(const RecordStore& original, const RecordStore& clean,
                              const RecordStore& after);

// How many runs ended each way.
struct SweepTally {
  int runs = 0;
  int unchanged = 0;
  int completed = 0;
  int half_changed = 0;
  int ended_badly = 0;  // runs that crashed, hung or tripped a sanitizer: no outcome

  void Count(FaultOutcome outcome);
  void CountEndedBadly();
  // "12 runs: 7 unchanged, 5 as the clean run left it, 0 half-changed", and how many ended
  // badly when any did.
  std::string Counts() const;
};

// What a second document holds that the first does not, in words ("2 records changed, 1 frame
// changed"); empty when they are the same.
std::string DescribeDifferences(const RecordStore& before, const RecordStore& after);

}  // namespace hostsim
