// The COM objects of the document model and what they share: reference counting, the
// IDispatch members nobody calls, and a count of live objects that tests check for leaks.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/mshtml/host.h"
#include "platform/mshtml/mshtml.h"
#include "platform/mshtml/tree.h"

namespace platform::mshtml {

// Objects of the model alive in this process (documents, elements, collections, styles, ...).
long LiveObjectCount();

namespace detail {
void CountObject(int delta);
}

// QueryInterface of an object that answers one interface besides IUnknown and IDispatch.
#define NB_MSHTML_ONE_INTERFACE(Interface)                                          \
  HRESULT QueryInterface(REFIID riid, void** ppv) override {                        \
    if (!ppv) return E_POINTER;                                                     \
    *ppv = nullptr;                                                                 \
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_##Interface) { \
      *ppv = static_cast<Interface*>(this);                                         \
      AddRef();                                                                     \
      return S_OK;                                                                  \
    }                                                                               \
    return E_NOINTERFACE;                                                           \
  }

// Reference counting and the IDispatch members for one object that may answer several
// interfaces; Derived implements QueryInterface.
#define NB_MSHTML_REFCOUNT                                                                        \
 public:                                                                                          \
  ULONG AddRef() override {                                                                       \
    return ++refs_;                                                                               \
  }                                                                                               \
  ULONG Release() override {                                                                      \
    ULONG r = --refs_;                                                                            \
    if (r == 0) delete this;                                                                      \
    return r;                                                                                     \
  }                                                                                               \
  HRESULT GetTypeInfoCount(UINT* n) override {                                                    \
    if (n) *n = 0;                                                                                \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** p) override {                                       \
    if (p) *p = nullptr;                                                                          \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {                        \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
                                                                                                  \
 private:                                                                                         \
  ULONG refs_ = 1;

// Counts itself in LiveObjectCount for as long as it lives.
struct LiveObject {
  LiveObject() { detail::CountObject(1); }
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
  ~LiveObject() { detail::CountObject(-1); }
};

// A BSTR of UTF-8 text, for out parameters.
BSTR Bstr(std::string_view utf8);
BSTR Bstr(const std::u16string& text);
HRESULT PutBstr(BSTR* out, std::string_view utf8);
void PutVariantString(VARIANT* out, std::string_view utf8);

// A position from a VARIANT (VT_I2, VT_I4, VT_INT, VT_UINT, VT_UI4); false for other types.
bool VariantPosition(const VARIANT& v, long* position);

// The COM object for a node: the same one while it is alive.
HRESULT ElementFor(const std::shared_ptr<Tree>& tree, Node* node, REFIID iid, void** out);

// A collection over a fixed list of nodes.
HRESULT NewElementCollection(std::shared_ptr<Tree> tree, std::vector<Node*> nodes, REFIID iid,
                             void** out);

class Document;
// A frame's window: holds the frame's document.
HRESULT NewWindow(IHTMLDocument2* document, IHTMLWindow2** out);
HRESULT NewFramesCollection(std::vector<ComPtr<IHTMLWindow2>> windows,
                            IHTMLFramesCollection2** out);
HRESULT NewStyleSheet(std::u16string href, IHTMLStyleSheet** out);
HRESULT NewStyleSheetsCollection(std::vector<std::u16string> hrefs,
                                 IHTMLStyleSheetsCollection** out);

}  // namespace platform::mshtml
