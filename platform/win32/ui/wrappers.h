// Thin class-library wrappers over window handles: a window wrapper, a combo box, a list
// control and a modal dialog base, plus the resource-string message box.
//
// Attach routes the window's messages through the wrapper's virtual WindowProc (a derived
// class sees them in OnCommand / OnNotify); whatever the wrapper leaves goes on to the window's
// own procedure unchanged. Detach, or the window's destruction, ends the routing.
#pragma once

#include <string>

#include "platform/win32/ui/commctrl.h"
#include "platform/win32/ui/user.h"

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  // Leaves the window alive; only the routing ends.
  virtual ~CWnd();

  BOOL Attach(HWND hwnd);
  HWND Detach();
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  static CWnd* FromHandlePermanent(HWND hwnd);

  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, msg, wParam, lParam);
  }
  BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, msg, wParam, lParam);
  }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
  BOOL DestroyWindow();
  void SetWindowText(LPCWSTR text) const { ::SetWindowTextW(m_hWnd, text); }
  std::u16string GetWindowText() const;
  void SetFont(HFONT font, BOOL redraw = TRUE) const {
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
  }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const {
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
  }

  HWND m_hWnd = nullptr;

 protected:
  // Every message of an attached window comes here first.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // TRUE: handled, the window's own procedure does not see it.
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Hands the message to the window's own procedure.
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT RoutingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  WNDPROC m_pfnSuper = nullptr;
};

class CComboBox : public CWnd {
 public:
  int AddString(LPCWSTR text) const { return Call(CB_ADDSTRING, 0, text); }
  int InsertString(int index, LPCWSTR text) const { return Call(CB_INSERTSTRING, index, text); }
  int DeleteString(UINT index) const { return Call(CB_DELETESTRING, index, nullptr); }
  void ResetContent() const { SendMessage(CB_RESETCONTENT); }
  int SetCurSel(int index) const { return Call(CB_SETCURSEL, index, nullptr); }
  int GetCurSel() const { return Call(CB_GETCURSEL, 0, nullptr); }
  int GetCount() const { return Call(CB_GETCOUNT, 0, nullptr); }
  int GetLBTextLen(int index) const { return Call(CB_GETLBTEXTLEN, index, nullptr); }
  // buffer must hold GetLBTextLen(index) + 1 characters.
  int GetLBText(int index, LPWSTR buffer) const { return Call(CB_GETLBTEXT, index, buffer); }
  std::u16string GetLBText(int index) const;
  int FindStringExact(int start, LPCWSTR text) const {
    return Call(CB_FINDSTRINGEXACT, start, text);
  }
  BOOL LimitText(int limit) const { return Call(CB_LIMITTEXT, limit, nullptr) != CB_ERR; }

 private:
  int Call(UINT msg, INT_PTR wParam, LPCWSTR text) const {
    return static_cast<int>(
        SendMessage(msg, static_cast<WPARAM>(wParam), reinterpret_cast<LPARAM>(text)));
  }
};

class CListCtrl : public CWnd {
 public:
  DWORD SetExtendedStyle(DWORD style) const {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
  }
  DWORD GetExtendedStyle() const {
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
  }
  int InsertColumn(int column, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1,
                   int subItem = -1) const;
  int InsertItem(int item, LPCWSTR text) const;
  BOOL DeleteItem(int item) const { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, item)); }
  BOOL DeleteAllItems() const { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  BOOL SetItemText(int item, int subItem, LPCWSTR text) const;
  std::u16string GetItemText(int item, int subItem) const;
  BOOL SetItemState(int item, UINT state, UINT mask) const;
  UINT GetItemState(int item, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
  }
  int GetSelectionMark() const { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }
  int SetSelectionMark(int item) const {
    return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, item));
  }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  int GetNextItem(int start, int flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
  }
};

// A modal dialog from a template of a module. Override OnInitDialog, OnOK, OnCancel,
// OnCommand and OnNotify; DoModal returns the EndDialog result (-1 when the template is
// missing).
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr, HINSTANCE module = nullptr)
      : m_nIDTemplate(templateId), m_hParent(parent), m_hModule(module) {}

  virtual INT_PTR DoModal();
  BOOL EndDialog(INT_PTR result) const { return ::EndDialog(m_hWnd, result); }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

  UINT m_nIDTemplate;
  HWND m_hParent;
  HINSTANCE m_hModule;  // null: the resource module (AfxGetResourceHandle)

 private:
  static INT_PTR DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// The module whose resources the resource-string message box and CDialog read first.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

// The framework's state for a library, made by its module entry at process attach and released
// at detach. While it is initialised, the library's resources are found by the resource-string
// message box and CDialog after the resource module's.
struct AFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HMODULE hModule;
  HMODULE hResource;
};
// FALSE for a null module; TRUE (and nothing more) when state is already initialised.
BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module);
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL all = FALSE);
// The caption of the framework's message boxes; "Error" until set, as a message box without a
// caption is on Windows.
void AfxSetAppName(LPCWSTR name);
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);
// The text is string resource promptId of the resource module.
int AfxMessageBox(UINT promptId, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));
