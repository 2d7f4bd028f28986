// The window tree: parents, siblings and owners, finding and enumerating windows.
#include <algorithm>
#include <functional>

#include "platform/win32/ui/internal.h"

using namespace platform::ui::detail;

namespace {

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

BOOL IsChild(HWND parent, HWND hwnd) {
  for (auto w = Find(hwnd); w && w->parent; w = Find(w->parent))
    if (w->parent == parent) return TRUE;
  return FALSE;
}

HWND GetParent(HWND hwnd) {
  auto w = Find(hwnd);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
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
