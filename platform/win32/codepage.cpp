#include "platform/win32/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "platform/com/com.h"
#include "platform/text/text.h"
#include "platform/win32/kernel.h"

namespace {

constexpr UINT kDefaultAcp = 932;
constexpr UINT kUtf16Le = 1200;

UINT Resolve(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP) return GetACP();
  return codePage;
}

// iconv's name for a code page. 932 is "CP932", not "SHIFT_JIS": glibc's SHIFT_JIS turns 0x5C
// into the yen sign and 0x7E into an overline, which breaks backslashes and tildes.
std::string IconvName(UINT codePage) {
  switch (codePage) {
    case 932:
      return "CP932";
    case 20127:
      return "ASCII";
    case 20932:
    case 51932:
      return "EUC-JP";
    case 50220:
    case 50221:
    case 50222:
      return "ISO-2022-JP";
    case 28591:
      return "ISO-8859-1";
    case 1201:
      return "UTF-16BE";
    default:
      return "CP" + std::to_string(codePage);
  }
}

// What an undecodable byte becomes: the code page's default character, as Windows gives it.
char16_t Replacement(UINT codePage) {
  return codePage == 932 ? u'\u30FB' : u'\uFFFD';
}

// One converter per code page, direction and thread (iconv_t is not thread-safe).
class Converters {
 public:
  ~Converters() {
    for (auto& [key, cd] : map_) {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  }
  // nullopt when iconv does not know the code page.
  std::optional<iconv_t> Get(UINT codePage, bool toWide) {
    auto key = std::make_pair(codePage, toWide);
    auto it = map_.find(key);
    if (it == map_.end()) {
      std::string name = IconvName(codePage);
      iconv_t cd =
          toWide ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
      it = map_.emplace(key, cd).first;
    }
    if (it->second == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return it->second;
  }

 private:
  std::map<std::pair<UINT, bool>, iconv_t> map_;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

enum class Result { kOk, kInvalid, kUnsupported };

// UTF-8 is coded by the text helpers rather than by iconv, so that each bad byte gives exactly
// one U+FFFD.
platform::text::OnInvalid Mode(bool strict) {
  return strict ? platform::text::OnInvalid::kFail : platform::text::OnInvalid::kReplace;
}
Result DecodeUtf8(const char* s, size_t n, bool strict, std::u16string& out) {
  bool ok = platform::text::DecodeUtf8(std::string_view(s, n), out, Mode(strict));
  return ok ? Result::kOk : Result::kInvalid;
}
Result EncodeUtf8(const char16_t* s, size_t n, bool strict, std::string& out) {
  bool ok = platform::text::EncodeUtf8(std::u16string_view(s, n), out, Mode(strict));
  return ok ? Result::kOk : Result::kInvalid;
}

// Runs iconv over the whole input. On a byte (or unit) it cannot convert, onBad is called
// with the position; it appends a replacement and returns how many input bytes to skip
// (at least one, so the loop always advances), or 0 to fail.
template <typename OnBad>
bool RunIconv(iconv_t cd, const char* in, size_t n, std::string& out, OnBad onBad) {
  out.clear();
  size_t used = 0;
  out.resize(n * 2 + 16);
  char* inp = const_cast<char*>(in);
  size_t inleft = n;
  while (inleft > 0) {
    char* outp = out.data() + used;
    size_t outleft = out.size() - used;
    size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
    used = static_cast<size_t>(outp - out.data());
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ (invalid) or EINVAL (cut short at the end): replace and skip, writing in place
    // so that many bad bytes cost no more than many good ones.
    std::string replacement;
    size_t skip = onBad(inp, inleft, replacement);
    if (skip == 0) return false;
    skip = std::min(skip, inleft);
    inp += skip;
    inleft -= skip;
    if (out.size() - used < replacement.size() + 16)
      out.resize(out.size() * 2 + replacement.size() + 16);
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  // Flush a stateful encoding (ISO-2022-JP) back to its initial shift state.
  for (;;) {
    out.resize(used + 16);
    char* outp = out.data() + used;
    size_t outleft = out.size() - used;
    size_t r = iconv(cd, nullptr, nullptr, &outp, &outleft);
    used = static_cast<size_t>(outp - out.data());
    if (r != static_cast<size_t>(-1) || errno != E2BIG) break;
  }
  out.resize(used);
  return true;
}

Result Decode(UINT codePage, const char* src, size_t n, bool strict, std::u16string& out) {
  out.clear();
  if (codePage == CP_UTF8) {
    return DecodeUtf8(src, n, strict, out);
  }
  if (codePage == kUtf16Le) {
    out.resize(n / 2);
    std::memcpy(out.data(), src, out.size() * 2);
    if (n % 2) {
      if (strict) return Result::kInvalid;
      out.push_back(u'\uFFFD');
    }
    return Result::kOk;
  }
  auto cd = ThreadConverters().Get(codePage, true);
  if (!cd) return Result::kUnsupported;
  char16_t replacement = Replacement(codePage);
  std::string bytes;
  bool ok = RunIconv(*cd, src, n, bytes, [&](const char*, size_t, std::string& o) -> size_t {
    if (strict) return 0;
    o.append(reinterpret_cast<const char*>(&replacement), 2);
    return 1;
  });
  if (!ok) return Result::kInvalid;
  out.resize(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return Result::kOk;
}

Result Encode(UINT codePage, const char16_t* src, size_t n, bool strict,
              std::string_view defaultChar, bool* usedDefault, std::string& out) {
  out.clear();
  if (codePage == CP_UTF8) return EncodeUtf8(src, n, strict, out);
  if (codePage == kUtf16Le) {
    out.assign(reinterpret_cast<const char*>(src), n * 2);
    return Result::kOk;
  }
  auto cd = ThreadConverters().Get(codePage, false);
  if (!cd) return Result::kUnsupported;
  bool ok = RunIconv(*cd, reinterpret_cast<const char*>(src), n * 2, out,
                     [&](const char* at, size_t left, std::string& o) -> size_t {
                       if (strict) return 0;
                       o.append(defaultChar);
                       if (usedDefault) *usedDefault = true;
                       // A whole surrogate pair counts as one character.
                       if (left >= 4) {
                         char16_t hi, lo;
                         std::memcpy(&hi, at, 2);
                         std::memcpy(&lo, at + 2, 2);
                         if (hi >= 0xD800 && hi <= 0xDBFF && lo >= 0xDC00 && lo <= 0xDFFF) return 4;
                       }
                       return 2;
                     });
  return ok ? Result::kOk : Result::kInvalid;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

}  // namespace

UINT GetACP() {
  const char* env = std::getenv("NUBRA_ACP");
  if (env && *env) {
    char* end = nullptr;
    unsigned long v = std::strtoul(env, &end, 10);
    if (end && *end == 0 && v > CP_THREAD_ACP && v < 65536) return static_cast<UINT>(v);
  }
  return kDefaultAcp;
}

BOOL IsDBCSLeadByteEx(UINT codePage, BYTE byte) {
  switch (Resolve(codePage)) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return FALSE;
  }
}

BOOL IsDBCSLeadByte(BYTE byte) {
  return IsDBCSLeadByteEx(CP_ACP, byte);
}

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dest,
                        int destChars) {
  if (!src || srcBytes == 0 || srcBytes < -1 || destChars < 0 || (destChars > 0 && !dest)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  size_t n = srcBytes == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcBytes);
  std::u16string out;
  switch (Decode(Resolve(codePage), src, n, (flags & MB_ERR_INVALID_CHARS) != 0, out)) {
    case Result::kOk:
      break;
    case Result::kInvalid:
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    case Result::kUnsupported:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (out.size() > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  int needed = static_cast<int>(out.size());
  if (destChars == 0) return needed;
  if (needed > destChars) {
    std::copy_n(out.data(), destChars, dest);  // Windows fills what fits, then fails
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::copy(out.begin(), out.end(), dest);
  return needed;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dest,
                        int destBytes, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  UINT cp = Resolve(codePage);
  if (!src || srcChars == 0 || srcChars < -1 || destBytes < 0 || (destBytes > 0 && !dest)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (cp == CP_UTF8 && (defaultChar || usedDefaultChar)) return Fail(ERROR_INVALID_PARAMETER);
  size_t n = 0;
  if (srcChars == -1) {
    while (src[n]) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(srcChars);
  }
  std::string fallback = "?";
  if (defaultChar && *defaultChar) {
    // One character of the code page: two bytes when it begins with a lead byte.
    size_t len = IsDBCSLeadByteEx(cp, static_cast<BYTE>(defaultChar[0])) && defaultChar[1] ? 2 : 1;
    fallback.assign(defaultChar, len);
  }
  bool used = false;
  std::string out;
  bool strict = cp == CP_UTF8 && (flags & WC_ERR_INVALID_CHARS);
  switch (Encode(cp, src, n, strict, fallback, &used, out)) {
    case Result::kOk:
      break;
    case Result::kInvalid:
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    case Result::kUnsupported:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (usedDefaultChar) *usedDefaultChar = used ? TRUE : FALSE;
  if (out.size() > static_cast<size_t>(INT_MAX)) return Fail(ERROR_INSUFFICIENT_BUFFER);
  int needed = static_cast<int>(out.size());
  if (destBytes == 0) return needed;
  if (needed > destBytes) {
    std::memcpy(dest, out.data(), static_cast<size_t>(destBytes));
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(dest, out.data(), out.size());
  return needed;
}

namespace platform::win32 {

std::u16string AnsiToWide(std::string_view text, UINT codePage) {
  std::u16string out;
  if (Decode(Resolve(codePage), text.data(), text.size(), false, out) != Result::kOk) out.clear();
  return out;
}

std::string WideToAnsi(std::u16string_view text, UINT codePage) {
  std::string out;
  if (Encode(Resolve(codePage), text.data(), text.size(), false, "?", nullptr, out) !=
      Result::kOk) {
    out.clear();
  }
  return out;
}

}  // namespace platform::win32
