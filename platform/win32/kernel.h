// Kernel services the system calls: the thread's last error, handles, time, the version
// query and modules (over dlopen/dladdr).
#pragma once

#include <string>

#include "platform/com/types.h"

// ---------------------------------------------------------------------------------------------
// Error codes, with their Windows values.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_REGISTRY_CORRUPT = 1015;
constexpr DWORD ERROR_KEY_DELETED = 1018;

DWORD GetLastError();
void SetLastError(DWORD error);

namespace platform::win32 {
// The Windows error code for an errno value (ENOENT -> ERROR_FILE_NOT_FOUND, ...).
DWORD ErrorFromErrno(int err);
}  // namespace platform::win32

// ---------------------------------------------------------------------------------------------
// Handles. Every kernel object handed out by the stand-ins (files, find searches) is closed
// by CloseHandle; FindClose closes a search.
BOOL CloseHandle(HANDLE handle);

// ---------------------------------------------------------------------------------------------
// Processes
constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
DWORD GetCurrentProcessId();
// The calling thread's id (the kernel's), as message hooks name a thread.
DWORD GetCurrentThreadId();
// A handle to a running process (closed with CloseHandle); NULL with ERROR_INVALID_PARAMETER
// when no process has that id. The handle only tells that the process was there.
HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);

// ---------------------------------------------------------------------------------------------
// Time

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;      // 1..12
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

void GetLocalTime(LPSYSTEMTIME out);
void GetSystemTime(LPSYSTEMTIME out);
// Milliseconds since an arbitrary start (monotonic), wrapping at 2^32 like Windows.
DWORD GetTickCount();
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds);

namespace platform::win32 {
// 100-nanosecond intervals since 1601-01-01 UTC from a POSIX time.
FILETIME FileTimeFromUnix(long long seconds, long nanoseconds);
}  // namespace platform::win32

// ---------------------------------------------------------------------------------------------
// Version: the stand-in reports the NT platform family, version 5.1 (the code branches only on
// the platform id).
constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;  // the caller sets sizeof(OSVERSIONINFOW)
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
using LPOSVERSIONINFOW = OSVERSIONINFOW*;
// FALSE with ERROR_INSUFFICIENT_BUFFER when dwOSVersionInfoSize is too small.
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// ---------------------------------------------------------------------------------------------
// Modules (platform/win32/module.cpp). An HMODULE is the address the library is loaded at, so one
// library has one handle however it is reached; GetModuleHandleW(NULL) and the module-path query
// also know the program itself.
//
// The module entry: a library may export `extern "C" BOOL DllMain(HINSTANCE, DWORD, LPVOID)`.
// The LoadLibrary call that maps it calls DllMain(module, DLL_PROCESS_ATTACH, NULL); when that
// returns FALSE (or throws), DllMain sees DLL_PROCESS_DETACH, the library is unmapped and the load
// fails with ERROR_DLL_INIT_FAILED. The FreeLibrary that gives back the last reference calls
// DllMain(module, DLL_PROCESS_DETACH, NULL) before unmapping it. Only the library named is
// entered: the libraries it was linked against initialise themselves when they are mapped.
// Loading, unloading and the entry calls are serialised by one process-wide lock, which a module
// entry may re-enter (to load another library, say).
using FARPROC = void (*)();
using DllEntryFunction = BOOL (*)(HINSTANCE module, DWORD reason, LPVOID reserved);

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;
constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;

// A path with a folder is loaded from there. A bare file name ("hhctrl.ocx") is looked for in
// the platform's own library folder (that of libPlatform.so, which plays the system folder),
// then along the dynamic linker's search path; never in the current folder.
HMODULE LoadLibraryW(LPCWSTR path);
HMODULE LoadLibraryA(LPCSTR path);
// Gives back one reference taken by LoadLibrary; FALSE (ERROR_INVALID_HANDLE) for a module that
// LoadLibrary did not load.
BOOL FreeLibrary(HMODULE module);
// An export of the module itself (not of the libraries it links). name may be an ordinal
// (MAKEINTRESOURCEA-style value below 0x10000): ordinal n resolves the export "Ordinal<n>" (a
// shared library has no ordinal table; a library that wants to be called by ordinal exports that
// alias). NULL: the program and everything loaded into it.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
// NULL: the program itself.
HMODULE GetModuleHandleW(LPCWSTR name);
// The file of module (NULL: the program). Copies at most size characters including the
// terminator; returns the characters copied without it (size when truncated, with
// ERROR_INSUFFICIENT_BUFFER), 0 on failure.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

namespace platform::win32 {
// The module (shared library or program) whose code or data holds address, via dladdr;
// for use as `GetModuleFileNameW(ModuleFromAddress(&SomeFunction), ...)`. NULL when unknown.
HMODULE ModuleFromAddress(const void* address);
// The dynamic linker's reason for the last failed load on this thread ("" when none), for
// messages that name the cause.
std::string LastLoadError();
}  // namespace platform::win32

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
