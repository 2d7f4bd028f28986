// The band host's interfaces: their public identifiers, the virtual table slot of each method
// (as a host built against the Windows headers calls them), and the band information layout.
#include "platform/com/bandhost.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

std::u16string Text(REFGUID guid) {
  OLECHAR buf[39];
  StringFromGUID2(guid, buf, 39);
  return buf;
}

TEST(BandHost, PublicIdentifiers) {
  const std::pair<const GUID*, const char16_t*> ids[] = {
      {&IID_IOleWindow, u"{00000114-0000-0000-C000-000000000046}"},
      {&IID_IDockingWindow, u"{012DD920-7B26-11D0-8CA9-00A0C92DBFE8}"},
      {&IID_IDeskBand, u"{EB0FE172-1A3A-11D0-89B3-00A0C90A90AC}"},
      {&IID_IInputObject, u"{68284FAA-6A48-11D0-8C78-00C04FD918B4}"},
      {&IID_IInputObjectSite, u"{F1DB8392-7331-11D0-8C99-00A0C92DBFE8}"},
      {&IID_IObjectWithSite, u"{FC4801A3-2BA9-11CF-A229-00AA003D7352}"},
      {&IID_IPersist, u"{0000010C-0000-0000-C000-000000000046}"},
      {&IID_IPersistStream, u"{00000109-0000-0000-C000-000000000046}"},
      {&IID_ISequentialStream, u"{0C733A30-2A1C-11CE-ADE5-00AA0044773D}"},
      {&IID_IStream, u"{0000000C-0000-0000-C000-000000000046}"},
      {&IID_IServiceProvider, u"{6D5140C1-7436-11CE-8034-00AA006009FA}"},
      {&IID_IWebBrowser, u"{EAB22AC1-30C1-11CF-A7EB-0000C05BAE0B}"},
      {&IID_IWebBrowserApp, u"{0002DF05-0000-0000-C000-000000000046}"},
      {&IID_IWebBrowser2, u"{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}"},
      {&SID_SWebBrowserApp, u"{0002DF05-0000-0000-C000-000000000046}"},
      {&CATID_DeskBand, u"{00021492-0000-0000-C000-000000000046}"},
  };
  for (const auto& [guid, text] : ids) {
    SCOPED_TRACE(platform::com::Utf16ToUtf8(text));
    EXPECT_EQ(Text(*guid), text);
  }
}

// The slot of a virtual method: with the Itanium C++ ABI a pointer to a virtual member holds
// 1 + the byte offset of its slot in the table.
template <typename M>
std::ptrdiff_t Slot(M method) {
  std::ptrdiff_t raw = 0;
  std::memcpy(&raw, &method, sizeof raw);
  return (raw - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

TEST(BandHost, MethodsSitInTheSlotsOfTheWindowsInterfaces) {
  struct Case {
    const char* method;
    std::ptrdiff_t slot, expected;
  };
  const Case cases[] = {
      {"IOleWindow::GetWindow", Slot(&IOleWindow::GetWindow), 3},
      {"IDockingWindow::ShowDW", Slot(&IDockingWindow::ShowDW), 5},
      {"IDockingWindow::ResizeBorderDW", Slot(&IDockingWindow::ResizeBorderDW), 7},
      {"IDeskBand::GetBandInfo", Slot(&IDeskBand::GetBandInfo), 8},
      {"IInputObject::TranslateAcceleratorIO", Slot(&IInputObject::TranslateAcceleratorIO), 5},
      {"IInputObjectSite::OnFocusChangeIS", Slot(&IInputObjectSite::OnFocusChangeIS), 3},
      {"IObjectWithSite::GetSite", Slot(&IObjectWithSite::GetSite), 4},
      {"IServiceProvider::QueryService", Slot(&IServiceProvider::QueryService), 3},
      {"IPersist::GetClassID", Slot(&IPersist::GetClassID), 3},
      {"IPersistStream::GetSizeMax", Slot(&IPersistStream::GetSizeMax), 7},
      {"IStream::Seek", Slot(&IStream::Seek), 5},
      {"IStream::Clone", Slot(&IStream::Clone), 13},
      {"IWebBrowser::GoBack", Slot(&IWebBrowser2::GoBack), 7},
      {"IWebBrowser::get_Document", Slot(&IWebBrowser2::get_Document), 18},
      {"IWebBrowser::get_LocationURL", Slot(&IWebBrowser2::get_LocationURL), 30},
      {"IWebBrowser::get_Busy", Slot(&IWebBrowser2::get_Busy), 31},
      {"IWebBrowserApp::Quit", Slot(&IWebBrowser2::Quit), 32},
      {"IWebBrowserApp::get_HWND", Slot(&IWebBrowser2::get_HWND), 37},
      {"IWebBrowserApp::put_FullScreen", Slot(&IWebBrowser2::put_FullScreen), 51},
      {"IWebBrowser2::Navigate2", Slot(&IWebBrowser2::Navigate2), 52},
      {"IWebBrowser2::get_ReadyState", Slot(&IWebBrowser2::get_ReadyState), 56},
      {"IWebBrowser2::put_Resizable", Slot(&IWebBrowser2::put_Resizable), 70},
  };
  for (const Case& c : cases) EXPECT_EQ(c.slot, c.expected) << c.method;
}

TEST(BandHost, BandInformationLayout) {
  EXPECT_EQ(offsetof(DESKBANDINFO, ptMinSize), 4u);
  EXPECT_EQ(offsetof(DESKBANDINFO, ptActual), 28u);
  EXPECT_EQ(offsetof(DESKBANDINFO, wszTitle), 36u);
  EXPECT_EQ(offsetof(DESKBANDINFO, dwModeFlags), 548u);
  EXPECT_EQ(offsetof(DESKBANDINFO, crBkgnd), 552u);
  EXPECT_EQ(sizeof(DESKBANDINFO), 556u);
  EXPECT_EQ(sizeof(LARGE_INTEGER), 8u);
  EXPECT_EQ(offsetof(STATSTG, cbSize), 16u);
}

// A browser object overrides what it gives; the rest says it is not there.
TEST(BandHost, BrowserBaseAnswersNotImplemented) {
  class Browser final : public platform::com::WebBrowser2Base {
   public:
    HRESULT QueryInterface(REFIID, void** ppv) override {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT get_LocationURL(BSTR* url) override {
      *url = SysAllocString(u"http://127.0.0.1/");
      return S_OK;
    }
  } browser;
  IWebBrowser2* b = &browser;
  BStr url;
  EXPECT_EQ(b->get_LocationURL(&url), S_OK);
  EXPECT_EQ(url.Str(), u"http://127.0.0.1/");
  IDispatch* doc = reinterpret_cast<IDispatch*>(0x1);
  EXPECT_EQ(b->get_Document(&doc), E_NOTIMPL);
  EXPECT_EQ(b->Navigate2(nullptr, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
}

}  // namespace
