#include "platform/win32/mfc/exception.h"

#include <algorithm>
#include <cerrno>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"

CException::~CException() = default;

void CException::Delete() {
  delete this;
}

BOOL CException::CopyMessage(const std::u16string& text, LPWSTR buffer, UINT size) {
  if (!buffer || size == 0) return FALSE;
  size_t n = std::min<size_t>(text.size(), size - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return TRUE;
}

BOOL CException::GetErrorMessage(LPWSTR buffer, UINT size, UINT* helpContext) {
  if (helpContext) *helpContext = 0;
  if (buffer && size) buffer[0] = 0;
  return FALSE;
}

int CFileException::OsErrorToException(LONG osError) {
  switch (static_cast<DWORD>(osError)) {
    case ERROR_SUCCESS:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
      return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_NEGATIVE_SEEK:
      return badSeek;
    case ERROR_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    default:
      return generic;
  }
}

int CFileException::ErrnoToException(int err) {
  if (err == EIO) return hardIO;
  return OsErrorToException(static_cast<LONG>(platform::win32::ErrorFromErrno(err)));
}

void CFileException::ThrowOsError(LONG osError, const char16_t* fileName) {
  throw new CFileException(OsErrorToException(osError), osError, fileName);
}

void CFileException::ThrowErrno(int err, const char16_t* fileName) {
  throw new CFileException(ErrnoToException(err),
                           static_cast<LONG>(platform::win32::ErrorFromErrno(err)), fileName);
}

BOOL CFileException::GetErrorMessage(LPWSTR buffer, UINT size, UINT* helpContext) {
  if (helpContext) *helpContext = 0;
  static const char16_t* const kText[] = {
      u"No error occurred.",
      u"An unspecified error occurred while accessing %1.",
      u"%1 was not found.",
      u"%1 contains an incorrect path.",
      u"%1 could not be opened because there are too many open files.",
      u"Access to %1 was denied.",
      u"An incorrect file handle was associated with %1.",
      u"%1 could not be removed because it is the current directory.",
      u"%1 could not be created because the directory is full.",
      u"Seek failed on %1.",
      u"A hardware I/O error was reported while accessing %1.",
      u"A sharing violation occurred while accessing %1.",
      u"A locking violation occurred while accessing %1.",
      u"Disk full while accessing %1.",
      u"An attempt was made to access %1 past its end.",
  };
  int cause = m_cause >= none && m_cause <= endOfFile ? m_cause : generic;
  std::u16string text = kText[cause];
  size_t at = text.find(u"%1");
  if (at != std::u16string::npos) {
    text.replace(at, 2, m_strFileName.empty() ? u"an unnamed file" : m_strFileName);
  }
  return CopyMessage(text, buffer, size);
}
