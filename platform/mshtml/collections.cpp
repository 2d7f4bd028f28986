// Element collections.
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

}  // namespace

HRESULT NewElementCollection(std::shared_ptr<Tree> tree, std::vector<Node*> nodes, REFIID iid,
                             void** out) {
  return com::CreateObject<ElementCollection>(iid, out, std::move(tree), std::move(nodes));
}

}  // namespace platform::mshtml
