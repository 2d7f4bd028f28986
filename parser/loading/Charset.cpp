// Which character set a page's bytes are in, and the byte converters that bring the two other
// Japanese encodings to Shift_JIS.
#include <cstring>

#include "parser/loading/Loading.h"
#include "platform/inet/internet.h"

namespace {

std::u16string Upper(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  }
  return out;
}

bool Contains(const std::u16string& s, std::u16string_view word) {
  return s.find(word) != std::u16string::npos;
}

// The word "charset", else "CHARSET"; only a position above 0 counts (a text that starts with
// the word names nothing before it, as a header or tag always would).
std::size_t FindCharsetWord(std::u16string_view text) {
  std::size_t p = text.find(u"charset");
  if (p == std::u16string_view::npos) p = text.find(u"CHARSET");
  if (p == std::u16string_view::npos || p == 0) return std::u16string_view::npos;
  return p;
}

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Shift_JIS "〓", written for a character that Shift_JIS cannot hold.
constexpr unsigned char kGeta1 = 0x81;
constexpr unsigned char kGeta2 = 0xAC;

// A JIS X 0208 row/cell pair (each 0x21..0x7E) as its Shift_JIS pair.
void JisPairToShiftJis(unsigned c1, unsigned c2, unsigned char* out) {
  unsigned d2 = (c1 % 2 == 1) ? c2 + 31 : c2 + 125;
  if (d2 >= 127) d2 += 1;
  unsigned k = (c1 - 33) / 2;
  unsigned d1 = k < 31 ? k + 129 : k + 193;
  out[0] = static_cast<unsigned char>(d1);
  out[1] = static_cast<unsigned char>(d2);
}

}  // namespace

CharsetCode CharsetCodeFromName(std::u16string_view name) {
  std::u16string upper = Upper(name);
  if (Contains(upper, u"EUC")) return kCharsetEucJp;
  if (Contains(upper, u"SJIS") || Contains(upper, u"SHIFT_JIS")) return kCharsetShiftJis;
  if (Contains(upper, u"UNICODE")) return kCharsetUnicode;
  if (Contains(upper, u"UTF-8")) return kCharsetUtf8;
  if (Contains(upper, u"JIS")) return kCharsetJis;
  // The registered names of the same encodings, which the words above miss.
  if (Contains(upper, u"ISO-2022-JP")) return kCharsetJis;
  if (Contains(upper, u"UTF-16")) return kCharsetUnicode;
  return kCharsetUnknown;
}

CharsetCode CharsetCodeFromName(const unsigned short* name) {
  if (name == nullptr) return kCharsetUnknown;
  std::u16string text;
  for (const unsigned short* p = name; *p; ++p) text.push_back(static_cast<char16_t>(*p));
  return CharsetCodeFromName(text);
}

CharsetCode CharsetCodeFromHttpHeader(CHttpFile* file) {
  if (file == nullptr) return -1;
  std::u16string type;
  if (!file->QueryInfo(HTTP_QUERY_CONTENT_TYPE, type)) return kCharsetUnknown;
  std::size_t p = FindCharsetWord(type);
  if (p == std::u16string::npos) return kCharsetUnknown;
  // The word and the one character after it ("=") are skipped; the rest is the name.
  std::u16string_view rest = std::u16string_view(type).substr(std::min(p + 8, type.size()));
  return CharsetCodeFromName(rest);
}

std::optional<std::u16string> CharsetNameInChunk(std::u16string_view chunk) {
  std::size_t p = FindCharsetWord(chunk);
  if (p == std::u16string_view::npos) return std::nullopt;

  std::size_t e = p + 7;
  while (e < chunk.size() && IsBlank(chunk[e])) ++e;
  if (e < chunk.size() && chunk[e] == u'=') {
    std::size_t start = e + 1;
    while (start < chunk.size() && IsBlank(chunk[start])) ++start;
    // `charset="utf-8"`: the quote right after "=" opens the name, the next one closes it.
    if (start < chunk.size() && (chunk[start] == u'"' || chunk[start] == u'\'')) {
      std::size_t q = chunk.find(chunk[start], start + 1);
      if (q == std::u16string_view::npos) return std::nullopt;
      return std::u16string(chunk.substr(start + 1, q - start - 1));
    }
    // `charset=EUC-JP"` (the end of a content attribute) or `charset=utf-8>`: the name ends at
    // the next quote, blank, ">" or ";". One that runs to the end of the chunk is not taken.
    std::size_t q = start;
    while (q < chunk.size() && chunk[q] != u'"' && chunk[q] != u'\'' && chunk[q] != u'>' &&
           chunk[q] != u';' && !IsBlank(chunk[q]))
      ++q;
    if (q == chunk.size()) return std::nullopt;
    return std::u16string(chunk.substr(start, q - start));
  }
  // No "=" after the word: as ever, the name is what stands between the word and its one
  // following character and the next double quote.
  std::size_t q = chunk.find(u'"', p);
  if (q == std::u16string_view::npos) return std::nullopt;
  std::size_t start = p + 8;
  if (q <= start) return std::u16string();
  return std::u16string(chunk.substr(start, q - start));
}

std::size_t EucToShiftJis(char* out, const char* in) {
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  auto* d = reinterpret_cast<unsigned char*>(out);
  std::size_t o = 0;
  for (std::size_t i = 0; s[i] != 0;) {
    unsigned char c1 = s[i];
    if (c1 < 0x80) {
      d[o++] = c1;
      ++i;
      continue;
    }
    if (c1 == 0x8E) {
      // SS2: one half-width katakana, which Shift_JIS has as a single byte.
      unsigned char c2 = s[i + 1];
      if (c2 == 0) break;  // cut off at the end
      if (c2 >= 0xA1 && c2 <= 0xDF) {
        d[o++] = c2;
        i += 2;
      } else {
        d[o++] = kGeta1;
        d[o++] = kGeta2;
        i += 1;
      }
      continue;
    }
    if (c1 == 0x8F) {
      // SS3: a JIS X 0212 character in three bytes; Shift_JIS lacks it.
      if (s[i + 1] == 0 || s[i + 2] == 0) break;
      d[o++] = kGeta1;
      d[o++] = kGeta2;
      i += 3;
      continue;
    }
    unsigned char c2 = s[i + 1];
    if (c2 == 0) break;  // a pair cut off at the end is dropped
    if (c1 < 0xA1 || c1 == 0xFF || c2 < 0xA1 || c2 == 0xFF) {
      // Not a pair: mark the lead and read on from the next byte, which may be plain text.
      d[o++] = kGeta1;
      d[o++] = kGeta2;
      i += 1;
      continue;
    }
    JisPairToShiftJis(c1 % 128, c2 % 128, d + o);
    o += 2;
    i += 2;
  }
  d[o] = 0;
  return o;
}

std::size_t JisToShiftJis(char* out, const char* in) {
  const auto* s = reinterpret_cast<const unsigned char*>(in);
  auto* d = reinterpret_cast<unsigned char*>(out);
  // kSupplement: JIS X 0212 pairs (ESC $ ( D), which Shift_JIS cannot hold.
  enum class Mode { kOneByte, kTwoByte, kSupplement, kKatakana } mode = Mode::kOneByte;
  bool shiftedOut = false;  // SO ... SI: half-width katakana in 7-bit text
  std::size_t o = 0;
  for (std::size_t i = 0; s[i] != 0;) {
    unsigned char c = s[i];
    if (c == 0x1B) {
      unsigned char a = s[i + 1];
      unsigned char b = a ? s[i + 2] : 0;
      if (a == '$' && (b == '@' || b == 'B')) {
        mode = Mode::kTwoByte;
        i += 3;
      } else if (a == '$' && b == '(' && s[i + 3] == 'D') {
        mode = Mode::kSupplement;
        i += 4;
      } else if (a == '(' && (b == 'B' || b == 'J')) {
        mode = Mode::kOneByte;
        i += 3;
      } else if (a == '(' && b == 'I') {
        mode = Mode::kKatakana;
        i += 3;
      } else {
        ++i;  // an escape we do not know: drop the ESC, keep what follows
      }
      continue;
    }
    if (c == 0x0E || c == 0x0F) {
      shiftedOut = c == 0x0E;
      ++i;
      continue;
    }
    if (c >= 0x21 && c <= 0x7E && (mode == Mode::kKatakana || shiftedOut)) {
      if (c <= 0x5F) {
        d[o++] = static_cast<unsigned char>(c + 0x80);
      } else {
        d[o++] = kGeta1;
        d[o++] = kGeta2;
      }
      ++i;
      continue;
    }
    if ((mode == Mode::kTwoByte || mode == Mode::kSupplement) && c >= 0x21 && c <= 0x7E) {
      unsigned char c2 = s[i + 1];
      if (c2 == 0) break;  // a pair cut off at the end is dropped
      if (c2 < 0x21 || c2 > 0x7E || mode == Mode::kSupplement) {
        d[o++] = kGeta1;
        d[o++] = kGeta2;
        i += (c2 < 0x21 || c2 > 0x7E) ? 1 : 2;
        continue;
      }
      JisPairToShiftJis(c, c2, d + o);
      o += 2;
      i += 2;
      continue;
    }
    // Controls (line ends inside two-byte text included), plain one-byte text, and bytes
    // above 0x7F that a 7-bit encoding should not hold: copied as they are.
    d[o++] = c;
    ++i;
  }
  d[o] = 0;
  return o;
}
