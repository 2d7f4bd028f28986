#include "toolbar/com/factory.h"

#include "toolbar/band/toolbar_band.h"
#include "toolbar/com/exports.h"

HRESULT CToolbarBandFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (m_clsid != CLSID_ToolbarBand) return E_FAIL;
  // The construction reference is given back after the query, so a failed query frees the band.
  return platform::com::CreateObject<CToolbarBand>(riid, ppv);
}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_ToolbarBand) return CLASS_E_CLASSNOTAVAILABLE;
  return platform::com::CreateObject<CToolbarBandFactory>(riid, ppv, clsid);
}

HRESULT DllCanUnloadNow() {
  return toolbar::objectCount == 0 ? S_OK : S_FALSE;
}
