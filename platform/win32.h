// The slice of the Win32 API that the plug-in, the framework and the simulated host use.
//
// On Windows this is <windows.h>. Elsewhere it declares the same names, implemented by the
// platform stand-in library (kernel32 and user32 in one shared library), so that the host program
// and a plug-in loaded into it share one module table and one desktop.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>

#if defined(__i386__)
// stdcall on i386, so that a calling-convention mistake fails on POSIX as it would on Windows.
#define WINAPI __attribute__((stdcall))
#else
#define WINAPI
#endif

#if defined(__GNUC__)
#define PLATFORM_API __attribute__((visibility("default")))
#else
#define PLATFORM_API
#endif

typedef int BOOL;
typedef std::uint32_t DWORD;
typedef unsigned int UINT;
typedef std::int32_t LONG;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef struct PlatformModule* HMODULE;
typedef HMODULE HINSTANCE;
typedef struct PlatformWindow* HWND;
typedef void (*FARPROC)(void);

#define TRUE 1
#define FALSE 0

#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION 0x00000030u

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define STD_OUTPUT_HANDLE ((DWORD)-11)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1

#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define HWND_BOTTOM ((HWND)1)

extern "C" {
PLATFORM_API HMODULE WINAPI GetModuleHandleA(LPCSTR name);
PLATFORM_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
PLATFORM_API HMODULE WINAPI LoadLibraryA(LPCSTR path);
PLATFORM_API BOOL WINAPI FreeLibrary(HMODULE module);
PLATFORM_API int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
PLATFORM_API BOOL WINAPI AllocConsole(void);
PLATFORM_API BOOL WINAPI SetConsoleTitleA(LPCSTR title);
PLATFORM_API HANDLE WINAPI GetStdHandle(DWORD which);
PLATFORM_API BOOL WINAPI WriteConsoleA(HANDLE console, const void* text, DWORD length,
                                       DWORD* written, void* reserved);
PLATFORM_API void WINAPI Sleep(DWORD milliseconds);
PLATFORM_API HWND WINAPI FindWindowA(LPCSTR class_name, LPCSTR title);
PLATFORM_API BOOL WINAPI SetWindowPos(HWND window, HWND insert_after, int x, int y, int cx, int cy,
                                      UINT flags);
PLATFORM_API HWND WINAPI GetDlgItem(HWND dialog, int item);
PLATFORM_API BOOL WINAPI ShowWindow(HWND window, int command);
}
#endif
