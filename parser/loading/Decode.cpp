// Turning a loaded page's bytes into text by its charset code.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "parser/loading/Loading.h"
#include "platform/win32/codepage.h"

namespace {

// Bytes up to the first zero byte, in a code page, as UTF-16.
std::u16string FromCodePage(const char* bytes, UINT codePage) {
  int n = static_cast<int>(std::strlen(bytes));
  if (n == 0) return {};
  int chars = MultiByteToWideChar(codePage, 0, bytes, n, nullptr, 0);
  if (chars <= 0) return {};
  std::u16string text(static_cast<std::size_t>(chars), u'\0');
  int written = MultiByteToWideChar(codePage, 0, bytes, n, text.data(), chars);
  text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return text;
}

// 1 for UTF-16LE, 2 for UTF-16BE when bytes without a byte order mark show the zero bytes of
// mostly-ASCII UTF-16 text on one side of every pair; 0 otherwise.
int SniffUtf16(std::string_view bytes) {
  std::string_view head = bytes.substr(0, 4096);
  if (head.size() < 8) return 0;
  std::size_t pairs = head.size() / 2, zeroEven = 0, zeroOdd = 0;
  for (std::size_t i = 0; i + 1 < head.size(); i += 2) {
    zeroEven += head[i] == '\0';
    zeroOdd += head[i + 1] == '\0';
  }
  if (zeroOdd * 10 >= pairs * 3 && zeroEven * 20 <= pairs) return 1;
  if (zeroEven * 10 >= pairs * 3 && zeroOdd * 20 <= pairs) return 2;
  return 0;
}

std::u16string FromUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    char16_t c = static_cast<char16_t>(lo | hi << 8);
    if (c == 0) break;
    if (c != 0xFEFF || !text.empty()) text.push_back(c);
  }
  return text;
}

}  // namespace

std::size_t MaxPageBytes() {
  constexpr std::size_t kDefault = std::size_t{32} << 20;
  const char* v = std::getenv("NUBRA_PAGE_MAX_BYTES");
  if (v == nullptr || *v == 0) return kDefault;
  char* end = nullptr;
  unsigned long long n = std::strtoull(v, &end, 10);
  if (end == v || *end != 0 || n == 0) return kDefault;
  return static_cast<std::size_t>(n);
}

std::u16string DecodePage(std::string_view bytes, CharsetCode code) {
  // A UTF-16 page that names no charset readable in its bytes (its "charset" has zero bytes
  // between the letters) stopped at the first zero byte and gave an empty book.
  if (code != kCharsetUnicode) {
    if (int utf16 = SniffUtf16(bytes)) return FromUtf16(bytes, utf16 == 2);
  }
  // Two zero bytes after the data end the text for every decoding below, UTF-16 included.
  std::vector<char> in(bytes.begin(), bytes.end());
  in.push_back('\0');
  in.push_back('\0');
  switch (code) {
    case kCharsetEucJp:
    case kCharsetJis: {
      std::vector<char> sjis(bytes.size() * 2 + 2, '\0');
      if (code == kCharsetEucJp) {
        EucToShiftJis(sjis.data(), in.data());
      } else {
        JisToShiftJis(sjis.data(), in.data());
      }
      return FromCodePage(sjis.data(), CP_ACP);
    }
    case kCharsetUnicode: {
      std::u16string text;
      text.reserve(bytes.size() / 2);
      for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        char16_t c = static_cast<char16_t>(static_cast<unsigned char>(in[i]) |
                                           static_cast<unsigned char>(in[i + 1]) << 8);
        if (c == 0) break;
        text.push_back(c);
      }
      return text;
    }
    case kCharsetUtf8: {
      std::u16string text = FromCodePage(in.data(), CP_UTF8);
      std::erase(text, u'\n');
      return text;
    }
    default:
      return FromCodePage(in.data(), CP_ACP);
  }
}
