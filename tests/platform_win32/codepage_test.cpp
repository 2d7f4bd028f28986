// Code pages: CP932 and UTF-8 tables with Japanese text, invalid input, and the Windows
// length conventions the system's buffers rely on.
#include "platform/win32/codepage.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/com/com.h"
#include "platform/win32/kernel.h"

namespace {

std::u16string ToWide(UINT cp, const std::string& bytes, DWORD flags = 0) {
  int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(n), u'#');
  if (n) {
    EXPECT_EQ(
        MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
        n);
  }
  return out;
}

std::string ToBytes(UINT cp, const std::u16string& text) {
  int n = WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '#');
  if (n) {
    EXPECT_EQ(WideCharToMultiByte(cp, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                                  nullptr, nullptr),
              n);
  }
  return out;
}

struct RoundTrip {
  const char* what;
  UINT cp;
  std::string bytes;
  std::u16string text;
};

TEST(CodePage, RoundTripsBothWays) {
  const RoundTrip cases[] = {
      {"kanji and kana", 932, "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67",
       u"日本語のテキスト"},
      {"half-width katakana", 932, "\xb6\xc0\xb6\xc5", u"ｶﾀｶﾅ"},
      // 0x5C and 0x7E stay backslash and tilde (not yen and overline), also as trail bytes.
      {"backslash, tilde and 0x5C trail bytes", 932, "\x83\x5c\x95\x5c\x5c\x7e", u"ソ表\\~"},
      {"vendor extensions and the full-width tilde", 932, "\x87\x40\x81\x60", u"①～"},
      {"markup", 932, "<a href=\"c:\\x~y\">", u"<a href=\"c:\\x~y\">"},
      {"UTF-8 Japanese", CP_UTF8, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", u"日本語"},
      {"UTF-8 outside the BMP", CP_UTF8, "\xf0\x9f\x98\x80", u"\U0001F600"},
      {"embedded zero", CP_UTF8, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ToWide(c.cp, c.bytes), c.text);
    EXPECT_EQ(ToBytes(c.cp, c.text), c.bytes);
  }
}

TEST(CodePage, InvalidInputIsReplacedOneByteAtATime) {
  const RoundTrip cases[] = {
      {"UTF-8 stray byte", CP_UTF8,
       "a\xff"
       "b",
       u"a\uFFFDb"},
      {"UTF-8 cut short", CP_UTF8, "a\xe6\x97", u"a\uFFFD\uFFFD"},
      {"UTF-8 overlong slash", CP_UTF8, "\xc0\xaf", u"\uFFFD\uFFFD"},
      {"UTF-8 encoded surrogate", CP_UTF8, "\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"932 lead byte at the end", 932, "x\x93", u"x\u30FB"},
      // The broken pair does not swallow the quote that follows it.
      {"932 lead byte before ASCII", 932, "\x81\"", u"\u30FB\""},
      {"932 unassigned single byte", 932,
       "\xff"
       "a",
       u"\u30FBa"},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ToWide(c.cp, c.bytes), c.text);
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                  static_cast<int>(c.bytes.size()), nullptr, 0),
              0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
  }
}

TEST(CodePage, LargeBrokenInputEndsWithOneCharacterPerBadByte) {
  std::string bytes;
  // A pair, then a lead byte whose would-be trail byte is not one.
  for (int i = 0; i < 100000; ++i) bytes += "\x93\xfa\x81<";
  std::u16string text = ToWide(932, bytes);
  ASSERT_EQ(text.size(), 300000u);
  EXPECT_EQ(text.substr(0, 3), u"日\u30FB<");
  EXPECT_EQ(text.substr(text.size() - 3), u"日\u30FB<");
}

TEST(CodePage, WindowsLengthConventions) {
  const char* sjis = "\x83\x7d\x83\x43\x83\x75\x83\x62\x83\x4e";  // マイブック
  // -1: zero-terminated; the terminator is converted and counted.
  EXPECT_EQ(MultiByteToWideChar(932, 0, sjis, -1, nullptr, 0), 6);
  WCHAR buf[8];
  std::fill(std::begin(buf), std::end(buf), u'#');
  ASSERT_EQ(MultiByteToWideChar(932, 0, sjis, -1, buf, 8), 6);
  EXPECT_EQ(std::u16string(buf), u"マイブック");
  // An explicit length converts exactly that much, without a terminator.
  std::fill(std::begin(buf), std::end(buf), u'#');
  ASSERT_EQ(MultiByteToWideChar(932, 0, sjis, 4, buf, 8), 2);
  EXPECT_EQ(buf[2], u'#');
  // Too small a buffer fails and says so.
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(932, 0, sjis, -1, buf, 5), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  // Zero-length input is a parameter error on Windows.
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(932, 0, sjis, 0, buf, 8), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MultiByteToWideChar(932, 0, nullptr, -1, buf, 8), 0);

  const char16_t* wide = u"マイブック";
  EXPECT_EQ(WideCharToMultiByte(932, 0, wide, -1, nullptr, 0, nullptr, nullptr), 11);
  char bytes[16];
  ASSERT_EQ(WideCharToMultiByte(932, 0, wide, -1, bytes, 16, nullptr, nullptr), 11);
  EXPECT_STREQ(bytes, sjis);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(932, 0, wide, -1, bytes, 10, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(CodePage, UnmappableCharactersUseTheDefaultCharacter) {
  const char16_t* text = u"caf\u00e9 \u4e00";  // é has no place in 932, 一 has
  BOOL used = FALSE;
  char out[16];
  int n = WideCharToMultiByte(932, 0, text, -1, out, 16, nullptr, &used);
  ASSERT_GT(n, 0);
  EXPECT_STREQ(out, "caf? \x88\xea");
  EXPECT_TRUE(used);
  n = WideCharToMultiByte(932, 0, text, -1, out, 16, "*", &used);
  EXPECT_STREQ(out, "caf* \x88\xea");

  // UTF-8 takes no default character; a lone surrogate becomes U+FFFD.
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, out, 16, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(ToBytes(CP_UTF8, lone),
            "a\xef\xbf\xbd"
            "b");
}

TEST(CodePage, AnsiCodePageFollowsTheEnvironment) {
  struct Case {
    const char* env;  // nullptr: unset
    UINT acp;
  };
  const Case cases[] = {{nullptr, 932}, {"65001", 65001}, {"1252", 1252}, {"junk", 932}, {"", 932}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env ? c.env : "(unset)");
    if (c.env)
      setenv("NUBRA_ACP", c.env, 1);
    else
      unsetenv("NUBRA_ACP");
    EXPECT_EQ(GetACP(), c.acp);
  }
  setenv("NUBRA_ACP", "65001", 1);
  EXPECT_EQ(ToWide(CP_ACP, "\xe6\x97\xa5"), u"日");
  unsetenv("NUBRA_ACP");
  EXPECT_EQ(ToWide(CP_ACP, "\x93\xfa"), u"日");
  EXPECT_TRUE(IsDBCSLeadByte(0x93));
  EXPECT_FALSE(IsDBCSLeadByte('a'));
}

TEST(CodePage, AddressBufferOfTwiceTheUnitsIsEnough) {
  // The toolbar converts the address into 2 x units + 2 bytes; every 932 character fits.
  std::u16string url = u"http://例え.jp/ﾃｽﾄ/日本語.html?q=～";
  std::string buf(url.size() * 2 + 2, '\0');
  int n = WideCharToMultiByte(CP_ACP, 0, url.c_str(), -1, buf.data(), static_cast<int>(buf.size()),
                              nullptr, nullptr);
  ASSERT_GT(n, 0);
  EXPECT_EQ(platform::win32::AnsiToWide(buf.c_str()), url);
}

}  // namespace
