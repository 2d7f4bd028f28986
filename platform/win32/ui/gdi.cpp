// Stand-ins for drawing objects: images loaded from resources, stock objects, system cursors,
// the mouse pointer and its position. Nothing is drawn; a handle records what it stands for.
#include <map>
#include <mutex>
#include <tuple>

#include "platform/win32/ui/internal.h"

namespace platform::ui {
namespace {

constexpr UINT kNotImage = ~0u;
constexpr ULONG_PTR kStockBase = 0x20000;     // stock objects: kStockBase + 4 * index
constexpr ULONG_PTR kSysBrushBase = 0x21000;  // system colour brushes
constexpr ULONG_PTR kSystemImageBase = 0x22000;
constexpr int kStockCount = 20;
constexpr int kDefaultIconSize = 32;

struct Objects {
  std::mutex m;
  std::map<ULONG_PTR, ImageInfo> live;
  std::map<std::tuple<HINSTANCE, UINT, UINT, int, int>, ULONG_PTR> shared;
  ULONG_PTR next = 0x30000;
  HCURSOR cursor = nullptr;
  POINT pos{0, 0};
};

Objects& O() {
  static Objects* o = new Objects;
  return *o;
}

bool IsSystemImage(UINT id) {
  return id >= 32512 && id <= 32651;
}

}  // namespace

bool DescribeImage(const void* handle, ImageInfo* info) {
  auto h = reinterpret_cast<ULONG_PTR>(handle);
  if (h >= kStockBase && h < kStockBase + 4 * kStockCount && (h - kStockBase) % 4 == 0) {
    if (info)
      *info = ImageInfo{kNotImage, nullptr, static_cast<UINT>((h - kStockBase) / 4), 0, 0, true};
    return true;
  }
  auto& o = O();
  std::lock_guard lock(o.m);
  auto it = o.live.find(h);
  if (it == o.live.end()) return false;
  if (info) *info = it->second;
  return true;
}

}  // namespace platform::ui

using namespace platform::ui;

HANDLE LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  // Images are resources only; there are no image files to read.
  if ((flags & LR_LOADFROMFILE) || !name || !IS_INTRESOURCE(name)) return nullptr;
  if (type != IMAGE_BITMAP && type != IMAGE_ICON && type != IMAGE_CURSOR) return nullptr;
  UINT id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
  int width = 0, height = 0;
  bool system = false;
  if (!detail::FindImage(inst, id, type, &width, &height)) {
    if (inst || type == IMAGE_BITMAP || !IsSystemImage(id)) return nullptr;
    system = true;
    width = height = kDefaultIconSize;
  }
  if (cx == 0 && cy == 0 && (flags & LR_DEFAULTSIZE) && type != IMAGE_BITMAP)
    width = height = kDefaultIconSize;
  if (cx > 0) width = cx;
  if (cy > 0) height = cy;
  auto& o = O();
  std::lock_guard lock(o.m);
  bool shared = system || (flags & LR_SHARED);
  auto key = std::make_tuple(inst, id, type, width, height);
  if (shared) {
    auto it = o.shared.find(key);
    if (it != o.shared.end()) return reinterpret_cast<HANDLE>(it->second);
  }
  ULONG_PTR h = system ? kSystemImageBase + 4 * (id - 32512) * 3 + 4 * type : o.next;
  if (!system) o.next += 4;
  o.live[h] = ImageInfo{type, inst, id, width, height, shared};
  if (shared) o.shared[key] = h;
  return reinterpret_cast<HANDLE>(h);
}

HICON LoadIconW(HINSTANCE inst, LPCWSTR name) {
  return static_cast<HICON>(LoadImageW(inst, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HCURSOR LoadCursorW(HINSTANCE inst, LPCWSTR name) {
  return static_cast<HCURSOR>(
      LoadImageW(inst, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HBITMAP LoadBitmapW(HINSTANCE inst, LPCWSTR name) {
  return static_cast<HBITMAP>(LoadImageW(inst, name, IMAGE_BITMAP, 0, 0, 0));
}

namespace {
// Shared images and stock objects belong to the system: freeing them succeeds and does nothing.
BOOL Free(const void* handle) {
  auto h = reinterpret_cast<ULONG_PTR>(handle);
  ImageInfo info;
  if (!DescribeImage(handle, &info)) return FALSE;
  if (info.shared) return TRUE;
  auto& o = O();
  std::lock_guard lock(o.m);
  o.live.erase(h);
  return TRUE;
}
}  // namespace

BOOL DestroyIcon(HICON icon) {
  return Free(icon);
}
BOOL DestroyCursor(HCURSOR cursor) {
  return Free(cursor);
}
BOOL DeleteObject(HGDIOBJ object) {
  return Free(object);
}

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= kStockCount) return nullptr;
  return reinterpret_cast<HGDIOBJ>(kStockBase + 4 * static_cast<ULONG_PTR>(index));
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index > 30) return nullptr;
  return reinterpret_cast<HBRUSH>(kSysBrushBase + 4 * static_cast<ULONG_PTR>(index));
}

HCURSOR SetCursor(HCURSOR cursor) {
  auto& o = O();
  std::lock_guard lock(o.m);
  HCURSOR old = o.cursor;
  o.cursor = cursor;
  return old;
}

HCURSOR GetCursor() {
  auto& o = O();
  std::lock_guard lock(o.m);
  return o.cursor;
}

BOOL GetCursorPos(POINT* pt) {
  if (!pt) return FALSE;
  auto& o = O();
  std::lock_guard lock(o.m);
  *pt = o.pos;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  auto& o = O();
  std::lock_guard lock(o.m);
  o.pos = POINT{x, y};
  return TRUE;
}
