// Colour texts and media lists, checked through the internal parsers.
#include "platform/mshtml/css/values.h"

#include <gtest/gtest.h>

#include "platform/mshtml/css/stylesheet.h"

namespace {

using platform::mshtml::css::MediaApplies;
using platform::mshtml::css::ParseColorText;
using platform::mshtml::css::ParseLegacyColor;

TEST(Values, ColorTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"#abc", "#aabbcc"},
      {"#ABCD", "#aabbcc"},
      {"#abc0", "transparent"},
      {"#12345", ""},
      {"#ggg", ""},
      {"grey", "grey"},
      {"Transparent", "transparent"},
      {"currentColor", "currentcolor"},
      {"rgb(300, -5, 12.6)", "#ff000d"},
      {"rgb(1,2)", ""},
      {"rgb(1,2,3,4,5)", ""},
      {"rgba(0,0,0,0%)", "transparent"},
      {"hsl(0, 100%, 50%)", "#ff0000"},
      {"hsl(-120, 100%, 50%)", "#0000ff"},
      {"hsl(0.5turn, 100%, 50%)", "#00ffff"},
      {"hsl(120, 0%, 50%)", "#808080"},
      {"rgb(1px,2,3)", ""},
      {"red blue", ""},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    auto v = ParseColorText(in);
    EXPECT_EQ(v.value_or(""), out);
  }
}

TEST(Values, LegacyAttributeColors) {
  const std::pair<const char*, const char*> cases[] = {
      {"red", "red"},
      {" #FFF ", "#ffffff"},
      {"#ff8000", "#ff8000"},
      {"ff8000", "#ff8000"},
      {"chucknorris", "#c00000"},
      {"#1234567890", "#125690"},
      {"transparent", ""},
      {"", ""},
      {"#a", "#0a0000"},
  };
  for (const auto& [in, out] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(ParseLegacyColor(in).value_or(""), out);
  }
}

TEST(Values, MediaLists) {
  const std::pair<const char*, bool> cases[] = {
      {"", true},
      {"all", true},
      {"screen", true},
      {"print", false},
      {"handheld", false},
      {"print, screen", true},
      {"not screen", false},
      {"screen and (color)", true},
      {"screen and (monochrome)", false},
      {"(orientation: landscape)", true},
      {"(orientation: portrait)", false},
      {"(max-width: 1024px)", true},
      {"(max-width: 1023px)", false},
      {"(min-width: 40em)", true},
      {"(min-width: 70em)", false},
      {"screen and (min-width: 100px) and (max-width: 2000px)", true},
      {"(width < 500px)", false},
      {"screen and", false},
      {"and screen", false},
      {"(prefers-color-scheme: dark)", false},
      {"(-webkit-min-device-pixel-ratio: 2)", false},
  };
  for (const auto& [in, applies] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(MediaApplies(in), applies);
  }
}

}  // namespace

namespace {

namespace css = platform::mshtml::css;

// Every longhand of the property table is found by its name, and its initial value is a value
// its own parser accepts and reports unchanged, so "initial" and an unset property read as a
// value the page could have written.
TEST(Values, PropertyTableRowsAgree) {
  struct Row {
    css::Property property;
    const char* name;
    const char* initial;
  };
  const Row rows[] = {
#define NB_CSS_ROW(name, text, inherited, initial, ...) {css::Property::name, text, initial},
      NB_CSS_LONGHANDS(NB_CSS_ROW)
#undef NB_CSS_ROW
  };
  ASSERT_EQ(std::size(rows), css::kLonghandCount);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(css::LookupProperty(row.name), css::ToPropId(row.property));
    EXPECT_EQ(css::InitialValue(row.property), row.initial);
    css::Tokenizer tokenizer;
    std::vector<css::Token> tokens = tokenizer.Tokenize(row.initial);
    std::vector<css::Declaration> out;
    css::AddDeclaration(css::ToPropId(row.property), row.name, tokens.data(),
                        tokens.data() + tokens.size(), false, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, css::ToPropId(row.property));
    EXPECT_EQ(out[0].value, row.initial);
  }
}

}  // namespace
