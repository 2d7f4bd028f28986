#include <algorithm>

#include "platform/text/text.h"

namespace platform::text {

std::string AsciiLowercase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::u16string AsciiLowercase(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) c = AsciiLower(c);
  return out;
}

std::string AsciiUppercase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string_view TrimAsciiSpace(std::string_view s) {
  while (!s.empty() && IsAsciiSpace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsAsciiSpace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> SplitOnAsciiSpace(std::string_view s) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsAsciiSpace(static_cast<unsigned char>(s[i]))) ++i;
    std::size_t start = i;
    while (i < s.size() && !IsAsciiSpace(static_cast<unsigned char>(s[i]))) ++i;
    if (i > start) tokens.push_back(s.substr(start, i - start));
  }
  return tokens;
}

bool HasTokenIgnoringAsciiCase(std::string_view list, std::string_view token) {
  for (std::string_view t : SplitOnAsciiSpace(list)) {
    if (EqualsIgnoringAsciiCase(t, token)) return true;
  }
  return false;
}

}  // namespace platform::text
