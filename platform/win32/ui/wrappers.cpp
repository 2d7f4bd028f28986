// The class-library wrappers: message routing for attached windows, the control wrappers'
// helpers, the modal dialog base and the resource-string message box.
#include "platform/win32/ui/wrappers.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/win32/ui/internal.h"

namespace {

struct Route {
  CWnd* wnd;
  WNDPROC super;
};

struct Routes {
  std::mutex m;
  std::map<HWND, Route> byWindow;
};

Routes& R() {
  static Routes* routes = new Routes;
  return *routes;
}

bool Lookup(HWND hwnd, Route* out) {
  auto& r = R();
  std::lock_guard lock(r.m);
  auto it = r.byWindow.find(hwnd);
  if (it == r.byWindow.end()) return false;
  *out = it->second;
  return true;
}

struct FrameworkState {
  std::mutex m;
  HINSTANCE resources = nullptr;
  std::vector<HMODULE> extensions;  // initialised libraries, latest first
  std::u16string appName;
  bool named = false;
};

FrameworkState& F() {
  static FrameworkState* f = new FrameworkState;
  return *f;
}

// Where the framework looks for a resource: the resource module, then each library that
// initialised its state, the latest first.
std::vector<HINSTANCE> ResourceModules() {
  auto& f = F();
  std::lock_guard lock(f.m);
  std::vector<HINSTANCE> modules;
  if (f.resources) modules.push_back(f.resources);
  modules.insert(modules.end(), f.extensions.begin(), f.extensions.end());
  return modules;
}

}  // namespace

CWnd::~CWnd() {
  if (m_hWnd) Detach();
}

BOOL CWnd::Attach(HWND hwnd) {
  if (m_hWnd || !::IsWindow(hwnd)) return FALSE;
  auto& r = R();
  {
    std::lock_guard lock(r.m);
    if (r.byWindow.count(hwnd)) return FALSE;  // one wrapper per window
    m_pfnSuper = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    r.byWindow[hwnd] = Route{this, m_pfnSuper};
  }
  ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::RoutingProc));
  m_hWnd = hwnd;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (!hwnd) return nullptr;
  {
    auto& r = R();
    std::lock_guard lock(r.m);
    r.byWindow.erase(hwnd);
  }
  // Someone who subclassed the window after us keeps the chain; then our procedure passes
  // everything on, having no wrapper to call.
  if (::IsWindow(hwnd) &&
      ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CWnd::RoutingProc))
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  m_hWnd = nullptr;
  return hwnd;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  Route route{};
  return Lookup(hwnd, &route) ? route.wnd : nullptr;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);  // WM_NCDESTROY detaches
}

std::u16string CWnd::GetWindowText() const {
  int n = ::GetWindowTextLengthW(m_hWnd);
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), n + 1)));
  return text;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND && OnCommand(wParam, lParam)) return 0;
  if (msg == WM_NOTIFY) {
    LRESULT result = 0;
    if (OnNotify(wParam, lParam, &result)) return result;
  }
  return DefWindowProc(msg, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) {
  return FALSE;
}
BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
  return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return m_pfnSuper ? ::CallWindowProcW(m_pfnSuper, m_hWnd, msg, wParam, lParam)
                    : ::DefWindowProcW(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::RoutingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Route route{};
  if (!Lookup(hwnd, &route)) {
    // Detached while someone else still chains to us.
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  LRESULT result = route.wnd->WindowProc(msg, wParam, lParam);
  if (msg == WM_NCDESTROY && route.wnd->m_hWnd == hwnd) route.wnd->Detach();
  return result;
}

std::u16string CComboBox::GetLBText(int index) const {
  int n = GetLBTextLen(index);
  if (n < 0) return {};
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  int got = GetLBText(index, text.data());
  text.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return text;
}

int CListCtrl::InsertColumn(int column, LPCWSTR heading, int format, int width, int subItem) const {
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_FMT;
  col.fmt = format;
  col.pszText = const_cast<LPWSTR>(heading);
  if (width != -1) {
    col.mask |= LVCF_WIDTH;
    col.cx = width;
  }
  if (subItem != -1) {
    col.mask |= LVCF_SUBITEM;
    col.iSubItem = subItem;
  }
  return static_cast<int>(
      SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int item, LPCWSTR text) const {
  LVITEMW lv{};
  lv.mask = LVIF_TEXT;
  lv.iItem = item;
  lv.pszText = const_cast<LPWSTR>(text);
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lv)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCWSTR text) const {
  LVITEMW lv{};
  lv.iSubItem = subItem;
  lv.pszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
}

std::u16string CListCtrl::GetItemText(int item, int subItem) const {
  std::u16string text(1024, u'\0');
  LVITEMW lv{};
  lv.iSubItem = subItem;
  lv.pszText = text.data();
  lv.cchTextMax = static_cast<int>(text.size());
  auto n = SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
  text.resize(static_cast<size_t>(n));
  return text;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) const {
  LVITEMW lv{};
  lv.state = state;
  lv.stateMask = mask;
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
}

INT_PTR CDialog::DoModal() {
  HINSTANCE module = m_hModule;
  for (HINSTANCE candidate : ResourceModules()) {
    if (module) break;
    if (platform::ui::detail::FindDialog(candidate, MAKEINTRESOURCEW(m_nIDTemplate)))
      module = candidate;
  }
  return ::DialogBoxParamW(module, MAKEINTRESOURCEW(m_nIDTemplate), m_hParent, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

// The dialog object rides in DWLP_USER, leaving the window's user data to the dialog itself.
INT_PTR CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->m_hWnd = hwnd;
    return self->OnInitDialog();
  }
  auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  switch (msg) {
    case WM_COMMAND:
      if (self->OnCommand(wParam, lParam)) return TRUE;
      if (LOWORD(wParam) == IDOK) {
        self->OnOK();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        self->OnCancel();
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!self->OnNotify(wParam, lParam, &result)) return FALSE;
      ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_NCDESTROY:
      self->m_hWnd = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

HINSTANCE AfxGetResourceHandle() {
  auto& f = F();
  std::lock_guard lock(f.m);
  return f.resources;
}

void AfxSetResourceHandle(HINSTANCE module) {
  auto& f = F();
  std::lock_guard lock(f.m);
  f.resources = module;
}

void AfxSetAppName(LPCWSTR name) {
  auto& f = F();
  std::lock_guard lock(f.m);
  f.named = name != nullptr;
  f.appName = name ? name : u"";
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
  std::u16string caption;
  bool named = false;
  {
    auto& f = F();
    std::lock_guard lock(f.m);
    caption = f.appName;
    named = f.named;
  }
  return ::MessageBoxW(nullptr, text, named ? caption.c_str() : nullptr, type);
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE module) {
  if (!module) return FALSE;
  if (state.bInitialized) return TRUE;
  state = AFX_EXTENSION_MODULE{TRUE, module, module};
  auto& f = F();
  std::lock_guard lock(f.m);
  f.extensions.insert(f.extensions.begin(), module);
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL) {
  if (!state.bInitialized) return;
  auto& f = F();
  std::lock_guard lock(f.m);
  std::erase(f.extensions, state.hModule);
  if (f.resources == state.hResource) f.resources = nullptr;
  state = AFX_EXTENSION_MODULE{};
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId) {
  LPCWSTR text = nullptr;
  for (HINSTANCE module : ResourceModules())
    if (::LoadStringW(module, promptId, reinterpret_cast<LPWSTR>(&text), 0) > 0) break;
  std::u16string copy = text ? text : u"";
  return AfxMessageBox(copy.c_str(), type, helpId);
}
