// Elements and comments as COM objects, and their current style.
#include <atomic>

#include "platform/com/object.h"
#include "platform/mshtml/computed_style.h"
#include "platform/mshtml/element_links.h"
#include "platform/mshtml/element_text.h"
#include "platform/mshtml/element_views.h"
#include "platform/mshtml/objects.h"
#include "platform/text/text.h"

extern "C" const IID IID_IComputedStyleRecord = {
    0x6E5B0120, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x20}};
extern "C" const IID IID_IElementLinks = {
    0x6E5B0121, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x21}};
extern "C" const IID IID_IElementText = {
    0x6E5B0122, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x22}};
extern "C" const IID IID_IElementViews = {
    0x6E5B0123, 0x3A7C, 0x4F21, {0x9B, 0x1E, 0x2D, 0x4C, 0x8A, 0x00, 0x20, 0x23}};

namespace platform::mshtml {

namespace {
std::atomic<long> g_live{0};
}

long LiveObjectCount() {
  return g_live.load();
}
void detail::CountObject(int delta) {
  g_live += delta;
}

BSTR Bstr(std::string_view utf8) {
  // Names, ids, addresses and style values are nearly always ASCII: widened straight into the
  // BSTR, without a string between.
  unsigned char any = 0;
  for (char c : utf8) any |= static_cast<unsigned char>(c);
  if (any < 0x80 && utf8.size() <= 0xFFFFFFFFu) {
    BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(utf8.size()));
    if (!b) return nullptr;
    for (std::size_t i = 0; i < utf8.size(); ++i) b[i] = static_cast<char16_t>(utf8[i]);
    return b;
  }
  return SysAllocString(com::Utf8ToUtf16(utf8));
}
BSTR Bstr(const std::u16string& text) {
  return SysAllocString(text);
}

HRESULT PutBstr(BSTR* out, std::string_view utf8) {
  if (!out) return E_POINTER;
  *out = Bstr(utf8);
  return *out ? S_OK : E_OUTOFMEMORY;
}

void PutVariantString(VARIANT* out, std::string_view utf8) {
  VariantInit(out);
  out->vt = VT_BSTR;
  out->bstrVal = Bstr(utf8);
}

bool VariantPosition(const VARIANT& v, long* position) {
  switch (v.vt) {
    case VT_I2:
      *position = v.iVal;
      return true;
    case VT_I4:
    case VT_INT:
      *position = v.lVal;
      return true;
    case VT_UINT:
    case VT_UI4:
      *position = v.ulVal > 0x7FFFFFFFu ? -1 : static_cast<long>(v.ulVal);
      return true;
    default:
      return false;
  }
}

namespace {

class CurrentStyle final
    : public com::Object<CurrentStyle, com::Dispatched<IHTMLCurrentStyle, IID_IHTMLCurrentStyle>>,
      LiveObject {
  using Base = com::Object<CurrentStyle, com::Dispatched<IHTMLCurrentStyle, IID_IHTMLCurrentStyle>>;
  friend Base;

 public:
  CurrentStyle(std::shared_ptr<Tree> tree, Node* node) : tree_(std::move(tree)), node_(node) {}

  // One getter a property, in the form the interface gives it.
  using VariantOut = VARIANT*;
  using StringOut = BSTR*;
#define NB_CSS_GETTER(name, text, inherited, initial, parser, getter, form) \
  HRESULT getter(form##Out p) override {                                    \
    return form(css::Property::name, p);                                    \
  }
  NB_CSS_LONGHANDS(NB_CSS_GETTER)
#undef NB_CSS_GETTER

 private:
  ~CurrentStyle() = default;
  // Read at each call, so a style sheet added later is seen by styles obtained earlier too.
  HRESULT Variant(css::Property prop, VARIANT* p) {
    if (!p) return E_POINTER;
    PutVariantString(p, tree_->StyleOf(*node_).Get(prop));
    return S_OK;
  }
  HRESULT String(css::Property prop, BSTR* p) {
    if (!p) return E_POINTER;
    *p = nullptr;
    return PutBstr(p, tree_->StyleOf(*node_).Get(prop));
  }

  std::shared_ptr<Tree> tree_;
  Node* node_;
};

}  // namespace

class ElementObject;
// One object per element, answering the family interfaces only for elements of the family.
// QueryInterface tries the interfaces in this order, so those a walk asks of every element
// come first.
using ElementBase = com::Object<ElementObject, com::Dispatched<IHTMLElement, IID_IHTMLElement>,
                                com::Dispatched<IHTMLElement2, IID_IHTMLElement2>,
                                com::Answers<IComputedStyleRecord, IID_IComputedStyleRecord>,
                                com::Answers<IElementViews, IID_IElementViews>,
                                com::Answers<IElementLinks, IID_IElementLinks>,
                                com::Answers<IElementText, IID_IElementText>,
                                com::Dispatched<IHTMLAnchorElement, IID_IHTMLAnchorElement>,
                                com::Dispatched<IHTMLImgElement, IID_IHTMLImgElement>,
                                com::Dispatched<IHTMLHRElement, IID_IHTMLHRElement>,
                                com::Dispatched<IHTMLCommentElement, IID_IHTMLCommentElement>>;

class ElementObject final : public ElementBase, LiveObject {
  friend ElementBase;

 public:
  ElementObject(std::shared_ptr<Tree> tree, Node* node) : tree_(std::move(tree)), node_(node) {
    node_->object = this;
  }

  bool Offers(REFIID riid) const {
    if (riid == IID_IHTMLCommentElement) return node_->IsComment();
    if (riid == IID_IHTMLAnchorElement) return node_->Is("a");
    if (riid == IID_IHTMLImgElement) return node_->Is("img");
    if (riid == IID_IHTMLHRElement) return node_->Is("hr");
    return true;
  }

  // IHTMLElement
  HRESULT get_tagName(BSTR* p) override { return PutBstr(p, UpperCase(node_->name)); }
  HRESULT get_id(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    return node_->Id().empty() ? S_OK : PutBstr(p, node_->Id());
  }
  HRESULT get_innerText(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    std::u16string text = tree_->InnerText(*node_);
    if (text.empty()) return S_OK;
    *p = Bstr(text);
    return *p ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT get_parentElement(IHTMLElement** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    if (!node_->parent) return S_OK;
    return ElementFor(tree_, node_->parent, IID_IHTMLElement, reinterpret_cast<void**>(p));
  }
  HRESULT get_children(IDispatch** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    return NewElementCollection(tree_, tree_->Children(node_), IID_IDispatch,
                                reinterpret_cast<void**>(p));
  }
  HRESULT get_all(IDispatch** p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    return NewElementCollection(tree_, tree_->Descendants(node_), IID_IDispatch,
                                reinterpret_cast<void**>(p));
  }
  HRESULT getAttribute(BSTR name, LONG, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    value->vt = VT_NULL;
    std::string key = text::AsciiLowercase(com::Utf16ToUtf8(BStrView(name)));
    if (node_->IsComment()) return S_OK;
    if (const std::string* v = tree_->AttributeOf(*node_, key)) PutVariantString(value, *v);
    return S_OK;
  }

  // IHTMLElement2
  HRESULT get_currentStyle(IHTMLCurrentStyle** p) override {
    if (!p) return E_POINTER;
    *p = new (std::nothrow) CurrentStyle(tree_, node_);
    return *p ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT getAdjacentText(BSTR where, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    // Asked once or twice per element: compared as it comes, without converting it.
    std::u16string_view w = BStrView(where);
    Tree::Where at;
    if (SameAsciiNoCase(w, "beforebegin")) {
      at = Tree::Where::BeforeBegin;
    } else if (SameAsciiNoCase(w, "afterbegin")) {
      at = Tree::Where::AfterBegin;
    } else if (SameAsciiNoCase(w, "beforeend")) {
      at = Tree::Where::BeforeEnd;
    } else if (SameAsciiNoCase(w, "afterend")) {
      at = Tree::Where::AfterEnd;
    } else {
      return E_INVALIDARG;
    }
    *text = Bstr(tree_->AdjacentText(*node_, at));
    return *text ? S_OK : E_OUTOFMEMORY;
  }

  // IHTMLAnchorElement and IHTMLImgElement (get_href serves both).
  HRESULT get_href(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    const std::string* v = tree_->AttributeOf(*node_, node_->Is("img") ? "src" : "href");
    if (!v) return S_OK;
    return PutBstr(p, tree_->Resolve(*v));
  }
  HRESULT get_name(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    const std::string* v = tree_->AttributeOf(*node_, "name");
    return v ? PutBstr(p, *v) : S_OK;
  }
  HRESULT get_src(BSTR* p) override { return get_href(p); }

  // IHTMLHRElement
  HRESULT get_size(VARIANT* p) override {
    if (!p) return E_POINTER;
    VariantInit(p);
    if (const std::string* v = tree_->AttributeOf(*node_, "size")) PutVariantString(p, *v);
    return S_OK;
  }

  // IHTMLCommentElement
  HRESULT get_text(BSTR* p) override {
    if (!p) return E_POINTER;
    *p = nullptr;
    std::string t = "<!--";
    t.append(tree_->Text(node_->textEnd));
    t.append("-->");
    return PutBstr(p, t);
  }

  // IComputedStyleRecord: what CurrentStyle reads, without the object and the strings.
  HRESULT GetComputedStyle(const css::ComputedStyle** style) override {
    if (!style) return E_POINTER;
    *style = &tree_->StyleOf(*node_);
    return S_OK;
  }

  // IElementLinks: the links children is made from.
  HRESULT GetFirstChild(IHTMLElement** child) override { return Linked(node_->firstChild, child); }
  HRESULT GetNextSibling(IHTMLElement** next) override { return Linked(node_->next, next); }

  // IElementText
  HRESULT HasShownText(BOOL* shown) override {
    if (!shown) return E_POINTER;
    *shown = tree_->HasShownText(*node_) ? TRUE : FALSE;
    return S_OK;
  }

  // IElementViews
  HRESULT GetLocalName(const char** name, UINT* length) override {
    if (!name || !length) return E_POINTER;
    *name = node_->name.data();
    *length = static_cast<UINT>(node_->name.size());
    return S_OK;
  }
  HRESULT LendAdjacentText(AdjacentPlace where, const char16_t** text, UINT* length) override {
    if (!text || !length) return E_POINTER;
    *text = nullptr;
    *length = 0;
    Tree::Where at;
    switch (where) {
      case AdjacentPlace::kBeforeBegin:
        at = Tree::Where::BeforeBegin;
        break;
      case AdjacentPlace::kAfterBegin:
        at = Tree::Where::AfterBegin;
        break;
      case AdjacentPlace::kBeforeEnd:
        at = Tree::Where::BeforeEnd;
        break;
      case AdjacentPlace::kAfterEnd:
        at = Tree::Where::AfterEnd;
        break;
      default:
        return E_INVALIDARG;
    }
    std::u16string_view lent = tree_->LendAdjacentText(*node_, at);
    *text = lent.data();
    *length = static_cast<UINT>(lent.size());
    return S_OK;
  }

 private:
  ~ElementObject() { node_->object = nullptr; }
  HRESULT Linked(Node* n, IHTMLElement** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return n ? ElementFor(tree_, n, IID_IHTMLElement, reinterpret_cast<void**>(out)) : S_OK;
  }
  // s equals lower, a lower-case ASCII word, in any letter case.
  static bool SameAsciiNoCase(std::u16string_view s, std::string_view lower) {
    if (s.size() != lower.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
      char16_t c = s[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
      if (c != static_cast<unsigned char>(lower[i])) return false;
    }
    return true;
  }
  static std::u16string_view BStrView(BSTR b) {
    return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view();
  }

  std::shared_ptr<Tree> tree_;
  Node* node_;
};

HRESULT ElementFor(const std::shared_ptr<Tree>& tree, Node* node, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!node) return E_INVALIDARG;
  if (node->object) return static_cast<IHTMLElement*>(node->object)->QueryInterface(iid, out);
  auto* object = new (std::nothrow) ElementObject(tree, node);
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = static_cast<IHTMLElement*>(object)->QueryInterface(iid, out);
  static_cast<IHTMLElement*>(object)->Release();
  return hr;
}

}  // namespace platform::mshtml
