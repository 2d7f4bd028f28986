#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "parser/loading/Loading.h"
#include "platform/com/com.h"
#include "platform/inet/internet.h"
#include "tests/parser_loading/iconv_text.h"
#include "tests/support/case_file.h"
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

std::vector<test_support::DataCase> Cases(const char* file) {
  return test_support::ReadCaseFile(std::string(NB_TEST_DATA_DIR "/charset/") + file);
}

std::string Where(const char* file, const test_support::DataCase& c) {
  return std::string(file) + ":" + std::to_string(c.line);
}

TEST(CharsetCodeFromName, WordsInTheirOrder) {
  for (const auto& c : Cases("names.txt")) {
    SCOPED_TRACE(Where("names.txt", c) + " " + c.Get("name"));
    CharsetCode code = std::stoi(c.Get("code"));
    std::u16string name = Utf8ToUtf16(c.Get("name"));
    EXPECT_EQ(CharsetCodeFromName(std::u16string_view(name)), code);
    std::vector<unsigned short> wide(name.begin(), name.end());
    wide.push_back(0);
    EXPECT_EQ(CharsetCodeFromName(wide.data()), code);
  }
  EXPECT_EQ(CharsetCodeFromName(static_cast<const unsigned short*>(nullptr)), 0);
}

TEST(CharsetNameInChunk, DeclarationForms) {
  for (const auto& c : Cases("chunks.txt")) {
    SCOPED_TRACE(Where("chunks.txt", c) + " " + c.Get("chunk"));
    std::optional<std::u16string> name = CharsetNameInChunk(Utf8ToUtf16(c.Get("chunk")));
    if (!c.fields.contains("name")) {
      EXPECT_FALSE(name.has_value()) << platform::com::Utf16ToUtf8(name.value_or(u""));
    } else {
      ASSERT_TRUE(name.has_value());
      EXPECT_EQ(*name, Utf8ToUtf16(c.Get("name")));
    }
  }
}

TEST(CharsetCodeFromHttpHeader, ContentTypeRules) {
  nbtest::HttpServer server;
  CInternetSession session(u"DOCUMENT GETTER");
  int i = 0;
  for (const auto& c : Cases("content_types.txt")) {
    auto type = c.fields.find("content-type");
    bool header = type != c.fields.end();
    SCOPED_TRACE(Where("content_types.txt", c) + " " + (header ? type->second : "(none)"));
    std::string path = "/" + std::to_string(i++);
    nbtest::HttpResponse r;
    if (header) r.headers = {{"Content-Type", type->second}};
    r.body = "x";
    server.Serve(path, r);
    std::u16string url = Utf8ToUtf16(server.Url(path));
    std::unique_ptr<CHttpFile> file(session.OpenURL(url.c_str(), 1, INTERNET_FLAG_TRANSFER_BINARY));
    EXPECT_EQ(CharsetCodeFromHttpHeader(file.get()), std::stoi(c.Get("code")));
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
