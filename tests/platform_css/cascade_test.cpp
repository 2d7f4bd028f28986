// The cascade end to end: a sheet and a small tree in, the reported text of one property out.
#include "platform/mshtml/css/cascade.h"

#include <gtest/gtest.h>

#include "platform/win32/ui/user.h"
#include "tests/platform_css/fake_tree.h"

namespace {

using platform::mshtml::css::Cascade;
using platform::mshtml::css::Property;
using platform::mshtml::css::StyleSheet;

struct Case {
  const char* name;
  const char* css;
  const char* html;  // the element with id "t" is read
  Property property;
  const char* expected;
};

std::string Read(const char* css, const char* html, Property p) {
  Cascade cascade;
  if (*css) cascade.AddSheet(StyleSheet::Parse(css));
  auto root = css_test::ParseTree(html);
  const css_test::FakeElement* t = css_test::FindById(*root, "t");
  if (!t) return "<no element t>";
  return css_test::StyleOf(cascade, *t).Get(p);
}

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.css, c.html, c.property), c.expected) << c.css << " | " << c.html;
  }
}

constexpr Property kColor = Property::Color;

TEST(Cascade, OrderSpecificityAndImportance) {
  RunCases({
      {"later rule wins", "p{color:red} p{color:blue}", "<p id=t>", kColor, "blue"},
      {"id beats type", "#t{color:red} p{color:blue}", "<p id=t>", kColor, "red"},
      {"class beats type", ".a{color:red} p{color:blue}", "<p class=a id=t>", kColor, "red"},
      {"two classes beat one", ".a.b{color:red} .a{color:blue}", "<p class='a b' id=t>", kColor,
       "red"},
      {"important beats specificity", "p{color:red !important} #t{color:blue}", "<p id=t>", kColor,
       "red"},
      {"important spelled loosely", "p{color:red ! IMPORTANT} #t{color:blue}", "<p id=t>", kColor,
       "red"},
      {"style attribute beats id", "#t{color:red}", "<p id=t style='color:green'>", kColor,
       "green"},
      {"important sheet beats style attribute", "p{color:red!important}",
       "<p id=t style='color:green'>", kColor, "red"},
      {"important style attribute beats important sheet", "p{color:red!important}",
       "<p id=t style='color:green!important'>", kColor, "green"},
      {"later declaration in a rule wins", "p{color:red; color:blue}", "<p id=t>", kColor, "blue"},
      {"highest matching selector of a list", "#t, p{color:red} .a{color:blue}", "<p id=t class=a>",
       kColor, "red"},
      {"hint loses to author rule", "p{text-align:left}", "<p align=center id=t>",
       Property::TextAlign, "left"},
      {"hint beats user agent", "", "<table><tr><th align=left id=t>", Property::TextAlign, "left"},
      {"author beats user agent", "h1{font-weight:normal}", "<h1 id=t>", Property::FontWeight,
       "normal"},
  });
}

TEST(Cascade, Inheritance) {
  RunCases({
      {"colour inherits", "div{color:red}", "<div><span id=t>", kColor, "red"},
      {"a relative font size is inherited as the size it stands for", "div{font-size:2em}",
       "<div><p id=t>", Property::FontSize, "33.3334px"},
      {"an absolute font size is inherited as written", "div{font-size:12pt}", "<div><p id=t>",
       Property::FontSize, "12pt"},
      {"a declared relative size is reported as written", "div{font-size:2em} p{font-size:50%}",
       "<div><p id=t>", Property::FontSize, "50%"},
      {"under a relative size resting on points, points", "div{font-size:12pt} p{font-size:2em}",
       "<div><p><b id=t>", Property::FontSize, "24pt"},
      {"margin does not inherit", "div{margin-top:10px}", "<div><span id=t>", Property::MarginTop,
       "0px"},
      {"background does not inherit", "div{background-color:red}", "<div><span id=t>",
       Property::BackgroundColor, "transparent"},
      {"inherit keyword", "div{margin-top:10px} span{margin-top:inherit}", "<div><span id=t>",
       Property::MarginTop, "10px"},
      {"initial keyword", "div{color:red} span{color:initial}", "<div><span id=t>", kColor,
       "#000000"},
      {"unset inherits an inherited property", "div{color:red} span{color:unset}",
       "<div><span id=t>", kColor, "red"},
      {"unset resets the others", "div{display:block} span{display:unset}", "<div><span id=t>",
       Property::Display, "inline"},
      {"inherit through a shorthand", "div{margin:4px} span{margin:inherit}", "<div><span id=t>",
       Property::MarginBottom, "4px"},
      {"white-space inherits from pre", "", "<pre><span id=t>", Property::WhiteSpace, "pre"},
      {"currentcolor background", "p{color:red; background-color:currentColor}", "<p id=t>",
       Property::BackgroundColor, "red"},
      {"currentcolor colour inherits", "div{color:blue} p{color:currentcolor}", "<div><p id=t>",
       kColor, "blue"},
  });
}

TEST(Cascade, InitialValuesOnTheRoot) {
  Cascade cascade;
  auto root = css_test::ParseTree("<html id=t>");
  auto s = css_test::StyleOf(cascade, *root);
  const std::pair<Property, const char*> expected[] = {
      {Property::FontSize, "medium"},  {Property::LineHeight, "normal"},
      {Property::Color, "#000000"},    {Property::BackgroundColor, "transparent"},
      {Property::FontWeight, "400"},   {Property::MarginTop, "0px"},
      {Property::MarginBottom, "0px"}, {Property::TextAlign, "left"},
      {Property::BorderStyle, "none"}, {Property::PageBreakAfter, "auto"},
      {Property::Display, "block"},    {Property::WhiteSpace, "normal"},
  };
  for (const auto& [p, v] : expected) {
    EXPECT_EQ(s.Get(p), v) << static_cast<int>(p);
  }
}

TEST(Cascade, ValuesAsReported) {
  RunCases({
      {"short hex widened", "p{color:#F00}", "<p id=t>", kColor, "#ff0000"},
      {"hex lower-cased", "p{color:#AbCdEf}", "<p id=t>", kColor, "#abcdef"},
      {"name lower-cased", "p{color:RED}", "<p id=t>", kColor, "red"},
      {"rgb", "p{color:rgb(255, 0, 0)}", "<p id=t>", kColor, "#ff0000"},
      {"rgb percentages", "p{color:rgb(100%,0%,50%)}", "<p id=t>", kColor, "#ff0080"},
      {"rgb space syntax with alpha", "p{color:rgb(0 128 255 / 50%)}", "<p id=t>", kColor,
       "#0080ff"},
      {"transparent rgba", "p{background-color:rgba(1,2,3,0)}", "<p id=t>",
       Property::BackgroundColor, "transparent"},
      {"hsl", "p{color:hsl(120, 100%, 50%)}", "<p id=t>", kColor, "#00ff00"},
      {"hsla", "p{color:hsla(240deg, 100%, 25%, 0.5)}", "<p id=t>", kColor, "#000080"},
      {"eight-digit hex", "p{color:#ff000080}", "<p id=t>", kColor, "#ff0000"},
      {"unknown colour ignored", "p{color:red} p{color:reddish}", "<p id=t>", kColor, "red"},
      {"hex without hash ignored", "p{color:red} p{color:ff0000}", "<p id=t>", kColor, "red"},
      {"system colour resolved", "p{background-color:Window}", "<p id=t>",
       Property::BackgroundColor, "#ffffff"},
      {"unit lower-cased", "p{font-size:12PT}", "<p id=t>", Property::FontSize, "12pt"},
      {"leading dot", "p{font-size:.5em}", "<p id=t>", Property::FontSize, "0.5em"},
      {"keyword size", "p{font-size:X-Large}", "<p id=t>", Property::FontSize, "x-large"},
      {"negative size ignored", "p{font-size:10px} p{font-size:-1px}", "<p id=t>",
       Property::FontSize, "10px"},
      {"unitless size ignored", "p{font-size:10px} p{font-size:12}", "<p id=t>", Property::FontSize,
       "10px"},
      {"percentage size", "p{font-size:150%}", "<p id=t>", Property::FontSize, "150%"},
      {"unitless line height", "p{line-height:1.5}", "<p id=t>", Property::LineHeight, "25px"},
      {"unitless line height inherited with the own size", "p{line-height:1.5} b{font-size:2em}",
       "<p><b id=t>", Property::LineHeight, "50px"},
      {"numeric weight", "p{font-weight:600}", "<p id=t>", Property::FontWeight, "600"},
      {"weight out of range ignored", "p{font-weight:1200}", "<p id=t>", Property::FontWeight,
       "400"},
      {"zero margin", "p{margin-top:0}", "<p id=t>", Property::MarginTop, "0px"},
      {"negative margin", "p{margin-bottom:-2em}", "<p id=t>", Property::MarginBottom, "-2em"},
      {"auto margin", "p{margin-top:auto}", "<p id=t>", Property::MarginTop, "auto"},
      {"calc kept", "p{margin-top:calc(1em + 2px)}", "<p id=t>", Property::MarginTop,
       "calc(1em + 2px)"},
      {"justify", "p{text-align:justify}", "<p id=t>", Property::TextAlign, "justify"},
      {"display", "p{display:inline-block}", "<p id=t>", Property::Display, "inline-block"},
      {"unknown display ignored", "p{display:blocky}", "<p id=t>", Property::Display, "block"},
      {"page break", "p{page-break-after:always}", "<p id=t>", Property::PageBreakAfter, "always"},
      {"break-after page", "p{break-after:page}", "<p id=t>", Property::PageBreakAfter, "always"},
      {"break-after avoid-page", "p{break-after:avoid-page}", "<p id=t>", Property::PageBreakAfter,
       "avoid"},
      {"later page-break-after overrides break-after", "p{break-after:page; page-break-after:auto}",
       "<p id=t>", Property::PageBreakAfter, "auto"},
  });
}

TEST(Cascade, Shorthands) {
  RunCases({
      {"margin four values top", "p{margin:1px 2px 3px 4px}", "<p id=t>", Property::MarginTop,
       "1px"},
      {"margin four values bottom", "p{margin:1px 2px 3px 4px}", "<p id=t>", Property::MarginBottom,
       "3px"},
      {"margin two values bottom", "p{margin:1px 2px}", "<p id=t>", Property::MarginBottom, "1px"},
      {"margin one value", "p{margin:5%}", "<p id=t>", Property::MarginBottom, "5%"},
      {"invalid margin leaves earlier", "p{margin:5px} p{margin:1px 2px 3px 4px 5px}", "<p id=t>",
       Property::MarginTop, "5px"},
      {"longhand after shorthand", "p{margin:5px; margin-top:7px}", "<p id=t>", Property::MarginTop,
       "7px"},
      {"font size", "p{font:bold 12pt/1.5 serif}", "<p id=t>", Property::FontSize, "12pt"},
      {"font line height", "p{font:bold 12pt/1.5 serif}", "<p id=t>", Property::LineHeight, "18pt"},
      {"font weight", "p{font:italic bold 12pt serif}", "<p id=t>", Property::FontWeight, "bold"},
      {"font resets weight", "p{font-weight:bold; font:12pt 'Times New Roman', serif}", "<p id=t>",
       Property::FontWeight, "normal"},
      {"font resets line height", "p{line-height:3; font:12pt serif}", "<p id=t>",
       Property::LineHeight, "normal"},
      {"font without family ignored", "p{font:bold 12pt}", "<p id=t>", Property::FontSize,
       "medium"},
      {"font numeric weight", "p{font:700 1em/2em sans-serif}", "<p id=t>", Property::FontWeight,
       "700"},
      {"background colour among others", "p{background:url(x.png) #FFF no-repeat top left}",
       "<p id=t>", Property::BackgroundColor, "#ffffff"},
      {"background without colour", "p{background-color:red; background:url(x.png)}", "<p id=t>",
       Property::BackgroundColor, "transparent"},
      {"background colour in an earlier layer is invalid",
       "p{background:blue} p{background:red, url(x.png)}", "<p id=t>", Property::BackgroundColor,
       "blue"},
      {"border", "hr{border:1px dashed red}", "<hr id=t>", Property::BorderStyle, "dashed"},
      {"border without style", "hr{border:1px red}", "<hr id=t>", Property::BorderStyle, "none"},
      {"border-top", "hr{border-top:double}", "<hr id=t>", Property::BorderStyle, "double"},
      {"border-style first value", "hr{border-style:dotted solid}", "<hr id=t>",
       Property::BorderStyle, "dotted"},
      {"border-top-style", "hr{border-top-style:ridge}", "<hr id=t>", Property::BorderStyle,
       "ridge"},
      {"two styles in border invalid", "hr{border:solid dotted}", "<hr id=t>",
       Property::BorderStyle, "inset"},
  });
}

TEST(Cascade, UserAgentSheetAndHints) {
  RunCases({
      {"h1 size", "", "<h1 id=t>", Property::FontSize, "2em"},
      {"h6 size", "", "<h6 id=t>", Property::FontSize, "0.67em"},
      {"h1 weight", "", "<h1 id=t>", Property::FontWeight, "bold"},
      {"h1 margin", "", "<h1 id=t>", Property::MarginTop, "0.67em"},
      {"p margin", "", "<p id=t>", Property::MarginBottom, "1em"},
      {"strong", "", "<p><strong id=t>", Property::FontWeight, "bold"},
      {"th bold", "", "<table><tr><th id=t>", Property::FontWeight, "bold"},
      {"pre", "", "<pre id=t>", Property::WhiteSpace, "pre"},
      {"center", "", "<center><p id=t>", Property::TextAlign, "center"},
      {"hr", "", "<hr id=t>", Property::BorderStyle, "inset"},
      {"hr noshade", "", "<hr noshade id=t>", Property::BorderStyle, "solid"},
      {"li", "", "<ul><li id=t>", Property::Display, "list-item"},
      {"td", "", "<table><tr><td id=t>", Property::Display, "table-cell"},
      {"head hidden", "", "<html><head id=t>", Property::Display, "none"},
      {"span inline", "", "<div><span id=t>", Property::Display, "inline"},
      {"nested list margin", "", "<ul><li><ul id=t>", Property::MarginTop, "0px"},
      {"link colour", "", "<a href=x id=t>", kColor, "#0000ee"},
      {"anchor without href", "", "<a name=x id=t>", kColor, "#000000"},
      {"font size hint", "", "<font size=5 id=t>", Property::FontSize, "5"},
      {"relative font size hint", "", "<font size='+1' id=t>", Property::FontSize, "+1"},
      {"font size hint clamped", "", "<font size=12 id=t>", Property::FontSize, "7"},
      {"font colour hint", "", "<font color='#FF0000' id=t>", kColor, "#ff0000"},
      {"font colour name", "", "<font color=Navy id=t>", kColor, "navy"},
      {"legacy colour without hash", "", "<font color=ff8000 id=t>", kColor, "#ff8000"},
      {"legacy colour rules", "", "<font color=chucknorris id=t>", kColor, "#c00000"},
      {"body text", "", "<body text=green><p id=t>", kColor, "green"},
      {"body link", "", "<body link=#800000 text=green><p><a href=x id=t>", kColor, "#800000"},
      {"body link loses to author rule", "a{color:blue}", "<body link=red><a href=x id=t>", kColor,
       "blue"},
      {"bgcolor", "", "<table bgcolor=#ccc><tr><td id=t bgcolor=yellow>", Property::BackgroundColor,
       "yellow"},
      {"div align", "", "<div align=right id=t>", Property::TextAlign, "right"},
      {"img align is not text alignment", "", "<img align=right id=t>", Property::TextAlign,
       "left"},
      {"nowrap cell", "", "<table><tr><td nowrap id=t>", Property::WhiteSpace, "nowrap"},
  });
}

TEST(Cascade, Media) {
  RunCases({
      {"print", "@media print { p{color:red} }", "<p id=t>", kColor, "#000000"},
      {"screen", "@media screen { p{color:red} }", "<p id=t>", kColor, "red"},
      {"list with screen", "@media print, SCREEN { p{color:red} }", "<p id=t>", kColor, "red"},
      {"not print", "@media not print { p{color:red} }", "<p id=t>", kColor, "red"},
      {"only screen", "@media only screen { p{color:red} }", "<p id=t>", kColor, "red"},
      {"tv", "@media tv { p{color:red} }", "<p id=t>", kColor, "#000000"},
      {"narrow width", "@media screen and (max-width: 600px) { p{color:red} }", "<p id=t>", kColor,
       "#000000"},
      {"wide width", "@media (min-width: 800px) { p{color:red} }", "<p id=t>", kColor, "red"},
      {"range syntax", "@media (width >= 640px) { p{color:red} }", "<p id=t>", kColor, "red"},
      {"unknown feature", "@media (min-fancy: 3) { p{color:red} }", "<p id=t>", kColor, "#000000"},
      {"rules after a skipped block", "@media print { p{color:red} } p{color:blue}", "<p id=t>",
       kColor, "blue"},
      {"nested media", "@media screen { @media print { p{color:red} } p{font-weight:bold} }",
       "<p id=t>", kColor, "#000000"},
  });
}

// Media queries measure against the screen the window system reports, not a size of their own.
TEST(Cascade, MediaSeesTheWindowSystemsScreen) {
  const std::string w = std::to_string(GetSystemMetrics(SM_CXSCREEN));
  const std::string h = std::to_string(GetSystemMetrics(SM_CYSCREEN));
  const std::string queries[] = {
      "(width: " + w + "px) and (height: " + h + "px)",
      "(device-width: " + w + "px) and (device-height: " + h + "px)",
      "(min-width: " + w + "px) and (max-width: " + w + "px)",
  };
  for (const std::string& q : queries) {
    std::string css = "@media " + q + " { p{color:red} }";
    EXPECT_EQ(Read(css.c_str(), "<p id=t>", kColor), "red") << q;
  }
  std::string wider = "@media (min-width: " + std::to_string(GetSystemMetrics(SM_CXSCREEN) + 1) +
                      "px) { p{color:red} }";
  EXPECT_EQ(Read(wider.c_str(), "<p id=t>", kColor), "#000000");
}

TEST(Cascade, CustomProperties) {
  RunCases({
      {"var", ":root{--c: red} p{color: var(--c)}", "<html><p id=t>", kColor, "red"},
      {"fallback", "p{color: var(--none, blue)}", "<p id=t>", kColor, "blue"},
      {"nested fallback", "p{color: var(--a, var(--b, green))}", "<p id=t>", kColor, "green"},
      {"inherited custom property", "div{--m: 9px} p{margin-top: var(--m)}", "<div><p id=t>",
       Property::MarginTop, "9px"},
      {"shorthand with var", ":root{--m: 3px 4px 5px} p{margin: var(--m)}", "<html><p id=t>",
       Property::MarginBottom, "5px"},
      {"var referring to var", ":root{--a: var(--b); --b: #00F} p{color: var(--a)}",
       "<html><p id=t>", kColor, "#0000ff"},
      {"cycle takes the fallback", ":root{--a: var(--b); --b: var(--a)} p{color: var(--a, green)}",
       "<html><p id=t>", kColor, "green"},
      {"cycle without fallback is unset", "div{color:red; --a: var(--a)} p{color: var(--a)}",
       "<div><p id=t>", kColor, "red"},
      {"invalid after substitution is unset", ":root{--c: 12px} div{color:red} p{color:var(--c)}",
       "<html><div><p id=t>", kColor, "red"},
      {"case-sensitive names", ":root{--C: red} p{color: var(--c, blue)}", "<html><p id=t>", kColor,
       "blue"},
      {"custom property in style attribute", "p{color: var(--x)}", "<p id=t style='--x: #123456'>",
       kColor, "#123456"},
      {"important custom property", ":root{--c: red !important} :root{--c: blue}",
       "<html><p id=t style='color: var(--c)'>", kColor, "red"},
  });
}

TEST(Cascade, ErrorRecovery) {
  RunCases({
      {"garbage declarations", "p{color:red;;; foo; bar: ; 12: 3; color:blue}", "<p id=t>", kColor,
       "blue"},
      {"unknown at-rule block", "@unknown { p{color:red} } p{font-weight:bold}", "<p id=t>", kColor,
       "#000000"},
      {"rule after unknown at-rule", "@unknown { p{color:red} } p{font-weight:bold}", "<p id=t>",
       Property::FontWeight, "bold"},
      {"unclosed block at end", "p{color:red", "<p id=t>", kColor, "red"},
      {"unclosed string spoils its declaration only", "p{color:red; content:'abc\n; color:blue}",
       "<p id=t>", kColor, "blue"},
      {"bad selector drops only its rule", "p:unknown, p{color:red} p{font-weight:bold}",
       "<p id=t>", kColor, "#000000"},
      {"braces inside a value", "p{color:red; x: {a;b}; color:blue}", "<p id=t>", kColor, "blue"},
      {"comments", "/* p{color:red} */ p/**/{color:/* x */blue}", "<p id=t>", kColor, "blue"},
      {"html comment tokens", "<!-- p{color:red} -->", "<p id=t>", kColor, "red"},
      {"escaped identifier", "p{color:r\\65 d}", "<p id=t>", kColor, "red"},
      {"nested rule ignored", "p{color:red; .x{color:blue} font-weight:bold}", "<p id=t>", kColor,
       "red"},
  });
}

TEST(StyleSheet, ImportsInOrderBeforeRules) {
  auto sheet = StyleSheet::Parse(
      "@charset 'utf-8'; @import 'a.css'; @import url(b.css) print; @import url(\"c.css\") "
      "screen; @import url('e.css') layer(x); p{color:red} @import 'd.css';");
  std::vector<std::string> expected{"a.css", "c.css", "e.css"};
  EXPECT_EQ(sheet->Imports(), expected);
  EXPECT_EQ(sheet->RuleCount(), 1u);
}

TEST(Cascade, SheetInsertedAtIndexTakesItsPlace) {
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse("p{color:red}"));
  cascade.AddSheet(StyleSheet::Parse("p{color:blue}"), 0);  // before the first: loses
  EXPECT_EQ(cascade.SheetCount(), 2u);
  auto root = css_test::ParseTree("<p id=t>");
  EXPECT_EQ(css_test::StyleOf(cascade, *root).Get(kColor), "red");
  cascade.AddSheet(StyleSheet::Parse("p{color:green}"));
  EXPECT_EQ(css_test::StyleOf(cascade, *root).Get(kColor), "green");
}

}  // namespace

namespace {

TEST(Cascade, CustomPropertyWinnersByName) {
  // Many names on one element, some declared twice: the later or more important one wins.
  std::string css = "* {";
  for (int i = 0; i < 3000; ++i)
    css += "--v" + std::to_string(i) + ": " + std::to_string(i) + "px;";
  css +=
      "--v7: 70px; --v9: 90px !important; --v9: 99px} p{--v5: 55px} "
      "p{margin-top: var(--v7); margin-bottom: var(--v9)} #t{font-size: var(--v5)}";
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse(css));
  auto root = css_test::ParseTree("<html><body><p id=t>");
  auto style = css_test::StyleOf(cascade, *css_test::FindById(*root, "t"));
  EXPECT_EQ(style.Get(Property::MarginTop), "70px");
  EXPECT_EQ(style.Get(Property::MarginBottom), "90px");
  EXPECT_EQ(style.Get(Property::FontSize), "55px");
  ASSERT_NE(style.custom, nullptr);
  EXPECT_EQ(style.custom->size(), 3000u);
}

}  // namespace
