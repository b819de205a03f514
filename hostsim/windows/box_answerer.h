// Plays the user at the plug-in's message boxes: a hook on the host's own thread sees each box
// as it is activated, notes what it shows and who owns it, and presses the chosen button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace hostsim {

// One message box as the user saw it.
struct SeenBox {
  std::string caption;
  std::string text;
  bool has_yes = false;
  bool has_no = false;
  bool has_ok = false;
  bool owned_by_host = false;
  int pressed = 0;  // the button pressed (IDYES, IDNO, IDOK), 0 when none fitted
};

// Reads "yes" or "no" as IDYES or IDNO; anything else is 0.
int ParseAnswer(const std::string& answer);

class BoxAnswerer {
 public:
  // Answers every box on this thread with `answer` (IDYES or IDNO); `host` is the window that
  // should own them.
  BoxAnswerer(HWND host, int answer);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  bool Installed() const { return hook_ != nullptr; }
  // From now on boxes are answered `answer` (IDYES or IDNO).
  void SetAnswer(int answer) { answer_ = answer; }
  const std::vector<SeenBox>& Boxes() const { return boxes_; }

 private:
  static LRESULT CALLBACK OnCbtEvent(int code, WPARAM wparam, LPARAM lparam);
  void OnActivate(HWND window);

  HWND host_;
  int answer_;
  HHOOK hook_ = nullptr;
  std::vector<HWND> answered_;
  std::vector<SeenBox> boxes_;
};

}  // namespace hostsim
