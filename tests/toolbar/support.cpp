#include "tests/toolbar/support.h"

#include "platform/win32/ui/automation.h"
#include "tests/platform_com/temp_env.h"

namespace tbtest {

Library LoadToolbar(const std::u16string& path) {
  Library lib;
  lib.module = LoadLibraryW(path.c_str());
  if (!lib.module) return lib;
  auto find = [&](const char* name) { return GetProcAddress(lib.module, name); };
  lib.getClassObject =
      reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(find("DllGetClassObject"));
  lib.canUnloadNow = reinterpret_cast<HRESULT (*)()>(find("DllCanUnloadNow"));
  lib.registerServer = reinterpret_cast<HRESULT (*)()>(find("DllRegisterServer"));
  lib.unregisterServer = reinterpret_cast<HRESULT (*)()>(find("DllUnregisterServer"));
  return lib;
}

const Library& Toolbar() {
  static const Library lib = [] {
    Library l = LoadToolbar(platform::com::Utf8ToUtf16(NB_TOOLBAR_LIB));
    EXPECT_TRUE(l.module && l.getClassObject && l.canUnloadNow && l.registerServer &&
                l.unregisterServer)
        << platform::win32::LastLoadError();
    return l;
  }();
  return lib;
}

std::u16string ClsidText() {
  OLECHAR text[39];
  StringFromGUID2(kToolbarClsid, text, 39);
  return text;
}

ComPtr<IDeskBand> NewBand() {
  ComPtr<IClassFactory> factory;
  ComPtr<IDeskBand> band;
  if (Toolbar().getClassObject(kToolbarClsid, IID_IClassFactory,
                               factory.ReleaseAndGetVoidAddress()) == S_OK) {
    factory->CreateInstance(nullptr, IID_IDeskBand, band.ReleaseAndGetVoidAddress());
  }
  return band;
}

namespace {
LRESULT HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

void BandTest::SetUp() {
  ASSERT_NE(Toolbar().module, nullptr);
  platform::ui::ResetAutomation();
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = u"TestBandHost";
    return RegisterClassW(&wc) != 0;
  }();
  ASSERT_TRUE(registered);
}

void BandTest::TearDown() {
  for (HWND h : hosts_) DestroyWindow(h);
  platform::ui::PumpMessages();
  platform::ui::ResetAutomation();
}

HWND BandTest::Host(int x, int y) {
  HWND top = CreateWindowExW(0, u"TestBandHost", u"browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             800, 600, nullptr, nullptr, nullptr, nullptr);
  HWND host = CreateWindowExW(0, u"TestBandHost", u"host", WS_CHILD | WS_VISIBLE, x, y, 700, 30,
                              top, nullptr, nullptr, nullptr);
  hosts_.push_back(top);
  return host;
}

}  // namespace tbtest
