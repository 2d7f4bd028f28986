// The band object the browser hosts in its toolbar area, one per browser window. It answers the
// band, docking-window, focus, site and persistence interfaces, finds the host window and the
// browser when it is given its site, and owns the band window (band_window.cpp), the combo box
// of books and the book list.
#pragma once

#include "contracts/ShelvaryManager.h"
#include "platform/com/bandhost.h"
#include "platform/com/object.h"
#include "toolbar/band/book_combo_box.h"
#include "toolbar/band/book_list_dialog.h"
#include "toolbar/com/module.h"

class CToolbarBand final
    : public toolbar::ModuleObject,
      public platform::com::Object<
          CToolbarBand,
          platform::com::Answers<IDeskBand, IID_IDeskBand, IID_IDockingWindow, IID_IOleWindow>,
          platform::com::Answers<IInputObject, IID_IInputObject>,
          platform::com::Answers<IObjectWithSite, IID_IObjectWithSite>,
          platform::com::Answers<IPersistStream, IID_IPersistStream, IID_IPersist>> {
 public:
  CToolbarBand();

  // IOleWindow
  HRESULT GetWindow(HWND* phwnd) override;
  HRESULT ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IDockingWindow
  HRESULT ShowDW(BOOL show) override;
  HRESULT CloseDW(DWORD reserved) override;
  HRESULT ResizeBorderDW(LPCRECT, IUnknown*, BOOL) override { return E_NOTIMPL; }
  // IDeskBand
  HRESULT GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;
  // IInputObject
  HRESULT UIActivateIO(BOOL activate, MSG* msg) override;
  HRESULT HasFocusIO() override { return hasFocus ? S_OK : S_FALSE; }
  HRESULT TranslateAcceleratorIO(MSG*) override { return S_FALSE; }
  // IObjectWithSite
  HRESULT SetSite(IUnknown* site) override;
  HRESULT GetSite(REFIID riid, void** ppvSite) override;
  // IPersist, IPersistStream: the band keeps no state of its own.
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT IsDirty() override { return S_FALSE; }
  HRESULT Load(IStream*) override { return S_OK; }
  HRESULT Save(IStream*, BOOL) override { return S_OK; }
  HRESULT GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

  HWND BandWindow() const { return bandWindow; }

 private:
  using Base = platform::com::Object<
      CToolbarBand,
      platform::com::Answers<IDeskBand, IID_IDeskBand, IID_IDockingWindow, IID_IOleWindow>,
      platform::com::Answers<IInputObject, IID_IInputObject>,
      platform::com::Answers<IObjectWithSite, IID_IObjectWithSite>,
      platform::com::Answers<IPersistStream, IID_IPersistStream, IID_IPersist>>;
  friend Base;
  ~CToolbarBand();

  // band_window.cpp: the band window with its toolbar and combo box; true when it exists.
  bool CreateBandWindow();
  static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Keeps the focus state and tells the site.
  void SetFocusState(BOOL focused);
  // commands.cpp: every WM_COMMAND of the band window; returns 0.
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  void AddShownPage();      // 1000
  void HandBookToReader();  // 1001
  void ShowHelp();          // 1003
  void FollowComboSelection();
  // book_management.cpp: the book management dialog (button 3).
  void ManageBooks();

  int bookIndex = 0;  // the current book's row, remembered for the book management dialog
  CBookComboBox bookCombo{*this};
  CShelvaryManager bookList;
  CBookListDialog bookListDialog;
  BOOL hasFocus = FALSE;
  HWND parentWindow = nullptr;  // the band host's window, from the site
  HWND bandWindow = nullptr;    // null until created and after CloseDW
  ComPtr<IInputObjectSite> inputSite;
  ComPtr<IWebBrowser2> browser;
};
