// The class library's exceptions. As in the original library they are thrown as pointers
// (`throw new CFileException(...)`) and the catcher calls Delete():
//   try { ... } catch (CException* e) { e->Delete(); }
#pragma once

#include <string>

#include "platform/com/types.h"

class CException {
 public:
  CException() = default;
  CException(const CException&) = delete;
  CException& operator=(const CException&) = delete;
  virtual ~CException();
  // Frees the exception; every catcher calls it exactly once.
  virtual void Delete();
  // Writes a message for the user into buffer (at most size characters with the terminator).
  virtual BOOL GetErrorMessage(LPWSTR buffer, UINT size, UINT* helpContext = nullptr);

 protected:
  static BOOL CopyMessage(const std::u16string& text, LPWSTR buffer, UINT size);
};

class CFileException : public CException {
 public:
  enum {
    none,
    generic,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  explicit CFileException(int cause = none, LONG osError = -1, const char16_t* fileName = nullptr)
      : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : u"") {}

  // The cause for a Windows error code (ERROR_FILE_NOT_FOUND -> fileNotFound, ...).
  static int OsErrorToException(LONG osError);
  static int ErrnoToException(int err);
  [[noreturn]] static void ThrowOsError(LONG osError, const char16_t* fileName = nullptr);
  [[noreturn]] static void ThrowErrno(int err, const char16_t* fileName = nullptr);

  BOOL GetErrorMessage(LPWSTR buffer, UINT size, UINT* helpContext = nullptr) override;

  int m_cause;
  LONG m_lOsError;  // the Windows error code, -1 when unknown
  std::u16string m_strFileName;
};
