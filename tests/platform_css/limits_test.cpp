// Hostile input finishes, and gives the results a smaller input would.
#include <gtest/gtest.h>

#include <string>

#include "platform/mshtml/css/cascade.h"
#include "tests/platform_css/fake_tree.h"

namespace {

using css_test::FakeElement;
using platform::mshtml::css::Cascade;
using platform::mshtml::css::ComputedStyle;
using platform::mshtml::css::Property;
using platform::mshtml::css::StyleSheet;

// Computes every element of a chain from the root down, keeping only the parent's style.
ComputedStyle ComputeChain(const Cascade& cascade, const FakeElement& root) {
  ComputedStyle style = cascade.Compute(root, nullptr, "");
  const FakeElement* e = &root;
  while (!e->children.empty()) {
    e = e->children.back().get();
    ComputedStyle next = cascade.Compute(*e, &style, "");
    style = std::move(next);
  }
  return style;
}

std::unique_ptr<FakeElement> Chain(std::size_t depth, const char* tag, const char* leafTag) {
  auto root = std::make_unique<FakeElement>();
  root->tag = "html";
  FakeElement* e = root.get();
  for (std::size_t i = 0; i < depth; ++i) e = e->Append(tag);
  e->Append(leafTag);
  return root;
}

TEST(Limits, DescendantChainsAgainstADeepTree) {
  Cascade cascade;
  // None of these can match but each has a long chain of descendant combinators.
  std::string css;
  for (int i = 0; i < 50; ++i) {
    css += "div div div div div div div div section span." + std::to_string(i) + "x, ";
    css += "html div div div div div div div div div div section em {color:red}\n";
  }
  css += "div div div div div div div div div div b {color:green}\n";
  cascade.AddSheet(StyleSheet::Parse(css));
  auto root = Chain(200000, "div", "b");
  EXPECT_EQ(ComputeChain(cascade, *root).Get(Property::Color), "green");
}

TEST(Limits, DescendantChainWithoutTheAncestorFilter) {
  // Without the parent's style the filter is unknown and the walk runs against its budget.
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse("section div div div div b {color:red}"));
  auto root = Chain(100000, "div", "b");
  const FakeElement* leaf = root.get();
  while (!leaf->children.empty()) leaf = leaf->children.back().get();
  ComputedStyle parentStyle = cascade.Compute(*root, nullptr, "");
  parentStyle.ancestorFilterValid = false;  // as if the model had not kept it
  EXPECT_EQ(cascade.Compute(*leaf, &parentStyle, "").Get(Property::Color), "#000000");
}

TEST(Limits, ManySiblingsWithStructuralSelectors) {
  for (bool reportIndex : {true, false}) {
    SCOPED_TRACE(reportIndex);
    Cascade cascade;  // one per page, as the model keeps it
    cascade.AddSheet(
        StyleSheet::Parse("li:nth-child(2n) {color:red} li:nth-last-child(3n+1) {font-weight:bold} "
                          "h1 ~ li {margin-top: 1px} li:nth-of-type(5) {margin-bottom: 2px}"));
    auto root = std::make_unique<FakeElement>();
    root->tag = "ul";
    // Without the model's positions every element walks its siblings, as far as the cap.
    const int count = reportIndex ? 30000 : 10000;
    for (int i = 0; i < count; ++i) root->Append("li")->reportIndex = reportIndex;
    cascade.SetElementCount(count + 1);  // as the model does
    ComputedStyle parent = cascade.Compute(*root, nullptr, "");
    // First: counting every position by walking may use up the page's bound on matching work.
    EXPECT_EQ(cascade.Compute(*root->children[1], &parent, "").Get(Property::Color), "red");
    EXPECT_EQ(cascade.Compute(*root->children[4], &parent, "").Get(Property::MarginBottom), "2px");
    std::size_t red = 0;
    for (const auto& li : root->children) {
      if (cascade.Compute(*li, &parent, "").Get(Property::Color) == "red") ++red;
    }
    if (reportIndex) {
      EXPECT_EQ(red, static_cast<std::size_t>(count / 2));
    } else {
      EXPECT_GE(red, 500u);  // the counted positions are right as far as the walk goes
    }
  }
}

TEST(Limits, FiftyThousandRules) {
  std::string css;
  for (int i = 0; i < 50000; ++i) {
    css += ".c" + std::to_string(i) + " > p#x" + std::to_string(i) + ":first-child{color:#" +
           std::to_string(100000 + i % 800000) + "}\n";
  }
  css += "p{font-weight:bold}";
  auto sheet = StyleSheet::Parse(css);
  EXPECT_EQ(sheet->RuleCount(), 50001u);
  Cascade cascade;
  cascade.AddSheet(sheet);
  auto root = css_test::ParseTree("<div class=c49999><p id=x49999>");
  const FakeElement* p = root->children[0].get();
  auto style = css_test::StyleOf(cascade, *p);
  EXPECT_EQ(style.Get(Property::Color), "#149999");
  EXPECT_EQ(style.Get(Property::FontWeight), "bold");
}

TEST(Limits, VarCyclesAndExpansion) {
  std::string css = ":root{";
  // A long reference chain closing into a cycle, and values that double at each step.
  for (int i = 0; i < 2000; ++i) {
    css += "--c" + std::to_string(i) + ": var(--c" + std::to_string((i + 1) % 2000) + ");";
  }
  css += "--d0: xx;";
  for (int i = 1; i < 60; ++i) {
    css += "--d" + std::to_string(i) + ": var(--d" + std::to_string(i - 1) + ") var(--d" +
           std::to_string(i - 1) + ");";
  }
  css += "} p{color: var(--c0, green); margin-top: var(--d59, 3px)}";
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse(css));
  auto root = css_test::ParseTree("<html><p id=t>");
  auto style = css_test::StyleOf(cascade, *css_test::FindById(*root, "t"));
  EXPECT_EQ(style.Get(Property::Color), "green");
  EXPECT_EQ(style.Get(Property::MarginTop), "3px");
}

TEST(Limits, DeeplyNestedBlocksAndFunctions) {
  std::string css(200000, '(');
  css += "p{color:red}";
  EXPECT_EQ(StyleSheet::Parse(css)->RuleCount(), 0u);
  std::string media;
  for (int i = 0; i < 5000; ++i) media += "@media screen {";
  media += "p{color:red}";
  EXPECT_LE(StyleSheet::Parse(media)->RuleCount(), 1u);
  std::string nots = "p";
  for (int i = 0; i < 5000; ++i) nots += ":not(";
  nots += "a";
  for (int i = 0; i < 5000; ++i) nots += ")";
  EXPECT_EQ(StyleSheet::Parse(nots + "{color:red}")->RuleCount(), 0u);
}

}  // namespace

namespace {

TEST(Limits, HugeClassListsAndAttributes) {
  std::string css;
  for (int i = 0; i < 1000; ++i) {
    css += ".k" + std::to_string(i * 19) + "[data-a" + std::to_string(i) +
           "] {margin-top:" + std::to_string(i) + "px}\n";
  }
  Cascade cascade;
  cascade.AddSheet(StyleSheet::Parse(css));
  auto e = std::make_unique<FakeElement>();
  e->tag = "p";
  std::string classes;
  for (int i = 0; i < 20000; ++i) classes += "k" + std::to_string(i) + " ";
  e->attributes["class"] = classes;
  for (int i = 0; i < 100000; ++i) e->attributes["data-a" + std::to_string(i)] = "";
  // The last rule whose class and attribute are both present wins: .k18981 needs data-a999.
  EXPECT_EQ(cascade.Compute(*e, nullptr, "").Get(Property::MarginTop), "999px");
}

}  // namespace
