// SCORIX.EXE: the simulated Scorix host as a Windows program. It exports every FX_ function
// under its plain name, shows a main window, and runs plug-ins the way the application does.
#include <cstdio>
#include <string>
#include <vector>

#include "hostsim/windows/arguments.h"
#include "hostsim/windows/check_verb.h"
#include "hostsim/windows/run_verb.h"
#include "hostsim/windows/selftest.h"

namespace {

constexpr int kUsageError = 64;

struct Verb {
  const char* name;
  int (*run)(const hostsim::Arguments&);
  const char* usage;
};

const Verb kVerbs[] = {
    {"selftest", &hostsim::RunSelftest, hostsim::kSelftestUsage},
    {"run", &hostsim::RunDocumentVerb,
     "run PLUGIN.dll DOCUMENT.json [--answer yes|no] [--out AFTER.json]"},
};

// The verbs that read their own words: an option of `check` may take two values (--report json
// FILE) or come twice.
struct WordsVerb {
  const char* name;
  int (*run)(const std::vector<std::string>&);
};

const WordsVerb kWordsVerbs[] = {
    {"check", &hostsim::RunCheckVerb},
    {"check-task", &hostsim::RunCheckTaskVerb},
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "%s\nusage:\n", problem.c_str());
  for (const auto& verb : kVerbs) std::fprintf(stderr, "  SCORIX.EXE %s\n", verb.usage);
  std::fprintf(stderr, "  SCORIX.EXE %s\n", hostsim::kCheckUsage);
  return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2) {
    for (const auto& verb : kWordsVerbs) {
      if (std::string(argv[1]) == verb.name) {
        return verb.run(std::vector<std::string>(argv + 2, argv + argc));
      }
    }
  }
  hostsim::Arguments arguments;
  std::string error;
  if (!hostsim::ParseArguments(argc, argv, &arguments, &error)) return Usage(error);
  for (const auto& verb : kVerbs) {
    if (arguments.verb == verb.name) return verb.run(arguments);
  }
  return Usage("unknown verb: " + arguments.verb);
}
