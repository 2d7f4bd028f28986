// Window records: creation, destruction, visibility and focus, window longs, text, the default
// procedure.
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "platform/display/screen.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct Table {
  std::mutex m;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::vector<HWND> topLevel;
  ULONG_PTR nextHandle = 0x10020;
  HWND desktop = nullptr;
};

// Never destroyed: windows may outlive static destruction order in a host's exit path.
Table& T() {
  static Table* table = new Table;
  return *table;
}

thread_local HWND t_focus = nullptr;

void Unlink(HWND hwnd) {
  auto& t = T();
  std::lock_guard lock(t.m);
  auto it = t.windows.find(hwnd);
  if (it == t.windows.end()) return;
  std::vector<HWND>* list = &t.topLevel;
  if (HWND parent = it->second->parent) {
    auto p = t.windows.find(parent);
    list = p == t.windows.end() ? nullptr : &p->second->children;
  }
  if (list) list->erase(std::remove(list->begin(), list->end(), hwnd), list->end());
  t.windows.erase(it);
}

bool FocusWithin(HWND hwnd) {
  HWND focus = t_focus;
  return focus && (focus == hwnd || IsChild(hwnd, focus));
}

}  // namespace

void MoveFocusAway(HWND hwnd) {
  if (!FocusWithin(hwnd)) return;
  auto w = Find(hwnd);
  SetFocus(w && w->parent ? w->parent : nullptr);
}

namespace {

void SendDestroyTree(HWND hwnd) {
  for (HWND owned : OwnedWindows(hwnd)) DestroyWindow(owned);
  auto w = Find(hwnd);
  if (!w) return;
  w->destroying = true;
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  for (HWND child : Children(hwnd)) SendDestroyTree(child);
}

void SendNcDestroyTree(HWND hwnd) {
  for (HWND child : Children(hwnd)) SendNcDestroyTree(child);
  if (!Find(hwnd)) return;
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  if (t_focus == hwnd) t_focus = nullptr;
  Unlink(hwnd);
}

}  // namespace

std::shared_ptr<Window> Find(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto& t = T();
  std::lock_guard lock(t.m);
  auto it = t.windows.find(hwnd);
  return it == t.windows.end() ? nullptr : it->second;
}

std::vector<HWND> TopLevelWindows() {
  auto& t = T();
  std::lock_guard lock(t.m);
  return t.topLevel;
}

std::vector<HWND> Children(HWND hwnd) {
  auto& t = T();
  std::lock_guard lock(t.m);
  auto it = t.windows.find(hwnd);
  return it == t.windows.end() ? std::vector<HWND>{} : it->second->children;
}

std::vector<HWND> OwnedWindows(HWND hwnd) {
  auto& t = T();
  std::lock_guard lock(t.m);
  std::vector<HWND> owned;
  for (HWND top : t.topLevel)
    if (t.windows[top]->owner == hwnd) owned.push_back(top);
  return owned;
}

void SetData(HWND hwnd, std::unique_ptr<ControlData> data) {
  if (auto w = Find(hwnd)) w->control = std::move(data);
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::u16string ToU16(LPCWSTR text) {
  return text ? std::u16string(text) : std::u16string();
}

LRESULT NotifyParentCommand(HWND control, WORD code) {
  auto w = Find(control);
  if (!w || !w->parent) return 0;
  return SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
                      reinterpret_cast<LPARAM>(control));
}

LRESULT SendNotify(HWND from, HWND to, NMHDR* hdr) {
  hdr->hwndFrom = from;
  return SendMessageW(to, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE inst,
                     LPVOID param) {
  if (!className) return nullptr;
  RegisterSystemClasses();
  HWND desktop = GetDesktopWindow();
  if (parent == desktop) parent = nullptr;
  if (parent && !IsWindow(parent)) return nullptr;
  bool child = (style & WS_CHILD) != 0;
  if (child && !parent) return nullptr;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = child ? 0 : 640;
    height = child ? 0 : 480;
  }
  width = std::max(0, width);
  height = std::max(0, height);

  auto w = std::make_shared<Window>();
  w->cls = FindClass(inst, className);
  if (!w->cls) return nullptr;
  auto& t = T();
  {
    std::lock_guard lock(t.m);
    w->hwnd = reinterpret_cast<HWND>(t.nextHandle);
    t.nextHandle += 4;
    w->style = style & ~WS_VISIBLE;  // shown after WM_CREATE, as on Windows
    w->exStyle = exStyle;
    w->rect = RECT{x, y, x + width, y + height};
    w->parent = child ? parent : nullptr;
    w->owner = child ? nullptr : parent;
    w->id = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
    w->proc = w->cls->proc;
    w->inst = inst;
    w->extra.assign(static_cast<size_t>(w->cls->cbWndExtra), 0);
    w->thread = std::this_thread::get_id();
    t.windows[w->hwnd] = w;
    (child ? t.windows[parent]->children : t.topLevel).push_back(w->hwnd);
  }
  HWND hwnd = w->hwnd;
  CREATESTRUCTW cs{
      param,      inst,      menu,   parent, height, width, y, x, static_cast<LONG>(style),
      windowName, className, exStyle};
  if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
    SendNcDestroyTree(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
  if (child && !(exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessageW(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<WORD>(w->id)),
                 reinterpret_cast<LPARAM>(hwnd));
  if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
  return IsWindow(hwnd) ? hwnd : nullptr;
}

// Owned windows go first; then WM_DESTROY runs from the window down to its children (which
// still exist while their parent handles it), and WM_NCDESTROY from the children up.
BOOL DestroyWindow(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w || w->destroying || hwnd == GetDesktopWindow()) return FALSE;
  for (HWND owned : OwnedWindows(hwnd)) DestroyWindow(owned);
  if (w->style & WS_VISIBLE) {
    w->style &= ~WS_VISIBLE;
    MoveFocusAway(hwnd);
  }
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessageW(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, static_cast<WORD>(w->id)),
                 reinterpret_cast<LPARAM>(hwnd));
  SendDestroyTree(hwnd);
  SendNcDestroyTree(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  return Find(hwnd) != nullptr;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool was = (w->style & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (show != was) {
    SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (show) {
      w->style |= WS_VISIBLE;
    } else {
      w->style &= ~WS_VISIBLE;
      MoveFocusAway(hwnd);
    }
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  for (; w; w = w->parent ? Find(w->parent) : nullptr)
    if (!(w->style & WS_VISIBLE)) return FALSE;
  return TRUE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    if (FocusWithin(hwnd)) SetFocus(nullptr);
  }
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  auto w = Find(hwnd);
  return w && !(w->style & WS_DISABLED);
}

BOOL UpdateWindow(HWND hwnd) {
  return IsWindow(hwnd);
}
BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
  return hwnd == nullptr || IsWindow(hwnd);
}

HWND SetFocus(HWND hwnd) {
  if (hwnd && !IsWindow(hwnd)) return nullptr;
  HWND previous = IsWindow(t_focus) ? t_focus : nullptr;
  if (hwnd == previous) return previous;
  t_focus = hwnd;
  if (previous) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && t_focus == hwnd)
    SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() {
  return IsWindow(t_focus) ? t_focus : nullptr;
}

HWND GetActiveWindow() {
  HWND h = GetFocus();
  for (auto w = Find(h); w && w->parent; w = Find(w->parent)) h = w->parent;
  return h;
}

HWND SetParent(HWND child, HWND newParent) {
  auto w = Find(child);
  if (!w || (newParent && !IsWindow(newParent)) || newParent == child) return nullptr;
  if (newParent == GetDesktopWindow()) newParent = nullptr;
  HWND old = w->parent;
  auto& t = T();
  std::lock_guard lock(t.m);
  auto& from = old ? t.windows[old]->children : t.topLevel;
  from.erase(std::remove(from.begin(), from.end(), child), from.end());
  (newParent ? t.windows[newParent]->children : t.topLevel).push_back(child);
  w->parent = newParent;
  return old ? old : t.desktop;
}

HWND GetDesktopWindow() {
  auto desktopClass = FindClass(nullptr, u"#32769");
  auto& t = T();
  std::lock_guard lock(t.m);
  if (!t.desktop) {
    auto w = std::make_shared<Window>();
    w->hwnd = reinterpret_cast<HWND>(t.nextHandle);
    t.nextHandle += 4;
    w->cls = desktopClass;
    w->proc = DefWindowProcW;
    w->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    w->rect = RECT{0, 0, platform::display::kScreen.width, platform::display::kScreen.height};
    w->thread = std::this_thread::get_id();
    w->destroying = false;
    t.windows[w->hwnd] = w;
    t.desktop = w->hwnd;
  }
  return t.desktop;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  auto w = Find(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      if (value) w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_USERDATA:
      old = w->userData;
      w->userData = value;
      return old;
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return old;
    case GWLP_ID:
      old = w->id;
      w->id = value;
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->inst);
      w->inst = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_HWNDPARENT:
      old = reinterpret_cast<LONG_PTR>(w->owner);
      if (!w->parent) w->owner = reinterpret_cast<HWND>(value);
      return old;
    default:
      if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
      std::memcpy(&old, w->extra.data() + index, sizeof old);
      std::memcpy(w->extra.data() + index, &value, sizeof value);
      return old;
  }
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  auto w = Find(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
      return w->userData;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWLP_ID:
      return w->id;
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->inst);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    default: {
      if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
      LONG_PTR value = 0;
      std::memcpy(&value, w->extra.data() + index, sizeof value);
      return value;
    }
  }
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsWindow(hwnd)) return FALSE;
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buf, int cch) {
  if (!buf || cch <= 0) return 0;
  buf[0] = 0;
  if (!IsWindow(hwnd)) return 0;
  return static_cast<int>(
      SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(cch), reinterpret_cast<LPARAM>(buf)));
}

int GetWindowTextLengthW(HWND hwnd) {
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

int GetDlgCtrlID(HWND hwnd) {
  auto w = Find(hwnd);
  return w && w->parent ? static_cast<int>(w->id) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
      return TRUE;
    }
    case WM_SETTEXT:
      w->text = (lParam && !IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lParam)))
                    ? std::u16string(reinterpret_cast<LPCWSTR>(lParam))
                    : std::u16string();
      return TRUE;
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<LPWSTR>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
      std::copy_n(w->text.data(), n, buf);
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
      if (!(pos->flags & SWP_NOSIZE))
        SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pos->cx, pos->cy));
      return 0;
    }
    default:
      return 0;
  }
}
