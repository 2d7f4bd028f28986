// Style sheets and the document's collection of them.
#include "platform/com/object.h"
#include "platform/mshtml/objects.h"

namespace platform::mshtml {
namespace {

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
