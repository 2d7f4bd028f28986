#include "platform/win32/kernel.h"

#include <dlfcn.h>
#include <link.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/com/com.h"
#include "platform/win32/handle.h"

namespace {
thread_local DWORD t_last_error = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() {
  return t_last_error;
}
void SetLastError(DWORD error) {
  t_last_error = error;
}

namespace platform::win32 {

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

FILETIME FileTimeFromUnix(long long seconds, long nanoseconds) {
  // 1601-01-01 to 1970-01-01 is 11644473600 seconds.
  ULONGLONG ticks = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL +
                    static_cast<ULONGLONG>(nanoseconds / 100);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace platform::win32

// ---------------------------------------------------------------------------------------------
// Handles

namespace platform::win32 {
KernelObject::~KernelObject() = default;
}  // namespace platform::win32

BOOL CloseHandle(HANDLE handle) {
  auto* object = platform::win32::HandleTable::Take(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete object;
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Processes

namespace {
struct ProcessObject : platform::win32::KernelObject {};
}  // namespace

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(getpid());
}

HANDLE OpenProcess(DWORD, BOOL, DWORD processId) {
  // Signal 0 only asks whether the process exists; EPERM means it does, as someone else's.
  pid_t pid = static_cast<pid_t>(processId);
  if (processId == 0 || pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return platform::win32::HandleTable::Add(new ProcessObject());
}

// ---------------------------------------------------------------------------------------------
// Time

namespace {
void FromTm(const std::tm& tm, long nanoseconds, SYSTEMTIME* out) {
  out->wYear = static_cast<WORD>(tm.tm_year + 1900);
  out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  out->wDay = static_cast<WORD>(tm.tm_mday);
  out->wHour = static_cast<WORD>(tm.tm_hour);
  out->wMinute = static_cast<WORD>(tm.tm_min);
  out->wSecond = static_cast<WORD>(tm.tm_sec);
  out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}
}  // namespace

void GetLocalTime(LPSYSTEMTIME out) {
  if (!out) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  FromTm(tm, ts.tv_nsec, out);
}

void GetSystemTime(LPSYSTEMTIME out) {
  if (!out) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  gmtime_r(&ts.tv_sec, &tm);
  FromTm(tm, ts.tv_nsec, out);
}

ULONGLONG GetTickCount64() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<ULONGLONG>(ts.tv_sec) * 1000ULL +
         static_cast<ULONGLONG>(ts.tv_nsec) / 1000000ULL;
}

DWORD GetTickCount() {
  return static_cast<DWORD>(GetTickCount64());
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---------------------------------------------------------------------------------------------
// Version

BOOL GetVersionExW(LPOSVERSIONINFOW info) {
  if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwBuildNumber = 2600;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->szCSDVersion[0] = 0;
  return TRUE;
}

// ---------------------------------------------------------------------------------------------
// Modules. A module handle is the address the module is loaded at (as on Windows), so the
// same module always has the same handle however it was found.

namespace {

// The main program's load address: the first object dl_iterate_phdr reports.
HMODULE ProgramBase() {
  static HMODULE base = [] {
    ElfW(Addr) found = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
          ElfW(Addr) lowest = ~ElfW(Addr){0};
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest) {
              lowest = info->dlpi_phdr[i].p_vaddr;
            }
          }
          *static_cast<ElfW(Addr)*>(data) =
              info->dlpi_addr + (lowest == ~ElfW(Addr){0} ? 0 : lowest);
          return 1;  // only the first object
        },
        &found);
    return reinterpret_cast<HMODULE>(found);
  }();
  return base;
}

std::string ModulePath(HMODULE module) {
  if (!module || module == ProgramBase()) {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
  }
  Dl_info info{};
  if (!dladdr(module, &info) || info.dli_fbase != module || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved)) return resolved;
  return info.dli_fname;
}

std::string NarrowPath(LPCWSTR path) {
  std::string s = platform::com::Utf16ToUtf8(path);
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return s;
}

HMODULE Load(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
    dlclose(handle);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // The reference taken by dlopen is the one FreeLibrary gives back.
  return reinterpret_cast<HMODULE>(map->l_addr);
}

}  // namespace

namespace platform::win32 {
HMODULE ModuleFromAddress(const void* address) {
  Dl_info info{};
  if (!address || !dladdr(address, &info)) return nullptr;
  return static_cast<HMODULE>(info.dli_fbase);
}
}  // namespace platform::win32

HMODULE LoadLibraryW(LPCWSTR path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(NarrowPath(path));
}

HMODULE LoadLibraryA(LPCSTR path) {
  if (!path || !*path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string s = path;
  for (char& c : s) {
    if (c == '\\') c = '/';
  }
  return Load(s);
}

BOOL FreeLibrary(HMODULE module) {
  std::string path = ModulePath(module);
  if (path.empty() || module == ProgramBase()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  dlclose(handle);  // the reference just taken
  dlclose(handle);  // the one LoadLibrary took
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string symbol = IS_INTRESOURCE(name)
                           ? "Ordinal" + std::to_string(reinterpret_cast<ULONG_PTR>(name))
                           : std::string(name);
  void* handle = nullptr;
  if (!module || module == ProgramBase()) {
    handle = dlopen(nullptr, RTLD_LAZY);
  } else {
    std::string path = ModulePath(module);
    if (!path.empty()) handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  }
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* sym = dlsym(handle, symbol.c_str());
  dlclose(handle);
  if (!sym) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(sym);
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (!name) return ProgramBase();
  std::string path = NarrowPath(name);
  void* handle = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!handle) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  link_map* map = nullptr;
  HMODULE result = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map) {
    result = reinterpret_cast<HMODULE>(map->l_addr);
  }
  dlclose(handle);
  if (!result) SetLastError(ERROR_MOD_NOT_FOUND);
  return result;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  std::string path = ModulePath(module);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::u16string wide = platform::com::Utf8ToUtf16(path);
  if (wide.size() + 1 > size) {
    // Windows (XP and later) truncates, terminates and reports the buffer size.
    std::copy_n(wide.data(), size - 1, buffer);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[wide.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(wide.size());
}
