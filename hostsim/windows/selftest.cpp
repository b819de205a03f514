#include "hostsim/windows/selftest.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "hostsim/document.h"
#include "hostsim/plugin_driver.h"
#include "hostsim/sim_host.h"
#include "hostsim/windows/box_answerer.h"
#include "hostsim/windows/host_window.h"

namespace hostsim {

namespace {

using nlohmann::json;

constexpr int kUsageError = 64;
constexpr int kRunFailed = 1;
constexpr std::uint32_t kFrameworkVersionWord = 0x0F000200;
// The names under which a plug-in looks for its host, in the order it tries them.
const char* const kHostModuleNames[] = {"SCORIX.EXE", "VAVAVER.EXE"};
// An export every host offers that takes only the version word.
constexpr char kProbeExport[] = "FX_GetMaxLayers";

std::string RunningModuleName() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string full = path;
  const auto separator = full.find_last_of("\\/");
  return separator == std::string::npos ? full : full.substr(separator + 1);
}

// Looks the host up the way a plug-in's binding does, and calls one export through what it
// found: shows that a plug-in finds this program under its current name and that the exports
// are reachable by their plain names with the callee cleaning the stack.
json ProbeHostLookup() {
  json lookup = {{"found_as", nullptr}, {"export", kProbeExport}, {"resolved", false}};
  HMODULE host = nullptr;
  for (const char* name : kHostModuleNames) {
    host = GetModuleHandleA(name);
    if (host) {
      lookup["found_as"] = name;
      break;
    }
  }
  FARPROC probe = host ? GetProcAddress(host, kProbeExport) : nullptr;
  if (!probe) return lookup;
  const EntryWord args[] = {kFrameworkVersionWord};
  int removed_bytes = 0;
  CallWithWords(probe, args, 1, &removed_bytes);
  lookup["resolved"] = true;
  lookup["calls_seen_by_host"] = SimHost::Instance().CountCalls(kProbeExport);
  lookup["argument_bytes"] = 4;
  lookup["removed_bytes"] = removed_bytes;
  return lookup;
}

json SessionReport(const PluginSession& session) {
  json report;
  report["entry_points"] = json::array();
  for (const auto& call : session.calls) {
    report["entry_points"].push_back({{"name", call.name},
                                      {"argument_bytes", call.argument_bytes},
                                      {"removed_bytes", call.removed_bytes},
                                      {"result", call.result}});
  }
  report["menu_item"] = {
      {"offered", session.item.offered},         {"title", session.item.title},
      {"description", session.item.description}, {"short_name", session.item.short_name},
      {"reserved1", session.item.reserved1},     {"reserved2", session.item.reserved2}};
  report["flags_after_init"] = session.flags_after_init;
  report["menu_status"] = session.menu_status;
  report["invoke_result"] = session.invoke_result;
  return report;
}

json BoxesReport(const std::vector<SeenBox>& boxes) {
  json report = json::array();
  for (const auto& box : boxes) {
    report.push_back({{"caption", box.caption},
                      {"text", box.text},
                      {"has_yes", box.has_yes},
                      {"has_no", box.has_no},
                      {"has_ok", box.has_ok},
                      {"owned_by_host", box.owned_by_host},
                      {"pressed", box.pressed}});
  }
  return report;
}

json HostCallsReport() {
  json names = json::array();
  for (const auto& call : SimHost::Instance().Calls()) names.push_back(call.name);
  return names;
}

bool WriteReport(const json& report, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  // Texts come from the plug-in and may hold bytes that are not UTF-8; they are replaced, not
  // allowed to stop the report.
  out << report.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
  return static_cast<bool>(out);
}

// Load, announce, invoke, terminate: the plug-in's whole life in the application.
bool RunPlugin(const std::string& plugin, HWND owner, PluginSession* session, std::string* error) {
  PluginDriver driver;
  if (!driver.Load(plugin, error)) return false;
  driver.Announce(session);
  driver.Invoke(owner, session);
  driver.Terminate(session);
  driver.Unload();
  return true;
}

}  // namespace

int RunSelftest(const Arguments& arguments) {
  const std::string report_path = arguments.Option("report");
  const std::string document_path = arguments.Option("document");
  const int answer = ParseAnswer(arguments.Option("answer"));
  if (arguments.positional.size() != 1 || report_path.empty() ||
      (arguments.options.count("answer") && !answer) ||
      (arguments.options.count("document") && document_path.empty())) {
    std::fprintf(stderr, "usage: %s\n", kSelftestUsage);
    return kUsageError;
  }
  // Read before anything runs: a document that cannot be read is the caller's mistake, not the
  // plug-in's.
  RecordStore document;
  std::string error;
  if (!document_path.empty() && !LoadDocumentFile(document_path, &document, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kUsageError;
  }

  json report;
  report["module"] = RunningModuleName();
  report["host_lookup"] = ProbeHostLookup();
  SimHost::Instance().Reset();  // the plug-in's own calls start from a fresh host
  SimHost::Instance().Records() = document;

  HostWindow window;
  report["host_window"] = window.Handle() != nullptr;
  // Without --answer the boxes wait for a person.
  std::unique_ptr<BoxAnswerer> answerer;
  if (answer) answerer = std::make_unique<BoxAnswerer>(window.Handle(), answer);

  PluginSession session;
  const bool ran = RunPlugin(arguments.positional[0], window.Handle(), &session, &error);
  report.update(SessionReport(session));
  report["boxes"] = BoxesReport(answerer ? answerer->Boxes() : std::vector<SeenBox>());
  report["host_calls"] = HostCallsReport();
  report["document_changed"] = SimHost::Instance().Records() != document;
  if (!ran) report["error"] = error;

  if (!WriteReport(report, report_path)) {
    std::fprintf(stderr, "cannot write %s\n", report_path.c_str());
    return kRunFailed;
  }
  if (!ran) std::fprintf(stderr, "%s\n", error.c_str());
  return ran ? 0 : kRunFailed;
}

}  // namespace hostsim
