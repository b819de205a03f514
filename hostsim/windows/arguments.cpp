#include "hostsim/windows/arguments.h"

namespace hostsim {

std::string Arguments::Option(const std::string& name, const std::string& fallback) const {
  const auto found = options.find(name);
  return found == options.end() ? fallback : found->second;
}

bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error) {
  *arguments = Arguments();
  if (argc < 2) {
    *error = "no verb given";
    return false;
  }
  arguments->verb = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) != 0) {
      arguments->positional.push_back(word);
      continue;
    }
    if (i + 1 >= argc) {
      *error = "option " + word + " needs a value";
      return false;
    }
    arguments->options[word.substr(2)] = argv[++i];
  }
  return true;
}

}  // namespace hostsim
