// Window classes and window records: creation, destruction, focus, geometry, window longs.
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

struct Table {
  std::mutex m;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::vector<HWND> topLevel;
  std::vector<std::shared_ptr<ClassRecord>> classes;
  ULONG_PTR nextHandle = 0x10020;
  ATOM nextAtom = 0xC000;
  HWND desktop = nullptr;
};

// Never destroyed: windows may outlive static destruction order in a host's exit path.
Table& T() {
  static Table* table = new Table;
  return *table;
}

thread_local HWND t_focus = nullptr;

std::shared_ptr<ClassRecord> FindClassLocked(HINSTANCE inst, LPCWSTR name) {
  auto& t = T();
  auto matches = [&](const ClassRecord& c) {
    if (IS_INTRESOURCE(name)) return c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return SameName(c.name, name);
  };
  for (auto& c : t.classes)
    if (!c->system && !(c->style & CS_GLOBALCLASS) && c->inst == inst && matches(*c)) return c;
  for (auto& c : t.classes)
    if (!c->system && (c->style & CS_GLOBALCLASS) && matches(*c)) return c;
  for (auto& c : t.classes)
    if (c->system && matches(*c)) return c;
  return nullptr;
}

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

POINT ClientOrigin(HWND hwnd) {
  POINT origin{0, 0};
  for (auto w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
    origin.x += w->rect.left;
    origin.y += w->rect.top;
    if (!w->parent) break;
  }
  return origin;
}

bool FocusWithin(HWND hwnd) {
  HWND focus = t_focus;
  return focus && (focus == hwnd || IsChild(hwnd, focus));
}

// Hiding or destroying the window that holds the focus moves the focus to its parent.
void MoveFocusAway(HWND hwnd) {
  if (!FocusWithin(hwnd)) return;
  auto w = Find(hwnd);
  SetFocus(w && w->parent ? w->parent : nullptr);
}

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

void AppendMatching(HWND root, const std::function<bool(HWND)>& stop, bool* done) {
  for (HWND child : Children(root)) {
    if (*done) return;
    if (stop(child)) {
      *done = true;
      return;
    }
    AppendMatching(child, stop, done);
  }
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

void RegisterSystemClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct {
      const char16_t* name;
      WNDPROC proc;
      int extra;
    } const kSystem[] = {
        {u"STATIC", StaticProc, 0},
        {u"BUTTON", ButtonProc, 0},
        {u"EDIT", EditProc, 0},
        {u"COMBOBOX", ComboProc, 0},
        {u"ComboLBox", ComboListProc, 0},
        {u"ToolbarWindow32", ToolbarProc, 0},
        {u"tooltips_class32", ToolTipProc, 0},
        {u"SysListView32", ListViewProc, 0},
        {u"#32770", DialogClassProc, DLGWINDOWEXTRA},
        {u"#32769", DefWindowProcW, 0},
    };
    auto& t = T();
    std::lock_guard lock(t.m);
    for (const auto& s : kSystem) {
      auto c = std::make_shared<ClassRecord>();
      c->name = s.name;
      c->atom = t.nextAtom++;
      c->style = CS_GLOBALCLASS;
      c->proc = s.proc;
      c->cbWndExtra = s.extra;
      c->system = true;
      t.classes.push_back(c);
    }
  });
}

}  // namespace platform::ui::detail

using namespace platform::ui::detail;

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) return 0;
  RegisterSystemClasses();
  auto& t = T();
  std::lock_guard lock(t.m);
  for (auto& c : t.classes) {
    if (c->system || !SameName(c->name, wc->lpszClassName)) continue;
    // A module registers a name once; a global class takes the name for every module.
    if (c->inst == wc->hInstance || (c->style & CS_GLOBALCLASS)) return 0;
  }
  auto c = std::make_shared<ClassRecord>();
  c->name = wc->lpszClassName;
  c->atom = t.nextAtom++;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->cbClsExtra = std::max(0, wc->cbClsExtra);
  c->cbWndExtra = std::max(0, wc->cbWndExtra);
  c->inst = wc->hInstance;
  c->icon = wc->hIcon;
  c->cursor = wc->hCursor;
  c->background = wc->hbrBackground;
  t.classes.push_back(c);
  return c->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE inst) {
  if (!className) return FALSE;
  auto& t = T();
  std::lock_guard lock(t.m);
  for (auto it = t.classes.begin(); it != t.classes.end(); ++it) {
    auto& c = **it;
    bool named = IS_INTRESOURCE(className)
                     ? c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))
                     : SameName(c.name, className);
    if (!c.system && named && c.inst == inst) {
      t.classes.erase(it);
      return TRUE;
    }
  }
  return FALSE;
}

BOOL GetClassInfoW(HINSTANCE inst, LPCWSTR className, WNDCLASSW* out) {
  if (!className || !out) return FALSE;
  RegisterSystemClasses();
  std::shared_ptr<ClassRecord> c;
  {
    std::lock_guard lock(T().m);
    c = FindClassLocked(inst, className);
  }
  if (!c) return FALSE;
  *out = WNDCLASSW{c->style, c->proc,   c->cbClsExtra, c->cbWndExtra, c->system ? nullptr : c->inst,
                   c->icon,  c->cursor, c->background, nullptr,       className};
  return c->atom;
}

int GetClassNameW(HWND hwnd, LPWSTR buf, int cch) {
  auto w = Find(hwnd);
  if (!w || !buf || cch <= 0) return 0;
  int n = std::min<int>(static_cast<int>(w->cls->name.size()), cch - 1);
  std::copy_n(w->cls->name.data(), n, buf);
  buf[n] = 0;
  return n;
}

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
  auto& t = T();
  {
    std::lock_guard lock(t.m);
    w->cls = FindClassLocked(inst, className);
    if (!w->cls) return nullptr;
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

BOOL IsChild(HWND parent, HWND hwnd) {
  for (auto w = Find(hwnd); w && w->parent; w = Find(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
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

HWND GetParent(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
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

HWND GetWindow(HWND hwnd, UINT cmd) {
  auto w = Find(hwnd);
  if (!w) return nullptr;
  if (cmd == GW_CHILD) {
    auto kids = Children(hwnd);
    return kids.empty() ? nullptr : kids.front();
  }
  if (cmd == GW_OWNER) return w->owner;
  auto siblings = w->parent ? Children(w->parent) : TopLevelWindows();
  auto it = std::find(siblings.begin(), siblings.end(), hwnd);
  if (it == siblings.end()) return nullptr;
  switch (cmd) {
    case GW_HWNDFIRST:
      return siblings.front();
    case GW_HWNDLAST:
      return siblings.back();
    case GW_HWNDNEXT:
      return it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
      return it == siblings.begin() ? nullptr : *(it - 1);
    default:
      return nullptr;
  }
}

HWND GetDesktopWindow() {
  RegisterSystemClasses();
  auto& t = T();
  std::lock_guard lock(t.m);
  if (!t.desktop) {
    auto w = std::make_shared<Window>();
    w->hwnd = reinterpret_cast<HWND>(t.nextHandle);
    t.nextHandle += 4;
    w->cls = FindClassLocked(nullptr, u"#32769");
    w->proc = DefWindowProcW;
    w->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    w->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
    w->thread = std::this_thread::get_id();
    w->destroying = false;
    t.windows[w->hwnd] = w;
    t.desktop = w->hwnd;
  }
  return t.desktop;
}

namespace {
bool Matches(HWND hwnd, LPCWSTR className, LPCWSTR windowName) {
  auto w = Find(hwnd);
  if (!w) return false;
  if (className) {
    bool ok = IS_INTRESOURCE(className)
                  ? w->cls->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className))
                  : SameName(w->cls->name, className);
    if (!ok) return false;
  }
  return !windowName || w->text == windowName;
}
}  // namespace

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  for (HWND h : TopLevelWindows())
    if (Matches(h, className, windowName)) return h;
  return nullptr;
}

HWND FindWindowExW(HWND parent, HWND childAfter, LPCWSTR className, LPCWSTR windowName) {
  if (parent == GetDesktopWindow()) parent = nullptr;
  auto list = parent ? Children(parent) : TopLevelWindows();
  auto it = list.begin();
  if (childAfter) {
    it = std::find(list.begin(), list.end(), childAfter);
    if (it == list.end()) return nullptr;
    ++it;
  }
  for (; it != list.end(); ++it)
    if (Matches(*it, className, windowName)) return *it;
  return nullptr;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  bool done = false;
  std::function<bool(HWND)> visit = [&](HWND h) { return !proc(h, lParam); };
  if (parent) {
    AppendMatching(parent, visit, &done);
  } else {
    for (HWND top : TopLevelWindows()) {
      if (done || (done = visit(top))) break;
      AppendMatching(top, visit, &done);
    }
  }
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  auto w = Find(hwnd);
  if (!w || !rect) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  auto w = Find(hwnd);
  if (!w || !rect) return FALSE;
  POINT origin = w->parent ? ClientOrigin(w->parent) : POINT{0, 0};
  *rect = RECT{w->rect.left + origin.x, w->rect.top + origin.y, w->rect.right + origin.x,
               w->rect.bottom + origin.y};
  return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  auto w = Find(hwnd);
  if (!w) return FALSE;
  WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) {
    pos.x = w->rect.left;
    pos.y = w->rect.top;
  }
  if (flags & SWP_NOSIZE) {
    pos.cx = w->rect.right - w->rect.left;
    pos.cy = w->rect.bottom - w->rect.top;
  }
  SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  if (!IsWindow(hwnd)) return FALSE;
  pos.cx = std::max(0, pos.cx);
  pos.cy = std::max(0, pos.cy);
  w->rect = RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if ((flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
    w->style &= ~WS_VISIBLE;
    MoveFocusAway(hwnd);
  }
  SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  if (!IsWindow(hwnd) || !pt) return FALSE;
  POINT o = ClientOrigin(hwnd);
  pt->x += o.x;
  pt->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  if (!IsWindow(hwnd) || !pt) return FALSE;
  POINT o = ClientOrigin(hwnd);
  pt->x -= o.x;
  pt->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a = from ? ClientOrigin(from) : POINT{0, 0};
  POINT b = to ? ClientOrigin(to) : POINT{0, 0};
  LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return kScreenWidth;
    case SM_CYSCREEN:
      return kScreenHeight;
    default:
      return 0;
  }
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
