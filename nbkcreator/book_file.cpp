#include "nbkcreator/book_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <thread>
#include <vector>

#include "nbkcreator/format.h"
#include "nbkcreator/testing.h"

namespace nbk {

namespace {

struct Hooks {
  std::mutex mutex;
  testing::FreeSpaceProbe freeSpace;
  testing::WriteHook write;
  std::chrono::milliseconds lockTimeout{120000};
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

namespace testing {

void SetFreeSpaceProbe(FreeSpaceProbe probe) {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  TheHooks().freeSpace = std::move(probe);
}

void SetWriteHook(WriteHook hook) {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  TheHooks().write = std::move(hook);
}

void SetLockTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  TheHooks().lockTimeout = timeout;
}

}  // namespace testing

std::chrono::milliseconds LockTimeout() {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  return TheHooks().lockTimeout;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::optional<std::uint64_t> FreeSpace(const std::string& folder) {
  testing::FreeSpaceProbe probe;
  {
    std::lock_guard<std::mutex> lock(TheHooks().mutex);
    probe = TheHooks().freeSpace;
  }
  if (probe) return probe(folder);
  struct statvfs st {};
  if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

int BookLock::Acquire(const std::string& bookPath) {
  Release();
  const std::string path = bookPath + ".lock";
  const auto deadline = std::chrono::steady_clock::now() + LockTimeout();
  while (true) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return kErrIo;
    bool locked = false;
    while (true) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        locked = true;
        break;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!locked) {
      ::close(fd);
      return std::chrono::steady_clock::now() >= deadline ? kErrLocked : kErrIo;
    }
    // The holder before us may have removed the file we waited on; then lock the new one.
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      m_fd = fd;
      m_path = path;
      return 0;
    }
    ::close(fd);
  }
}

void BookLock::Release() {
  if (m_fd < 0) return;
  // Removed while still held, so nobody can lock this file and find it valid afterwards.
  ::unlink(m_path.c_str());
  ::close(m_fd);
  m_fd = -1;
}

int NewBookFile::Create(const std::string& bookPath, unsigned mode) {
  Abort();
  m_bookPath = bookPath;
  m_tempPath = TempPathFor(bookPath);
  m_written = 0;
  m_fd = ::open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (m_fd < 0) return errno == ENOSPC ? kErrDiskFull : kErrIo;
  ::fchmod(m_fd, mode);
  return 0;
}

int NewBookFile::Fail(int err) {
  Abort();
  return err;
}

int NewBookFile::Write(std::span<const std::uint8_t> bytes) {
  if (m_fd < 0) return kErrBadCall;
  if (!WriteAll(m_fd, bytes.data(), bytes.size()))
    return Fail(errno == ENOSPC || errno == EDQUOT ? kErrDiskFull : kErrIo);
  m_written += bytes.size();
  if (!CallHook()) return Fail(kErrDiskFull);
  return 0;
}

bool NewBookFile::CallHook() {
  testing::WriteHook hook;
  {
    std::lock_guard<std::mutex> lock(TheHooks().mutex);
    hook = TheHooks().write;
  }
  return !hook || hook(m_written);
}

int NewBookFile::CopyFrom(int fd, std::uint64_t offset, std::uint64_t size, std::uint32_t* crc) {
  if (m_fd < 0) return kErrBadCall;
  // In the kernel where it can (no copy through our memory; shared extents on file systems
  // that have them), through a small buffer where it cannot.
  constexpr std::uint64_t kChunk = 1u << 20;
  std::vector<std::uint8_t> buffer;
  // The CRC needs the bytes, so it takes the buffered way.
  if (crc) buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, 64u << 10)));
  while (size > 0) {
    std::size_t want = static_cast<std::size_t>(std::min(size, kChunk));
    if (buffer.empty()) {
      off_t in = static_cast<off_t>(offset);
      ssize_t n = ::copy_file_range(fd, &in, m_fd, nullptr, want, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n > 0) {
        m_written += static_cast<std::uint64_t>(n);
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::uint64_t>(n);
        if (!CallHook()) return Fail(kErrDiskFull);
        continue;
      }
      if (n < 0 && (errno == ENOSPC || errno == EDQUOT)) return Fail(kErrDiskFull);
      if (n == 0) return Fail(kErrIo);  // the old book is shorter than it was
      buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, 256u << 10)));
    }
    want = std::min(want, buffer.size());
    std::size_t got = 0;
    while (got < want) {
      ssize_t n = ::pread(fd, buffer.data() + got, want - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(kErrIo);
      got += static_cast<std::size_t>(n);
    }
    if (crc) *crc = Crc32(buffer.data(), want, *crc);
    if (int rc = Write({buffer.data(), want}); rc != 0) return rc;
    offset += want;
    size -= want;
  }
  return 0;
}

int NewBookFile::Commit() {
  if (m_fd < 0) return kErrBadCall;
  if (::fsync(m_fd) != 0) return Fail(errno == ENOSPC ? kErrDiskFull : kErrIo);
  if (::close(m_fd) != 0) {
    m_fd = -1;
    return Fail(kErrIo);
  }
  m_fd = -1;
  if (::rename(m_tempPath.c_str(), m_bookPath.c_str()) != 0) return Fail(kErrIo);
  m_tempPath.clear();
  // The rename itself must reach the disk, or a crash could bring the old name back empty.
  int dir = ::open(FolderOf(m_bookPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return 0;
}

void NewBookFile::Abort() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
  }
}

}  // namespace nbk
