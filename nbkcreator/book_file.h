// The file side of writing a book: the lock that keeps two writers apart, the free-space check,
// and the new file that is written beside the book and renamed over it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
inline constexpr int kErrTooLarge = NBK_ERR_TOO_LARGE;
inline constexpr int kErrNotAFile = NBK_ERR_NOT_A_FILE;
inline constexpr int kErrInTheWay = NBK_ERR_IN_THE_WAY;
inline constexpr int kErrDiskFull = NBK_ERR_DISK_FULL;

std::string FolderOf(const std::string& path);
// The path with every symbolic link at its end followed (a link to a link included), so the
// book is written where the link points; the link itself stays. kErrIo for a loop.
int ResolveBookPath(const std::string& path, std::string& resolved);
// The largest section payload the writer may write (testing::SetSectionLimit lowers it).
std::uint32_t SectionLimit();
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
  // 0, kErrIo when the lock file cannot be made, kErrInTheWay when a file of that name is not
  // a lock file, kErrLocked when the wait timed out. notice, when set, is told once who holds
  // the book when the wait begins.
  int Acquire(const std::string& bookPath,
              const std::function<void(const std::u16string&)>& notice = {});
  void Release();
  // Who holds the lock file at path, as its holder wrote it ("process 4711 (nbclip)").
  static std::u16string HolderOf(const std::string& lockPath);

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
  // Removes a "<book>.new" that a writer left behind (a crash); 0 when there is none.
  // kErrInTheWay when the file is not one the writer could have left (a link, not a regular
  // file, or content that is no start of a book): it is someone's own and stays.
  static int RemoveLeftover(const std::string& bookPath);

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
