#include "hostsim/scripted_desktop.h"

#ifndef _WIN32
#include <algorithm>
#include <cstdint>

namespace hostsim {

int ScriptedDesktop::CountEvents(DesktopEvent::Kind kind) const {
  return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                        [kind](const DesktopEvent& e) { return e.kind == kind; }));
}

void ScriptedDesktop::Clear() {
  answers_.clear();
  boxes_.clear();
  events_.clear();
  console_text_.clear();
  console_title_.clear();
  console_allocated_ = false;
}

int ScriptedDesktop::MessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  int answer = 0;  // a box nobody scripted an answer for fails
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else if ((style & 0x0Fu) == MB_OK) {
    answer = IDOK;
  } else {
    answer = standing_answer_;
  }
  boxes_.push_back({owner, text ? text : "", caption ? caption : "", style, answer});
  return answer;
}

BOOL ScriptedDesktop::AllocConsole() {
  events_.push_back({DesktopEvent::Kind::kAllocConsole, "", 0, nullptr});
  if (!console_available_ || console_allocated_) return FALSE;
  console_allocated_ = true;
  return TRUE;
}

BOOL ScriptedDesktop::SetConsoleTitle(const char* title) {
  console_title_ = title ? title : "";
  events_.push_back({DesktopEvent::Kind::kSetTitle, console_title_, 0, nullptr});
  return TRUE;
}

HANDLE ScriptedDesktop::GetStdHandle(DWORD which) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(which));
}

BOOL ScriptedDesktop::WriteConsole(HANDLE, const char* text, DWORD length, DWORD* written) {
  std::string piece(text, length);
  console_text_ += piece;
  events_.push_back(
      {DesktopEvent::Kind::kWrite, piece, static_cast<std::int32_t>(length), nullptr});
  if (written) *written = length;
  return TRUE;
}

void ScriptedDesktop::Sleep(DWORD milliseconds) {
  events_.push_back(
      {DesktopEvent::Kind::kSleep, "", static_cast<std::int32_t>(milliseconds), nullptr});
}

HWND ScriptedDesktop::FindWindow(const char*, const char* title) {
  const std::string wanted = title ? title : "";
  const bool found = console_allocated_ && !console_title_.empty() && wanted == console_title_;
  HWND window = found ? ConsoleWindow() : nullptr;
  events_.push_back({DesktopEvent::Kind::kFindWindow, wanted, 0, window});
  return window;
}

BOOL ScriptedDesktop::SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                                   UINT flags) {
  const bool moved_or_sized = x != 0 || y != 0 || cx != 0 || cy != 0;
  events_.push_back({DesktopEvent::Kind::kSetWindowPos, moved_or_sized ? "moved" : "",
                     static_cast<std::int32_t>(flags), insert_after});
  return window != nullptr;
}

HWND ScriptedDesktop::GetDlgItem(HWND dialog, int item) {
  events_.push_back({DesktopEvent::Kind::kGetDlgItem, "", item, dialog});
  if (!dialog) return nullptr;
  // A recognisable handle made of the dialog and the item, so tests can tell it apart.
  return reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(dialog) + 0x10000u +
                                static_cast<std::uintptr_t>(item));
}

BOOL ScriptedDesktop::ShowWindow(HWND window, int command) {
  events_.push_back({DesktopEvent::Kind::kShowWindow, "", command, window});
  return show_window_result_;
}

}  // namespace hostsim
#endif
