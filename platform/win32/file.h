// Files and folders with UTF-16 paths. Both `\` and `/` separate folders, so the Windows paths
// the system builds ("C:"-less, e.g. temp + "ZeveZadezCash\\") name real POSIX files.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/types.h"
#include "platform/win32/kernel.h"

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

// The user's own temp folder, "nubra-<uid>" under $TMPDIR (else /tmp), with a trailing
// separator: made with mode 0700 when missing; a folder of that name that is a link, not a
// folder or someone else's is refused (0, ERROR_ACCESS_DENIED), a wider mode of the user's own
// is narrowed to 0700. Returns its length without the terminator, or, when size is too small,
// the size needed including it; 0 when there is no such folder (GetLastError says why).
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
// Creates prefix (first three characters) + hex number + ".tmp" in folder, unique unless
// unique is non-zero (then only the name is made). Returns the number used, 0 on failure.
UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out);

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);  // ERROR_DIR_NOT_EMPTY when it holds anything
BOOL DeleteFileW(LPCWSTR path);       // files only; ERROR_ACCESS_DENIED for a folder
DWORD GetFileAttributesW(LPCWSTR path);

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);  // fails when `to` exists
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);

// ---------------------------------------------------------------------------------------------
// Finding files. The pattern's last part may hold `*` and `?` (matched without regard to
// ASCII case, as on Windows); entries come in name order, "." and ".." included when the
// pattern matches them.
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (nothing matches) or ERROR_PATH_NOT_FOUND.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);  // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE find);

// ---------------------------------------------------------------------------------------------
// Handle-based file access.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD high);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);

namespace platform::win32 {

// The POSIX path (UTF-8, every `\` turned into `/`) for a Windows-style path. For the
// libraries that hand the system's paths to POSIX calls or std::filesystem.
std::string ToNativePath(std::u16string_view path);
// The POSIX descriptor behind a CreateFileW handle, -1 when it is not one.
int DescriptorOf(HANDLE file);

}  // namespace platform::win32
