// currentStyle through the model: the page's sheets, style attributes, hints, the element
// relations the selectors see, and sheets that arrive later.
#include <gtest/gtest.h>

#include <map>

#include "tests/platform_mshtml/test_util.h"

using namespace mshtml_test;

namespace {

std::string StyleOf(IHTMLElement* e, const std::string& prop) {
  ComPtr<IHTMLElement2> e2;
  if (FAILED(Query(ComPtr<IHTMLElement>(e), IID_IHTMLElement2, e2))) return "<no element2>";
  ComPtr<IHTMLCurrentStyle> s;
  if (FAILED(e2->get_currentStyle(&s)) || !s) return "<no style>";
  ScopedVariant v;
  BStr b;
  HRESULT hr = E_FAIL;
  if (prop == "fontSize") hr = s->get_fontSize(&v);
  if (prop == "lineHeight") hr = s->get_lineHeight(&v);
  if (prop == "color") hr = s->get_color(&v);
  if (prop == "backgroundColor") hr = s->get_backgroundColor(&v);
  if (prop == "fontWeight") hr = s->get_fontWeight(&v);
  if (prop == "marginTop") hr = s->get_marginTop(&v);
  if (prop == "marginBottom") hr = s->get_marginBottom(&v);
  if (prop == "textAlign") hr = s->get_textAlign(&b);
  if (prop == "borderStyle") hr = s->get_borderStyle(&b);
  if (prop == "pageBreakAfter") hr = s->get_pageBreakAfter(&b);
  if (prop == "display") hr = s->get_display(&b);
  if (FAILED(hr)) return "<failed>";
  if (v.vt == VT_BSTR) return U8(std::u16string(v.bstrVal, SysStringLen(v.bstrVal)));
  if (v.vt != VT_EMPTY) return "<not a string>";
  return U8(b);
}

// A page, the nth element with a tag in it, and the text one property of its style must give.
struct StyleCase {
  const char* html;
  const char* tag;
  int nth;
  const char* prop;
  const char* expected;
};

// With inOrder, every element's style is read first, in document order, so styles shared
// between like elements are in play.
void ExpectStyle(const StyleCase& c, bool inOrder) {
  SCOPED_TRACE(std::string(c.html) + " " + c.prop);
  auto doc = Written(c.html);
  if (inOrder) {
    for (const auto& e : AllElements(doc.Get())) StyleOf(e.Get(), "color");
  }
  auto e = First(doc.Get(), c.tag, c.nth);
  ASSERT_TRUE(e);
  EXPECT_EQ(c.expected, StyleOf(e.Get(), c.prop));
}

TEST(CurrentStyle, CascadeThroughTheModel) {
  const StyleCase cases[] = {
      // The user-agent sheet.
      {"<h1>x</h1>", "H1", 0, "fontSize", "2em"},
      {"<h1>x</h1>", "H1", 0, "fontWeight", "bold"},
      {"<h1>x</h1>", "H1", 0, "display", "block"},
      {"<p>x</p>", "P", 0, "marginTop", "1em"},
      {"<hr>", "HR", 0, "borderStyle", "inset"},
      {"<a href=x>l</a>", "A", 0, "color", "#0000ee"},
      {"<span>x</span>", "SPAN", 0, "display", "inline"},
      {"<p align=center>x</p>", "P", 0, "textAlign", "center"},
      // Order, specificity, !important, style attributes.
      {"<style>p{color:red} p{color:blue}</style><p>x", "P", 0, "color", "blue"},
      {"<style>#a{color:red} p{color:blue}</style><p id=a>x", "P", 0, "color", "red"},
      {"<style>p{color:red}</style><p style='color:blue'>x", "P", 0, "color", "blue"},
      {"<style>p{color:red !important}</style><p style='color:blue'>x", "P", 0, "color", "red"},
      // Inheritance: inherited properties follow the parent, the others start again.
      {"<div style='font-size:12pt'><span>x</span></div>", "SPAN", 0, "fontSize", "12pt"},
      {"<div style='font-weight:bold'><i>x</i></div>", "I", 0, "fontWeight", "bold"},
      {"<div style='margin-top:5px'><span>x</span></div>", "SPAN", 0, "marginTop", "0px"},
      {"<div style='background-color:red'><span>x</span></div>", "SPAN", 0, "backgroundColor",
       "transparent"},
      // Values as the old browser reported them.
      {"<p style='color:rgb(255,0,0)'>x", "P", 0, "color", "#ff0000"},
      {"<p style='break-after:page'>x", "P", 0, "pageBreakAfter", "always"},
      // Media and custom properties.
      {"<style>@media print { p { color: red } }</style><p>x", "P", 0, "color", "#000000"},
      {"<style media=print>p{color:red}</style><p>x", "P", 0, "color", "#000000"},
      {"<style media='screen, print'>p{color:red}</style><p>x", "P", 0, "color", "red"},
      {"<style media=''>p{color:red}</style><p>x", "P", 0, "color", "red"},
      {"<style media='(min-width: 600px)'>p{color:red}</style><p>x", "P", 0, "color", "red"},
      {"<style>p{--a:var(--b);--b:var(--a);color:var(--a)}</style><p>x", "P", 0, "color",
       "#000000"},
      // Comments are no elements to the selectors.
      {"<style>b + i{color:red}</style><p><b>x</b><!--c--><i>y</i>", "I", 0, "color", "red"},
      {"<style>b:first-child{color:red}</style><p><!--c--><b>x</b>", "B", 0, "color", "red"},
      {"<style>li:nth-child(2){color:red}</style><ul><li>a<!--c--><li>b</ul>", "LI", 1, "color",
       "red"},
      {"<style>li:last-child{color:red}</style><ul><li>a<li>b<!--c--></ul>", "LI", 1, "color",
       "red"},
      {"<style>a[href$='.pdf']{color:red}</style><a href='x.pdf'>x</a>", "A", 0, "color", "red"},
      {"<style>.k .m{color:red}</style><div class='j k'><p><b class=m>x</b></p></div>", "B", 0,
       "color", "red"},
  };
  for (const StyleCase& c : cases) ExpectStyle(c, false);
}

TEST(CurrentStyle, WhiteSpaceFromTheCascadeShapesAdjacentText) {
  auto doc =
      Written("<style>.k{white-space:pre}</style><p class=k>  a  <b>x</b></p><p>  a  <b>y</b>");
  EXPECT_EQ("  a  ", Adjacent(First(doc.Get(), "B").Get(), u"beforeBegin"));
  EXPECT_EQ(" a ", Adjacent(First(doc.Get(), "B", 1).Get(), u"beforeBegin"));
}

struct Site {
  std::map<std::u16string, std::string> sheets;
  platform::mshtml::Fetcher Fetcher() {
    return [this](const std::u16string& url, std::string& body, std::string& type) {
      auto it = sheets.find(url);
      if (it == sheets.end()) return false;
      body = it->second;
      type = "text/css";
      return true;
    };
  }
};

TEST(CurrentStyle, LinkedAndImportedSheetsOfAHostDocument) {
  Site site;
  site.sheets[u"http://h.test/css/a.css"] = "@import 'b.css'; p{color:red}";
  site.sheets[u"http://h.test/css/b.css"] = "p{color:blue; font-weight:bold}";
  platform::mshtml::LoadOptions options;
  options.fetch = site.Fetcher();
  auto doc =
      Loaded("<link rel=stylesheet href='css/a.css'><p>x", u"http://h.test/index.html", options);
  auto p = First(doc.Get(), "P");
  EXPECT_EQ("red", StyleOf(p.Get(), "color"));
  EXPECT_EQ("bold", StyleOf(p.Get(), "fontWeight"));
}

TEST(CurrentStyle, ASheetAddedLaterIsSeenAtItsPlace) {
  Site site;
  site.sheets[u"http://h.test/green.css"] = "p{color:green}";
  platform::mshtml::SetSessionFetcher(site.Fetcher());
  struct Case {
    LONG index;
    const char* expected;
  } cases[] = {{-1, "green"}, {0, "red"}, {1, "green"}, {99, "green"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    auto doc = Written("<style>p{color:red}</style><p>x");
    auto p = First(doc.Get(), "P");
    ComPtr<IHTMLElement2> e2;
    ASSERT_EQ(S_OK, Query(p, IID_IHTMLElement2, e2));
    ComPtr<IHTMLCurrentStyle> early;
    ASSERT_EQ(S_OK, e2->get_currentStyle(&early));
    ScopedVariant before;
    early->get_color(&before);
    EXPECT_EQ(u"red", std::u16string(before.bstrVal, SysStringLen(before.bstrVal)));
    BStr href(u"http://h.test/green.css");
    ComPtr<IHTMLStyleSheet> sheet;
    ASSERT_EQ(S_OK, doc->createStyleSheet(href.Get(), c.index, &sheet));
    ScopedVariant after;
    early->get_color(&after);
    EXPECT_EQ(c.expected, U8(std::u16string(after.bstrVal, SysStringLen(after.bstrVal))));
  }
  platform::mshtml::SetSessionFetcher({});
}

// Each element's style, all properties in one line. Read alone, each in a document of its own,
// no element can take a sibling's or a cousin's style: that reading is the plain cascade the
// others must agree with.
enum class Reading { InOrder, Backwards, Alone };
std::vector<std::string> StylesRead(const std::string& html, Reading reading) {
  static const char* kProps[] = {"fontSize",    "lineHeight",     "color",        "backgroundColor",
                                 "fontWeight",  "marginTop",      "marginBottom", "textAlign",
                                 "borderStyle", "pageBreakAfter", "display"};
  auto line = [](IHTMLElement* e) {
    std::string out = Tag(e);
    for (const char* prop : kProps) out += std::string(" ") + StyleOf(e, prop);
    return out;
  };
  auto doc = Written(html);
  auto elements = AllElements(doc.Get());
  std::vector<std::string> out(elements.size());
  for (std::size_t k = 0; k < elements.size(); ++k) {
    std::size_t i = reading == Reading::Backwards ? elements.size() - 1 - k : k;
    if (reading == Reading::Alone) {
      auto own = Written(html);
      out[i] = line(AllElements(own.Get())[i].Get());
    } else {
      out[i] = line(elements[i].Get());
    }
  }
  return out;
}

TEST(CurrentStyle, LikeElementsShareAStyleOnlyWhereNoRuleTellsThemApart) {
  const StyleCase cases[] = {
      // Siblings alike in name and attributes, told apart by their place.
      {"<style>li:nth-child(2n){color:red}</style><ul><li>a<li>b<li>c</ul>", "LI", 1, "color",
       "red"},
      {"<style>li:nth-child(2n){color:red}</style><ul><li>a<li>b<li>c</ul>", "LI", 2, "color",
       "#000000"},
      {"<style>td > :first-child{margin-top:3px}</style><table><tr><td><p>a<p>b</table>", "P", 1,
       "marginTop", "1em"},
      {"<style>td > :first-child{margin-top:3px}</style><table><tr><td><p>a<p>b</table>", "P", 0,
       "marginTop", "3px"},
      {"<style>p + p{color:red}</style><div><p>a<p>b</div>", "P", 1, "color", "red"},
      {"<style>.k ~ p{color:red}</style><div><p>a</p><b class=k>k</b><p>b</div>", "P", 1, "color",
       "red"},
      {"<style>p:not(:last-child){color:red}</style><div><p>a<p>b</div>", "P", 1, "color",
       "#000000"},
      {"<style>li:first-child > :first-child{color:red}</style><ul><li><b>a</b><b>b</b></ul>", "B",
       1, "color", "#000000"},
      {"<style>p:last-of-type{color:red}</style><div><p>a<p>b<i>c</i></div>", "P", 1, "color",
       "red"},
      // Alike but for an attribute.
      {"<style>[title=b]{color:red}</style><div><p title=a>a<p title=b>b</div>", "P", 1, "color",
       "red"},
      {"<div><p align=left>a<p align=right>b</div>", "P", 1, "textAlign", "right"},
      // Cousins told apart by whether they or their parents are first or last children.
      {"<style>ul > li:not(:first-child) > p{margin-top:5px}</style><ul><li><p>a</p><li><p>b</p>"
       "<li><p>c</p></ul>",
       "P", 2, "marginTop", "5px"},
      {"<style>td > :last-child{margin-bottom:3px}</style><table><tr><td><p>a<p>b<td><p>c</table>",
       "P", 2, "marginBottom", "3px"},
      // Alike but for an attribute only some rules read: an id one names, an href's presence or
      // value, a language or a link colour on an ancestor.
      {"<style>#b{color:red}</style><div><p id=a>a<p id=b>b<p id=c>c</div>", "P", 1, "color",
       "red"},
      {"<style>#b{color:red}</style><div><p id=a>a<p id=b>b<p id=c>c</div>", "P", 2, "color",
       "#000000"},
      {"<style>#s p{color:red}</style><div id=t><p>a</div><div id=s><p>b</div>", "P", 1, "color",
       "red"},
      {"<style>:link{color:red}</style><div><a name=x>a</a><a href=y>b</a></div>", "A", 1, "color",
       "red"},
      {"<style>a[href$='.pdf']{color:red}</style><div><a href=x.html>a</a><a href=y.pdf>b</a>"
       "</div>",
       "A", 1, "color", "red"},
      {"<style>:lang(fr){color:red}</style><div lang=en><p>a</div><div lang=fr><p>b</div>", "P", 1,
       "color", "red"},
      {"<style>p:not([data-x]){color:red}</style><div><p data-x=1>a<p>b</div>", "P", 1, "color",
       "red"},
      {"<style>p:not([data-x]){color:red}</style><div><p>a<p data-x=1>b</div>", "P", 1, "color",
       "#000000"},
      {"<div><font color=red>a</font><font color=blue>b</font></div>", "FONT", 1, "color", "blue"},
  };
  for (const StyleCase& c : cases) ExpectStyle(c, true);

  // Pages with many like siblings and cousins, and rules of every kind that looks at siblings,
  // on the subject and on its ancestors.
  std::string css =
      "<style>li:nth-child(3n+1){color:red} li:nth-last-child(2){font-weight:bold}"
      " td > :first-child{margin-top:3px} dd > :last-child{margin-bottom:4px}"
      " p + p{color:blue} .k ~ span{color:green} tr:nth-of-type(odd) td{background-color:#eee}"
      " :not(li) > ul > li:first-child > :first-child{font-size:20px}"
      " b:only-child{color:#123456} em:first-of-type{font-weight:900}"
      " li:first-child b{text-align:center} h2 + div p{color:#654321}"
      " tr:nth-child(2n) td span{font-weight:bold} div:not(:last-child) > i{color:#abcdef}"
      " .q > :not(:first-child) i{margin-top:9px}</style>";
  std::string body;
  for (int i = 0; i < 7; ++i) body += "<li>x<b>y</b><b>z</b>";
  body = "<ul>" + body + "</ul><table>";
  for (int i = 0; i < 5; ++i) body += "<tr><td><p>a<p>b</td><td><span>c</span></td></tr>";
  body += "</table><dl><dd><i>a</i><i>b</i><i>c</i></dl><div>";
  for (int i = 0; i < 6; ++i) body += i == 3 ? "<span class=k>k</span>" : "<span>s</span><p>p</p>";
  body += "<em>1</em><em>2</em><b>only</b></div>";
  for (int i = 0; i < 3; ++i)
    body += "<h2>h</h2><div><p>a</p><div><i>x</i></div></div><div><p>b</p></div>";
  body += "<section class=q><div><p><i>1</i></p></div><div><p><i>2</i></p></div></section>";
  // Unique ids and addresses no rule reads, and one id a rule names.
  for (int i = 0; i < 4; ++i) {
    body += "<section id=s" + std::to_string(i) + "><p><a href=#" + std::to_string(i) +
            ">l</a><span id=n" + std::to_string(i) + ">x</span></p></section>";
  }
  body += "<p id=q1><i>named</i></p>";
  css += "<style>#q1 i{color:#0000ff} #s2 > p{font-weight:bold} a:link{color:#ff00ff}</style>";
  // Cousins told apart only by being first or last children, of their parent or one above.
  css +=
      "<style>dl > dd:last-child > :last-child{color:#00ff00} ul.s > li:not(:first-child) > p"
      "{margin-top:5px} ol > li > p:first-child{font-weight:bold} ol > li:first-child > p > i"
      "{color:#ff0000} dd > :first-child{margin-bottom:2px}</style>";
  for (int i = 0; i < 3; ++i) {
    body += "<dl><dt>t<dd><p>a</p><dd><p>b</p><p>c</p></dl>";
    body += "<ul class=s><li><p>a</p><li><p>b</p><p>c</p><li><p>d</p></ul>";
    body += "<ol><li><p><i>a</i></p><p><i>b</i></p><li><p><i>c</i></p><p><i>d</i></p></ol>";
  }
  for (const std::string& page : {css + body, body}) {
    SCOPED_TRACE(page);
    std::vector<std::string> plain = StylesRead(page, Reading::Alone);
    EXPECT_EQ(plain, StylesRead(page, Reading::InOrder));
    EXPECT_EQ(plain, StylesRead(page, Reading::Backwards));
  }
}

}  // namespace

TEST(CurrentStyle, MatchingWorkIsBoundedForTheWholePage) {
  struct Case {
    int rules;
    const char* lastMargin;  // of the last paragraph
    int warnings;
  } cases[] = {
      // Every paragraph must be tried against every rule: the bound stops that part way, and
      // the paragraphs past it keep the user agent's margin and their style attribute.
      {30000, "1em", 1},
      {20, "7px", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rules);
    std::string html = "<style>";
    for (int i = 0; i < c.rules; ++i) {
      html += "p:not(.n" + std::to_string(i) + "){margin-top:7px}\n";
    }
    html += "</style>";
    for (int i = 0; i < 2000; ++i) html += "<p style='color:blue'>x</p>";
    std::vector<std::string> warnings;
    platform::mshtml::LoadOptions options;
    options.warn = [&](const std::string& what) { warnings.push_back(what); };
    auto doc = Loaded(html, u"http://h.test/rules.html", options);
    // In document order, as a converter reads them.
    auto paragraphs = Children(Body(doc.Get()).Get());
    ASSERT_EQ(2000u, paragraphs.size());
    std::vector<std::string> margins;
    for (const auto& p : paragraphs) margins.push_back(StyleOf(p.Get(), "marginTop"));
    EXPECT_EQ("7px", margins.front());
    EXPECT_EQ(c.lastMargin, margins.back());
    EXPECT_EQ("blue", StyleOf(paragraphs.back().Get(), "color"));
    ASSERT_EQ(c.warnings, static_cast<int>(warnings.size()));
    for (const std::string& w : warnings) EXPECT_NE(std::string::npos, w.find("rules.html"));
  }
}

TEST(CurrentStyle, ABoundReachedAmongLikeSiblingsFallsOnTheSameElement) {
  // Paragraphs alike take each other's style; with ids they are matched one by one. The bound
  // must leave author rules out from the same paragraph either way.
  std::string rules = "<style>";
  for (int i = 0; i < 30000; ++i) rules += "p:not(.n" + std::to_string(i) + "){margin-top:7px}\n";
  rules += "</style>";
  std::vector<std::size_t> firstCut;
  for (bool ids : {false, true}) {
    std::string html = rules;
    for (int i = 0; i < 2000; ++i) {
      html += ids ? "<p id=p" + std::to_string(i) + ">x</p>" : std::string("<p>x</p>");
    }
    auto doc = Loaded(html, u"http://h.test/rules.html");
    auto paragraphs = Children(Body(doc.Get()).Get());
    ASSERT_EQ(2000u, paragraphs.size());
    std::size_t cut = paragraphs.size();
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
      if (StyleOf(paragraphs[i].Get(), "marginTop") != "7px" && cut == paragraphs.size()) cut = i;
    }
    firstCut.push_back(cut);
  }
  EXPECT_LT(firstCut[0], 2000u);
  EXPECT_GT(firstCut[0], 0u);
  EXPECT_EQ(firstCut[0], firstCut[1]);
}
