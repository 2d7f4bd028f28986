// The cascade end to end: a sheet and a small tree in, the reported text of one property out.
#include "platform/mshtml/css/cascade.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/mshtml/css/user_agent.h"
#include "platform/mshtml/css/values.h"
#include "platform/win32/ui/user.h"
#include "tests/platform_css/fake_tree.h"
#include "tests/support/case_file.h"

namespace {

using platform::mshtml::css::Cascade;
using platform::mshtml::css::LonghandsOf;
using platform::mshtml::css::LookupProperty;
using platform::mshtml::css::Property;
using platform::mshtml::css::StyleSheet;

std::string Read(const char* css, const char* html, Property p) {
  Cascade cascade;
  if (*css) cascade.AddSheet(StyleSheet::Parse(css));
  auto root = css_test::ParseTree(html);
  const css_test::FakeElement* t = css_test::FindById(*root, "t");
  if (!t) return "<no element t>";
  return css_test::StyleOf(cascade, *t).Get(p);
}

// The cases of tests/data/css/cascade.txt: besides "case", "css" and "html", each names one
// property with the value the element with id "t" must report for it.
TEST(Cascade, CasesFromData) {
  auto cases = test_support::ReadCaseFile(NB_TEST_DATA_DIR "/css/cascade.txt");
  for (const test_support::DataCase& c : cases) {
    SCOPED_TRACE("cascade.txt:" + std::to_string(c.line) + " " + c.section + ": " + c.Get("case"));
    int read = 0;
    for (const auto& [key, expected] : c.fields) {
      if (key == "case" || key == "css" || key == "html") continue;
      auto longhands = LonghandsOf(LookupProperty(key));
      ASSERT_EQ(longhands.size(), 1u) << "not one property the cascade keeps: " << key;
      EXPECT_EQ(Read(c.Get("css").c_str(), c.Get("html").c_str(), longhands[0]), expected)
          << c.Get("css") << " | " << c.Get("html");
      ++read;
    }
    EXPECT_EQ(read, 1) << "a case reads one property";
  }
}

constexpr Property kColor = Property::Color;

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

// An ancestor filter holds only the names some selector asks of ancestors. A parent's style
// made before a sheet asked for more, or by another cascade, must not turn a match away.
TEST(Cascade, AParentsFilterFromOtherRulesTurnsNoMatchAway) {
  auto root = css_test::ParseTree("<div class=k><span id=t></span></div>");
  const css_test::FakeElement* t = css_test::FindById(*root, "t");
  ASSERT_TRUE(t);
  Cascade before;
  platform::mshtml::css::ComputedStyle parent = before.Compute(*root, nullptr, "");
  before.AddSheet(StyleSheet::Parse(".k span { color: red }"));
  EXPECT_EQ("red", before.Compute(*t, &parent, "").Get(Property::Color));
  Cascade other;
  other.AddSheet(StyleSheet::Parse(".k span { color: red }"));
  EXPECT_EQ("red", other.Compute(*t, &parent, "").Get(Property::Color));
  // With the sheet there from the start, the filter is used and lets the rule through.
  platform::mshtml::css::ComputedStyle kept = other.Compute(*root, nullptr, "");
  EXPECT_EQ("red", other.Compute(*t, &kept, "").Get(Property::Color));
}

namespace {

// An element that notes every attribute asked of it or of its ancestors.
class AskedView : public platform::mshtml::css::ElementView {
 public:
  AskedView(const css_test::FakeElement& e, std::set<std::string>& asked) : e_(e), asked_(asked) {
    if (e.parent) parent_ = std::make_unique<AskedView>(*e.parent, asked);
  }
  std::string_view LocalName() const override { return e_.LocalName(); }
  std::string_view Id() const override {
    asked_.insert("id");
    return e_.Id();
  }
  bool HasClass(std::string_view name) const override {
    asked_.insert("class");
    return e_.HasClass(name);
  }
  const std::string* Attribute(std::string_view name) const override {
    asked_.insert(std::string(name));
    return e_.Attribute(name);
  }
  const ElementView* Parent() const override { return parent_.get(); }
  const ElementView* PreviousElement() const override { return nullptr; }
  const ElementView* NextElement() const override { return nullptr; }

 private:
  const css_test::FakeElement& e_;
  std::set<std::string>& asked_;
  std::unique_ptr<AskedView> parent_;
};

// A model shares one style between elements that differ only in attributes of no use, so every
// attribute the hints read must be of use, whatever the element.
TEST(Cascade, EveryAttributeTheHintsReadIsOfUse) {
  Cascade cascade;
  for (const char* tag : {"body", "font", "a", "area", "td", "th", "hr", "table", "p", "div", "img",
                          "caption", "h1", "tr", "col", "li", "input"}) {
    auto root = css_test::ParseTree(std::string("<html><body link=red><div><") + tag +
                                    " id=t href=x align=left>");
    const css_test::FakeElement* t = css_test::FindById(*root, "t");
    ASSERT_TRUE(t) << tag;
    std::set<std::string> asked;
    std::vector<platform::mshtml::css::Declaration> hints;
    platform::mshtml::css::AddPresentationalHints(AskedView(*t, asked), hints);
    for (const std::string& name : asked) {
      EXPECT_NE(Cascade::AttributeUse::None, cascade.UseOf(name, "x")) << tag << " " << name;
    }
  }
}

TEST(Cascade, AnAttributesUseFollowsTheSheets) {
  using Use = Cascade::AttributeUse;
  struct Case {
    const char* css;
    const char* name;
    const char* value;
    Use use;
  } cases[] = {
      {"", "data-x", "1", Use::None},
      {"", "title", "a", Use::None},
      {"", "id", "a", Use::None},
      {"", "style", "color:red", Use::Value},
      {"", "class", "k", Use::Value},
      {"", "lang", "fr", Use::Value},
      {"", "href", "x.html", Use::Presence},
      {"", "align", "left", Use::Value},
      {"#a{color:red}", "id", "a", Use::Value},
      {"#a{color:red}", "id", "b", Use::None},
      {"#a{color:red}", "id", "A", Use::None},
      {"div #a span{color:red}", "id", "a", Use::Value},
      {"p:not(#a){color:red}", "id", "a", Use::Value},
      {"p:is(.k, [data-x]){color:red}", "data-x", "1", Use::Value},
      {"[ID]{color:red}", "id", "anything", Use::Value},
      {"a[href$='.pdf']{color:red}", "href", "x.pdf", Use::Value},
      {"[title=b]{color:red}", "title", "a", Use::Value},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.css) + " " + c.name + "=" + c.value);
    Cascade cascade;
    if (*c.css) cascade.AddSheet(StyleSheet::Parse(c.css));
    EXPECT_EQ(c.use, cascade.UseOf(c.name, c.value));
  }
}

}  // namespace
