#include "toolbar/band/toolbar_band.h"

#include "toolbar/resources/resource.h"

CToolbarBand::CToolbarBand() = default;

CToolbarBand::~CToolbarBand() {
  // A window outliving its band would hand a freed band to its procedure.
  if (bandWindow && IsWindow(bandWindow)) DestroyWindow(bandWindow);
  inputSite.Reset();
  browser.Reset();
  // The book list and the combo box go with the members; the object count falls after them.
}

HRESULT CToolbarBand::GetWindow(HWND* phwnd) {
  if (!phwnd) return E_POINTER;
  *phwnd = bandWindow;
  return S_OK;
}

HRESULT CToolbarBand::ShowDW(BOOL show) {
  if (bandWindow) ShowWindow(bandWindow, show ? SW_SHOW : SW_HIDE);
  return S_OK;
}

HRESULT CToolbarBand::CloseDW(DWORD) {
  ShowDW(FALSE);
  if (bandWindow && IsWindow(bandWindow)) DestroyWindow(bandWindow);
  bandWindow = nullptr;
  return S_OK;
}

HRESULT CToolbarBand::GetBandInfo(DWORD, DWORD, DESKBANDINFO* info) {
  if (!info) return E_INVALIDARG;
  if (info->dwMask & DBIM_MINSIZE) info->ptMinSize = {10, 25};
  if (info->dwMask & DBIM_MAXSIZE) info->ptMaxSize = {-1, 25};
  if (info->dwMask & DBIM_INTEGRAL) info->ptIntegral = {1, 1};
  if (info->dwMask & DBIM_ACTUAL) info->ptActual = {200, 25};
  if (info->dwMask & DBIM_TITLE) {
    if (LoadStringW(toolbar::ModuleInstance(), IDS_BAND_TITLE, info->wszTitle, 256) <= 0) {
      info->wszTitle[0] = 0;
    }
  }
  if (info->dwMask & DBIM_MODEFLAGS) info->dwModeFlags = DBIMF_VARIABLEHEIGHT;
  // No colour of our own: the host paints its default background.
  info->dwMask &= ~DBIM_BKCOLOR;
  return S_OK;
}

HRESULT CToolbarBand::UIActivateIO(BOOL activate, MSG*) {
  if (activate) SetFocus(bandWindow);
  return S_OK;
}

void CToolbarBand::SetFocusState(BOOL focused) {
  hasFocus = focused;
  if (inputSite) inputSite->OnFocusChangeIS(Identity(), focused);
}

HRESULT CToolbarBand::SetSite(IUnknown* site) {
  // 1, 2. A new site replaces the old; none leaves the window and the browser as they are.
  inputSite.Reset();
  if (!site) return S_OK;

  // 3, 4. The host window.
  parentWindow = nullptr;
  ComPtr<IOleWindow> oleWindow;
  if (SUCCEEDED(site->QueryInterface(IID_IOleWindow, oleWindow.ReleaseAndGetVoidAddress()))) {
    oleWindow->GetWindow(&parentWindow);
  }
  if (!parentWindow) return E_FAIL;

  // 5. The band window, once.
  bool hadWindow = bandWindow != nullptr;
  if (!CreateBandWindow()) return E_FAIL;

  // 6. The site to tell of focus changes. Without one the band cannot work in this host, so the
  // window made for it goes too.
  if (FAILED(site->QueryInterface(IID_IInputObjectSite, inputSite.ReleaseAndGetVoidAddress()))) {
    inputSite.Reset();
    if (!hadWindow) CloseDW(0);
    return E_FAIL;
  }

  // 7. The browser, through the site's service provider; a site without one leaves it null.
  browser.Reset();
  ComPtr<IServiceProvider> services;
  if (GetSite(IID_IServiceProvider, services.ReleaseAndGetVoidAddress()) == S_OK && services) {
    services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                           browser.ReleaseAndGetVoidAddress());
  }
  return S_OK;
}

HRESULT CToolbarBand::GetSite(REFIID riid, void** ppvSite) {
  if (!ppvSite) return E_POINTER;
  *ppvSite = nullptr;
  if (!inputSite) return E_FAIL;
  return inputSite->QueryInterface(riid, ppvSite);
}

HRESULT CToolbarBand::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_ToolbarBand;
  return S_OK;
}
