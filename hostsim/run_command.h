// The two commands of the simulated host program: `show` a document, and `run` a plug-in's
// command on a document and report what changed. Portable: scorix-sim (POSIX) and the Windows
// SCORIX.EXE share it; each sets up how message boxes are answered and which window owns them,
// and hands that in.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/plugin_driver.h"
#include "hostsim/record_store.h"
#include "hostsim/sim_host.h"
#include "platform/win32.h"

namespace hostsim {

constexpr int kExitSuccess = 0;
// The plug-in could not be run as the application would run it (no menu item, item disabled).
constexpr int kExitNotRun = 1;
// Bad arguments, a document that cannot be read or is malformed, a module that does not load.
constexpr int kExitUsage = 2;

// The usage text, with the program's own name in it.
std::string UsageText(const std::string& program);

// `run PLUGIN DOCUMENT [--answer yes|no] [--out AFTER.json]`, the verb already taken off.
struct RunArguments {
  std::string plugin_path;
  std::string document_path;
  std::optional<int> answer;  // IDYES or IDNO; absent when the person at the desktop answers
  std::string out_path;       // empty: no document is written
};

bool ParseRunArguments(const std::vector<std::string>& args, RunArguments* parsed,
                       std::string* error);

// A message box the plug-in showed, as the desktop that answered it recorded it.
struct ShownBox {
  std::string caption;
  std::string text;
  unsigned style;
  int answer;
};

// How the caller's desktop takes part in a run.
struct RunDesktop {
  HWND owner = nullptr;  // the host window: the owner of the plug-in's confirmation box
  // The boxes shown so far; left empty by a desktop that cannot tell.
  std::function<std::vector<ShownBox>()> shown_boxes;
};

// Everything a run report is made from.
struct RunOutcome {
  RecordStore before;
  RecordStore after;
  PluginSession session;
  bool invoked = false;  // false when the application would not have invoked the item
  int records_written = 0;
  int open_transactions = 0;
  std::vector<CallRecord> host_calls;
  FrameLedger frames;
  std::optional<std::vector<ShownBox>> boxes;
};

// Successful record writes (FX_SaveEData, FX_CreateEData) among the calls the host saw.
int CountRecordsWritten(const std::vector<CallRecord>& calls);

void WriteShowReport(const RecordStore& document, std::ostream& out);
// The run report comes in two parts: the plug-in and the document, before the command runs (so
// they come before its boxes on a terminal), and what happened, after it.
void WriteRunHeader(const PluginSession& session, const RecordStore& document, std::ostream& out);
void WriteRunReport(const RunOutcome& outcome, std::ostream& out);

// The commands; each answers the process exit code. Errors go to `err`, reports to `out`.
int ShowDocument(const std::string& document_path, std::ostream& out, std::ostream& err);
int RunPlugin(const RunArguments& arguments, const RunDesktop& desktop, std::ostream& out,
              std::ostream& err);

}  // namespace hostsim
