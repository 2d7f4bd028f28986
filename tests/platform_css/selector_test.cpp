// Which selectors match the element with id "t".
#include "platform/mshtml/css/selector.h"

#include <gtest/gtest.h>

#include "platform/mshtml/css/cascade.h"
#include "platform/mshtml/css/tokenizer.h"
#include "tests/platform_css/fake_tree.h"

namespace {

using platform::mshtml::css::Cascade;
using platform::mshtml::css::Property;
using platform::mshtml::css::StyleSheet;

struct Case {
  const char* selector;
  const char* html;
  bool matches;
};

TEST(Selectors, MatchTheTarget) {
  const Case cases[] = {
      {"p", "<p id=t>", true},
      {"P", "<p id=t>", true},
      {"div", "<p id=t>", false},
      {"*", "<p id=t>", true},
      {"*|p", "<p id=t>", true},
      {"#t", "<p id=t>", true},
      {"#T", "<p id=t>", false},
      {".a", "<p class='x a' id=t>", true},
      {"p.a.b", "<p class='b a' id=t>", true},
      {"p.a.c", "<p class='b a' id=t>", false},
      {"[title]", "<p title id=t>", true},
      {"[title]", "<p id=t>", false},
      {"[lang=en]", "<p lang=en id=t>", true},
      {"[lang=\"en\"]", "<p lang=EN id=t>", true},  // lang compares without case
      {"[title=a]", "<p title=A id=t>", false},
      {"[title=a i]", "<p title=A id=t>", true},
      {"[class~=b]", "<p class='a b c' id=t>", true},
      {"[class~=\"a b\"]", "<p class='a b c' id=t>", false},
      {"[class~=\"\"]", "<p class='' id=t>", false},
      {"[lang|=en]", "<p lang=en-US id=t>", true},
      {"[lang|=en]", "<p lang=en id=t>", true},
      {"[lang|=en]", "<p lang=english id=t>", false},
      {"[href^=http]", "<a href=http://x id=t>", true},
      {"[href^=\"\"]", "<a href=http://x id=t>", false},
      {"[href$=\".pdf\"]", "<a href=a.pdf id=t>", true},
      {"[href$=\".pdf\"]", "<a href=a.pdf.html id=t>", false},
      {"[href*=amp]", "<a href=example id=t>", true},
      {"[href*=zzz]", "<a href=example id=t>", false},
      {"div p", "<div><span><p id=t>", true},
      {"div > p", "<div><span><p id=t>", false},
      {"div > span > p", "<div><span><p id=t>", true},
      {"div > section p", "<div><section><section><p id=t>", true},
      {"ul > li p", "<ul><li><div><ul><li><p id=t>", true},
      {"h1 + p", "<div><h1></h1><p id=t>", true},
      {"h1 + p", "<div><h1></h1><span></span><p id=t>", false},
      {"h1 ~ p", "<div><h1></h1><span></span><p id=t>", true},
      {"h1 + p ~ span", "<div><h1></h1><p></p><b></b><p></p><span id=t>", true},
      {"h2 + p ~ span", "<div><h1></h1><p></p><span id=t>", false},
      {"div > h1 + p", "<div><h1></h1><p id=t>", true},
      {"p:first-child", "<div><p id=t>", true},
      {"p:first-child", "<div><b></b><p id=t>", false},
      {"p:last-child", "<div><b></b><p id=t>", true},
      {"p:last-child", "<div><p id=t></p><b>", false},
      {"p:only-child", "<div><p id=t>", true},
      {"p:only-child", "<div><p id=t></p><b>", false},
      {"li:nth-child(2n+1)", "<ul><li></li><li></li><li id=t>", true},
      {"li:nth-child(odd)", "<ul><li></li><li id=t>", false},
      {"li:nth-child(even)", "<ul><li></li><li id=t>", true},
      {"li:nth-child(-n+2)", "<ul><li></li><li></li><li id=t>", false},
      {"li:nth-child( 3 )", "<ul><li></li><li></li><li id=t>", true},
      {"li:nth-last-child(1)", "<ul><li></li><li id=t>", true},
      {"p:nth-of-type(2)", "<div><p></p><b></b><p id=t>", true},
      {"p:first-of-type", "<div><b></b><p id=t>", true},
      {"p:last-of-type", "<div><p id=t></p><b>", true},
      {"p:not(.a)", "<p id=t>", true},
      {"p:not(.a)", "<p class=a id=t>", false},
      {"p:not(div, span)", "<p id=t>", true},
      {":is(h1, p).x", "<p class=x id=t>", true},
      {":root", "<html id=t>", true},
      {":root", "<html><body id=t>", false},
      {"a:link", "<a href=x id=t>", true},
      {"a:link", "<a id=t>", false},
      {"p:lang(en)", "<html lang=en-GB><body><p id=t>", true},
      {"p:lang(en)", "<html lang=en-GB><body lang=fr><p id=t>", false},
      {"p:hover", "<p id=t>", false},
      {"p:visited", "<p id=t>", false},
      {"p::before", "<p id=t>", false},
      {"p:first-line", "<p id=t>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.selector) + " on " + c.html);
    Cascade cascade;
    // A property that does not inherit, so a matching ancestor does not show through.
    cascade.AddSheet(StyleSheet::Parse(std::string(c.selector) + "{border-top-style:dotted}"));
    auto root = css_test::ParseTree(c.html);
    const css_test::FakeElement* t = css_test::FindById(*root, "t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(css_test::StyleOf(cascade, *t).Get(Property::BorderStyle) == "dotted", c.matches);
  }
}

TEST(Selectors, InvalidSelectorsDropTheirRule) {
  const char* invalid[] = {"p:unknown", "p::",    "p >",      "> p",    "p..a",
                           "#1a",       "p[a b]", "p[a=]",    "p[a~b]", "p:nth-child(x)",
                           "p:not()",   "ns|p",   "p:lang()", "p, "};
  for (const char* sel : invalid) {
    SCOPED_TRACE(sel);
    auto sheet = StyleSheet::Parse(std::string(sel) + "{color:red} p{color:blue}");
    EXPECT_EQ(sheet->RuleCount(), 1u);
  }
}

TEST(Selectors, SpecificityOfNotAndWhere) {
  // :not(#x) counts as an id, :where() as nothing.
  Cascade cascade;
  cascade.AddSheet(
      StyleSheet::Parse("p:not(#x){color:red} p.a{color:blue} "
                        ":where(#t){font-weight:bold} p{font-weight:300}"));
  auto root = css_test::ParseTree("<p id=t class=a>");
  auto style = css_test::StyleOf(cascade, *root);
  EXPECT_EQ(style.Get(Property::Color), "red");
  EXPECT_EQ(style.Get(Property::FontWeight), "300");
}

}  // namespace

namespace {

// How far up a selector looks at whether elements are first or last children decides which
// cousins may share a style; anything else about siblings must stop them sharing.
TEST(Selectors, FirstLastDepth) {
  using platform::mshtml::css::kSiblingsAnywhere;
  struct DepthCase {
    const char* selector;
    int depth;
  } cases[] = {
      {"p", -1},
      {"div > p span", -1},
      {"td > :first-child", 0},
      {"p:last-child", 0},
      {"p:not(:first-child)", 0},
      {"p:is(:first-child, .k)", 0},
      {"dl > dd:last-child > :last-child", 1},
      {"ul > li:not(:first-child) > p", 1},
      {":not(li) > ul > li:first-child > :first-child", 1},
      {"li:first-child p", kSiblingsAnywhere},
      {"ul > li > p > i:first-child", 0},
      {"ul > li:first-child > p > i", kSiblingsAnywhere},
      {"p:only-child", kSiblingsAnywhere},
      {"p:first-of-type", kSiblingsAnywhere},
      {"li:nth-child(2n)", kSiblingsAnywhere},
      {"p:not(:nth-child(3))", kSiblingsAnywhere},
      {"h2 + p", kSiblingsAnywhere},
      {"h2 ~ p:first-child", kSiblingsAnywhere},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selector);
    platform::mshtml::css::Tokenizer tokenizer;
    std::vector<platform::mshtml::css::Token> tokens = tokenizer.Tokenize(c.selector);
    std::vector<platform::mshtml::css::ComplexSelector> list;
    ASSERT_TRUE(platform::mshtml::css::ParseSelectorList(tokens.data(),
                                                         tokens.data() + tokens.size(), list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(c.depth, platform::mshtml::css::FirstLastDepth(list[0]));
  }
}

}  // namespace
