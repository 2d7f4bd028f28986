// The text helpers: ASCII case folding and white space, token lists, UTF-8 coding in both
// modes, and the named-colour table.
#include "platform/text/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/colors.h"

namespace {

using platform::text::OnInvalid;

TEST(AsciiCase, OnlyAToZFold) {
  // Bytes of UTF-8 sequences and non-ASCII letters stay as they are.
  EXPECT_EQ(platform::text::AsciiLowercase("Rel=StyleSheet \xC3\x89Z@[`{"),
            "rel=stylesheet \xC3\x89z@[`{");
  EXPECT_EQ(platform::text::AsciiLowercase(u"ABC\u00C9\u0130z"), u"abc\u00C9\u0130z");
  EXPECT_EQ(platform::text::AsciiUppercase("div\xC3\xA9"), "DIV\xC3\xA9");
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  };
  for (const Case& c : std::vector<Case>{{"Alternate", "aLTERNATE", true},
                                         {"", "", true},
                                         {"a", "", false},
                                         {"ab", "abc", false},
                                         {"@", "`", false},  // 0x40 and 0x60 differ by 32 too
                                         {"[", "{", false}}) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(platform::text::EqualsIgnoringAsciiCase(c.a, c.b), c.equal);
  }
}

TEST(AsciiSpace, TokensAndTrimming) {
  struct Case {
    std::string list;
    std::vector<std::string_view> tokens;
  };
  for (const Case& c :
       std::vector<Case>{{"", {}},
                         {" \t\n\f\r", {}},
                         {"stylesheet", {"stylesheet"}},
                         {"  alternate\fStyleSheet\r\n", {"alternate", "StyleSheet"}},
                         {"a\vb", {"a\vb"}}}) {  // \v is not HTML white space
    SCOPED_TRACE(c.list);
    EXPECT_EQ(platform::text::SplitOnAsciiSpace(c.list), c.tokens);
  }
  EXPECT_TRUE(platform::text::HasTokenIgnoringAsciiCase("alternate StyleSheet", "stylesheet"));
  EXPECT_FALSE(platform::text::HasTokenIgnoringAsciiCase("stylesheets", "stylesheet"));
  EXPECT_EQ(platform::text::TrimAsciiSpace("\f x y\r\n"), "x y");
  EXPECT_EQ(platform::text::TrimAsciiSpace(" \t"), "");
}

TEST(Utf8, DecodesEachBadByteToOneReplacementOrFails) {
  struct Case {
    std::string in;
    std::u16string replaced;  // what the replacing mode gives
    bool valid;               // whether the failing mode accepts it
  };
  for (const Case& c :
       std::vector<Case>{{"a\xC3\xA9z", u"a\u00E9z", true},
                         {"\xE6\x97\xA5", u"\u65E5", true},
                         {"\xF0\x9F\x98\x80", u"\U0001F600", true},
                         {"\xC0\xAF", u"\uFFFD\uFFFD", false},            // overlong
                         {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},  // overlong, three bytes
                         {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},  // a surrogate
                         {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // past U+10FFFF
                         {"\xE6\x97", u"\uFFFD\uFFFD", false},                      // cut short
                         {"\xE6"
                          "a",
                          u"\uFFFDa", false},  // the next byte starts anew
                         {"\xFF", u"\uFFFD", false}}) {
    SCOPED_TRACE(testing::PrintToString(c.in));
    EXPECT_EQ(platform::text::Utf8ToUtf16(c.in), c.replaced);
    std::u16string out = u"kept:";
    EXPECT_EQ(platform::text::DecodeUtf8(c.in, out, OnInvalid::kFail), c.valid);
    if (c.valid) {
      EXPECT_EQ(out, u"kept:" + c.replaced);
    }
  }
}

TEST(Utf8, EncodesPairsAndReplacesOrRejectsLoneSurrogates) {
  struct Case {
    std::u16string in;
    std::string replaced;
    bool valid;
  };
  for (const Case& c :
       std::vector<Case>{{u"a\u00E9\u65E5", "a\xC3\xA9\xE6\x97\xA5", true},
                         {u"\U0001F600", "\xF0\x9F\x98\x80", true},
                         {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD", false},
                         {std::u16string(1, u'\xDE00') + u"x", "\xEF\xBF\xBDx", false}}) {
    SCOPED_TRACE(testing::PrintToString(c.replaced));
    EXPECT_EQ(platform::text::Utf16ToUtf8(c.in), c.replaced);
    std::string out;
    EXPECT_EQ(platform::text::EncodeUtf8(c.in, out, OnInvalid::kFail), c.valid);
    // Round trip of what is valid.
    if (c.valid) {
      EXPECT_EQ(platform::text::Utf8ToUtf16(out), c.in);
    }
  }
}

TEST(NamedColors, SortedLowerCaseWithBothSpellings) {
  auto colors = platform::text::NamedColors();
  ASSERT_EQ(colors.size(), 148u);
  for (std::size_t i = 0; i < colors.size(); ++i) {
    SCOPED_TRACE(std::string(colors[i].name));
    for (char c : colors[i].name) EXPECT_TRUE(c >= 'a' && c <= 'z');
    if (i > 0) {
      EXPECT_LT(colors[i - 1].name, colors[i].name);
    }
    EXPECT_EQ(platform::text::LookupColorName(colors[i].name), colors[i].rgb);
    EXPECT_EQ(platform::text::LookupColorName(platform::text::AsciiUppercase(colors[i].name)),
              colors[i].rgb);
  }
  for (std::string grey : {"darkgrey", "darkslategrey", "dimgrey", "grey", "lightgrey",
                           "lightslategrey", "slategrey"}) {
    std::string gray = grey;
    gray.replace(gray.find("grey"), 4, "gray");
    ASSERT_TRUE(platform::text::LookupColorName(grey).has_value()) << grey;
    EXPECT_EQ(platform::text::LookupColorName(grey), platform::text::LookupColorName(gray));
  }
  EXPECT_EQ(platform::text::LookupColorName("RebeccaPurple"), 0x663399u);
  for (const char* absent : {"", "transparent", "currentcolor", "red ", "lightgoldenrodyellowx"})
    EXPECT_FALSE(platform::text::LookupColorName(absent).has_value()) << absent;
}

}  // namespace
