// The seam between the document model and the style reader, where sizes went wrong: a page goes
// into the real document model, each element's currentStyle is read as the converter reads it
// (the body at the bottom of the stack, then every element down to the one asked about), and
// the table gives what currentStyle reports and what size the style reader makes of it.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "parser/style/StyleReader.h"
#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"
#include "tests/platform_mshtml/test_util.h"

namespace {

using mshtml_test::First;
using mshtml_test::U8;

ComPtr<IHTMLDocument2> Load(const std::string& html) {
  return mshtml_test::Loaded(html, u"file:///seam/page.html");
}

ComPtr<IHTMLCurrentStyle> StyleOf(IHTMLElement* e) {
  ComPtr<IHTMLElement2> e2;
  ComPtr<IHTMLCurrentStyle> style;
  if (SUCCEEDED(ComPtr<IHTMLElement>(e).As(IID_IHTMLElement2, std::addressof(e2))) && e2)
    e2->get_currentStyle(&style);
  return style;
}

std::string Text(IHTMLCurrentStyle* s, bool lineHeight) {
  ScopedVariant v;
  if (lineHeight) {
    s->get_lineHeight(&v);
  } else {
    s->get_fontSize(&v);
  }
  return v.vt == VT_BSTR ? U8(std::u16string(v.bstrVal, SysStringLen(v.bstrVal))) : "";
}

struct SeamCase {
  const char* what;
  const char* html;
  const char* tag;
  int nth;
  const char* reported;  // currentStyle's fontSize
  WORD size;             // what the style reader makes of it
  const char* reportedLineHeight = nullptr;
  WORD lineHeight = 0;
};

class StyleSeamTest : public testing::TestWithParam<SeamCase> {};

// The element and its ancestors up to the body, the body first.
std::vector<ComPtr<IHTMLElement>> Chain(ComPtr<IHTMLElement> e) {
  std::vector<ComPtr<IHTMLElement>> chain;
  while (e) {
    chain.insert(chain.begin(), e);
    BStr t;
    e->get_tagName(&t);
    if (t.Str() == u"BODY") break;
    ComPtr<IHTMLElement> parent;
    e->get_parentElement(&parent);
    e = parent;
  }
  return chain;
}

std::string SeamName(const testing::TestParamInfo<SeamCase>& info) {
  std::string name;
  for (const char* p = info.param.what; *p; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

TEST_P(StyleSeamTest, WhatCurrentStyleGivesAndWhatSizeComesOut) {
  const SeamCase& c = GetParam();
  ComPtr<IHTMLDocument2> doc = Load(c.html);
  ComPtr<IHTMLElement> target = First(doc.Get(), c.tag, c.nth);
  ASSERT_TRUE(target) << c.what;
  // The chain from the body down to the element, pushed as the converter pushes it.
  std::vector<ComPtr<IHTMLElement>> chain = Chain(target);
  CStyleReader reader;
  for (const auto& e : chain) reader.PushStyle(StyleOf(e.Get()).Get());
  ComPtr<IHTMLCurrentStyle> style = StyleOf(target.Get());
  EXPECT_EQ(Text(style.Get(), false), c.reported) << c.what;
  EXPECT_EQ(reader.GetTopStyle()->m_nFontSize, c.size) << c.what;
  if (c.reportedLineHeight) {
    EXPECT_EQ(Text(style.Get(), true), c.reportedLineHeight) << c.what;
    EXPECT_EQ(reader.GetTopStyle()->m_nLineHeight, c.lineHeight) << c.what;
  }
}

constexpr const char* kHeadings =
    "<h1>One <a href='#x'>link</a></h1><h2>Two</h2><h3>Three</h3><p>Body";
constexpr const char* kSmaller = "<style>body{font-size:90%}</style><p>a<p>b<p>c<div><p>d</div>";

INSTANTIATE_TEST_SUITE_P(
    Sizes, StyleSeamTest,
    testing::Values(
        // The user-agent sheet: headings against the body's size, not against each other.
        SeamCase{"body text", kHeadings, "P", 0, "medium", 100, "normal", 155},
        SeamCase{"H1", kHeadings, "H1", 0, "2em", 200},
        SeamCase{"H2", kHeadings, "H2", 0, "1.5em", 150},
        SeamCase{"H3", kHeadings, "H3", 0, "1.17em", 117},
        SeamCase{"a link inside H1 is at the heading's size", kHeadings, "A", 0, "33.3334px", 200},
        // body{font-size:90%}: every paragraph at 90, however many came before.
        SeamCase{"first paragraph", kSmaller, "P", 0, "15px", 90},
        SeamCase{"third paragraph", kSmaller, "P", 2, "15px", 90},
        SeamCase{"paragraph in a DIV", kSmaller, "P", 3, "15px", 90},
        // Sizes that rest on an absolute one are reported in its unit.
        SeamCase{"points", "<div style='font-size:12pt'><h1>x<b>y</b></h1></div>", "B", 0, "24pt",
                 180},
        SeamCase{"pixels", "<style>body{font-size:14px} h1{font-size:150%}</style><h1>x<b>y</b>",
                 "B", 0, "21px", 126},
        SeamCase{"a declared size is as written",
                 "<div style='font-size:2em'><p style='font-size:50%'>x", "P", 0, "50%", 100},
        SeamCase{"an absolute size is inherited as written", "<div style='font-size:12pt'><p>x",
                 "P", 0, "12pt", 90},
        SeamCase{"smaller inside small", "<p style='font-size:small'>a<small>b<b>c</b></small>",
                 "B", 0, "12.5px", 75},
        SeamCase{"font size +1", "<p><font size=+1>a<b>b</b></font>", "B", 0, "18.3334px", 110},
        SeamCase{"rem against the root",
                 "<style>html{font-size:50%}</style><p style='font-size:3rem'>x", "P", 0, "25px",
                 150},
        // Deep nesting does not compound.
        SeamCase{"nested em", "<style>div{font-size:1em}</style><div><div><div><div><p>x", "P", 0,
                 "16.6667px", 100}),
    SeamName);

INSTANTIATE_TEST_SUITE_P(LineHeights, StyleSeamTest,
                         testing::Values(SeamCase{"unitless 1.5", "<p style='line-height:1.5'>x",
                                                  "P", 0, "medium", 100, "25px", 150},
                                         SeamCase{"unitless 1", "<p style='line-height:1'>x", "P",
                                                  0, "medium", 100, "16.6667px", 100},
                                         SeamCase{"a factor is inherited with the child's own size",
                                                  "<p style='line-height:1.5'>x<big>y</big>", "BIG",
                                                  0, "larger", 120, "30px", 180},
                                         SeamCase{"a percentage is inherited as the height it was",
                                                  "<p style='line-height:150%'>x<big>y</big>",
                                                  "BIG", 0, "larger", 120, "25px", 150},
                                         SeamCase{"declared em",
                                                  "<p style='font-size:small;line-height:2em'>x",
                                                  "P", 0, "small", 90, "2em", 180}),
                         SeamName);

}  // namespace

namespace {

CElementStyle RecordOf(IHTMLElement* e) {
  ComPtr<IHTMLElement2> e2;
  ComPtr<IHTMLElement>(e).As(IID_IHTMLElement2, std::addressof(e2));
  return CElementStyle::Of(e2.Get());
}

std::string Fields(const CTextStyle& s) {
  return std::to_string(s.m_nFontSize) + " " + std::to_string(s.m_nLineHeight) + " " +
         std::to_string(s.m_crText) + " " + std::to_string(s.m_crTextBack) + " " +
         std::to_string(s.m_bTextBackSet) + " " + std::to_string(s.m_bBlockBackSet) + " " +
         std::to_string(s.m_crBlockBack) + " " + std::to_string(s.m_bBold) + " " +
         std::to_string(s.m_nMarginBottom) + " " + std::to_string(s.m_bPreserveSpace) + " " +
         std::to_string(s.m_nAlign);
}

}  // namespace

// The converter reads the model's records and keeps what it made of each. Whatever it read
// before, and under whatever enclosing element, that must come out as reading currentStyle
// afresh does: one reader serves every page and pair here, a fresh one checks each.
TEST(StyleSeam, ARecordReadAgainComesOutAsReadAfresh) {
  const char* pages[] = {
      kHeadings,
      kSmaller,
      "<div style='background-color:red'><p>a</p></div><div style='background-color:blue'>"
      "<p>b</p></div><p>c</p><div style='font-size:20px'><span style='font-size:2em'>d</span>"
      "</div><div style='font-size:10px'><span style='font-size:2em'>e</span></div>"
      "<pre>f<b>g</b></pre><p style='text-align:center;color:green'>h<b>i</b></p>",
  };
  CStyleReader kept;
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    ComPtr<IHTMLDocument2> doc = Load(page);
    std::vector<ComPtr<IHTMLElement>> elements = mshtml_test::AllElements(doc.Get());
    // Each element under its own ancestors, and under every other element's chain.
    for (const auto& enclosing : elements) {
      for (const auto& target : elements) {
        std::vector<ComPtr<IHTMLElement>> chain = Chain(enclosing);
        chain.push_back(target);
        CStyleReader fresh;
        for (const auto& e : chain) {
          kept.PushStyle(RecordOf(e.Get()));
          fresh.PushStyle(StyleOf(e.Get()).Get());
        }
        ASSERT_EQ(Fields(*fresh.GetTopStyle()), Fields(*kept.GetTopStyle()));
        while (kept.Depth() > 0) kept.PopStyle();
      }
    }
  }
}
