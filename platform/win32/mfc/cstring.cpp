#include "platform/win32/mfc/cstring.h"

#include <algorithm>
#include <cstdarg>

#include "platform/win32/codepage.h"
#include "platform/win32/format.h"

namespace {
char16_t Upper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}
char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}
bool IsSpace(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r');
}
int Clamp(int v, int lo, int hi) {
  return std::max(lo, std::min(v, hi));
}
}  // namespace

CString::CString(const char* ansi)
    : std::u16string(ansi ? platform::win32::AnsiToWide(ansi) : u"") {}

CString CString::Left(int count) const {
  return CString(substr(0, Clamp(count, 0, GetLength())));
}

CString CString::Right(int count) const {
  int n = Clamp(count, 0, GetLength());
  return CString(substr(size() - n));
}

CString CString::Mid(int first) const {
  return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
  first = Clamp(first, 0, GetLength());
  count = Clamp(count, 0, GetLength() - first);
  return CString(substr(first, count));
}

int CString::Find(char16_t c, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  size_t at = find(c, start);
  return at == npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char16_t* text, int start) const {
  if (!text || start < 0 || start > GetLength()) return -1;
  size_t at = find(text, start);
  return at == npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char16_t c) const {
  size_t at = rfind(c);
  return at == npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char16_t* chars) const {
  if (!chars) return -1;
  size_t at = find_first_of(chars);
  return at == npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char16_t from, char16_t to) {
  int n = 0;
  for (char16_t& c : *this) {
    if (c == from) {
      c = to;
      ++n;
    }
  }
  return n;
}

int CString::Replace(const char16_t* from, const char16_t* to) {
  if (!from || !*from) return 0;
  std::u16string_view f = from, t = to ? to : u"";
  int n = 0;
  std::u16string out;
  size_t pos = 0;
  for (size_t at; (at = find(f, pos)) != npos; pos = at + f.size()) {
    out.append(*this, pos, at - pos);
    out.append(t);
    ++n;
  }
  if (n) {
    out.append(*this, pos);
    assign(out);
  }
  return n;
}

int CString::Remove(char16_t c) {
  size_t before = size();
  erase(std::remove(begin(), end(), c), end());
  return static_cast<int>(before - size());
}

int CString::Insert(int index, const char16_t* text) {
  if (text) insert(static_cast<size_t>(Clamp(index, 0, GetLength())), text);
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index >= 0 && index < GetLength() && count > 0) erase(index, count);
  return GetLength();
}

CString& CString::MakeUpper() {
  std::transform(begin(), end(), begin(), Upper);
  return *this;
}

CString& CString::MakeLower() {
  std::transform(begin(), end(), begin(), Lower);
  return *this;
}

CString& CString::TrimLeft() {
  erase(begin(), std::find_if(begin(), end(), [](char16_t c) { return !IsSpace(c); }));
  return *this;
}

CString& CString::TrimRight() {
  erase(std::find_if(rbegin(), rend(), [](char16_t c) { return !IsSpace(c); }).base(), end());
  return *this;
}

CString& CString::TrimLeft(const char16_t* chars) {
  if (chars) erase(0, find_first_not_of(chars));
  return *this;
}

CString& CString::TrimRight(const char16_t* chars) {
  if (!chars) return *this;
  size_t last = find_last_not_of(chars);
  erase(last == npos ? 0 : last + 1);
  return *this;
}

int CString::Compare(const char16_t* other) const {
  int r = compare(other ? other : u"");
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

int CString::CompareNoCase(const char16_t* other) const {
  std::u16string_view b = other ? other : u"";
  for (size_t i = 0; i < size() && i < b.size(); ++i) {
    char16_t x = Lower((*this)[i]), y = Lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return size() == b.size() ? 0 : size() < b.size() ? -1 : 1;
}

void CString::Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  assign(platform::win32::FormatV(format, args));
  va_end(args);
}

char16_t* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) resize(static_cast<size_t>(minLength));
  return data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    size_t n = find(u'\0');
    if (n != npos) resize(n);
  } else {
    resize(std::min(static_cast<size_t>(newLength), size()));
  }
}
