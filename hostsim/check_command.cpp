#include "hostsim/check_command.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <random>
#include <set>
#include <utility>

#include "hostsim/check_plan.h"
#include "hostsim/check_session.h"
#include "hostsim/document.h"
#include "hostsim/run_command.h"

namespace hostsim {

namespace {

using nlohmann::json;

// The check that comes first: loads the module and lists its exports. The export lines are made
// from it, and the other checks are planned by what it found.
constexpr const char* kSurveyId = "survey";

constexpr double kShortestTimeLimit = 0.1;
constexpr double kLongestTimeLimit = 3600;

const char kBuiltInDocument[] = R"({
  "categories": [
    {"number": 1, "name": "Dynamics", "usercreated": false},
    {"number": 2, "name": "Zither effects", "usercreated": true},
    {"number": 3, "name": "Brass Cues", "usercreated": true}
  ],
  "textExpressions": [
    {"number": 1, "category": 2, "description": "damped"},
    {"number": 2, "category": 3, "description": "Hn. cue"}
  ]
})";

// --- What a check's process answers ---

std::string Dumped(const json& value) {
  // Texts come from the plug-in and may hold bytes that are not UTF-8; they are replaced, not
  // allowed to stop the report.
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string LineResult(const CheckLine& line) {
  return Dumped({{"name", line.name},
                 {"passed", line.passed},
                 {"seen", line.seen},
                 {"skipped", line.skipped},
                 {"output", line.output}});
}

bool ReadLineResult(const std::string& text, CheckLine* line) {
  const json value = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!value.is_object() || !value.contains("passed") || !value["passed"].is_boolean()) {
    return false;
  }
  line->passed = value["passed"].get<bool>();
  line->seen = value.value("seen", "");
  line->skipped = value.value("skipped", false);
  line->output = value.value("output", std::vector<std::string>());
  return true;
}

std::string SurveyResult(bool loaded, const std::string& error, const CheckSession& session) {
  if (!loaded) return Dumped({{"error", error}});
  json exports = json::array();
  for (const EntryPoint& entry : kCheckedEntryPoints) {
    if (session.Has(entry.name)) exports.push_back(entry.name);
  }
  return Dumped({{"exports", exports}});
}

// The line of a check from how its process ended.
CheckLine LineOf(const PlannedCheck& check, const ApartRun& run) {
  CheckLine line{check.name, false, ""};
  line.level = check.level;
  line.seconds = run.seconds;
  if (run.end != ApartEnd::kFinished) {
    line.seen = run.Failure();
    line.output = run.output;
    return line;
  }
  if (!ReadLineResult(run.result, &line)) {
    line.passed = false;
    line.seen = "the check's process answered something unreadable";
  }
  if (!run.sanitizer.empty()) {
    // Whatever the check saw, a sanitizer saw the plug-in do worse.
    line.passed = false;
    line.skipped = false;
    line.seen = run.Failure() + (line.seen.empty() ? "" : " (" + line.seen + ")");
    line.output = run.output;
  }
  return line;
}

// Exercises one entry point as its own behaviour check does, so its stack bytes are measured.
void Exercise(CheckContext& context, const EntryPoint& entry) {
  CheckSession& session = context.session;
  const std::string name = entry.name;
  if (name == kVersionEntry) session.CheckVersion();
  if (name == kInitEntry) session.CheckInit();
  if (name == kEnumerateEntry) session.CheckEnumerate();
  if (name == kMenuStatusEntry) session.CheckMenuStatus();
  if (name == kTerminateEntry) session.Terminate();
  if (name == kInvokeEntry) {
    // Declined: the contract of the entry point, not the command, is what level 1 looks at.
    session.CheckAnnouncement();
    session.CheckDeclined(context.subject.document);
  }
}

// The announcement and both answers, as the application would give them one after the other.
void DeclineThenAccept(CheckContext& context) {
  context.session.CheckAnnouncement();
  context.session.CheckDeclined(context.subject.document);
  context.session.CheckAccepted(context.subject.document);
}

PlannedCheck Planned(std::string id, int level, std::string name, const char* needs_export,
                     bool needs_invoke, std::function<CheckLine(CheckContext&)> run) {
  PlannedCheck check;
  check.id = std::move(id);
  check.level = level;
  check.name = std::move(name);
  check.needs_export = needs_export;
  check.needs_invoke = needs_invoke;
  check.run = std::move(run);
  return check;
}

// A check judged by one of the session's behaviour lines after `calls`.
PlannedCheck BehaviourCheck(std::string id, int level, const char* name, const char* needs_export,
                            bool needs_invoke, std::function<void(CheckContext&)> calls) {
  return Planned(std::move(id), level, name, needs_export, needs_invoke,
                 [name, calls](CheckContext& context) {
                   calls(context);
                   return context.session.Behaviour(name);
                 });
}

std::vector<PlannedCheck> ContractChecks() {
  std::vector<PlannedCheck> checks;
  for (const EntryPoint& entry : kCheckedEntryPoints) {
    PlannedCheck stack =
        Planned(std::string("stack-") + entry.name, 1, StackCheckName(entry), entry.name,
                std::string(entry.name) == kInvokeEntry, [entry](CheckContext& context) {
                  Exercise(context, entry);
                  return context.session.StackLine(entry);
                });
    stack.skipped = !kStackCleanupMeasured;
    stack.skip_reason = kStackCheckNotApplicable;
    checks.push_back(std::move(stack));
  }
  auto announce = [](CheckContext& context) { context.session.CheckAnnouncement(); };
  auto decline = [](CheckContext& context) {
    context.session.CheckAnnouncement();
    context.session.CheckDeclined(context.subject.document);
  };
  auto accept = [](CheckContext& context) {
    context.session.CheckAnnouncement();
    context.session.CheckAccepted(context.subject.document);
  };
  checks.push_back(BehaviourCheck("version", 1, kVersionCheck, kVersionEntry, false,
                                  [](CheckContext& c) { c.session.CheckVersion(); }));
  checks.push_back(BehaviourCheck("init", 1, kInitCheck, kInitEntry, false,
                                  [](CheckContext& c) { c.session.CheckInit(); }));
  checks.push_back(BehaviourCheck("enumerate-item", 1, kEnumerateItemCheck, kEnumerateEntry, false,
                                  [](CheckContext& c) { c.session.CheckEnumerate(); }));
  checks.push_back(BehaviourCheck("enumerate-beyond", 1, kEnumerateBeyondCheck, kEnumerateEntry,
                                  false, [](CheckContext& c) { c.session.CheckEnumerate(); }));
  checks.push_back(BehaviourCheck("menu-status", 1, kMenuStatusCheck, kMenuStatusEntry, false,
                                  [](CheckContext& c) { c.session.CheckMenuStatus(); }));
  checks.push_back(BehaviourCheck("quiet", 1, kQuietCheck, nullptr, false, announce));
  checks.push_back(
      BehaviourCheck("declined-answer", 2, kDeclinedAnswerCheck, kInvokeEntry, true, decline));
  checks.push_back(BehaviourCheck("declined-unchanged", 2, kDeclinedUnchangedCheck, kInvokeEntry,
                                  true, decline));
  checks.push_back(
      BehaviourCheck("accepted-answer", 2, kAcceptedAnswerCheck, kInvokeEntry, true, accept));
  checks.push_back(
      Planned("transactions", 2, kTransactionsCheck, kInvokeEntry, true, [](CheckContext& context) {
        DeclineThenAccept(context);
        return context.session.TransactionLine();
      }));
  checks.push_back(
      Planned("frames", 2, kFramesCheck, kInvokeEntry, true, [](CheckContext& context) {
        DeclineThenAccept(context);
        return FrameCheck(context.host);
      }));
  checks.push_back(
      Planned("known-exports", 2, kKnownExportsCheck, nullptr, false, [](CheckContext& context) {
        if (context.session.CanInvoke()) {
          DeclineThenAccept(context);
        } else {
          context.session.CheckAnnouncement();
        }
        context.session.Terminate();
        return context.session.KnownExportsLine(context.host_module.Lookups(),
                                                WatchedHostModule::kSeesLookups);
      }));
  return checks;
}

CheckOptions WithPlatformIsolation(CheckOptions options) {
  const CheckIsolation platform = PlatformCheckIsolation(options.time_limit_seconds);
  if (!options.isolation.run_check) options.isolation.run_check = platform.run_check;
  if (!options.isolation.run_nested) options.isolation.run_nested = platform.run_nested;
  return options;
}

bool ParseNumber(const std::string& text, double low, double high, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(number >= low && number <= high)) return false;
  *value = number;
  return true;
}

std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

std::uint32_t NewCheckSeed() {
  std::random_device device;
  const auto now =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  return device() ^ static_cast<std::uint32_t>(now ^ (now >> 32));
}

// --- The report ---

int CheckReport::FailedCount() const {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const CheckLine& line) {
    return !line.passed && !line.skipped;
  }));
}

int CheckReport::SkippedCount() const {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [](const CheckLine& line) { return line.skipped; }));
}

int CheckReport::PassedCount() const {
  return static_cast<int>(lines.size()) - FailedCount() - SkippedCount();
}

// --- Arguments ---

bool ParseCheckArguments(const std::vector<std::string>& args, CheckArguments* parsed,
                         std::string* error) {
  CheckArguments result;
  std::vector<std::string> positional;
  auto fail = [error](const std::string& problem) {
    *error = problem;
    return false;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() <= 1 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    const bool known =
        arg == "--level" || arg == "--seed" || arg == "--time-limit" || arg == "--report";
    if (!known) return fail("unknown option " + arg);
    const std::size_t values = arg == "--report" ? 2 : 1;
    if (i + values >= args.size()) {
      return fail(arg + (values == 2 ? " needs a format and a file" : " needs a value"));
    }
    const std::string& value = args[i + 1];
    double number = 0;
    if (arg == "--level") {
      if (!ParseNumber(value, kLowestCheckLevel, kHighestCheckLevel, &number) ||
          number != static_cast<int>(number)) {
        return fail("--level must be a whole number from 1 to 5");
      }
      result.level = static_cast<int>(number);
    } else if (arg == "--seed") {
      if (!ParseNumber(value, 0, 4294967295.0, &number) ||
          number != static_cast<double>(static_cast<std::uint32_t>(number))) {
        return fail("--seed must be a whole number from 0 to 4294967295");
      }
      result.seed = static_cast<std::uint32_t>(number);
    } else if (arg == "--time-limit") {
      if (!ParseNumber(value, kShortestTimeLimit, kLongestTimeLimit, &number)) {
        return fail("--time-limit must be a number of seconds from 0.1 to 3600");
      }
      result.time_limit_seconds = number;
    } else {
      ReportFormat format;
      if (value == "json") {
        format = ReportFormat::kJson;
      } else if (value == "junit") {
        format = ReportFormat::kJUnit;
      } else {
        return fail("--report takes json or junit, then a file");
      }
      result.reports.push_back({format, args[i + 2]});
    }
    i += values;
  }
  if (positional.empty() || positional.size() > 2) {
    return fail("check takes a plug-in and, if you like, a document");
  }
  result.plugin_path = positional[0];
  result.document_path = positional.size() == 2 ? positional[1] : std::string();
  *parsed = result;
  return true;
}

std::vector<std::string> CheckArgumentWords(const CheckArguments& arguments) {
  std::vector<std::string> words = {arguments.plugin_path};
  if (!arguments.document_path.empty()) words.push_back(arguments.document_path);
  words.insert(words.end(), {"--level", std::to_string(arguments.level)});
  if (arguments.seed) words.insert(words.end(), {"--seed", std::to_string(*arguments.seed)});
  words.insert(words.end(), {"--time-limit", NumberText(arguments.time_limit_seconds)});
  return words;
}

// --- Where checks run ---

CheckIsolation PlatformCheckIsolation(double time_limit_seconds) {
  CheckIsolation isolation;
#ifdef _WIN32
  (void)time_limit_seconds;
  isolation.run_check = [](const std::string&, const ApartWork& work) { return RunHere(work); };
#else
  isolation.run_check = [time_limit_seconds](const std::string&, const ApartWork& work) {
    return RunForked(work, time_limit_seconds);
  };
#endif
  isolation.run_nested = [time_limit_seconds](const ApartWork& work, ApartChannel& channel) {
#ifdef _WIN32
    (void)time_limit_seconds;
    return RunHere(work, &channel);
#else
    (void)channel;
    return RunForked(work, time_limit_seconds);
#endif
  };
  return isolation;
}

void CheckContext::PrepareHost(const RecordStore& document) const {
  host.Reset();
  if (subject.setup) subject.setup(host);
  host.Records() = document;
}

ApartRun CheckContext::RunNested(const ApartWork& work) const {
  return subject.options.isolation.run_nested(work, channel);
}

// --- The checks ---

std::vector<PlannedCheck> AllChecks(const CheckOptions& options) {
  std::vector<PlannedCheck> checks = ContractChecks();
  std::vector<PlannedCheck> stress = StressChecks(options);
  checks.insert(checks.end(), std::make_move_iterator(stress.begin()),
                std::make_move_iterator(stress.end()));
  return checks;
}

std::uint32_t RandomDocumentSeed(std::uint32_t seed, int index) {
  // One step of a 32-bit mixer over the run's seed and the document's place: neighbouring seeds
  // and places give unrelated documents.
  std::uint32_t mixed = seed ^ (0x9E3779B9u * static_cast<std::uint32_t>(index));
  mixed ^= mixed >> 16;
  mixed *= 0x7FEB352Du;
  mixed ^= mixed >> 15;
  mixed *= 0x846CA68Bu;
  mixed ^= mixed >> 16;
  return mixed;
}

RecordStore BuiltInCheckDocument() {
  RecordStore document;
  std::string error;
  LoadDocument(kBuiltInDocument, &document, &error);
  return document;
}

std::string RunCheckHere(const std::string& id, const CheckSubject& subject,
                         ApartChannel& channel) {
  SimHost& host = SimHost::Instance();
  host.Reset();
  if (subject.setup) subject.setup(host);
  host.Records() = subject.document;
  WatchedHostModule host_module(host);
  CheckSession session(host, subject.desktop, &channel);
  std::string error;
  const bool loaded = session.Load(subject.plugin_path, &error);
  if (id == kSurveyId) return SurveyResult(loaded, error, session);
  for (const PlannedCheck& check : AllChecks(subject.options)) {
    if (check.id != id) continue;
    if (!loaded) return LineResult({check.name, false, error});
    CheckContext context{subject, host, host_module, session, channel};
    return LineResult(check.run(context));
  }
  return LineResult({id, false, "there is no check of this name"});
}

CheckReport CheckPlugin(const std::string& plugin_path, const RecordStore& document,
                        const CheckDesktop& desktop, const HostSetup& setup,
                        const CheckOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  const CheckSubject subject{plugin_path, document, desktop, setup, WithPlatformIsolation(options)};
  const CheckIsolation& isolation = subject.options.isolation;
  auto run_apart = [&subject, &isolation](const std::string& id) {
    return isolation.run_check(
        id, [&subject, id](ApartChannel& channel) { return RunCheckHere(id, subject, channel); });
  };

  CheckReport report;
  report.plugin = plugin_path;
  report.level = options.level;
  report.seed = options.seed;
  const ApartRun survey = run_apart(kSurveyId);
  const json found = survey.end == ApartEnd::kFinished
                         ? json::parse(survey.result, nullptr, /*allow_exceptions=*/false)
                         : json();
  if (!found.is_object() || !found.contains("exports")) {
    report.error = found.is_object() ? found.value("error", "the module does not load")
                                     : "loading the module went wrong: " + survey.Failure();
    return report;
  }
  report.loaded = true;
  std::set<std::string> exports;
  for (const json& name : found["exports"]) exports.insert(name.get<std::string>());
  for (const EntryPoint& entry : kCheckedEntryPoints) {
    const bool present = exports.count(entry.name) > 0;
    CheckLine line{ExportCheckName(entry), present, present ? "found" : "missing"};
    line.seconds = survey.seconds;
    report.lines.push_back(line);
  }

  const bool can_invoke = exports.count(kInvokeEntry) > 0 && desktop.answer_boxes != nullptr;
  for (const PlannedCheck& check : AllChecks(subject.options)) {
    if (check.level > options.level) continue;
    if (check.needs_export && !exports.count(check.needs_export)) continue;
    if (check.needs_invoke && !can_invoke) continue;
    if (check.skipped) {
      CheckLine line{check.name, false, check.skip_reason, true};
      line.level = check.level;
      report.lines.push_back(line);
      continue;
    }
    report.lines.push_back(LineOf(check, run_apart(check.id)));
  }
  report.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return report;
}

// --- The verb ---

int CheckCommand(const CheckArguments& arguments, const CheckDesktop& desktop, std::ostream& out,
                 std::ostream& err, const CheckIsolation& isolation) {
  RecordStore document;
  std::string error;
  if (arguments.document_path.empty()) {
    document = BuiltInCheckDocument();
  } else if (!LoadDocumentFile(arguments.document_path, &document, &error)) {
    err << "error: " << error << "\n";
    return kExitUsage;
  }
  // Every report file is opened before the checks run: a path that cannot be written is told
  // at once, not after a long run.
  std::vector<std::pair<ReportFormat, std::unique_ptr<std::ofstream>>> files;
  for (const ReportRequest& request : arguments.reports) {
    auto file = std::make_unique<std::ofstream>(request.path, std::ios::binary);
    if (!*file) {
      err << "error: " << request.path << ": cannot write the file\n";
      return kExitUsage;
    }
    files.emplace_back(request.format, std::move(file));
  }

  CheckOptions options;
  options.level = arguments.level;
  options.seed = arguments.seed ? *arguments.seed : NewCheckSeed();
  options.time_limit_seconds = arguments.time_limit_seconds;
  options.isolation = isolation;
  CheckReport report = CheckPlugin(arguments.plugin_path, document, desktop, HostSetup(), options);
  report.document = arguments.document_path.empty() ? std::string("the built-in document")
                                                    : arguments.document_path;
  if (!report.loaded) {
    err << "error: cannot load the plug-in " << arguments.plugin_path << ": " << report.error
        << "\n";
    // The report files still tell a CI what went wrong, as the one check that failed.
    report.lines = {{"the module loads", false, report.error}};
  } else {
    out << "Checking " << arguments.plugin_path << " on " << report.document << " at level "
        << report.level << ", seed " << report.seed << "\n";
    WriteCheckReport(report, out);
  }
  for (auto& [format, file] : files) {
    if (format == ReportFormat::kJson) {
      WriteJsonCheckReport(report, *file);
    } else {
      WriteJUnitCheckReport(report, *file);
    }
    file->flush();
    if (!*file) {
      err << "error: a report file could not be written in full\n";
      return kExitUsage;
    }
  }
  if (!report.loaded) return kExitUsage;
  return report.FailedCount() == 0 ? kExitSuccess : kExitChecksFailed;
}

}  // namespace hostsim
