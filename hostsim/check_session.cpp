#include "hostsim/check_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "hostsim/fault_sweep.h"
#include "hostsim/score_records.h"

#ifndef _WIN32
#include "platform/stand_in.h"
#endif

namespace hostsim {

namespace {

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

EntryWord AddressWord(const void* pointer) {
  return reinterpret_cast<std::uintptr_t>(pointer);
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

const char* AnswerWord(int answer) {
  return answer == IDYES ? "Yes" : answer == IDNO ? "No" : "with nothing";
}

}  // namespace

std::string ExportCheckName(const EntryPoint& entry) {
  return std::string(entry.name) + " is exported";
}

std::string StackCheckName(const EntryPoint& entry) {
  return std::string(entry.name) + " removes its " + std::to_string(4 * entry.argument_words) +
         " argument bytes from the stack";
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

std::string JoinedOnce(const std::vector<std::string>& problems, std::size_t most) {
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

// --- The host module as the plug-in looks into it ---

WatchedHostModule::WatchedHostModule(SimHost& host) : host_(host) {
#ifndef _WIN32
  module_ = platform::RegisterModule("SCORIX.EXE", &Resolve, this);
#endif
}

WatchedHostModule::~WatchedHostModule() {
#ifndef _WIN32
  platform::UnregisterModule(module_);
#endif
}

#ifndef _WIN32
FARPROC WatchedHostModule::Resolve(void* context, const char* name) {
  auto* self = static_cast<WatchedHostModule*>(context);
  const std::string wanted = name ? name : "";
  self->lookups_.push_back(wanted);
  ExportId id;
  if (!FindExport(wanted, &id) || !self->host_.HasExport(wanted)) return nullptr;
  return ExportAddress(id);
}
#endif

// Every frame the host lent must come back through FX_FreeTGF exactly once; a frame handed back
// that was never lent, or twice, is as wrong as one kept. The frames the host itself lent are
// also held to the rest of the contract: cleaned before they are saved or restructured, not
// cleaned before they are measured, their host bytes untouched, never used or written after they
// are freed.
CheckLine FrameCheck(const SimHost& host) {
  std::map<Word, int> lent;  // frame -> times lent and not yet freed
  std::size_t loaded = 0, freed = 0;
  std::vector<std::string> problems;
  for (const CallRecord& call : host.Calls()) {
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
  const FrameLedger& ledger = host.Frames();
  for (const FrameProblem& problem : ledger.problems) {
    if (FailsFrameLine(problem.kind)) problems.push_back(DescribeFrameProblem(problem));
  }
  std::string counts =
      Plural(loaded, "frame", "frames") + " loaded, " + std::to_string(freed) + " freed";
  if (ledger.saved > 0) counts += ", " + std::to_string(ledger.saved) + " saved";
  return {kFramesCheck, problems.empty(),
          problems.empty() ? counts : counts + ": " + JoinedOnce(problems)};
}

// --- The session ---

CheckSession::CheckSession(SimHost& host, const CheckDesktop& desktop, ApartChannel* channel)
    : host_(host), desktop_(desktop), channel_(channel) {}

CheckSession::~CheckSession() {
  if (module_) FreeLibrary(module_);
}

bool CheckSession::Load(const std::string& path, std::string* error) {
  if (channel_) channel_->Progress("loading the module");
  module_ = LoadLibraryA(path.c_str());
  if (!module_) {
    *error = "the module does not load";
    return false;
  }
  for (const EntryPoint& entry : kCheckedEntryPoints) {
    if (FARPROC function = GetProcAddress(module_, entry.name)) exports_[entry.name] = function;
  }
  return true;
}

EntryWord CheckSession::Call(const char* name, std::vector<EntryWord> args,
                             const std::string& doing) {
  if (channel_) channel_->Progress("calling " + std::string(name) + doing);
  EntryCall call{name, 0, 0, host_.Calls().size(), 0};
  call.result = CallWithWords(exports_.at(name), args.data(), static_cast<int>(args.size()),
                              &call.removed_bytes);
  call.end_host_call = host_.Calls().size();
  calls_.push_back(call);
  return call.result;
}

void CheckSession::Add(std::string name, bool passed, std::string seen) {
  behaviour_.push_back({std::move(name), passed, std::move(seen)});
}

std::vector<std::string> CheckSession::HostCallsDuring(const char* entry_point) const {
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

void CheckSession::CheckAnnouncement() {
  if (Has(kVersionEntry)) CheckVersion();
  if (Has(kInitEntry)) CheckInit();
  if (Has(kEnumerateEntry)) CheckEnumerate();
  if (Has(kMenuStatusEntry)) CheckMenuStatus();
  CheckQuietAnnouncement();
}

void CheckSession::CheckVersion() {
  bool echoed = true;
  std::vector<std::string> seen;
  for (std::uint32_t word : kVersionWords) {
    const auto answer = static_cast<std::uint32_t>(Call(kVersionEntry, {word}));
    echoed = echoed && answer == word;
    seen.push_back(Hex(word) + " -> " + Hex(answer));
  }
  Add(kVersionCheck, echoed, Joined(seen));
}

void CheckSession::CheckInit() {
  std::uint32_t flags = kHostFlags;
  const auto answer = static_cast<std::uint32_t>(Call(kInitEntry, {0, AddressWord(&flags)}));
  const bool passed = flags == (kHostFlags | 1u) && answer == 1;
  Add(kInitCheck, passed,
      "flags " + Hex(kHostFlags) + " -> " + Hex(flags) + ", answered " + std::to_string(answer));
}

void CheckSession::CheckEnumerate() {
  {
    const std::vector<std::uint8_t> before = PatternedRecord();
    std::vector<std::uint8_t> record = before;
    const auto answer = static_cast<std::uint32_t>(
        Call(kEnumerateEntry, {0, 0, AddressWord(record.data())}, " for item 0"));
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
    Add(kEnumerateItemCheck, problems.empty(),
        problems.empty() ? Joined(texts) : Joined(problems, "; "));
  }
  const std::vector<std::uint8_t> before = PatternedRecord();
  std::vector<std::uint8_t> record = before;
  const auto answer = static_cast<std::uint32_t>(
      Call(kEnumerateEntry, {0, 1, AddressWord(record.data())}, " for item 1"));
  const std::size_t changed = CountChanged(before, record, 0, record.size());
  Add(kEnumerateBeyondCheck, answer == 0 && changed == 0,
      "answered " + std::to_string(answer) + ", " +
          (changed ? Plural(changed, "byte", "bytes") + " of the record changed"
                   : std::string("record untouched")));
}

void CheckSession::CheckMenuStatus() {
  const auto answer = static_cast<std::uint32_t>(Call(kMenuStatusEntry, {0}));
  Add(kMenuStatusCheck, answer != 0, "answered " + std::to_string(answer));
}

void CheckSession::CheckQuietAnnouncement() {
  std::vector<std::string> seen;
  for (const char* entry_point : {kVersionEntry, kInitEntry, kEnumerateEntry, kMenuStatusEntry}) {
    const std::vector<std::string> names = HostCallsDuring(entry_point);
    if (!names.empty()) seen.push_back(Joined(names) + " during " + entry_point);
  }
  Add(kQuietCheck, seen.empty(), seen.empty() ? "none" : Joined(seen, "; "));
}

std::string CheckSession::BoxesSeen(int before) const {
  const int after = BoxesShown();
  if (before < 0 || after < 0) return "";
  return ", " + Plural(static_cast<std::size_t>(after - before), "box", "boxes") + " shown";
}

EntryWord CheckSession::InvokeAnswering(int answer) {
  desktop_.answer_boxes(answer);
  return Call(kInvokeEntry, {AddressWord(desktop_.owner), 0, 0, 0},
              std::string(", answered ") + AnswerWord(answer));
}

void CheckSession::CheckDeclined(const RecordStore& document) {
  host_.Records() = document;
  const int boxes = BoxesShown();
  const auto answer = static_cast<std::uint32_t>(InvokeAnswering(IDNO));
  open_after_decline_ = host_.OpenTransactions();
  Add(kDeclinedAnswerCheck, answer == 0, "answered " + std::to_string(answer) + BoxesSeen(boxes));
  const bool unchanged = host_.Records() == document;
  const std::size_t host_calls = calls_.back().end_host_call - calls_.back().first_host_call;
  Add(kDeclinedUnchangedCheck, unchanged,
      (unchanged ? std::string("unchanged") : DescribeDifferences(document, host_.Records())) +
          ", " + Plural(host_calls, "host call", "host calls"));
}

void CheckSession::CheckAccepted(const RecordStore& document) {
  // A plug-in that wrongly changed the document on No still gets the document it was meant to.
  host_.Records() = document;
  const int boxes = BoxesShown();
  const auto answer = static_cast<std::uint32_t>(InvokeAnswering(IDYES));
  open_after_accept_ = host_.OpenTransactions();
  const std::size_t host_calls = calls_.back().end_host_call - calls_.back().first_host_call;
  const std::string changes = DescribeDifferences(document, host_.Records());
  Add(kAcceptedAnswerCheck, answer == 1,
      "answered " + std::to_string(answer) + BoxesSeen(boxes) + ", " +
          Plural(host_calls, "host call", "host calls") + ", " +
          (changes.empty() ? std::string("document unchanged") : changes));
}

void CheckSession::Terminate() {
  if (Has(kTerminateEntry)) Call(kTerminateEntry, {0});
}

CheckLine CheckSession::Behaviour(const std::string& name) const {
  for (const CheckLine& line : behaviour_) {
    if (line.name == name) return line;
  }
  return {name, false, "not judged: the calls it needs were not made"};
}

CheckLine CheckSession::StackLine(const EntryPoint& entry) const {
  const int expected = 4 * entry.argument_words;
  int made = 0, wrong = 0, first_wrong_removed = 0;
  for (const EntryCall& call : calls_) {
    if (call.name != entry.name) continue;
    ++made;
    if (call.removed_bytes != expected && wrong++ == 0) first_wrong_removed = call.removed_bytes;
  }
  const std::string name = StackCheckName(entry);
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

CheckLine CheckSession::TransactionLine() const {
  return {kTransactionsCheck, open_after_decline_ == 0 && open_after_accept_ == 0,
          "open after No: " + std::to_string(open_after_decline_) +
              ", after Yes: " + std::to_string(open_after_accept_)};
}

CheckLine CheckSession::KnownExportsLine(const std::vector<std::string>& lookups,
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
  return {kKnownExportsCheck, unknown.empty(), seen};
}

}  // namespace hostsim
