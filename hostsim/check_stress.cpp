// The checks of levels 3 to 5: the command on random documents, single-fault sweeps, and a
// hostile host. Each is one check of the report and runs in a process of its own; the sweeps and
// the hostile host run the command many times, and each of those runs is made apart again where
// the platform can (a fork on POSIX), so a run that crashes or hangs is told by name and the
// others still run.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostsim/check_plan.h"
#include "hostsim/fault_sweep.h"
#include "hostsim/hostile_answers.h"
#include "hostsim/random_document.h"

namespace hostsim {

namespace {

using nlohmann::json;

constexpr int kRandomDocuments = 5;
// The random document the hostile host is also played on, beside the one checked: it holds music,
// so the frame calls meet the hostile answers too.
constexpr int kHostileRandomDocument = 1;
// How much the size changes between two queries.
constexpr std::int32_t kSizeChange = 16;

Word SignedWord(std::int32_t value) {
  return static_cast<Word>(static_cast<std::intptr_t>(value));
}

// What every run of the command must leave, whatever the host answered: no edit open and every
// frame handed back as the host lent it.
std::vector<std::string> LeftBehind(const SimHost& host) {
  std::vector<std::string> problems;
  if (const int open = host.OpenTransactions()) {
    problems.push_back(
        Plural(static_cast<std::size_t>(open), "edit transaction", "edit transactions") +
        " left open");
  }
  const CheckLine frames = FrameCheck(host);
  if (!frames.passed) problems.push_back(frames.seen);
  return problems;
}

// The check's session speaks through `channel` while it is in scope (a run within a check has a
// channel of its own), and through the check's own again afterwards.
class ChannelInUse {
 public:
  ChannelInUse(CheckSession& session, ApartChannel& channel)
      : session_(session), previous_(session.Channel()) {
    session_.UseChannel(&channel);
  }
  ~ChannelInUse() { session_.UseChannel(previous_); }
  ChannelInUse(const ChannelInUse&) = delete;
  ChannelInUse& operator=(const ChannelInUse&) = delete;

 private:
  CheckSession& session_;
  ApartChannel* previous_;
};

// The runs of the command a check makes, each apart where the platform can, answered Yes on a
// document with the host set up for the run; and the problems they showed, each told under the
// run's name.
class CommandRuns {
 public:
  explicit CommandRuns(CheckContext& context) : context_(context) {}

  // Runs the command on `document` after `arrange` set the host up; `judge`, if given, adds to
  // the run's result what it sees in the host afterwards (in the run's own process). Answers the
  // result, or nothing when the run ended badly, which is then a problem of its own.
  std::optional<json> Run(
      const std::string& which, const RecordStore& document,
      const std::function<void(SimHost& host)>& arrange,
      const std::function<void(const SimHost& host, json* result)>& judge = nullptr) {
    CheckSession& session = context_.session;
    context_.channel.Progress("the run with " + which);
    const ApartRun run = context_.RunNested([&](ApartChannel& channel) {
      ChannelInUse speaking(session, channel);
      context_.PrepareHost(document);
      arrange(context_.host);
      session.InvokeAnswering(IDYES);
      json result = {{"problems", LeftBehind(context_.host)}};
      if (judge) judge(context_.host, &result);
      return result.dump(-1, ' ', false, json::error_handler_t::replace);
    });
    const json result =
        run.Clean() ? json::parse(run.result, nullptr, /*allow_exceptions=*/false) : json();
    if (!result.is_object()) {
      Problem(which, run.Clean() ? "no result" : run.Failure());
      // What the first run that ended badly printed, under a line that names the run.
      if (output_.empty() && !run.output.empty()) {
        output_.push_back("(" + which + ")");
        output_.insert(output_.end(), run.output.begin(), run.output.end());
      }
      return std::nullopt;
    }
    for (const json& problem : result.value("problems", json::array())) {
      Problem(which, problem.get<std::string>());
    }
    return result;
  }

  void Problem(const std::string& which, const std::string& problem) {
    problems_.push_back(which + ": " + problem);
  }

  // The check's line: passed when no run showed a problem.
  CheckLine Line(std::string seen) const {
    if (!problems_.empty()) seen += ": " + JoinedOnce(problems_);
    CheckLine line{"", problems_.empty(), seen};
    line.output = output_;
    return line;
  }

 private:
  CheckContext& context_;
  std::vector<std::string> problems_;
  std::vector<std::string> output_;
};

// --- Level 3: random documents ---

PlannedCheck RandomDocumentCheck(int index, std::uint32_t seed) {
  PlannedCheck check;
  check.id = "random-" + std::to_string(index);
  check.level = 3;
  check.name = "random document " + std::to_string(index) + " of " +
               std::to_string(kRandomDocuments) +
               ": answered No the command changes nothing; answered Yes it answers 1, leaves no "
               "edit open and frees every frame";
  check.needs_export = kInvokeEntry;
  check.needs_invoke = true;
  check.run = [index, seed](CheckContext& context) {
    const std::uint32_t document_seed = RandomDocumentSeed(seed, index);
    const RecordStore document = RandomDocument(document_seed);
    CheckSession& session = context.session;
    session.CheckAnnouncement();
    session.CheckDeclined(document);
    session.CheckAccepted(document);
    const std::vector<CheckLine> lines = {session.Behaviour(kDeclinedAnswerCheck),
                                          session.Behaviour(kDeclinedUnchangedCheck),
                                          session.Behaviour(kAcceptedAnswerCheck),
                                          session.TransactionLine(), FrameCheck(context.host)};
    std::vector<std::string> failures;
    for (const CheckLine& line : lines) {
      if (!line.passed) failures.push_back(line.name + " (" + line.seen + ")");
    }
    const std::string made = "document seed " + std::to_string(document_seed) +
                             " (repeat with --seed " + std::to_string(seed) + ")";
    const bool passed = failures.empty();
    return CheckLine{"", passed,
                     made + (passed ? ": Yes " + lines[2].seen : ": " + Joined(failures, "; "))};
  };
  return check;
}

// --- Level 4: single-fault sweeps ---

std::string RefusedCounts(const std::vector<SweptCall>& calls) {
  std::map<std::string, int> counts;
  for (const SweptCall& call : calls) ++counts[call.name];
  std::vector<std::string> parts;
  for (const auto& [name, count] : counts) parts.push_back(name + " " + std::to_string(count));
  return Joined(parts);
}

CheckLine Sweep(CheckContext& context, bool transactions) {
  const RecordStore& original = context.subject.document;
  CheckSession& session = context.session;
  SimHost& host = context.host;
  session.CheckAnnouncement();
  context.PrepareHost(original);
  host.SetTransactionsOffered(transactions);
  session.InvokeAnswering(IDYES);
  const RecordStore clean = host.Records();
  const std::vector<SweptCall> faults = SweptCalls(host.Calls());
  const std::vector<std::string> clean_problems = LeftBehind(host);
  if (!clean_problems.empty()) {
    return {"", false, "the clean run already left problems: " + JoinedOnce(clean_problems)};
  }
  SweepTally tally;
  CommandRuns runs(context);
  for (const SweptCall& fault : faults) {
    const std::string refused = DescribeSweptCall(fault) + " refused";
    const std::optional<json> result = runs.Run(
        refused, original,
        [&](SimHost& host_of_run) {
          host_of_run.SetTransactionsOffered(transactions);
          host_of_run.FailCall(fault.name, fault.nth);
        },
        [&](const SimHost& host_after, json* judged) {
          const FaultOutcome outcome = ClassifyFaultRun(original, clean, host_after.Records());
          (*judged)["outcome"] = static_cast<int>(outcome);
          if (outcome == FaultOutcome::kHalfChanged) {
            (*judged)["detail"] = DescribeDifferences(original, host_after.Records());
          }
        });
    if (!result) {
      tally.CountEndedBadly();
      continue;
    }
    const auto outcome = static_cast<FaultOutcome>(result->value("outcome", 0));
    tally.Count(outcome);
    if (outcome == FaultOutcome::kHalfChanged) {
      runs.Problem(refused,
                   "the document was left half-changed (" + result->value("detail", "") + ")");
    }
  }
  if (faults.empty()) return {"", true, "the clean run made no record or frame call to refuse"};
  return runs.Line(tally.Counts() + " (refused: " + RefusedCounts(faults) + ")");
}

PlannedCheck SweepCheck(bool transactions) {
  PlannedCheck check;
  check.id = transactions ? "sweep-with-transactions" : "sweep-without-transactions";
  check.level = 4;
  check.name = std::string("each record and frame call of a clean run refused once, ") +
               (transactions ? "with" : "without") +
               " edit transactions: the document ends as it was or as the clean run left it";
  check.needs_export = kInvokeEntry;
  check.needs_invoke = true;
  check.run = [transactions](CheckContext& context) { return Sweep(context, transactions); };
  return check;
}

// --- Level 5: a hostile host ---

struct HostileVariant {
  std::string label;
  std::function<void(SimHost& host, const std::set<std::uint32_t>& tags)> apply;
};

struct HostileHost {
  const char* id;
  const char* host;  // "a host that ...", as the check's name says it
  std::vector<HostileVariant> variants;
};

std::vector<HostileHost> HostileHosts() {
  std::vector<HostileHost> hosts;
  hosts.push_back({"short-records",
                   "a host that delivers records short (half, one byte) or empty",
                   {{"records delivered half",
                     [](SimHost& host, const std::set<std::uint32_t>&) {
                       DeliverRecordsShort(host, [](std::int32_t size) { return size / 2; });
                     }},
                    {"records delivered one byte long",
                     [](SimHost& host, const std::set<std::uint32_t>&) {
                       DeliverRecordsShort(host,
                                           [](std::int32_t size) { return std::min(size, 1); });
                     }},
                    {"records delivered empty", [](SimHost& host, const std::set<std::uint32_t>&) {
                       DeliverRecordsShort(host, [](std::int32_t) { return 0; });
                     }}}});
  hosts.push_back({"oversized-records",
                   "a host that reports records larger than the buffer offered",
                   {{"sizes 64 bytes too large", [](SimHost& host, const std::set<std::uint32_t>&) {
                       ClaimMoreThanOffered(host, kOversize);
                     }}}});
  std::vector<HostileVariant> layer_counts;
  for (std::int32_t layers : {-32768, -1, 0, 21, 32767}) {
    layer_counts.push_back({std::to_string(layers) + " layers",
                            [layers](SimHost& host, const std::set<std::uint32_t>&) {
                              host.SetResult("FX_GetMaxLayers", SignedWord(layers));
                            }});
  }
  hosts.push_back(
      {"layer-counts", "a host with absurd layer counts (-32768, -1, 0, 21, 32767)", layer_counts});
  hosts.push_back({"null-frames",
                   "a host that lends no frame (every FX_LoadTGF answers null)",
                   {{"null frames", [](SimHost& host, const std::set<std::uint32_t>&) {
                       host.FailEveryCall("FX_LoadTGF");
                     }}}});
  hosts.push_back(
      {"every-incident",
       "a host that answers every incident of every item it holds",
       {{"every incident answered", [](SimHost& host, const std::set<std::uint32_t>& tags) {
           for (std::uint32_t tag : tags) host.AnswerEveryIncident(tag, true);
         }}}});
  std::vector<HostileVariant> size_changes;
  for (std::int32_t step : {kSizeChange, -kSizeChange}) {
    size_changes.push_back({"sizes changing by " + std::to_string(step) + " between queries",
                            [step](SimHost& host, const std::set<std::uint32_t>& tags) {
                              for (std::uint32_t tag : tags) {
                                host.ChangeSizeBetweenQueries(tag, step);
                              }
                            }});
  }
  hosts.push_back({"size-changes",
                   "a host whose record sizes change between two queries (+16, -16 bytes)",
                   size_changes});
  hosts.push_back({"odd-frames",
                   "a host that lends frames and entries at odd addresses",
                   {{"frames at odd addresses", [](SimHost& host, const std::set<std::uint32_t>&) {
                       host.SetOddFrameAddresses(true);
                     }}}});
  return hosts;
}

// The tags of the records `document` holds and of every record a clean run loaded.
std::set<std::uint32_t> TagsMet(CheckContext& context, const RecordStore& document) {
  std::set<std::uint32_t> tags;
  for (const auto& entry : document.Records()) tags.insert(entry.first.tag);
  context.PrepareHost(document);
  context.session.InvokeAnswering(IDYES);
  for (const CallRecord& call : context.host.Calls()) {
    if (call.name == "FX_LoadEData" && !call.args.empty()) {
      tags.insert(static_cast<std::uint32_t>(call.args[0]));
    }
  }
  return tags;
}

CheckLine SurviveHostileHost(CheckContext& context, const HostileHost& hostile) {
  const std::uint32_t random_seed =
      RandomDocumentSeed(context.subject.options.seed, kHostileRandomDocument);
  const std::vector<std::pair<std::string, RecordStore>> documents = {
      {"the document", context.subject.document},
      {"random document " + std::to_string(kHostileRandomDocument), RandomDocument(random_seed)}};
  context.session.CheckAnnouncement();
  CommandRuns runs(context);
  int made = 0;
  for (const auto& [label, document] : documents) {
    const std::set<std::uint32_t> tags = TagsMet(context, document);
    for (const HostileVariant& variant : hostile.variants) {
      ++made;
      runs.Run(variant.label + " on " + label, document,
               [&](SimHost& host) { variant.apply(host, tags); });
    }
  }
  return runs.Line(Plural(static_cast<std::size_t>(made), "run", "runs") +
                   " on the document and on random document " +
                   std::to_string(kHostileRandomDocument) + " (seed " +
                   std::to_string(random_seed) + ")");
}

PlannedCheck HostileCheck(HostileHost hostile) {
  PlannedCheck check;
  check.id = std::string("hostile-") + hostile.id;
  check.level = 5;
  check.name = std::string(hostile.host) +
               ": nothing crashes, hangs, leaves an edit open or misuses a frame";
  check.needs_export = kInvokeEntry;
  check.needs_invoke = true;
  check.run = [hostile](CheckContext& context) { return SurviveHostileHost(context, hostile); };
  return check;
}

// The check's own line gets the check's name: the bodies above leave it to the plan.
PlannedCheck Named(PlannedCheck check) {
  auto run = std::move(check.run);
  const std::string name = check.name;
  check.run = [run, name](CheckContext& context) {
    CheckLine line = run(context);
    line.name = name;
    return line;
  };
  return check;
}

}  // namespace

std::vector<PlannedCheck> StressChecks(const CheckOptions& options) {
  std::vector<PlannedCheck> checks;
  for (int index = 1; index <= kRandomDocuments; ++index) {
    checks.push_back(Named(RandomDocumentCheck(index, options.seed)));
  }
  checks.push_back(Named(SweepCheck(true)));
  checks.push_back(Named(SweepCheck(false)));
  for (HostileHost& hostile : HostileHosts()) checks.push_back(Named(HostileCheck(hostile)));
  return checks;
}

}  // namespace hostsim
