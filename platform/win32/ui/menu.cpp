// Menus: loaded from templates or built, and pop-up menus whose choice comes from the menu
// handler of the automation API.
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/win32/ui/automation.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

struct Item {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;
  HMENU popup = nullptr;
};

struct Menus {
  std::mutex m;
  std::map<HMENU, std::vector<Item>> live;
  ULONG_PTR next = 0x40000;
};

Menus& M() {
  static Menus* menus = new Menus;
  return *menus;
}

HMENU NewMenuLocked(Menus& menus) {
  auto h = reinterpret_cast<HMENU>(menus.next);
  menus.next += 4;
  menus.live[h];
  return h;
}

HMENU Build(Menus& menus, const std::vector<MenuItemTemplate>& items) {
  HMENU h = NewMenuLocked(menus);
  std::vector<Item> built;
  for (const auto& t : items) {
    Item item{t.text, t.id, t.flags, nullptr};
    if (!t.popup.empty() || (t.flags & MF_POPUP)) {
      item.popup = Build(menus, t.popup);
      item.flags |= MF_POPUP;
      item.id = 0;
    }
    built.push_back(item);
  }
  menus.live[h] = std::move(built);
  return h;
}

void DestroyLocked(Menus& menus, HMENU h) {
  auto it = menus.live.find(h);
  if (it == menus.live.end()) return;
  std::vector<Item> items = std::move(it->second);
  menus.live.erase(it);
  for (const auto& item : items)
    if (item.popup) DestroyLocked(menus, item.popup);
}

// The enabled command items of a menu and its pop-ups: what a person can choose.
bool Choosable(Menus& menus, HMENU h, UINT id, int depth = 0) {
  auto it = menus.live.find(h);
  if (it == menus.live.end() || depth > 16) return false;
  for (const auto& item : it->second) {
    if (item.popup) {
      if (Choosable(menus, item.popup, id, depth + 1)) return true;
    } else if (!(item.flags & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) && item.id == id) {
      return true;
    }
  }
  return false;
}

const Item* ItemAt(Menus& menus, HMENU h, UINT item, UINT flags) {
  auto it = menus.live.find(h);
  if (it == menus.live.end()) return nullptr;
  if (flags & MF_BYPOSITION) return item < it->second.size() ? &it->second[item] : nullptr;
  for (const auto& i : it->second)
    if (!i.popup && i.id == item) return &i;
  return nullptr;
}

}  // namespace
}  // namespace platform::ui::detail

using namespace platform::ui::detail;

HMENU LoadMenuW(HINSTANCE inst, LPCWSTR name) {
  auto tpl = FindMenu(inst, name);
  if (!tpl) return nullptr;
  auto& menus = M();
  std::lock_guard lock(menus.m);
  return Build(menus, tpl->items);
}

HMENU CreatePopupMenu() {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  return NewMenuLocked(menus);
}

HMENU CreateMenu() {
  return CreatePopupMenu();
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  auto it = menus.live.find(menu);
  if (it == menus.live.end()) return FALSE;
  Item item{(flags & MF_SEPARATOR) ? u"" : ToU16(text), 0, flags, nullptr};
  if (flags & MF_POPUP) {
    item.popup = reinterpret_cast<HMENU>(idOrPopup);
    if (!menus.live.count(item.popup)) return FALSE;
  } else {
    item.id = static_cast<UINT>(idOrPopup);
  }
  it->second.push_back(item);
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  if (!menus.live.count(menu)) return FALSE;
  DestroyLocked(menus, menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  return menus.live.count(menu) ? TRUE : FALSE;
}

HMENU GetSubMenu(HMENU menu, int pos) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  const Item* item = pos < 0 ? nullptr : ItemAt(menus, menu, static_cast<UINT>(pos), MF_BYPOSITION);
  return item ? item->popup : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  auto it = menus.live.find(menu);
  return it == menus.live.end() ? -1 : static_cast<int>(it->second.size());
}

UINT GetMenuItemID(HMENU menu, int pos) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  const Item* item = pos < 0 ? nullptr : ItemAt(menus, menu, static_cast<UINT>(pos), MF_BYPOSITION);
  return item && !item->popup ? item->id : static_cast<UINT>(-1);
}

int GetMenuStringW(HMENU menu, UINT which, LPWSTR buf, int cch, UINT flags) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  const Item* item = ItemAt(menus, menu, which, flags);
  if (!item) return 0;
  if (!buf || cch <= 0) return static_cast<int>(item->text.size());
  int n = std::min(static_cast<int>(item->text.size()), cch - 1);
  std::copy_n(item->text.data(), n, buf);
  buf[n] = 0;
  return n;
}

UINT EnableMenuItem(HMENU menu, UINT which, UINT enable) {
  auto& menus = M();
  std::lock_guard lock(menus.m);
  auto* item = const_cast<Item*>(ItemAt(menus, menu, which, enable & MF_BYPOSITION));
  if (!item) return static_cast<UINT>(-1);
  UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return old;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  platform::ui::PopupMenuRecord record;
  {
    auto& menus = M();
    std::lock_guard lock(menus.m);
    auto it = menus.live.find(menu);
    if (it == menus.live.end() || !IsWindow(owner)) return FALSE;
    for (const auto& item : it->second) record.items.push_back({item.text, item.id, item.flags});
  }
  record.owner = owner;
  record.x = x;
  record.y = y;
  record.flags = flags;
  UINT chosen = ChooseMenuItem(record);
  if (chosen) {
    auto& menus = M();
    std::lock_guard lock(menus.m);
    if (!Choosable(menus, menu, chosen)) {
      std::fprintf(stderr, "menu: %u is not an item that can be chosen; menu dismissed\n", chosen);
      chosen = 0;
    }
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}
