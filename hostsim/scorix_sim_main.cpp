// scorix-sim: the simulated Scorix host as a command-line program. `show` prints a document's
// categories and expression definitions; `run` loads a plug-in the way the application does,
// invokes its command on a document and reports what changed; `check` validates a plug-in at one
// of five levels, from its entry points to a hostile host, each check in a process of its own.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "hostsim/check_command.h"
#include "hostsim/run_command.h"
#include "hostsim/scripted_desktop.h"
#include "platform/stand_in.h"

namespace {

const char* const kProgram = "scorix-sim";

// The host's main window as a plug-in sees it: the owner of its confirmation box.
HWND HostWindow() {
  return reinterpret_cast<HWND>(0x00050C1A);
}

void PrintBox(const char* caption, const char* text) {
  std::printf("\n+--- %s ---\n%s\n+---\n", caption ? caption : "", text ? text : "");
}

const char* AnswerWord(int answer) {
  switch (answer) {
    case IDYES:
      return "yes";
    case IDNO:
      return "no";
    case IDOK:
      return "OK";
    default:
      return "nothing: the box failed";
  }
}

std::vector<hostsim::ShownBox> ToShownBoxes(const std::vector<hostsim::BoxRecord>& records) {
  std::vector<hostsim::ShownBox> boxes;
  for (const auto& box : records) boxes.push_back({box.caption, box.text, box.style, box.answer});
  return boxes;
}

// Boxes answered from --answer, but still shown on the terminal, and console output passed on,
// so the run reads the same as one a person answers.
class AnsweringDesktop : public hostsim::ScriptedDesktop {
 public:
  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override {
    PrintBox(caption, text);
    const int answer = ScriptedDesktop::MessageBox(owner, text, caption, style);
    std::printf("(answered %s)\n", AnswerWord(answer));
    return answer;
  }
  BOOL WriteConsole(HANDLE console, const char* text, DWORD length, DWORD* written) override {
    std::fwrite(text, 1, length, stdout);
    return ScriptedDesktop::WriteConsole(console, text, length, written);
  }
};

// The terminal desktop, keeping a note of every box the person answered for the report.
class RecordingTerminalDesktop : public platform::Desktop {
 public:
  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override {
    const int answer = terminal_.MessageBox(owner, text, caption, style);
    boxes_.push_back({caption ? caption : "", text ? text : "", style, answer});
    return answer;
  }
  BOOL AllocConsole() override { return terminal_.AllocConsole(); }
  BOOL SetConsoleTitle(const char* title) override { return terminal_.SetConsoleTitle(title); }
  HANDLE GetStdHandle(DWORD which) override { return terminal_.GetStdHandle(which); }
  BOOL WriteConsole(HANDLE console, const char* text, DWORD length, DWORD* written) override {
    return terminal_.WriteConsole(console, text, length, written);
  }
  void Sleep(DWORD milliseconds) override { terminal_.Sleep(milliseconds); }
  HWND FindWindow(const char* class_name, const char* title) override {
    return terminal_.FindWindow(class_name, title);
  }
  BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                    UINT flags) override {
    return terminal_.SetWindowPos(window, insert_after, x, y, cx, cy, flags);
  }
  HWND GetDlgItem(HWND dialog, int item) override { return terminal_.GetDlgItem(dialog, item); }
  BOOL ShowWindow(HWND window, int command) override {
    return terminal_.ShowWindow(window, command);
  }
  const std::vector<hostsim::ShownBox>& Boxes() const { return boxes_; }

 private:
  platform::Desktop& terminal_ = platform::TerminalDesktop();
  std::vector<hostsim::ShownBox> boxes_;
};

int UsageError(const std::string& problem) {
  std::cerr << kProgram << ": " << problem << "\n" << hostsim::UsageText(kProgram);
  return hostsim::kExitUsage;
}

int RunCommand(const std::vector<std::string>& args) {
  hostsim::RunArguments arguments;
  std::string error;
  if (!hostsim::ParseRunArguments(args, &arguments, &error)) return UsageError(error);

  AnsweringDesktop answering;
  RecordingTerminalDesktop terminal;
  hostsim::RunDesktop desktop;
  desktop.owner = HostWindow();
  platform::Desktop* installed = nullptr;
  if (arguments.answer) {
    answering.QueueAnswer(*arguments.answer);
    desktop.shown_boxes = [&answering] { return ToShownBoxes(answering.Boxes()); };
    installed = &answering;
  } else {
    // A box nobody can answer fails, and the plug-in goes ahead on a failed box: refuse rather
    // than change a document without anyone having said yes.
    if (!isatty(STDIN_FILENO)) {
      return UsageError("nobody is at the terminal to answer the plug-in: give --answer yes|no");
    }
    desktop.shown_boxes = [&terminal] { return terminal.Boxes(); };
    installed = &terminal;
  }
  platform::Desktop* previous = platform::SetDesktop(installed);
  const int status = hostsim::RunPlugin(arguments, desktop, std::cout, std::cerr);
  std::cout.flush();
  platform::SetDesktop(previous);
  return status;
}

int CheckCommand(const std::vector<std::string>& args) {
  hostsim::CheckArguments arguments;
  std::string error;
  if (!hostsim::ParseCheckArguments(args, &arguments, &error)) return UsageError(error);

  // The check plays the user; nothing is shown on the terminal, so the report stays one line
  // per check.
  hostsim::ScriptedDesktop checking;
  hostsim::CheckDesktop desktop;
  desktop.owner = HostWindow();
  desktop.answer_boxes = [&checking](int answer) { checking.AnswerEveryQuestion(answer); };
  desktop.boxes_shown = [&checking] { return static_cast<int>(checking.Boxes().size()); };
  platform::Desktop* previous = platform::SetDesktop(&checking);
  const int status = hostsim::CheckCommand(arguments, desktop, std::cout, std::cerr);
  std::cout.flush();
  platform::SetDesktop(previous);
  return status;
}

int Main(const std::vector<std::string>& args) {
  if (args.empty()) return UsageError("no command given");
  const std::string& verb = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (verb == "show") {
    if (rest.size() != 1) return UsageError("show takes one document");
    return hostsim::ShowDocument(rest[0], std::cout, std::cerr);
  }
  if (verb == "run") return RunCommand(rest);
  if (verb == "check") return CheckCommand(rest);
  if (verb == "--help" || verb == "-h" || verb == "help") {
    std::cout << hostsim::UsageText(kProgram);
    return hostsim::kExitSuccess;
  }
  return UsageError("unknown command \"" + verb + "\"");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& failure) {
    std::cerr << kProgram << ": " << failure.what() << "\n";
    return hostsim::kExitUsage;
  }
}
