// Helpers for the document-model tests: build documents, read elements as text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"

namespace mshtml_test {

// QueryInterface from one holder into another.
template <typename U, typename T>
HRESULT Query(const ComPtr<T>& from, REFIID iid, ComPtr<U>& to) {
  return from.As(iid, std::addressof(to));
}

inline std::string U8(const std::u16string& s) {
  return platform::com::Utf16ToUtf8(s);
}
inline std::string U8(const BStr& b) {
  return U8(b.Str());
}

// A document as the file loader makes one: CoCreateInstance, design mode, one writeln.
inline ComPtr<IHTMLDocument2> Written(const std::string& html) {
  ComPtr<IHTMLDocument2> doc;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_HTMLDocument, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IHTMLDocument2, doc.ReleaseAndGetVoidAddress()));
  if (!doc) return doc;
  BStr on(u"On");
  EXPECT_EQ(S_OK, doc->put_designMode(on.Get()));
  SAFEARRAY* sa = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  VARIANT* items = nullptr;
  SafeArrayAccessData(sa, reinterpret_cast<void**>(&items));
  items[0].vt = VT_BSTR;
  items[0].bstrVal = SysAllocString(platform::com::Utf8ToUtf16(html));
  SafeArrayUnaccessData(sa);
  EXPECT_EQ(S_OK, doc->writeln(sa));
  SafeArrayDestroy(sa);
  return doc;
}

// A document as the host loads one, with a real address.
inline ComPtr<IHTMLDocument2> Loaded(const std::string& html, const std::u16string& url,
                                     const platform::mshtml::LoadOptions& options = {},
                                     const std::string& contentType = "text/html") {
  ComPtr<IHTMLDocument2> doc;
  EXPECT_EQ(S_OK, platform::mshtml::CreateDocument(html, url, contentType, options, &doc));
  return doc;
}

inline ComPtr<IHTMLElement> Body(IHTMLDocument2* doc) {
  ComPtr<IHTMLElement> body;
  EXPECT_EQ(S_OK, doc->get_body(&body));
  return body;
}

inline std::vector<ComPtr<IHTMLElement>> Children(IHTMLElement* e) {
  std::vector<ComPtr<IHTMLElement>> out;
  ComPtr<IDispatch> disp;
  if (FAILED(e->get_children(&disp)) || !disp) return out;
  ComPtr<IHTMLElementCollection> coll;
  if (FAILED(Query(disp, IID_IHTMLElementCollection, coll))) return out;
  LONG n = 0;
  coll->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_UINT;
    name.uintVal = static_cast<UINT>(i);
    ComPtr<IDispatch> item;
    coll->item(name, index, &item);
    ComPtr<IHTMLElement> el;
    if (item) Query(item, IID_IHTMLElement, el);
    out.push_back(el);
  }
  return out;
}

inline std::string Tag(IHTMLElement* e) {
  BStr b;
  e->get_tagName(&b);
  return U8(b);
}

// Every element of the document in document order, from its all collection.
inline std::vector<ComPtr<IHTMLElement>> AllElements(IHTMLDocument2* doc) {
  std::vector<ComPtr<IHTMLElement>> out;
  ComPtr<IHTMLElementCollection> all;
  doc->get_all(&all);
  LONG n = 0;
  all->get_length(&n);
  for (LONG i = 0; i < n; ++i) {
    ScopedVariant name, index;
    name.vt = VT_I4;
    name.lVal = i;
    ComPtr<IDispatch> item;
    all->item(name, index, &item);
    ComPtr<IHTMLElement> el;
    if (item && SUCCEEDED(Query(item, IID_IHTMLElement, el))) out.push_back(el);
  }
  return out;
}

// The first element in document order with that tag (upper case), from the document's all.
inline ComPtr<IHTMLElement> First(IHTMLDocument2* doc, const std::string& tag, int nth = 0) {
  for (ComPtr<IHTMLElement>& el : AllElements(doc))
    if (Tag(el.Get()) == tag && nth-- == 0) return el;
  return {};
}

inline std::string Adjacent(IHTMLElement* e, const char16_t* where) {
  ComPtr<IHTMLElement2> e2;
  if (FAILED(Query(ComPtr<IHTMLElement>(e), IID_IHTMLElement2, e2))) return "<no IHTMLElement2>";
  BStr w(where), text;
  if (FAILED(e2->getAdjacentText(w.Get(), &text))) return "<failed>";
  return U8(text);
}

// Children as "TAG TAG !" for quick comparison.
inline std::string ChildTags(IHTMLElement* e) {
  std::string s;
  for (auto& c : Children(e)) {
    if (!s.empty()) s += ' ';
    s += c ? Tag(c.Get()) : "<null>";
  }
  return s;
}

}  // namespace mshtml_test
