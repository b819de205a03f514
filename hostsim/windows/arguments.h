// The command line of the Windows host program: a verb, its positional words and its
// `--name value` options, parsed once so that every verb reads them the same way.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace hostsim {

struct Arguments {
  std::string verb;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // without the leading "--"

  // The option's value, or `fallback` when it was not given.
  std::string Option(const std::string& name, const std::string& fallback = "") const;
};

// Reads `argv[1]` as the verb and the rest as positional words and options. Fails (and says why
// in `error`) when an option has no value.
bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error);

}  // namespace hostsim
