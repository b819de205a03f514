#include "hostsim/run_command.h"

#include <map>
#include <ostream>
#include <utility>

#include "hostsim/document.h"
#include "hostsim/record_listings.h"
#include "hostsim/score_records.h"
#include "hostsim/score_tables.h"

namespace hostsim {

namespace {

// The host registered under the application's module name for the length of a run, so the
// plug-in's lookups by name find it (on Windows the host is the executable itself).
class HostRegistration {
 public:
  explicit HostRegistration(SimHost& host) : host_(host) {
#ifndef _WIN32
    host_.RegisterAs("SCORIX.EXE");
#endif
  }
  ~HostRegistration() {
#ifndef _WIN32
    host_.Unregister();
#endif
  }
  HostRegistration(const HostRegistration&) = delete;
  HostRegistration& operator=(const HostRegistration&) = delete;

 private:
  SimHost& host_;
};

std::string AnswerName(int answer) {
  switch (answer) {
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    case IDOK:
      return "OK";
    case 0:
      return "nothing (the box failed)";
    default:
      return std::to_string(answer);
  }
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

std::string Plural(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string DocumentSummary(const ScoreView& score) {
  const int text = score.CountKind(ExpressionKind::kText);
  const int shape = score.CountKind(ExpressionKind::kShape);
  return Plural(static_cast<int>(score.categories.size()), "category", "categories") + ", " +
         std::to_string(text) + " text and " + std::to_string(shape) +
         " shape expression definitions";
}

void WriteMenuItem(const PluginSession& session, std::ostream& out) {
  const MenuItem& item = session.item;
  if (!item.offered) {
    out << "Plug-in: offers no menu item\n";
    return;
  }
  out << "Plug-in: " << Printable(item.title) << " - " << Printable(item.description)
      << " (short name " << Printable(item.short_name) << ")\n";
}

void WriteBoxes(const std::vector<ShownBox>& boxes, std::ostream& out) {
  out << "\nMessage boxes the plug-in showed: " << boxes.size() << "\n";
  for (const ShownBox& box : boxes) {
    out << "  [" << Printable(box.caption) << "] " << Printable(FirstLine(box.text))
        << (box.text.find('\n') != std::string::npos ? " ..." : "") << "\n"
        << "    answered " << AnswerName(box.answer) << "\n";
  }
}

void WriteHostCalls(const std::vector<CallRecord>& calls, std::ostream& out) {
  std::map<std::string, int> counts;
  for (const CallRecord& call : calls) ++counts[call.name];
  out << "\nHost calls: " << calls.size();
  const char* separator = " (";
  for (const auto& [name, count] : counts) {
    out << separator << name << " " << count;
    separator = ", ";
  }
  out << (counts.empty() ? "" : ")") << "\n";
}

// Plug-in faults the run can see from outside, besides what changed in the document.
std::vector<std::string> RunProblems(const RunOutcome& outcome) {
  std::vector<std::string> problems;
  for (const EntryPointCall& call : outcome.session.calls) {
    if (call.removed_bytes != kStackNotMeasured && call.removed_bytes != call.argument_bytes) {
      problems.push_back(call.name + " removed " + std::to_string(call.removed_bytes) + " of its " +
                         std::to_string(call.argument_bytes) + " argument bytes from the stack");
    }
  }
  if (outcome.open_transactions > 0) {
    problems.push_back("the plug-in left " +
                       Plural(outcome.open_transactions, "edit transaction", "edit transactions") +
                       " open");
  }
  const std::size_t kept = outcome.frames.NeverFreed().size();
  if (kept > 0) {
    problems.push_back("the plug-in kept " + Plural(static_cast<int>(kept), "frame", "frames") +
                       " it never freed");
  }
  // Entries edited before a call that reads them as lent are the plug-in's right, not a fault.
  for (const FrameProblem& problem : outcome.frames.problems) {
    if (problem.kind != FrameProblemKind::kNotAsLent) {
      problems.push_back(DescribeFrameProblem(problem));
    }
  }
  return problems;
}

// What became of the frames the plug-in asked for; nothing when it asked for none.
void WriteFrameLedger(const FrameLedger& ledger, std::ostream& out) {
  if (ledger.loads == 0) return;
  out << "\nFrames: " << ledger.loads << " asked for, " << ledger.lent << " lent, "
      << ledger.refused << " refused, " << ledger.saved << " saved, " << ledger.freed
      << " given back.\n";
}

void WriteProblems(const std::vector<std::string>& problems, std::ostream& out) {
  if (problems.empty()) return;
  out << "\nProblems:\n";
  for (const std::string& problem : problems) out << "  - " << problem << "\n";
}

void WriteSummary(int moved, int repointed, int written, std::ostream& out) {
  out << "\nSummary: " << moved << " categories moved, " << repointed
      << " expression definitions re-pointed, " << written << " records written.\n";
}

}  // namespace

std::string UsageText(const std::string& program) {
  return "usage:\n"
         "  " +
         program +
         " show DOCUMENT.json\n"
         "  " +
         program + " run PLUGIN DOCUMENT.json [--answer yes|no] [--out AFTER.json]\n" + "  " +
         program +
         " check PLUGIN [DOCUMENT.json] [--level 1-5] [--seed N] [--time-limit SECONDS]\n"
         "        [--report json|junit FILE]...\n";
}

bool ParseRunArguments(const std::vector<std::string>& args, RunArguments* parsed,
                       std::string* error) {
  RunArguments result;
  std::vector<std::string> positional;
  bool has_answer = false, has_out = false;
  auto fail = [error](const std::string& problem) {
    *error = problem;
    return false;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool is_option = arg == "--answer" || arg == "--out";
    if (is_option && i + 1 >= args.size()) return fail(arg + " needs a value");
    if (arg == "--answer") {
      const std::string& value = args[++i];
      if (has_answer) return fail("--answer given twice");
      if (value != "yes" && value != "no") {
        return fail("--answer must be yes or no, not \"" + value + "\"");
      }
      has_answer = true;
      result.answer = value == "yes" ? IDYES : IDNO;
    } else if (arg == "--out") {
      const std::string& value = args[++i];
      if (has_out) return fail("--out given twice");
      if (value.empty()) return fail("--out needs a file name");
      has_out = true;
      result.out_path = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() < 2) return fail("run needs a plug-in and a document");
  if (positional.size() > 2) return fail("run takes one plug-in and one document");
  result.plugin_path = positional[0];
  result.document_path = positional[1];
  *parsed = std::move(result);
  return true;
}

int CountRecordsWritten(const std::vector<CallRecord>& calls) {
  int written = 0;
  for (const CallRecord& call : calls) {
    if ((call.name == "FX_SaveEData" || call.name == "FX_CreateEData") && call.result != 0) {
      ++written;
    }
  }
  return written;
}

void WriteShowReport(const RecordStore& document, std::ostream& out) {
  const ScoreView score = ReadScore(document);
  out << "Document: " << DocumentSummary(score) << "\n\nCategories:\n"
      << CategoriesTable(score) << "\nExpression definitions:\n"
      << ExpressionsTable(score) << RecordListings(document);
}

void WriteRunHeader(const PluginSession& session, const RecordStore& document, std::ostream& out) {
  WriteMenuItem(session, out);
  out << "Document: " << DocumentSummary(ReadScore(document)) << "\n";
}

void WriteRunReport(const RunOutcome& outcome, std::ostream& out) {
  const ScoreView before = ReadScore(outcome.before);
  const ScoreView after = ReadScore(outcome.after);
  if (outcome.boxes) WriteBoxes(*outcome.boxes, out);

  std::vector<std::string> problems = RunProblems(outcome);
  const ScoreComparison comparison = CompareScores(before, after);
  const bool declined = outcome.invoked && outcome.session.invoke_result == 0;
  if (!outcome.invoked) {
    out << "\nThe plug-in's menu item is not available, so the command was not invoked.\n";
  } else if (declined && outcome.before == outcome.after) {
    out << "\nThe plug-in declined to run its command: nothing changed.\n";
  } else {
    if (declined) problems.push_back("the plug-in declined, yet the document changed");
    out << "\nCategories, before and after:\n"
        << comparison.categories_table << "\nExpression definitions, before and after:\n"
        << comparison.expressions_table << FrameChanges(outcome.before, outcome.after);
    problems.insert(problems.end(), comparison.problems.begin(), comparison.problems.end());
  }
  WriteHostCalls(outcome.host_calls, out);
  WriteFrameLedger(outcome.frames, out);
  WriteProblems(problems, out);
  WriteSummary(comparison.categories_moved, comparison.expressions_repointed,
               outcome.records_written, out);
}

int ShowDocument(const std::string& document_path, std::ostream& out, std::ostream& err) {
  RecordStore document;
  std::string error;
  if (!LoadDocumentFile(document_path, &document, &error)) {
    err << "error: " << error << "\n";
    return kExitUsage;
  }
  WriteShowReport(document, out);
  return kExitSuccess;
}

int RunPlugin(const RunArguments& arguments, const RunDesktop& desktop, std::ostream& out,
              std::ostream& err) {
  RecordStore document;
  std::string error;
  if (!LoadDocumentFile(arguments.document_path, &document, &error)) {
    err << "error: " << error << "\n";
    return kExitUsage;
  }
  SimHost& host = SimHost::Instance();
  host.Reset();
  HostRegistration registration(host);
  host.Records() = document;

  PluginDriver driver;
  if (!driver.Load(arguments.plugin_path, &error)) {
    err << "error: cannot load the plug-in " << arguments.plugin_path << ": " << error << "\n";
    return kExitUsage;
  }
  RunOutcome outcome;
  outcome.before = host.Records();
  driver.Announce(&outcome.session);
  WriteRunHeader(outcome.session, outcome.before, out);
  out.flush();
  // The application only offers an item the plug-in described and did not disable.
  outcome.invoked = outcome.session.item.offered && outcome.session.menu_status != 0;
  if (outcome.invoked) {
    outcome.session.invoke_result = driver.Invoke(desktop.owner, &outcome.session);
  }
  driver.Terminate(&outcome.session);
  driver.Unload();

  outcome.after = host.Records();
  outcome.host_calls = host.Calls();
  outcome.frames = host.Frames();
  outcome.records_written = CountRecordsWritten(outcome.host_calls);
  outcome.open_transactions = host.OpenTransactions();
  if (desktop.shown_boxes) outcome.boxes = desktop.shown_boxes();
  WriteRunReport(outcome, out);

  if (!arguments.out_path.empty() && !SaveDocumentFile(outcome.after, arguments.out_path, &error)) {
    err << "error: " << error << "\n";
    return kExitUsage;
  }
  return outcome.invoked ? kExitSuccess : kExitNotRun;
}

}  // namespace hostsim
