// The host's main window: a visible top-level window, the owner of the plug-in's boxes as the
// application's frame window is.
#pragma once

#include <windows.h>

namespace hostsim {

class HostWindow {
 public:
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND Handle() const { return window_; }

 private:
  HWND window_ = nullptr;
};

}  // namespace hostsim
