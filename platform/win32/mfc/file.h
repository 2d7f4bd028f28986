// CFile: a binary file over a POSIX descriptor, with the class library's open flags and its
// habit of throwing CFileException* when a read, write or seek fails.
#pragma once

#include <string>

#include "platform/com/types.h"
#include "platform/win32/mfc/exception.h"

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,      // create, or truncate an existing file
    modeNoTruncate = 0x2000,  // with modeCreate: keep an existing file as it is
    typeText = 0x4000,        // CStdioFile only: CR LF reads as LF
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
  static constexpr int hFileNull = -1;

  CFile() = default;
  explicit CFile(int fd) : m_hFile(fd) {}
  // Opens or throws CFileException*.
  CFile(const char16_t* fileName, UINT openFlags);
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  // Closes an open file; errors are not reported from here.
  virtual ~CFile();

  // FALSE on failure, with the cause in *error when given; never throws.
  virtual BOOL Open(const char16_t* fileName, UINT openFlags, CFileException* error = nullptr);
  // Bytes read (0 at the end); throws on a read error.
  virtual UINT Read(void* buffer, UINT count);
  // Writes all or throws (diskFull, accessDenied, ...).
  virtual void Write(const void* buffer, UINT count);
  // The new position; throws badSeek.
  virtual LONG Seek(LONG offset, UINT from);
  DWORD SeekToBegin() { return static_cast<DWORD>(Seek(0, begin)); }
  DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }
  virtual DWORD GetLength() const;
  virtual DWORD GetPosition() const;
  virtual void SetLength(DWORD length);
  virtual void Flush();
  // Throws when closing reports an error (the data may not be on disk).
  virtual void Close();
  // Closes without ever throwing.
  virtual void Abort();

  virtual std::u16string GetFilePath() const { return m_strFileName; }
  std::u16string GetFileName() const;

  static void Remove(const char16_t* fileName);
  static void Rename(const char16_t* oldName, const char16_t* newName);

  int m_hFile = hFileNull;

 protected:
  [[noreturn]] void ThrowErrno(int err) const;
  std::u16string m_strFileName;
};
