// Frames and the windows they hold.
#include "platform/com/object.h"
#include "platform/mshtml/objects.h"

namespace platform::mshtml {
namespace {

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

}  // namespace

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

}  // namespace platform::mshtml
