// Window geometry: client and window rectangles, moving and sizing, coordinate mapping, the screen.
#include "platform/display/screen.h"
#include "platform/win32/ui/internal.h"

using namespace platform::ui::detail;

namespace {

POINT ClientOrigin(HWND hwnd) {
  POINT origin{0, 0};
  for (auto w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
    origin.x += w->rect.left;
    origin.y += w->rect.top;
    if (!w->parent) break;
  }
  return origin;
}

}  // namespace

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
      return platform::display::kScreen.width;
    case SM_CYSCREEN:
      return platform::display::kScreen.height;
    default:
      return 0;
  }
}
