// The element tree as the conversion engine walks it: children by position, comments,
// adjacent text, inner text, addresses, per-kind interfaces and reference counts.
#include <gtest/gtest.h>

#include "platform/mshtml/element_text.h"
#include "platform/mshtml/objects.h"
#include "platform/mshtml/url.h"
#include "tests/platform_mshtml/test_util.h"

using namespace mshtml_test;

namespace {

TEST(Children, ElementsAndCommentsByPositionNeverText) {
  struct Case {
    const char* html;
    const char* body;  // child tags of BODY
  } cases[] = {
      {"<p>a</p><!-- c --><div>b</div>", "P ! DIV"},
      {"only text", ""},
      {"x<b>y</b>z<i>w</i>", "B I"},
      {"<custom-el>x</custom-el><SPAN>y</SPAN>", "CUSTOM-EL SPAN"},
      {"<table><tr><td>x</table>", "TABLE"},
      {"<ruby>base<rt>reading</rt></ruby>", "RUBY"},
      {"<svg><circle/></svg><math></math>", "SVG MATH"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = Written(c.html);
    EXPECT_EQ(c.body, ChildTags(Body(doc.Get()).Get()));
  }
  auto doc = Written("<table><tr><td>x</td><!--n--><td>y</td></tr></table>");
  auto tr = First(doc.Get(), "TR");
  ASSERT_TRUE(tr);
  EXPECT_EQ("TD ! TD", ChildTags(tr.Get()));
}

TEST(Comments, TextKeepsItsDelimitersAndOnlyCommentsAnswer) {
  struct Case {
    const char* html;
    const char* text;
  } cases[] = {
      {"<p>a<!-- S -->b</p>", "<!-- S -->"},
      {"<p><!---->b</p>", "<!---->"},
      {"<p><!--x--y-->b</p>", "<!--x--y-->"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = Written(c.html);
    auto comment = First(doc.Get(), "!");
    ASSERT_TRUE(comment);
    ComPtr<IHTMLCommentElement> ce;
    ASSERT_EQ(S_OK, Query(comment, IID_IHTMLCommentElement, ce));
    BStr text;
    ASSERT_EQ(S_OK, ce->get_text(&text));
    EXPECT_EQ(c.text, U8(text));
    // A comment is styled like an inline element, so the walker can push its style.
    ComPtr<IHTMLElement2> e2;
    ASSERT_EQ(S_OK, Query(comment, IID_IHTMLElement2, e2));
    ComPtr<IHTMLCurrentStyle> style;
    EXPECT_EQ(S_OK, e2->get_currentStyle(&style));
    EXPECT_TRUE(style);
  }
}

TEST(AdjacentText, RunsBeforeStartAndEnd) {
  struct Case {
    const char* html;
    const char* tag;
    int nth;
    const char16_t* where;
    const char* expected;
  } cases[] = {
      {"<p>A<b>B</b>C</p>", "B", 0, u"beforeBegin", "A"},
      {"<p>A<b>B</b>C</p>", "B", 0, u"beforeEnd", "B"},
      {"<p>A<b>B</b>C</p>", "P", 0, u"beforeEnd", "C"},
      {"<p>A<b>B</b>C</p>", "B", 0, u"BEFOREBEGIN", "A"},
      {"<p>A<b>B</b>C</p>", "B", 0, u"afterEnd", "C"},
      {"<p>A<b>B</b>C</p>", "P", 0, u"afterBegin", "A"},
      {"<p>Keep<!--X-->Drop<!--/X-->More</p>", "!", 0, u"beforeBegin", "Keep"},
      {"<p>Keep<!--X-->Drop<!--/X-->More</p>", "!", 1, u"beforeBegin", "Drop"},
      {"<p>Keep<!--X-->Drop<!--/X-->More</p>", "P", 0, u"beforeEnd", "More"},
      {"<p>Keep<!--X-->Drop</p>", "!", 0, u"beforeEnd", ""},
      {"<div>a<p>b</p>c</div>", "P", 0, u"beforeBegin", "a"},
      {"<div>a<p>b</p>c</div>", "DIV", 0, u"beforeEnd", "c"},
      {"<p><b>y</b></p>", "B", 0, u"beforeBegin", ""},
      // White space collapses as displayed; references are decoded; &nbsp; stays U+00A0.
      {"<p>  a \n\t b  <i>x</i></p>", "I", 0, u"beforeBegin", " a b "},
      {"<p>x&nbsp;&amp;&lt;<b>y</b></p>", "B", 0, u"beforeBegin", "x\u00A0&<"},
      {"<p>\n\n<b>y</b></p>", "B", 0, u"beforeBegin", " "},
      {"<pre>  a\n  b<i>x</i>\n</pre>", "I", 0, u"beforeBegin", "  a\n  b"},
      {"<pre>x<b>  c\n d</b></pre>", "B", 0, u"beforeEnd", "  c\n d"},
      {"<p>one<br>two</p>", "BR", 0, u"beforeBegin", "one"},
      // What scripts and style sheets hold is never page text.
      {"<p>a<script>var x = 1;</script></p>", "SCRIPT", 0, u"beforeEnd", ""},
      {"<p>a<style>p{}</style></p>", "STYLE", 0, u"beforeEnd", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.html) + " " + c.tag + " " + U8(c.where));
    auto doc = Written(c.html);
    auto e = First(doc.Get(), c.tag, c.nth);
    ASSERT_TRUE(e);
    EXPECT_EQ(c.expected, Adjacent(e.Get(), c.where));
  }
  auto doc = Written("<p>a</p>");
  ComPtr<IHTMLElement2> p2;
  ASSERT_EQ(S_OK, Query(First(doc.Get(), "P"), IID_IHTMLElement2, p2));
  BStr bad(u"inside"), text;
  EXPECT_EQ(E_INVALIDARG, p2->getAdjacentText(bad.Get(), &text));
  EXPECT_FALSE(text);
}

TEST(InnerText, DisplayedTextOnly) {
  struct Case {
    const char* html;
    const char* tag;
    const char* expected;
  } cases[] = {
      {"<p>a <b>b</b> <!--c--> d<script>x()</script><style>p{}</style></p>", "P", "a b d"},
      {"<div><p>one</p><p>two</p></div>", "DIV", "one\r\ntwo"},
      {"<p>a<br>b</p>", "P", "a\r\nb"},
      {"<p>  </p>", "P", ""},
      {"<p><img src=x.png></p>", "P", ""},
      {"<pre>a  b</pre>", "PRE", "a  b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = Written(c.html);
    auto e = First(doc.Get(), c.tag);
    ASSERT_TRUE(e);
    BStr text;
    ASSERT_EQ(S_OK, e->get_innerText(&text));
    EXPECT_EQ(c.expected, U8(text));
  }
}

// Whether an element shows text, asked without its inner text: the same answer as trimming
// innerText of Unicode white space, including white space that is not an HTML space.
TEST(InnerText, ShownTextAgreesWithInnerText) {
  struct Case {
    const char* html;
    const char* tag;
    bool shown;
  } cases[] = {
      {"<p>a</p>", "P", true},
      {"<p> \n\t </p>", "P", false},
      {"<p><b> </b><i>\n</i></p>", "P", false},
      {"<p><b> </b><i><u>x</u></i></p>", "P", true},
      {"<p>  <br>  </p>", "P", false},
      {"<p><!--words--><script>x()</script><style>p{}</style></p>", "P", false},
      {"<p><img src=x.png></p>", "P", false},
      {"<p>&nbsp;\u3000\u2003&#x2028;&#x0B;</p>", "P", false},
      {"<p>&nbsp;\u3000\u00e9</p>", "P", true},
      {"<p>\u200b</p>", "P", true},  // a zero-width space is no white space
      {"<pre>   </pre>", "PRE", false},
      {"<div><p> </p>tail</div>", "DIV", true},
      {"<div><p>in</p> </div>", "DIV", true},
      {"<div><textarea>t</textarea></div>", "DIV", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = Written(c.html);
    auto e = First(doc.Get(), c.tag);
    ASSERT_TRUE(e);
    ComPtr<IElementText> text;
    ASSERT_EQ(S_OK, Query(e, IID_IElementText, text));
    BOOL shown = FALSE;
    ASSERT_EQ(S_OK, text->HasShownText(&shown));
    EXPECT_EQ(c.shown, shown != FALSE);
    BStr inner;
    ASSERT_EQ(S_OK, e->get_innerText(&inner));
    std::u16string s = inner.Str();
    bool nonBlank = false;
    for (char16_t ch : s) {
      bool space = ch == u' ' || (ch >= u'\t' && ch <= u'\r') || ch == 0x85 || ch == 0xA0 ||
                   ch == 0x3000 || ch == 0x2028 || (ch >= 0x2000 && ch <= 0x200A);
      nonBlank |= !space;
    }
    EXPECT_EQ(nonBlank, shown != FALSE) << U8(s);
  }
}

std::string Href(IHTMLElement* e) {
  ComPtr<IHTMLElement> el(e);
  ComPtr<IHTMLAnchorElement> a;
  ComPtr<IHTMLImgElement> img;
  BStr href;
  if (SUCCEEDED(Query(el, IID_IHTMLAnchorElement, a))) {
    a->get_href(&href);
  } else if (SUCCEEDED(Query(el, IID_IHTMLImgElement, img))) {
    img->get_href(&href);
  } else {
    return "<no href interface>";
  }
  return U8(href);
}

TEST(Addresses, AbsoluteAgainstTheDocumentAndBase) {
  struct Case {
    const char16_t* url;  // null: a written document (about:blank)
    const char* html;
    const char* tag;
    const char* expected;
  } cases[] = {
      {nullptr, "<a href='#top'>x</a>", "A", "about:blank#top"},
      {nullptr, "<img src='a.png'>", "IMG", "about:blanka.png"},
      {nullptr, "<img src='/img/a.png'>", "IMG", "about:blank/img/a.png"},
      {nullptr, "<a href='http://x.test/y'>x</a>", "A", "http://x.test/y"},
      {nullptr, "<base href='http://cdn.test/x/'><img src='a.png'>", "IMG",
       "http://cdn.test/x/a.png"},
      {u"http://example.test/dir/page.html", "<img src='../img/a.png'>", "IMG",
       "http://example.test/img/a.png"},
      {u"http://example.test/dir/page.html", "<a href='#top'>t</a>", "A",
       "http://example.test/dir/page.html#top"},
      {u"http://example.test/dir/page.html", "<a href='  other.html?q=1 '>t</a>", "A",
       "http://example.test/dir/other.html?q=1"},
      {u"http://example.test/dir/page.html", "<img src='my pic.png'>", "IMG",
       "http://example.test/dir/my%20pic.png"},
      {u"http://example.test/dir/page.html", "<base href='/root/'><a href='./a/../b'>t</a>", "A",
       "http://example.test/root/b"},
      {u"file:///home/u/page.html", "<img src='pics/a.png'>", "IMG", "file:///home/u/pics/a.png"},
      {u"http://example.test/", "<a name='n'>t</a>", "A", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = c.url ? Loaded(c.html, c.url) : Written(c.html);
    auto e = First(doc.Get(), c.tag);
    ASSERT_TRUE(e);
    EXPECT_EQ(c.expected, Href(e.Get()));
  }
}

// A link to a fragment of the page resolves as any other reference does, against every kind of
// base: with a fragment or query of its own, without a path, no hierarchy, or set by <base>.
TEST(Addresses, FragmentLinksResolveAsOtherReferences) {
  const char16_t* urls[] = {u"http://example.test/dir/page.html",
                            u"http://example.test/dir/page.html?q=1#old",
                            u"http://example.test",
                            u"file:///home/u/page.html#x#y",
                            u"mailto:someone@example.test",
                            nullptr};
  const char* refs[] = {"#",         "#top",    "#a#b",
                        "#a?b=c",    "  #lead", "#sp ace",
                        "#t\tab",    "##two",   "#\xC3\xA9t\xC3\xA9",
                        "#a<b>\"c`", "#%41",    "#a\\b"};
  for (const char16_t* url : urls) {
    const std::string page = url ? U8(url) : "about:blank";
    const bool web = page.starts_with("http:");
    // The <base> and the base it makes: a web page's base stays on the web.
    const std::pair<std::string, std::string> bases[] = {
        {"", page},
        {"<base href='http://cdn.test/x/?a#b'>", "http://cdn.test/x/?a#b"},
        {"<base href='about:blank'>", web ? page : "about:blank"}};
    for (const auto& [tag, base] : bases) {
      for (const char* ref : refs) {
        std::string html = tag + "<a href='" + ref + "'>x</a>";
        SCOPED_TRACE(html + " at " + page);
        auto doc = url ? Loaded(html, url) : Written(html);
        EXPECT_EQ(Href(First(doc.Get(), "A").Get()),
                  platform::mshtml::ResolveUrl(base, platform::mshtml::CleanUrlAttribute(ref)));
      }
    }
  }
}

TEST(Anchors, NameAsWritten) {
  auto doc = Written("<a name='Top'>x</a><a href='#'>y</a>");
  ComPtr<IHTMLAnchorElement> a;
  ASSERT_EQ(S_OK, Query(First(doc.Get(), "A"), IID_IHTMLAnchorElement, a));
  BStr name;
  ASSERT_EQ(S_OK, a->get_name(&name));
  EXPECT_EQ("Top", U8(name));
  ASSERT_EQ(S_OK, Query(First(doc.Get(), "A", 1), IID_IHTMLAnchorElement, a));
  ASSERT_EQ(S_OK, a->get_name(&name));
  EXPECT_FALSE(name);
}

TEST(Rules, SizeAttributeOrEmpty) {
  struct Case {
    const char* html;
    VARTYPE vt;
    const char* value;
  } cases[] = {
      {"<hr size=5>", VT_BSTR, "5"}, {"<hr size=' 7px'>", VT_BSTR, " 7px"}, {"<hr>", VT_EMPTY, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html);
    auto doc = Written(c.html);
    ComPtr<IHTMLHRElement> hr;
    ASSERT_EQ(S_OK, Query(First(doc.Get(), "HR"), IID_IHTMLHRElement, hr));
    ScopedVariant v;
    ASSERT_EQ(S_OK, hr->get_size(&v));
    EXPECT_EQ(c.vt, v.vt);
    if (v.vt == VT_BSTR) {
      EXPECT_EQ(c.value, U8(std::u16string(v.bstrVal, SysStringLen(v.bstrVal))));
    }
  }
}

TEST(Interfaces, EachKindAnswersOnlyItsOwn) {
  auto doc = Written("<a href=x>a</a><img src=y><hr><!--c--><p>p</p>");
  struct Case {
    const char* tag;
    const IID* iid;
    bool answers;
  } cases[] = {
      {"A", &IID_IHTMLAnchorElement, true},  {"A", &IID_IHTMLImgElement, false},
      {"IMG", &IID_IHTMLImgElement, true},   {"IMG", &IID_IHTMLAnchorElement, false},
      {"HR", &IID_IHTMLHRElement, true},     {"P", &IID_IHTMLHRElement, false},
      {"!", &IID_IHTMLCommentElement, true}, {"P", &IID_IHTMLCommentElement, false},
      {"P", &IID_IHTMLElement2, true},       {"P", &IID_IDispatch, true},
      {"P", &IID_IHTMLDocument2, false},     {"P", &IID_IHTMLCurrentStyle, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    auto e = First(doc.Get(), c.tag);
    ASSERT_TRUE(e);
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr = e->QueryInterface(*c.iid, &p);
    EXPECT_EQ(c.answers ? S_OK : E_NOINTERFACE, hr);
    EXPECT_EQ(c.answers, p != nullptr);
    if (p) static_cast<IUnknown*>(p)->Release();
  }
}

TEST(References, EveryObjectIsFreedAndIdentityHolds) {
  long before = platform::mshtml::LiveObjectCount();
  {
    auto doc = Written("<p id=a>x<b>y</b></p><a href=z>l</a><!--c-->");
    auto p1 = First(doc.Get(), "P");
    auto p2 = First(doc.Get(), "P");
    ComPtr<IUnknown> u1, u2;
    Query(p1, IID_IUnknown, u1);
    Query(p2, IID_IUnknown, u2);
    EXPECT_EQ(u1.Get(), u2.Get());
    // The parent of a child is the same object as the element itself.
    auto b = First(doc.Get(), "B");
    ComPtr<IHTMLElement> parent;
    ASSERT_EQ(S_OK, b->get_parentElement(&parent));
    ComPtr<IUnknown> up;
    Query(parent, IID_IUnknown, up);
    EXPECT_EQ(u1.Get(), up.Get());
    // An element outlives its document.
    doc = nullptr;
    BStr id;
    ASSERT_EQ(S_OK, p1->get_id(&id));
    EXPECT_EQ("a", U8(id));
    EXPECT_EQ("y", Adjacent(b.Get(), u"beforeEnd"));
  }
  EXPECT_EQ(before, platform::mshtml::LiveObjectCount());
  // A walk over everything the engine touches releases all of it.
  {
    auto doc = Loaded("<frameset><frame src='about:none'></frameset>", u"http://h.test/");
    ComPtr<IHTMLFramesCollection2> frames;
    ASSERT_EQ(S_OK, doc->get_frames(&frames));
    ComPtr<IHTMLStyleSheetsCollection> sheets;
    ASSERT_EQ(S_OK, doc->get_styleSheets(&sheets));
    auto body = Body(doc.Get());
    ASSERT_TRUE(body);
    EXPECT_EQ("FRAMESET", Tag(body.Get()));
  }
  EXPECT_EQ(before, platform::mshtml::LiveObjectCount());
}

TEST(Collections, ItemsByPositionIdAndTag) {
  auto doc = Written("<div id=x>1</div><div name=n>2</div><p id=x>3</p>");
  ComPtr<IHTMLElementCollection> all;
  ASSERT_EQ(S_OK, doc->get_all(&all));
  ScopedVariant tag;
  tag.vt = VT_BSTR;
  tag.bstrVal = SysAllocString(u"div");
  ComPtr<IDispatch> divsDisp;
  ASSERT_EQ(S_OK, all->tags(tag, &divsDisp));
  ComPtr<IHTMLElementCollection> divs;
  ASSERT_EQ(S_OK, Query(divsDisp, IID_IHTMLElementCollection, divs));
  LONG n = 0;
  divs->get_length(&n);
  EXPECT_EQ(2, n);

  struct Case {
    VARTYPE vt;
    long position;
    const char16_t* name;
    long index;       // -1: empty
    const char* tag;  // null: nothing there
  } cases[] = {
      {VT_UINT, 0, nullptr, -1, "HTML"},  {VT_I4, 999, nullptr, -1, nullptr},
      {VT_I4, -1, nullptr, -1, nullptr},  {VT_BSTR, 0, u"x", -1, "DIV"},
      {VT_BSTR, 0, u"x", 1, "P"},         {VT_BSTR, 0, u"n", -1, "DIV"},
      {VT_BSTR, 0, u"none", -1, nullptr},
  };
  for (const auto& c : cases) {
    ScopedVariant name, index;
    name.vt = c.vt;
    if (c.vt == VT_BSTR) {
      name.bstrVal = SysAllocString(c.name);
    } else {
      name.lVal = c.position;
    }
    if (c.index >= 0) {
      index.vt = VT_I4;
      index.lVal = c.index;
    }
    ComPtr<IDispatch> item;
    ASSERT_EQ(S_OK, all->item(name, index, &item));
    if (!c.tag) {
      EXPECT_FALSE(item);
      continue;
    }
    ComPtr<IHTMLElement> e;
    ASSERT_EQ(S_OK, Query(item, IID_IHTMLElement, e));
    EXPECT_EQ(c.tag, Tag(e.Get()));
  }
}

TEST(Document, EmptyAddressTitleAndDesignMode) {
  ComPtr<IHTMLDocument2> doc;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IHTMLDocument2, doc.ReleaseAndGetVoidAddress()));
  BStr url;
  ASSERT_EQ(S_OK, doc->get_URL(&url));
  EXPECT_EQ("about:blank", U8(url));
  EXPECT_EQ("", ChildTags(Body(doc.Get()).Get()));
  BStr mode;
  BStr bad(u"sideways"), on(u"on");
  EXPECT_EQ(E_INVALIDARG, doc->put_designMode(bad.Get()));
  EXPECT_EQ(S_OK, doc->put_designMode(on.Get()));
  ASSERT_EQ(S_OK, doc->get_designMode(&mode));
  EXPECT_EQ("On", U8(mode));

  auto titled = Written("<title>  My \n Page </title><p>x");
  BStr title;
  ASSERT_EQ(S_OK, titled->get_title(&title));
  EXPECT_EQ("My Page", U8(title));
  // writeln appends; the next read sees everything written.
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  VARIANT* items = nullptr;
  SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
  items[0].vt = VT_BSTR;
  items[0].bstrVal = SysAllocString(u"<div>more</div>");
  SafeArrayUnaccessData(sa);
  ASSERT_EQ(S_OK, titled->writeln(sa));
  SafeArrayDestroy(sa);
  EXPECT_EQ("P DIV", ChildTags(Body(titled.Get()).Get()));
}

TEST(Document, ParentChainEndsAtTheRoot) {
  auto doc = Written("<p><b>x</b></p>");
  auto e = First(doc.Get(), "B");
  std::string chain;
  while (e) {
    chain += Tag(e.Get()) + " ";
    ComPtr<IHTMLElement> parent;
    ASSERT_EQ(S_OK, e->get_parentElement(&parent));
    e = parent;
  }
  EXPECT_EQ("B P BODY HTML ", chain);
}

}  // namespace
