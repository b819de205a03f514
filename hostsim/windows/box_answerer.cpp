#include "hostsim/windows/box_answerer.h"

#include <algorithm>

namespace hostsim {

namespace {

// A message box is a dialog of the system's dialog class; its text is the static item 0xFFFF.
constexpr char kDialogClass[] = "#32770";
constexpr int kMessageTextItem = 0xFFFF;

// The hook procedure has no context of its own; one answerer is active per process.
BoxAnswerer* active_answerer = nullptr;

std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

bool IsDialog(HWND window) {
  char class_name[64] = {};
  GetClassNameA(window, class_name, sizeof class_name);
  return lstrcmpA(class_name, kDialogClass) == 0;
}

int ButtonToPress(const SeenBox& box, int answer) {
  if (answer == IDYES && box.has_yes) return IDYES;
  if (answer == IDNO && box.has_no) return IDNO;
  if (box.has_ok) return IDOK;
  return 0;
}

}  // namespace

int ParseAnswer(const std::string& answer) {
  if (answer == "yes") return IDYES;
  if (answer == "no") return IDNO;
  return 0;
}

BoxAnswerer::BoxAnswerer(HWND host, int answer) : host_(host), answer_(answer) {
  active_answerer = this;
  hook_ = SetWindowsHookExA(WH_CBT, &BoxAnswerer::OnCbtEvent, nullptr, GetCurrentThreadId());
}

BoxAnswerer::~BoxAnswerer() {
  if (hook_) UnhookWindowsHookEx(hook_);
  active_answerer = nullptr;
}

LRESULT CALLBACK BoxAnswerer::OnCbtEvent(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE && active_answerer) {
    active_answerer->OnActivate(reinterpret_cast<HWND>(wparam));
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void BoxAnswerer::OnActivate(HWND window) {
  // A box is activated again whenever focus returns to it; it is seen and answered once.
  if (!IsDialog(window) ||
      std::find(answered_.begin(), answered_.end(), window) != answered_.end()) {
    return;
  }
  answered_.push_back(window);
  SeenBox box;
  box.caption = WindowText(window);
  HWND text_item = GetDlgItem(window, kMessageTextItem);
  box.text = text_item ? WindowText(text_item) : std::string();
  box.has_yes = GetDlgItem(window, IDYES) != nullptr;
  box.has_no = GetDlgItem(window, IDNO) != nullptr;
  box.has_ok = GetDlgItem(window, IDOK) != nullptr;
  box.owned_by_host = GetWindow(window, GW_OWNER) == host_;
  box.pressed = ButtonToPress(box, answer_);
  boxes_.push_back(box);
  // Posted, not sent: the box is not ready for its buttons until activation has finished.
  if (box.pressed) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(box.pressed, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, box.pressed)));
  }
}

}  // namespace hostsim
