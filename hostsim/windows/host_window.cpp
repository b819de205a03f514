#include "hostsim/windows/host_window.h"

namespace hostsim {

namespace {

constexpr char kClassName[] = "ScorixSimulatedHost";
constexpr char kTitle[] = "Scorix (simulated host)";

ATOM RegisterHostClass() {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kClassName;
  return RegisterClassA(&window_class);
}

}  // namespace

HostWindow::HostWindow() {
  static const ATOM registered = RegisterHostClass();
  if (!registered) return;
  window_ =
      CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                      480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window_) return;
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
}

HostWindow::~HostWindow() {
  if (window_) DestroyWindow(window_);
}

}  // namespace hostsim
