#include "platform/win32/mfc/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/win32/file.h"
#include "platform/win32/kernel.h"

CFile::CFile(const char16_t* fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) {
    throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName.c_str());
  }
}

CFile::~CFile() {
  if (m_hFile != hFileNull) Abort();
}

BOOL CFile::Open(const char16_t* fileName, UINT openFlags, CFileException* error) {
  if (error) {
    error->m_cause = CFileException::none;
    error->m_lOsError = -1;
    error->m_strFileName = fileName ? fileName : u"";
  }
  if (!fileName || !*fileName) {
    if (error) {
      error->m_cause = CFileException::badPath;
      error->m_lOsError = static_cast<LONG>(ERROR_PATH_NOT_FOUND);
    }
    return FALSE;
  }
  int access = openFlags & 3;
  int flags = O_CLOEXEC | (access == modeReadWrite ? O_RDWR
                           : access == modeWrite   ? O_WRONLY
                                                   : O_RDONLY);
  if (openFlags & modeCreate) {
    flags |= O_CREAT;
    if (!(openFlags & modeNoTruncate)) flags |= O_TRUNC;
  }
  std::string path = platform::win32::ToNativePath(fileName);
  // Not blocking in open: a FIFO in a file's place would wait forever for a writer.
  int fd = open(path.c_str(), flags | O_NONBLOCK, 0666);
  int err = errno;
  if (fd >= 0) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      fd = -1;
      err = EACCES;  // a folder, FIFO or device is not a file to open, as on Windows
    } else {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
  }
  if (fd < 0) {
    if (error) {
      // A missing folder on the way is a bad path, a missing file a missing file.
      DWORD os = platform::win32::ErrorFromErrno(err);
      if (err == ENOENT && (openFlags & modeCreate)) os = ERROR_PATH_NOT_FOUND;
      if (err == ENOTDIR) os = ERROR_PATH_NOT_FOUND;
      error->m_lOsError = static_cast<LONG>(os);
      error->m_cause = CFileException::OsErrorToException(error->m_lOsError);
    }
    return FALSE;
  }
  m_hFile = fd;
  m_strFileName = fileName;
  return TRUE;
}

void CFile::ThrowErrno(int err) const {
  CFileException::ThrowErrno(err, m_strFileName.c_str());
}

UINT CFile::Read(void* buffer, UINT count) {
  if (count == 0) return 0;
  if (m_hFile == hFileNull || !buffer) ThrowErrno(EBADF);
  UINT done = 0;
  while (done < count) {
    ssize_t n = read(m_hFile, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(errno);
    if (n == 0) break;
    done += static_cast<UINT>(n);
  }
  return done;
}

void CFile::Write(const void* buffer, UINT count) {
  if (count == 0) return;
  if (m_hFile == hFileNull || !buffer) ThrowErrno(EBADF);
  UINT done = 0;
  while (done < count) {
    ssize_t n = write(m_hFile, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(errno);
    done += static_cast<UINT>(n);
  }
}

LONG CFile::Seek(LONG offset, UINT from) {
  if (m_hFile == hFileNull) ThrowErrno(EBADF);
  int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
  off_t r = lseek(m_hFile, offset, whence);
  if (r < 0 || r > LONG_MAX) {
    throw new CFileException(CFileException::badSeek, static_cast<LONG>(ERROR_NEGATIVE_SEEK),
                             m_strFileName.c_str());
  }
  return static_cast<LONG>(r);
}

DWORD CFile::GetLength() const {
  struct stat st {};
  if (m_hFile == hFileNull || fstat(m_hFile, &st) != 0) ThrowErrno(EBADF);
  return static_cast<DWORD>(st.st_size);
}

DWORD CFile::GetPosition() const {
  off_t r = m_hFile == hFileNull ? -1 : lseek(m_hFile, 0, SEEK_CUR);
  if (r < 0) ThrowErrno(EBADF);
  return static_cast<DWORD>(r);
}

void CFile::SetLength(DWORD length) {
  if (m_hFile == hFileNull) ThrowErrno(EBADF);
  if (ftruncate(m_hFile, static_cast<off_t>(length)) != 0) ThrowErrno(errno);
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (fsync(m_hFile) != 0 && errno != EINVAL) ThrowErrno(errno);
}

void CFile::Close() {
  if (m_hFile == hFileNull) return;
  int fd = m_hFile;
  m_hFile = hFileNull;
  if (close(fd) != 0) ThrowErrno(errno);
}

void CFile::Abort() {
  if (m_hFile != hFileNull) close(m_hFile);
  m_hFile = hFileNull;
}

std::u16string CFile::GetFileName() const {
  size_t cut = m_strFileName.find_last_of(u"\\/");
  return cut == std::u16string::npos ? m_strFileName : m_strFileName.substr(cut + 1);
}

void CFile::Remove(const char16_t* fileName) {
  if (!DeleteFileW(fileName))
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), fileName);
}

void CFile::Rename(const char16_t* oldName, const char16_t* newName) {
  if (!MoveFileW(oldName, newName)) {
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), oldName);
  }
}
