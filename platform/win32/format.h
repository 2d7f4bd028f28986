// printf-style formatting into UTF-16 text, with the Windows meaning of the conversions:
// %s is a wide (UTF-16) string and %S or %hs an ANSI one, %c a wide character, and the
// length "l" means 32 bits (LONG, DWORD) while "ll" and "I64" mean 64.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/com/types.h"

namespace platform::win32 {

std::u16string FormatV(const char16_t* format, va_list args);
std::u16string Format(const char16_t* format, ...);

}  // namespace platform::win32

// At most 1024 characters with the terminator, as on Windows; returns the characters written.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args);
// Writes at most count characters; -1 (and no terminator) when the text does not fit.
int _snwprintf(char16_t* buffer, size_t count, const char16_t* format, ...);
