// UTF-16 formatting with the Windows conversions, and the class library's string.
#include "platform/win32/format.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/com/com.h"
#include "platform/win32/mfc/cstring.h"

namespace {

using platform::win32::Format;

TEST(FormatTest, ConversionsTheSystemUses) {
  struct Case {
    std::u16string got, expected;
  };
  const Case cases[] = {
      {Format(u"%016d.tmp", 140736512), u"0000000140736512.tmp"},
      {Format(u"[%d]index%05d.tmp", 0, -1), u"[0]index-0001.tmp"},
      {Format(u"FBJPNP%02d%02d%02d%02d%02d", 3, 5, 9, 7, 4), u"FBJPNP0305090704"},
      {Format(u"CLSID\\%s\\InprocServer32", u"{00021492-0000-0000-C000-000000000046}"),
       u"CLSID\\{00021492-0000-0000-C000-000000000046}\\InprocServer32"},
      {Format(u"書籍『%s』が、まだ作成されていません。", u"マイブック"),
       u"書籍『マイブック』が、まだ作成されていません。"},
      {Format(u"%S|%hs", "ansi", "\x83\x7d"), u"ansi|マ"},
      {Format(u"[%-5s][%5.2s][%c]", u"ab", u"xyz", u'本'), u"[ab   ][   xy][本]"},
      {Format(u"%x %X %08lX %u", 255u, 255u, static_cast<DWORD>(0xBEEF), 4000000000u),
       u"ff FF 0000BEEF 4000000000"},
      {Format(u"%I64d %lld %ld", 1LL << 40, -(1LL << 40), static_cast<LONG>(-5)),
       u"1099511627776 -1099511627776 -5"},
      {Format(u"%.1f%% %*d", 12.25, 4, 7), u"12.2%    7"},
      {Format(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST(FormatTest, BufferLimits) {
  WCHAR buf[1100];
  std::u16string big(2000, u'x');
  EXPECT_EQ(wsprintfW(buf, u"%s", big.c_str()), 1023)
      << "wsprintfW stops at 1024 with the terminator";
  EXPECT_EQ(buf[1023], 0);
  WCHAR small[4];
  EXPECT_EQ(_snwprintf(small, 4, u"%d", 12345), -1);
  EXPECT_EQ(_snwprintf(small, 4, u"%d", 123), 3);
  EXPECT_EQ(std::u16string(small), u"123");
}

size_t TakesPointer(LPCWSTR s) {
  return std::char_traits<char16_t>::length(s);
}

TEST(CStringTest, MembersClampAndReportMisses) {
  CString s(u"file:///home/u/My%20Page.html");
  EXPECT_EQ(s.GetLength(), 29);
  EXPECT_EQ(s.Replace(u"%20", u" "), 1);
  EXPECT_EQ(s, u"file:///home/u/My Page.html");
  EXPECT_EQ(s.Left(5), u"file:");
  EXPECT_EQ(s.Left(100), s) << "counts past the end are clamped";
  EXPECT_EQ(s.Mid(s.ReverseFind(u'/') + 1), u"My Page.html");
  EXPECT_EQ(s.Mid(-3, 4), u"file");
  EXPECT_EQ(s.Right(4), u"html");
  EXPECT_EQ(s.Find(u"Page"), 18);
  EXPECT_EQ(s.Find(u"page"), -1);
  EXPECT_EQ(s.Find(u'/', 100), -1);
  EXPECT_EQ(s.ReverseFind(u'#'), -1);
  EXPECT_EQ(TakesPointer(s), 27u) << "converts to LPCWSTR where one is expected";
  EXPECT_EQ(s[0], u'f');

  CString t(u"  12pt \r\n");
  EXPECT_EQ(t.Trim(), u"12pt");
  EXPECT_EQ(CString(u"BOLD").CompareNoCase(u"bold"), 0);
  EXPECT_EQ(CString(u"a").Compare(u"b"), -1);
  EXPECT_EQ(CString(u"Bold").MakeLower(), u"bold");
  EXPECT_EQ(CString("\x83\x7d\x83\x43"), u"マイ") << "ANSI text is converted";

  CString f;
  f.Format(u"%s%05d", u"n", 42);
  EXPECT_EQ(f, u"n00042");
  char16_t* buf = f.GetBuffer(16);
  buf[0] = u'X';
  buf[1] = 0;
  f.ReleaseBuffer();
  EXPECT_EQ(f, u"X");
}

}  // namespace
