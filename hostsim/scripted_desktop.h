// A desktop played by a script (POSIX builds): message boxes are answered from a queue and
// recorded with their owner, text, caption and style; console and window calls are recorded.
#pragma once

#ifndef _WIN32
#include <deque>
#include <string>
#include <vector>

#include "platform/stand_in.h"

namespace hostsim {

struct BoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  int answer;
};

struct DesktopEvent {
  enum class Kind {
    kAllocConsole,
    kSetTitle,
    kWrite,
    kSleep,
    kFindWindow,
    kSetWindowPos,
    kGetDlgItem,
    kShowWindow
  };
  Kind kind;
  std::string text;    // title, written text, or window title looked for
  std::int32_t value;  // milliseconds, item, show command or flags
  HWND window;         // the window concerned, or the insert-after handle for kSetWindowPos
};

class ScriptedDesktop : public platform::Desktop {
 public:
  // A fake window the console gets once it has a title, so FindWindow can find it.
  static HWND ConsoleWindow() { return reinterpret_cast<HWND>(0x00C0FFEE); }

  void QueueAnswer(int answer) { answers_.push_back(answer); }
  // From now on a Yes/No box that finds no queued answer gets this one (0: none, the box fails).
  void AnswerEveryQuestion(int answer) { standing_answer_ = answer; }
  void SetConsoleAvailable(bool available) { console_available_ = available; }
  void SetShowWindowResult(BOOL result) { show_window_result_ = result; }

  const std::vector<BoxRecord>& Boxes() const { return boxes_; }
  const std::vector<DesktopEvent>& Events() const { return events_; }
  int CountEvents(DesktopEvent::Kind kind) const;
  // Everything written to the console, as one text.
  const std::string& ConsoleText() const { return console_text_; }
  void Clear();

  int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
  BOOL AllocConsole() override;
  BOOL SetConsoleTitle(const char* title) override;
  HANDLE GetStdHandle(DWORD which) override;
  BOOL WriteConsole(HANDLE console, const char* text, DWORD length, DWORD* written) override;
  void Sleep(DWORD milliseconds) override;
  HWND FindWindow(const char* class_name, const char* title) override;
  BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                    UINT flags) override;
  HWND GetDlgItem(HWND dialog, int item) override;
  BOOL ShowWindow(HWND window, int command) override;

 private:
  std::deque<int> answers_;
  int standing_answer_ = 0;
  std::vector<BoxRecord> boxes_;
  std::vector<DesktopEvent> events_;
  std::string console_text_;
  std::string console_title_;
  bool console_available_ = true;
  bool console_allocated_ = false;
  BOOL show_window_result_ = TRUE;
};

}  // namespace hostsim
#endif
