// The document model's own routes beside its MSHTML-shaped interfaces, which the engine takes
// when it finds them: each must give what the public route gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/style/StyleReader.h"
#include "platform/com/com.h"
#include "platform/mshtml/computed_style.h"
#include "platform/mshtml/element_links.h"
#include "platform/mshtml/element_views.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"
#include "tests/platform_mshtml/test_util.h"

namespace {

using mshtml_test::U8;

ComPtr<IHTMLDocument2> Load(const std::string& html) {
  return mshtml_test::Loaded(html, u"file:///routes/page.html");
}

// The model's record and its currentStyle are two routes to one style: every property the engine
// reads comes out the same, and so does the text style made of them.
TEST(StyleRouteTest, RecordAndCurrentStyleAgree) {
  ComPtr<IHTMLDocument2> doc = Load(
      "<style>p.k{color:#336;background-color:yellow;margin:1em 0 10%}h2{page-break-after:always}"
      "span{background-color:transparent}pre{white-space:pre}</style>"
      "<h2 style='text-align:center'>T<!-- c --></h2><p class=k>a<b>b<span>c</span></b>"
      "<i style='font-weight:700;line-height:normal;color:rgb(10, 20, 30)'>i</i></p>"
      "<hr style='border-style:dashed'><pre style='font-size:2em'>x<em>y</em></pre>"
      "<div style='display:none;text-align:right;white-space:pre-wrap'>z</div>"
      "<p style='font-family:\"\u00e9t\u00e9\";font-size:9pt'>\u00e9</p>");
  ComPtr<IHTMLElementCollection> all;
  ASSERT_EQ(doc->get_all(&all), S_OK);
  LONG n = 0;
  all->get_length(&n);
  ASSERT_EQ(n, 15);
  const StyleProp props[] = {
      StyleProp::kFontSize,        StyleProp::kLineHeight, StyleProp::kColor,
      StyleProp::kBackgroundColor, StyleProp::kFontWeight, StyleProp::kMarginTop,
      StyleProp::kMarginBottom,    StyleProp::kTextAlign,  StyleProp::kBorderStyle,
      StyleProp::kPageBreakAfter,  StyleProp::kDisplay,    StyleProp::kWhiteSpace};
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ComPtr<IHTMLElement2> e2;
    ASSERT_TRUE(item && SUCCEEDED(item.As(IID_IHTMLElement2, std::addressof(e2))) && e2);
    SCOPED_TRACE("element " + std::to_string(i));
    ComPtr<IComputedStyleRecord> record;
    ASSERT_EQ(e2->QueryInterface(IID_IComputedStyleRecord, record.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IHTMLCurrentStyle> current;
    ASSERT_EQ(e2->get_currentStyle(&current), S_OK);
    CElementStyle direct = CElementStyle::Of(e2.Get());
    CElementStyle viaCom(current.Get());
    for (StyleProp p : props) {
      SCOPED_TRACE("property " + std::to_string(static_cast<int>(p)));
      StyleValue a = direct.Get(p);
      std::u16string textA = a.text ? a.text : u"";
      StyleValue b = viaCom.Get(p);
      EXPECT_EQ(a.kind, b.kind);
      EXPECT_EQ(textA, b.text ? std::u16string(b.text) : u"");
      // The comparison that reads the record in place answers as a comparison of the text.
      std::u16string text(viaCom.Text(p));
      for (std::u16string other : {text, text + u"x", std::u16string(u"none"),
                                   std::u16string(u"\u00e9t\u00e9"), std::u16string()}) {
        EXPECT_EQ(direct.TextIs(p, other), text == other) << U8(other);
      }
    }
    // The same text style, on the parent's as the enclosing one.
    CStyleReader one, two;
    ComPtr<IHTMLElement> element, parent;
    ComPtr<IHTMLElement2> parent2;
    ASSERT_TRUE(SUCCEEDED(item.As(IID_IHTMLElement, std::addressof(element))) && element);
    if (SUCCEEDED(element->get_parentElement(&parent)) && parent &&
        SUCCEEDED(parent.As(IID_IHTMLElement2, std::addressof(parent2)))) {
      ComPtr<IHTMLCurrentStyle> parentStyle;
      ASSERT_EQ(parent2->get_currentStyle(&parentStyle), S_OK);
      one.PushStyle(CElementStyle::Of(parent2.Get()));
      two.PushStyle(parentStyle.Get());
    }
    one.PushStyle(direct);
    two.PushStyle(viaCom);
    const CTextStyle& x = *one.GetTopStyle();
    const CTextStyle& y = *two.GetTopStyle();
    EXPECT_EQ(x.m_nFontSize, y.m_nFontSize);
    EXPECT_EQ(x.m_nLineHeight, y.m_nLineHeight);
    EXPECT_EQ(x.m_crText, y.m_crText);
    EXPECT_EQ(x.m_crTextBack, y.m_crTextBack);
    EXPECT_EQ(x.m_bTextBackSet, y.m_bTextBackSet);
    EXPECT_EQ(x.m_crBlockBack, y.m_crBlockBack);
    EXPECT_EQ(x.m_bBlockBackSet, y.m_bBlockBackSet);
    EXPECT_EQ(x.m_bBold, y.m_bBold);
    EXPECT_EQ(x.m_nMarginBottom, y.m_nMarginBottom);
    EXPECT_EQ(x.m_nAlign, y.m_nAlign);
    EXPECT_EQ(x.m_bPreserveSpace, y.m_bPreserveSpace);
  }
}

// Children by links: the same nodes, in the same order, as the children collection, for every
// element of a page with comments, empty elements and nesting.
TEST(LinksRouteTest, FirstChildAndNextSiblingGiveTheChildren) {
  ComPtr<IHTMLDocument2> doc = Load(
      "<!-- before --><div><p>a<!-- in --><b>b</b></p><br><p></p>text<!-- last --></div>"
      "<ul><li>1<li>2<ul><li>2.1</ul><li>3</ul><table><tr><td>x</td></tr></table>");
  const std::vector<ComPtr<IHTMLElement>> elements = mshtml_test::AllElements(doc.Get());
  ASSERT_GE(elements.size(), 18u);
  int withChildren = 0;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    SCOPED_TRACE("element " + std::to_string(i));
    const ComPtr<IHTMLElement>& element = elements[i];
    std::vector<ComPtr<IHTMLElement>> expected = mshtml_test::Children(element.Get());
    if (!expected.empty()) ++withChildren;

    std::vector<IUnknown*> linked;
    ComPtr<IElementLinks> links;
    ASSERT_EQ(element.As(IID_IElementLinks, std::addressof(links)), S_OK);
    ComPtr<IHTMLElement> child;
    ASSERT_EQ(links->GetFirstChild(&child), S_OK);
    std::vector<ComPtr<IHTMLElement>> keep;
    while (child && linked.size() <= expected.size()) {
      ComPtr<IUnknown> identity;
      ASSERT_EQ(child.As(IID_IUnknown, std::addressof(identity)), S_OK);
      linked.push_back(identity.Get());
      ComPtr<IElementLinks> childLinks;
      ASSERT_EQ(child.As(IID_IElementLinks, std::addressof(childLinks)), S_OK);
      ComPtr<IHTMLElement> next;
      ASSERT_EQ(childLinks->GetNextSibling(&next), S_OK);
      keep.push_back(std::move(child));
      child = std::move(next);
    }
    ASSERT_EQ(linked.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      ComPtr<IUnknown> identity;
      ASSERT_EQ(expected[k].As(IID_IUnknown, std::addressof(identity)), S_OK);
      EXPECT_EQ(linked[k], identity.Get()) << "child " << k;
    }
  }
  EXPECT_GT(withChildren, 8);
}

}  // namespace

// Names and runs by views: for every element and comment of each page and every place, the
// lent name is the tag name before upper-casing and the lent run is the text getAdjacentText
// gives; pages with preserved and collapsed white space, hidden text, non-ASCII text and
// comments.
TEST(ViewsRouteTest, LentNamesAndRunsAreWhatTheBstrCallsGive) {
  const char* pages[] = {
      "<p>a <b> b\t</b>\n c<!-- x --> d</p><div>\u00e9t\u00e9 <i>\u3042</i>&nbsp;e</div>",
      "<pre>  x\n  <b> y </b>\t</pre><p style='white-space:pre-line'>a\n  b <em>c\n\n</em></p>"
      "<div style='white-space:pre-wrap'> k  <span>l </span></div><textarea> t  </textarea>",
      "<script>var s = '<b>';</script><style>p{}</style><noscript> n </noscript>"
      "<table><tr><td> 1 </td> <td>2</td></tr></table><p>\u00a0\u2003x<br>y <img src=a.png> z",
      "text at the start <custom-tag> in <Mixed-Case>m</Mixed-Case></custom-tag> end"};
  const AdjacentPlace places[] = {AdjacentPlace::kBeforeBegin, AdjacentPlace::kAfterBegin,
                                  AdjacentPlace::kBeforeEnd, AdjacentPlace::kAfterEnd};
  const char16_t* placeNames[] = {u"beforeBegin", u"afterBegin", u"beforeEnd", u"afterEnd"};
  for (const char* page : pages) {
    SCOPED_TRACE(page);
    ComPtr<IHTMLDocument2> doc = Load(page);
    const std::vector<ComPtr<IHTMLElement>> elements = mshtml_test::AllElements(doc.Get());
    ASSERT_GT(elements.size(), 4u);
    int runs = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
      SCOPED_TRACE("element " + std::to_string(i));
      const ComPtr<IHTMLElement>& element = elements[i];
      ComPtr<IHTMLElement2> element2;
      ComPtr<IElementViews> views;
      ASSERT_TRUE(SUCCEEDED(element.As(IID_IHTMLElement2, std::addressof(element2))));
      ASSERT_EQ(element.As(IID_IElementViews, std::addressof(views)), S_OK);

      BStr tag;
      ASSERT_EQ(element->get_tagName(&tag), S_OK);
      const char* local = nullptr;
      UINT length = 0;
      ASSERT_EQ(views->GetLocalName(&local, &length), S_OK);
      std::u16string upper = platform::com::Utf8ToUtf16(std::string_view(local, length));
      for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
      EXPECT_EQ(U8(upper), U8(tag.Str()));

      for (std::size_t p = 0; p < 4; ++p) {
        SCOPED_TRACE(U8(placeNames[p]));
        BStr where(placeNames[p]);
        BStr text;
        ASSERT_EQ(element2->getAdjacentText(where.Get(), &text), S_OK);
        const char16_t* lent = nullptr;
        UINT lentLength = 99;
        ASSERT_EQ(views->LendAdjacentText(places[p], &lent, &lentLength), S_OK);
        EXPECT_EQ(U8(std::u16string(lent, lentLength)), U8(text.Str()));
        if (lentLength > 0) ++runs;
      }
    }
    EXPECT_GT(runs, 3);
  }
  // Bad arguments are refused, not followed.
  ComPtr<IHTMLDocument2> doc = Load("<p>x</p>");
  ComPtr<IElementViews> views;
  ASSERT_EQ(mshtml_test::First(doc.Get(), "P").As(IID_IElementViews, std::addressof(views)), S_OK);
  const char16_t* lent = nullptr;
  UINT length = 0;
  EXPECT_EQ(views->LendAdjacentText(static_cast<AdjacentPlace>(7), &lent, &length), E_INVALIDARG);
  EXPECT_EQ(views->LendAdjacentText(AdjacentPlace::kAfterBegin, nullptr, &length), E_POINTER);
  EXPECT_EQ(views->GetLocalName(nullptr, &length), E_POINTER);
}
