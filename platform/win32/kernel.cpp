#include "platform/win32/kernel.h"

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

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(gettid());
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
