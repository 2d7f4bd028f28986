#include "platform/win32/mfc/stdio_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win32/codepage.h"

namespace {
constexpr size_t kChunk = 16384;
}  // namespace

CStdioFile::CStdioFile(const char16_t* fileName, UINT openFlags) {
  CFileException error;
  if (!Open(fileName, openFlags, &error)) {
    throw new CFileException(error.m_cause, error.m_lOsError, error.m_strFileName.c_str());
  }
}

CStdioFile::~CStdioFile() = default;

BOOL CStdioFile::Open(const char16_t* fileName, UINT openFlags, CFileException* error) {
  DropBuffer();
  m_bText = !(openFlags & typeBinary);
  return CFile::Open(fileName, openFlags, error);
}

void CStdioFile::DropBuffer() {
  m_buffer.clear();
  m_pos = 0;
}

bool CStdioFile::Fill() {
  if (m_hFile == hFileNull) ThrowErrno(EBADF);
  m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_pos));
  m_pos = 0;
  size_t have = m_buffer.size();
  m_buffer.resize(have + kChunk);
  for (;;) {
    ssize_t n = read(m_hFile, m_buffer.data() + have, kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      m_buffer.resize(have);
      ThrowErrno(errno);
    }
    m_buffer.resize(have + static_cast<size_t>(n));
    return n > 0;
  }
}

bool CStdioFile::NextByte(char& c) {
  if (m_pos == m_buffer.size() && !Fill()) return false;
  c = m_buffer[m_pos++];
  if (m_bText && c == '\r') {
    // CR LF is one line feed; a CR alone stays. The LF may be in the next chunk.
    if (m_pos == m_buffer.size() && !Fill()) return true;
    if (m_buffer[m_pos] == '\n') c = m_buffer[m_pos++];
  }
  return true;
}

UINT CStdioFile::Read(void* buffer, UINT count) {
  if (count == 0) return 0;
  if (!buffer) ThrowErrno(EINVAL);
  auto* out = static_cast<char*>(buffer);
  UINT done = 0;
  if (!m_bText) {
    size_t buffered = std::min<size_t>(m_buffer.size() - m_pos, count);
    if (buffered) std::memcpy(out, m_buffer.data() + m_pos, buffered);
    m_pos += buffered;
    done = static_cast<UINT>(buffered);
    if (done < count) done += CFile::Read(out + done, count - done);
    return done;
  }
  char c;
  while (done < count && NextByte(c)) out[done++] = c;
  return done;
}

void CStdioFile::Write(const void* buffer, UINT count) {
  if (m_pos < m_buffer.size()) {
    // Read ahead: put the descriptor back where the reader is before writing.
    lseek(m_hFile, -static_cast<off_t>(m_buffer.size() - m_pos), SEEK_CUR);
  }
  DropBuffer();
  if (!m_bText) {
    CFile::Write(buffer, count);
    return;
  }
  const auto* in = static_cast<const char*>(buffer);
  std::string translated;
  translated.reserve(count + count / 16);
  for (UINT i = 0; i < count; ++i) {
    if (in[i] == '\n') translated += '\r';
    translated += in[i];
  }
  CFile::Write(translated.data(), static_cast<UINT>(translated.size()));
}

LONG CStdioFile::Seek(LONG offset, UINT from) {
  LONG unread = static_cast<LONG>(m_buffer.size() - m_pos);
  DropBuffer();
  if (from == current) offset -= unread;
  return CFile::Seek(offset, from);
}

DWORD CStdioFile::GetPosition() const {
  return CFile::GetPosition() - static_cast<DWORD>(m_buffer.size() - m_pos);
}

void CStdioFile::Close() {
  DropBuffer();
  CFile::Close();
}

void CStdioFile::Abort() {
  DropBuffer();
  CFile::Abort();
}

BOOL CStdioFile::ReadString(std::u16string& line) {
  line.clear();
  std::string bytes;
  char c;
  bool any = false;
  while (NextByte(c)) {
    any = true;
    if (c == '\n') break;
    bytes += c;
  }
  if (!any) return FALSE;
  line = platform::win32::AnsiToWide(bytes);
  return TRUE;
}

LPWSTR CStdioFile::ReadString(LPWSTR buffer, UINT size) {
  if (!buffer || size == 0) return nullptr;
  std::string bytes;
  char c;
  bool any = false;
  while (NextByte(c)) {
    any = true;
    bytes += c;
    if (c == '\n') break;
    // Stop in time: the decoded text never has more characters than bytes.
    if (bytes.size() >= size - 1) break;
  }
  if (!any) return nullptr;
  std::u16string text = platform::win32::AnsiToWide(bytes);
  size_t n = std::min<size_t>(text.size(), size - 1);
  std::copy_n(text.data(), n, buffer);
  buffer[n] = 0;
  return buffer;
}

void CStdioFile::WriteString(const char16_t* text) {
  if (!text) ThrowErrno(EINVAL);
  std::string bytes = platform::win32::WideToAnsi(text);
  Write(bytes.data(), static_cast<UINT>(bytes.size()));
}
