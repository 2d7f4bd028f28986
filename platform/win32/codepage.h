// Code page conversions (MultiByteToWideChar / WideCharToMultiByte) over iconv.
// CP_ACP is code page 932 unless NUBRA_ACP names another (e.g. NUBRA_ACP=65001).
#pragma once

#include <string>
#include <string_view>

#include "platform/com/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_THREAD_ACP = 3;
constexpr UINT CP_UTF8 = 65001;

constexpr DWORD MB_PRECOMPOSED = 0x1;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x80;

// Windows conventions: a source length of -1 means zero-terminated, and the terminator is
// converted and counted; a destination size of 0 asks for the size needed; a destination too
// small gives 0 with ERROR_INSUFFICIENT_BUFFER. Invalid input becomes the code page's
// replacement (U+FFFD for UTF-8, U+30FB for 932) one byte at a time, unless
// MB_ERR_INVALID_CHARS asks for failure (ERROR_NO_UNICODE_TRANSLATION).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dest,
                        int destChars);
// Characters the code page cannot hold become defaultChar (or "?"), and *usedDefaultChar is
// set; both must be NULL for CP_UTF8, where a lone surrogate becomes U+FFFD.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dest,
                        int destBytes, LPCSTR defaultChar, BOOL* usedDefaultChar);

// The ANSI code page in effect (932 by default).
UINT GetACP();
// TRUE when byte begins a two-byte character in the ANSI code page.
BOOL IsDBCSLeadByte(BYTE byte);
BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte);

namespace platform::win32 {

// Whole-string forms for the stand-ins and the system's own helpers.
std::u16string AnsiToWide(std::string_view text, UINT codePage = CP_ACP);
std::string WideToAnsi(std::u16string_view text, UINT codePage = CP_ACP);

}  // namespace platform::win32
