#include "parser/style/WideText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/text/unicode_space.h"

namespace nbparser {

namespace {

bool IsCSpace(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r');
}

std::size_t SkipSpace(std::u16string_view text, std::size_t i = 0) {
  while (i < text.size() && IsCSpace(text[i])) ++i;
  return i;
}

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

}  // namespace

int WideToInt(std::u16string_view text) {
  std::int32_t v = WideToLong(text, 10);
  return static_cast<int>(v);
}

std::int32_t WideToLong(std::u16string_view text, int base) {
  std::size_t i = SkipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (base == 16 && i + 2 < text.size() && text[i] == u'0' &&
      (text[i + 1] == u'x' || text[i + 1] == u'X') && DigitValue(text[i + 2]) < 16) {
    i += 2;
  }
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t v = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    int d = DigitValue(text[i]);
    if (d >= base) break;
    if (!overflow) {
      v = v * base + d;
      if (v > kMax + 1) overflow = true;
    }
  }
  if (negative) {
    if (overflow || v > kMax + 1) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(-v);
  }
  if (overflow || v > kMax) return static_cast<std::int32_t>(kMax);
  return static_cast<std::int32_t>(v);
}

namespace {

// Plain decimals ("12", "-0.75") of at most 15 digits, which style values nearly always are:
// the digits as an integer and the power of ten are both exact doubles, so one division
// rounds as strtod does. Anything else (an exponent, hex, more digits) is left to strtod.
bool ShortDecimal(std::u16string_view text, std::size_t i, double& out) {
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::int64_t digits = 0;
  int count = 0, fraction = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      if (++count > 15) return false;
      digits = digits * 10 + (c - u'0');
      if (point) ++fraction;
    } else if (c == u'.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (count == 0) return false;
  // What strtod would read on: an exponent ("2e3", not the "em" of "2em"), or the x of a
  // hexadecimal number.
  if (i < text.size() && (text[i] == u'x' || text[i] == u'X')) return false;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) ++j;
    if (j < text.size() && text[j] >= u'0' && text[j] <= u'9') return false;
  }
  double v = static_cast<double>(digits) / kPow10[fraction];
  out = negative ? -v : v;
  return true;
}

}  // namespace

double WideToDouble(std::u16string_view text) {
  std::size_t i = SkipSpace(text);
  if (double v = 0; ShortDecimal(text, i, v)) return v;
  // strtod on the ASCII prefix: the number can only consist of ASCII characters.
  std::string narrow;
  for (; i < text.size() && text[i] < 0x80 && narrow.size() < 512; ++i) {
    narrow.push_back(static_cast<char>(text[i]));
  }
  if (narrow.empty()) return 0.0;
  return std::strtod(narrow.c_str(), nullptr);
}

bool IsWideSpace(char16_t c) {
  return platform::text::IsUnicodeSpace(c);
}

std::u16string_view TrimRight(std::u16string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsWideSpace(text[n - 1])) --n;
  return text.substr(0, n);
}

std::u16string_view Trim(std::u16string_view text) {
  text = TrimRight(text);
  std::size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;
  return text.substr(i);
}

WORD DoubleToWord(double value) {
  if (!std::isfinite(value)) return 0;
  double t = std::trunc(value);
  if (std::fabs(t) >= 9223372036854775808.0) return 0;
  return static_cast<WORD>(static_cast<std::uint64_t>(static_cast<std::int64_t>(t)) & 0xFFFF);
}

}  // namespace nbparser
