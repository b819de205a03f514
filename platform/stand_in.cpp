// The platform stand-in for POSIX builds: a module table shared by the host program and the
// plug-ins it loads, and a replaceable desktop for boxes, the console and windows.
#include "platform/stand_in.h"

#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct PlatformModule {
  std::string name;
  platform::ExportResolver resolver = nullptr;
  void* context = nullptr;
  void* library = nullptr;  // set for shared objects opened with LoadLibraryA
  int references = 0;
  // A registered module that was unregistered: its handle is kept, unknown to every lookup,
  // until a module of the same name is registered again and takes it over.
  bool retired = false;
};

struct PlatformWindow {};

namespace {

std::vector<std::unique_ptr<PlatformModule>>& Modules() {
  static std::vector<std::unique_ptr<PlatformModule>> modules;
  return modules;
}

std::string BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

PlatformModule* FindModule(const char* name, bool retired = false) {
  for (auto& module : Modules()) {
    if (module->retired == retired && strcasecmp(module->name.c_str(), name) == 0) {
      return module.get();
    }
  }
  return nullptr;
}

bool IsKnown(HMODULE module) {
  for (auto& known : Modules()) {
    if (known.get() == module) return !known->retired;
  }
  return false;
}

void Remove(HMODULE module) {
  auto& modules = Modules();
  for (auto it = modules.begin(); it != modules.end(); ++it) {
    if (it->get() == module) {
      modules.erase(it);
      return;
    }
  }
}

// A terminal stand-in for the Windows desktop: boxes are printed, and a Yes/No box is answered
// by whoever sits at the terminal.
class TerminalDesktopImpl : public platform::Desktop {
 public:
  int MessageBox(HWND, const char* text, const char* caption, UINT style) override {
    std::printf("\n+--- %s ---\n%s\n+---\n", caption ? caption : "", text ? text : "");
    std::fflush(stdout);
    if ((style & 0x0Fu) != MB_YESNO) return IDOK;
    if (!isatty(STDIN_FILENO)) return 0;  // nobody is there to answer: the box fails
    for (;;) {
      std::printf("[y]es / [n]o? ");
      std::fflush(stdout);
      char line[64];
      if (!std::fgets(line, sizeof line, stdin)) return 0;
      if (line[0] == 'y' || line[0] == 'Y') return IDYES;
      if (line[0] == 'n' || line[0] == 'N') return IDNO;
    }
  }
  BOOL AllocConsole() override { return TRUE; }
  BOOL SetConsoleTitle(const char*) override { return TRUE; }
  HANDLE GetStdHandle(DWORD) override { return stdout; }
  BOOL WriteConsole(HANDLE, const char* text, DWORD length, DWORD* written) override {
    size_t done = std::fwrite(text, 1, length, stdout);
    if (written) *written = static_cast<DWORD>(done);
    return done == length;
  }
  void Sleep(DWORD milliseconds) override { usleep(milliseconds * 1000u); }
  HWND FindWindow(const char*, const char*) override { return nullptr; }
  BOOL SetWindowPos(HWND, HWND, int, int, int, int, UINT) override { return FALSE; }
  HWND GetDlgItem(HWND, int) override { return nullptr; }
  BOOL ShowWindow(HWND, int) override { return FALSE; }
};

struct ModuleLookupWatch {
  platform::ModuleLookupObserver observer = nullptr;
  void* context = nullptr;
};

ModuleLookupWatch& InstalledModuleLookupWatch() {
  static ModuleLookupWatch watch;
  return watch;
}

platform::Desktop*& InstalledDesktop() {
  static platform::Desktop* desktop = nullptr;
  return desktop;
}

}  // namespace

namespace platform {

Desktop::~Desktop() = default;

HMODULE RegisterModule(const char* name, ExportResolver resolver, void* context) {
  // A process keeps the handle of a program it found once, as Windows keeps a module at its
  // address: registering the same name again answers the handle it had, so a plug-in that stays
  // loaded between two runs of a host still finds it.
  if (PlatformModule* retired = FindModule(name, true)) {
    retired->resolver = resolver;
    retired->context = context;
    retired->retired = false;
    return retired;
  }
  auto module = std::make_unique<PlatformModule>();
  module->name = name;
  module->resolver = resolver;
  module->context = context;
  HMODULE handle = module.get();
  Modules().push_back(std::move(module));
  return handle;
}

void UnregisterModule(HMODULE module) {
  if (!IsKnown(module) || module->library) return;
  module->retired = true;
  module->resolver = nullptr;
  module->context = nullptr;
}

void SetModuleLookupObserver(ModuleLookupObserver observer, void* context) {
  InstalledModuleLookupWatch() = {observer, context};
}

Desktop& TerminalDesktop() {
  static TerminalDesktopImpl desktop;
  return desktop;
}

Desktop* SetDesktop(Desktop* desktop) {
  Desktop* previous = InstalledDesktop();
  InstalledDesktop() = desktop;
  return previous ? previous : &TerminalDesktop();
}

Desktop& CurrentDesktop() {
  Desktop* desktop = InstalledDesktop();
  return desktop ? *desktop : TerminalDesktop();
}

}  // namespace platform

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  HMODULE found = name ? FindModule(name) : nullptr;
  const ModuleLookupWatch& watch = InstalledModuleLookupWatch();
  if (watch.observer) watch.observer(watch.context, name, found);
  return found;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  if (!module || !name || !IsKnown(module)) return nullptr;
  if (module->library) return reinterpret_cast<FARPROC>(dlsym(module->library, name));
  return module->resolver ? module->resolver(module->context, name) : nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR path) {
  if (!path) return nullptr;
  std::string name = BaseName(path);
  if (PlatformModule* loaded = FindModule(name.c_str())) {
    ++loaded->references;
    return loaded;
  }
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) return nullptr;
  auto module = std::make_unique<PlatformModule>();
  module->name = name;
  module->library = library;
  module->references = 1;
  HMODULE handle = module.get();
  Modules().push_back(std::move(module));
  return handle;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  if (!module || !IsKnown(module) || !module->library) return FALSE;
  if (--module->references > 0) return TRUE;
  void* library = module->library;
  Remove(module);
  return dlclose(library) == 0;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  return platform::CurrentDesktop().MessageBox(owner, text, caption, style);
}

BOOL WINAPI AllocConsole(void) {
  return platform::CurrentDesktop().AllocConsole();
}

BOOL WINAPI SetConsoleTitleA(LPCSTR title) {
  return platform::CurrentDesktop().SetConsoleTitle(title);
}

HANDLE WINAPI GetStdHandle(DWORD which) {
  return platform::CurrentDesktop().GetStdHandle(which);
}

BOOL WINAPI WriteConsoleA(HANDLE console, const void* text, DWORD length, DWORD* written, void*) {
  return platform::CurrentDesktop().WriteConsole(console, static_cast<const char*>(text), length,
                                                 written);
}

void WINAPI Sleep(DWORD milliseconds) {
  platform::CurrentDesktop().Sleep(milliseconds);
}

HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title) {
  return platform::CurrentDesktop().FindWindow(class_name, title);
}

BOOL WINAPI SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  return platform::CurrentDesktop().SetWindowPos(window, insert_after, x, y, cx, cy, flags);
}

HWND WINAPI GetDlgItem(HWND dialog, int item) {
  return platform::CurrentDesktop().GetDlgItem(dialog, item);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  return platform::CurrentDesktop().ShowWindow(window, command);
}

}  // extern "C"
