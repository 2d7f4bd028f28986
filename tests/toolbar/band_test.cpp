// The band object through its interfaces: identity, band information, docking, site and focus.
#include <cstring>

#include "platform/win32/ui/automation.h"
#include "tests/toolbar/support.h"

using namespace tbtest;

namespace {

template <typename T>
ComPtr<T> As(IUnknown* p, REFIID iid) {
  ComPtr<T> out;
  p->QueryInterface(iid, out.ReleaseAndGetVoidAddress());
  return out;
}

using Band = BandTest;

TEST_F(Band, QueryInterfaceGivesOneObjectThroughFourTables) {
  ComPtr<IDeskBand> band = NewBand();
  ASSERT_TRUE(band);
  // Which table answers each interface; -1: none.
  struct Case {
    const char* name;
    const IID& iid;
    int table;
  } cases[] = {
      {"IUnknown", IID_IUnknown, 0},
      {"IOleWindow", IID_IOleWindow, 0},
      {"IDockingWindow", IID_IDockingWindow, 0},
      {"IDeskBand", IID_IDeskBand, 0},
      {"IInputObject", IID_IInputObject, 1},
      {"IObjectWithSite", IID_IObjectWithSite, 2},
      {"IPersist", IID_IPersist, 3},
      {"IPersistStream", IID_IPersistStream, 3},
      {"IClassFactory", IID_IClassFactory, -1},
      {"IInputObjectSite", IID_IInputObjectSite, -1},
  };
  void* tables[4] = {};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* out = reinterpret_cast<void*>(0x1);
    HRESULT hr = band->QueryInterface(c.iid, &out);
    if (c.table < 0) {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(out, nullptr);
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    if (!tables[c.table]) tables[c.table] = out;
    EXPECT_EQ(out, tables[c.table]);
    // Every table leads back to the one identity.
    auto identity = As<IUnknown>(static_cast<IUnknown*>(out), IID_IUnknown);
    EXPECT_EQ(static_cast<void*>(identity.Get()), tables[0]);
    static_cast<IUnknown*>(out)->Release();
  }
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j) EXPECT_NE(tables[i], tables[j]);
  EXPECT_EQ(static_cast<void*>(band.Get()), tables[0]);
  EXPECT_EQ(Refs(band.Get()), 1u) << "every reference handed out was given back";
}

TEST_F(Band, GetBandInfoFillsWhatTheMaskAsks) {
  ComPtr<IDeskBand> band = NewBand();
  ASSERT_TRUE(band);
  struct Case {
    DWORD mask;
    std::function<void(const DESKBANDINFO&)> check;
  } cases[] = {
      {DBIM_MINSIZE,
       [](const DESKBANDINFO& i) {
         EXPECT_EQ(i.ptMinSize.x, 10);
         EXPECT_EQ(i.ptMinSize.y, 25);
       }},
      {DBIM_MAXSIZE,
       [](const DESKBANDINFO& i) {
         EXPECT_EQ(i.ptMaxSize.x, -1);
         EXPECT_EQ(i.ptMaxSize.y, 25);
       }},
      {DBIM_INTEGRAL,
       [](const DESKBANDINFO& i) {
         EXPECT_EQ(i.ptIntegral.x, 1);
         EXPECT_EQ(i.ptIntegral.y, 1);
       }},
      {DBIM_ACTUAL,
       [](const DESKBANDINFO& i) {
         EXPECT_EQ(i.ptActual.x, 200);
         EXPECT_EQ(i.ptActual.y, 25);
       }},
      {DBIM_TITLE,
       [](const DESKBANDINFO& i) { EXPECT_EQ(std::u16string(i.wszTitle), u"Nubraツールバー"); }},
      {DBIM_MODEFLAGS,
       [](const DESKBANDINFO& i) { EXPECT_EQ(i.dwModeFlags, DBIMF_VARIABLEHEIGHT); }},
      {DBIM_BKCOLOR, [](const DESKBANDINFO& i) { EXPECT_EQ(i.crBkgnd, 0xCDCDCDCDu); }},
  };
  DESKBANDINFO garbage;
  std::memset(&garbage, 0xCD, sizeof garbage);
  for (const Case& c : cases) {
    for (DWORD withColour : {0u, DBIM_BKCOLOR}) {
      SCOPED_TRACE(testing::Message() << "mask " << (c.mask | withColour));
      DESKBANDINFO info = garbage;
      info.dwMask = c.mask | withColour;
      ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_VERTICAL, &info), S_OK);
      EXPECT_EQ(info.dwMask, c.mask & ~DBIM_BKCOLOR);
      c.check(info);
      // Nothing else is touched.
      DESKBANDINFO rest = info, untouched = garbage;
      rest.dwMask = untouched.dwMask = 0;
      if (c.mask == DBIM_MINSIZE) rest.ptMinSize = untouched.ptMinSize = {};
      if (c.mask == DBIM_MAXSIZE) rest.ptMaxSize = untouched.ptMaxSize = {};
      if (c.mask == DBIM_INTEGRAL) rest.ptIntegral = untouched.ptIntegral = {};
      if (c.mask == DBIM_ACTUAL) rest.ptActual = untouched.ptActual = {};
      if (c.mask == DBIM_TITLE)
        std::memset(rest.wszTitle, 0, sizeof rest.wszTitle),
            std::memset(untouched.wszTitle, 0, sizeof untouched.wszTitle);
      if (c.mask == DBIM_MODEFLAGS) rest.dwModeFlags = untouched.dwModeFlags = 0;
      EXPECT_EQ(std::memcmp(&rest, &untouched, sizeof rest), 0);
    }
  }
  EXPECT_EQ(band->GetBandInfo(0, 0, nullptr), E_INVALIDARG);
}

TEST_F(Band, DockingBeforeAndAfterTheWindow) {
  ComPtr<IDeskBand> band = NewBand();
  ASSERT_TRUE(band);
  HWND window = reinterpret_cast<HWND>(0x1);
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, nullptr);
  EXPECT_EQ(band->ShowDW(TRUE), S_OK) << "no window yet: nothing to show";
  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(band->ContextSensitiveHelp(TRUE), E_NOTIMPL);
  EXPECT_EQ(band->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);

  ComPtr<TestBrowser> browser = ComPtr<TestBrowser>::Attach(new TestBrowser);
  ComPtr<TestSite> site = ComPtr<TestSite>::Attach(new TestSite(Host(), browser.Get()));
  auto withSite = As<IObjectWithSite>(band.Get(), IID_IObjectWithSite);
  ASSERT_EQ(withSite->SetSite(site->Identity()), S_OK);
  ASSERT_EQ(band->GetWindow(&window), S_OK);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(band->ShowDW(FALSE), S_OK);
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(band->ShowDW(TRUE), S_OK);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
  EXPECT_EQ(band->CloseDW(0), S_OK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(band->CloseDW(0), S_OK) << "the second finds no window";
  EXPECT_EQ(band->GetWindow(&window), S_OK);
  EXPECT_EQ(window, nullptr);
}

TEST_F(Band, SetSiteByWhatTheSiteOffers) {
  struct Case {
    const char* name;
    bool nullWindow;
    SiteOffers offers;
    HRESULT want;
    bool windowLeft;
    bool browserHeld;
  } cases[] = {
      {"a full site", false, {}, S_OK, true, true},
      {"no IOleWindow", false, {.oleWindow = false}, E_FAIL, false, false},
      {"a null window", true, {}, E_FAIL, false, false},
      {"no IInputObjectSite", false, {.inputSite = false}, E_FAIL, false, false},
      {"no service provider", false, {.services = false}, S_OK, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComPtr<IDeskBand> band = NewBand();
    ASSERT_TRUE(band);
    ComPtr<TestBrowser> browser = ComPtr<TestBrowser>::Attach(new TestBrowser);
    HWND host = c.nullWindow ? nullptr : Host();
    ComPtr<TestSite> site = ComPtr<TestSite>::Attach(new TestSite(host, browser.Get(), c.offers));
    auto withSite = As<IObjectWithSite>(band.Get(), IID_IObjectWithSite);
    EXPECT_EQ(withSite->SetSite(site->Identity()), c.want);
    HWND window = nullptr;
    band->GetWindow(&window);
    EXPECT_EQ(window != nullptr, c.windowLeft);
    if (host) {
      EXPECT_EQ(platform::ui::FindWindowByClass(u"QuivBookToolBarEvalClass", host) != nullptr,
                c.windowLeft);
    }
    EXPECT_EQ(Refs(browser.Get()), c.browserHeld ? 2u : 1u);
    ComPtr<IUnknown> got;
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, got.ReleaseAndGetVoidAddress()),
              c.want == S_OK ? S_OK : E_FAIL);
    EXPECT_EQ(got.Get(), c.want == S_OK ? site->Identity() : nullptr);
  }
}

TEST_F(Band, SetSiteNullReleasesTheSiteAndKeepsTheBrowser) {
  ComPtr<IDeskBand> band = NewBand();
  ComPtr<TestBrowser> browser = ComPtr<TestBrowser>::Attach(new TestBrowser);
  ComPtr<TestSite> site = ComPtr<TestSite>::Attach(new TestSite(Host(), browser.Get()));
  auto withSite = As<IObjectWithSite>(band.Get(), IID_IObjectWithSite);
  ASSERT_EQ(withSite->SetSite(site->Identity()), S_OK);
  ULONG siteRefs = Refs(site->Identity());
  HWND window = nullptr;
  band->GetWindow(&window);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(Refs(site->Identity()), siteRefs - 1);
  EXPECT_EQ(Refs(browser.Get()), 2u);
  EXPECT_TRUE(IsWindow(window)) << "the window stays until CloseDW";
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  band->CloseDW(0);
  withSite.Reset();
  band.Reset();
  EXPECT_EQ(Refs(browser.Get()), 1u) << "the last release gives the browser back";
}

TEST_F(Band, ASecondSiteReplacesTheBrowserAndKeepsTheWindow) {
  ComPtr<IDeskBand> band = NewBand();
  ComPtr<TestBrowser> first = ComPtr<TestBrowser>::Attach(new TestBrowser);
  ComPtr<TestBrowser> second = ComPtr<TestBrowser>::Attach(new TestBrowser);
  HWND host = Host();
  auto withSite = As<IObjectWithSite>(band.Get(), IID_IObjectWithSite);
  ComPtr<TestSite> a = ComPtr<TestSite>::Attach(new TestSite(host, first.Get()));
  ComPtr<TestSite> b = ComPtr<TestSite>::Attach(new TestSite(host, second.Get()));
  ASSERT_EQ(withSite->SetSite(a->Identity()), S_OK);
  HWND window = nullptr;
  band->GetWindow(&window);
  ASSERT_EQ(withSite->SetSite(b->Identity()), S_OK);
  EXPECT_EQ(Refs(first.Get()), 1u);
  EXPECT_EQ(Refs(second.Get()), 2u);
  HWND again = nullptr;
  band->GetWindow(&again);
  EXPECT_EQ(again, window);
  EXPECT_EQ(platform::ui::FindWindowByClass(u"QuivBookToolBarEvalClass", GetParent(host)), window);
  EXPECT_EQ(Refs(a->Identity()), 1u);
  band->CloseDW(0);
}

TEST_F(Band, TheLastReleaseDestroysAWindowStillAlive) {
  ComPtr<IDeskBand> band = NewBand();
  ComPtr<TestSite> site = ComPtr<TestSite>::Attach(new TestSite(Host(), nullptr));
  ASSERT_EQ(As<IObjectWithSite>(band.Get(), IID_IObjectWithSite)->SetSite(site->Identity()), S_OK);
  HWND window = nullptr;
  band->GetWindow(&window);
  ASSERT_TRUE(IsWindow(window));
  band.Reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(Toolbar().canUnloadNow(), S_OK);
  EXPECT_EQ(Refs(site->Identity()), 1u);
}

TEST_F(Band, FocusIsToldToTheSite) {
  ComPtr<IDeskBand> band = NewBand();
  ComPtr<TestSite> site = ComPtr<TestSite>::Attach(new TestSite(Host(), nullptr));
  ASSERT_EQ(As<IObjectWithSite>(band.Get(), IID_IObjectWithSite)->SetSite(site->Identity()), S_OK);
  auto input = As<IInputObject>(band.Get(), IID_IInputObject);
  EXPECT_EQ(input->HasFocusIO(), S_FALSE);
  EXPECT_EQ(input->TranslateAcceleratorIO(nullptr), S_FALSE);
  EXPECT_EQ(input->UIActivateIO(TRUE, nullptr), S_OK);
  EXPECT_EQ(input->HasFocusIO(), S_OK);
  HWND window = nullptr;
  band->GetWindow(&window);
  EXPECT_EQ(GetFocus(), window);
  SetFocus(nullptr);
  EXPECT_EQ(input->HasFocusIO(), S_FALSE);
  ASSERT_EQ(site->focusChanges.size(), 2u);
  EXPECT_EQ(site->focusChanges[0].object, static_cast<IUnknown*>(band.Get()));
  EXPECT_TRUE(site->focusChanges[0].focused);
  EXPECT_FALSE(site->focusChanges[1].focused);
  band->CloseDW(0);
}

TEST_F(Band, PersistsNothingAndNamesItsClass) {
  ComPtr<IDeskBand> band = NewBand();
  auto persist = As<IPersistStream>(band.Get(), IID_IPersistStream);
  ASSERT_TRUE(persist);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, kToolbarClsid);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  EXPECT_EQ(persist->Load(nullptr), S_OK);
  EXPECT_EQ(persist->Save(nullptr, TRUE), S_OK);
  ULARGE_INTEGER size{};
  EXPECT_EQ(persist->GetSizeMax(&size), E_NOTIMPL);
}

}  // namespace
