// The file side of writing a book: the lock that keeps two writers apart, the free-space check,
// and the new file that is written beside the book and renamed over it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "contracts/NBKCreator.h"

namespace nbk {

// Result codes of the writer (docs/nbk-format.md lists them).
inline constexpr int kErrBadCall = NBK_ERR_BAD_CALL;
inline constexpr int kErrNotNbk = NBK_ERR_NOT_NBK;
inline constexpr int kErrIo = NBK_ERR_IO;
inline constexpr int kErrLocked = NBK_ERR_LOCKED;
inline constexpr int kErrDiskFull = NBK_ERR_DISK_FULL;

std::string FolderOf(const std::string& path);
// Free bytes for the drive of folder, through the test probe when one is set.
std::optional<std::uint64_t> FreeSpace(const std::string& folder);

// An exclusive lock on "<book>.lock" beside the book. The lock file, not the book, is locked
// because the book is replaced by rename; the file is removed on release, and a waiter that
// then holds a removed file tries again.
class BookLock {
 public:
  BookLock() = default;
  ~BookLock() { Release(); }
  BookLock(const BookLock&) = delete;
  BookLock& operator=(const BookLock&) = delete;
  // 0, kErrIo when the lock file cannot be made, kErrLocked when the wait timed out.
  int Acquire(const std::string& bookPath);
  void Release();

 private:
  int m_fd = -1;
  std::string m_path;
};

// "<book>.new", written and then renamed over the book. Destroying it uncommitted removes it.
class NewBookFile {
 public:
  NewBookFile() = default;
  ~NewBookFile() { Abort(); }
  NewBookFile(const NewBookFile&) = delete;
  NewBookFile& operator=(const NewBookFile&) = delete;
  static std::string TempPathFor(const std::string& bookPath) { return bookPath + ".new"; }

  // mode: permission bits for the new file. Results are 0 or a writer result code.
  int Create(const std::string& bookPath, unsigned mode);
  int Write(std::span<const std::uint8_t> bytes);
  // Copies size bytes at offset of the descriptor fd (the old book) into the new file; with
  // crc, also continues that CRC-32 over the bytes copied.
  int CopyFrom(int fd, std::uint64_t offset, std::uint64_t size, std::uint32_t* crc = nullptr);
  // Flushes, renames over the book and flushes the folder.
  int Commit();
  void Abort();

 private:
  int Fail(int err);
  bool CallHook();
  int m_fd = -1;
  std::string m_bookPath;
  std::string m_tempPath;
  std::uint64_t m_written = 0;
};

std::chrono::milliseconds LockTimeout();

}  // namespace nbk
