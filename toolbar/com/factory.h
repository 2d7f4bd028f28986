// The class object of the toolbar band: DllGetClassObject hands one out for the toolbar's
// CLSID, and its CreateInstance makes the bands the browser shows.
#pragma once

#include "platform/com/object.h"
#include "toolbar/com/module.h"

class CToolbarBandFactory final
    : public toolbar::ModuleObject,
      public platform::com::Object<CToolbarBandFactory,
                                   platform::com::Answers<IClassFactory, IID_IClassFactory>> {
 public:
  explicit CToolbarBandFactory(REFCLSID clsid) : m_clsid(clsid) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT LockServer(BOOL) override { return E_NOTIMPL; }

 private:
  using Base = platform::com::Object<CToolbarBandFactory,
                                     platform::com::Answers<IClassFactory, IID_IClassFactory>>;
  friend Base;
  ~CToolbarBandFactory() = default;

  CLSID m_clsid;
};
