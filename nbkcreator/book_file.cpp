#include "nbkcreator/book_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "nbkcreator/format.h"
#include "nbkcreator/testing.h"
#include "platform/files/files.h"

namespace nbk {

namespace {

struct Hooks {
  std::mutex mutex;
  testing::FreeSpaceProbe freeSpace;
  testing::WriteHook write;
  std::chrono::milliseconds lockTimeout{120000};
  std::uint32_t sectionLimit = kMaxSectionSize;
};

// What a lock file holds: this tag, then who holds it. A file of the lock's name with other
// content is somebody's own and is neither used nor removed.
constexpr std::string_view kLockTag = "nbk-lock ";

bool IsSpaceError(int err) {
  return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
  return platform::files::WriteAll(fd, p, n);
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

void SetSectionLimit(std::uint32_t bytes) {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  TheHooks().sectionLimit = bytes == 0 || bytes > kMaxSectionSize ? kMaxSectionSize : bytes;
}

}  // namespace testing

std::chrono::milliseconds LockTimeout() {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  return TheHooks().lockTimeout;
}

std::uint32_t SectionLimit() {
  std::lock_guard<std::mutex> lock(TheHooks().mutex);
  return TheHooks().sectionLimit;
}

int ResolveBookPath(const std::string& path, std::string& resolved) {
  resolved = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
    std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    ssize_t n = ::readlink(resolved.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return kErrIo;
    std::string next(target.data(), static_cast<std::size_t>(n));
    resolved = next[0] == '/' ? next : FolderOf(resolved) + "/" + next;
  }
  return kErrIo;  // a loop of links
}

std::string FolderOf(const std::string& path) {
  return platform::files::FolderOf(path);
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

int BookLock::Acquire(const std::string& bookPath,
                      const std::function<void(const std::u16string&)>& notice) {
  Release();
  const std::string path = bookPath + ".lock";
  const auto deadline = std::chrono::steady_clock::now() + LockTimeout();
  bool told = false;
  while (true) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ELOOP ? kErrInTheWay : kErrIo;
    struct stat held {};
    char head[kLockTag.size()];
    ssize_t got =
        ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) ? ::pread(fd, head, sizeof head, 0) : -1;
    if (got < 0 || (got > 0 && std::string_view(head, static_cast<std::size_t>(got)) !=
                                   kLockTag.substr(0, static_cast<std::size_t>(got)))) {
      ::close(fd);
      return kErrInTheWay;
    }
    int waited = platform::files::LockUntil(fd, deadline, [&] {
      if (!told && notice) {
        told = true;
        notice(HolderOf(path));
      }
    });
    if (waited != 0) {
      ::close(fd);
      return waited == ETIMEDOUT ? kErrLocked : kErrIo;
    }
    // The holder before us may have removed the file we waited on; then lock the new one.
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      // Who holds it, for a writer that comes to wait.
      std::string who = std::string(kLockTag) + "process " + std::to_string(::getpid()) + " (" +
                        program_invocation_short_name + ")\n";
      if (::ftruncate(fd, 0) == 0)
        WriteAll(fd, reinterpret_cast<const std::uint8_t*>(who.data()), who.size());
      m_fd = fd;
      m_path = path;
      return 0;
    }
    ::close(fd);
  }
}

std::u16string BookLock::HolderOf(const std::string& lockPath) {
  std::u16string holder = u"another writer";
  int fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return holder;
  char buffer[256];
  ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
  ::close(fd);
  if (n <= 0) return holder;
  std::string_view text(buffer, static_cast<std::size_t>(n));
  if (!text.starts_with(kLockTag)) return holder;
  text.remove_prefix(kLockTag.size());
  text = text.substr(0, text.find('\n'));
  if (text.empty()) return holder;
  holder.clear();
  for (char c : text) holder.push_back(static_cast<unsigned char>(c) < 0x80 ? c : u'?');
  return holder;
}

void BookLock::Release() {
  if (m_fd < 0) return;
  // Removed while still held, so nobody can lock this file and find it valid afterwards.
  ::unlink(m_path.c_str());
  ::close(m_fd);
  m_fd = -1;
}

int NewBookFile::RemoveLeftover(const std::string& bookPath) {
  const std::string path = TempPathFor(bookPath);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 0 : kErrIo;
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return kErrInTheWay;
  // What a writer leaves is the start of a book: empty, or beginning with the magic.
  std::uint8_t head[sizeof kMagic] = {};
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kErrInTheWay;
  ssize_t n = ::pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (n < 0 || std::memcmp(head, kMagic, static_cast<std::size_t>(n)) != 0) return kErrInTheWay;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : kErrIo;
}

int NewBookFile::Create(const std::string& bookPath, unsigned mode) {
  Abort();
  m_bookPath = bookPath;
  m_written = 0;
  // Exclusive: a file of this name appearing since Open is somebody's and is not overwritten.
  m_fd = ::open(TempPathFor(bookPath).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                0600);
  if (m_fd < 0) return IsSpaceError(errno) ? kErrDiskFull : errno == EEXIST ? kErrInTheWay : kErrIo;
  m_tempPath = TempPathFor(bookPath);
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
    return Fail(IsSpaceError(errno) ? kErrDiskFull : kErrIo);
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
      if (n < 0 && IsSpaceError(errno)) return Fail(kErrDiskFull);
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
  // The replacement removes the new file if it fails; the old book stays as it was.
  platform::files::ReplaceResult done =
      platform::files::CommitReplacement(std::exchange(m_fd, -1), m_tempPath, m_bookPath);
  m_tempPath.clear();
  if (done.ok()) return 0;
  bool full =
      done.failed == platform::files::ReplaceResult::Step::kFlush && IsSpaceError(done.error);
  return full ? kErrDiskFull : kErrIo;
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
