// CFileFind over FindFirstFileW/FindNextFileW. As in the class library, FindNextFile must be
// called before the first match can be read, and returns FALSE for the last match (which is
// still readable):
//   BOOL more = finder.FindFile(pattern);
//   while (more) { more = finder.FindNextFile(); use(finder.GetFilePath()); }
#pragma once

#include <string>

#include "platform/win32/file.h"

class CFileFind {
 public:
  CFileFind() = default;
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;
  virtual ~CFileFind();

  // pattern NULL means "*.*" in the current folder.
  virtual BOOL FindFile(const char16_t* pattern = nullptr, DWORD flags = 0);
  virtual BOOL FindNextFile();
  void Close();

  std::u16string GetFileName() const;
  // The folder of the pattern joined with the name found.
  std::u16string GetFilePath() const;
  // The name without its extension.
  std::u16string GetFileTitle() const;
  std::u16string GetRoot() const { return m_strRoot; }
  DWORD GetLength() const;
  ULONGLONG GetLength64() const;
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
  BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
  // "." or "..".
  BOOL IsDots() const;
  BOOL MatchesMask(DWORD mask) const;

 private:
  HANDLE m_hFind = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW m_next{};     // found, not yet handed out
  WIN32_FIND_DATAW m_current{};  // what the getters read
  bool m_hasNext = false;
  bool m_hasCurrent = false;
  std::u16string m_strRoot;  // the pattern's folder with its trailing separator
};
