// Host loading: character sets, linked sheets, frames and their guards, local addresses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/mshtml/charset.h"
#include "tests/platform_mshtml/test_util.h"

using namespace mshtml_test;
using platform::mshtml::LoadOptions;

namespace {

// A fetcher over an in-memory site that counts what is asked of it.
struct Site {
  std::map<std::u16string, std::pair<std::string, std::string>> pages;  // url -> body, type
  std::map<std::u16string, int> requests;
  platform::mshtml::Fetcher Fetcher() {
    return [this](const std::u16string& url, std::string& body, std::string& type) {
      ++requests[url];
      auto it = pages.find(url);
      if (it == pages.end()) return false;
      body = it->second.first;
      type = it->second.second;
      return true;
    };
  }
  LoadOptions Options() {
    LoadOptions o;
    o.fetch = Fetcher();
    return o;
  }
};

std::string BodyText(IHTMLDocument2* doc) {
  BStr text;
  Body(doc)->get_innerText(&text);
  return U8(text);
}

TEST(Charset, DecodedAsABrowserDoes) {
  setenv("NUBRA_ACP", "932", 1);
  const std::string sjis = "\x93\xfa\x96\x7b";          // 日本 in Shift_JIS
  const std::string eucjp = "\xc6\xfc\xcb\xdc";         // 日本 in EUC-JP
  const std::string utf8 = "\xe6\x97\xa5\xe6\x9c\xac";  // 日本
  struct Case {
    const char* name;
    std::string bytes;
    std::string contentType;
    std::string expected;
  } cases[] = {
      {"transport charset", "<p>" + sjis, "text/html; charset=Shift_JIS", utf8},
      {"transport wins over meta", "<meta charset=euc-jp><p>" + sjis,
       "text/html; charset=\"shift_jis\"", utf8},
      {"meta charset", "<meta charset='EUC-JP'><p>" + eucjp, "text/html", utf8},
      {"meta http-equiv",
       "<meta http-equiv=Content-Type content='text/html; charset=x-sjis'><p>" + sjis, "", utf8},
      {"byte order mark", "\xEF\xBB\xBF<p>" + utf8, "text/html; charset=Shift_JIS", utf8},
      {"utf-16 mark", std::string("\xFF\xFE<\0p\0>\0\xE5\x65", 10), "", "\xe6\x97\xa5"},
      {"valid utf-8 without label", "<p>" + utf8, "", utf8},
      {"else the ANSI code page", "<p>" + sjis, "", utf8},
      {"NUL replaced", std::string("<p>a\0b", 6), "text/html; charset=utf-8",
       "a\xEF\xBF\xBD"
       "b"},
      {"invalid utf-8 replaced", "<p>a\xC3(b", "text/html; charset=utf-8", "a\xEF\xBF\xBD(b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = Loaded(c.bytes, u"http://h.test/", {}, c.contentType);
    ASSERT_TRUE(doc);
    EXPECT_EQ(c.expected, BodyText(doc.Get()));
  }
  // Written documents take the text as given.
  auto doc = Written("<p>" + utf8);
  EXPECT_EQ(utf8, BodyText(doc.Get()));
}

TEST(Charset, LabelsMapToTheBrowsersTables) {
  struct Case {
    const char* label;
    const char* iconv;
  } cases[] = {{"Shift_JIS", "CP932"},  {"sjis", "CP932"},
               {"EUC-JP", "EUC-JP-MS"}, {" utf-8 ", "UTF-8"},
               {"latin1", "CP1252"},    {"ISO-8859-2", "ISO-8859-2"},
               {"no-such-set", ""},     {"", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.iconv, platform::mshtml::IconvNameForLabel(c.label));
  }
}

std::vector<std::string> SheetHrefs(IHTMLDocument2* doc) {
  std::vector<std::string> out;
  ComPtr<IHTMLStyleSheetsCollection> sheets;
  EXPECT_EQ(S_OK, doc->get_styleSheets(&sheets));
  LONG n = 0;
  sheets->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant index, result;
    index.vt = VT_UINT;
    index.uintVal = static_cast<UINT>(i);
    EXPECT_EQ(S_OK, sheets->item(&index, &result));
    ComPtr<IHTMLStyleSheet> sheet;
    EXPECT_EQ(VT_DISPATCH, result.vt);
    if (result.vt != VT_DISPATCH) continue;
    EXPECT_EQ(S_OK, result.pdispVal->QueryInterface(IID_IHTMLStyleSheet,
                                                    sheet.ReleaseAndGetVoidAddress()));
    BStr href;
    sheet->get_href(&href);
    out.push_back(U8(href));
  }
  return out;
}

TEST(StyleSheets, OnePerStyleAndLinkHrefAsWritten) {
  Site site;
  site.pages[u"http://h.test/css/a.css"] = {"p{color:red}", "text/css"};
  auto doc = Loaded(
      "<link rel=StyleSheet href='css/a.css'><style>p{}</style>"
      "<link rel=icon href=i.png><link rel='alternate stylesheet' href=b.css><p>x",
      u"http://h.test/index.html", site.Options());
  EXPECT_EQ((std::vector<std::string>{"css/a.css", ""}), SheetHrefs(doc.Get()));
  EXPECT_EQ(1, site.requests[u"http://h.test/css/a.css"]);
  EXPECT_EQ(0, site.requests[u"http://h.test/b.css"]);
  // A written document lists its links but fetches nothing.
  Site quiet;
  platform::mshtml::SetSessionFetcher(quiet.Fetcher());
  auto written = Written("<link rel=stylesheet href='http://h.test/css/a.css'><p>x");
  EXPECT_EQ((std::vector<std::string>{"http://h.test/css/a.css"}), SheetHrefs(written.Get()));
  EXPECT_TRUE(quiet.requests.empty());
  // createStyleSheet goes through the session and joins the collection at its place; the
  // collection handed out earlier is a snapshot.
  ComPtr<IHTMLStyleSheetsCollection> before;
  ASSERT_EQ(S_OK, written->get_styleSheets(&before));
  BStr href(u"http://h.test/css/a.css");
  ComPtr<IHTMLStyleSheet> added;
  ASSERT_EQ(S_OK, written->createStyleSheet(href.Get(), 0, &added));
  ASSERT_TRUE(added);
  EXPECT_EQ(1, quiet.requests[u"http://h.test/css/a.css"]);
  EXPECT_EQ(2u, SheetHrefs(written.Get()).size());
  LONG n = 0;
  before->get_length(&n);
  EXPECT_EQ(1, n);
  platform::mshtml::SetSessionFetcher({});
}

TEST(StyleSheets, ImportsAreFetchedBoundedAndWithoutCycles) {
  Site site;
  site.pages[u"http://h.test/a.css"] = {"@import 'b.css'; p{}", "text/css"};
  site.pages[u"http://h.test/b.css"] = {"@import url(a.css); @import 'sub/c.css';", "text/css"};
  site.pages[u"http://h.test/sub/c.css"] = {"@import '../a.css';", "text/css"};
  auto doc = Loaded("<link rel=stylesheet href=a.css><p>x", u"http://h.test/", site.Options());
  ASSERT_TRUE(doc);
  EXPECT_EQ(1, site.requests[u"http://h.test/a.css"]);
  EXPECT_EQ(1, site.requests[u"http://h.test/b.css"]);
  EXPECT_EQ(1, site.requests[u"http://h.test/sub/c.css"]);
}

std::vector<ComPtr<IHTMLDocument2>> Frames(IHTMLDocument2* doc) {
  std::vector<ComPtr<IHTMLDocument2>> out;
  ComPtr<IHTMLFramesCollection2> frames;
  EXPECT_EQ(S_OK, doc->get_frames(&frames));
  LONG n = 0;
  frames->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant index, result;
    index.vt = VT_UINT;
    index.uintVal = static_cast<UINT>(i);
    EXPECT_EQ(S_OK, frames->item(&index, &result));
    ComPtr<IHTMLWindow2> window;
    EXPECT_EQ(S_OK,
              result.pdispVal->QueryInterface(IID_IHTMLWindow2, window.ReleaseAndGetVoidAddress()));
    ComPtr<IHTMLDocument2> frameDoc;
    EXPECT_EQ(S_OK, window->get_document(&frameDoc));
    out.push_back(frameDoc);
  }
  return out;
}

TEST(Frames, LoadedInOrderForHostDocuments) {
  Site site;
  site.pages[u"http://h.test/left.html"] = {"<p>left", "text/html"};
  site.pages[u"http://h.test/sub/right.html"] = {"<p>right<iframe src='../left.html'></iframe>",
                                                 "text/html"};
  auto doc = Loaded("<frameset><frame src=left.html><frame src='sub/right.html'></frameset>",
                    u"http://h.test/top.html", site.Options());
  auto frames = Frames(doc.Get());
  ASSERT_EQ(2u, frames.size());
  BStr url;
  frames[1]->get_URL(&url);
  EXPECT_EQ("http://h.test/sub/right.html", U8(url));
  EXPECT_EQ("left", BodyText(frames[0].Get()));
  EXPECT_EQ("right", BodyText(frames[1].Get()));
  auto inner = Frames(frames[1].Get());
  ASSERT_EQ(1u, inner.size());
  EXPECT_EQ("left", BodyText(inner[0].Get()));
  // A written document loads no frames.
  Site quiet;
  platform::mshtml::SetSessionFetcher(quiet.Fetcher());
  auto written = Written("<iframe src='http://h.test/left.html'></iframe>");
  EXPECT_TRUE(Frames(written.Get()).empty());
  EXPECT_TRUE(quiet.requests.empty());
  platform::mshtml::SetSessionFetcher({});
}

TEST(Frames, CyclesAndDepthAreCut) {
  Site site;
  // a frames b, b frames a again: the second a is left empty.
  site.pages[u"http://h.test/a.html"] = {"<p>a<iframe src=b.html></iframe>", "text/html"};
  site.pages[u"http://h.test/b.html"] = {"<p>b<iframe src=a.html></iframe>", "text/html"};
  auto doc = Loaded("<iframe src=a.html></iframe>", u"http://h.test/top.html", site.Options());
  auto a = Frames(doc.Get());
  ASSERT_EQ(1u, a.size());
  auto b = Frames(a[0].Get());
  ASSERT_EQ(1u, b.size());
  auto again = Frames(b[0].Get());
  ASSERT_EQ(1u, again.size());
  EXPECT_EQ("", BodyText(again[0].Get()));
  EXPECT_EQ(1, site.requests[u"http://h.test/a.html"]);

  // A page that frames a fresh address at every level stops at the depth.
  int fetched = 0;
  LoadOptions options;
  options.maxFrameDepth = 3;
  options.fetch = [&](const std::u16string&, std::string& body, std::string& type) {
    ++fetched;
    body = "<p>level<iframe src='x/x'></iframe>";
    type = "text/html";
    return true;
  };
  auto deep = Loaded("<p>top<iframe src='deep/x'></iframe>", u"http://h.test/", options);
  EXPECT_EQ(3, fetched);
  int levels = 0;
  for (auto d = deep;; ++levels) {
    auto f = Frames(d.Get());
    if (f.empty()) break;
    d = f[0];
  }
  EXPECT_EQ(4, levels);  // three loaded frames, the fourth left empty
}

// A page from the web reaches only the web: its frames, sheets, imports and base address never
// name a local file, while the same page from a local file reaches all of them.
TEST(LocalFiles, PageFromTheWebReachesNoLocalFile) {
  const std::string page =
      "<base href='file:///home/me/'>"
      "<link rel=stylesheet href='file:///home/me/a.css'>"
      "<style>@import 'file:///home/me/b.css'; @import url(/web.css);</style>"
      "<iframe src='file:///home/me/c.html'></iframe><iframe src='d.html'></iframe>"
      "<frameset><frame src='/etc/passwd'></frameset><img src=e.png>";
  for (const char* top : {"http://h.test/dir/top.html", "file:///pages/top.html"}) {
    SCOPED_TRACE(top);
    const bool local = std::string_view(top).starts_with("file:");
    Site site;
    auto doc = Loaded(page, platform::com::Utf8ToUtf16(top), site.Options());
    std::vector<std::string> asked;
    for (const auto& [url, n] : site.requests) asked.push_back(U8(url));
    for (const std::string& url : asked) {
      EXPECT_TRUE(local || url.starts_with("http://")) << url;
    }
    EXPECT_EQ(site.requests.count(u"file:///home/me/a.css"), local ? 1u : 0u);
    EXPECT_EQ(site.requests.count(u"file:///home/me/b.css"), local ? 1u : 0u);
    EXPECT_EQ(site.requests.count(u"file:///home/me/c.html"), local ? 1u : 0u);
    EXPECT_EQ(site.requests.count(local ? u"file:///home/me/d.html" : u"http://h.test/dir/d.html"),
              1u);
    // The image is reported where a browser would fetch it: under the base only when local.
    BStr href;
    ComPtr<IHTMLImgElement> img;
    ASSERT_EQ(S_OK, Query(First(doc.Get(), "IMG"), IID_IHTMLImgElement, img));
    img->get_href(&href);
    EXPECT_EQ(U8(href), local ? "file:///home/me/e.png" : "http://h.test/dir/e.png");
    // createStyleSheet of a local address (what a converter re-adds) fetches nothing either.
    BStr sheet(u"file:///home/me/f.css");
    ComPtr<IHTMLStyleSheet> added;
    doc->createStyleSheet(sheet.Get(), -1, &added);
    EXPECT_EQ(site.requests.count(u"file:///home/me/f.css"), local ? 1u : 0u);
  }
}

TEST(StyleSheets, EachIsFetchedOncePerDocument) {
  Site site;
  site.pages[u"http://h.test/s.css"] = {"p{color:red}", "text/css"};
  auto doc = Loaded("<link rel=stylesheet href=/s.css><link rel=stylesheet href=/missing.css><p>x",
                    u"http://h.test/top.html", site.Options());
  // The converter adds every sheet again; neither the one that came nor the one that failed
  // is asked for a second time.
  for (const char16_t* href : {u"http://h.test/s.css", u"http://h.test/missing.css"}) {
    BStr again(href);
    ComPtr<IHTMLStyleSheet> added;
    EXPECT_EQ(S_OK, doc->createStyleSheet(again.Get(), -1, &added));
  }
  EXPECT_EQ(site.requests[u"http://h.test/s.css"], 1);
  EXPECT_EQ(site.requests[u"http://h.test/missing.css"], 1);
}

TEST(LocalFiles, PathGetsItsFileAddress) {
  auto dir = std::filesystem::temp_directory_path() / "mshtml host test";
  std::filesystem::create_directories(dir / "css");
  std::ofstream(dir / "page.html")
      << "<link rel=stylesheet href='css/s.css'><p>local<img src=a.png>";
  std::ofstream(dir / "css" / "s.css") << "p{}";
  ComPtr<IHTMLDocument2> doc;
  ASSERT_EQ(S_OK, platform::mshtml::LoadDocument(
                      platform::com::Utf8ToUtf16((dir / "page.html").string()), {}, &doc));
  BStr url;
  doc->get_URL(&url);
  std::string expected = "file://" + dir.string() + "/page.html";
  for (std::size_t i; (i = expected.find(' ')) != std::string::npos;) expected.replace(i, 1, "%20");
  EXPECT_EQ(expected, U8(url));
  EXPECT_EQ("local", BodyText(doc.Get()));
  EXPECT_EQ(1u, SheetHrefs(doc.Get()).size());
  ComPtr<IHTMLDocument2> missing;
  EXPECT_TRUE(FAILED(platform::mshtml::LoadDocument(u"/no/such/file.html", {}, &missing)));
  EXPECT_FALSE(missing);
  LoadOptions small;
  small.maxBytes = 4;
  EXPECT_TRUE(FAILED(platform::mshtml::LoadDocument(
      platform::com::Utf8ToUtf16((dir / "page.html").string()), small, &missing)));
  std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

// UTF-16 without a byte order mark: every letter came with a replacement character.
TEST(Charset, Utf16WithoutAByteOrderMarkBySniffing) {
  using platform::mshtml::DecodePage;
  using platform::mshtml::SniffUtf16;
  const std::string page = "<html><body><p>UTF-16 \xE6\x97\xA5\xE6\x9C\xAC</p></body></html>";
  for (const char* name : {"UTF-16LE", "UTF-16BE"}) {
    std::string bytes;
    ASSERT_TRUE(platform::mshtml::ConvertToUtf8(page, "UTF-8", bytes));
    // Encode by hand: the page is ASCII but for two characters.
    std::u16string wide = platform::com::Utf8ToUtf16(page);
    bytes.clear();
    for (char16_t c : wide) {
      char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      bytes += std::string(name) == "UTF-16LE" ? std::string{lo, hi} : std::string{hi, lo};
    }
    EXPECT_EQ(SniffUtf16(bytes), name);
    EXPECT_EQ(DecodePage(bytes, ""), page) << name;
  }
  EXPECT_EQ(SniffUtf16("<html><body>plain</body></html>"), "");
}

}  // namespace

// Pages are checked and cleaned eight ASCII bytes at a time; what stands at or across the edge
// of such a word must come out as a byte-by-byte reading gives it.
TEST(Charset, Utf8CheckedAndCleanedAlikeAtEveryOffset) {
  using platform::mshtml::IsValidUtf8;
  using platform::mshtml::SanitizeUtf8;
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string piece;
    bool valid;
    std::string cleaned;
  } cases[] = {
      {"\xC3\xA9", true, "\xC3\xA9"},
      {"\xE6\x97\xA5", true, "\xE6\x97\xA5"},
      {"\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80"},
      {std::string("\0", 1), true, fffd},
      {"\xC3(", false, fffd + "("},
      {"\xED\xA0\x80", false, fffd + fffd + fffd},  // a surrogate
      {"\xFF", false, fffd},
      {"\xE6\x97", false, fffd + fffd},  // cut short
  };
  for (const Case& c : cases) {
    for (std::size_t before = 0; before < 18; ++before) {
      for (std::size_t after : {0, 1, 7, 9}) {
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(after));
        std::string page = std::string(before, 'a') + c.piece + std::string(after, 'b');
        EXPECT_EQ(c.valid, IsValidUtf8(page));
        EXPECT_EQ(std::string(before, 'a') + c.cleaned + std::string(after, 'b'),
                  SanitizeUtf8(page));
      }
    }
  }
}
