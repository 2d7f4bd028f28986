// Hostile pages: each of these finishes quickly (the benchmarks measure how quickly) and
// leaves a tree that stays within the caps, without deep recursion anywhere.
#include <gtest/gtest.h>

#include "tests/platform_mshtml/test_util.h"

using namespace mshtml_test;

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string r;
  r.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

// Depth of the deepest element, by walking children iteratively through the interfaces.
int MaxDepth(IHTMLDocument2* doc) {
  ComPtr<IHTMLElementCollection> all;
  doc->get_all(&all);
  LONG n = 0;
  all->get_length(&n);
  int deepest = 0;
  // Sampling the last element is enough: the deepest chains end there in these pages.
  for (LONG i = n - 1; i >= 0 && i >= n - 3; --i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ComPtr<IHTMLElement> e;
    Query(item, IID_IHTMLElement, e);
    int depth = 0;
    while (e) {
      ++depth;
      ComPtr<IHTMLElement> parent;
      e->get_parentElement(&parent);
      e = parent;
    }
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

void ReadEverything(IHTMLDocument2* doc) {
  ComPtr<IHTMLElementCollection> all;
  ASSERT_EQ(S_OK, doc->get_all(&all));
  LONG n = 0;
  all->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ComPtr<IHTMLElement2> e2;
    ASSERT_EQ(S_OK, Query(item, IID_IHTMLElement2, e2));
    ComPtr<IHTMLCurrentStyle> style;
    ASSERT_EQ(S_OK, e2->get_currentStyle(&style));
    ScopedVariant v;
    style->get_fontSize(&v);
    BStr text, where(u"beforeBegin");
    e2->getAdjacentText(where.Get(), &text);
  }
}

TEST(Limits, HostilePagesStayBounded) {
  std::string manyAttributes = "<div";
  for (int i = 0; i < 100000; ++i) manyAttributes += " a" + std::to_string(i) + "=x";
  manyAttributes += ">x</div>";
  std::string distinctFormatting;
  for (int i = 0; i < 5000; ++i) distinctFormatting += "<b id=b" + std::to_string(i) + ">";
  distinctFormatting += Repeat("<p>x</p>", 200);
  std::string manyRules = "<style>";
  for (int i = 0; i < 50000; ++i) manyRules += ".c" + std::to_string(i) + " p{color:red}";
  manyRules += "</style>" + Repeat("<div class=c7>", 300) + "<p>x</p>";
  std::string longChain = "<style>" + Repeat("div ", 400) + "p{color:red} " +
                          Repeat("div > ", 300) + "span{color:blue}</style>" +
                          Repeat("<div>", 2000) + "<p>x</p><span>y</span>";
  std::string varCycles = "<style>:root{";
  for (int i = 0; i < 2000; ++i)
    varCycles += "--v" + std::to_string(i) + ":var(--v" + std::to_string((i + 1) % 2000) + ");";
  varCycles += "} p{color:var(--v0)}</style>" + Repeat("<p>x</p>", 1000);
  struct Case {
    const char* name;
    std::string html;
  } cases[] = {
      {"50,000 rules", manyRules},
      {"long descendant chains against a deep tree", longChain},
      {"var() cycles", varCycles},
      {"200,000 nested divs", Repeat("<div>", 200000) + "x"},
      {"200,000 nested spans", Repeat("<span>", 200000) + "x"},
      {"200,000 nested mixed", Repeat("<div><span><table><tr><td>", 40000)},
      {"5,000 unclosed divs", Repeat("<div>x", 5000)},
      {"5,000 unclosed formatting", Repeat("<b>", 5000) + Repeat("<p>x", 5000)},
      {"5,000 distinct formatting", distinctFormatting},
      {"5,000 unclosed anchors and fonts", Repeat("<a href=x><font>", 5000) + "x"},
      {"100,000 attributes", manyAttributes},
      {"100,000 comments in a row", "<p>" + Repeat("<!--c-->", 100000)},
      {"deep svg", "<svg>" + Repeat("<g>", 100000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = Written(c.html);
    ASSERT_TRUE(doc);
    EXPECT_LE(MaxDepth(doc.Get()), 512);
    ReadEverything(doc.Get());
  }
}

TEST(Limits, DeepNestingBecomesSiblingsAtTheCap) {
  auto doc = Written(Repeat("<div>", 600) + "x");
  EXPECT_EQ(512, MaxDepth(doc.Get()));
  auto attrs = First(doc.Get(), "DIV");
  ASSERT_TRUE(attrs);
  // Elements past the cap keep the order of the page.
  ComPtr<IHTMLElementCollection> all;
  doc->get_all(&all);
  LONG n = 0;
  all->get_length(&n);
  EXPECT_EQ(3 + 600, n);  // HTML HEAD BODY and the divs
}

TEST(Limits, AttributesPastTheCapAreDropped) {
  std::string html = "<p";
  for (int i = 0; i < 300; ++i) html += " a" + std::to_string(i) + "=v" + std::to_string(i);
  html += " id=last>x</p>";
  auto doc = Written(html);
  auto p = First(doc.Get(), "P");
  ASSERT_TRUE(p);
  struct Case {
    const char16_t* name;
    VARTYPE vt;
  } cases[] = {{u"a0", VT_BSTR}, {u"a255", VT_BSTR}, {u"a256", VT_NULL}, {u"id", VT_NULL}};
  for (const auto& c : cases) {
    ScopedVariant v;
    BStr name(c.name);
    ASSERT_EQ(S_OK, p->getAttribute(name.Get(), 0, &v));
    EXPECT_EQ(c.vt, v.vt) << U8(std::u16string(c.name));
  }
}

}  // namespace

namespace {

TEST(Limits, InnerTextOfALargeBlockAskedOncePerImage) {
  // The image placement asks each image's enclosing block for its text.
  auto doc = Written(Repeat("<img src=a.png> some words of text here ", 3000));
  auto body = Body(doc.Get());
  BStr first;
  ASSERT_EQ(S_OK, body->get_innerText(&first));
  for (int i = 0; i < 3000; ++i) {
    BStr text;
    ASSERT_EQ(S_OK, body->get_innerText(&text));
    ASSERT_EQ(first.Length(), text.Length());
  }
}

}  // namespace
