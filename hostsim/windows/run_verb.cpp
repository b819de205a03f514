#include "hostsim/windows/run_verb.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/run_command.h"
#include "hostsim/windows/box_answerer.h"
#include "hostsim/windows/host_window.h"

namespace hostsim {

namespace {

// The words after the verb, as the portable parser reads them.
std::vector<std::string> Words(const Arguments& arguments) {
  std::vector<std::string> words = arguments.positional;
  for (const auto& [name, value] : arguments.options) {
    words.push_back("--" + name);
    words.push_back(value);
  }
  return words;
}

std::vector<ShownBox> ShownBoxes(const BoxAnswerer& answerer) {
  std::vector<ShownBox> shown;
  for (const SeenBox& box : answerer.Boxes()) {
    const unsigned style = box.has_yes && box.has_no ? MB_YESNO : MB_OK;
    shown.push_back({box.caption, box.text, style, box.pressed});
  }
  return shown;
}

}  // namespace

int RunDocumentVerb(const Arguments& arguments) {
  RunArguments run;
  std::string error;
  if (!ParseRunArguments(Words(arguments), &run, &error)) {
    std::cerr << "error: " << error << "\n" << UsageText("SCORIX.EXE");
    return kExitUsage;
  }
  HostWindow window;
  // Without --answer the real box waits for a person at the (virtual) display.
  std::unique_ptr<BoxAnswerer> answerer;
  if (run.answer) answerer = std::make_unique<BoxAnswerer>(window.Handle(), *run.answer);
  RunDesktop desktop;
  desktop.owner = window.Handle();
  if (answerer) desktop.shown_boxes = [&answerer] { return ShownBoxes(*answerer); };
  return RunPlugin(run, desktop, std::cout, std::cerr);
}

}  // namespace hostsim
