// The list view ("SysListView32") in report form: columns, rows with sub-item texts, item
// states, the selection mark, and the clicks a person makes on rows.
#include <algorithm>

#include "platform/win32/ui/commctrl.h"
#include "platform/win32/ui/internal.h"

namespace platform::ui::detail {
namespace {

constexpr LONG kHeaderHeight = 20;
constexpr LONG kRowHeight = 17;

struct Column {
  std::u16string text;
  int width = 0;
  int fmt = LVCFMT_LEFT;
};

struct Item {
  std::vector<std::u16string> texts;  // [0] the item, then sub-items
  UINT state = 0;
  LPARAM param = 0;
};

struct ListData : ControlData {
  DWORD exStyle = 0;
  std::vector<Column> columns;
  std::vector<Item> items;
  int mark = -1;
  HFONT font = nullptr;
};

DWORD StyleOf(HWND hwnd) {
  return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}

std::u16string TextArg(LPCWSTR text) {
  return (!text || text == LPSTR_TEXTCALLBACKW) ? std::u16string() : std::u16string(text);
}

RECT RowRect(HWND hwnd, int row) {
  RECT client{};
  GetClientRect(hwnd, &client);
  LONG top = kHeaderHeight + kRowHeight * row;
  return RECT{0, top, client.right, top + kRowHeight};
}

void NotifyChanged(HWND hwnd, int row, UINT oldState, UINT newState) {
  auto w = Find(hwnd);
  if (!w || !w->parent) return;
  NMLISTVIEW nm{};
  nm.hdr.idFrom = static_cast<UINT_PTR>(w->id);
  nm.hdr.code = LVN_ITEMCHANGED;
  nm.iItem = row;
  nm.uNewState = newState;
  nm.uOldState = oldState;
  nm.uChanged = LVIF_STATE;
  SendNotify(hwnd, w->parent, &nm.hdr);
}

// Sets the masked state bits of one row. A single-selection list keeps one selected row, and
// every list one focused row. The first selection made while no mark is set becomes the mark.
void SetState(HWND hwnd, ListData* d, int row, UINT state, UINT mask) {
  struct Change {
    int row;
    UINT before, after;
  };
  std::vector<Change> changes;
  auto apply = [&](int i, UINT newState) {
    UINT& s = d->items[static_cast<size_t>(i)].state;
    if (s != newState) changes.push_back({i, s, newState});
    s = newState;
  };
  UINT& current = d->items[static_cast<size_t>(row)].state;
  UINT next = (current & ~mask) | (state & mask);
  bool single = (StyleOf(hwnd) & LVS_SINGLESEL) != 0;
  for (int i = 0; i < static_cast<int>(d->items.size()); ++i) {
    if (i == row) continue;
    UINT s = d->items[static_cast<size_t>(i)].state;
    if (single && (next & LVIS_SELECTED) && (mask & LVIS_SELECTED)) s &= ~LVIS_SELECTED;
    if ((next & LVIS_FOCUSED) && (mask & LVIS_FOCUSED)) s &= ~LVIS_FOCUSED;
    apply(i, s);
  }
  apply(row, next);
  if ((next & LVIS_SELECTED) && d->mark == -1) d->mark = row;
  for (const auto& c : changes) NotifyChanged(hwnd, c.row, c.before, c.after);
}

LRESULT CopyText(const std::u16string& text, LPWSTR buf, int cch) {
  if (!buf || cch <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(cch) - 1);
  std::copy_n(text.data(), n, buf);
  buf[n] = 0;
  return static_cast<LRESULT>(n);
}

std::u16string* SubItem(Item& item, int sub, bool grow) {
  if (sub < 0) return nullptr;
  if (static_cast<size_t>(sub) >= item.texts.size()) {
    if (!grow) return nullptr;
    item.texts.resize(static_cast<size_t>(sub) + 1);
  }
  return &item.texts[static_cast<size_t>(sub)];
}

}  // namespace

LRESULT ListViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = DataOf<ListData>(hwnd);
  if (!d) {
    SetData(hwnd, std::make_unique<ListData>());
    d = DataOf<ListData>(hwnd);
  }
  int count = static_cast<int>(d->items.size());
  int index = static_cast<int>(static_cast<INT_PTR>(wParam));
  bool valid = index >= 0 && index < count;
  switch (msg) {
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = d->exStyle;
      DWORD mask = wParam ? static_cast<DWORD>(wParam) : ~0u;
      d->exStyle = (d->exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
      return old;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return d->exStyle;
    case LVM_INSERTCOLUMNW: {
      auto* col = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (!col || index < 0) return -1;
      int at = std::min(index, static_cast<int>(d->columns.size()));
      Column c;
      if (col->mask & LVCF_TEXT) c.text = TextArg(col->pszText);
      if (col->mask & LVCF_WIDTH) c.width = col->cx;
      if (col->mask & LVCF_FMT) c.fmt = col->fmt;
      d->columns.insert(d->columns.begin() + at, c);
      return at;
    }
    case LVM_GETCOLUMNW: {
      auto* col = reinterpret_cast<LVCOLUMNW*>(lParam);
      if (!col || index < 0 || index >= static_cast<int>(d->columns.size())) return FALSE;
      const Column& c = d->columns[static_cast<size_t>(index)];
      if (col->mask & LVCF_TEXT) CopyText(c.text, col->pszText, col->cchTextMax);
      if (col->mask & LVCF_WIDTH) col->cx = c.width;
      if (col->mask & LVCF_FMT) col->fmt = c.fmt;
      return TRUE;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= static_cast<int>(d->columns.size())) return FALSE;
      d->columns.erase(d->columns.begin() + index);
      return TRUE;
    case LVM_GETCOLUMNWIDTH:
      return index >= 0 && index < static_cast<int>(d->columns.size())
                 ? d->columns[static_cast<size_t>(index)].width
                 : 0;
    case LVM_SETCOLUMNWIDTH:
      if (index < 0 || index >= static_cast<int>(d->columns.size())) return FALSE;
      d->columns[static_cast<size_t>(index)].width = static_cast<short>(LOWORD(lParam));
      return TRUE;
    case LVM_INSERTITEMW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || item->iSubItem != 0 || item->iItem < 0) return -1;
      int at = std::min(item->iItem, count);
      Item it;
      it.texts.resize(1);
      if (item->mask & LVIF_TEXT) it.texts[0] = TextArg(item->pszText);
      if (item->mask & LVIF_PARAM) it.param = item->lParam;
      d->items.insert(d->items.begin() + at, it);
      if (d->mark >= at) ++d->mark;
      if ((item->mask & LVIF_STATE) && item->stateMask)
        SetState(hwnd, d, at, item->state, item->stateMask);
      return at;
    }
    case LVM_SETITEMW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= count) return FALSE;
      Item& it = d->items[static_cast<size_t>(item->iItem)];
      if (item->mask & LVIF_TEXT) {
        auto* text = SubItem(it, item->iSubItem, true);
        if (!text) return FALSE;
        *text = TextArg(item->pszText);
      }
      if (item->iSubItem == 0 && (item->mask & LVIF_PARAM)) it.param = item->lParam;
      if (item->iSubItem == 0 && (item->mask & LVIF_STATE))
        SetState(hwnd, d, item->iItem, item->state, item->stateMask);
      return TRUE;
    }
    case LVM_SETITEMTEXTW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || !valid) return FALSE;
      auto* text = SubItem(d->items[static_cast<size_t>(index)], item->iSubItem, true);
      if (!text) return FALSE;
      *text = TextArg(item->pszText);
      return TRUE;
    }
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || !valid) return 0;
      auto* text = SubItem(d->items[static_cast<size_t>(index)], item->iSubItem, false);
      return CopyText(text ? *text : std::u16string(), item->pszText, item->cchTextMax);
    }
    case LVM_GETITEMW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= count) return FALSE;
      Item& it = d->items[static_cast<size_t>(item->iItem)];
      if (item->mask & LVIF_TEXT) {
        auto* text = SubItem(it, item->iSubItem, false);
        CopyText(text ? *text : std::u16string(), item->pszText, item->cchTextMax);
      }
      if (item->mask & LVIF_PARAM) item->lParam = it.param;
      if (item->mask & LVIF_STATE) item->state = it.state & item->stateMask;
      return TRUE;
    }
    case LVM_DELETEITEM:
      if (!valid) return FALSE;
      d->items.erase(d->items.begin() + index);
      if (d->mark == index)
        d->mark = -1;
      else if (d->mark > index)
        --d->mark;
      return TRUE;
    case LVM_DELETEALLITEMS:
      d->items.clear();
      d->mark = -1;
      return TRUE;
    case LVM_SETITEMSTATE: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return FALSE;
      if (index == -1) {
        for (int i = 0; i < count; ++i) SetState(hwnd, d, i, item->state, item->stateMask);
        return TRUE;
      }
      if (!valid) return FALSE;
      SetState(hwnd, d, index, item->state, item->stateMask);
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return valid ? static_cast<LRESULT>(d->items[static_cast<size_t>(index)].state &
                                          static_cast<UINT>(lParam))
                   : 0;
    case LVM_GETSELECTIONMARK:
      return d->mark;
    case LVM_SETSELECTIONMARK: {
      int old = d->mark;
      int mark = static_cast<int>(lParam);
      d->mark = (mark >= -1 && mark < count) ? mark : old;
      return old;
    }
    case LVM_GETITEMCOUNT:
      return count;
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(d->items.begin(), d->items.end(),
                           [](const Item& i) { return (i.state & LVIS_SELECTED) != 0; });
    case LVM_GETNEXTITEM: {
      UINT flags = static_cast<UINT>(LOWORD(lParam));
      for (int i = std::max(-1, index) + 1; i < count; ++i) {
        UINT s = d->items[static_cast<size_t>(i)].state;
        if ((flags & LVNI_SELECTED) && !(s & LVIS_SELECTED)) continue;
        if ((flags & LVNI_FOCUSED) && !(s & LVIS_FOCUSED)) continue;
        return i;
      }
      return -1;
    }
    case LVM_GETITEMRECT: {
      auto* rc = reinterpret_cast<RECT*>(lParam);
      if (!rc || !valid) return FALSE;
      *rc = RowRect(hwnd, index);
      return TRUE;
    }
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(d->font);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// A click on a row selects and focuses it alone and makes it the selection mark; a click below
// the rows clears the selection and leaves the mark. Then the parent hears NM_CLICK / NM_RCLICK.
bool ListPersonClick(HWND list, int row, bool right) {
  auto w = Find(list);
  auto* d = DataOf<ListData>(list);
  if (!w || !d || (w->style & WS_DISABLED)) return false;
  int count = static_cast<int>(d->items.size());
  if (row >= count) return false;
  if (row < -1) row = -1;
  SetFocus(list);
  RECT rc = RowRect(list, row >= 0 ? row : count);
  POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  POINT screen = pt;
  ClientToScreen(list, &screen);
  SetCursorPos(screen.x, screen.y);
  if (row >= 0) {
    for (int i = 0; i < count; ++i)
      if (i != row) SetState(list, d, i, 0, LVIS_SELECTED);
    SetState(list, d, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    d->mark = row;
  } else {
    for (int i = 0; i < count; ++i) SetState(list, d, i, 0, LVIS_SELECTED);
  }
  if (!w->parent || !IsWindow(list)) return true;
  NMITEMACTIVATE nm{};
  nm.hdr.idFrom = static_cast<UINT_PTR>(w->id);
  nm.hdr.code = right ? NM_RCLICK : NM_CLICK;
  nm.iItem = row;
  nm.ptAction = pt;
  SendNotify(list, w->parent, &nm.hdr);
  return true;
}

}  // namespace platform::ui::detail
