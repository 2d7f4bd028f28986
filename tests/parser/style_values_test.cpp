// CSS value parsing and colours: the texts the browser reports and the numbers they become.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "parser/style/Color.h"
#include "parser/style/CssValue.h"
#include "parser/style/WideText.h"
#include "platform/text/colors.h"
#include "platform/text/text.h"

namespace {

struct LengthCase {
  const char16_t* text;
  WORD base;
  WORD expected;
};

class ParseLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(ParseLengthTest, GivesSizeUnits) {
  const LengthCase& c = GetParam();
  EXPECT_EQ(ParseLength(c.text, c.base), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Units, ParseLengthTest,
    testing::Values(LengthCase{u"12px", 100, 72}, LengthCase{u"16px", 100, 96},
                    LengthCase{u"1px", 100, 6}, LengthCase{u"10pt", 100, 75},
                    LengthCase{u"12pt", 100, 90}, LengthCase{u"9pt", 100, 67},
                    LengthCase{u"1cm", 100, 283}, LengthCase{u"10mm", 100, 283},
                    LengthCase{u"1in", 100, 720}, LengthCase{u"1pc", 100, 120},
                    LengthCase{u"150%", 100, 150}, LengthCase{u"80%", 90, 72},
                    LengthCase{u"2ex", 100, 100}, LengthCase{u"1.5em", 100, 150},
                    LengthCase{u"0.8em", 100, 80}, LengthCase{u"2em", 90, 180}));

INSTANTIATE_TEST_SUITE_P(
    RelativeAndKeywords, ParseLengthTest,
    testing::Values(LengthCase{u"+1", 100, 110}, LengthCase{u"-1", 100, 90},
                    LengthCase{u"-2px", 100, 80}, LengthCase{u"+0", 100, 100},
                    LengthCase{u"+0", 0, 100}, LengthCase{u"3", 100, 90},
                    LengthCase{u"4", 100, 100}, LengthCase{u"0", 100, 100},
                    LengthCase{u"", 100, 100}, LengthCase{u"7", 100, 140},
                    LengthCase{u"1", 100, 60}, LengthCase{u"12", 100, 100},
                    LengthCase{u"0px", 100, 100}, LengthCase{u"larger", 100, 120},
                    LengthCase{u"smaller", 100, 83}, LengthCase{u"smaller", 90, 75},
                    LengthCase{u"-5", 40, 100}, LengthCase{u"inherit", 100, 100},
                    LengthCase{u"x-small", 100, 75}, LengthCase{u"X-Small", 100, 100},
                    LengthCase{u"xx-large", 100, 140}, LengthCase{nullptr, 100, 100}));

// Values that would overflow or are not numbers: cut to 16 bits, never undefined behaviour.
INSTANTIATE_TEST_SUITE_P(
    Hostile, ParseLengthTest,
    testing::Values(LengthCase{u"100000px", 100, static_cast<WORD>(600000 & 0xFFFF)},
                    LengthCase{u"1e308px", 100, 0}, LengthCase{u"infpx", 100, 0},
                    LengthCase{u"nanpx", 100, 0},
                    LengthCase{u"+99999999999", 100,
                               static_cast<WORD>((100 + 10LL * 2147483647) & 0xFFFF)}));

struct MarginCase {
  const char16_t* text;
  WORD expected;
};

class ParseMarginTest : public testing::TestWithParam<MarginCase> {};

TEST_P(ParseMarginTest, KeepsTheLeadingInteger) {
  EXPECT_EQ(ParseMargin(GetParam().text, 800), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ParseMarginTest,
                         testing::Values(MarginCase{u"10px", 10}, MarginCase{u"10pt", 10},
                                         MarginCase{u"10em", 10}, MarginCase{u"0px", 0},
                                         MarginCase{u"5", 0}, MarginCase{u"auto", 0},
                                         MarginCase{u"12.5pt", 12}, MarginCase{u"50%", 40000},
                                         MarginCase{u"100%", 14464}, MarginCase{u"-3px", 0},
                                         MarginCase{u"-1em", 0}, MarginCase{nullptr, 0}));

TEST(ParseFontWeightTest, OnlyExactWordsAndNumbers) {
  struct Case {
    const char16_t* text;
    WORD expected;
  };
  for (const Case& c : {Case{u"bold", 500}, Case{u"Bold", 0}, Case{u"400", 0}, Case{u"bolder", 800},
                        Case{u"lighter", 200}, Case{u"normal", 0}, Case{u"600", 600},
                        Case{u"900", 900}, Case{u"", 0}, Case{u"550", 0}}) {
    EXPECT_EQ(ParseFontWeight(c.text), c.expected) << std::u16string(c.text).size();
  }
}

struct ColorCase {
  const char16_t* text;
  DWORD expected;
};

class ParseColorTest : public testing::TestWithParam<ColorCase> {};

TEST_P(ParseColorTest, GivesRgb) {
  EXPECT_EQ(ParseColor(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseColorTest,
    testing::Values(ColorCase{u"#f00", 0xFF0000}, ColorCase{u"#ABC", 0xAABBCC},
                    ColorCase{u"#xyz", 0}, ColorCase{u"#ff0000", 0xFF0000}, ColorCase{u"#", 0},
                    ColorCase{u"#ff00", 0x00FF00}, ColorCase{u"#123456789", 0x7FFFFFFF},
                    ColorCase{u"red", 0xFF0000}, ColorCase{u"Red", 0xFF0000},
                    ColorCase{u"RED", 0xFF0000}, ColorCase{u"darkslategray", 0x2F4F4F},
                    ColorCase{u"lightgrey", 0xD3D3D3}, ColorCase{u"lightgray", 0xD3D3D3},
                    ColorCase{u"grey", 0x808080}, ColorCase{u"rebeccapurple", 0x663399},
                    ColorCase{u"DarkSlateGrey", 0x2F4F4F}, ColorCase{u"aquamarine", 0x7FFFD4},
                    ColorCase{u"wheat", 0xF5DEB3}, ColorCase{u"transparent", 0},
                    ColorCase{u"rgb(255,0,0)", 0}, ColorCase{u"", 0}, ColorCase{nullptr, 0}));

TEST(NamedColorTableTest, EveryNameOfThePlatformTableInAnyCase) {
  // The engine and the document model read the same table, so a colour the page's style gives
  // by name never comes out black.
  for (const auto& entry : platform::text::NamedColors()) {
    std::u16string name = platform::text::Utf8ToUtf16(entry.name);
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(LookupColorName(name.c_str()), entry.rgb);
    for (char16_t& c : name) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    EXPECT_EQ(LookupColorName(name.c_str()), entry.rgb);
  }
  // A letter beyond ASCII that folds to an ASCII one elsewhere (the Kelvin sign) names nothing.
  EXPECT_EQ(LookupColorName(u"\u212Ahaki"), 0u);
}

TEST(ColorToBytesTest, MostSignificantFirst) {
  BYTE bytes[4];
  ColorToBytes(0x00123456, bytes);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x12);
  EXPECT_EQ(bytes[2], 0x34);
  EXPECT_EQ(bytes[3], 0x56);
  ColorToBytes(kNoColor, bytes);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
}

TEST(WideNumberTest, ReadsLikeTheCLibrary) {
  EXPECT_EQ(nbparser::WideToInt(u"  -42abc"), -42);
  EXPECT_EQ(nbparser::WideToInt(u"99999999999"), 2147483647);
  EXPECT_EQ(nbparser::WideToInt(u"-99999999999"), -2147483647 - 1);
  EXPECT_EQ(nbparser::WideToInt(u"x1"), 0);
  EXPECT_EQ(nbparser::WideToLong(u"0x1F", 16), 0x1F);
  EXPECT_EQ(nbparser::WideToLong(u"ffg", 16), 0xFF);
  EXPECT_DOUBLE_EQ(nbparser::WideToDouble(u" 1.5em"), 1.5);
  EXPECT_DOUBLE_EQ(nbparser::WideToDouble(u"em"), 0.0);
}

// Short decimals are read without strtod; every form must give strtod's very bits.
TEST(WideNumberTest, DoublesMatchStrtodBitForBit) {
  std::vector<std::string> inputs = {"0",
                                     "-0",
                                     "+0.0",
                                     "5.",
                                     ".5",
                                     "-.25",
                                     "1.5em",
                                     "2e3",
                                     "2E-1px",
                                     "2e+",
                                     "2ex",
                                     "0x1A",
                                     "0xg",
                                     "inf",
                                     "nan",
                                     "1.2.3",
                                     "- 5",
                                     ".",
                                     "12pt",
                                     "0.1",
                                     "0.3",
                                     "1e400",
                                     "123456789012345",
                                     "1234567890123456",
                                     "0.000000000000001",
                                     "9007199254740993",
                                     "99.99999999999999",
                                     "  \t7.25px",
                                     "3.14159265358979"};
  std::mt19937 random(7);
  for (int n = 0; n < 2000; ++n) {
    std::string s = random() % 2 ? "-" : "";
    int digits = 1 + static_cast<int>(random() % 16);
    int point = static_cast<int>(random() % (digits + 1));
    for (int d = 0; d < digits; ++d) {
      if (d == point) s += '.';
      s += static_cast<char>('0' + random() % 10);
    }
    inputs.push_back(s + "px");
  }
  for (const std::string& in : inputs) {
    SCOPED_TRACE(in);
    std::u16string wide(in.begin(), in.end());
    double expected = std::strtod(in.c_str(), nullptr);
    double got = nbparser::WideToDouble(wide);
    EXPECT_EQ(0, std::memcmp(&expected, &got, sizeof got)) << expected << " vs " << got;
  }
}

}  // namespace
