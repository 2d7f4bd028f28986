#include "platform/win32/crt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/win32/file.h"

int _wopen(const char16_t* path, int flags, int pmode) {
  if (!path) {
    errno = EINVAL;
    return -1;
  }
  int access = flags & (_O_WRONLY | _O_RDWR);
  int posix = O_CLOEXEC | (access == _O_RDWR ? O_RDWR : access == _O_WRONLY ? O_WRONLY : O_RDONLY);
  if (flags & _O_APPEND) posix |= O_APPEND;
  if (flags & _O_CREAT) posix |= O_CREAT;
  if (flags & _O_TRUNC) posix |= O_TRUNC;
  if (flags & _O_EXCL) posix |= O_EXCL;
  mode_t mode = (pmode & _S_IWRITE) ? 0666 : 0444;
  return open(platform::win32::ToNativePath(path).c_str(), posix, mode);
}

int _read(int fd, void* buffer, unsigned int count) {
  for (;;) {
    ssize_t n = read(fd, buffer, count);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<int>(n);
  }
}

int _write(int fd, const void* buffer, unsigned int count) {
  // The C runtime writes everything or fails; POSIX may write less, so loop.
  unsigned int done = 0;
  while (done < count) {
    ssize_t n = write(fd, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? static_cast<int>(done) : -1;
    done += static_cast<unsigned int>(n);
  }
  return static_cast<int>(done);
}

long _lseek(int fd, long offset, int origin) {
  off_t r = lseek(fd, offset, origin);
  if (r > LONG_MAX) {
    errno = EOVERFLOW;
    return -1;
  }
  return static_cast<long>(r);
}

long _filelength(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<long>(st.st_size);
}

int _commit(int fd) {
  return fsync(fd);
}

int _close(int fd) {
  return close(fd);
}

int _wunlink(const char16_t* path) {
  if (!path) {
    errno = EINVAL;
    return -1;
  }
  return unlink(platform::win32::ToNativePath(path).c_str());
}

int _wremove(const char16_t* path) {
  return _wunlink(path);
}

long _wtol(const char16_t* text) {
  if (!text) return 0;
  const char16_t* p = text;
  while (*p == u' ' || (*p >= u'\t' && *p <= u'\r')) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = *p++ == u'-';
  long long value = 0;
  while (*p >= u'0' && *p <= u'9') {
    value = value * 10 + (*p++ - u'0');
    if (value > 0x80000000LL) value = 0x80000000LL;  // saturate, as the C runtime does
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<long>(value);
}

int _wtoi(const char16_t* text) {
  return static_cast<int>(_wtol(text));
}
