// Text helpers for the whole platform and the engine: ASCII case folding and white space (the
// rules of HTML and CSS, independent of the locale), space-separated token lists, and UTF-8 and
// UTF-16 coding. The lowest layer: it includes nothing of the platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::text {

// ASCII white space as HTML and CSS count it: space, tab, line feed, form feed, carriage return.
constexpr bool IsAsciiSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}
constexpr bool IsAsciiAlpha(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// Only A-Z change; every other byte or unit (UTF-8 sequences, non-ASCII letters) stays.
std::string AsciiLowercase(std::string_view s);
std::u16string AsciiLowercase(std::u16string_view s);
std::string AsciiUppercase(std::string_view s);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

std::string_view TrimAsciiSpace(std::string_view s);
// The tokens of a white-space separated list ("a  b\tc" gives a, b, c); views into s.
std::vector<std::string_view> SplitOnAsciiSpace(std::string_view s);
// Whether list holds token, ASCII case aside (rel="StyleSheet alternate" holds "stylesheet").
bool HasTokenIgnoringAsciiCase(std::string_view list, std::string_view token);

// What coding does with a byte sequence or unit that has no code point: a lone surrogate, an
// overlong form, a cut-short sequence, a value past U+10FFFF.
enum class OnInvalid {
  kReplace,  // each bad byte (or lone surrogate) becomes one U+FFFD
  kFail,     // the coding fails and out holds what came before it
};
// Appends the UTF-8 form of one code point; a surrogate or a value past U+10FFFF gives U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);
// Appends to out; false only with OnInvalid::kFail on invalid input.
bool DecodeUtf8(std::string_view in, std::u16string& out, OnInvalid onInvalid);
bool EncodeUtf8(std::u16string_view in, std::string& out, OnInvalid onInvalid);
// The replacing forms, used throughout.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace platform::text
