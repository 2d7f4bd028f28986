#include "platform/win32/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/com/com.h"
#include "platform/win32/handle.h"

using platform::com::Utf16ToUtf8;
using platform::com::Utf8ToUtf16;
using platform::win32::ErrorFromErrno;

namespace platform::win32 {

std::string ToNativePath(std::u16string_view path) {
  std::string s = Utf16ToUtf8(path);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

}  // namespace platform::win32

namespace {

using platform::win32::ToNativePath;

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}
BOOL FailErrno() {
  return Fail(ErrorFromErrno(errno));
}

bool Native(LPCWSTR path, std::string& out) {
  if (!path || !*path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  out = ToNativePath(path);
  return true;
}

DWORD AttributesOf(const struct stat& st, std::string_view name) {
  DWORD a = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  if (name.size() > 1 && name[0] == '.' && name != "..") a |= FILE_ATTRIBUTE_HIDDEN;
  return a;
}

std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Folders and names

namespace {

// The user's own folder under $TMPDIR (else /tmp), made when missing. In a shared /tmp anyone
// may have made a folder of that name first, or a link to somewhere else: one that is not a
// real folder of this user is not used. Opened without following links, so the checks and
// the mode fix apply to the folder itself.
bool PrivateTempFolder(std::string& dir) {
  const char* env = std::getenv("TMPDIR");
  std::string base = env && *env ? env : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  dir = base + (base == "/" ? "" : "/") + "nubra-" + std::to_string(geteuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  struct stat st {};
  bool mine = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
  if (mine && (st.st_mode & 077) != 0) mine = fchmod(fd, 0700) == 0;
  close(fd);
  if (!mine) SetLastError(ERROR_ACCESS_DENIED);
  dir.push_back('/');
  return mine;
}

}  // namespace

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
  std::string dir;
  if (!PrivateTempFolder(dir)) return 0;
  std::u16string wide = Utf8ToUtf16(dir);
  DWORD len = static_cast<DWORD>(wide.size());
  if (!buffer || size < len + 1) return len + 1;
  std::copy(wide.begin(), wide.end(), buffer);
  buffer[len] = 0;
  return len;
}

UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out) {
  if (!folder || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string base = folder;
  if (!base.empty() && base.back() != u'\\' && base.back() != u'/') base.push_back(u'\\');
  if (prefix)
    base.append(std::u16string_view(prefix).substr(
        0, std::min<size_t>(3, std::char_traits<char16_t>::length(prefix))));
  auto name_for = [&](UINT n) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
    return base + Utf8ToUtf16(hex) + u".TMP";
  };
  auto give = [&](const std::u16string& name) -> bool {
    if (name.size() >= MAX_PATH) return false;
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = 0;
    return true;
  };
  if (unique != 0) {
    if (!give(name_for(unique))) {
      SetLastError(ERROR_BUFFER_OVERFLOW);
      return 0;
    }
    return unique & 0xFFFF;
  }
  static std::atomic<UINT> counter{static_cast<UINT>(getpid())};
  for (int tries = 0; tries < 0x10000; ++tries) {
    UINT n = (counter++ & 0xFFFF);
    if (n == 0) continue;
    std::u16string name = name_for(n);
    int fd = open(ToNativePath(name).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      if (!give(name)) {
        unlink(ToNativePath(name).c_str());
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
      }
      return n;
    }
    if (errno != EEXIST) {
      SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
      return 0;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  std::string p;
  if (!Native(path, p)) return FALSE;
  if (mkdir(p.c_str(), 0777) == 0) return TRUE;
  // A missing parent is a missing path on Windows, not a missing file.
  return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  std::string p;
  if (!Native(path, p)) return FALSE;
  if (rmdir(p.c_str()) == 0) return TRUE;
  if (errno == ENOTDIR) return Fail(ERROR_DIRECTORY);
  if (errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
  return FailErrno();
}

BOOL DeleteFileW(LPCWSTR path) {
  std::string p;
  if (!Native(path, p)) return FALSE;
  struct stat st {};
  if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (unlink(p.c_str()) == 0) return TRUE;
  return FailErrno();
}

DWORD GetFileAttributesW(LPCWSTR path) {
  std::string p;
  if (!Native(path, p)) return INVALID_FILE_ATTRIBUTES;
  struct stat st {};
  if (stat(p.c_str(), &st) != 0) {
    SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(st, BaseName(p));
}

namespace {

// Copies the bytes of one open file into another; false on a read or write error.
bool CopyDescriptor(int from, int to) {
  std::vector<char> buf(1 << 16);
  for (;;) {
    ssize_t n = read(from, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return false;
      done += w;
    }
  }
}

BOOL CopyNative(const std::string& from, const std::string& to, bool failIfExists) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno();
  struct stat st {};
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return Fail(ERROR_ACCESS_DENIED);
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int out = open(to.c_str(), flags, st.st_mode & 0777);
  if (out < 0) {
    DWORD e = errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno);
    close(in);
    return Fail(e);
  }
  bool ok = CopyDescriptor(in, out);
  int saved = errno;
  close(in);
  if (close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (!ok) return Fail(ErrorFromErrno(saved));
  return TRUE;
}

}  // namespace

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  std::string a, b;
  if (!Native(from, a) || !Native(to, b)) return FALSE;
  int r = (flags & MOVEFILE_REPLACE_EXISTING)
              ? rename(a.c_str(), b.c_str())
              : renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE);
  if (r == 0) return TRUE;
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED)) {
    if (!CopyNative(a, b, !(flags & MOVEFILE_REPLACE_EXISTING))) return FALSE;
    unlink(a.c_str());
    return TRUE;
  }
  return FailErrno();
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) {
  return MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED);
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  std::string a, b;
  if (!Native(from, a) || !Native(to, b)) return FALSE;
  return CopyNative(a, b, failIfExists != FALSE);
}

// ---------------------------------------------------------------------------------------------
// Finding files

namespace {

char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// `*` matches any run, `?` one character; ASCII letters match either case.
bool Matches(std::u16string_view mask, std::u16string_view name) {
  size_t m = 0, n = 0, star = std::u16string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || FoldAscii(mask[m]) == FoldAscii(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == u'*') {
      star = m++;
      resume = n;
    } else if (star != std::u16string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

struct FindSearch final : platform::win32::KernelObject {
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
};

bool FillEntry(const std::string& full, const std::string& name, WIN32_FIND_DATAW& d) {
  struct stat st {};
  if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) return false;
  std::u16string wide = Utf8ToUtf16(name);
  if (wide.size() >= MAX_PATH) return false;
  d = WIN32_FIND_DATAW{};
  d.dwFileAttributes = AttributesOf(st, name);
  auto size = static_cast<ULONGLONG>(S_ISDIR(st.st_mode) ? 0 : st.st_size);
  d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
  d.nFileSizeLow = static_cast<DWORD>(size);
  d.ftCreationTime = platform::win32::FileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
  d.ftLastAccessTime = platform::win32::FileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
  d.ftLastWriteTime = platform::win32::FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  std::copy(wide.begin(), wide.end(), d.cFileName);
  return true;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  std::string p;
  if (!data || !Native(pattern, p)) {
    if (!data) SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  size_t slash = p.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
  std::string mask8 = slash == std::string::npos ? p : p.substr(slash + 1);
  if (mask8.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string mask = Utf8ToUtf16(mask8);
  if (mask == u"*.*") mask = u"*";  // Windows: every name, with or without a dot
  std::string prefix = dir == "/" ? "/" : dir + "/";

  auto search = std::make_unique<FindSearch>();
  if (mask.find_first_of(u"*?") == std::u16string::npos) {
    WIN32_FIND_DATAW d;
    if (FillEntry(prefix + mask8, mask8, d))
      search->entries.push_back(d);
    else {
      struct stat st {};
      SetLastError(stat(dir.c_str(), &st) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
  } else {
    DIR* d = opendir(dir.c_str());
    if (!d) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (!Matches(mask, Utf8ToUtf16(name))) continue;
      WIN32_FIND_DATAW entry;
      if (FillEntry(prefix + name, name, entry)) search->entries.push_back(entry);
    }
    closedir(d);
    std::sort(search->entries.begin(), search->entries.end(),
              [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
                std::u16string_view x(a.cFileName), y(b.cFileName);
                for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
                  if (FoldAscii(x[i]) != FoldAscii(y[i])) return FoldAscii(x[i]) < FoldAscii(y[i]);
                }
                return x.size() != y.size() ? x.size() < y.size() : x < y;
              });
    if (search->entries.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
  }
  *data = search->entries[0];
  search->next = 1;
  return platform::win32::HandleTable::Add(search.release());
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
  auto* search = platform::win32::HandleTable::Get<FindSearch>(find);
  if (!search || !data) return Fail(ERROR_INVALID_HANDLE);
  if (search->next >= search->entries.size()) return Fail(ERROR_NO_MORE_FILES);
  *data = search->entries[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!platform::win32::HandleTable::Get<FindSearch>(find)) return Fail(ERROR_INVALID_HANDLE);
  return CloseHandle(find);
}

// ---------------------------------------------------------------------------------------------
// Handle-based files

namespace {
struct FileObject final : platform::win32::KernelObject {
  explicit FileObject(int f) : fd(f) {}
  ~FileObject() override { close(fd); }
  int fd;
};
}  // namespace

namespace platform::win32 {
int DescriptorOf(HANDLE file) {
  auto* f = HandleTable::Get<FileObject>(file);
  return f ? f->fd : -1;
}
}  // namespace platform::win32

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD, HANDLE) {
  std::string p;
  if (!Native(path, p)) return INVALID_HANDLE_VALUE;
  int flags = O_CLOEXEC;
  bool r = access & GENERIC_READ, w = access & GENERIC_WRITE;
  flags |= r && w ? O_RDWR : w ? O_WRONLY : O_RDONLY;
  bool existed = ::access(p.c_str(), F_OK) == 0;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  int fd = open(p.c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS
                 : errno == ENOENT && disposition != OPEN_EXISTING &&
                         disposition != TRUNCATE_EXISTING
                     ? ERROR_PATH_NOT_FOUND
                     : ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // Windows reports an existing file for the two dispositions that may create one.
  SetLastError((disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) && existed
                   ? ERROR_ALREADY_EXISTS
                   : ERROR_SUCCESS);
  return platform::win32::HandleTable::Add(new FileObject(fd));
}

namespace {
FileObject* FileOf(HANDLE file) {
  auto* f = platform::win32::HandleTable::Get<FileObject>(file);
  if (!f) SetLastError(ERROR_INVALID_HANDLE);
  return f;
}
}  // namespace

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
  if (read) *read = 0;
  FileObject* f = FileOf(file);
  if (!f) return FALSE;
  if (!buffer && toRead) return Fail(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  while (done < toRead) {
    ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, toRead - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FailErrno();
    if (n == 0) break;  // end of file: success with what was read
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
  if (written) *written = 0;
  FileObject* f = FileOf(file);
  if (!f) return FALSE;
  if (!buffer && toWrite) return Fail(ERROR_INVALID_PARAMETER);
  DWORD done = 0;
  while (done < toWrite) {
    ssize_t n = ::write(f->fd, static_cast<const char*>(buffer) + done, toWrite - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (written) *written = done;
      return FailErrno();
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD high) {
  FileObject* f = FileOf(file);
  struct stat st {};
  if (!f || fstat(f->fd, &st) != 0) {
    if (f) SetLastError(ErrorFromErrno(errno));
    return INVALID_FILE_SIZE;
  }
  auto size = static_cast<ULONGLONG>(st.st_size);
  if (high) *high = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  FileObject* f = FileOf(file);
  if (!f) return INVALID_SET_FILE_POINTER;
  long long offset =
      distanceHigh
          ? static_cast<long long>(static_cast<ULONGLONG>(static_cast<DWORD>(*distanceHigh)) << 32 |
                                   static_cast<DWORD>(distance))
          : distance;
  int whence = method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : SEEK_SET;
  off_t r = lseek(f->fd, static_cast<off_t>(offset), whence);
  if (r < 0) {
    SetLastError(errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<ULONGLONG>(r) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(r);
}

BOOL SetEndOfFile(HANDLE file) {
  FileObject* f = FileOf(file);
  if (!f) return FALSE;
  off_t pos = lseek(f->fd, 0, SEEK_CUR);
  if (pos < 0 || ftruncate(f->fd, pos) != 0) return FailErrno();
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  FileObject* f = FileOf(file);
  if (!f) return FALSE;
  if (fsync(f->fd) != 0) return FailErrno();
  return TRUE;
}
