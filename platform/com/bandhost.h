// The interfaces between a browser's band host and the bands it shows: the window and docking
// interfaces, the band's size information, focus, site, persistence, the service provider
// and the browser's automation interface, with their public identifiers. Methods are declared
// in the order of the Windows interfaces, so that every virtual table slot matches.
#pragma once

#include "platform/com/com.h"
#include "platform/com/object.h"

// Declared with the window system; only pointers are needed here.
struct RECT;
struct MSG;
using LPCRECT = const RECT*;

struct POINTL {
  LONG x;
  LONG y;
};

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};

extern "C" const IID IID_IOleWindow;
extern "C" const IID IID_IDockingWindow;
extern "C" const IID IID_IDeskBand;
extern "C" const IID IID_IInputObject;
extern "C" const IID IID_IInputObjectSite;
extern "C" const IID IID_IObjectWithSite;
extern "C" const IID IID_IPersist;
extern "C" const IID IID_IPersistStream;
extern "C" const IID IID_ISequentialStream;
extern "C" const IID IID_IStream;
extern "C" const IID IID_IServiceProvider;
extern "C" const IID IID_IWebBrowser;
extern "C" const IID IID_IWebBrowserApp;
extern "C" const IID IID_IWebBrowser2;
// The service under which a band's site gives the browser: the same value as IID_IWebBrowserApp.
extern "C" const GUID SID_SWebBrowserApp;
// The component category of desk bands.
extern "C" const GUID CATID_DeskBand;

// ---------------------------------------------------------------------------------------------
// Windows and docking

struct IOleWindow : IUnknown {
  virtual HRESULT GetWindow(HWND* phwnd) = 0;
  virtual HRESULT ContextSensitiveHelp(BOOL enterMode) = 0;

 protected:
  ~IOleWindow() = default;
};

struct IDockingWindow : IOleWindow {
  virtual HRESULT ShowDW(BOOL show) = 0;
  virtual HRESULT CloseDW(DWORD reserved) = 0;
  virtual HRESULT ResizeBorderDW(LPCRECT border, IUnknown* toolbarSite, BOOL reserved) = 0;

 protected:
  ~IDockingWindow() = default;
};

// What GetBandInfo fills: only the members whose DBIM_ bit the host set in dwMask; a band
// clears the bits of members it does not give.
constexpr DWORD DBIM_MINSIZE = 0x0001;
constexpr DWORD DBIM_MAXSIZE = 0x0002;
constexpr DWORD DBIM_INTEGRAL = 0x0004;
constexpr DWORD DBIM_ACTUAL = 0x0008;
constexpr DWORD DBIM_TITLE = 0x0010;
constexpr DWORD DBIM_MODEFLAGS = 0x0020;
constexpr DWORD DBIM_BKCOLOR = 0x0040;

constexpr DWORD DBIMF_NORMAL = 0x0000;
constexpr DWORD DBIMF_FIXED = 0x0001;
constexpr DWORD DBIMF_FIXEDBMP = 0x0004;
constexpr DWORD DBIMF_VARIABLEHEIGHT = 0x0008;
constexpr DWORD DBIMF_UNDELETEABLE = 0x0010;
constexpr DWORD DBIMF_DEBOSSED = 0x0020;
constexpr DWORD DBIMF_BKCOLOR = 0x0040;
constexpr DWORD DBIMF_USECHEVRON = 0x0080;
constexpr DWORD DBIMF_BREAK = 0x0100;
constexpr DWORD DBIMF_ADDTOFRONT = 0x0200;
constexpr DWORD DBIMF_TOPALIGN = 0x0400;

constexpr DWORD DBIF_VIEWMODE_NORMAL = 0x0000;
constexpr DWORD DBIF_VIEWMODE_VERTICAL = 0x0001;
constexpr DWORD DBIF_VIEWMODE_FLOATING = 0x0002;
constexpr DWORD DBIF_VIEWMODE_TRANSPARENT = 0x0004;

struct DESKBANDINFO {
  DWORD dwMask;
  POINTL ptMinSize;
  POINTL ptMaxSize;
  POINTL ptIntegral;
  POINTL ptActual;
  WCHAR wszTitle[256];
  DWORD dwModeFlags;
  COLORREF crBkgnd;
};

struct IDeskBand : IDockingWindow {
  virtual HRESULT GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) = 0;

 protected:
  ~IDeskBand() = default;
};

// ---------------------------------------------------------------------------------------------
// Focus and site

struct IInputObject : IUnknown {
  virtual HRESULT UIActivateIO(BOOL activate, MSG* msg) = 0;
  virtual HRESULT HasFocusIO() = 0;
  virtual HRESULT TranslateAcceleratorIO(MSG* msg) = 0;

 protected:
  ~IInputObject() = default;
};

struct IInputObjectSite : IUnknown {
  virtual HRESULT OnFocusChangeIS(IUnknown* object, BOOL setFocus) = 0;

 protected:
  ~IInputObjectSite() = default;
};

struct IObjectWithSite : IUnknown {
  virtual HRESULT SetSite(IUnknown* site) = 0;
  virtual HRESULT GetSite(REFIID riid, void** ppvSite) = 0;

 protected:
  ~IObjectWithSite() = default;
};

struct IServiceProvider : IUnknown {
  virtual HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) = 0;

 protected:
  ~IServiceProvider() = default;
};

// ---------------------------------------------------------------------------------------------
// Persistence

constexpr DWORD STREAM_SEEK_SET = 0;
constexpr DWORD STREAM_SEEK_CUR = 1;
constexpr DWORD STREAM_SEEK_END = 2;
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;
constexpr DWORD STGTY_STREAM = 2;

struct STATSTG {
  LPOLESTR pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

struct ISequentialStream : IUnknown {
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* read) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER newSize) = 0;
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* read,
                         ULARGE_INTEGER* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  virtual HRESULT Clone(IStream** clone) = 0;

 protected:
  ~IStream() = default;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistStream : IPersist {
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0;
  virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;

 protected:
  ~IPersistStream() = default;
};

// ---------------------------------------------------------------------------------------------
// The browser

using SHANDLE_PTR = LONG_PTR;

enum OLECMDID : int {
  OLECMDID_OPEN = 1,
  OLECMDID_SAVEAS = 4,
  OLECMDID_PRINT = 6,
  OLECMDID_REFRESH = 22,
  OLECMDID_STOP = 23,
};
enum OLECMDF : int {
  OLECMDF_SUPPORTED = 1,
  OLECMDF_ENABLED = 2,
};
enum OLECMDEXECOPT : int {
  OLECMDEXECOPT_DODEFAULT = 0,
  OLECMDEXECOPT_PROMPTUSER = 1,
  OLECMDEXECOPT_DONTPROMPTUSER = 2,
  OLECMDEXECOPT_SHOWHELP = 3,
};
enum READYSTATE : int {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4,
};

struct IWebBrowser : IDispatch {
  virtual HRESULT GoBack() = 0;
  virtual HRESULT GoForward() = 0;
  virtual HRESULT GoHome() = 0;
  virtual HRESULT GoSearch() = 0;
  virtual HRESULT Navigate(BSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                           VARIANT* headers) = 0;
  virtual HRESULT Refresh() = 0;
  virtual HRESULT Refresh2(VARIANT* level) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT get_Application(IDispatch** disp) = 0;
  virtual HRESULT get_Parent(IDispatch** disp) = 0;
  virtual HRESULT get_Container(IDispatch** disp) = 0;
  // The document shown (its IDispatch; IHTMLDocument2 by QueryInterface), or null.
  virtual HRESULT get_Document(IDispatch** disp) = 0;
  virtual HRESULT get_TopLevelContainer(VARIANT_BOOL* value) = 0;
  virtual HRESULT get_Type(BSTR* type) = 0;
  virtual HRESULT get_Left(LONG* value) = 0;
  virtual HRESULT put_Left(LONG value) = 0;
  virtual HRESULT get_Top(LONG* value) = 0;
  virtual HRESULT put_Top(LONG value) = 0;
  virtual HRESULT get_Width(LONG* value) = 0;
  virtual HRESULT put_Width(LONG value) = 0;
  virtual HRESULT get_Height(LONG* value) = 0;
  virtual HRESULT put_Height(LONG value) = 0;
  virtual HRESULT get_LocationName(BSTR* name) = 0;
  // The address of the page shown; the caller frees it (SysFreeString).
  virtual HRESULT get_LocationURL(BSTR* url) = 0;
  virtual HRESULT get_Busy(VARIANT_BOOL* busy) = 0;

 protected:
  ~IWebBrowser() = default;
};

struct IWebBrowserApp : IWebBrowser {
  virtual HRESULT Quit() = 0;
  virtual HRESULT ClientToWindow(int* cx, int* cy) = 0;
  virtual HRESULT PutProperty(BSTR property, VARIANT value) = 0;
  virtual HRESULT GetProperty(BSTR property, VARIANT* value) = 0;
  virtual HRESULT get_Name(BSTR* name) = 0;
  virtual HRESULT get_HWND(SHANDLE_PTR* hwnd) = 0;
  virtual HRESULT get_FullName(BSTR* name) = 0;
  virtual HRESULT get_Path(BSTR* path) = 0;
  virtual HRESULT get_Visible(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Visible(VARIANT_BOOL value) = 0;
  virtual HRESULT get_StatusBar(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_StatusBar(VARIANT_BOOL value) = 0;
  virtual HRESULT get_StatusText(BSTR* text) = 0;
  virtual HRESULT put_StatusText(BSTR text) = 0;
  virtual HRESULT get_ToolBar(int* value) = 0;
  virtual HRESULT put_ToolBar(int value) = 0;
  virtual HRESULT get_MenuBar(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_MenuBar(VARIANT_BOOL value) = 0;
  virtual HRESULT get_FullScreen(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_FullScreen(VARIANT_BOOL value) = 0;

 protected:
  ~IWebBrowserApp() = default;
};

struct IWebBrowser2 : IWebBrowserApp {
  virtual HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName,
                            VARIANT* postData, VARIANT* headers) = 0;
  virtual HRESULT QueryStatusWB(OLECMDID cmd, OLECMDF* status) = 0;
  virtual HRESULT ExecWB(OLECMDID cmd, OLECMDEXECOPT option, VARIANT* in, VARIANT* out) = 0;
  virtual HRESULT ShowBrowserBar(VARIANT* clsid, VARIANT* show, VARIANT* size) = 0;
  virtual HRESULT get_ReadyState(READYSTATE* state) = 0;
  virtual HRESULT get_Offline(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Offline(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Silent(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Silent(VARIANT_BOOL value) = 0;
  virtual HRESULT get_RegisterAsBrowser(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_RegisterAsBrowser(VARIANT_BOOL value) = 0;
  virtual HRESULT get_RegisterAsDropTarget(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_RegisterAsDropTarget(VARIANT_BOOL value) = 0;
  virtual HRESULT get_TheaterMode(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_TheaterMode(VARIANT_BOOL value) = 0;
  virtual HRESULT get_AddressBar(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_AddressBar(VARIANT_BOOL value) = 0;
  virtual HRESULT get_Resizable(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Resizable(VARIANT_BOOL value) = 0;

 protected:
  ~IWebBrowser2() = default;
};

namespace platform::com {

// A browser object answers only some of IWebBrowser2; this base answers E_NOTIMPL for every
// method but IUnknown's, so an implementation overrides what it gives (get_LocationURL,
// get_Document, ...).
class WebBrowser2Base : public NoTypeInfo<IWebBrowser2> {
 public:
  HRESULT GoBack() override { return E_NOTIMPL; }
  HRESULT GoForward() override { return E_NOTIMPL; }
  HRESULT GoHome() override { return E_NOTIMPL; }
  HRESULT GoSearch() override { return E_NOTIMPL; }
  HRESULT Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT Refresh() override { return E_NOTIMPL; }
  HRESULT Refresh2(VARIANT*) override { return E_NOTIMPL; }
  HRESULT Stop() override { return E_NOTIMPL; }
  HRESULT get_Application(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_Parent(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_Container(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_Document(IDispatch**) override { return E_NOTIMPL; }
  HRESULT get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT get_Type(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Left(LONG*) override { return E_NOTIMPL; }
  HRESULT put_Left(LONG) override { return E_NOTIMPL; }
  HRESULT get_Top(LONG*) override { return E_NOTIMPL; }
  HRESULT put_Top(LONG) override { return E_NOTIMPL; }
  HRESULT get_Width(LONG*) override { return E_NOTIMPL; }
  HRESULT put_Width(LONG) override { return E_NOTIMPL; }
  HRESULT get_Height(LONG*) override { return E_NOTIMPL; }
  HRESULT put_Height(LONG) override { return E_NOTIMPL; }
  HRESULT get_LocationName(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_LocationURL(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT Quit() override { return E_NOTIMPL; }
  HRESULT ClientToWindow(int*, int*) override { return E_NOTIMPL; }
  HRESULT PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
  HRESULT GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
  HRESULT get_FullName(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Path(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_StatusText(BSTR*) override { return E_NOTIMPL; }
  HRESULT put_StatusText(BSTR) override { return E_NOTIMPL; }
  HRESULT get_ToolBar(int*) override { return E_NOTIMPL; }
  HRESULT put_ToolBar(int) override { return E_NOTIMPL; }
  HRESULT get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
  HRESULT ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
  HRESULT get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
  HRESULT get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

 protected:
  ~WebBrowser2Base() = default;
};

}  // namespace platform::com
