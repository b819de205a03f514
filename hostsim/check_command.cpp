#include "hostsim/check_command.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <utility>

#include "hostsim/document.h"
#include "hostsim/plugin_driver.h"
#include "hostsim/run_command.h"
#include "hostsim/score_records.h"

#ifndef _WIN32
#include "platform/stand_in.h"
#endif

namespace hostsim {

namespace {

struct EntryPoint {
  const char* name;
  int argument_words;
};

constexpr const char* kVersion = "ScorixExtensionVersion";
constexpr const char* kInit = "ScorixExtensionInit";
constexpr const char* kEnumerate = "ScorixExtensionEnumerate";
constexpr const char* kInvoke = "ScorixExtensionInvoke";
constexpr const char* kTerminate = "ScorixExtensionTerminate";
constexpr const char* kMenuStatus = "ScorixExtensionGetMenuStatus";

constexpr EntryPoint kEntryPoints[] = {
    {kVersion, 1}, {kInit, 2}, {kEnumerate, 3}, {kInvoke, 4}, {kTerminate, 1}, {kMenuStatus, 1},
};

// The odd word first, the application's own last, so the plug-in goes on to run its command
// with the version it will really meet.
constexpr std::uint32_t kVersionWords[] = {0x1A2B3C4D, 0x0F000200};
// Bits the host may have set before the plug-in sees the flag word; bit 0 is the plug-in's.
constexpr std::uint32_t kHostFlags = 0x6;

// The menu item record: three 64-byte texts and two 16-bit words.
constexpr std::size_t kMenuTextBytes = 64;
constexpr std::size_t kMenuRecordBytes = 196;
// Bytes after the record that the plug-in must not write; they show a copy that runs long.
constexpr std::size_t kGuardBytes = 16;
constexpr const char* kMenuFieldNames[] = {"title", "description", "short name"};

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

EntryWord AddressWord(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Joined(const std::vector<std::string>& parts, const char* separator = ", ") {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

// Each distinct problem once, with how often it was seen when more than once; past `most`
// distinct problems, how many more there are.
std::string JoinedOnce(const std::vector<std::string>& problems, std::size_t most = 8) {
  std::vector<std::string> distinct;
  std::set<std::string> told;
  for (const std::string& problem : problems) {
    if (!told.insert(problem).second) continue;
    const auto times = std::count(problems.begin(), problems.end(), problem);
    if (distinct.size() < most) {
      distinct.push_back(times == 1 ? problem : problem + " (" + std::to_string(times) + " times)");
    }
  }
  if (told.size() > most) {
    distinct.push_back("and " + Plural(told.size() - most, "other problem", "other problems"));
  }
  return Joined(distinct, "; ");
}

// Whether the check fails a plug-in for a frame problem: not for the frees, which it counts from
// the calls (so frames lent by a behaviour of a test's own are counted too), and not for entries
// edited before a call that reads them as lent: a plug-in may edit what it was lent; only
// cleaning them too soon is a fault.
bool FailsFrameLine(FrameProblemKind kind) {
  return kind != FrameProblemKind::kDoubleFree && kind != FrameProblemKind::kUnknownFree &&
         kind != FrameProblemKind::kNullFree && kind != FrameProblemKind::kNotAsLent;
}

// A pattern no plug-in writes by accident: neighbouring bytes differ.
std::vector<std::uint8_t> PatternedRecord() {
  std::vector<std::uint8_t> bytes(kMenuRecordBytes + kGuardBytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(0x5A + 7 * i);
  }
  return bytes;
}

std::size_t CountChanged(const std::vector<std::uint8_t>& before,
                         const std::vector<std::uint8_t>& after, std::size_t begin,
                         std::size_t end) {
  std::size_t changed = 0;
  for (std::size_t i = begin; i < end; ++i) changed += before[i] != after[i];
  return changed;
}

// What a second document holds that the first does not, in words.
std::string DescribeDifferences(const RecordStore& before, const RecordStore& after) {
  std::size_t changed = 0, added = 0, removed = 0;
  for (const auto& [key, bytes] : after.Records()) {
    const Bytes* old = before.Find(key.tag, key.id);
    if (!old) {
      ++added;
    } else if (*old != bytes) {
      ++changed;
    }
  }
  for (const auto& entry : before.Records()) {
    if (!after.Find(entry.first.tag, entry.first.id)) ++removed;
  }
  std::size_t frames_changed = 0;
  for (const auto& [key, entries] : after.Frames()) {
    const Bytes* old = before.FindFrame(key);
    frames_changed += !old || *old != entries;
  }
  for (const auto& entry : before.Frames()) frames_changed += !after.FindFrame(entry.first);
  std::vector<std::string> parts;
  if (changed) parts.push_back(Plural(changed, "record changed", "records changed"));
  if (added) parts.push_back(Plural(added, "record added", "records added"));
  if (removed) parts.push_back(Plural(removed, "record removed", "records removed"));
  if (frames_changed) parts.push_back(Plural(frames_changed, "frame changed", "frames changed"));
  if (!(before.Layers() == after.Layers())) parts.push_back("layer setup changed");
  return Joined(parts);
}

// Every name the plug-in asks the host module for, whether or not the host has it. On Windows
// the host is the executable itself and the lookups are not seen.
class WatchedHostModule {
 public:
  explicit WatchedHostModule(SimHost& host) : host_(host) {
#ifndef _WIN32
    module_ = platform::RegisterModule("SCORIX.EXE", &Resolve, this);
#endif
  }
  ~WatchedHostModule() {
#ifndef _WIN32
    platform::UnregisterModule(module_);
#endif
  }
  WatchedHostModule(const WatchedHostModule&) = delete;
  WatchedHostModule& operator=(const WatchedHostModule&) = delete;

  static constexpr bool kSeesLookups =
#ifdef _WIN32
      false;
#else
      true;
#endif

  const std::vector<std::string>& Lookups() const {
    return lookups_;
  }

 private:
#ifndef _WIN32
  static FARPROC Resolve(void* context, const char* name) {
    auto* self = static_cast<WatchedHostModule*>(context);
    const std::string wanted = name ? name : "";
    self->lookups_.push_back(wanted);
    ExportId id;
    if (!FindExport(wanted, &id) || !self->host_.HasExport(wanted)) return nullptr;
    return ExportAddress(id);
  }
  HMODULE module_ = nullptr;
#endif
  SimHost& host_;
  std::vector<std::string> lookups_;
};

// One entry-point call and the host calls made while it ran (indices into SimHost::Calls()).
struct EntryCall {
  std::string name;
  int argument_bytes;
  int removed_bytes;
  EntryWord result;
  std::size_t first_host_call;
  std::size_t end_host_call;
};

class Checker {
 public:
  Checker(SimHost& host, const CheckDesktop& desktop) : host_(host), desktop_(desktop) {}
  ~Checker() {
    if (module_) FreeLibrary(module_);
  }
  Checker(const Checker&) = delete;
  Checker& operator=(const Checker&) = delete;

  bool Load(const std::string& path, std::string* error);
  void CheckAnnouncement();
  void CheckInvocation(const RecordStore& document);
  void Terminate();
  // Every line, in reading order; the stack checks can only be judged once all calls are made.
  std::vector<CheckLine> Lines(const std::vector<std::string>& lookups, bool sees_lookups) const;

 private:
  bool Has(const char* name) const { return exports_.count(name) > 0; }
  EntryWord Call(const char* name, std::vector<EntryWord> args);
  void Add(std::string name, bool passed, std::string seen);
  std::vector<std::string> HostCallsDuring(const char* entry_point) const;

  void CheckVersion();
  void CheckInit();
  void CheckEnumerateItem();
  void CheckEnumerateBeyondItem();
  void CheckMenuStatus();
  void CheckQuietAnnouncement();
  void CheckDeclined(const RecordStore& document);
  void CheckAccepted(const RecordStore& document);
  int BoxesShown() const { return desktop_.boxes_shown ? desktop_.boxes_shown() : -1; }
  std::string BoxesSeen(int before) const;

  CheckLine ExportLine(const EntryPoint& entry) const;
  CheckLine StackLine(const EntryPoint& entry) const;
  CheckLine TransactionLine() const;
  CheckLine FrameLine() const;
  CheckLine KnownExportsLine(const std::vector<std::string>& lookups, bool sees_lookups) const;

  SimHost& host_;
  const CheckDesktop& desktop_;
  HMODULE module_ = nullptr;
  std::map<std::string, FARPROC> exports_;
  std::vector<EntryCall> calls_;
  std::vector<CheckLine> behaviour_;
  int open_after_decline_ = 0;
  int open_after_accept_ = 0;
  bool invoked_ = false;
};

bool Checker::Load(const std::string& path, std::string* error) {
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    *error = "the module does not load";
    return false;
  }
  for (const EntryPoint& entry : kEntryPoints) {
    if (FARPROC function = GetProcAddress(module_, entry.name)) exports_[entry.name] = function;
  }
  return true;
}

EntryWord Checker::Call(const char* name, std::vector<EntryWord> args) {
  EntryCall call{name, static_cast<int>(4 * args.size()), 0, 0, host_.Calls().size(), 0};
  call.result = CallWithWords(exports_.at(name), args.data(), static_cast<int>(args.size()),
                              &call.removed_bytes);
  call.end_host_call = host_.Calls().size();
  calls_.push_back(call);
  return call.result;
}

void Checker::Add(std::string name, bool passed, std::string seen) {
  behaviour_.push_back({std::move(name), passed, std::move(seen)});
}

std::vector<std::string> Checker::HostCallsDuring(const char* entry_point) const {
  std::vector<std::string> names;
  const auto& host_calls = host_.Calls();
  for (const EntryCall& call : calls_) {
    if (call.name != entry_point) continue;
    for (std::size_t i = call.first_host_call; i < call.end_host_call && i < host_calls.size();
         ++i) {
      names.push_back(host_calls[i].name);
    }
  }
  return names;
}

void Checker::CheckAnnouncement() {
  if (Has(kVersion)) CheckVersion();
  if (Has(kInit)) CheckInit();
  if (Has(kEnumerate)) {
    CheckEnumerateItem();
    CheckEnumerateBeyondItem();
  }
  if (Has(kMenuStatus)) CheckMenuStatus();
  CheckQuietAnnouncement();
}

void Checker::CheckVersion() {
  bool echoed = true;
  std::vector<std::string> seen;
  for (std::uint32_t word : kVersionWords) {
    const auto answer = static_cast<std::uint32_t>(Call(kVersion, {word}));
    echoed = echoed && answer == word;
    seen.push_back(Hex(word) + " -> " + Hex(answer));
  }
  Add("ScorixExtensionVersion answers the word it is given", echoed, Joined(seen));
}

void Checker::CheckInit() {
  std::uint32_t flags = kHostFlags;
  const auto answer = static_cast<std::uint32_t>(Call(kInit, {0, AddressWord(&flags)}));
  const bool passed = flags == (kHostFlags | 1u) && answer == 1;
  Add("ScorixExtensionInit sets bit 0 of the flags, keeps the others and answers 1", passed,
      "flags " + Hex(kHostFlags) + " -> " + Hex(flags) + ", answered " + std::to_string(answer));
}

void Checker::CheckEnumerateItem() {
  const std::vector<std::uint8_t> before = PatternedRecord();
  std::vector<std::uint8_t> record = before;
  const auto answer =
      static_cast<std::uint32_t>(Call(kEnumerate, {0, 0, AddressWord(record.data())}));
  std::vector<std::string> problems, texts;
  if (answer != 1) problems.push_back("answered " + std::to_string(answer));
  for (std::size_t field = 0; field < 3; ++field) {
    const char* text = reinterpret_cast<const char*>(record.data() + field * kMenuTextBytes);
    const std::size_t length = strnlen(text, kMenuTextBytes);
    if (length == kMenuTextBytes) {
      problems.push_back(std::string("the ") + kMenuFieldNames[field] + " has no NUL within " +
                         std::to_string(kMenuTextBytes) + " bytes");
    } else if (length == 0 && field == 0) {
      problems.push_back("the title is empty: the menu would show nothing");
    } else {
      texts.push_back("\"" + Printable(std::string(text, length)) + "\"");
    }
  }
  const std::size_t beyond =
      CountChanged(before, record, kMenuRecordBytes, kMenuRecordBytes + kGuardBytes);
  if (beyond) {
    problems.push_back("wrote " + Plural(beyond, "byte", "bytes") + " past the " +
                       std::to_string(kMenuRecordBytes) + "-byte record");
  }
  Add("ScorixExtensionEnumerate fills item 0 with three terminated texts and answers 1",
      problems.empty(), problems.empty() ? Joined(texts) : Joined(problems, "; "));
}

void Checker::CheckEnumerateBeyondItem() {
  const std::vector<std::uint8_t> before = PatternedRecord();
  std::vector<std::uint8_t> record = before;
  const auto answer =
      static_cast<std::uint32_t>(Call(kEnumerate, {0, 1, AddressWord(record.data())}));
  const std::size_t changed = CountChanged(before, record, 0, record.size());
  Add("ScorixExtensionEnumerate answers 0 for item 1 and leaves the record untouched",
      answer == 0 && changed == 0,
      "answered " + std::to_string(answer) + ", " +
          (changed ? Plural(changed, "byte", "bytes") + " of the record changed"
                   : std::string("record untouched")));
}

void Checker::CheckMenuStatus() {
  const auto answer = static_cast<std::uint32_t>(Call(kMenuStatus, {0}));
  Add("ScorixExtensionGetMenuStatus enables the item", answer != 0,
      "answered " + std::to_string(answer));
}

void Checker::CheckQuietAnnouncement() {
  std::vector<std::string> seen;
  for (const char* entry_point : {kVersion, kInit, kEnumerate, kMenuStatus}) {
    const std::vector<std::string> names = HostCallsDuring(entry_point);
    if (!names.empty()) seen.push_back(Joined(names) + " during " + entry_point);
  }
  Add("no host call before the command is invoked", seen.empty(),
      seen.empty() ? "none" : Joined(seen, "; "));
}

std::string Checker::BoxesSeen(int before) const {
  const int after = BoxesShown();
  if (before < 0 || after < 0) return "";
  return ", " + Plural(static_cast<std::size_t>(after - before), "box", "boxes") + " shown";
}

void Checker::CheckInvocation(const RecordStore& document) {
  if (!Has(kInvoke) || !desktop_.answer_boxes) return;
  invoked_ = true;
  CheckDeclined(document);
  CheckAccepted(document);
}

void Checker::CheckDeclined(const RecordStore& document) {
  host_.Records() = document;
  desktop_.answer_boxes(IDNO);
  const int boxes = BoxesShown();
  const auto answer =
      static_cast<std::uint32_t>(Call(kInvoke, {AddressWord(desktop_.owner), 0, 0, 0}));
  open_after_decline_ = host_.OpenTransactions();
  Add("ScorixExtensionInvoke answered No answers 0", answer == 0,
      "answered " + std::to_string(answer) + BoxesSeen(boxes));
  const bool unchanged = host_.Records() == document;
  const std::size_t host_calls = calls_.back().end_host_call - calls_.back().first_host_call;
  Add("ScorixExtensionInvoke answered No leaves the document byte for byte unchanged", unchanged,
      (unchanged ? std::string("unchanged") : DescribeDifferences(document, host_.Records())) +
          ", " + Plural(host_calls, "host call", "host calls"));
}

void Checker::CheckAccepted(const RecordStore& document) {
  // A plug-in that wrongly changed the document on No still gets the document it was meant to.
  host_.Records() = document;
  desktop_.answer_boxes(IDYES);
  const int boxes = BoxesShown();
  const auto answer =
      static_cast<std::uint32_t>(Call(kInvoke, {AddressWord(desktop_.owner), 0, 0, 0}));
  open_after_accept_ = host_.OpenTransactions();
  const std::size_t host_calls = calls_.back().end_host_call - calls_.back().first_host_call;
  const std::string changes = DescribeDifferences(document, host_.Records());
  Add("ScorixExtensionInvoke answered Yes answers 1", answer == 1,
      "answered " + std::to_string(answer) + BoxesSeen(boxes) + ", " +
          Plural(host_calls, "host call", "host calls") + ", " +
          (changes.empty() ? std::string("document unchanged") : changes));
}

void Checker::Terminate() {
  if (Has(kTerminate)) Call(kTerminate, {0});
}

CheckLine Checker::ExportLine(const EntryPoint& entry) const {
  const bool present = Has(entry.name);
  return {std::string(entry.name) + " is exported", present, present ? "found" : "missing"};
}

CheckLine Checker::StackLine(const EntryPoint& entry) const {
  const int expected = 4 * entry.argument_words;
  int made = 0, wrong = 0, first_wrong_removed = 0;
  for (const EntryCall& call : calls_) {
    if (call.name != entry.name) continue;
    ++made;
    if (call.removed_bytes != expected && wrong++ == 0) first_wrong_removed = call.removed_bytes;
  }
  const std::string name = std::string(entry.name) + " removes its " + std::to_string(expected) +
                           " argument bytes from the stack";
  if (!kStackCleanupMeasured) return {name, false, kStackCheckNotApplicable, true};
  if (made == 0) return {name, false, "never called"};
  if (wrong == 0) {
    return {name, true,
            "removed " + std::to_string(expected) + " in " +
                Plural(static_cast<std::size_t>(made), "call", "calls")};
  }
  return {name, false,
          "removed " + std::to_string(first_wrong_removed) + " in " + std::to_string(wrong) +
              " of " + Plural(static_cast<std::size_t>(made), "call", "calls")};
}

CheckLine Checker::TransactionLine() const {
  return {"ScorixExtensionInvoke leaves no edit transaction open",
          open_after_decline_ == 0 && open_after_accept_ == 0,
          "open after No: " + std::to_string(open_after_decline_) +
              ", after Yes: " + std::to_string(open_after_accept_)};
}

// Every frame the host lent (a non-null FX_LoadTGF answer) must come back through FX_FreeTGF
// exactly once; a frame handed back that was never lent, or twice, is as wrong as one kept. The
// frames the host itself lent are also held to the rest of the contract: cleaned before they are
// saved or restructured, not cleaned before they are measured, their host bytes untouched, never
// used or written after they are freed.
CheckLine Checker::FrameLine() const {
  std::map<Word, int> lent;  // frame -> times lent and not yet freed
  std::size_t loaded = 0, freed = 0;
  std::vector<std::string> problems;
  for (const CallRecord& call : host_.Calls()) {
    if (call.name == "FX_LoadTGF" && call.result != 0) {
      ++loaded;
      ++lent[call.result];
    } else if (call.name == "FX_FreeTGF" && !call.args.empty()) {
      ++freed;
      auto frame = lent.find(call.args[0]);
      if (frame == lent.end() || frame->second == 0) {
        problems.push_back("freed " + Hex(call.args[0]) + ", which it did not hold");
      } else {
        --frame->second;
      }
    }
  }
  for (const auto& [frame, outstanding] : lent) {
    if (outstanding > 0) problems.push_back("kept " + Hex(frame));
  }
  const FrameLedger& ledger = host_.Frames();
  for (const FrameProblem& problem : ledger.problems) {
    if (FailsFrameLine(problem.kind)) problems.push_back(DescribeFrameProblem(problem));
  }
  std::string counts =
      Plural(loaded, "frame", "frames") + " loaded, " + std::to_string(freed) + " freed";
  if (ledger.saved > 0) counts += ", " + std::to_string(ledger.saved) + " saved";
  return {"ScorixExtensionInvoke frees every frame it loads", problems.empty(),
          problems.empty() ? counts : counts + ": " + JoinedOnce(problems)};
}

CheckLine Checker::KnownExportsLine(const std::vector<std::string>& lookups,
                                    bool sees_lookups) const {
  std::set<std::string> unknown, called;
  for (const std::string& name : lookups) {
    if (!host_.HasExport(name)) unknown.insert(name);
  }
  for (const CallRecord& call : host_.Calls()) {
    called.insert(call.name);
    if (!host_.HasExport(call.name)) unknown.insert(call.name);
  }
  const std::set<std::string> asked(lookups.begin(), lookups.end());
  std::string seen = sees_lookups ? "asked for " + Plural(asked.size(), "name", "names") + ", "
                                  : std::string("lookups not visible here, ");
  seen += "called " + Plural(called.size(), "export", "exports");
  if (!unknown.empty()) {
    seen += "; the host has no " + Joined(std::vector<std::string>(unknown.begin(), unknown.end()));
  }
  return {"the plug-in asks the host only for exports it has", unknown.empty(), seen};
}

std::vector<CheckLine> Checker::Lines(const std::vector<std::string>& lookups,
                                      bool sees_lookups) const {
  std::vector<CheckLine> lines;
  for (const EntryPoint& entry : kEntryPoints) lines.push_back(ExportLine(entry));
  for (const EntryPoint& entry : kEntryPoints) {
    if (Has(entry.name) && (invoked_ || entry.name != std::string(kInvoke))) {
      lines.push_back(StackLine(entry));
    }
  }
  lines.insert(lines.end(), behaviour_.begin(), behaviour_.end());
  if (invoked_) {
    lines.push_back(TransactionLine());
    lines.push_back(FrameLine());
  }
  lines.push_back(KnownExportsLine(lookups, sees_lookups));
  return lines;
}

}  // namespace

int CheckReport::FailedCount() const {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const CheckLine& line) {
    return !line.passed && !line.skipped;
  }));
}

int CheckReport::SkippedCount() const {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [](const CheckLine& line) { return line.skipped; }));
}

bool ParseCheckArguments(const std::vector<std::string>& args, CheckArguments* parsed,
                         std::string* error) {
  for (const std::string& arg : args) {
    if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    }
  }
  if (args.empty() || args.size() > 2) {
    *error = "check takes a plug-in and, if you like, a document";
    return false;
  }
  parsed->plugin_path = args[0];
  parsed->document_path = args.size() == 2 ? args[1] : std::string();
  return true;
}

RecordStore BuiltInCheckDocument() {
  RecordStore document;
  std::string error;
  LoadDocument(kBuiltInDocument, &document, &error);
  return document;
}

CheckReport CheckPlugin(const std::string& plugin_path, const RecordStore& document,
                        const CheckDesktop& desktop, const HostSetup& setup) {
  SimHost& host = SimHost::Instance();
  host.Reset();
  if (setup) setup(host);
  host.Records() = document;
  WatchedHostModule host_module(host);

  CheckReport report;
  Checker checker(host, desktop);
  if (!checker.Load(plugin_path, &report.error)) return report;
  report.loaded = true;
  checker.CheckAnnouncement();
  checker.CheckInvocation(document);
  checker.Terminate();
  report.lines = checker.Lines(host_module.Lookups(), WatchedHostModule::kSeesLookups);
  return report;
}

void WriteCheckReport(const CheckReport& report, std::ostream& out) {
  for (const CheckLine& line : report.lines) {
    out << (line.skipped  ? "skip "
            : line.passed ? "ok   "
                          : "FAIL ")
        << line.name << " (" << line.seen << ")\n";
  }
  out << report.lines.size() << " checks, " << report.FailedCount() << " failed";
  if (report.SkippedCount() > 0) out << ", " << report.SkippedCount() << " skipped";
  out << "\n";
}

int CheckCommand(const CheckArguments& arguments, const CheckDesktop& desktop, std::ostream& out,
                 std::ostream& err) {
  RecordStore document;
  std::string error;
  if (arguments.document_path.empty()) {
    document = BuiltInCheckDocument();
  } else if (!LoadDocumentFile(arguments.document_path, &document, &error)) {
    err << "error: " << error << "\n";
    return kExitUsage;
  }
  const CheckReport report = CheckPlugin(arguments.plugin_path, document, desktop);
  if (!report.loaded) {
    err << "error: cannot load the plug-in " << arguments.plugin_path << ": " << report.error
        << "\n";
    return kExitUsage;
  }
  out << "Checking " << arguments.plugin_path << " on "
      << (arguments.document_path.empty() ? std::string("the built-in document")
                                          : arguments.document_path)
      << "\n";
  WriteCheckReport(report, out);
  return report.FailedCount() == 0 ? kExitSuccess : kExitChecksFailed;
}

}  // namespace hostsim
