// CStdioFile: a buffered CFile with the C runtime's text mode. Opened with typeText, CR LF
// reads as LF and LF writes as CR LF; with typeBinary bytes pass unchanged. Lines are text in
// the ANSI code page. The internet file classes derive from it.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/mfc/file.h"

class CStdioFile : public CFile {
 public:
  CStdioFile() = default;
  // Opens or throws CFileException*. Text mode unless typeBinary is given.
  CStdioFile(const char16_t* fileName, UINT openFlags);
  ~CStdioFile() override;

  BOOL Open(const char16_t* fileName, UINT openFlags, CFileException* error = nullptr) override;
  UINT Read(void* buffer, UINT count) override;
  void Write(const void* buffer, UINT count) override;
  LONG Seek(LONG offset, UINT from) override;
  DWORD GetPosition() const override;
  void Close() override;
  void Abort() override;

  // The next line without its line feed; FALSE at the end of the file.
  virtual BOOL ReadString(std::u16string& line);
  // The next line with its line feed, at most size - 1 characters; NULL at the end.
  virtual LPWSTR ReadString(LPWSTR buffer, UINT size);
  virtual void WriteString(const char16_t* text);

 protected:
  // Reads more bytes behind the unread ones; false at the end of the file.
  bool Fill();
  // Gives the next byte, translating CR LF in text mode; false at the end.
  bool NextByte(char& c);
  void DropBuffer();

  bool m_bText = true;
  std::vector<char> m_buffer;
  size_t m_pos = 0;  // next unread byte in m_buffer
};
