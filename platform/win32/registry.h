// The registry, kept as one text file per root key under $NUBRA_REGISTRY_DIR (default
// $XDG_DATA_HOME/Nubra/registry). Every change locks the file, re-reads it, applies the change and
// writes a new file beside it that is renamed over the old one, so concurrent writers in
// several processes lose nothing and a crash leaves the old file whole. A damaged file is
// reported on standard error and left alone; calls on that root fail with
// ERROR_REGISTRY_CORRUPT.
#pragma once

#include "platform/com/types.h"
#include "platform/win32/file.h"
#include "platform/win32/kernel.h"

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))

using REGSAM = DWORD;
using LSTATUS = LONG;
using PHKEY = HKEY*;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results are Windows error codes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such key or value),
// ERROR_ACCESS_DENIED (key opened without the right, or deleting a key that has subkeys),
// ERROR_MORE_DATA (buffer too small; the size needed is stored), ERROR_INVALID_HANDLE.
// Key names compare without regard to ASCII case and keep the case they were created with;
// `\` separates them.
LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                        LPDWORD disposition);
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// name NULL or "" is the key's default value. The data is stored as given (for REG_SZ the
// caller's size normally includes the terminating zero).
LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD size);
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size);
// The ANSI form converts string values to the ANSI code page (size in bytes of that text).
LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size);
LSTATUS RegDeleteValueW(HKEY key, LPCWSTR name);
// Fails with ERROR_ACCESS_DENIED when the key has subkeys.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// Subkeys in name order. nameSize: in, the buffer's characters; out, the name's without the
// terminator. ERROR_NO_MORE_ITEMS past the last.
LSTATUS RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                      LPWSTR keyClass, LPDWORD classSize, PFILETIME lastWrite);
// Values in name order (the default value, when set, first).
LSTATUS RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameSize, LPDWORD reserved,
                      LPDWORD type, LPBYTE data, LPDWORD dataSize);
LSTATUS RegCloseKey(HKEY key);

namespace platform::win32 {
// The folder holding the registry files, as resolved now (for tests and diagnostics).
std::string RegistryFolder();
}  // namespace platform::win32
