// POSIX-only controls of the platform stand-in: the module table and the desktop.
//
// A host program registers itself (name and export resolver) so that GetModuleHandleA and
// GetProcAddress find it, and installs a desktop that receives message boxes, console output and
// window calls. Plug-ins never include this header; they see only win32.h.
#pragma once

#ifndef _WIN32
#include <string>

#include "platform/win32.h"

namespace platform {

// Answers the address of a named export, or null when the module does not offer it.
using ExportResolver = FARPROC (*)(void* context, const char* name);

// Registers a module under `name` (looked up case-insensitively). The context is handed back to
// the resolver on every lookup. Returns the module's handle.
PLATFORM_API HMODULE RegisterModule(const char* name, ExportResolver resolver, void* context);
PLATFORM_API void UnregisterModule(HMODULE module);

// Sees every GetModuleHandleA call: the name asked for and the handle answered (null when no
// module has that name), so that a tool or a test can watch how a plug-in finds its host.
// Installing null stops the watch.
using ModuleLookupObserver = void (*)(void* context, const char* name, HMODULE answer);
PLATFORM_API void SetModuleLookupObserver(ModuleLookupObserver observer, void* context);

// Everything the plug-in shows the user or writes to a console goes through the desktop.
class PLATFORM_API Desktop {
 public:
  virtual ~Desktop();
  virtual int MessageBox(HWND owner, const char* text, const char* caption, UINT style) = 0;
  virtual BOOL AllocConsole() = 0;
  virtual BOOL SetConsoleTitle(const char* title) = 0;
  virtual HANDLE GetStdHandle(DWORD which) = 0;
  virtual BOOL WriteConsole(HANDLE console, const char* text, DWORD length, DWORD* written) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  virtual HWND FindWindow(const char* class_name, const char* title) = 0;
  virtual BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                            UINT flags) = 0;
  virtual HWND GetDlgItem(HWND dialog, int item) = 0;
  virtual BOOL ShowWindow(HWND window, int command) = 0;
};

// The desktop a process starts with: message boxes on the terminal, answered by a person when
// standard input is a terminal (a box nobody can answer fails with 0), console lines to stdout.
PLATFORM_API Desktop& TerminalDesktop();

// Installs a desktop (null restores the terminal desktop); returns the one it replaces.
PLATFORM_API Desktop* SetDesktop(Desktop* desktop);
PLATFORM_API Desktop& CurrentDesktop();

}  // namespace platform
#endif
