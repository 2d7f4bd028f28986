// The engine's tests build their documents with the fake model; that is only worth something
// where the fake answers as the real model does. Each row is a page, the same page as the tests
// would build it in the fake, and what the engine reads from it (through the same calls on
// both): tags, ids, attributes, text, adjacent text, the family interfaces and computed style.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/mshtml/mshtml.h"
#include "tests/parser/FakeDom.h"
#include "tests/platform_mshtml/test_util.h"

namespace {

using fakedom::Comment;
using fakedom::El;
using fakedom::Item;
using mshtml_test::First;
using mshtml_test::U8;

// A string as the engine sees it: "<null>" where none was given. (Taken by reference, so that
// it is read after the call that fills it.)
std::string Text(HRESULT hr, const BStr& b) {
  if (FAILED(hr)) return "<failed>";
  return b ? U8(b.Str()) : "<null>";
}
std::string Text(HRESULT hr, const VARIANT& v) {
  if (FAILED(hr)) return "<failed>";
  if (v.vt == VT_BSTR)
    return v.bstrVal ? U8(std::u16string(v.bstrVal, SysStringLen(v.bstrVal))) : "<null>";
  if (v.vt == VT_EMPTY) return "<empty>";
  if (v.vt == VT_NULL) return "<null>";
  return "<vt " + std::to_string(v.vt) + ">";
}

template <typename T>
ComPtr<T> As(IHTMLElement* e, REFIID iid) {
  ComPtr<T> out;
  ComPtr<IHTMLElement>(e).As(iid, std::addressof(out));
  return out;
}

std::string Style(IHTMLElement* e, const std::string& prop) {
  auto e2 = As<IHTMLElement2>(e, IID_IHTMLElement2);
  ComPtr<IHTMLCurrentStyle> s;
  if (!e2 || FAILED(e2->get_currentStyle(&s)) || !s) return "<no style>";
  ScopedVariant v;
  BStr b;
  if (prop == "font-size") return Text(s->get_fontSize(&v), v);
  if (prop == "line-height") return Text(s->get_lineHeight(&v), v);
  if (prop == "color") return Text(s->get_color(&v), v);
  if (prop == "background-color") return Text(s->get_backgroundColor(&v), v);
  if (prop == "font-weight") return Text(s->get_fontWeight(&v), v);
  if (prop == "margin-top") return Text(s->get_marginTop(&v), v);
  if (prop == "margin-bottom") return Text(s->get_marginBottom(&v), v);
  if (prop == "text-align") return Text(s->get_textAlign(&b), b);
  if (prop == "border-style") return Text(s->get_borderStyle(&b), b);
  if (prop == "page-break-after") return Text(s->get_pageBreakAfter(&b), b);
  if (prop == "display") return Text(s->get_display(&b), b);
  if (prop == "white-space") return Text(s->get_whiteSpace(&b), b);
  return "<unknown property>";
}

// What the engine reads of one element: "tag", "id", "text", "children", "parent",
// "attr:NAME", "adjacent:WHERE", "href", "name", "src", "size", "comment", "style:PROPERTY".
std::string Read(IHTMLElement* e, const std::string& what) {
  BStr b;
  if (what == "tag") return Text(e->get_tagName(&b), b);
  if (what == "id") return Text(e->get_id(&b), b);
  if (what == "text") return Text(e->get_innerText(&b), b);
  if (what == "children") return mshtml_test::ChildTags(e);
  if (what == "parent") {
    ComPtr<IHTMLElement> parent;
    if (FAILED(e->get_parentElement(&parent))) return "<failed>";
    return parent ? mshtml_test::Tag(parent.Get()) : "<null>";
  }
  if (what.starts_with("attr:")) {
    BStr name(platform::com::Utf8ToUtf16(what.substr(5)));
    ScopedVariant v;
    return Text(e->getAttribute(name.Get(), 0, &v), v);
  }
  if (what.starts_with("adjacent:")) {
    auto e2 = As<IHTMLElement2>(e, IID_IHTMLElement2);
    BStr where(platform::com::Utf8ToUtf16(what.substr(9)));
    return e2 ? Text(e2->getAdjacentText(where.Get(), &b), b) : "<no element2>";
  }
  if (what == "href" || what == "name") {
    auto a = As<IHTMLAnchorElement>(e, IID_IHTMLAnchorElement);
    if (!a) return "<no anchor>";
    return Text(what == "href" ? a->get_href(&b) : a->get_name(&b), b);
  }
  if (what == "src") {
    auto img = As<IHTMLImgElement>(e, IID_IHTMLImgElement);
    return img ? Text(img->get_src(&b), b) : "<no image>";
  }
  if (what == "size") {
    auto hr = As<IHTMLHRElement>(e, IID_IHTMLHRElement);
    ScopedVariant v;
    return hr ? Text(hr->get_size(&v), v) : "<no rule>";
  }
  if (what == "comment") {
    auto c = As<IHTMLCommentElement>(e, IID_IHTMLCommentElement);
    return c ? Text(c->get_text(&b), b) : "<no comment>";
  }
  if (what.starts_with("style:")) return Style(e, what.substr(6));
  return "<unknown probe>";
}

struct Probe {
  const char* tag;  // the element, by tag and place among those of its tag in document order
  int nth;
  const char* what;
  const char* expected;
};

struct Row {
  const char* name;
  const char* html;
  std::vector<Item> fake;  // the body as a test builds it
  std::vector<Probe> probes;
};

std::vector<Row> Rows() {
  return {
      {"tags, ids and parents",
       "<div id=top><p>x</p></div>",
       {El("DIV", {{"id", "top"}}, {El("P", {"x"})})},
       {{"DIV", 0, "tag", "DIV"},
        {"DIV", 0, "id", "top"},
        {"P", 0, "id", "<null>"},
        {"P", 0, "parent", "DIV"},
        {"DIV", 0, "children", "P"}}},
      {"attributes: by any case of the name, null when absent",
       "<p title=hint lang=en>x</p>",
       {El("P", {{"title", "hint"}, {"lang", "en"}}, {"x"})},
       {{"P", 0, "attr:title", "hint"},
        {"P", 0, "attr:TITLE", "hint"},
        {"P", 0, "attr:lang", "en"},
        {"P", 0, "attr:dir", "<null>"}}},
      {"inner text of nested inline runs; none for an empty element",
       "<p>one <b>two</b> three</p><p></p>",
       {El("P", {"one ", El("B", {"two"}), " three"}), El("P", {})},
       {{"P", 0, "text", "one two three"},
        {"B", 0, "text", "two"},
        {"P", 1, "text", "<null>"},
        {"P", 0, "children", "B"}}},
      {"inner text as rendered: spaces collapsed, blocks and <br> on lines of their own, no "
       "scripts or style sheets",
       "<div><p>a</p><p>b</p></div><p>one  <b> two</b>\n three</p>"
       "<p>x<script>y</script><br>z</p><p><style>p{}</style> </p><div> <span> </span></div>",
       {El("DIV", {El("P", {"a"}), El("P", {"b"})}),
        El("P", {"one  ", El("B", {" two"}), "\n three"}),
        El("P", {"x", El("SCRIPT", {"y"}), El("BR"), "z"}), El("P", {El("STYLE", {"p{}"}), " "}),
        El("DIV", {" ", El("SPAN", {" "})})},
       {{"DIV", 0, "text", "a\r\nb"},
        {"P", 2, "text", "one two three"},
        {"P", 3, "text", "x\r\nz"},
        {"SCRIPT", 0, "text", "<null>"},
        {"P", 4, "text", "<null>"},
        {"DIV", 1, "text", "<null>"}}},
      {"adjacent text on all four sides",
       "<p>a<b>b</b>c<i>d</i></p>",
       {El("P", {"a", El("B", {"b"}), "c", El("I", {"d"})})},
       {{"B", 0, "adjacent:beforeBegin", "a"},
        {"B", 0, "adjacent:afterBegin", "b"},
        {"B", 0, "adjacent:beforeEnd", "b"},
        {"B", 0, "adjacent:afterEnd", "c"},
        {"I", 0, "adjacent:afterEnd", ""},
        {"I", 0, "adjacent:BEFOREBEGIN", "c"},
        {"B", 0, "adjacent:inside", "<failed>"}}},
      {"comments are children with a tag of their own and no text",
       "<p>a<!--note-->b</p>",
       {El("P", {"a", Comment("note"), "b"})},
       {{"P", 0, "children", "!"},
        {"!", 0, "comment", "<!--note-->"},
        {"!", 0, "text", "<null>"},
        {"!", 0, "attr:x", "<null>"},
        {"P", 0, "comment", "<no comment>"}}},
      {"links, images and rules through their own interfaces only",
       "<a href='http://example.com/a.html' name=n>l</a><img src='http://example.com/i.png'>"
       "<hr size=3><hr><p>x</p>",
       {El("A", {{"href", "http://example.com/a.html"}, {"name", "n"}}, {"l"}),
        El("IMG", {{"src", "http://example.com/i.png"}}, {}), El("HR", {{"size", "3"}}, {}),
        El("HR", {}), El("P", {"x"})},
       {{"A", 0, "href", "http://example.com/a.html"},
        {"A", 0, "name", "n"},
        {"IMG", 0, "src", "http://example.com/i.png"},
        {"HR", 0, "size", "3"},
        {"HR", 1, "size", "<empty>"},
        {"P", 0, "href", "<no anchor>"},
        {"P", 0, "src", "<no image>"},
        {"P", 0, "size", "<no rule>"}}},
      {"display by tag",
       "<div>a</div><p>b</p><span>c</span><b>d</b><h2>e</h2><ul><li>f</li></ul>"
       "<table><tr><td>g</td><th>h</th></tr></table><pre>i</pre><blockquote>j</blockquote>",
       {El("DIV", {"a"}), El("P", {"b"}), El("SPAN", {"c"}), El("B", {"d"}), El("H2", {"e"}),
        El("UL", {El("LI", {"f"})}),
        El("TABLE", {El("TBODY", {El("TR", {El("TD", {"g"}), El("TH", {"h"})})})}),
        El("PRE", {"i"}), El("BLOCKQUOTE", {"j"})},
       {{"DIV", 0, "style:display", "block"},
        {"P", 0, "style:display", "block"},
        {"SPAN", 0, "style:display", "inline"},
        {"B", 0, "style:display", "inline"},
        {"H2", 0, "style:display", "block"},
        {"UL", 0, "style:display", "block"},
        {"LI", 0, "style:display", "list-item"},
        {"TABLE", 0, "style:display", "table"},
        {"TBODY", 0, "style:display", "table-row-group"},
        {"TR", 0, "style:display", "table-row"},
        {"TD", 0, "style:display", "table-cell"},
        {"TH", 0, "style:display", "table-cell"},
        {"PRE", 0, "style:display", "block"},
        {"BLOCKQUOTE", 0, "style:display", "block"}}},
      {"computed style as the page sets it",
       "<p style='font-size:12pt;line-height:18pt;color:red;background-color:#00ff00;"
       "font-weight:bold;margin-top:4px;margin-bottom:2em;text-align:center;"
       "border-style:solid;page-break-after:always;display:inline;white-space:pre'>x</p>",
       {El("P",
           {{"font-size", "12pt"},
            {"line-height", "18pt"},
            {"color", "red"},
            {"background-color", "#00ff00"},
            {"font-weight", "bold"},
            {"margin-top", "4px"},
            {"margin-bottom", "2em"},
            {"text-align", "center"},
            {"border-style", "solid"},
            {"page-break-after", "always"},
            {"display", "inline"},
            {"white-space", "pre"}},
           {"x"})},
       {{"P", 0, "style:font-size", "12pt"},
        {"P", 0, "style:line-height", "18pt"},
        {"P", 0, "style:color", "red"},
        {"P", 0, "style:background-color", "#00ff00"},
        {"P", 0, "style:font-weight", "bold"},
        {"P", 0, "style:margin-top", "4px"},
        {"P", 0, "style:margin-bottom", "2em"},
        {"P", 0, "style:text-align", "center"},
        {"P", 0, "style:border-style", "solid"},
        {"P", 0, "style:page-break-after", "always"},
        {"P", 0, "style:display", "inline"},
        {"P", 0, "style:white-space", "pre"},
        {"P", 0, "attr:color", "<null>"},
        {"P", 0, "attr:display", "<null>"}}},
  };
}

IHTMLElement* Find(IHTMLDocument2* doc, const Probe& p, ComPtr<IHTMLElement>& hold) {
  hold = First(doc, p.tag, p.nth);
  return hold.Get();
}

TEST(FakeDomAgreement, FakeReadsAsTheRealModel) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    ComPtr<IHTMLDocument2> real = mshtml_test::Loaded(row.html, u"http://example.com/page.html");
    ASSERT_TRUE(real);
    auto fake = fakedom::Doc({.body = row.fake});
    for (const Probe& p : row.probes) {
      SCOPED_TRACE(std::string(p.tag) + "#" + std::to_string(p.nth) + " " + p.what);
      ComPtr<IHTMLElement> realEl, fakeEl;
      ASSERT_TRUE(Find(real.Get(), p, realEl)) << "no such element in the real model";
      ASSERT_TRUE(Find(fakedom::AsDocument(fake), p, fakeEl)) << "no such element in the fake";
      EXPECT_EQ(Read(realEl.Get(), p.what), p.expected) << "real model";
      EXPECT_EQ(Read(fakeEl.Get(), p.what), p.expected) << "fake";
    }
  }
}

}  // namespace
