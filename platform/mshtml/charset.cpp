#include "platform/mshtml/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/text/text.h"

namespace platform::mshtml {
namespace {

using text::AsciiLowercase;
using text::TrimAsciiSpace;

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  auto c1 = static_cast<unsigned char>(s[i + 1]);
  if (c1 < lo || c1 > hi) return 0;
  for (std::size_t k = 2; k < len; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return len;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Finds "charset" in s (ASCII case-insensitive) and returns the value after it and '='.
std::string CharsetParameter(std::string_view s) {
  std::string low = AsciiLowercase(s);
  std::size_t pos = 0;
  while ((pos = low.find("charset", pos)) != std::string::npos) {
    std::size_t i = pos + 7;
    while (i < low.size() && std::isspace(static_cast<unsigned char>(low[i]))) ++i;
    if (i >= low.size() || low[i] != '=') {
      pos += 7;
      continue;
    }
    ++i;
    while (i < low.size() && std::isspace(static_cast<unsigned char>(low[i]))) ++i;
    if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
      char q = s[i++];
      auto end = s.find(q, i);
      if (end == std::string_view::npos) return {};
      return std::string(s.substr(i, end - i));
    }
    std::size_t end = i;
    while (end < s.size() && s[end] != ';' && !std::isspace(static_cast<unsigned char>(s[end])))
      ++end;
    return std::string(s.substr(i, end - i));
  }
  return {};
}

}  // namespace

std::string IconvNameForLabel(std::string_view label) {
  std::string l = AsciiLowercase(TrimAsciiSpace(label));
  if (l.empty()) return {};
  static const struct {
    const char* label;
    const char* iconv;
  } kMap[] = {
      {"utf-8", "UTF-8"},
      {"utf8", "UTF-8"},
      {"unicode-1-1-utf-8", "UTF-8"},
      {"shift_jis", "CP932"},
      {"shift-jis", "CP932"},
      {"sjis", "CP932"},
      {"x-sjis", "CP932"},
      {"ms_kanji", "CP932"},
      {"csshiftjis", "CP932"},
      {"windows-31j", "CP932"},
      {"ms932", "CP932"},
      {"cp932", "CP932"},
      {"euc-jp", "EUC-JP-MS"},
      {"x-euc-jp", "EUC-JP-MS"},
      {"cseucpkdfmtjapanese", "EUC-JP-MS"},
      {"iso-2022-jp", "ISO-2022-JP"},
      {"csiso2022jp", "ISO-2022-JP"},
      {"utf-16", "UTF-16LE"},
      {"utf-16le", "UTF-16LE"},
      {"utf-16be", "UTF-16BE"},
      {"iso-8859-1", "CP1252"},
      {"latin1", "CP1252"},
      {"l1", "CP1252"},
      {"us-ascii", "CP1252"},
      {"ascii", "CP1252"},
      {"windows-1252", "CP1252"},
      {"cp1252", "CP1252"},
      {"gb2312", "GBK"},
      {"gbk", "GBK"},
      {"x-gbk", "GBK"},
      {"big5", "BIG5"},
      {"euc-kr", "CP949"},
      {"ks_c_5601-1987", "CP949"},
  };
  for (const auto& m : kMap) {
    if (l == m.label) return m.iconv;
  }
  // Anything else iconv may know under its own name (ISO-8859-2, KOI8-R, windows-1251).
  for (char c : l) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.' &&
        c != ':')
      return {};
  }
  std::string upper = l;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  iconv_t cd = iconv_open("UTF-8", upper.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  iconv_close(cd);
  return upper;
}

std::string CharsetFromContentType(std::string_view contentType) {
  return std::string(TrimAsciiSpace(CharsetParameter(contentType)));
}

std::string PrescanMetaCharset(std::string_view bytes) {
  std::string_view s = bytes.substr(0, 1024);
  std::string low = AsciiLowercase(s);
  std::size_t i = 0;
  while ((i = low.find('<', i)) != std::string::npos) {
    if (low.compare(i, 4, "<!--") == 0) {
      auto end = low.find("-->", i + 4);
      if (end == std::string::npos) return {};
      i = end + 3;
      continue;
    }
    if (low.compare(i, 5, "<meta") != 0 || i + 5 >= low.size() ||
        !(std::isspace(static_cast<unsigned char>(low[i + 5])) || low[i + 5] == '/')) {
      ++i;
      continue;
    }
    // Attributes of this meta element.
    std::size_t j = i + 5;
    std::string charset, content;
    bool httpEquivContentType = false;
    while (j < low.size() && low[j] != '>') {
      while (j < low.size() && (std::isspace(static_cast<unsigned char>(low[j])) || low[j] == '/'))
        ++j;
      std::size_t ns = j;
      while (j < low.size() && low[j] != '=' && low[j] != '>' &&
             !std::isspace(static_cast<unsigned char>(low[j])))
        ++j;
      std::string name = low.substr(ns, j - ns);
      std::string value;
      while (j < low.size() && std::isspace(static_cast<unsigned char>(low[j]))) ++j;
      if (j < low.size() && low[j] == '=') {
        ++j;
        while (j < low.size() && std::isspace(static_cast<unsigned char>(low[j]))) ++j;
        if (j < low.size() && (low[j] == '"' || low[j] == '\'')) {
          char q = low[j++];
          std::size_t vs = j;
          while (j < low.size() && low[j] != q) ++j;
          value = std::string(s.substr(vs, j - vs));
          if (j < low.size()) ++j;
        } else {
          std::size_t vs = j;
          while (j < low.size() && low[j] != '>' &&
                 !std::isspace(static_cast<unsigned char>(low[j])))
            ++j;
          value = std::string(s.substr(vs, j - vs));
        }
      }
      if (name.empty()) {
        if (j < low.size() && low[j] != '>') ++j;
        continue;
      }
      if (name == "charset") charset = value;
      if (name == "content") content = value;
      if (name == "http-equiv" && AsciiLowercase(TrimAsciiSpace(value)) == "content-type")
        httpEquivContentType = true;
    }
    if (!charset.empty()) return std::string(TrimAsciiSpace(charset));
    if (httpEquivContentType && !content.empty()) {
      std::string c = CharsetParameter(content);
      if (!c.empty()) return c;
    }
    i = j;
  }
  return {};
}

std::string AnsiCodePageName() {
  const char* acp = std::getenv("NUBRA_ACP");
  std::string v = acp && *acp ? acp : "932";
  if (v == "65001") return "UTF-8";
  if (std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) return "CP" + v;
  return v;
}

namespace {

// Where the run of ASCII bytes (NUL too) from i ends; eight at a time, as most of a page is.
std::size_t AsciiRunEnd(std::string_view s, std::size_t i) {
  while (i + 8 <= s.size()) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = AsciiRunEnd(bytes, 0); i < bytes.size(); i = AsciiRunEnd(bytes, i)) {
    std::size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    // A run of ASCII goes across whole, up to a NUL, which is replaced like a bad byte.
    std::size_t end = AsciiRunEnd(bytes, i);
    std::size_t nul = bytes.substr(i, end - i).find('\0');
    if (nul != std::string_view::npos) end = i + nul;
    if (end > i) {
      out.append(bytes.substr(i, end - i));
      i = end;
      continue;
    }
    std::size_t n = Utf8SequenceLength(bytes, i);
    if (n == 0 || bytes[i] == '\0') {
      out.append(kReplacement);
      i += n == 0 ? 1 : n;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
  return out;
}

bool ConvertToUtf8(std::string_view bytes, const std::string& from, std::string& out) {
  out.clear();
  if (from == "UTF-8") {
    out = SanitizeUtf8(bytes);
    return true;
  }
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.reserve(bytes.size() * 3 / 2 + 16);
  char buffer[16384];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or truncated sequence: one replacement character per bad byte.
      out.append(kReplacement);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* o = buffer;
  std::size_t oLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &o, &oLeft);
  out.append(buffer, static_cast<std::size_t>(o - buffer));
  iconv_close(cd);
  // Decoders may pass NUL through; the tree never sees one.
  if (out.find('\0') != std::string::npos) out = SanitizeUtf8(out);
  return true;
}

std::string DecodePage(std::string_view bytes, std::string_view transportCharset) {
  std::string out;
  if (!DecodePage(bytes, transportCharset, out)) out.assign(bytes);
  return out;
}

std::string SniffUtf16(std::string_view bytes) {
  // Markup is mostly ASCII, so UTF-16 without a byte order mark shows as a zero byte beside
  // nearly every other byte, on one side only; no 8-bit encoding of a page looks like that.
  std::string_view head = bytes.substr(0, 4096);
  if (head.size() < 8) return {};
  std::size_t pairs = head.size() / 2, zeroEven = 0, zeroOdd = 0;
  for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
    zeroEven += head[i] == '\0';
    zeroOdd += head[i + 1] == '\0';
  }
  if (zeroOdd * 10 >= pairs * 3 && zeroEven * 20 <= pairs) return "UTF-16LE";
  if (zeroEven * 10 >= pairs * 3 && zeroOdd * 20 <= pairs) return "UTF-16BE";
  return {};
}

bool DecodePage(std::string_view bytes, std::string_view transportCharset, std::string& out) {
  auto asIs = [&]() {
    if (bytes.find('\0') == std::string_view::npos) return false;
    out = SanitizeUtf8(bytes);
    return true;
  };
  // 1. Byte order mark.
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    out = SanitizeUtf8(bytes.substr(3));
    return true;
  }
  if (bytes.substr(0, 2) == "\xFF\xFE" && ConvertToUtf8(bytes.substr(2), "UTF-16LE", out))
    return true;
  if (bytes.substr(0, 2) == "\xFE\xFF" && ConvertToUtf8(bytes.substr(2), "UTF-16BE", out))
    return true;
  // UTF-16 without a byte order mark, by its bytes (it read as text with a replacement
  // character after every letter).
  if (std::string utf16 = SniffUtf16(bytes); !utf16.empty() && ConvertToUtf8(bytes, utf16, out))
    return true;
  // 2. The transport's charset.
  std::string name = IconvNameForLabel(transportCharset);
  // 3. The meta prescan; a page cannot declare itself UTF-16 from inside an ASCII prescan.
  if (name.empty()) {
    name = IconvNameForLabel(PrescanMetaCharset(bytes));
    if (name == "UTF-16LE" || name == "UTF-16BE") name = "UTF-8";
  }
  if (name == "UTF-8" && IsValidUtf8(bytes)) return asIs();
  if (!name.empty() && ConvertToUtf8(bytes, name, out)) return true;
  // 4. UTF-8 when the bytes are valid UTF-8, else the ANSI code page.
  if (IsValidUtf8(bytes)) return asIs();
  if (ConvertToUtf8(bytes, AnsiCodePageName(), out)) return true;
  out = SanitizeUtf8(bytes);
  return true;
}

std::string DecodeStyleSheet(std::string_view bytes, std::string_view fallbackIconvName) {
  std::string out;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return SanitizeUtf8(bytes.substr(3));
  if (bytes.substr(0, 2) == "\xFF\xFE" && ConvertToUtf8(bytes.substr(2), "UTF-16LE", out))
    return out;
  if (bytes.substr(0, 2) == "\xFE\xFF" && ConvertToUtf8(bytes.substr(2), "UTF-16BE", out))
    return out;
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string name(fallbackIconvName);
  if (name.empty()) name = AnsiCodePageName();
  if (ConvertToUtf8(bytes, name, out)) return out;
  return SanitizeUtf8(bytes);
}

}  // namespace platform::mshtml
