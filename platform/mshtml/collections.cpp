// Element collections, frames and their windows, style sheets.
#include "platform/com/object.h"
#include "platform/mshtml/objects.h"
#include "platform/text/text.h"

namespace platform::mshtml {
namespace {

std::string LowerUtf8(BSTR b) {
  return text::AsciiLowercase(
      com::Utf16ToUtf8(b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view()));
}

class ElementCollection final
    : public com::Object<ElementCollection,
                         com::Dispatched<IHTMLElementCollection, IID_IHTMLElementCollection>>,
      LiveObject {
  using Base = com::Object<ElementCollection,
                           com::Dispatched<IHTMLElementCollection, IID_IHTMLElementCollection>>;
  friend Base;

 public:
  ElementCollection(std::shared_ptr<Tree> tree, std::vector<Node*> nodes)
      : tree_(std::move(tree)), nodes_(std::move(nodes)) {}

  HRESULT get_length(LONG* p) override {
    if (!p) return E_POINTER;
    *p = static_cast<LONG>(nodes_.size());
    return S_OK;
  }

  HRESULT item(VARIANT name, VARIANT index, IDispatch** pdisp) override {
    if (!pdisp) return E_POINTER;
    *pdisp = nullptr;
    long position;
    if (VariantPosition(name, &position)) {
      if (position < 0 || static_cast<std::size_t>(position) >= nodes_.size()) return S_OK;
      return ElementFor(tree_, nodes_[static_cast<std::size_t>(position)], IID_IDispatch,
                        reinterpret_cast<void**>(pdisp));
    }
    if (name.vt != VT_BSTR) return E_INVALIDARG;
    // By id or name; index picks among several with that name, else the first is given.
    std::string key = com::Utf16ToUtf8(
        name.bstrVal ? std::u16string_view(name.bstrVal, SysStringLen(name.bstrVal))
                     : std::u16string_view());
    long wanted = 0;
    if (index.vt != VT_EMPTY && !VariantPosition(index, &wanted)) return E_INVALIDARG;
    for (Node* n : nodes_) {
      const std::string* nm = n->IsComment() ? nullptr : tree_->AttributeOf(*n, "name");
      if (n->Id() == key || (nm && *nm == key)) {
        if (wanted-- == 0)
          return ElementFor(tree_, n, IID_IDispatch, reinterpret_cast<void**>(pdisp));
      }
    }
    return S_OK;
  }

  HRESULT tags(VARIANT tagName, IDispatch** pdisp) override {
    if (!pdisp) return E_POINTER;
    *pdisp = nullptr;
    if (tagName.vt != VT_BSTR) return E_INVALIDARG;
    std::string want = LowerUtf8(tagName.bstrVal);
    std::vector<Node*> matched;
    for (Node* n : nodes_) {
      if (n->IsComment() ? want == "!" : n->name == want) matched.push_back(n);
    }
    return NewElementCollection(tree_, std::move(matched), IID_IDispatch,
                                reinterpret_cast<void**>(pdisp));
  }

 private:
  ~ElementCollection() = default;
  std::shared_ptr<Tree> tree_;
  std::vector<Node*> nodes_;
};

class FramesCollection final
    : public com::Object<FramesCollection,
                         com::Dispatched<IHTMLFramesCollection2, IID_IHTMLFramesCollection2>>,
      LiveObject {
  using Base = com::Object<FramesCollection,
                           com::Dispatched<IHTMLFramesCollection2, IID_IHTMLFramesCollection2>>;
  friend Base;

 public:
  explicit FramesCollection(std::vector<ComPtr<IHTMLWindow2>> windows)
      : windows_(std::move(windows)) {}

  HRESULT item(VARIANT* index, VARIANT* result) override {
    return FrameItem(windows_, index, result);
  }
  HRESULT get_length(LONG* p) override {
    if (!p) return E_POINTER;
    *p = static_cast<LONG>(windows_.size());
    return S_OK;
  }

  static HRESULT FrameItem(const std::vector<ComPtr<IHTMLWindow2>>& windows, VARIANT* index,
                           VARIANT* result) {
    if (!index || !result) return E_POINTER;
    VariantInit(result);
    long position;
    if (!VariantPosition(*index, &position)) return E_INVALIDARG;
    if (position < 0 || static_cast<std::size_t>(position) >= windows.size())
      return DISP_E_BADINDEX;
    IHTMLWindow2* w = windows[static_cast<std::size_t>(position)].Get();
    w->AddRef();
    result->vt = VT_DISPATCH;
    result->pdispVal = w;
    return S_OK;
  }

 private:
  ~FramesCollection() = default;
  std::vector<ComPtr<IHTMLWindow2>> windows_;
};

class Window final
    : public com::Object<
          Window, com::Dispatched<IHTMLWindow2, IID_IHTMLWindow2, IID_IHTMLFramesCollection2>>,
      LiveObject {
  using Base =
      com::Object<Window,
                  com::Dispatched<IHTMLWindow2, IID_IHTMLWindow2, IID_IHTMLFramesCollection2>>;
  friend Base;

 public:
  explicit Window(IHTMLDocument2* document) : document_(document) {}

  // A window is also the collection of its document's frames.
  HRESULT item(VARIANT* index, VARIANT* result) override {
    ComPtr<IHTMLFramesCollection2> frames;
    if (!result) return E_POINTER;
    VariantInit(result);
    HRESULT hr = document_->get_frames(&frames);
    if (FAILED(hr) || !frames) return FAILED(hr) ? hr : E_FAIL;
    return frames->item(index, result);
  }
  HRESULT get_length(LONG* p) override {
    if (!p) return E_POINTER;
    *p = 0;
    ComPtr<IHTMLFramesCollection2> frames;
    HRESULT hr = document_->get_frames(&frames);
    if (FAILED(hr) || !frames) return FAILED(hr) ? hr : E_FAIL;
    return frames->get_length(p);
  }
  HRESULT get_document(IHTMLDocument2** p) override {
    if (!p) return E_POINTER;
    *p = document_.Get();
    (*p)->AddRef();
    return S_OK;
  }

 private:
  ~Window() = default;
  ComPtr<IHTMLDocument2> document_;
};

class StyleSheet final
    : public com::Object<StyleSheet, com::Dispatched<IHTMLStyleSheet, IID_IHTMLStyleSheet>>,
      LiveObject {
  using Base = com::Object<StyleSheet, com::Dispatched<IHTMLStyleSheet, IID_IHTMLStyleSheet>>;
  friend Base;

 public:
  explicit StyleSheet(std::u16string href) : href_(std::move(href)) {}
  HRESULT get_href(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = SysAllocString(href_);
    return *p ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~StyleSheet() = default;
  std::u16string href_;
};

class StyleSheetsCollection final
    : public com::Object<StyleSheetsCollection, com::Dispatched<IHTMLStyleSheetsCollection,
                                                                IID_IHTMLStyleSheetsCollection>>,
      LiveObject {
  using Base =
      com::Object<StyleSheetsCollection,
                  com::Dispatched<IHTMLStyleSheetsCollection, IID_IHTMLStyleSheetsCollection>>;
  friend Base;

 public:
  explicit StyleSheetsCollection(std::vector<std::u16string> hrefs) : hrefs_(std::move(hrefs)) {}
  HRESULT get_length(LONG* p) override {
    if (!p) return E_POINTER;
    *p = static_cast<LONG>(hrefs_.size());
    return S_OK;
  }
  HRESULT item(VARIANT* index, VARIANT* result) override {
    if (!index || !result) return E_POINTER;
    VariantInit(result);
    long position;
    if (!VariantPosition(*index, &position)) return E_INVALIDARG;
    if (position < 0 || static_cast<std::size_t>(position) >= hrefs_.size()) return DISP_E_BADINDEX;
    IHTMLStyleSheet* sheet = nullptr;
    HRESULT hr = NewStyleSheet(hrefs_[static_cast<std::size_t>(position)], &sheet);
    if (FAILED(hr)) return hr;
    result->vt = VT_DISPATCH;
    result->pdispVal = sheet;
    return S_OK;
  }

 private:
  ~StyleSheetsCollection() = default;
  std::vector<std::u16string> hrefs_;
};

}  // namespace

HRESULT NewElementCollection(std::shared_ptr<Tree> tree, std::vector<Node*> nodes, REFIID iid,
                             void** out) {
  return com::CreateObject<ElementCollection>(iid, out, std::move(tree), std::move(nodes));
}

HRESULT NewWindow(IHTMLDocument2* document, IHTMLWindow2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!document) return E_INVALIDARG;
  *out = new (std::nothrow) Window(document);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NewFramesCollection(std::vector<ComPtr<IHTMLWindow2>> windows,
                            IHTMLFramesCollection2** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) FramesCollection(std::move(windows));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NewStyleSheet(std::u16string href, IHTMLStyleSheet** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) StyleSheet(std::move(href));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NewStyleSheetsCollection(std::vector<std::u16string> hrefs,
                                 IHTMLStyleSheetsCollection** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) StyleSheetsCollection(std::move(hrefs));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace platform::mshtml
