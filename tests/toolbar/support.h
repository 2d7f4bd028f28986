// The toolbar library loaded once for the test program, its exports, and the browser's side of
// a band: a site whose interfaces a test chooses, and a browser that only counts references.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/bandhost.h"
#include "platform/com/object.h"
#include "platform/win32/windows.h"

namespace tbtest {

struct Library {
  HMODULE module = nullptr;
  HRESULT (*getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT (*canUnloadNow)() = nullptr;
  HRESULT (*registerServer)() = nullptr;
  HRESULT (*unregisterServer)() = nullptr;
};
// Loads NB_TOOLBAR_LIB (or another copy of it) and finds its exports.
Library LoadToolbar(const std::u16string& path);
const Library& Toolbar();

// The band's class, as the library registers it.
inline constexpr CLSID kToolbarClsid = {
    0x6E1C4A52, 0x93B7, 0x4F0D, {0xA8, 0xE2, 0x5C, 0x3D, 0x71, 0xB9, 0x0F, 0x46}};
std::u16string ClsidText();

inline ULONG Refs(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

class TestBrowser final
    : public platform::com::Object<
          TestBrowser, platform::com::Answers<platform::com::WebBrowser2Base, IID_IWebBrowser2,
                                              IID_IWebBrowserApp, IID_IWebBrowser, IID_IDispatch>> {
};

// What a site answers; a test leaves out what it wants missing.
struct SiteOffers {
  bool oleWindow = true;
  bool inputSite = true;
  bool services = true;
};

class TestSite final
    : public platform::com::Object<TestSite, platform::com::Answers<IOleWindow, IID_IOleWindow>,
                                   platform::com::Answers<IInputObjectSite, IID_IInputObjectSite>,
                                   platform::com::Answers<IServiceProvider, IID_IServiceProvider>> {
 public:
  TestSite(HWND window, IWebBrowser2* browser, SiteOffers offers = {})
      : window_(window), browser_(browser), offers_(offers) {}
  bool Offers(REFIID riid) const {
    if (riid == IID_IOleWindow) return offers_.oleWindow;
    if (riid == IID_IInputObjectSite) return offers_.inputSite;
    if (riid == IID_IServiceProvider) return offers_.services;
    return true;
  }
  HRESULT GetWindow(HWND* out) override {
    *out = window_;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT OnFocusChangeIS(IUnknown* object, BOOL focused) override {
    focusChanges.push_back({object, focused});
    return S_OK;
  }
  HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (service != SID_SWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(riid, ppv);
  }
  struct FocusChange {
    IUnknown* object;
    BOOL focused;
  };
  std::vector<FocusChange> focusChanges;

 private:
  HWND window_;
  IWebBrowser2* browser_;
  SiteOffers offers_;
};

// A new band through the library's class factory, as the browser makes one.
ComPtr<IDeskBand> NewBand();

// A top-level window standing for the browser's band host; destroyed with the fixture.
class BandTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND Host(int x = 0, int y = 0);
  std::vector<HWND> hosts_;
};

}  // namespace tbtest
