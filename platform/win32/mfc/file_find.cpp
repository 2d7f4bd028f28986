#include "platform/win32/mfc/file_find.h"

CFileFind::~CFileFind() {
  Close();
}

void CFileFind::Close() {
  if (m_hFind != INVALID_HANDLE_VALUE) FindClose(m_hFind);
  m_hFind = INVALID_HANDLE_VALUE;
  m_hasNext = m_hasCurrent = false;
}

BOOL CFileFind::FindFile(const char16_t* pattern, DWORD) {
  Close();
  std::u16string p = pattern && *pattern ? pattern : u"*.*";
  size_t cut = p.find_last_of(u"\\/");
  m_strRoot = cut == std::u16string::npos ? u"" : p.substr(0, cut + 1);
  m_hFind = FindFirstFileW(p.c_str(), &m_next);
  m_hasNext = m_hFind != INVALID_HANDLE_VALUE;
  return m_hasNext;
}

BOOL CFileFind::FindNextFile() {
  if (!m_hasNext) return FALSE;
  m_current = m_next;
  m_hasCurrent = true;
  m_hasNext = FindNextFileW(m_hFind, &m_next) != FALSE;
  return m_hasNext;
}

std::u16string CFileFind::GetFileName() const {
  return m_hasCurrent ? std::u16string(m_current.cFileName) : std::u16string();
}

std::u16string CFileFind::GetFilePath() const {
  return m_hasCurrent ? m_strRoot + m_current.cFileName : std::u16string();
}

std::u16string CFileFind::GetFileTitle() const {
  std::u16string name = GetFileName();
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos || dot == 0 ? name : name.substr(0, dot);
}

DWORD CFileFind::GetLength() const {
  return m_hasCurrent ? m_current.nFileSizeLow : 0;
}

ULONGLONG CFileFind::GetLength64() const {
  return m_hasCurrent
             ? (static_cast<ULONGLONG>(m_current.nFileSizeHigh) << 32 | m_current.nFileSizeLow)
             : 0;
}

BOOL CFileFind::IsDots() const {
  if (!IsDirectory()) return FALSE;
  std::u16string_view n = m_current.cFileName;
  return n == u"." || n == u"..";
}

BOOL CFileFind::MatchesMask(DWORD mask) const {
  return m_hasCurrent && (m_current.dwFileAttributes & mask) ? TRUE : FALSE;
}
