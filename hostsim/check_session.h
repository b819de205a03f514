// One plug-in under check in this process: the module loaded, its entry points called with
// arguments chosen to expose the usual mistakes (wrong calling convention, texts that run out of
// their fields, a record written where none was asked for, host calls made too early, a box
// answer ignored, edit transactions or frames left behind), every call noted with the host calls
// made while it ran, and each check judged from what was seen.
//
// The validator (check_command.h) runs every check in a process of its own; each such process
// makes one session and asks it for the calls and the judgement its check needs.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "hostsim/check_command.h"
#include "hostsim/plugin_driver.h"
#include "hostsim/record_store.h"
#include "hostsim/run_apart.h"
#include "hostsim/sim_host.h"
#include "platform/win32.h"

namespace hostsim {

struct EntryPoint {
  const char* name;
  int argument_words;
};

constexpr const char* kVersionEntry = "ScorixExtensionVersion";
constexpr const char* kInitEntry = "ScorixExtensionInit";
constexpr const char* kEnumerateEntry = "ScorixExtensionEnumerate";
constexpr const char* kInvokeEntry = "ScorixExtensionInvoke";
constexpr const char* kTerminateEntry = "ScorixExtensionTerminate";
constexpr const char* kMenuStatusEntry = "ScorixExtensionGetMenuStatus";

constexpr EntryPoint kCheckedEntryPoints[] = {
    {kVersionEntry, 1}, {kInitEntry, 2},      {kEnumerateEntry, 3},
    {kInvokeEntry, 4},  {kTerminateEntry, 1}, {kMenuStatusEntry, 1},
};

// The names of the checks a session judges, as the reports show them.
constexpr const char* kVersionCheck = "ScorixExtensionVersion answers the word it is given";
constexpr const char* kInitCheck =
    "ScorixExtensionInit sets bit 0 of the flags, keeps the others and answers 1";
constexpr const char* kEnumerateItemCheck =
    "ScorixExtensionEnumerate fills item 0 with three terminated texts and answers 1";
constexpr const char* kEnumerateBeyondCheck =
    "ScorixExtensionEnumerate answers 0 for item 1 and leaves the record untouched";
constexpr const char* kMenuStatusCheck = "ScorixExtensionGetMenuStatus enables the item";
constexpr const char* kQuietCheck = "no host call before the command is invoked";
constexpr const char* kDeclinedAnswerCheck = "ScorixExtensionInvoke answered No answers 0";
constexpr const char* kDeclinedUnchangedCheck =
    "ScorixExtensionInvoke answered No leaves the document byte for byte unchanged";
constexpr const char* kAcceptedAnswerCheck = "ScorixExtensionInvoke answered Yes answers 1";
constexpr const char* kTransactionsCheck = "ScorixExtensionInvoke leaves no edit transaction open";
constexpr const char* kFramesCheck = "ScorixExtensionInvoke frees every frame it loads";
constexpr const char* kKnownExportsCheck = "the plug-in asks the host only for exports it has";
std::string ExportCheckName(const EntryPoint& entry);
std::string StackCheckName(const EntryPoint& entry);

// Words for the reports.
std::string Hex(std::uint64_t value);
std::string Plural(std::size_t count, const char* one, const char* many);
std::string Joined(const std::vector<std::string>& parts, const char* separator = ", ");
// Each distinct problem once, with how often it was seen when more than once; past `most`
// distinct problems, how many more there are.
std::string JoinedOnce(const std::vector<std::string>& problems, std::size_t most = 8);

// Every name the plug-in asks the host module for, whether or not the host has it. On Windows
// the host is the executable itself and the lookups are not seen.
class WatchedHostModule {
 public:
  explicit WatchedHostModule(SimHost& host);
  ~WatchedHostModule();
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
  static FARPROC Resolve(void* context, const char* name);
  HMODULE module_ = nullptr;
#endif
  SimHost& host_;
  std::vector<std::string> lookups_;
};

// The frame check of what the host saw since it was reset: every frame the host lent (a
// non-null FX_LoadTGF answer) came back through FX_FreeTGF exactly once, none was handed back
// that was never lent, and the ledger holds no misuse of a frame the host lent itself.
CheckLine FrameCheck(const SimHost& host);

class CheckSession {
 public:
  // Progress notes go to `channel` when there is one.
  CheckSession(SimHost& host, const CheckDesktop& desktop, ApartChannel* channel);
  ~CheckSession();
  CheckSession(const CheckSession&) = delete;
  CheckSession& operator=(const CheckSession&) = delete;

  bool Load(const std::string& path, std::string* error);
  // Where progress notes go from now on (a run within the check has a channel of its own).
  void UseChannel(ApartChannel* channel) { channel_ = channel; }
  ApartChannel* Channel() const { return channel_; }
  bool Has(const char* name) const { return exports_.count(name) > 0; }
  // Whether the command can be invoked: the export is there and the desktop answers boxes.
  bool CanInvoke() const { return Has(kInvokeEntry) && desktop_.answer_boxes != nullptr; }

  // The calls the application makes once the module is loaded, each judged: version, init,
  // enumerate (item 0 and item 1), menu status, and whether any of them called the host.
  void CheckAnnouncement();
  void CheckVersion();
  void CheckInit();
  void CheckEnumerate();
  void CheckMenuStatus();
  void CheckQuietAnnouncement();
  // The command answered No, then Yes, each on `document` (the host's records are set to it).
  void CheckDeclined(const RecordStore& document);
  void CheckAccepted(const RecordStore& document);
  void Terminate();
  // Invokes the command on whatever the host holds with every question answered `answer`, and
  // answers what the entry point answered; nothing is judged.
  EntryWord InvokeAnswering(int answer);

  // A line judged by the calls above, by its name (a failed line when no call judged it).
  CheckLine Behaviour(const std::string& name) const;
  CheckLine StackLine(const EntryPoint& entry) const;
  CheckLine TransactionLine() const;
  CheckLine KnownExportsLine(const std::vector<std::string>& lookups, bool sees_lookups) const;

 private:
  struct EntryCall {
    std::string name;
    int removed_bytes;
    EntryWord result;
    std::size_t first_host_call;  // indices into SimHost::Calls()
    std::size_t end_host_call;
  };

  EntryWord Call(const char* name, std::vector<EntryWord> args, const std::string& doing = "");
  void Add(std::string name, bool passed, std::string seen);
  std::vector<std::string> HostCallsDuring(const char* entry_point) const;
  int BoxesShown() const { return desktop_.boxes_shown ? desktop_.boxes_shown() : -1; }
  std::string BoxesSeen(int before) const;

  SimHost& host_;
  const CheckDesktop& desktop_;
  ApartChannel* channel_;
  HMODULE module_ = nullptr;
  std::map<std::string, FARPROC> exports_;
  std::vector<EntryCall> calls_;
  std::vector<CheckLine> behaviour_;
  int open_after_decline_ = 0;
  int open_after_accept_ = 0;
};

}  // namespace hostsim
