#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "parser/loading/Loading.h"
#include "platform/com/com.h"
#include "platform/inet/internet.h"
#include "tests/parser_loading/iconv_text.h"
#include "tests/support/http_server.h"

namespace {

using platform::com::Utf8ToUtf16;

std::string Euc(const std::string& in) {
  std::vector<char> out(in.size() * 2 + 1, '\x55');
  size_t n = EucToShiftJis(out.data(), in.c_str());
  EXPECT_EQ(out[n], 0) << "not terminated";
  EXPECT_EQ(std::strlen(out.data()), n);
  return std::string(out.data(), n);
}

std::string Jis(const std::string& in) {
  std::vector<char> out(in.size() * 2 + 1, '\x55');
  size_t n = JisToShiftJis(out.data(), in.c_str());
  EXPECT_EQ(out[n], 0) << "not terminated";
  return std::string(out.data(), n);
}

TEST(CharsetCodeFromName, WordsInTheirOrder) {
  struct Case {
    const char16_t* name;
    CharsetCode code;
  } cases[] = {
      {u"Shift_JIS", 1},   {u"shift_jis", 1},    {u"x-sjis", 1},    {u"EUC-JP", 2},
      {u"euc-jp", 2},      {u"x-euc-jis", 2},    {u"UTF-8", 17},    {u"utf-8", 17},
      {u"unicode", 16},    {u"JIS", 3},          {u"x-jis7", 3},    {u"ISO-2022-JP", 3},
      {u"iso-2022-jp", 3}, {u"UTF-16", 16},      {u"utf-16le", 16}, {u"UTF-16LE", 16},
      {u"ISO-8859-1", 0},  {u"windows-1252", 0}, {u"utf8", 0},      {u"", 0},
      {u"\"utf-8\"", 17},  {u"EUC-JP; x", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(c.name));
    EXPECT_EQ(CharsetCodeFromName(std::u16string_view(c.name)), c.code);
    std::u16string copy = c.name;
    std::vector<unsigned short> wide(copy.begin(), copy.end());
    wide.push_back(0);
    EXPECT_EQ(CharsetCodeFromName(wide.data()), c.code);
  }
  EXPECT_EQ(CharsetCodeFromName(static_cast<const unsigned short*>(nullptr)), 0);
}

TEST(CharsetNameInChunk, DeclarationForms) {
  struct Case {
    const char* chunk;
    const char* name;  // nullptr: no name found
  } cases[] = {
      {R"(<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">)", "Shift_JIS"},
      {R"(<META CONTENT="text/html; CHARSET=EUC-JP" HTTP-EQUIV="Content-Type">)", "EUC-JP"},
      {R"(<meta charset="utf-8">)", "utf-8"},
      {R"(<meta charset=utf-8>)", "utf-8"},
      {R"(<meta charset = "euc-jp" >)", "euc-jp"},
      {R"(<meta charset='iso-2022-jp'>)", "iso-2022-jp"},
      {R"(<meta content="text/html;charset=x-sjis;q=1">)", "x-sjis"},
      {"<meta charset=utf-8\n>", "utf-8"},
      // The first occurrence decides, even when a later one would be readable.
      {R"(<p>charset</p> <meta charset="utf-8">)", "/p> <meta charset="},
      {R"(charset="utf-8")", nullptr},         // at position 0
      {R"(<meta Charset="utf-8">)", nullptr},  // neither spelling
      {R"(<meta charset="utf-8)", nullptr},    // closing quote in the next chunk
      {R"(<meta charset=utf-)", nullptr},      // the name runs on into the next chunk
      {"<p>no declaration</p>", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chunk);
    std::optional<std::u16string> name = CharsetNameInChunk(Utf8ToUtf16(c.chunk));
    if (c.name == nullptr) {
      EXPECT_FALSE(name.has_value()) << platform::com::Utf16ToUtf8(name.value_or(u""));
    } else {
      ASSERT_TRUE(name.has_value());
      EXPECT_EQ(*name, Utf8ToUtf16(c.name));
    }
  }
}

TEST(CharsetCodeFromHttpHeader, ContentTypeRules) {
  nbtest::HttpServer server;
  struct Case {
    const char* contentType;  // nullptr: no header
    CharsetCode code;
  } cases[] = {
      {"text/html; charset=Shift_JIS", 1},
      {"text/html; charset=EUC-JP", 2},
      {"text/html;CHARSET=utf-8", 17},
      {"text/html; charset=\"utf-8\"", 17},
      {"text/html; charset=ISO-2022-JP", 3},
      {"text/html; Charset=Shift_JIS", 0},  // neither spelling
      {"charset=Shift_JIS", 0},             // at position 0
      {"text/html; charset=ISO-8859-1", 0},
      {"text/html", 0},
      {nullptr, 0},
  };
  CInternetSession session(u"DOCUMENT GETTER");
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contentType ? c.contentType : "(none)");
    std::string path = "/" + std::to_string(i++);
    nbtest::HttpResponse r;
    if (c.contentType) r.headers = {{"Content-Type", c.contentType}};
    r.body = "x";
    server.Serve(path, r);
    std::u16string url = Utf8ToUtf16(server.Url(path));
    std::unique_ptr<CHttpFile> file(session.OpenURL(url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY));
    EXPECT_EQ(CharsetCodeFromHttpHeader(file.get()), c.code);
    file->Close();
  }
  EXPECT_EQ(CharsetCodeFromHttpHeader(nullptr), -1);
}

// Japanese text with kanji, both kana, punctuation, full-width letters and ASCII (a tilde and
// a backslash-free address among it), as UTF-8.
const char* const kJapanese[] = {
    "日本語のページです。",
    "<a href=\"/~user/index.html\">ホームページ</a> 東京・大阪",
    "カタカナ、ひらがな、漢字「電子書籍」ＡＢＣ１２３ abc ~ 0x7E",
    "改行を含む\n二行目のテキスト\r\n三行目",
    "",
};

TEST(EucToShiftJis, RoundTripsRealText) {
  for (const char* text : kJapanese) {
    SCOPED_TRACE(text);
    std::string euc = nbtest::Iconv(text, "UTF-8", "EUC-JP");
    std::string sjis = Euc(euc);
    EXPECT_EQ(nbtest::Iconv(sjis, "CP932", "UTF-8"), text);
  }
}

TEST(EucToShiftJis, SpecialBytes) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"/~user/\x7F!", "/~user/\x7F!"},  // below 0x80: copied, never a lead byte
      {"\x8E\xB1\x8E\xDF", "\xB1\xDF"},  // half-width katakana
      {"a\x8F\xB0\xA1z", "a\x81\xACz"},  // JIS X 0212: the geta mark
      {"ab\xB0", "ab"},                  // pair cut off at the end
      {"ab\x8F\xB0", "ab"},              // three-byte character cut off
      {"\x8E", ""},
      {"\xB0"
       "A",
       "\x81\xAC"
       "A"},                     // a lead before plain text keeps the text
      {"\xA4\xA2", "\x82\xA0"},  // HIRAGANA A
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Euc(c.in), c.out);
  }
}

TEST(JisToShiftJis, RoundTripsRealText) {
  for (const char* text : kJapanese) {
    SCOPED_TRACE(text);
    std::string jis = nbtest::Iconv(text, "UTF-8", "ISO-2022-JP");
    std::string sjis = Jis(jis);
    EXPECT_EQ(nbtest::Iconv(sjis, "CP932", "UTF-8"), text);
  }
}

TEST(JisToShiftJis, EscapesAndModes) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"\x1B$B$\"\x1B(B", "\x82\xA0"},         // ESC $ B: HIRAGANA A, then back to ASCII
      {"\x1B$@$\"\x1B(Jx", "\x82\xA0x"},       // the older two-byte escape and JIS-Roman
      {"\x1B(I\x31\x5F\x1B(Bz", "\xB1\xDFz"},  // half-width katakana
      {"a\x0E\x31\x0F"
       "b",
       "a\xB1"
       "b"},                                     // SO/SI katakana
      {"\x1B$B$", ""},                           // pair cut off at the end
      {"\x1B$B$\"\n$\"", "\x82\xA0\n\x82\xA0"},  // a line end inside two-byte text
      {"plain ~ text", "plain ~ text"},
      {"\x1B$(D\x30\x21\x1B(Bz", "\x81\xACz"},  // JIS X 0212: the geta mark
      {"\x1B"
       "Zx",
       "Zx"},  // unknown escape: only the ESC goes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Jis(c.in), c.out);
  }
}

}  // namespace
