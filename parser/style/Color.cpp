#include "parser/style/Color.h"

#include <string>
#include <string_view>

#include "parser/style/WideText.h"
#include "platform/text/colors.h"

namespace {

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 0;
}

}  // namespace

DWORD ParseColor(const WCHAR* text_in) {
  std::u16string_view text = nbparser::View(text_in);
  if (text.empty() || text[0] != u'#') return LookupColorName(text_in);
  std::u16string_view rest = text.substr(1);
  if (rest.size() == 3) {
    DWORD r = HexDigit(rest[0]), g = HexDigit(rest[1]), b = HexDigit(rest[2]);
    return ((r * 256 + g) * 256 + b) * 17;
  }
  return static_cast<DWORD>(nbparser::WideToLong(rest, 16));
}

DWORD LookupColorName(const WCHAR* name_in) {
  std::u16string_view name = nbparser::View(name_in);
  std::string ascii;
  for (char16_t c : name) {
    if (c >= 0x80) return 0;  // no name has a letter beyond ASCII
    ascii.push_back(static_cast<char>(c));
  }
  return platform::text::LookupColorName(ascii).value_or(0);
}

void ColorToBytes(DWORD colour, BYTE bytes[4]) {
  bytes[0] = static_cast<BYTE>(colour >> 24);
  bytes[1] = static_cast<BYTE>((colour >> 16) & 0xFF);
  bytes[2] = static_cast<BYTE>((colour >> 8) & 0xFF);
  bytes[3] = static_cast<BYTE>(colour & 0xFF);
}
