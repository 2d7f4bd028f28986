// Window classes: the system classes, registration and the lookup creation uses.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct ClassTable {
  std::mutex m;
  std::vector<std::shared_ptr<ClassRecord>> classes;
  ATOM nextAtom = 0xC000;
};

// Never destroyed, like the window table.
ClassTable& T() {
  static ClassTable* table = new ClassTable;
  return *table;
}

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

}  // namespace

std::shared_ptr<ClassRecord> FindClass(HINSTANCE inst, LPCWSTR name) {
  RegisterSystemClasses();
  std::lock_guard lock(T().m);
  return FindClassLocked(inst, name);
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
