// The C runtime's low-level file calls with UTF-16 paths, as the system's code calls them.
// Descriptors are POSIX descriptors; text mode (_O_TEXT) is not translated here.
#pragma once

#include "platform/com/types.h"

constexpr int _O_RDONLY = 0x0000;
constexpr int _O_WRONLY = 0x0001;
constexpr int _O_RDWR = 0x0002;
constexpr int _O_APPEND = 0x0008;
constexpr int _O_CREAT = 0x0100;
constexpr int _O_TRUNC = 0x0200;
constexpr int _O_EXCL = 0x0400;
constexpr int _O_TEXT = 0x4000;
constexpr int _O_BINARY = 0x8000;

constexpr int _S_IREAD = 0x0100;
constexpr int _S_IWRITE = 0x0080;

// -1 with errno set on failure. pmode _S_IWRITE makes a writable file, _S_IREAD alone a
// read-only one (as on Windows, every file is readable).
int _wopen(const char16_t* path, int flags, int pmode = 0);
int _read(int fd, void* buffer, unsigned int count);
int _write(int fd, const void* buffer, unsigned int count);
long _lseek(int fd, long offset, int origin);
long _filelength(int fd);
int _commit(int fd);  // flushes to disk (fsync)
int _close(int fd);
int _wunlink(const char16_t* path);
int _wremove(const char16_t* path);

// Numbers at the start of a UTF-16 text, read as the C library reads them.
int _wtoi(const char16_t* text);
long _wtol(const char16_t* text);
