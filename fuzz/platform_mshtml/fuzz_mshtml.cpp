// Any page and any style sheet through the document model, with every interface read.
// Input: the page, then optionally a NUL byte and a style sheet that every .css address and
// createStyleSheet serve.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"

namespace {

template <typename U, typename T>
ComPtr<U> Query(const ComPtr<T>& p, REFIID iid) {
  ComPtr<U> out;
  if (p) p.As(iid, std::addressof(out));
  return out;
}

void ReadStyle(IHTMLCurrentStyle* s) {
  ScopedVariant v[7];
  s->get_fontSize(&v[0]);
  s->get_lineHeight(&v[1]);
  s->get_color(&v[2]);
  s->get_backgroundColor(&v[3]);
  s->get_fontWeight(&v[4]);
  s->get_marginTop(&v[5]);
  s->get_marginBottom(&v[6]);
  BStr b[4];
  s->get_textAlign(&b[0]);
  s->get_borderStyle(&b[1]);
  s->get_pageBreakAfter(&b[2]);
  s->get_display(&b[3]);
}

void ReadElement(const ComPtr<IDispatch>& item) {
  auto e = Query<IHTMLElement>(item, IID_IHTMLElement);
  if (!e) __builtin_trap();
  BStr tag, id, inner;
  e->get_tagName(&tag);
  e->get_id(&id);
  e->get_innerText(&inner);
  ComPtr<IHTMLElement> parent;
  e->get_parentElement(&parent);
  ComPtr<IDispatch> children;
  e->get_children(&children);
  if (auto c = Query<IHTMLElementCollection>(children, IID_IHTMLElementCollection)) {
    LONG n = 0;
    c->get_length(&n);
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = n - 1;
    ComPtr<IDispatch> last;
    c->item(name, index, &last);
  }
  auto e2 = Query<IHTMLElement2>(e, IID_IHTMLElement2);
  ComPtr<IHTMLCurrentStyle> style;
  if (!e2 || FAILED(e2->get_currentStyle(&style)) || !style) __builtin_trap();
  ReadStyle(style.Get());
  for (const char16_t* where : {u"beforeBegin", u"afterBegin", u"beforeEnd", u"afterEnd"}) {
    BStr w(where), text;
    e2->getAdjacentText(w.Get(), &text);
  }
  if (auto a = Query<IHTMLAnchorElement>(e, IID_IHTMLAnchorElement)) {
    BStr href, name;
    a->get_href(&href);
    a->get_name(&name);
  }
  if (auto img = Query<IHTMLImgElement>(e, IID_IHTMLImgElement)) {
    BStr href;
    img->get_href(&href);
  }
  if (auto hr = Query<IHTMLHRElement>(e, IID_IHTMLHRElement)) {
    ScopedVariant size;
    hr->get_size(&size);
  }
  if (auto c = Query<IHTMLCommentElement>(e, IID_IHTMLCommentElement)) {
    BStr text;
    c->get_text(&text);
  }
}

void Walk(IHTMLDocument2* doc, int depth) {
  BStr url, title;
  doc->get_URL(&url);
  doc->get_title(&title);
  ComPtr<IHTMLStyleSheetsCollection> sheets;
  if (SUCCEEDED(doc->get_styleSheets(&sheets)) && sheets) {
    LONG n = 0;
    sheets->get_length(&n);
    for (LONG i = 0; i < n; ++i) {
      ScopedVariant index, result;
      index.vt = VT_I4;
      index.lVal = i;
      sheets->item(&index, &result);
    }
  }
  BStr href(u"added.css");
  ComPtr<IHTMLStyleSheet> added;
  doc->createStyleSheet(href.Get(), 0, &added);
  ComPtr<IHTMLElementCollection> all;
  if (FAILED(doc->get_all(&all)) || !all) __builtin_trap();
  LONG n = 0;
  all->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ReadElement(item);
  }
  ComPtr<IHTMLFramesCollection2> frames;
  if (depth < 3 && SUCCEEDED(doc->get_frames(&frames)) && frames) {
    LONG count = 0;
    frames->get_length(&count);
    for (LONG i = 0; i < count; ++i) {
      ScopedVariant index, result;
      index.vt = VT_I4;
      index.lVal = i;
      if (FAILED(frames->item(&index, &result)) || result.vt != VT_DISPATCH) continue;
      ComPtr<IHTMLWindow2> window;
      result.pdispVal->QueryInterface(IID_IHTMLWindow2, window.ReleaseAndGetVoidAddress());
      ComPtr<IHTMLDocument2> frameDoc;
      if (window && SUCCEEDED(window->get_document(&frameDoc)) && frameDoc)
        Walk(frameDoc.Get(), depth + 1);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  auto nul = input.find('\0');
  std::string page(input.substr(0, nul));
  std::string sheet(nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1));
  platform::mshtml::LoadOptions options;
  options.maxFrameDepth = 2;
  options.fetch = [&](const std::u16string& url, std::string& body, std::string& type) {
    std::string u = platform::com::Utf16ToUtf8(url);
    if (u.size() >= 4 && u.compare(u.size() - 4, 4, ".css") == 0) {
      body = sheet;
      type = "text/css";
    } else {
      body = page;
      type = "text/html";
    }
    return true;
  };
  platform::mshtml::SetSessionFetcher(options.fetch);
  ComPtr<IHTMLDocument2> doc;
  if (SUCCEEDED(platform::mshtml::CreateDocument(page, u"http://fuzz.test/dir/page.html", "",
                                                 options, &doc)) &&
      doc) {
    Walk(doc.Get(), 0);
  }
  platform::mshtml::SetSessionFetcher({});
  return 0;
}
