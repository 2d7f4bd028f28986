// CString: the class library's string, here a std::u16string with the library's members on
// top, so the system's code can use either vocabulary. Indices and lengths are int; a
// missing match is -1. Case changes and comparisons without case touch ASCII letters only.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/types.h"

class CString : public std::u16string {
 public:
  CString() = default;
  CString(const char16_t* s) : std::u16string(s ? s : u"") {}
  CString(const char16_t* s, int length)
      : std::u16string(s ? s : u"", s && length > 0 ? length : 0) {}
  CString(std::u16string s) : std::u16string(std::move(s)) {}
  CString(std::u16string_view s) : std::u16string(s) {}
  CString(char16_t c, int repeat = 1) : std::u16string(repeat > 0 ? repeat : 0, c) {}
  // ANSI text, converted with the ANSI code page.
  explicit CString(const char* ansi);

  int GetLength() const { return static_cast<int>(size()); }
  BOOL IsEmpty() const { return empty(); }
  void Empty() { clear(); }
  char16_t GetAt(int i) const { return (*this)[static_cast<size_t>(i)]; }
  void SetAt(int i, char16_t c) { (*this)[static_cast<size_t>(i)] = c; }
  operator const char16_t*() const { return c_str(); }

  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;

  int Find(char16_t c, int start = 0) const;
  int Find(const char16_t* text, int start = 0) const;
  int ReverseFind(char16_t c) const;
  int FindOneOf(const char16_t* chars) const;
  // Replaces every occurrence; returns how many were replaced.
  int Replace(char16_t from, char16_t to);
  int Replace(const char16_t* from, const char16_t* to);
  int Remove(char16_t c);
  int Insert(int index, const char16_t* text);
  int Delete(int index, int count = 1);

  CString& MakeUpper();
  CString& MakeLower();
  CString& TrimLeft();
  CString& TrimRight();
  CString& TrimLeft(const char16_t* chars);
  CString& TrimRight(const char16_t* chars);
  CString& Trim() { return TrimRight().TrimLeft(); }

  int Compare(const char16_t* other) const;
  int CompareNoCase(const char16_t* other) const;

  // printf-style, with the conversions of platform/win32/format.h.
  void Format(const char16_t* format, ...);

  // A writable buffer of at least minLength characters; ReleaseBuffer(-1) takes the length
  // from the terminator.
  char16_t* GetBuffer(int minLength = 0);
  void ReleaseBuffer(int newLength = -1);
};
