#include "apps/nbclip/browser/browser.h"

#include "platform/com/object.h"
#include "platform/win32/kernel.h"
#include "platform/win32/ui/ui.h"

namespace nbclip {

// What the bands see of the browser: the page shown.
class CBrowserObject final
    : public platform::com::Object<
          CBrowserObject,
          platform::com::Answers<platform::com::WebBrowser2Base, IID_IWebBrowser2,
                                 IID_IWebBrowserApp, IID_IWebBrowser, IID_IDispatch>> {
 public:
  explicit CBrowserObject(HWND frame) : m_frame(frame) {}

  void Show(std::u16string address, ComPtr<IHTMLDocument2> document) {
    m_address = std::move(address);
    m_document = std::move(document);
  }

  HRESULT get_LocationURL(BSTR* url) override {
    if (!url) return E_POINTER;
    *url = SysAllocString(m_address);
    return *url ? S_OK : E_OUTOFMEMORY;
  }
  // S_OK with no document when the page has none, as a browser answers before it has loaded one.
  HRESULT get_Document(IDispatch** disp) override {
    if (!disp) return E_POINTER;
    *disp = nullptr;
    if (!m_document) return S_OK;
    return m_document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(disp));
  }
  HRESULT get_HWND(SHANDLE_PTR* hwnd) override {
    if (!hwnd) return E_POINTER;
    *hwnd = reinterpret_cast<SHANDLE_PTR>(m_frame);
    return S_OK;
  }
  HRESULT get_Busy(VARIANT_BOOL* busy) override {
    if (!busy) return E_POINTER;
    *busy = VARIANT_FALSE;
    return S_OK;
  }

 private:
  HWND m_frame;
  std::u16string m_address;
  ComPtr<IHTMLDocument2> m_document;
};

namespace {

constexpr char16_t kFrameClass[] = u"NubraBrowserFrame";
constexpr char16_t kBandHostClass[] = u"NubraBandHost";

// The site a band is given: the band host's window, somewhere to tell focus changes, and the
// browser as the web browser service.
class CBandSite final
    : public platform::com::Object<CBandSite, platform::com::Answers<IOleWindow, IID_IOleWindow>,
                                   platform::com::Answers<IInputObjectSite, IID_IInputObjectSite>,
                                   platform::com::Answers<IServiceProvider, IID_IServiceProvider>> {
 public:
  CBandSite(HWND host, IWebBrowser2* browser) : m_host(host), m_browser(browser) {}

  HRESULT GetWindow(HWND* phwnd) override {
    if (!phwnd) return E_POINTER;
    *phwnd = m_host;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT OnFocusChangeIS(IUnknown*, BOOL) override { return S_OK; }
  HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (service != SID_SWebBrowserApp) return E_NOINTERFACE;
    return m_browser->QueryInterface(riid, ppv);
  }

 private:
  HWND m_host;
  IWebBrowser2* m_browser;  // the browser outlives its bands' sites
};

void RegisterClasses() {
  static const bool done = [] {
    for (const char16_t* name : {kFrameClass, kBandHostClass}) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
      wc.lpszClassName = name;
      RegisterClassW(&wc);
    }
    return true;
  }();
  (void)done;
}

}  // namespace

Browser::Browser() {
  RegisterClasses();
  HINSTANCE self = GetModuleHandleW(nullptr);
  m_frame = CreateWindowExW(0, kFrameClass, u"nbclip", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1024,
                            768, nullptr, nullptr, self, nullptr);
  m_bandHost = CreateWindowExW(0, kBandHostClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, 1024, 26,
                               m_frame, nullptr, self, nullptr);
  m_browser = ComPtr<CBrowserObject>::Attach(new CBrowserObject(m_frame));
}

Browser::~Browser() {
  CloseBands();
  if (m_frame) DestroyWindow(m_frame);
}

void Browser::Show(std::u16string address, ComPtr<IHTMLDocument2> document) {
  SetWindowTextW(m_frame, (u"nbclip - " + address).c_str());
  m_browser->Show(std::move(address), std::move(document));
}

std::vector<BandFailure> Browser::OpenBands() {
  std::vector<BandFailure> failures;
  for (RegisteredToolbar& toolbar : RegisteredToolbars()) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromString(toolbar.clsid.c_str(), &clsid);
    HostedBand hosted{toolbar, nullptr, nullptr, {}};
    if (SUCCEEDED(hr)) {
      hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                            hosted.band.ReleaseAndGetVoidAddress());
    }
    if (FAILED(hr) || !hosted.band) {
      failures.push_back({toolbar, "create", FAILED(hr) ? hr : E_NOINTERFACE});
      continue;
    }
    ComPtr<IObjectWithSite> withSite;
    hr = hosted.band->QueryInterface(IID_IObjectWithSite, withSite.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr)) {
      auto site = ComPtr<CBandSite>::Attach(new CBandSite(m_bandHost, m_browser.Get()));
      hr = withSite->SetSite(site->Identity());
    }
    if (FAILED(hr)) {
      if (withSite) withSite->SetSite(nullptr);
      failures.push_back({toolbar, "SetSite", hr});
      continue;
    }
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                  DBIM_MODEFLAGS | DBIM_BKCOLOR;
    if (hosted.band->GetBandInfo(static_cast<DWORD>(m_bands.size()), DBIF_VIEWMODE_NORMAL, &info) ==
            S_OK &&
        (info.dwMask & DBIM_TITLE)) {
      info.wszTitle[255] = 0;
      hosted.title = info.wszTitle;
    }
    hosted.band->ShowDW(TRUE);
    hosted.band->GetWindow(&hosted.window);
    m_bands.push_back(std::move(hosted));
  }
  return failures;
}

void Browser::CloseBands() {
  for (HostedBand& hosted : m_bands) {
    hosted.band->CloseDW(0);
    ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(hosted.band->QueryInterface(IID_IObjectWithSite,
                                              withSite.ReleaseAndGetVoidAddress()))) {
      withSite->SetSite(nullptr);
    }
    withSite.Reset();
    hosted.band.Reset();
  }
  bool hadBands = !m_bands.empty();
  m_bands.clear();
  if (hadBands) CoFreeUnusedLibraries();
}

}  // namespace nbclip
