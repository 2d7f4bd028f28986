// A reference-counted IDispatch for tests that check who AddRefs and Releases.
#pragma once

#include "platform/com/com.h"

namespace nbtest {

class Counted final : public IDispatch {
 public:
  // Starts with one reference owned by the creator; *destroyed is set when the count hits 0.
  // *live, when given, counts the objects alive.
  explicit Counted(bool* destroyed = nullptr, int* live = nullptr)
      : destroyed_(destroyed), live_(live) {
    if (live_) ++*live_;
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG r = --refs_;
    if (r == 0) {
      if (destroyed_) *destroyed_ = true;
      delete this;
    }
    return r;
  }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  ULONG Refs() const { return refs_; }

 private:
  ~Counted() {
    if (live_) --*live_;
  }
  bool* destroyed_;
  int* live_;
  ULONG refs_ = 1;
};

}  // namespace nbtest
