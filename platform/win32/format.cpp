#include "platform/win32/format.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/win32/codepage.h"

namespace platform::win32 {

namespace {

void AppendAscii(std::u16string& out, const char* s) {
  while (*s) out.push_back(static_cast<unsigned char>(*s++));
}

void Pad(std::u16string& out, std::u16string_view text, int width, bool left) {
  size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
  if (!left) out.append(pad, u' ');
  out.append(text);
  if (left) out.append(pad, u' ');
}

}  // namespace

std::u16string FormatV(const char16_t* format, va_list args) {
  std::u16string out;
  if (!format) return out;
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') {
      out.push_back(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out.push_back(u'%');
      continue;
    }
    std::string spec = "%";
    bool left = false;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
      if (*p == u'-') left = true;
      spec.push_back(static_cast<char>(*p++));
    }
    int width = -1;
    if (*p == u'*') {
      width = va_arg(args, int);
      if (width < 0) {
        left = true;
        width = -width;
        spec.push_back('-');
      }
      spec += std::to_string(width);
      ++p;
    } else if (*p >= u'0' && *p <= u'9') {
      width = 0;
      while (*p >= u'0' && *p <= u'9') {
        width = width * 10 + (*p - u'0');
        spec.push_back(static_cast<char>(*p++));
      }
    }
    int precision = -1;
    if (*p == u'.') {
      ++p;
      precision = 0;
      if (*p == u'*') {
        precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') precision = precision * 10 + (*p++ - u'0');
      }
      if (precision >= 0) spec += "." + std::to_string(precision);
    }
    // Length: 0 = int, 1 = 64 bits, 2 = size_t; narrow/wide for strings and characters.
    int size = 0;
    bool narrow = false, wide = false;
    for (;;) {
      if (*p == u'h') {
        narrow = true;
        ++p;
      } else if (*p == u'l' || *p == u'w') {
        if (p[1] == u'l') {
          size = 1;
          ++p;
        } else {
          wide = true;
        }
        ++p;
      } else if (*p == u'L') {
        ++p;
      } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
        size = 1;
        p += 3;
      } else if (*p == u'I' && p[1] == u'3' && p[2] == u'2') {
        p += 3;
      } else if (*p == u'I' || *p == u'z') {
        size = 2;
        ++p;
      } else {
        break;
      }
    }
    char16_t conv = *p;
    if (!conv) break;
    char buf[512];
    switch (conv) {
      case u'd':
      case u'i': {
        long long v = size == 1   ? va_arg(args, long long)
                      : size == 2 ? static_cast<long long>(va_arg(args, std::ptrdiff_t))
                                  : va_arg(args, int);
        if (narrow && size == 0) v = static_cast<short>(v);
        std::snprintf(buf, sizeof buf, (spec + "lld").c_str(), v);
        AppendAscii(out, buf);
        break;
      }
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        unsigned long long v = size == 1   ? va_arg(args, unsigned long long)
                               : size == 2 ? static_cast<unsigned long long>(va_arg(args, size_t))
                                           : va_arg(args, unsigned int);
        if (narrow && size == 0) v = static_cast<unsigned short>(v);
        std::snprintf(buf, sizeof buf, (spec + "ll" + static_cast<char>(conv)).c_str(), v);
        AppendAscii(out, buf);
        break;
      }
      case u'p': {
        std::snprintf(
            buf, sizeof buf, "%0*llX", static_cast<int>(sizeof(void*) * 2),
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(va_arg(args, void*))));
        AppendAscii(out, buf);
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        double v = va_arg(args, double);
        std::snprintf(buf, sizeof buf, (spec + static_cast<char>(conv)).c_str(), v);
        AppendAscii(out, buf);
        break;
      }
      case u'c':
      case u'C': {
        int v = va_arg(args, int);
        std::u16string ch;
        if ((conv == u'C' && !wide) || narrow) {
          char c = static_cast<char>(v);
          ch = AnsiToWide(std::string_view(&c, 1));
        } else {
          ch.push_back(static_cast<char16_t>(v));
        }
        Pad(out, ch, width, left);
        break;
      }
      case u's':
      case u'S': {
        std::u16string text;
        if ((conv == u'S' && !wide) || narrow) {
          const char* s = va_arg(args, const char*);
          text = s ? AnsiToWide(s) : u"(null)";
        } else {
          const char16_t* s = va_arg(args, const char16_t*);
          text = s ? s : u"(null)";
        }
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(precision);
        Pad(out, text, width, left);
        break;
      }
      default:
        // Unknown conversions are written as they stand.
        out.push_back(u'%');
        out.push_back(conv);
        break;
    }
  }
  return out;
}

std::u16string Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string s = FormatV(format, args);
  va_end(args);
  return s;
}

}  // namespace platform::win32

int wvsprintfW(LPWSTR buffer, LPCWSTR format, va_list args) {
  if (!buffer) return 0;
  std::u16string s = platform::win32::FormatV(format, args);
  size_t n = std::min<size_t>(s.size(), 1023);
  std::copy_n(s.data(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  return n;
}

int _snwprintf(char16_t* buffer, size_t count, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string s = platform::win32::FormatV(format, args);
  va_end(args);
  if (!buffer) return -1;
  if (s.size() > count) {
    std::copy_n(s.data(), count, buffer);
    return -1;
  }
  std::copy(s.begin(), s.end(), buffer);
  if (s.size() < count) buffer[s.size()] = 0;
  return static_cast<int>(s.size());
}
