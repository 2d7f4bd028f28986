// Shell folders and ShellExecuteW.
//   CSIDL_APPDATA              $XDG_DATA_HOME, else ~/.local/share
//   CSIDL_PERSONAL             $XDG_DOCUMENTS_DIR, else ~/Documents
//   CSIDL_PROGRAM_FILES_COMMON $NUBRA_COMMON_DIR, else <folder of libPlatform.so>/../share
// Folders come without a trailing separator, as on Windows.
#pragma once

#include "platform/com/com.h"

constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002B;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
constexpr int CSIDL_FLAG_MASK = 0xFF00;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// path receives at most MAX_PATH characters. S_OK; E_INVALIDARG for a folder not listed
// above; E_FAIL when the folder does not exist (and CSIDL_FLAG_CREATE was not given or
// creating it failed) or does not fit.
HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR path, int folder, BOOL create);

// The show commands belong to the window system; they are declared here only without it.
#if __has_include("platform/win32/ui/defs.h")
#include "platform/win32/ui/defs.h"
#else
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
#endif

constexpr INT SE_ERR_FNF = 2;
constexpr INT SE_ERR_PNF = 3;
constexpr INT SE_ERR_ACCESSDENIED = 5;
constexpr INT SE_ERR_NOASSOC = 31;

// The verb "open" (or NULL) starts the program named by $NUBRA_OPENER, else xdg-open when it
// is on the PATH, with the file as its argument, and does not wait for it. Returns a value
// above 32 on success; SE_ERR_FNF when the file does not exist, SE_ERR_NOASSOC when there is
// no opener or another verb is asked for.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, INT show);
