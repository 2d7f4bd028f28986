#include "platform/files/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace platform::files {

int FileCalls::Open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
ssize_t FileCalls::Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}
int FileCalls::Fsync(int fd) {
  return ::fsync(fd);
}
int FileCalls::Close(int fd) {
  return ::close(fd);
}
int FileCalls::Rename(const char* from, const char* to) {
  return ::rename(from, to);
}
FileCalls& FileCalls::System() {
  static FileCalls calls;
  return calls;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void SyncFolderOf(const std::string& path) {
  int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool WriteAll(int fd, const void* data, std::size_t size, FileCalls& calls) {
  const char* p = static_cast<const char*>(data);
  for (std::size_t done = 0; done < size;) {
    ssize_t n = calls.Write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

ReplaceResult Failed(ReplaceResult::Step step, const std::string& temp) {
  int error = errno;
  ::unlink(temp.c_str());
  errno = error;
  return {step, error};
}

}  // namespace

ReplaceResult CommitReplacement(int fd, const std::string& temp, const std::string& path,
                                FileCalls& calls) {
  using Step = ReplaceResult::Step;
  if (calls.Fsync(fd) != 0) {
    int error = errno;
    calls.Close(fd);
    errno = error;
    return Failed(Step::kFlush, temp);
  }
  if (calls.Close(fd) != 0) return Failed(Step::kClose, temp);
  if (calls.Rename(temp.c_str(), path.c_str()) != 0) return Failed(Step::kRename, temp);
  SyncFolderOf(path);
  return {};
}

ReplaceResult ReplaceFile(const std::string& path, const std::string& temp, std::string_view data,
                          mode_t mode, FileCalls& calls) {
  using Step = ReplaceResult::Step;
  // The name is the caller's own (it holds the process id); one that is there is left by a
  // crashed process of the same id.
  ::unlink(temp.c_str());
  int fd = calls.Open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return {Step::kCreate, errno};  // nothing of ours to remove
  if (!WriteAll(fd, data.data(), data.size(), calls)) {
    int error = errno;
    calls.Close(fd);
    errno = error;
    return Failed(Step::kWrite, temp);
  }
  return CommitReplacement(fd, temp, path, calls);
}

int LockUntil(int fd, std::chrono::steady_clock::time_point deadline,
              const std::function<void()>& onWait) {
  if (deadline == std::chrono::steady_clock::time_point::max() && !onWait) {
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) return errno;
    }
    return 0;
  }
  bool told = false;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno != EWOULDBLOCK && errno != EINTR) return errno;
    if (std::chrono::steady_clock::now() >= deadline) return ETIMEDOUT;
    if (!told && onWait) {
      told = true;
      onWait();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

FileLock::FileLock(const std::string& lockPath, std::chrono::milliseconds timeout, mode_t mode) {
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) {
    m_error = errno;
    return;
  }
  auto deadline = timeout.count() < 0 ? std::chrono::steady_clock::time_point::max()
                                      : std::chrono::steady_clock::now() + timeout;
  m_error = LockUntil(fd, deadline);
  if (m_error != 0) {
    ::close(fd);
    return;
  }
  m_fd = fd;
}

FileLock::~FileLock() {
  Release();
}

FileLock::FileLock(FileLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    m_fd = std::exchange(other.m_fd, -1);
    m_error = other.m_error;
  }
  return *this;
}

void FileLock::Release() {
  if (m_fd >= 0) ::close(m_fd);  // closing lets go of the lock
  m_fd = -1;
}

}  // namespace platform::files
