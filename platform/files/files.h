// Files that are replaced whole and files that lock: one way for the registry, the book writer
// and the book list to write beside a file, flush, rename over it and flush the folder, and to
// wait for a lock file.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace platform::files {

// The system calls a replacement makes, so that a test can make any of them fail.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Fsync(int fd);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
  static FileCalls& System();
};

// The folder of a path ("." for a bare name, "/" for a file at the root).
std::string FolderOf(const std::string& path);
// The directory entry of a rename reaches the disk only with the folder itself. Best effort.
void SyncFolderOf(const std::string& path);

// Writes all of data to fd, going on after interruptions; false with errno set otherwise (EIO
// for a write that makes no progress).
bool WriteAll(int fd, const void* data, std::size_t size, FileCalls& calls = FileCalls::System());

// Where a replacement failed, and errno then.
struct ReplaceResult {
  enum class Step { kNone, kCreate, kWrite, kFlush, kClose, kRename };
  Step failed = Step::kNone;
  int error = 0;
  bool ok() const { return failed == Step::kNone; }
};

// The end of a replacement whose new contents are written to fd, a file opened at temp beside
// path: flushes fd, closes it, renames temp over path and flushes the folder. fd is closed
// either way; on failure temp is removed and path is as it was.
ReplaceResult CommitReplacement(int fd, const std::string& temp, const std::string& path,
                                FileCalls& calls = FileCalls::System());

// The whole replacement of path by data: temp (a name of the caller's own, holding its process
// id; a stale file of that name goes first) is made, written and committed as above.
ReplaceResult ReplaceFile(const std::string& path, const std::string& temp, std::string_view data,
                          mode_t mode, FileCalls& calls = FileCalls::System());

// Waits for an exclusive flock on fd until deadline (time_point::max() waits for as long as it
// takes). onWait, when set, is called once when the wait begins. 0, or ETIMEDOUT, or the
// errno of a failed flock.
int LockUntil(int fd, std::chrono::steady_clock::time_point deadline,
              const std::function<void()>& onWait = {});

// An exclusive lock on a lock file (made when missing), held for the object's life. The file
// stays: removing it would let a second holder lock a new file while the first holds the old.
class FileLock {
 public:
  FileLock() = default;
  // Waits up to timeout (forever for a negative one) for another holder to let go.
  FileLock(const std::string& lockPath, std::chrono::milliseconds timeout, mode_t mode = 0644);
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Locked() const { return m_fd >= 0; }
  // errno of the failed open or wait (ETIMEDOUT when the wait ran out), 0 when locked.
  int Error() const { return m_error; }
  void Release();

 private:
  int m_fd = -1;
  int m_error = 0;
};

}  // namespace platform::files
